// libFuzzer target: any harmony rules (the lines up to one that is "==") and any melody
// with harmony texts (the lines after it) are harmonized, or refused with a code, within
// the tries allowed. A melody line is "SOALK text": step, octave, accidental, length and
// key digits, each taken modulo its range (a length digit 6..11 starts a signature in the
// key K - 7; the accidental digit gives its numerator, 2 + A).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "harmony/harmony_records.h"
#include "harmony/harmonizer.h"
#include "harmony/harmony_rules.h"
#include "harmony/harmony_text.h"

namespace {

constexpr uint32_t kMaxTries = 2000;

// The settings a rules text may change, put back after each input.
struct TRuleGlobals {
  char Letters[4] = {PositionBroadly, PositionClosely, PositionMixed, PositionUnknown};
  uint8_t Ranges[8] = {BassMin, BassMax, TenorMin, TenorMax, AltoMin, AltoMax, SopranoMin, SopranoMax};

  void Restore() const {
    PositionBroadly = Letters[0];
    PositionClosely = Letters[1];
    PositionMixed = Letters[2];
    PositionUnknown = Letters[3];
    uint8_t* ranges[8] = {&BassMin, &BassMax, &TenorMin, &TenorMax, &AltoMin, &AltoMax, &SopranoMin, &SopranoMax};
    for (int i = 0; i < 8; ++i) {
      *ranges[i] = Ranges[i];
    }
  }
};

uint8_t Digit(const std::string& line, size_t at) {
  return at < line.size() ? static_cast<uint8_t>(line[at] - '0') : 0;
}

THarmonyNote MelodyNote(const std::string& line) {
  THarmonyNote note;
  note.Written.Step = Digit(line, 0) % 8;
  note.Written.Octave = Digit(line, 1) % 10;
  note.Written.Accidental = static_cast<TKeySign>(Digit(line, 2) % 6);
  const uint8_t length = Digit(line, 3) % 12;
  note.WholeNotes = 1.0L / (1 << (length % 6));
  note.HasSignature = length >= 6;
  note.Numerator = 2 + Digit(line, 2) % 5;
  note.Denominator = 4;
  note.SignatureKey = Digit(line, 4) % 15 - 7;
  note.Text = line.size() > 6 ? line.substr(6) : std::string();
  return note;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TRuleGlobals kInstalled;
  kInstalled.Restore();
  const std::vector<std::string> lines = InputLines(data, size);
  size_t split = 0;
  while (split < lines.size() && lines[split] != "==") {
    ++split;
  }
  THarmonyRules rules;
  ReadHarmonyRules({lines.begin(), lines.begin() + split}, rules);
  std::vector<THarmonyNote> melody;
  for (size_t i = split + 1; i < lines.size(); ++i) {
    melody.push_back(MelodyNote(lines[i]));
    HarmonyState state;
    ReadHarmonyText(melody.back().Text, rules, state);
  }
  const THarmonyResult result = HarmonizeSequence(melody, rules, 1920, kMaxTries);
  FUZZ_CHECK(result.Tries <= kMaxTries + 1);
  FUZZ_CHECK(result.Ok == (result.Code == 0));
  if (result.Ok) {
    FUZZ_CHECK(result.Chords.size() == melody.size() && result.States.size() == melody.size());
    for (size_t i = 0; i < melody.size(); ++i) {
      FUZZ_CHECK(melody[i].Text.empty() || result.States[i].has_value());
    }
  }
  return 0;
}
