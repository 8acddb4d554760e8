#include "notation/braille_reader.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "notation/braille_cells.h"
#include "notation/signatures.h"

namespace {

constexpr int32_t kLowestSignOctave = 1;

// The first characters of every sign longer than one character (ReadFour, ReadThree,
// ReadTwo); a group beginning with any other character is a single-character sign.
constexpr std::string_view kLongSignStarts = "B,)KL_(McA8!/UV903";

constexpr std::array<std::string_view, 6> kShortClefs = {")/l", ")/k", ")Ul", ")Uk", ")Vl", ")Vk"};
constexpr std::array<std::string_view, 19> kLongClefs = {
    ")/Al", ")/Ak", ")/Bl", ")/Bk", ")UAl", ")UAk", ")UBl", ")UBk", ")ULl", ")U!k", ")U!l", ")UKl",
    ")UKk", ")VLl", ")VLk", ")V!l", ")V!k", ")VKl", ")VKk"};

// What one sign group did.
enum class TGroup {
  Prefix,    // changed the out-parameters; reading goes on
  Modifier,  // recorded in the pending signs; reading goes on
  Terminal,  // ends the call with its kind
  Restart,   // a hand-mode sign; matching starts again at the longest length
  Unknown,   // nothing recognised (or an error): the call returns None
};

struct TGroupResult {
  TGroup Group;
  TSignKind Kind = TSignKind::None;
};

// One call of the reader: the arguments and what this call has read so far.
class TTokenCall {
 public:
  TTokenCall(TReaderContext& ctx, TMeasureText& text, std::string& token, int32_t& step, int32_t& value,
             int32_t& octave, TKeySign& accidental, uint8_t& tupletCounter, uint8_t& tupletNumber,
             TErrorRecord& errors, uint8_t voice)
      : ctx_(ctx), text_(text), token_(token), step_(step), value_(value), octave_(octave),
        accidental_(accidental), tupletCounter_(tupletCounter), tupletNumber_(tupletNumber),
        errors_(errors), voice_(voice), v_(ctx.Voice(voice)) {}

  TSignKind Run();

 private:
  bool MeasureStartPass();
  bool Record(TSignKind kind);
  TGroupResult ReadGroup();
  TGroupResult ReadTuplet();
  TGroupResult ReadFour(std::string_view s);
  TGroupResult ReadThree(std::string_view s);
  TGroupResult ReadTwo(std::string_view s);
  TGroupResult ReadOne(char c);
  TGroupResult ReadChordTieRepeat();
  TGroupResult ReadNote(char c);
  TGroupResult ReadRest(char c);
  TGroupResult ReadOctave(size_t length);
  TGroupResult ReadInterval(int32_t interval, size_t length, bool doubled);
  TGroupResult ReadClef(size_t length);
  TGroupResult ReadBlockCall();
  TGroupResult ReadLabel();
  TGroupResult ReadBrace();
  TGroupResult Consumed(size_t length, TGroup group, TSignKind kind);
  void SetCode(uint8_t code) {
    errors_.Update([code](TErrors& e) { e.Code = code; });
  }

  TReaderContext& ctx_;
  TMeasureText& text_;
  std::string& token_;
  int32_t& step_;
  int32_t& value_;
  int32_t& octave_;
  TKeySign& accidental_;
  uint8_t& tupletCounter_;
  uint8_t& tupletNumber_;
  TErrorRecord& errors_;
  uint8_t voice_;
  TVoiceState& v_;
  bool octaveRead_ = false;  // an octave sign was read in this call
  TSignKind last_ = TSignKind::None;
};

TSignKind TTokenCall::Run() {
  token_.clear();
  while (!text_.Empty() && static_cast<unsigned char>(text_.Front()) < 33) {
    text_.Skip(1);
  }
  if (text_.Empty()) {
    return TSignKind::None;
  }
  ctx_.PendingSigns.clear();
  accidental_ = TKeySign::No;
  for (;;) {
    if (ctx_.MeasureStart && (text_.Empty() || text_.Front() != '<') && !MeasureStartPass()) {
      return TSignKind::None;
    }
    if (text_.Empty()) {
      return last_;
    }
    TGroupResult r = ReadGroup();
    switch (r.Group) {
      case TGroup::Terminal:
        return r.Kind;
      case TGroup::Unknown:
        return TSignKind::None;
      case TGroup::Modifier:
        if (!Record(r.Kind)) {
          return TSignKind::None;
        }
        break;
      case TGroup::Prefix:
        last_ = r.Kind;
        break;
      case TGroup::Restart:
        break;
    }
    if (text_.Empty()) {
      return last_;
    }
  }
}

// Appends a modifier kind to the pending signs; false when they are full.
bool TTokenCall::Record(TSignKind kind) {
  if (ctx_.PendingSigns.size() >= kMaxPendingSigns) {
    return false;
  }
  ctx_.PendingSigns.push_back(kind);
  last_ = kind;
  return true;
}

// The processing at a measure start: accidental memory cleared, a signature read or
// inherited from the voices below, a whole-measure rest expanded. False on an error.
bool TTokenCall::MeasureStartPass() {
  v_.Accidentals.fill(TKeySign::No);
  if (text_.Front() != '{' && text_.Front() != ')') {
    ctx_.MeasureStart = false;
  }
  bool read = ReadSignatures(ctx_, text_, token_, voice_, errors_);
  if (errors_.Code() != 0) {
    return false;
  }
  if (!read) {
    if (!v_.HasTimeSignature()) {
      ctx_.MeasureStart = true;
      const TVoiceState* below = nullptr;
      for (int lower = std::min<int>(voice_, kVoiceCount) - 1; lower >= 1 && below == nullptr; --lower) {
        if (ctx_.Voices[lower].HasTimeSignature()) {
          below = &ctx_.Voices[lower];
        }
      }
      if (below == nullptr) {
        SetCode(8);
        return false;
      }
      v_.TimeNum = below->TimeNum;
      v_.TimeDen = below->TimeDen;
      v_.Key = below->Key;
      if (!Record(TSignKind::Signature)) {
        return false;
      }
    }
  } else {
    if (!v_.HasTimeSignature()) {
      SetCode(12);
      return false;
    }
    ctx_.MeasureStart = true;
    if (!Record(TSignKind::Signature)) {
      return false;
    }
  }
  ExpandMeasureRest(ctx_, text_, voice_);
  return true;
}

// Matches the longest sign at the front of the text and applies it.
TGroupResult TTokenCall::ReadGroup() {
  std::string_view s = text_.Rest();
  if (s.front() == 'L') {
    TGroupResult tuplet = ReadTuplet();
    if (tuplet.Group != TGroup::Restart) {
      return tuplet;
    }
  }
  if (kLongSignStarts.find(s.front()) == std::string_view::npos) {
    return ReadOne(s.front());
  }
  if (s.size() >= 4) {
    TGroupResult r = ReadFour(s.substr(0, 4));
    if (r.Group != TGroup::Unknown) {
      return r;
    }
  }
  if (s.size() >= 3) {
    TGroupResult r = ReadThree(s.substr(0, 3));
    if (r.Group != TGroup::Unknown) {
      return r;
    }
  }
  if (s.size() >= 2) {
    TGroupResult r = ReadTwo(s.substr(0, 2));
    if (r.Group != TGroup::Unknown) {
      return r;
    }
  }
  return ReadOne(s.front());
}

TGroupResult TTokenCall::Consumed(size_t length, TGroup group, TSignKind kind) {
  text_.Consume(length, token_);
  return {group, kind};
}

// A tuplet group "L" + number + ".": a whole number 2..254 sets the tuplet; other number
// texts are an error (code 5). Restart means the text is no tuplet group.
TGroupResult TTokenCall::ReadTuplet() {
  std::string_view s = text_.Rest();
  size_t dot = s.find('.');
  if (dot == std::string_view::npos || dot < 2) {
    return {TGroup::Restart};
  }
  std::string_view number = s.substr(1, dot - 1);
  if (ClassifyText(number) != 2) {
    return {TGroup::Restart};
  }
  bool whole = std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
  int32_t n = 0;
  for (char c : number) {
    n = whole ? std::min(n * 10 + (c - '0'), 1000) : n;
  }
  if (!whole || n < 2 || n > 254) {
    SetCode(5);
    return {TGroup::Unknown};
  }
  tupletNumber_ = static_cast<uint8_t>(n);
  tupletCounter_ = static_cast<uint8_t>(n + 1);
  return Consumed(dot + 1, TGroup::Prefix, last_);
}

TGroupResult TTokenCall::ReadFour(std::string_view s) {
  if (s == "BcBc") {
    TGroupResult r = ReadChordTieRepeat();
    if (r.Group != TGroup::Unknown) {
      return r;
    }
  }
  if (s == "B((1") {
    v_.ValueMode = kValueModeLarge;
    return Consumed(4, TGroup::Modifier, TSignKind::LargeValues);
  }
  if (s == ",((1") {
    v_.ValueMode = kValueModeSmall;
    return Consumed(4, TGroup::Modifier, TSignKind::SmallValues);
  }
  if (s == ",8,8") {
    v_.StaccatissimoPassage = true;
    return Consumed(4, TGroup::Modifier, TSignKind::Staccatissimo);
  }
  if (s == ")cr.") {
    return Consumed(4, TGroup::Modifier, TSignKind::Crescendo);
  }
  if (std::find(kLongClefs.begin(), kLongClefs.end(), s) != kLongClefs.end()) {
    return ReadClef(4);
  }
  return {TGroup::Unknown};
}

TGroupResult TTokenCall::ReadThree(std::string_view s) {
  if (s == "B(1") {
    v_.ValueMode = kValueModeNone;
    return Consumed(3, TGroup::Modifier, TSignKind::LargeValues);
  }
  if (s == ",(1") {
    v_.ValueMode = kValueModeNone;
    return Consumed(3, TGroup::Modifier, TSignKind::SmallValues);
  }
  if (std::find(kShortClefs.begin(), kShortClefs.end(), s) != kShortClefs.end()) {
    return ReadClef(3);
  }
  if (s == "K)." || s == "L)." || s == "_).") {
    v_.Mode = s[0] == 'K' ? kHandDownward : (s[0] == 'L' ? kHandUpward : kHandAccordion);
    text_.Consume(3, token_);
    ExpandMeasureRest(ctx_, text_, voice_);
    return {TGroup::Restart};
  }
  if (s == "(k." || s == "(k!") {
    return Consumed(3, TGroup::Terminal, TSignKind::FinalBar);
  }
  return {TGroup::Unknown};
}

TGroupResult TTokenCall::ReadTwo(std::string_view s) {
  if (AccidentalOfSign(s, accidental_)) {
    return Consumed(2, TGroup::Prefix, TSignKind::None);
  }
  if (s == "cc") {
    return Consumed(2, TGroup::Terminal, TSignKind::DoubleSlur);
  }
  if (s == "Ac") {
    return Consumed(2, TGroup::Terminal, TSignKind::Tie);
  }
  if (s == "Bc") {
    return Consumed(2, TGroup::Terminal, TSignKind::ChordTie);
  }
  if (s == "Kc") {
    return Consumed(2, TGroup::Terminal, TSignKind::ChordTieAll);
  }
  if (s == "88") {
    v_.StaccatoPassage = true;
    return Consumed(2, TGroup::Modifier, TSignKind::Staccato);
  }
  if (s == ",8") {
    v_.StaccatoPassage = v_.StaccatissimoPassage = v_.SlurPassage = false;
    return Consumed(2, TGroup::Modifier, TSignKind::Staccatissimo);
  }
  if (s == "!5" || s == "!6") {
    ctx_.OrnamentNumber = s[1] == '5' ? 2 : 4;
    ctx_.OrnamentAccidental = accidental_;
    accidental_ = TKeySign::No;
    return Consumed(2, TGroup::Modifier, TSignKind::Ornament);
  }
  if (s == "()") {
    ctx_.MeasureStart = true;
    return Consumed(2, TGroup::Terminal, TSignKind::InAccord);
  }
  if (s == "(k") {
    return Consumed(2, TGroup::Terminal, TSignKind::FinalBar);
  }
  if (s == "AA" || s == ",,") {
    return ReadOctave(2);
  }
  if (s[0] == s[1] && IntervalOfSign(s[0]) != 0) {
    return ReadInterval(IntervalOfSign(s[0]), 2, true);
  }
  return {TGroup::Unknown};
}

TGroupResult TTokenCall::ReadOne(char c) {
  if (AccidentalOfSign(std::string_view(&c, 1), accidental_)) {
    return Consumed(1, TGroup::Prefix, TSignKind::None);
  }
  switch (c) {
    case 'c':
      return Consumed(1, TGroup::Terminal, TSignKind::Slur);
    case '.':
      return Consumed(1, TGroup::Terminal, TSignKind::Dot);
    case '8':
      v_.StaccatoPassage = v_.StaccatissimoPassage = v_.SlurPassage = false;
      return Consumed(1, TGroup::Modifier, TSignKind::Staccato);
    case '5':
    case '6':
      ctx_.OrnamentNumber = c == '5' ? 1 : 3;
      ctx_.OrnamentAccidental = accidental_;
      accidental_ = TKeySign::No;
      return Consumed(1, TGroup::Modifier, TSignKind::Ornament);
    case '2':
      tupletNumber_ = 3;
      tupletCounter_ = 4;
      return Consumed(1, TGroup::Prefix, last_);
    case ')':
      return ReadBlockCall();
    case '<':
      return ReadLabel();
    case '{':
      return ReadBrace();
    default:
      break;
  }
  int32_t step = 0;
  int32_t value = 0;
  if (BrailleNoteCell(c, step, value)) {
    return ReadNote(c);
  }
  if (RestCellValue(c) != 0) {
    return ReadRest(c);
  }
  if (OctaveOfSign(std::string_view(&c, 1)) != 0) {
    return ReadOctave(1);
  }
  if (IntervalOfSign(c) != 0) {
    return ReadInterval(IntervalOfSign(c), 1, false);
  }
  return {TGroup::Unknown};
}

// "BcBc": the first four calls return a chord tie and a repeat of the last note in turn
// without consuming; the fifth consumes one "Bc".
TGroupResult TTokenCall::ReadChordTieRepeat() {
  if (v_.LastStep == 0) {
    return {TGroup::Unknown};
  }
  ++ctx_.ChordTieRepeat;
  if (ctx_.ChordTieRepeat >= 5) {
    ctx_.ChordTieRepeat = 0;
    return Consumed(2, TGroup::Terminal, TSignKind::ChordTie);
  }
  if (ctx_.ChordTieRepeat % 2 == 1) {
    return {TGroup::Terminal, TSignKind::ChordTie};
  }
  step_ = v_.LastStep;
  value_ = v_.LastValue;
  accidental_ = v_.Accidentals[static_cast<size_t>(step_)];
  ctx_.MeasureStart = false;
  return {TGroup::Terminal, TSignKind::Note};
}

// A note cell: needs an octave (except in the accordion's left hand); moves the octave by
// the nearest-position rule unless an octave sign was read; keeps the accidental memory.
TGroupResult TTokenCall::ReadNote(char c) {
  if (octave_ == 0 && v_.Mode != kHandAccordion) {
    return {TGroup::Unknown};
  }
  int32_t step = 0;
  BrailleNoteCell(c, step, value_);
  text_.Consume(1, token_);
  int32_t previous = v_.LastStep;
  step_ = step;
  v_.LastStep = step;
  v_.LastValue = value_;
  if (!octaveRead_) {
    if ((step == 1 && (previous == 6 || previous == 7)) || (step == 2 && previous == 7)) {
      octave_ = ClampOctave(int64_t{octave_} + 1);
    } else if ((step == 7 && (previous == 1 || previous == 2)) || (step == 6 && previous == 1)) {
      octave_ = std::max(ClampOctave(int64_t{octave_} - 1), kLowestSignOctave);  // 0 means no octave yet
    }
  }
  if (accidental_ != TKeySign::No) {
    v_.Accidentals[static_cast<size_t>(step)] = accidental_;
  } else {
    accidental_ = v_.Accidentals[static_cast<size_t>(step)];
  }
  ctx_.MeasureStart = false;
  return {TGroup::Terminal, TSignKind::Note};
}

TGroupResult TTokenCall::ReadRest(char c) {
  text_.Consume(1, token_);
  step_ = 0;
  value_ = RestCellValue(c);
  if (octaveRead_) {
    octave_ = ctx_.OctaveBeforeSign;
  }
  ctx_.MeasureStart = false;
  return {TGroup::Terminal, TSignKind::Note};
}

TGroupResult TTokenCall::ReadOctave(size_t length) {
  ctx_.OctaveBeforeSign = octave_;
  octave_ = OctaveOfSign(text_.Rest().substr(0, length));
  ctx_.OctaveSignGiven = true;
  octaveRead_ = true;
  return Consumed(length, TGroup::Prefix, TSignKind::Octave);
}

// An interval sign; an octave sign read before it belongs to the interval alone, so the
// voice's octave goes back to what it was.
TGroupResult TTokenCall::ReadInterval(int32_t interval, size_t length, bool doubled) {
  value_ = interval;
  ctx_.IntervalDoubled = doubled;
  ctx_.IntervalOctave = 0;
  if (octaveRead_) {
    ctx_.IntervalOctave = octave_;
    octave_ = ctx_.OctaveBeforeSign;
  }
  ctx_.MeasureStart = false;
  return Consumed(length, TGroup::Terminal, TSignKind::Interval);
}

TGroupResult TTokenCall::ReadClef(size_t length) {
  ctx_.LastClef = std::string(text_.Rest().substr(0, length));
  text_.Consume(length, token_);
  ctx_.Transposition = ReadClefTransposition(ctx_, text_, token_, voice_);
  if (octaveRead_) {
    octave_ = ctx_.OctaveBeforeSign;
  }
  return {TGroup::Modifier, TSignKind::Clef};
}

// ")" up to the next "." (a ".)" pair joins two calls; "()" ends the text before it).
TGroupResult TTokenCall::ReadBlockCall() {
  if (ctx_.Pending(TSignKind::BlockCall)) {
    return {TGroup::Unknown};
  }
  std::string_view s = text_.Rest();
  size_t end = s.size();   // consumed length
  size_t inner = s.size();  // end of the block text
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '.' && i + 1 < s.size() && s[i + 1] == ')') {
      ++i;
    } else if (s[i] == '.') {
      end = i + 1;
      inner = i;
      break;
    } else if (s[i] == '(' && i + 1 < s.size() && s[i + 1] == ')') {
      end = inner = i;
      break;
    }
  }
  ctx_.BlockText = std::string(s.substr(1, inner - 1));
  text_.Consume(end, token_);
  ExpandMeasureRest(ctx_, text_, voice_);
  return {TGroup::Modifier, TSignKind::BlockCall};
}

// "<" label ">" (to the end when ">" is missing).
TGroupResult TTokenCall::ReadLabel() {
  std::string_view s = text_.Rest();
  size_t close = s.find('>');
  size_t end = close == std::string_view::npos ? s.size() : close + 1;
  ctx_.LabelText = std::string(s.substr(1, (close == std::string_view::npos ? s.size() : close) - 1));
  text_.Consume(end, token_);
  ExpandMeasureRest(ctx_, text_, voice_);
  return {TGroup::Modifier, TSignKind::Label};
}

// "{$text}" attached text or "{&hex}" attached bytes.
TGroupResult TTokenCall::ReadBrace() {
  std::string_view s = text_.Rest();
  size_t close = s.find('}');
  size_t innerEnd = close == std::string_view::npos ? s.size() : close;
  if (s.size() < 2 || (s[1] != '$' && s[1] != '&')) {
    return {TGroup::Unknown};
  }
  std::string inner(s.substr(2, innerEnd - 2));
  TSignKind kind = TSignKind::AttachedText;
  if (s[1] == '$') {
    ctx_.AttachedText = inner;
  } else {
    std::transform(inner.begin(), inner.end(), inner.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    ctx_.HexText = inner;
    kind = TSignKind::AttachedHex;
  }
  text_.Consume(close == std::string_view::npos ? s.size() : close + 1, token_);
  if ((text_.Empty() || text_.StartsWith("()")) && ctx_.MeasureStart) {
    ExpandMeasureRest(ctx_, text_, voice_);
  }
  return {TGroup::Modifier, kind};
}

}  // namespace

bool IsClefSign(std::string_view sign) {
  return std::find(kShortClefs.begin(), kShortClefs.end(), sign) != kShortClefs.end() ||
         std::find(kLongClefs.begin(), kLongClefs.end(), sign) != kLongClefs.end();
}

TSignKind ReadBrailleToken(TReaderContext& ctx, TMeasureText& text, std::string& token, int32_t& step,
                           int32_t& value, int32_t& octave, TKeySign& accidental, uint8_t& tupletCounter,
                           uint8_t& tupletNumber, TErrorRecord& errors, uint8_t voice) {
  TTokenCall call(ctx, text, token, step, value, octave, accidental, tupletCounter, tupletNumber, errors,
                  voice);
  return call.Run();
}
