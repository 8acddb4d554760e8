#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "settings/settings.h"

namespace {

// Every settings global, saved before a test and put back after it.
struct TSettingsSnapshot {
  bool Signals[5] = {SignalOK, SignalError, SignalProgress, SignalUpCaps, SignalQuestion};
  bool Main[5] = {AdvancedNavigation, ModePlay, GModeRealPlaying, AdvancedEditing, PointMode};
  int32_t Ints[11] = {ModeTalk, AccordionNoteBass, AccordionOctaveBass, AccordionRangeBass,
                      AccordionNoteChord, AccordionOctaveChord, AccordionRangeChord,
                      GStartPlayingOffset, GProgressFrequency, GPriorityGeneration,
                      GPriorityPlaying};
  int32_t LastMidiOut = GLastMidiOut;
  std::array<int32_t, 17> Devices = GMidiOutDevices;
  int32_t StatementsPerTick = GHandlerStatementsPerTick;

  void Restore() const {
    SignalOK = Signals[0], SignalError = Signals[1], SignalProgress = Signals[2];
    SignalUpCaps = Signals[3], SignalQuestion = Signals[4];
    AdvancedNavigation = Main[0], ModePlay = Main[1], GModeRealPlaying = Main[2];
    AdvancedEditing = Main[3], PointMode = Main[4];
    ModeTalk = Ints[0], AccordionNoteBass = Ints[1], AccordionOctaveBass = Ints[2];
    AccordionRangeBass = Ints[3], AccordionNoteChord = Ints[4], AccordionOctaveChord = Ints[5];
    AccordionRangeChord = Ints[6], GStartPlayingOffset = Ints[7], GProgressFrequency = Ints[8];
    GPriorityGeneration = Ints[9], GPriorityPlaying = Ints[10];
    GLastMidiOut = LastMidiOut;
    GMidiOutDevices = Devices;
    GHandlerStatementsPerTick = StatementsPerTick;
  }
};

class SettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("velto-settings-" + std::to_string(::getpid()) + ".ini");
    std::filesystem::remove(path_);
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    saved_.Restore();
  }
  TSettingsSnapshot saved_;
  std::filesystem::path path_;
};

TEST_F(SettingsFile, AMissingFileKeepsTheDefaults) {
  GHandlerStatementsPerTick = 5000;
  EXPECT_TRUE(LoadSettings(path_));
  EXPECT_EQ(GHandlerStatementsPerTick, kDefaultHandlerStatementsPerTick);
  EXPECT_TRUE(SignalOK);
  EXPECT_TRUE(AdvancedNavigation);
  EXPECT_EQ(ModeTalk, 7163);
  EXPECT_EQ(AccordionNoteChord, 6);
  EXPECT_EQ(GProgressFrequency, 1920);
  EXPECT_EQ(GLastMidiOut, 0);
}

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
      {"Accordion", "RangeChord", "99", &AccordionRangeChord, 3},
      {"Handler", "StatementsPerTick", "0", &GHandlerStatementsPerTick, 1000},
      {"Handler", "StatementsPerTick", "250000", &GHandlerStatementsPerTick, 250000},
  };
  for (const Case& c : cases) {
    saved_.Restore();
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

  saved_.Restore();
  ASSERT_TRUE(LoadSettings(path_));
  EXPECT_EQ(GProgressFrequency, 240);
  EXPECT_EQ(AccordionRangeChord, 3);
  EXPECT_FALSE(SignalQuestion);
  EXPECT_EQ(GLastMidiOut, 2);
  EXPECT_EQ(GMidiOutDevices[1], 4);
}

TEST_F(SettingsFile, AFileThatCannotBeReadIsNeverOverwritten) {
  std::filesystem::create_directories(path_);  // a folder where the file should be
  std::string error;
  EXPECT_FALSE(SaveSettings(path_, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  std::filesystem::remove_all(path_);
}

}  // namespace
