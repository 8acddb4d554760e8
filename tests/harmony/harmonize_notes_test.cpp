#include <gtest/gtest.h>

#include <filesystem>

#include "base/errors.h"
#include "notation/note_record.h"
#include "harmony/harmonizer.h"
#include "settings/settings.h"
#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

// A program folder in a temporary directory holding (or not) the installed harmony rules.
class HarmonizeNotesTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Path() + "Resources");
    ProgramDir = dir_.Path();
    GErrors.Reset();
    HarmonyWritten = false;
  }
  void TearDown() override { GErrors.Reset(); }
  void InstallRules() {
    std::filesystem::copy_file(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/qem.hrm",
                               dir_.Path() + "Resources/qem.hrm");
  }
  // Appends a quarter note to voice 1 (step 0: a rest); text empty: no harmony text.
  TNoteRec* Add(int32_t step, int32_t octave, const std::string& text = "") {
    TNoteRec* n = list_.NewNote();
    n->Step = step;
    n->Octave = octave;
    n->Value = 4;
    n->ValueKind = kValueKindLarge;
    if (!text.empty()) {
      n->AttachedText = text;
    }
    if (last_ == nullptr) {
      list_.First = n;
    } else {
      last_->Next = n;
    }
    last_ = n;
    return n;
  }
  TKeep<std::string, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t> keep_{
      ProgramDir, BassMin, BassMax, TenorMin, TenorMax, AltoMin, AltoMax, SopranoMin, SopranoMax};
  TTempDir dir_;
  TNoteList list_;
  TNoteRec* last_ = nullptr;
};

TEST_F(HarmonizeNotesTest, WritesTheBassAsTheNoteAndTheUpperVoicesAsIntervals) {
  InstallRules();
  std::vector<TNoteRec*> notes = {Add(3, 5, "maj t53"), Add(4, 5, "s53"), Add(2, 5, "d53"),
                                  Add(1, 5, "t53")};
  notes[0]->Intervals.push_back(TIntervalRec{5, 5, TKeySign::No, 0});  // replaced by the chord
  long double position = -1;
  ASSERT_TRUE(HarmonizeNotes(list_, position, 1920));
  EXPECT_EQ(position, 1920);
  EXPECT_TRUE(HarmonyWritten);
  const int32_t bassSteps[4] = {1, 4, 5, 1};
  const HarmonyVoiceNote melody[4] = {{3, 5, TKeySign::No}, {4, 5, TKeySign::No},
                                      {2, 5, TKeySign::No}, {1, 5, TKeySign::No}};
  for (int i = 0; i < 4; ++i) {
    const TNoteRec& n = *notes[i];
    EXPECT_EQ(n.Step, bassSteps[i]) << i;
    ASSERT_EQ(n.Intervals.size(), 3u) << i;
    const TIntervalRec& soprano = n.Intervals[2];
    EXPECT_EQ(soprano.Step, melody[i].Step) << i;
    EXPECT_EQ(soprano.Octave, melody[i].Octave) << i;
    EXPECT_EQ(n.Articulation, TShtrih::NonLegato);
    ASSERT_TRUE(n.Harmony) << i;
    EXPECT_EQ(n.Harmony->Melody, melody[i]) << i;
  }
  // Harmonizing the harmonized list again starts from the melody, not from the bass.
  std::vector<std::vector<TIntervalRec>> first;
  for (const TNoteRec* n : notes) {
    first.push_back(n->Intervals);
  }
  ASSERT_TRUE(HarmonizeNotes(list_, position, 1920));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(notes[i]->Step, bassSteps[i]) << i;
    ASSERT_EQ(notes[i]->Intervals.size(), 3u);
    EXPECT_EQ(notes[i]->Intervals[2].Step, first[i][2].Step) << i;
  }
}

TEST_F(HarmonizeNotesTest, WithoutHarmonyTextsTheRulesFileIsNotNeeded) {
  Add(1, 5);
  Add(2, 5);
  long double position = -1;
  EXPECT_TRUE(HarmonizeNotes(list_, position, 1920));
  EXPECT_EQ(GErrors.Code(), 0);
  EXPECT_EQ(list_.First->Step, 1);
  EXPECT_FALSE(HarmonyWritten);
}

TEST_F(HarmonizeNotesTest, MissingRulesFileIsAnErrorWhenHarmonyIsAsked) {
  Add(3, 5, "maj t53");
  long double position = -1;
  EXPECT_FALSE(HarmonizeNotes(list_, position, 1920));
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 29);
  EXPECT_EQ(e.Text, "<maj t53>");
  EXPECT_FALSE(HarmonyFailText.empty());
}

TEST_F(HarmonizeNotesTest, ErrorsCarryTheTextAndTheMeasure) {
  InstallRules();
  for (int i = 0; i < 4; ++i) {
    Add(1, 5);
  }
  TNoteRec* faulty = Add(3, 5, "T53");
  long double position = -1;
  EXPECT_FALSE(HarmonizeNotes(list_, position, 1920));
  const TErrors e = GErrors.Get();
  EXPECT_EQ(e.Code, 28);
  EXPECT_EQ(e.Text, "<T53>");
  EXPECT_EQ(e.Source, 2);
  EXPECT_EQ(e.Voice, 1);
  EXPECT_EQ(e.Measure, 2u);
  EXPECT_EQ(position, 1920);
  EXPECT_EQ(faulty->Step, 3);  // nothing written
  EXPECT_FALSE(faulty->Harmony);
}

}  // namespace
