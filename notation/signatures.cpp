#include "notation/signatures.h"

#include <algorithm>

#include "notation/braille_cells.h"
#include "base/rational.h"

namespace {

constexpr std::string_view kRestLetters = "muvx";

void SetCode(TErrorRecord& errors, uint8_t code) {
  errors.Update([code](TErrors& e) { e.Code = code; });
}

bool IsPowerOfTwoUpTo128(int32_t den) {
  return den >= 1 && den <= 128 && (den & (den - 1)) == 0;
}

// Applies one key sign to the key; false when it does not fit.
bool ApplyKeySign(char sign, int32_t& key) {
  if (sign == '(' && key <= 0 && key > -7) {
    --key;
  } else if (sign == 'M' && key >= 0 && key < 7) {
    ++key;
  } else if (sign == '\\' && key < 0) {
    ++key;
  } else if (sign == '\\' && key >= 1) {
    --key;
  } else {
    return false;
  }
  return true;
}

// Reads digits of one class from pos on; -1 when there are none or the number exceeds 255.
int32_t ReadNumber(std::string_view s, size_t& pos, int32_t (*digit)(char)) {
  size_t start = pos;
  int32_t number = 0;
  while (pos < s.size() && digit(s[pos]) >= 0) {
    number = std::min(number * 10 + digit(s[pos]), 1000);
    ++pos;
  }
  if (pos == start || number > 255) {
    return -1;
  }
  return number;
}

}  // namespace

bool ParseSignature(TReaderContext& ctx, std::string_view signature, uint8_t voice, TErrorRecord& errors) {
  TVoiceState& v = ctx.Voice(voice);
  v.TimeNum = 0;
  v.TimeDen = 0;
  size_t pos = 0;
  while (pos < signature.size() && signature[pos] != kNumberSign) {
    if (!ApplyKeySign(signature[pos], v.Key)) {
      SetCode(errors, 11);
      return false;
    }
    ++pos;
  }
  if (pos >= signature.size()) {
    return false;
  }
  ++pos;
  int32_t num = ReadNumber(signature, pos, UpperDigitValue);
  int32_t den = ReadNumber(signature, pos, LowerDigitValue);
  if (pos != signature.size() || num <= 0 || !IsPowerOfTwoUpTo128(den)) {
    return false;
  }
  v.TimeNum = static_cast<uint8_t>(num);
  v.TimeDen = static_cast<uint8_t>(den);
  return true;
}

bool ReadSignatures(TReaderContext& ctx, TMeasureText& text, std::string& token, uint8_t voice,
                    TErrorRecord& errors) {
  std::string_view s = text.Rest();
  size_t i = 0;
  while (i < s.size() && s[i] == '\\') {
    ++i;
  }
  if (i < s.size() && (s[i] == 'M' || s[i] == '(')) {
    char sign = s[i];
    while (i < s.size() && s[i] == sign) {
      ++i;
    }
  }
  if (i >= s.size() || s[i] != kNumberSign) {
    return false;
  }
  ++i;
  while (i < s.size() && UpperDigitValue(s[i]) >= 0) {
    ++i;
  }
  size_t lowerStart = i;
  while (i < s.size() && LowerDigitValue(s[i]) >= 0) {
    ++i;
  }
  if (i == lowerStart) {
    return false;
  }
  std::string signature(s.substr(0, i));
  text.Consume(i, token);
  ParseSignature(ctx, signature, voice, errors);
  return true;
}

std::string MeasureRestCells(uint8_t num, uint8_t den) {
  std::string out;
  if (num == 0 || !IsPowerOfTwoUpTo128(den)) {
    return out;
  }
  TRational r(num, den);
  while (r >= TRational(2)) {
    r -= TRational(1);
    out += 'm';
  }
  TRational x(num);
  while (x / TRational(den) > TRational(2)) {
    x -= TRational(den);
  }
  int32_t j = 0;
  while ((1 << j) < den) {
    ++j;
  }
  while (x >= TRational(2)) {
    x = x / TRational(2);
    j = std::max(j - 1, 0);
  }
  const int32_t firstJ = j;
  out += kRestLetters[j % 4];
  TRational fraction = x - TRational(x.Num() / x.Den());
  TRational inc(1, 2);
  while (!fraction.IsZero() && fraction >= inc) {
    out += '.';
    fraction -= inc;  // each dot takes what it adds
    inc = inc / TRational(2);
  }
  while (fraction > TRational(0)) {
    while (fraction < TRational(1)) {
      fraction = fraction * TRational(2);
      ++j;
    }
    if (j >= 4 && firstJ < 4 && j % 4 == firstJ % 4) {
      out += ",(1";
    }
    out += kRestLetters[j % 4];
    fraction -= TRational(1);
  }
  return out;
}

void ExpandMeasureRest(TReaderContext& ctx, TMeasureText& text, uint8_t voice) {
  std::string_view s = text.Rest();
  bool applies = s == "m" || s.empty() || s.starts_with("m()") || s.starts_with("()");
  const TVoiceState& v = ctx.Voice(voice);
  if (!applies || !v.HasTimeSignature()) {
    return;
  }
  std::string cells = MeasureRestCells(v.TimeNum, v.TimeDen);
  if (s.size() <= 1) {
    text.Assign(cells);
  } else if (s.front() == 'm') {
    text.Skip(1);
    text.Prepend(cells);
  } else {
    text.Prepend(cells);
  }
}

uint8_t ReadClefTransposition(TReaderContext& ctx, TMeasureText& text, std::string& token, uint8_t voice) {
  char first = text.Front();
  char digit = text.At(2);
  bool upward = UpperDigitValue(digit) >= 0;
  bool downward = LowerDigitValue(digit) >= 0;
  if ((first != '!' && first != '.') || text.At(1) != kNumberSign || (!upward && !downward)) {
    return 128;
  }
  text.Consume(2, token);
  int32_t (*digitValue)(char) = upward ? UpperDigitValue : LowerDigitValue;
  int32_t number = 0;
  while (!text.Empty() && digitValue(text.Front()) >= 0) {
    number = std::min(number * 10 + digitValue(text.Front()), 1000);
    text.Consume(1, token);
  }
  int32_t shift = number == 8 ? 12 : (number == 5 ? 7 : 0);
  while (text.Front() == '.') {
    text.Consume(1, token);
  }
  ExpandMeasureRest(ctx, text, voice);
  return static_cast<uint8_t>(upward ? 128 + shift : 128 - shift);
}
