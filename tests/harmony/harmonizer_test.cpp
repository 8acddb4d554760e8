#include "harmony/harmonizer.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/codec1251.h"
#include "tests/support/keep.h"

namespace {

using A = TKeySign;

// The installed rules, with the position letters and ranges restored after each test.
class Harmonizer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadHarmonyRules(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/qem.hrm",
                                 rules_));
  }
  TKeep<uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t> ranges_{
      BassMin, BassMax, TenorMin, TenorMax, AltoMin, AltoMax, SopranoMin, SopranoMax};
  THarmonyRules rules_;
};

// A quarter note (step 0: a rest) with a harmony text.
THarmonyNote Note(const std::string& text, int32_t step, int32_t octave, A accidental = A::No) {
  THarmonyNote n;
  n.Written = {step, octave, accidental};
  n.WholeNotes = 0.25L;
  n.Text = text;
  return n;
}

// --- An independent four-part checker: MIDI keys computed here, classical limits in keys.

int KeyOf(const HarmonyVoiceNote& n) {
  static const int kSemitone[7] = {0, 2, 4, 5, 7, 9, 11};
  static const int kShift[6] = {-2, -1, 0, 0, 1, 2};
  return kSemitone[n.Step - 1] + kShift[static_cast<int>(n.Accidental)] + 12 * n.Octave;
}

struct KeyRange {
  int Low;
  int High;
};
// Bass E2..C4, tenor C3..G4, alto G3..D5, soprano C4..A5 (a semitone of slack for accidentals).
constexpr KeyRange kRanges[4] = {{39, 61}, {47, 68}, {54, 75}, {59, 82}};
const char* const kVoiceNames[4] = {"bass", "tenor", "alto", "soprano"};

struct ExpectedChord {
  std::set<int> PitchClasses;
  int BassPitchClass;
};

void ExpectSoundFourParts(const std::vector<THarmonyNote>& notes, const THarmonyResult& result,
                          const std::vector<ExpectedChord>& expected) {
  ASSERT_TRUE(result.Ok) << int(result.Code);
  ASSERT_EQ(result.Chords.size(), expected.size());
  std::vector<std::array<int, 4>> keys;
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(result.Chords[i].has_value()) << "chord " << i;
    std::array<int, 4> k{};
    for (int v = 0; v < 4; ++v) {
      k[v] = KeyOf((*result.Chords[i])[v]);
      EXPECT_GE(k[v], kRanges[v].Low) << kVoiceNames[v] << " of chord " << i;
      EXPECT_LE(k[v], kRanges[v].High) << kVoiceNames[v] << " of chord " << i;
      EXPECT_TRUE(expected[i].PitchClasses.count(k[v] % 12)) << kVoiceNames[v] << " of chord " << i;
      if (v > 0) {
        EXPECT_LE(k[v - 1], k[v]) << "voices cross in chord " << i;
      }
    }
    EXPECT_EQ(k[0] % 12, expected[i].BassPitchClass) << "chord " << i;
    if (notes[i].Written.Step != 0) {
      EXPECT_EQ(k[3], KeyOf(notes[i].Written)) << "the melody moved in chord " << i;
    }
    keys.push_back(k);
  }
  for (size_t i = 1; i < keys.size(); ++i) {
    for (int x = 0; x < 4; ++x) {
      for (int y = x + 1; y < 4; ++y) {
        const int before = (keys[i - 1][y] - keys[i - 1][x]) % 12;
        const int after = (keys[i][y] - keys[i][x]) % 12;
        const int moveX = keys[i][x] - keys[i - 1][x];
        const int moveY = keys[i][y] - keys[i - 1][y];
        const bool perfect = (before == 7 && after == 7) || (before == 0 && after == 0);
        const bool parallel = moveX != 0 && moveY != 0 && (moveX > 0) == (moveY > 0);
        EXPECT_FALSE(perfect && parallel)
            << "parallel " << (before == 7 ? "fifths" : "octaves") << " between "
            << kVoiceNames[x] << " and " << kVoiceNames[y] << " into chord " << i;
      }
    }
  }
}

const std::set<int> kCMajor = {0, 4, 7}, kFMajor = {5, 9, 0}, kGMajor = {7, 11, 2},
                    kAMinor = {9, 0, 4}, kDMinor = {2, 5, 9}, kEMajor = {4, 8, 11},
                    kDMajor = {2, 6, 9};

// C major; A minor, which raises the leading tone; the spoken mode name "мажор".
TEST_F(Harmonizer, Cadences) {
  const std::vector<std::pair<std::vector<THarmonyNote>, std::vector<ExpectedChord>>> cases = {
      {{Note("maj t53", 3, 5), Note("s53", 4, 5), Note("d53", 2, 5), Note("t53", 1, 5)},
       {{kCMajor, 0}, {kFMajor, 5}, {kGMajor, 7}, {kCMajor, 0}}},
      {{Note("min t53", 3, 5), Note("s53", 4, 5), Note("d53", 3, 5), Note("t53", 3, 5)},
       {{kAMinor, 9}, {kDMinor, 2}, {kEMajor, 4}, {kAMinor, 9}}},
      {{Note("\xEC\xE0\xE6\xEE\xF0 t53", 5, 5), Note("D53", 5, 5), Note("T53", 5, 5)},
       {{kCMajor, 0}, {kGMajor, 7}, {kCMajor, 0}}},
  };
  for (const auto& [notes, expected] : cases) {
    ExpectSoundFourParts(notes, HarmonizeSequence(notes, rules_, 1920), expected);
  }
}

TEST_F(Harmonizer, ModulatesThroughAPivotChord) {
  // C major: T, S, T that is S of the new key; then D and T of G major.
  const std::vector<THarmonyNote> notes = {Note("maj t53", 3, 5), Note("s53", 4, 5),
                                           Note("t53=s", 3, 5), Note("d53", 4, 5, A::Sharp),
                                           Note("t53", 5, 5)};
  const THarmonyResult result = HarmonizeSequence(notes, rules_, 1920);
  ExpectSoundFourParts(notes, result,
                       {{kCMajor, 0}, {kFMajor, 5}, {kCMajor, 0}, {kDMajor, 2}, {kGMajor, 7}});
  // The search went back to earlier chords, and every written melody note stayed in place.
  EXPECT_GT(result.Backtracks, 0u);
}

TEST_F(Harmonizer, LongerProgressionKeepsEveryRule) {
  struct Chord {
    const char* text;
    int32_t step;
    int32_t octave;
    ExpectedChord expected;
  };
  const std::vector<Chord> loop = {
      {"t53", 3, 6, {kCMajor, 0}}, {"s53", 1, 6, {kFMajor, 5}}, {"d53", 7, 5, {kGMajor, 7}},
      {"t53", 1, 6, {kCMajor, 0}}, {"vi53", 3, 6, {kAMinor, 9}}, {"s53", 4, 6, {kFMajor, 5}},
      {"d53", 2, 6, {kGMajor, 7}}, {"t53", 3, 6, {kCMajor, 0}}};
  std::vector<THarmonyNote> notes;
  std::vector<ExpectedChord> expected;
  for (int i = 0; i < 16; ++i) {
    const Chord& c = loop[i % loop.size()];
    notes.push_back(Note(i == 0 ? std::string("maj ") + c.text : c.text, c.step, c.octave));
    expected.push_back(c.expected);
  }
  ExpectSoundFourParts(notes, HarmonizeSequence(notes, rules_, 1920), expected);
}

TEST_F(Harmonizer, RestsAreHarmonizedWithFreeVoices) {
  const std::vector<THarmonyNote> notes = {Note("maj t53", 0, 0), Note("dd7", 0, 0),
                                           Note("d53", 0, 0), Note("t53", 0, 0)};
  const THarmonyResult result = HarmonizeSequence(notes, rules_, 1920);
  ExpectSoundFourParts(notes, result,
                       {{kCMajor, 0}, {{2, 6, 9, 0}, 2}, {kGMajor, 7}, {kCMajor, 0}});
}

TEST_F(Harmonizer, MelodyInTheBassFixesTheBass) {
  const std::vector<THarmonyNote> notes = {Note("melb maj t53", 1, 4), Note("s53", 4, 3)};
  const THarmonyResult result = HarmonizeSequence(notes, rules_, 1920);
  ASSERT_TRUE(result.Ok) << int(result.Code);
  ASSERT_TRUE(result.Chords[0] && result.Chords[1]);
  EXPECT_EQ((*result.Chords[0])[kBass], (HarmonyVoiceNote{1, 4, A::No}));
  EXPECT_EQ((*result.Chords[1])[kBass], (HarmonyVoiceNote{4, 3, A::No}));
}

struct ErrorCase {
  const char* name;
  std::vector<THarmonyNote> notes;
  uint8_t code;
  std::string text;
  std::string failText;  // UTF-8; empty: not checked
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class HarmonizerErrors : public Harmonizer, public testing::WithParamInterface<ErrorCase> {};

TEST_P(HarmonizerErrors, ReportTheCodeAndTheText) {
  const ErrorCase& c = GetParam();
  const THarmonyResult result = HarmonizeSequence(c.notes, rules_, 1920);
  EXPECT_FALSE(result.Ok);
  EXPECT_EQ(result.Code, c.code);
  EXPECT_EQ(result.Text, c.text);
  if (!c.failText.empty()) {
    EXPECT_EQ(HarmonyFailText, Utf8ToCp1251(c.failText).Text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HarmonizerErrors,
    testing::Values(
        ErrorCase{"NoMode", {Note("t53", 3, 5)}, 28, "t53", ""},
        ErrorCase{"NoStep", {Note("maj x53", 3, 5)}, 30, "maj x53", ""},
        ErrorCase{"NoSuchChord", {Note("maj t99", 3, 5)}, 29, "maj t99",
                  "Такого аккорда нет в правилах гармонизации."},
        ErrorCase{"MelodyOutsideTheChord", {Note("maj t53", 2, 5)}, 29, "maj t53",
                  "Нота мелодии не входит в аккорд."},
        ErrorCase{"NoPositionForTheNextChord",
                  {Note("maj t53", 3, 5), Note("holdb moveb t53", 3, 5)}, 29, "maj t53", ""},
        ErrorCase{"ModulationIntoAnUnknownMode",
                  {Note("maj t53=maj vii", 3, 5), Note("s53", 4, 5)}, 31, "s53", ""}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST_F(Harmonizer, ModulationIsNoErrorWhenTheNoteNamesItsMode) {
  const std::vector<THarmonyNote> notes = {Note("maj t53=maj vii", 3, 5), Note("maj s53", 4, 5)};
  EXPECT_TRUE(HarmonizeSequence(notes, rules_, 1920).Ok);
}

TEST_F(Harmonizer, PositionOfAFaultFollowsTheTimeSignature) {
  std::vector<THarmonyNote> notes = {Note("maj t53", 3, 5), Note("", 3, 5), Note("", 3, 5),
                                     Note("maj t53", 2, 5)};
  THarmonyResult result = HarmonizeSequence(notes, rules_, 1920);
  EXPECT_EQ(result.Code, 29);
  EXPECT_EQ(result.Position, 1440);
  notes[0].HasSignature = true;
  notes[0].Numerator = 3;
  notes[0].Denominator = 4;
  result = HarmonizeSequence(notes, rules_, 1920);
  EXPECT_EQ(result.Position, 1920);  // three quarters fill the measure
}

// 59 chords that fit many ways, then one that fits none: the search gives up.
TEST_F(Harmonizer, AdversarialProgressionEndsWithinTheBudget) {
  const char* const cycle[3] = {"t53", "s53", "d53"};
  std::vector<THarmonyNote> notes = {Note("maj t53", 0, 0)};
  for (int i = 1; i < 59; ++i) {
    notes.push_back(Note(cycle[i % 3], 0, 0));
  }
  notes.push_back(Note("t53", 2, 5));
  const uint32_t budget = 3000;
  const THarmonyResult result = HarmonizeSequence(notes, rules_, 1920, budget);
  EXPECT_FALSE(result.Ok);
  EXPECT_EQ(result.Code, 29);
  EXPECT_EQ(result.Tries, budget + 1);
  EXPECT_GT(result.Backtracks, 0u);
  EXPECT_TRUE(HarmonyFailText.starts_with(Utf8ToCp1251("Поиск прекращён").Text));
  EXPECT_EQ(result.Position, 59 * 480);
}

TEST_F(Harmonizer, LowestBassMinimumStillEnds) {
  BassMin = 0;
  const std::vector<THarmonyNote> notes = {Note("maj t53", 1, 9)};  // a melody far too high
  const THarmonyResult result = HarmonizeSequence(notes, rules_, 1920);
  EXPECT_EQ(result.Code, 29);
}

}  // namespace
