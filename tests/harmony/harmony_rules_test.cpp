#include "harmony/harmony_rules.h"

#include <gtest/gtest.h>

#include "tests/support/keep.h"
#include "tests/support/temp_dir.h"

namespace {

using A = TKeySign;

// Keeps the position letters and voice ranges that a load changes.
class HarmonyGlobals : public testing::Test {
 protected:
  TKeep<char, char, char, char> letters_{PositionBroadly, PositionClosely, PositionMixed,
                                         PositionUnknown};
  TKeep<uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t> ranges_{
      BassMin, BassMax, TenorMin, TenorMax, AltoMin, AltoMax, SopranoMin, SopranoMax};
  const uint8_t bassMax_ = BassMax, tenorMax_ = TenorMax, altoMin_ = AltoMin;
};

TEST_F(HarmonyGlobals, LoadsEverySectionInLowerCase) {
  TTempDir dir;
  const std::string path = dir.File("rules.hrm");
  WriteBytes(path, 
      "maj=major\r\n"  // before any section: ignored
      "[LADS]\r\nMaj = Major {comment}\r\nMin=minor +7\r\nno equals sign\r\n"
      "[Steps]\nD=5\nDD=2+1\n"
      "[directives]\rPAR=yesparallelisms\r"
      "[chords]\r\nT53C=1351\r\nTX=1351\r\n"
      "[location]\r\nE=Closely\r\n=mixed\r\n"
      "[values]\r\nBASSMIN=12\r\nbassmax=abc\r\ntenormax=300\r\naltomin=\r\n");
  THarmonyRules rules;
  ASSERT_TRUE(LoadHarmonyRules(path, rules));
  ASSERT_EQ(rules.Lads.size(), 2u);
  EXPECT_EQ(rules.Lads[0].Name, "maj");
  EXPECT_EQ(rules.Lads[0].Kind, 0);
  EXPECT_EQ(rules.Lads[1].Alterations[6], 1);
  ASSERT_EQ(rules.Steps.size(), 2u);
  EXPECT_EQ(rules.Steps[1].Name, "dd");
  EXPECT_EQ(rules.Steps[1].Alteration, 1);
  EXPECT_EQ(rules.Directives, (std::vector<std::string>{"par=yesparallelisms"}));
  ASSERT_EQ(rules.Chords.size(), 2u);
  EXPECT_EQ(rules.Chords[0].Name, "t53");
  EXPECT_EQ(rules.Chords[1].Name, "");
  EXPECT_EQ(PositionClosely, 'e');
  EXPECT_EQ(PositionMixed, 'm');
  EXPECT_EQ(BassMin, 12);
  EXPECT_EQ(BassMax, bassMax_);    // not a number
  EXPECT_EQ(TenorMax, tenorMax_);  // does not fit a byte
  EXPECT_EQ(AltoMin, altoMin_);
  rules.Directives = {"old"};
  EXPECT_FALSE(LoadHarmonyRules("/nonexistent/qem.hrm", rules));
  EXPECT_TRUE(rules.Directives.empty());
}

TEST_F(HarmonyGlobals, InstalledRulesLoad) {
  THarmonyRules rules;
  ASSERT_TRUE(LoadHarmonyRules(std::string(VELTO_SOURCE_DIR) + "/resources/Resources/qem.hrm", rules));
  EXPECT_EQ(rules.Lads.size(), 9u);
  EXPECT_EQ(rules.Steps.size(), 12u);
  EXPECT_EQ(rules.Directives.size(), 22u);
  EXPECT_GT(rules.Chords.size(), 50u);
  for (const TChords& c : rules.Chords) {
    EXPECT_FALSE(c.Name.empty());
  }
  EXPECT_LT(BassMin, BassMax);
  EXPECT_LE(BassMax, SopranoMax);
  EXPECT_LT(TenorMin, AltoMin);
}

TEST(NormalizeRuleLine, LowersRemovesCommentsAndLooseBlanks) {
  EXPECT_EQ(NormalizeRuleLine("  Maj = Major {a comment}  "), "maj=major");
  EXPECT_EQ(NormalizeRuleLine("minor  +7  -6"), "minor+7-6");
  EXPECT_EQ(NormalizeRuleLine("maj   t53"), "maj t53");
  EXPECT_EQ(NormalizeRuleLine("{open comment"), "");
  EXPECT_EQ(NormalizeRuleLine("\xCC\xC0\xC6\xCE\xD0 \xA8"), "\xEC\xE0\xE6\xEE\xF0 \xB8");  // МАЖОР Ё
}

TEST(StepArithmetic, AddStepsCarriesIntoTheOctave) {
  HarmonyVoiceNote n{1, 5, A::No};
  AddSteps(n, -1);
  EXPECT_EQ(n, (HarmonyVoiceNote{7, 4, A::No}));
  AddSteps(n, 15);
  EXPECT_EQ(n, (HarmonyVoiceNote{1, 7, A::No}));
  AddSteps(n, -14);
  EXPECT_EQ(n, (HarmonyVoiceNote{1, 5, A::No}));
}

TEST(StepArithmetic, TonicOffsetFollowsTheCircleOfFifths) {
  const int32_t expected[15] = {0, 4, 1, 5, 2, 6, 3, 0, 4, 1, 5, 2, 6, 3, 0};
  for (int32_t k = -7; k <= 7; ++k) {
    EXPECT_EQ(TonicOffset(k), expected[k + 7]) << k;
  }
}

TEST(StepArithmetic, KeyAccidentals) {
  struct Case {
    int32_t step;
    int32_t key;
    A expected;
  };
  for (const Case& c : {Case{4, 1, A::Sharp}, Case{1, 1, A::No}, Case{1, 2, A::Sharp},
                        Case{7, 7, A::Sharp}, Case{7, -1, A::Flat}, Case{3, -1, A::No},
                        Case{4, -7, A::Flat}, Case{4, 0, A::No}, Case{7, 9, A::Sharp},
                        Case{4, -12, A::Flat}}) {
    HarmonyVoiceNote n{c.step, 4, A::No};
    ApplyKeyAccidental(n, c.key);
    EXPECT_EQ(n.Accidental, c.expected) << c.step << " in " << c.key;
  }
}

TEST(StepArithmetic, ShiftAccidentalSaturates) {
  const std::vector<std::tuple<A, bool, A>> cases = {
      {A::DoubleSharp, false, A::Sharp}, {A::Sharp, false, A::Natural}, {A::No, false, A::Flat},
      {A::Natural, false, A::Flat},      {A::Flat, false, A::DoubleFlat},
      {A::DoubleFlat, false, A::DoubleFlat}, {A::DoubleFlat, true, A::Flat},
      {A::Flat, true, A::Natural},       {A::No, true, A::Sharp}, {A::Natural, true, A::Sharp},
      {A::Sharp, true, A::DoubleSharp},  {A::DoubleSharp, true, A::DoubleSharp}};
  for (const auto& [from, raise, to] : cases) {
    A a = from;
    ShiftAccidental(a, raise);
    EXPECT_EQ(a, to);
  }
}

TEST(StepArithmetic, KeysAndPitchClasses) {
  EXPECT_EQ(VoiceKey({1, 5, A::No}), 60);
  EXPECT_EQ(VoiceKey({7, 10, A::DoubleSharp}), 127);
  EXPECT_EQ(VoiceKey({1, 0, A::DoubleFlat}), 0);
  EXPECT_EQ(VoiceKey({1, -3, A::No}), 0);
  EXPECT_EQ(PitchClassKey({5, 2, A::Sharp}), PitchClassKey({5, 6, A::Sharp}));
  EXPECT_NE(PitchClassKey({5, 2, A::Sharp}), PitchClassKey({5, 2, A::No}));
  EXPECT_EQ(DiatonicIndexOf({1, 2, A::No}), 8);
  EXPECT_EQ(DiatonicIndexOf({1, 0, A::No}), -6);
}

TLads Lad(int32_t kind, std::array<int32_t, 7> alterations = {}) {
  return TLads{"x", kind, alterations};
}

struct VoicingCase {
  const char* name;
  std::array<uint8_t, 4> degrees;
  uint8_t position;
  TSteps step;
  TLads lad;
  int32_t key;
  THarmonyVoices expected;
};

void PrintTo(const VoicingCase& c, std::ostream* os) { *os << c.name; }

class ChordVoicing : public testing::TestWithParam<VoicingCase> {};

TEST_P(ChordVoicing, PlacesTheChordInTheKey) {
  const VoicingCase& c = GetParam();
  THarmonyVoices v;
  BuildChordVoicing(v, TChords{"t", c.position, c.degrees}, c.step, c.lad, c.key);
  EXPECT_EQ(v, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChordVoicing,
    testing::Values(
        VoicingCase{"TonicCMajor", {1, 3, 5, 1}, kPositionClosely, {"t", 1, 0}, Lad(0), 0,
                    {{{1, 1, A::No}, {3, 1, A::No}, {5, 1, A::No}, {1, 2, A::No}}}},
        VoicingCase{"EqualDegreesStayTogether", {1, 1, 1, 1}, kPositionClosely, {"t", 1, 0},
                    Lad(0), 0, {{{1, 1, A::No}, {1, 1, A::No}, {1, 1, A::No}, {1, 1, A::No}}}},
        VoicingCase{"MinorKeyZeroIsAMinor", {1, 3, 5, 1}, kPositionClosely, {"t", 1, 0}, Lad(1), 0,
                    {{{6, 1, A::No}, {1, 2, A::No}, {3, 2, A::No}, {6, 2, A::No}}}},
        VoicingCase{"HarmonicMinorDominantRaisesTheLeadingTone", {1, 3, 5, 1}, kPositionClosely,
                    {"d", 5, 0}, Lad(1, {0, 0, 0, 0, 0, 0, 1}), 0,
                    {{{3, 1, A::No}, {5, 1, A::Sharp}, {7, 1, A::No}, {3, 2, A::No}}}},
        VoicingCase{"DominantOfTheDominantInCMajor", {1, 3, 5, 1}, kPositionClosely,
                    {"dd", 2, 1}, Lad(0), 0,
                    {{{2, 1, A::No}, {4, 1, A::Sharp}, {6, 1, A::No}, {2, 2, A::No}}}},
        VoicingCase{"DominantOfTheDominantInAMinor", {1, 3, 5, 1}, kPositionClosely,
                    {"dd", 2, 1}, Lad(1, {0, 0, 0, 0, 0, 0, 1}), 0,
                    {{{7, 1, A::No}, {2, 2, A::Sharp}, {4, 2, A::Sharp}, {7, 2, A::No}}}},
        VoicingCase{"FlatKeyEFlatMajorSubdominant", {1, 3, 5, 1}, kPositionClosely, {"s", 4, 0},
                    Lad(0), -3, {{{6, 1, A::Flat}, {1, 2, A::No}, {3, 2, A::Flat}, {6, 2, A::Flat}}}},
        VoicingCase{"MixedLiftsTheSoprano", {1, 3, 5, 5}, kPositionMixed, {"t", 1, 0}, Lad(0), 0,
                    {{{1, 1, A::No}, {3, 1, A::No}, {5, 1, A::No}, {5, 2, A::No}}}},
        VoicingCase{"MixedLeavesAWideGap", {1, 1, 5, 5}, kPositionMixed, {"t", 1, 0}, Lad(0), 0,
                    {{{1, 1, A::No}, {1, 1, A::No}, {5, 1, A::No}, {5, 1, A::No}}}},
        VoicingCase{"BroadLiftsAltoAndSoprano", {1, 1, 1, 5}, kPositionBroadly, {"t", 1, 0}, Lad(0),
                    0, {{{1, 1, A::No}, {1, 1, A::No}, {1, 2, A::No}, {5, 2, A::No}}}},
        VoicingCase{"BassEndsInTheFirstOctave", {5, 1, 3, 5}, kPositionClosely, {"v", 5, 0}, Lad(0),
                    0, {{{2, 1, A::No}, {5, 1, A::No}, {7, 1, A::No}, {2, 2, A::No}}}}));

}  // namespace
