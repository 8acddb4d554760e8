#include "notation/braille_writer.h"

#include <algorithm>

#include "notation/braille_cells.h"
#include "notation/braille_translation.h"
#include "notation/value_resolution.h"

namespace {

constexpr std::string_view kUpperDigits = "jabcdefghi";  // 0..9

std::string AccidentalSign(TKeySign accidental) {
  switch (AccidentalShift(accidental)) {
    case -2:
      return "((";
    case -1:
      return "(";
    case 1:
      return "M";
    case 2:
      return "MM";
    default:
      return "\\";
  }
}

// The octave a reader gives a note of `step` after the voice's last note.
int32_t ReaderOctave(const TWriterVoice& w, int32_t step) {
  int32_t p = w.LastStep;
  if ((step == 1 && (p == 6 || p == 7)) || (step == 2 && p == 7)) {
    return w.LastOctave + 1;
  }
  if ((step == 7 && (p == 1 || p == 2)) || (step == 6 && p == 1)) {
    return std::max(w.LastOctave - 1, 1);
  }
  return w.LastOctave;
}

// The key signs that turn the key `from` into `to`: naturals for what goes, then the
// sharps or flats that come.
std::string KeyChangeText(int32_t from, int32_t to) {
  std::string text;
  bool sameSide = (from >= 0 && to >= 0) || (from <= 0 && to <= 0);
  int32_t dropped = sameSide ? std::max(std::abs(from) - std::abs(to), 0) : std::abs(from);
  int32_t added = sameSide ? std::max(std::abs(to) - std::abs(from), 0) : std::abs(to);
  text.append(static_cast<size_t>(dropped), '\\');
  text.append(static_cast<size_t>(added), to > 0 ? 'M' : '(');
  return text;
}

std::string SignatureText(int32_t fromKey, const TSignatureRec& s) {
  std::string text = KeyChangeText(fromKey, s.Key) + kNumberSign;
  for (char c : std::to_string(s.Numerator)) {
    text += kUpperDigits[static_cast<size_t>(c - '0')];
  }
  return text + std::to_string(s.Denominator);
}

TRational LengthOf(const TNoteRec& note) {
  uint8_t kind = note.ValueKind == kValueKindUnresolved ? kValueKindLarge : note.ValueKind;
  return NoteFraction(kind, static_cast<uint8_t>(note.Value), note.Dots, note.Tuplet);
}

// True when a reader resolves the cells of these notes, unmarked, to their own values.
bool ValuesReadBack(const std::vector<const TNoteRec*>& notes, const TVoiceState& reader) {
  std::vector<TValueCell> cells;
  std::vector<TValueChoice> intended;
  for (const TNoteRec* n : notes) {
    cells.push_back({0, static_cast<uint8_t>(n->Value), n->Dots, n->Tuplet});
    intended.push_back({n->ValueKind == kValueKindSmall ? kValueKindSmall : kValueKindLarge,
                        static_cast<uint8_t>(n->Value)});
  }
  TValueSearch search = SearchMeasureValues(cells, MeasureLength(reader.TimeNum, reader.TimeDen));
  return search.Code == 0 && search.Choices == intended;
}

// The signature a voice's measure starts with, and the reader's state brought in step.
std::string MeasureStartText(TWriterContext& ctx, const TNoteRec& first, uint8_t voice) {
  TVoiceState& r = ctx.Reader.Voices[voice];
  r.Accidentals.fill(TKeySign::No);
  // a signature written here changes the voice's own key, not the one it would inherit
  const int32_t ownKey = r.Key;
  if (!r.HasTimeSignature()) {
    for (int lower = voice - 1; lower >= 1; --lower) {
      if (ctx.Reader.Voices[lower].HasTimeSignature()) {
        r.TimeNum = ctx.Reader.Voices[lower].TimeNum;
        r.TimeDen = ctx.Reader.Voices[lower].TimeDen;
        r.Key = ctx.Reader.Voices[lower].Key;
        break;
      }
    }
  }
  TWriterVoice& w = ctx.Voices[voice];
  TSignatureRec wanted = r.HasTimeSignature() ? TSignatureRec{r.TimeNum, r.TimeDen, r.Key}
                                               : TSignatureRec{w.TimeNum, w.TimeDen, r.Key};
  if (first.Signature) {
    wanted = *first.Signature;
  }
  bool differs = !r.HasTimeSignature() || wanted.Key != r.Key || wanted.Numerator != r.TimeNum ||
                 wanted.Denominator != r.TimeDen;
  if (!differs || wanted.Numerator == 0 || wanted.Denominator == 0) {
    return {};
  }
  std::string text = SignatureText(ownKey, wanted);
  r.Key = wanted.Key;
  r.TimeNum = wanted.Numerator;
  r.TimeDen = wanted.Denominator;
  w.TimeNum = wanted.Numerator;
  w.TimeDen = wanted.Denominator;
  if (voice == 1) {
    for (int other = 2; other < kVoiceCount; ++other) {
      ctx.Reader.Voices[other].TimeNum = ctx.Reader.Voices[other].TimeDen = 0;
      ctx.Reader.Voices[other].Key = 0;
    }
  }
  return text;
}

// A note (or rest) with its tuplet, value sign, accidental, octave sign, cell, dots, tie
// and intervals.
std::string NoteText(TWriterContext& ctx, const TNoteRec& note, uint8_t voice, bool valueSign) {
  std::string text;
  if (valueSign) {
    text += note.ValueKind == kValueKindSmall ? ",(1" : "B(1";
  }
  if (note.Step == 0) {
    text += BrailleCellOfNote(0, note.Value);
    return text.append(note.Dots, '.');
  }
  TWriterVoice& w = ctx.Voices[voice];
  text += AccidentalSignText(ctx, note.Step, note.Accidental, voice);
  if (w.LastOctave == 0 || ReaderOctave(w, note.Step) != note.Octave) {
    text += OctaveSignText(note.Octave);
  }
  w.LastOctave = note.Octave;
  w.LastStep = note.Step;
  text += BrailleCellOfNote(note.Step, note.Value);
  text.append(note.Dots, '.');
  if (note.Articulation == TShtrih::Legatisimo) {
    text += "Ac";
  }
  for (const TIntervalRec& entry : note.Intervals) {
    std::string sign = IntervalSignText(note, entry, AccidentalSignText(ctx, entry.Step, entry.Accidental, voice));
    if (!text.empty() && sign.size() == 1 && text.back() == sign[0]) {
      // an interval sign repeated at once would read as a doubled interval
      sign = std::string(OctaveSignText(entry.Octave)) + sign;
    }
    text += sign;
    if (entry.Flag == kIntervalTied) {
      text += "Ac";
    }
  }
  return text;
}

std::vector<const TNoteRec*> ListFrom(const TNoteRec* head) {
  std::vector<const TNoteRec*> notes;
  for (const TNoteRec* n = head; n != nullptr; n = n->Next) {
    notes.push_back(n);
  }
  return notes;
}

void PutLine(std::vector<std::string>& lines, size_t index, std::string text) {
  if (index < lines.size()) {
    lines[index] = std::move(text);
  } else {
    lines.push_back(std::move(text));
  }
}

}  // namespace

void TWriterContext::ResetVoiceStates(int32_t ticksPerMeasure) {
  Voices.fill(TWriterVoice());
  Reader.Reset();
  TicksPerMeasure = ticksPerMeasure;
}

long double TWriterContext::WholeNoteTicks(uint8_t voice) const {
  const TWriterVoice& w = Voices[voice < kVoiceCount ? voice : 0];
  return static_cast<long double>(TicksPerMeasure) * w.TimeDen / std::max<uint8_t>(w.TimeNum, 1);
}

std::string AccidentalSignText(TWriterContext& ctx, int32_t step, TKeySign accidental, uint8_t voice) {
  if (step < 1 || step > 7) {
    return {};
  }
  TVoiceState& r = ctx.Reader.Voice(voice);
  TKeySign remembered = r.Accidentals[static_cast<size_t>(step)];
  TKeySign heard = remembered != TKeySign::No ? remembered : KeySignatureAccidental(step, r.Key);
  if (AccidentalShift(heard) == AccidentalShift(accidental)) {
    return {};
  }
  std::string sign = AccidentalSign(accidental);
  TKeySign written = TKeySign::Natural;
  AccidentalOfSign(sign, written);
  r.Accidentals[static_cast<size_t>(step)] = written;
  return sign;
}

std::string IntervalSignText(const TNoteRec& note, const TIntervalRec& entry, const std::string& accidentalSign) {
  int32_t d = (entry.Octave * 7 + entry.Step) - (note.Octave * 7 + note.Step);
  std::string text;
  if (d > 7 || d < 1) {
    text = OctaveSignText(entry.Octave);
  }
  text += accidentalSign;
  text += "_/UV903"[((d % 7) + 7) % 7];
  return text;
}

std::string NoteToBraille(TWriterContext& ctx, const std::vector<const TNoteRec*>& notes, uint8_t voice,
                          const std::string& leading) {
  bool restsOnly = std::none_of(notes.begin(), notes.end(), [](const TNoteRec* n) { return n->Step > 0; });
  if (restsOnly) {
    return "m";
  }
  bool valueSigns = !ValuesReadBack(notes, ctx.Reader.Voice(voice));
  std::string text;
  uint8_t open = 0;
  for (const TNoteRec* n : notes) {
    if (n->Tuplet >= 2 && open == 0) {
      open = n->Tuplet;
      // "2" straight after a signature would read as a digit of its denominator
      bool afterDigit = !leading.empty() && text.empty() && LowerDigitValue(leading.back()) >= 0;
      text += n->Tuplet == 3 && !afterDigit ? std::string("2") : "L" + std::to_string(n->Tuplet) + ".";
    }
    if (open > 0) {
      --open;
    }
    text += NoteText(ctx, *n, voice, valueSigns);
  }
  return text;
}

void NoteListToBraille(TWriterContext& ctx, bool singleVoice, const TNoteRec* first, std::vector<std::string>& lines,
                       const std::string& prefix, int32_t startMeasure, uint8_t voice) {
  size_t index = static_cast<size_t>(std::max(startMeasure, 1) - 1);
  bool firstLine = true;
  const TNoteRec* n = first;
  while (n != nullptr) {
    const TNoteRec* head = n;
    std::string text = MeasureStartText(ctx, *head, voice);
    const TVoiceState& r = ctx.Reader.Voice(voice);
    TRational length = MeasureLength(r.TimeNum, r.TimeDen);
    std::vector<const TNoteRec*> notes;
    TRational sum(0);
    while (n != nullptr && (notes.empty() || sum < length)) {
      notes.push_back(n);
      sum += LengthOf(*n);
      n = n->Next;
    }
    text += NoteToBraille(ctx, notes, voice, text);
    for (uint8_t v = static_cast<uint8_t>(voice + 1); !singleVoice && v <= kMaxVoice; ++v) {
      const TNoteRec* chain = head;
      for (uint8_t k = voice; k < v && chain != nullptr; ++k) {
        chain = chain->VoiceChain;
      }
      if (chain == nullptr) {
        break;
      }
      std::string start = MeasureStartText(ctx, *chain, v);
      text += "()" + start + NoteToBraille(ctx, ListFrom(chain), v, start);
    }
    PutLine(lines, index++, (firstLine ? prefix : std::string()) + text);
    firstLine = false;
  }
}

void NoteListToBraille(bool singleVoice, const TNoteRec* first, std::vector<std::string>& lines,
                       int32_t ticksPerMeasure, const std::string& prefix, int32_t startMeasure, uint8_t voice) {
  TWriterContext ctx(ticksPerMeasure);
  NoteListToBraille(ctx, singleVoice, first, lines, prefix, startMeasure, voice);
}
