#include "harmony/voice_leading.h"

#include <gtest/gtest.h>

#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "tests/support/keep.h"

namespace {

using K = TKeySign;

// A chord of four written notes "step/octave" for bass, tenor, alto, soprano.
HarmonyState Chord(HarmonyVoiceNote b, HarmonyVoiceNote t, HarmonyVoiceNote a, HarmonyVoiceNote s) {
  HarmonyState c;
  c.Voices = {b, t, a, s};
  return c;
}

HarmonyVoiceNote N(int32_t step, int32_t octave, K accidental = K::No) {
  return {step, octave, accidental};
}

// C major: C3 G3 C4 E4 (program octaves 4 and 5).
const HarmonyState kTonic = Chord(N(1, 4), N(5, 4), N(1, 5), N(3, 5));

// A language in which the text of every rule is its id.
class TRuleIdLanguage {
 public:
  TRuleIdLanguage() {
    std::vector<std::string> lines;
    for (int id = 2200; id <= 2217; ++id) {
      lines.push_back(std::to_string(id) + "=" + std::to_string(id));
    }
    LangStrings.Set(TLangTable::FromLines(lines));
  }
  ~TRuleIdLanguage() { UnloadLanguage(); }
};

struct CheckCase {
  const char* name;
  HarmonyState previous;
  HarmonyState current;
  bool (*check)(const HarmonyState&, const HarmonyState&, bool);
  bool broken;
  const char* message;  // UTF-8, when broken
  int id = 0;           // of the message's language text
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class VoiceLeadingChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(VoiceLeadingChecks, BreakOnlyWhereTheRuleSays) {
  const CheckCase& c = GetParam();
  HarmonyFailText = "unchanged";
  EXPECT_EQ(c.check(c.previous, c.current, false), c.broken);
  EXPECT_EQ(HarmonyFailText, "unchanged");  // without report the text stays
  EXPECT_EQ(c.check(c.previous, c.current, true), c.broken);
  EXPECT_EQ(HarmonyFailText, c.broken ? Utf8ToCp1251(c.message).Text : "unchanged");
  if (c.broken) {
    TRuleIdLanguage ids;
    c.check(c.previous, c.current, true);
    EXPECT_EQ(HarmonyFailText, std::to_string(c.id));
  }
}

HarmonyState WithHold(HarmonyState s, int voice) {
  s.Hold[voice] = 1;
  return s;
}
HarmonyState WithVary(HarmonyState s, int voice) {
  s.Vary[voice] = 1;
  return s;
}

// Checks of two chords; the range check with a previous chord.
bool Range(const HarmonyState& p, const HarmonyState& c, bool report) {
  return RangeOrCrossing(&p, c, report);
}
bool Unison(const HarmonyState&, const HarmonyState& c, bool report) {
  return BassTenorUnison(c, report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VoiceLeadingChecks,
    testing::Values(
        CheckCase{"ParallelFifthsBassTenor", kTonic, Chord(N(2, 4), N(6, 4), N(2, 5), N(4, 5)),
                  Parallels, true, "Параллелизмы между басом и тенором.", 2212},
        CheckCase{"ParallelOctavesBassAlto", Chord(N(1, 4), N(3, 4), N(1, 5), N(5, 5)),
                  Chord(N(2, 4), N(4, 4), N(2, 5), N(4, 5)), Parallels, true,
                  "Параллелизмы между басом и альтом.", 2215},
        CheckCase{"DiminishedToPerfectFifthIsAllowed", Chord(N(5, 3), N(2, 4), N(7, 4), N(4, 5)),
                  Chord(N(1, 4), N(3, 4), N(1, 5), N(5, 5)), Parallels, false, ""},
        CheckCase{"RepeatedChordHasNoParallels", kTonic, kTonic, Parallels, false, ""},
        CheckCase{"AllVoicesUp", kTonic, Chord(N(2, 4), N(6, 4), N(2, 5), N(4, 5)),
                  AllVoicesOneWay, true, "Движение всех голосов в одну сторону.", 2201},
        CheckCase{"OneVoiceKept", kTonic, Chord(N(2, 4), N(5, 4), N(2, 5), N(4, 5)),
                  AllVoicesOneWay, false, ""},
        CheckCase{"AugmentedFourthInTheAlto", Chord(N(1, 4), N(5, 4), N(4, 5), N(3, 5)),
                  Chord(N(1, 4), N(5, 4), N(7, 5), N(3, 5)), AugmentedInterval, true,
                  "Ход альта на увеличенный интервал!", 2210},
        CheckCase{"AugmentedFifthInTheBass", kTonic, Chord(N(5, 4, K::Sharp), N(5, 4), N(1, 5), N(3, 5)),
                  AugmentedInterval, true, "Ход баса на увеличенный интервал!", 2208},
        CheckCase{"PerfectFifthIsNotAugmented", kTonic, Chord(N(5, 4), N(5, 4), N(1, 5), N(3, 5)),
                  AugmentedInterval, false, ""},
        CheckCase{"BassRepeated", kTonic, Chord(N(1, 4), N(6, 4), N(1, 5), N(4, 5)), BassRepetition,
                  true, "Повтор баса.", 2203},
        CheckCase{"BassAnOctaveLowerIsNoRepetition", kTonic, Chord(N(1, 3), N(6, 4), N(1, 5), N(4, 5)),
                  BassRepetition, false, ""},
        CheckCase{"BassAndSopranoUp", kTonic, Chord(N(2, 4), N(5, 4), N(7, 4), N(4, 5)),
                  BassSopranoSameWay, true, "Параллельное движение баса и сопрано.", 2204},
        CheckCase{"BassUpSopranoDown", kTonic, Chord(N(2, 4), N(5, 4), N(7, 4), N(2, 5)),
                  BassSopranoSameWay, false, ""},
        CheckCase{"HeldSopranoMoves", kTonic, WithHold(Chord(N(4, 4), N(6, 4), N(1, 5), N(4, 5)), kSoprano),
                  HeldVoiceMoves, true, "Невозможно продлить голос.", 2205},
        CheckCase{"HeldAltoStays", kTonic, WithHold(Chord(N(4, 4), N(6, 4), N(1, 5), N(4, 5)), kAlto),
                  HeldVoiceMoves, false, ""},
        CheckCase{"VariedAltoStays", kTonic, WithVary(Chord(N(4, 4), N(6, 4), N(1, 5), N(4, 5)), kAlto),
                  VariedVoiceStays, true, "Невозможно разнообразить голос.", 2206},
        CheckCase{"TenorAboveThePreviousAlto", kTonic, Chord(N(4, 4), N(2, 5), N(4, 5), N(6, 5)), Range,
                  true, "Выход голосов за пределы дозволенных границ или перекрещивание.", 2207},
        CheckCase{"BassLeapOfASeventh", kTonic, Chord(N(2, 3), N(6, 4), N(2, 5), N(4, 5)), Range,
                  true, "Выход голосов за пределы дозволенных границ или перекрещивание.", 2207},
        CheckCase{"BassLeapOfANinth", kTonic, Chord(N(7, 2), N(5, 4), N(1, 5), N(3, 5)), Range,
                  true, "Выход голосов за пределы дозволенных границ или перекрещивание.", 2207},
        CheckCase{"BassLeapOfAnOctave", kTonic, Chord(N(1, 3), N(5, 4), N(1, 5), N(3, 5)), Range,
                  false, ""},
        CheckCase{"BassAndTenorInUnison", kTonic, Chord(N(1, 4), N(1, 4), N(5, 4), N(3, 5)), Unison,
                  true, "Унисон между басом и тенором.", 2200},
        CheckCase{"AugmentedFourthInTheTenor", Chord(N(1, 4), N(4, 4), N(1, 5), N(3, 5)),
                  Chord(N(1, 4), N(7, 4), N(1, 5), N(3, 5)), AugmentedInterval, true,
                  "Ход тенора на увеличенный интервал!", 2209},
        CheckCase{"AugmentedFourthInTheSoprano", Chord(N(1, 4), N(5, 4), N(1, 5), N(4, 5)),
                  Chord(N(1, 4), N(5, 4), N(1, 5), N(7, 5)), AugmentedInterval, true,
                  "Ход сопрано на увеличенный интервал!", 2211},
        CheckCase{"ParallelFifthsTenorAlto", Chord(N(1, 4), N(3, 4), N(7, 4), N(5, 5)),
                  Chord(N(2, 4), N(4, 4), N(1, 5), N(6, 5)), Parallels, true,
                  "Параллелизмы между тенором и альтом.", 2213},
        CheckCase{"ParallelFifthsAltoSoprano", Chord(N(1, 4), N(3, 4), N(1, 5), N(5, 5)),
                  Chord(N(2, 4), N(4, 4), N(2, 5), N(6, 5)), Parallels, true,
                  "Параллелизмы между альтом и сопрано.", 2214},
        CheckCase{"ParallelOctavesBassSoprano", Chord(N(1, 4), N(3, 4), N(6, 4), N(1, 5)),
                  Chord(N(2, 4), N(4, 4), N(7, 4), N(2, 5)), Parallels, true,
                  "Параллелизмы между басом и сопрано.", 2216},
        CheckCase{"ParallelOctavesTenorSoprano", Chord(N(5, 3), N(3, 4), N(1, 5), N(3, 5)),
                  Chord(N(6, 3), N(4, 4), N(2, 5), N(4, 5)), Parallels, true,
                  "Параллелизмы между тенором и сопрано.", 2217}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(VoiceLeading, BassTenorUnisonAndTwoFourths) {
  EXPECT_TRUE(BassTenorUnison(Chord(N(1, 4), N(1, 4), N(5, 4), N(3, 5)), false));
  EXPECT_FALSE(BassTenorUnison(kTonic, false));
  // C3 -> F3 -> B-flat3 rises by two fourths; C3 -> F3 -> C3 does not.
  const HarmonyState f = Chord(N(4, 4), N(6, 4), N(1, 5), N(4, 5));
  const HarmonyState bFlat = Chord(N(7, 4, K::Flat), N(4, 4), N(2, 5), N(4, 5));
  EXPECT_TRUE(BassFourthsOrFifths(kTonic, f, bFlat, true));
  EXPECT_EQ(HarmonyFailText, Utf8ToCp1251("Ход баса на две кварты или квинты в одну сторону.").Text);
  {
    TRuleIdLanguage ids;
    BassFourthsOrFifths(kTonic, f, bFlat, true);
    EXPECT_EQ(HarmonyFailText, "2202");
  }
  EXPECT_FALSE(BassFourthsOrFifths(kTonic, f, kTonic, false));
}

TEST(VoiceLeading, WithoutAPreviousChordOnlyTheRangesCount) {
  TKeep keep(BassMin, BassMax, TenorMin, TenorMax, AltoMin, AltoMax, SopranoMin, SopranoMax);
  BassMin = 17, BassMax = 29, TenorMin = 22, TenorMax = 33;  // the classical ranges
  AltoMin = 26, AltoMax = 37, SopranoMin = 29, SopranoMax = 41;
  EXPECT_FALSE(RangeOrCrossing(nullptr, kTonic, false));
  EXPECT_TRUE(RangeOrCrossing(nullptr, Chord(N(1, 3), N(5, 4), N(1, 5), N(3, 5)), false));  // C2
  EXPECT_TRUE(RangeOrCrossing(nullptr, Chord(N(1, 4), N(5, 4), N(1, 5), N(1, 7)), false));  // C6
}

}  // namespace
