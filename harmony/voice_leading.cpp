#include "harmony/voice_leading.h"

#include <cstdlib>

#include "base/error_sources.h"
#include "settings/lang_texts.h"

namespace {

int32_t Di(const HarmonyState& s, int v) { return DiatonicIndexOf(s.Voices[v]); }
int32_t Key(const HarmonyState& s, int v) { return VoiceKey(s.Voices[v]); }
int32_t Mod(int32_t a, int32_t m) { return ((a % m) + m) % m; }
int32_t Sign(int32_t a) { return (a > 0) - (a < 0); }

// A rule's message: its language text and the built-in one.
struct TRuleText {
  int Id;
  std::string_view BuiltIn;
};

// Returns broken; sets the failure text when asked to.
bool Broken(bool broken, bool report, TRuleText message) {
  if (broken && report) {
    HarmonyFailText = LangStrOr(message.Id, message.BuiltIn);
  }
  return broken;
}

// The direction a voice moves from p to c: 1 up, -1 down, 0 kept.
int32_t Motion(const HarmonyState& p, const HarmonyState& c, int v) { return Sign(Di(c, v) - Di(p, v)); }

// True when the move of voice v from p to c spans diatonic steps d and semitones s (mod
// 7 and 12, both taken as distances).
bool MoveIs(const HarmonyState& p, const HarmonyState& c, int v, int32_t d, int32_t s) {
  return std::abs(Di(c, v) - Di(p, v)) % 7 == d && std::abs(Key(c, v) - Key(p, v)) % 12 == s;
}

bool InRange(int32_t di, uint8_t low, uint8_t high) { return di >= low && di <= high; }

bool OutOfRange(const HarmonyState& c) {
  return !InRange(Di(c, kBass), BassMin, BassMax) || !InRange(Di(c, kTenor), TenorMin, TenorMax) ||
         !InRange(Di(c, kAlto), AltoMin, AltoMax) ||
         !InRange(Di(c, kSoprano), SopranoMin, SopranoMax);
}

// A voice passing beyond the neighbouring voices of the previous chord.
bool Overlaps(const HarmonyState& p, const HarmonyState& c) {
  return Key(c, kBass) > Key(p, kTenor) || Key(c, kTenor) < Key(p, kBass) ||
         Key(c, kTenor) > Key(p, kAlto) || Key(c, kAlto) < Key(p, kTenor) ||
         Key(c, kAlto) > Key(p, kSoprano) || Key(c, kSoprano) < Key(p, kAlto);
}

bool BassLeapTooWide(const HarmonyState& p, const HarmonyState& c) {
  const int32_t leap = std::abs(Di(p, kBass) - Di(c, kBass));
  return leap == 6 || leap >= 8;
}

// A perfect fifth, or an octave or unison, between voices x (lower) and y of a chord.
bool PerfectFifth(const HarmonyState& s, int x, int y) {
  return Mod(Di(s, y) - Di(s, x), 7) == 4 && Mod(Key(s, y) - Key(s, x), 12) == 7;
}
bool PerfectOctave(const HarmonyState& s, int x, int y) {
  return Mod(Di(s, y) - Di(s, x), 7) == 0 && Mod(Key(s, y) - Key(s, x), 12) == 0;
}

}  // namespace

bool BassTenorUnison(const HarmonyState& c, bool report) {
  return Broken(Di(c, kBass) == Di(c, kTenor), report, {2200, "Унисон между басом и тенором."});
}

bool AllVoicesOneWay(const HarmonyState& p, const HarmonyState& c, bool report) {
  const int32_t first = Motion(p, c, kBass);
  bool same = first != 0;
  for (int v = kTenor; v <= kSoprano; ++v) {
    same = same && Motion(p, c, v) == first;
  }
  return Broken(same, report, {2201, "Движение всех голосов в одну сторону."});
}

bool BassFourthsOrFifths(const HarmonyState& p2, const HarmonyState& p, const HarmonyState& c,
                         bool report) {
  const bool sameWay = Motion(p2, p, kBass) != 0 && Motion(p2, p, kBass) == Motion(p, c, kBass);
  const bool fourths = MoveIs(p2, p, kBass, 3, 5) && MoveIs(p, c, kBass, 3, 5);
  const bool fifths = MoveIs(p2, p, kBass, 4, 7) && MoveIs(p, c, kBass, 4, 7);
  return Broken(sameWay && (fourths || fifths), report,
                {2202, "Ход баса на две кварты или квинты в одну сторону."});
}

bool AugmentedInterval(const HarmonyState& p, const HarmonyState& c, bool report) {
  static constexpr TRuleText kMessages[4] = {
      {2208, "Ход баса на увеличенный интервал!"}, {2209, "Ход тенора на увеличенный интервал!"},
      {2210, "Ход альта на увеличенный интервал!"}, {2211, "Ход сопрано на увеличенный интервал!"}};
  for (int v = kBass; v <= kSoprano; ++v) {
    if (MoveIs(p, c, v, 4, 8) || MoveIs(p, c, v, 4, 9) || MoveIs(p, c, v, 3, 6) ||
        MoveIs(p, c, v, 3, 7)) {
      return Broken(true, report, kMessages[v]);
    }
  }
  return false;
}

bool BassRepetition(const HarmonyState& p, const HarmonyState& c, bool report) {
  return Broken(Di(c, kBass) == Di(p, kBass), report, {2203, "Повтор баса."});
}

bool BassSopranoSameWay(const HarmonyState& p, const HarmonyState& c, bool report) {
  const int32_t bass = Motion(p, c, kBass);
  return Broken(bass != 0 && bass == Motion(p, c, kSoprano), report,
                {2204, "Параллельное движение баса и сопрано."});
}

bool HeldVoiceMoves(const HarmonyState& p, const HarmonyState& c, bool report) {
  bool broken = false;
  for (int v = kBass; v <= kSoprano; ++v) {
    broken = broken || (c.Hold[v] != 0 && Di(c, v) != Di(p, v));
  }
  return Broken(broken, report, {2205, "Невозможно продлить голос."});
}

bool VariedVoiceStays(const HarmonyState& p, const HarmonyState& c, bool report) {
  bool broken = false;
  for (int v = kBass; v <= kSoprano; ++v) {
    broken = broken || (c.Vary[v] != 0 && Di(c, v) == Di(p, v));
  }
  return Broken(broken, report, {2206, "Невозможно разнообразить голос."});
}

bool RangeOrCrossing(const HarmonyState* p, const HarmonyState& c, bool report) {
  const bool broken =
      OutOfRange(c) || (p != nullptr && (Overlaps(*p, c) || BassLeapTooWide(*p, c)));
  return Broken(broken, report,
                {2207, "Выход голосов за пределы дозволенных границ или перекрещивание."});
}

bool Parallels(const HarmonyState& p, const HarmonyState& c, bool report) {
  struct Pair {
    int Lower;
    int Upper;
    TRuleText Message;
  };
  static constexpr Pair kPairs[6] = {
      {kBass, kTenor, {2212, "Параллелизмы между басом и тенором."}},
      {kTenor, kAlto, {2213, "Параллелизмы между тенором и альтом."}},
      {kAlto, kSoprano, {2214, "Параллелизмы между альтом и сопрано."}},
      {kBass, kAlto, {2215, "Параллелизмы между басом и альтом."}},
      {kBass, kSoprano, {2216, "Параллелизмы между басом и сопрано."}},
      {kTenor, kSoprano, {2217, "Параллелизмы между тенором и сопрано."}}};
  for (const Pair& pair : kPairs) {
    const bool fifths = PerfectFifth(p, pair.Lower, pair.Upper) && PerfectFifth(c, pair.Lower, pair.Upper);
    const bool octaves =
        PerfectOctave(p, pair.Lower, pair.Upper) && PerfectOctave(c, pair.Lower, pair.Upper);
    // A chromatic step (D to D sharp) moves the voice too.
    const bool bothMove = Key(p, pair.Lower) != Key(c, pair.Lower) &&
                          Key(p, pair.Upper) != Key(c, pair.Upper);
    if ((fifths || octaves) && bothMove) {
      return Broken(true, report, pair.Message);
    }
  }
  return false;
}
