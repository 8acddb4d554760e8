#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "settings/settings.h"
#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

// Every settings global is put back after a test; the file lives in a fresh folder.
class SettingsFile : public testing::Test {
 protected:
  TKeep<bool, bool, bool, bool, bool, bool, bool, bool, bool, bool> signals_{
      SignalOK,           SignalError, SignalProgress,   SignalUpCaps,    SignalQuestion,
      AdvancedNavigation, ModePlay,    GModeRealPlaying, AdvancedEditing, PointMode};
  TKeep<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
        int32_t, int32_t, int32_t, std::array<int32_t, 17>>
      numbers_{ModeTalk,           AccordionNoteBass,   AccordionOctaveBass, AccordionRangeBass,
               AccordionNoteChord, AccordionOctaveChord, AccordionRangeChord, GStartPlayingOffset,
               GProgressFrequency, GPriorityGeneration, GPriorityPlaying,    GLastMidiOut,
               GHandlerStatementsPerTick, GMidiOutDevices};
  TTempDir dir_;
  std::filesystem::path path_ = dir_.File("velto.ini");
};

TEST_F(SettingsFile, ValuesAreReadWhateverTheCaseOfSectionsAndKeys) {
  ASSERT_TRUE(WriteFileAtomically(path_,
                                  "[signals]\r\nok=0\r\nUPCAPS=0\r\n"
                                  "[main]\r\nadvancednavigation=0\r\n"
                                  "[editingnotes]\r\nmodetalk=-1\r\nModePlay=0\r\npointmode=1\r\n"
                                  "[accordion]\r\nnotebass=3\r\n"
                                  "[midi]\r\nmoderealplaying=1\r\nstartplayingoffset=960\r\n"
                                  "frequency=480\r\nprioritygeneration=15\r\n"
                                  "additionalout1=0\r\nadditionalout3=2\r\n"));
  ASSERT_TRUE(LoadSettings(path_));
  EXPECT_FALSE(SignalOK);
  EXPECT_FALSE(SignalUpCaps);
  EXPECT_TRUE(SignalError);
  EXPECT_FALSE(AdvancedNavigation);
  EXPECT_FALSE(ModePlay);
  EXPECT_TRUE(PointMode) << "the dot mode is kept across runs";
  EXPECT_EQ(ModeTalk, -1);
  EXPECT_EQ(AccordionNoteBass, 3);
  EXPECT_TRUE(GModeRealPlaying);
  EXPECT_EQ(GStartPlayingOffset, 960);
  EXPECT_EQ(GProgressFrequency, 480);
  EXPECT_EQ(GPriorityGeneration, 15);
  EXPECT_EQ(GLastMidiOut, 3);
  EXPECT_EQ(GMidiOutDevices[1], 0);
  EXPECT_EQ(GMidiOutDevices[3], 2);
}

TEST_F(SettingsFile, ValuesOutOfRangeAreBroughtIntoRange) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    int32_t* global;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {"MIDI", "Frequency", "0", &GProgressFrequency, 1},
      {"MIDI", "Frequency", "-5", &GProgressFrequency, 1},
      {"MIDI", "StartPlayingOffset", "0", &GStartPlayingOffset, 1},
      {"MIDI", "StartPlayingOffset", "2147483647", &GStartPlayingOffset, 192000000},
      {"MIDI", "PriorityPlaying", "3", &GPriorityPlaying, 0},
      {"MIDI", "PriorityPlaying", "-2", &GPriorityPlaying, -2},
      {"Accordion", "NoteBass", "0", &AccordionNoteBass, 1},
      {"Accordion", "NoteChord", "9", &AccordionNoteChord, 7},
      {"Accordion", "OctaveChord", "-1", &AccordionOctaveChord, 1},
      {"Accordion", "RangeBass", "0", &AccordionRangeBass, 1},
      {"Accordion", "RangeBass", "4", &AccordionRangeBass, 4},
      {"Accordion", "RangeChord", "99", &AccordionRangeChord, 11},
      {"Handler", "StatementsPerTick", "0", &GHandlerStatementsPerTick, 1000},
      {"Handler", "StatementsPerTick", "250000", &GHandlerStatementsPerTick, 250000},
  };
  for (const Case& c : cases) {
    numbers_.Restore();
    TIniFile ini;
    ini.WriteString(c.section, c.key, c.value);
    ApplySettings(ini);
    EXPECT_EQ(*c.global, c.expected) << c.key << "=" << c.value;
  }
}

TEST_F(SettingsFile, SavingKeepsForeignSectionsAndLoadsBackTheSame) {
  ASSERT_TRUE(WriteFileAtomically(path_,
                                  "[Colours]\r\nBack=255\r\n\r\n[MIDI]\r\nFrequency=480\r\n"
                                  "AdditionalOut5=1\r\n"));
  GProgressFrequency = 240;
  AccordionRangeChord = 3;
  SignalQuestion = false;
  GLastMidiOut = 2;
  GMidiOutDevices[1] = 4;
  GMidiOutDevices[2] = 0;
  ASSERT_TRUE(SaveSettings(path_));

  TIniFile ini;
  ASSERT_TRUE(ini.Load(path_));
  EXPECT_EQ(ini.ReadInteger("Colours", "Back", 0), 255);
  EXPECT_EQ(ini.ReadInteger("MIDI", "Frequency", 0), 240);
  EXPECT_FALSE(ini.Value("MIDI", "AdditionalOut5").has_value());
  EXPECT_EQ(ini.ReadString("Signals", "Question", ""), "0");

  numbers_.Restore();
  signals_.Restore();
  ASSERT_TRUE(LoadSettings(path_));
  EXPECT_EQ(GProgressFrequency, 240);
  EXPECT_EQ(AccordionRangeChord, 3);
  EXPECT_FALSE(SignalQuestion);
  EXPECT_EQ(GLastMidiOut, 2);
  EXPECT_EQ(GMidiOutDevices[1], 4);
}

TEST_F(SettingsFile, AMissingFileLoadsAndOneThatCannotBeReadIsNeverOverwritten) {
  GHandlerStatementsPerTick = 5000;
  EXPECT_TRUE(LoadSettings(path_));
  EXPECT_EQ(GHandlerStatementsPerTick, kDefaultHandlerStatementsPerTick) << "a missing key reads its default";
  std::filesystem::create_directories(path_);  // a folder where the file should be
  std::string error;
  EXPECT_FALSE(SaveSettings(path_, &error));
  EXPECT_NE(error.find(path_.string() + ": " + std::strerror(EISDIR)), std::string::npos)
      << "the reason the reader met, naming the file: " << error;
  EXPECT_TRUE(std::filesystem::is_directory(path_));
}

}  // namespace
