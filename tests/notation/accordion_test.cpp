#include "notation/accordion.h"

#include <gtest/gtest.h>

#include <vector>

#include "settings/settings.h"
#include "tests/support/keep.h"

namespace {

// Keeps the accordion settings of a test apart from the others.
class AccordionTest : public ::testing::Test {
 protected:
  TKeep<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t> keep_{
      AccordionNoteBass,  AccordionOctaveBass,  AccordionRangeBass,
      AccordionNoteChord, AccordionOctaveChord, AccordionRangeChord};
  static std::vector<int32_t> Keys(const TNoteRec& note) {
    std::vector<int32_t> keys;
    if (note.Step != 0) {
      keys.push_back(MidiKeyOf(note.Step, note.Accidental, note.Octave));
    }
    for (const TIntervalRec& i : note.Intervals) {
      keys.push_back(MidiKeyOf(i.Step, i.Accidental, i.Octave));
    }
    return keys;
  }
};

TEST_F(AccordionTest, BassNotesDropBelowTheBassStep) {
  struct Case {
    int32_t step;
    int32_t octave;
    std::vector<int32_t> doublings;
  };
  const Case cases[] = {{5, 2, {43}}, {4, 3, {53}}, {7, 2, {47}}, {1, 3, {48}}};
  for (const Case& c : cases) {
    TNoteRec note;
    note.Step = c.step;
    note.TieFlag = 1;
    EXPECT_EQ(AccordionBassOctave(note), c.octave) << c.step;
    EXPECT_EQ(Keys(note).size(), 1u + c.doublings.size());
    ASSERT_EQ(note.Intervals.size(), 1u);
    EXPECT_EQ(MidiKeyOf(note.Intervals[0].Step, note.Intervals[0].Accidental, note.Intervals[0].Octave),
              c.doublings[0]);
    EXPECT_EQ(note.Intervals[0].Flag, kIntervalTied);
  }
}

TEST_F(AccordionTest, ChordButtons) {
  struct Case {
    int32_t step;
    TKeySign accidental;
    uint8_t kind;
    bool octaveSign;
    int32_t voiceOctave;
    std::vector<int32_t> keys;  // note, then intervals in order
  };
  const Case cases[] = {
      // C major: C5 E5 G5, each doubled an octave higher.
      {1, TKeySign::No, 5, false, 3, {60, 72, 64, 76, 67, 79}},
      // C minor.
      {1, TKeySign::No, 6, false, 3, {60, 72, 63, 75, 67, 79}},
      // B major: the third is D sharp, placed from A4 upward.
      {7, TKeySign::No, 5, false, 3, {59, 71, 63, 75, 66, 78}},
      // Seventh without fifth on G: G, B, F.
      {5, TKeySign::No, 7, false, 3, {67, 79, 59, 71, 65, 77}},
      // With an octave sign in octave 5: a diminished chord on the third (E G B flat).
      {1, TKeySign::No, 7, true, 5, {64, 76, 67, 79, 58, 70}},
  };
  for (const Case& c : cases) {
    TNoteRec note;
    note.Step = c.step;
    note.Accidental = c.accidental;
    note.Intervals.push_back({3, 3, TKeySign::No, 0});
    TErrorRecord errors;
    AccordionChordNotes(note, c.kind, c.voiceOctave, c.octaveSign, 0, errors);
    EXPECT_EQ(errors.Code(), 0);
    EXPECT_EQ(Keys(note), c.keys) << "step " << c.step << " kind " << int(c.kind);
  }
}

TEST_F(AccordionTest, MergedChordGoesIntoTheIntervalsOnly) {
  TNoteRec note;
  note.Step = 5;
  note.Octave = 2;
  note.Intervals.push_back({5, 3, TKeySign::No, 0});
  TErrorRecord errors;
  AccordionChordNotes(note, 5, 3, false, 1, errors);
  EXPECT_EQ(note.Step, 5);
  EXPECT_EQ(note.Octave, 2);
  EXPECT_EQ(Keys(note), (std::vector<int32_t>{31, 43, 67, 79, 59, 71, 62, 74}));
}

TEST_F(AccordionTest, UnknownChordKindIsError41AndChangesNothing) {
  for (uint8_t kind : {2, 8, 0}) {
    TNoteRec note;
    note.Step = 1;
    note.Octave = 4;
    note.Intervals.push_back({3, 4, TKeySign::No, 0});
    TErrorRecord errors;
    AccordionChordNotes(note, kind, 4, false, 0, errors);
    EXPECT_EQ(errors.Code(), 41);
    EXPECT_EQ(note.Step, 1);
    EXPECT_EQ(note.Intervals.size(), 1u);
  }
}

// Settings set out of range (a script may do so) are kept to the ranges the settings file keeps.
TEST_F(AccordionTest, SettingsOutOfRangeStayInsideTheMidiKeys) {
  AccordionNoteBass = 99;
  AccordionOctaveBass = -40;
  AccordionRangeBass = 1000000;
  AccordionNoteChord = -5;
  AccordionOctaveChord = 77;
  AccordionRangeChord = 0;
  TNoteRec bass;
  bass.Step = 7;
  EXPECT_EQ(AccordionBassOctave(bass), kAccordionOctaveBassRange.Min);
  bass.Octave = 0;
  // B in every octave that holds its key: B10 (131) is left out, not clamped to 127.
  EXPECT_EQ(Keys(bass), (std::vector<int32_t>{11, 23, 35, 47, 59, 71, 83, 95, 107, 119}));
  TNoteRec note;
  note.Step = 1;
  AccordionChordNotes(note, 5, 3, false, 0, GErrors);
  for (const TIntervalRec& i : note.Intervals) {
    EXPECT_LE(i.Octave, kHighestOctave);
  }
  EXPECT_EQ(note.Intervals.size(), 2u);  // range 1: no doublings
}

}  // namespace
