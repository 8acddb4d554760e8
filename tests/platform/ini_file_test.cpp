#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

const char* const kFile =
    "; written by hand\r\n"
    "[MIDI]\r\n"
    "Frequency=480\r\n"
    "frequency=999\r\n"
    "  Name  =  \"quoted value\"  \r\n"
    "\r\n"
    "[Foreign]\r\n"
    "Keep=this = and that\r\n"
    "\r\n"
    "[midi]\r\n"
    "Frequency=111\r\n"
    "Extra=1\r\n";

TEST(IniFile, NamesCompareIgnoringCaseAndTheFirstMatchWins) {
  const TIniFile ini = TIniFile::FromText(kFile);
  EXPECT_EQ(ini.ReadInteger("midi", "FREQUENCY", 0), 480);
  EXPECT_EQ(ini.ReadString("Midi", "name", ""), "quoted value");
  EXPECT_EQ(ini.ReadString("FOREIGN", "keep", ""), "this = and that");
  // The second [midi] section is never read.
  EXPECT_FALSE(ini.Value("MIDI", "Extra").has_value());
  EXPECT_EQ(ini.ReadString("MIDI", "Missing", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("Nowhere", "Frequency", "fallback"), "fallback");
  const TIniFile cyrillic = TIniFile::FromText("[\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8]\n\xCA\xEB\xFE\xF7=1\n");
  EXPECT_EQ(cyrillic.ReadInteger("\xED\xC0\xD1\xD2\xD0\xCE\xC9\xCA\xC8", "\xEA\xCB\xDE\xD7", 0), 1);
}

TEST(IniFile, IntegersAndBooleansFallBackOnBadValues) {
  struct Case {
    const char* value;
    int32_t integer;
    bool boolean;
  };
  const std::vector<Case> cases = {
      {"12", 12, true},          {"-7", -7, true},        {"+3", 3, true},
      {"0", 0, false},           {"", 55, true},          {"12abc", 55, true},
      {"2147483647", 2147483647, true}, {"2147483648", 55, true}, {"0x10", 55, true},
      {"True", 55, true},        {"false", 55, false},    {" 9 ", 9, true},
  };
  for (const Case& c : cases) {
    const TIniFile ini = TIniFile::FromText(std::string("[S]\r\nK=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 55), c.integer) << c.value;
    EXPECT_EQ(ini.ReadBool("S", "K", true), c.boolean) << c.value;
  }
}

TEST(IniFile, AWriteChangesOneLineAndKeepsEverythingElse) {
  TIniFile ini = TIniFile::FromText(kFile);
  ini.WriteInteger("midi", "FREQUENCY", 960);
  ini.WriteBool("MIDI", "ModeRealPlaying", true);
  ini.WriteString("Signals", "OK", "0");
  EXPECT_EQ(ini.Text(),
            "; written by hand\r\n"
            "[MIDI]\r\n"
            "Frequency=960\r\n"
            "frequency=999\r\n"
            "  Name  =  \"quoted value\"  \r\n"
            "ModeRealPlaying=1\r\n"
            "\r\n"
            "[Foreign]\r\n"
            "Keep=this = and that\r\n"
            "\r\n"
            "[midi]\r\n"
            "Frequency=111\r\n"
            "Extra=1\r\n"
            "\r\n"
            "[Signals]\r\n"
            "OK=0\r\n");
}

TEST(IniFile, LinesEndAnyWayAreWrittenCrLfAndAValueNeverSplitsALine) {
  const TIniFile lf = TIniFile::FromText("[A]\nX=1\rY=2");
  EXPECT_EQ(lf.ReadInteger("a", "y", 0), 2);
  EXPECT_EQ(lf.Text(), "[A]\r\nX=1\r\nY=2\r\n");
  TIniFile ini;
  ini.WriteString("S\n", "K", "one\r\ntwo");
  EXPECT_EQ(ini.Text(), "[S]\r\nK=onetwo\r\n");
  ini.DeleteKey("s", "k");
  EXPECT_EQ(ini.Text(), "[S]\r\n");
}

TEST(IniFile, PythonsConfigParserReadsWhatWeWriteAndAMissingFileLoadsEmpty) {
  TTempDir dir;
  const std::string path = dir.File("velto.ini");
  WriteBytes(path, "[Foreign]\r\nkeep = kept value\r\n\r\n[MIDI]\r\nFrequency=480\r\n");
  TIniFile ini;
  ASSERT_TRUE(ini.Load(path));
  ini.WriteInteger("midi", "frequency", 960);
  ini.WriteInteger("MIDI", "AdditionalOut1", 2);
  ini.WriteBool("Signals", "Error", false);
  ASSERT_TRUE(ini.Save(path));
  const std::string out = RunPythonScript(
      "import configparser\n"
      "p = configparser.RawConfigParser()\n"
      "p.read('" + path + "')\n"
      "for s in p.sections():\n"
      "    for k, v in p.items(s):\n"
      "        print(f'{s}|{k}|{v}')\n").Output;
  EXPECT_EQ(out,
            "Foreign|keep|kept value\n"
            "MIDI|frequency|960\n"
            "MIDI|additionalout1|2\n"
            "Signals|error|0\n");
  EXPECT_FALSE(ini.Load("/nonexistent/velto.ini"));
  EXPECT_EQ(ini.Text(), "");
}

}  // namespace
