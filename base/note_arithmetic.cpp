#include "base/note_arithmetic.h"

#include <algorithm>

namespace {

bool IsCellValue(uint8_t value) {
  return value == 1 || value == 2 || value == 4 || value == 8;
}

constexpr uint8_t kMaxExactDots = 24;

}  // namespace

double SafeDiv(int32_t n, double x) {
  if (n < 1) {
    return 0.0;
  }
  return x / n;
}

long double NoteDuration(uint8_t kind, uint8_t value, uint8_t dots, uint8_t tuplet,
                         long double wholeTicks) {
  if (!IsCellValue(value)) {
    return 0.0L;
  }
  long double d = (kind == kValueKindLarge) ? 128.0L / value : 8.0L / value;
  long double inc = d / 2;
  for (uint8_t i = 0; i < dots; ++i) {
    d += inc;
    inc /= 2;
  }
  if (tuplet > 1) {
    d = d / tuplet * 2;
  }
  return d / 128 * wholeTicks;
}

TRational NoteFraction(uint8_t kind, uint8_t value, uint8_t dots, uint8_t tuplet) {
  if (!IsCellValue(value)) {
    return TRational(0);
  }
  // The undotted value is 1/value (large) or 1/(16 value) (small); n dots make it
  // (2^(n+1) - 1) / 2^n times as long.
  int64_t den = (kind == kValueKindLarge) ? value : 16 * value;
  uint8_t n = std::min(dots, kMaxExactDots);
  int64_t scale = int64_t{1} << n;
  TRational length(2 * scale - 1, den * scale);
  if (tuplet > 1) {
    length = length * TRational(2, tuplet);
  }
  return length;
}

int32_t StepSemitone(int32_t step) {
  static constexpr int32_t kSemitones[8] = {-1, 0, 2, 4, 5, 7, 9, 11};
  if (step < 1 || step > 7) {
    return -1;
  }
  return kSemitones[step];
}

int32_t AccidentalShift(TKeySign accidental) {
  switch (accidental) {
    case TKeySign::DoubleFlat:
      return -2;
    case TKeySign::Flat:
      return -1;
    case TKeySign::Sharp:
      return 1;
    case TKeySign::DoubleSharp:
      return 2;
    default:
      return 0;
  }
}

int32_t MidiKeyOf(int32_t step, TKeySign accidental, int32_t octave) {
  int32_t semitone = StepSemitone(step);
  if (semitone < 0) {
    return 0;
  }
  int64_t key = int64_t{semitone} + AccidentalShift(accidental) + int64_t{12} * octave;
  return static_cast<int32_t>(std::clamp<int64_t>(key, 0, 127));
}

uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<uint8_t>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<uint8_t>(c - 'A' + 10);
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<uint8_t>(c - 'a' + 10);
  }
  return 0;
}

uint8_t ClassifyText(std::string_view text) {
  uint8_t bits = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool letter = c == '.' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                  c >= 0xC0 || c == 0xA8 || c == 0xB8;
    bool number = (c >= '0' && c <= '9') || c == ',' || (c == '-' && i == 0);
    if (letter) {
      bits |= 1;
    } else if (number) {
      bits |= 2;
    } else if (c == ' ') {
      bits |= 8;
    } else {
      bits |= 4;
    }
  }
  return bits;
}

uint8_t DiatonicIndex(uint8_t step, uint8_t octave) {
  return static_cast<uint8_t>((octave - 1) * 7 + step);
}

int32_t ClampOctave(int64_t octave) {
  return static_cast<int32_t>(std::clamp<int64_t>(octave, kLowestOctave, kHighestNoteOctave));
}
