#include "notation/braille_translation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "notation/accordion.h"
#include "notation/braille_reader.h"
#include "notation/notation_state.h"
#include "notation/value_resolution.h"
#include "settings/plugins.h"

bool GCommandWordSeen = false;

const std::array<std::string_view, 14> CommandWords = {
    "tempo", "instrument", "volume", "pan", "rton", "rtoff", "vibrato",
    "gliss", "glissstop",  "sinkop", "sinkopstop", "play", "stop", "continue"};

namespace {

constexpr uint8_t kErrorSource = 2;  // music text
constexpr int32_t kSlotCentre = kIntervalSlotCentre;
constexpr int32_t kSlotCount = kIntervalSlotCount;

int32_t FloorDiv(int32_t a, int32_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

std::string LowerAscii(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return s;
}

// The notes of one voice: all of them so far, and this measure's part.
struct TVoiceRun {
  std::vector<TNoteRec*> History;
  std::vector<TNoteRec*> Part;
  std::array<std::array<uint8_t, kSlotCount>, 9> Doubled{};  // [interval 2..8][slot]

  TNoteRec* Last() const { return History.empty() ? nullptr : History.back(); }
  TNoteRec* Previous() const { return History.size() < 2 ? nullptr : History[History.size() - 2]; }
};

class TBrailleTranslation {
 public:
  TBrailleTranslation(uint8_t track, TErrorRecord& errors, const TTranslateOptions& options)
      : track_(track), errors_(errors), options_(options), list_(std::make_shared<TNoteList>()) {}

  std::shared_ptr<TNoteList> Run(const std::vector<std::string>& lines);

 private:
  bool ProcessMeasure(const std::string& measureText);
  bool Dispatch(TSignKind kind, TMeasureText& text);
  bool AddNote();
  void ApplyPendingSigns(TNoteRec& note);
  void PlaceSignature(TNoteRec& note);
  void ApplyBlockCall(TNoteRec& note);
  void AddDoubledIntervals(TNoteRec& note);
  bool AddWrittenInterval(TMeasureText& text);
  bool AddChord(TMeasureText& text);
  bool ApplyArticulation(TSignKind kind, TMeasureText& text);
  bool FinishVoicePart(TMeasureText& text);
  bool ResolveValues(std::vector<TNoteRec*>& part, TMeasureText& text);
  void LinkPart(const std::vector<TNoteRec*>& part);
  bool Fail(uint8_t code, const std::string& detail);
  bool Fail(uint8_t code, const TMeasureText& text) { return Fail(code, std::string(text.Rest())); }
  TVoiceState& Voice() { return reader_.Voices[voice_]; }
  TVoiceRun& VoiceRun() { return runs_[voice_]; }
  TKeySign Resolved(TKeySign written, int32_t step);

  uint8_t track_;
  TErrorRecord& errors_;
  const TTranslateOptions& options_;
  std::shared_ptr<TNoteList> list_;
  TReaderContext reader_;
  std::array<TVoiceRun, kVoiceCount> runs_;
  std::array<TNoteRec*, kVoiceCount> measureHeads_{};
  TNoteRec* voice1Tail_ = nullptr;
  uint8_t chordMerge_ = 0;  // accordion: 0 none, 2 merge pending, 1 merging into the previous note
  bool signaturePending_ = false;  // the part's signature waits for its first note or rest
  uint8_t tupletCounter_ = 1;
  uint8_t tupletNumber_ = 1;
  uint8_t voice_ = 1;
  uint32_t measure_ = 0;
  int32_t value_ = 0;
  TKeySign accidental_ = TKeySign::No;
};

std::shared_ptr<TNoteList> TBrailleTranslation::Run(const std::vector<std::string>& lines) {
  errors_.ClearCode();
  GCommandWordSeen = false;
  for (const std::string& measureText : SplitMeasures(lines)) {
    ++measure_;
    if (!ProcessMeasure(measureText)) {
      return nullptr;
    }
  }
  if (list_->First == nullptr) {
    return nullptr;
  }
  return list_;
}

bool TBrailleTranslation::Fail(uint8_t code, const std::string& detail) {
  if (errors_.Code() != 0) {
    code = errors_.Code();  // the reader's or a routine's code stands
  }
  uint8_t voice = voice_;
  uint32_t measure = measure_;
  errors_.Update([&](TErrors& e) {
    e.Code = code;
    e.Source = kErrorSource;
    e.Voice = voice;
    e.Measure = measure;
    e.Text = detail;
  });
  list_.reset();
  return false;
}

bool TBrailleTranslation::ProcessMeasure(const std::string& measureText) {
  voice_ = 1;
  measureHeads_.fill(nullptr);
  for (TVoiceRun& run : runs_) {
    run.Part.clear();
  }
  reader_.MeasureStart = true;
  TMeasureText text(measureText);
  std::string token;
  while (!text.Empty()) {
    TVoiceState& v = Voice();
    TSignKind kind = ReadBrailleToken(reader_, text, token, v.Step, value_, v.Octave, accidental_, tupletCounter_,
                                      tupletNumber_, errors_, voice_);
    if (errors_.Code() != 0) {
      return Fail(errors_.Code(), text);
    }
    // a sign read after the signature but before a note ends the token that holds it
    signaturePending_ = signaturePending_ || reader_.Pending(TSignKind::Signature);
    if (!Dispatch(kind, text)) {
      return false;
    }
  }
  return FinishVoicePart(text);
}

// Acts on one sign kind; false after an error.
bool TBrailleTranslation::Dispatch(TSignKind kind, TMeasureText& text) {
  switch (kind) {
    case TSignKind::None:
      return text.Empty() || Fail(1, text);
    case TSignKind::FinalBar:
    case TSignKind::NoEffect:
      return true;
    case TSignKind::Note:
      return AddNote();
    case TSignKind::Dot: {
      if (VoiceRun().Part.empty()) {
        return Fail(1, text);
      }
      TNoteRec* last = VoiceRun().Last();
      last->Dots = static_cast<uint8_t>(std::min(last->Dots + 1, 255));
      TNoteRec* previous = VoiceRun().Previous();
      if (previous != nullptr && previous->ChordTie != 0) {
        previous->Dots = static_cast<uint8_t>(std::min(previous->Dots + 1, 255));
      }
      return true;
    }
    case TSignKind::Interval:
      return Voice().Mode == kHandAccordion ? AddChord(text) : AddWrittenInterval(text);
    case TSignKind::Slur:
    case TSignKind::DoubleSlur:
    case TSignKind::Tie:
    case TSignKind::ChordTie:
    case TSignKind::ChordTieAll:
      return ApplyArticulation(kind, text);
    case TSignKind::InAccord:
      if (voice_ >= kMaxVoice) {
        return Fail(7, text);
      }
      if (VoiceRun().Part.empty() || text.Empty()) {
        return Fail(6, text);
      }
      if (!FinishVoicePart(text)) {
        return false;
      }
      ++voice_;
      return true;
    default:
      return Fail(1, text);  // an octave or modifier sign with nothing after it
  }
}

TKeySign TBrailleTranslation::Resolved(TKeySign written, int32_t step) {
  TKeySign a = written != TKeySign::No ? written : Voice().Accidentals[static_cast<size_t>(step)];
  return a != TKeySign::No ? a : KeySignatureAccidental(step, Voice().Key);
}

// A note or rest: its fields from the reader, the pending signs, the tuplet, the passage
// articulations and the doubled intervals; appended to the voice's part.
bool TBrailleTranslation::AddNote() {
  TVoiceState& v = Voice();
  reader_.OctaveSignGiven = false;
  TNoteRec* note = list_->NewNote();
  note->Step = v.Step;
  note->Value = value_;
  note->Measure = measure_;
  note->Voice = voice_;
  note->ValueKind = v.ValueMode == kValueModeLarge ? kValueKindLarge
                    : v.ValueMode == kValueModeSmall ? kValueKindSmall
                                                     : kValueKindUnresolved;
  note->Accidental = accidental_;
  if (accidental_ == TKeySign::No && note->Step > 0) {
    note->Accidental = KeySignatureAccidental(note->Step, v.Key);
  }
  note->Octave = v.Mode == kHandAccordion ? AccordionBassOctave(*note) : v.Octave;
  ApplyPendingSigns(*note);
  if (tupletCounter_ > 1) {
    note->Tuplet = tupletNumber_;
    --tupletCounter_;
  }
  if (v.SlurPassage) {
    note->Articulation = TShtrih::Legato;
  }
  if (v.StaccatoPassage) {
    note->Articulation = TShtrih::Staccato;
  }
  if (v.StaccatissimoPassage) {
    note->Articulation = TShtrih::Staccatisimo;
  }
  if (note->Step > 0 && v.Mode != kHandAccordion) {
    AddDoubledIntervals(*note);
  }
  if (chordMerge_ == 2) {
    chordMerge_ = 1;
  }
  VoiceRun().History.push_back(note);
  VoiceRun().Part.push_back(note);
  return true;
}

// The signature of the part on its first note (or rest); in voice 1 the further voices
// then take theirs from it again.
void TBrailleTranslation::PlaceSignature(TNoteRec& note) {
  signaturePending_ = false;
  note.Signature = TSignatureRec{Voice().TimeNum, Voice().TimeDen, Voice().Key};
  if (voice_ == 1) {
    for (int other = 2; other < kVoiceCount; ++other) {
      reader_.Voices[other].TimeNum = reader_.Voices[other].TimeDen = 0;
      reader_.Voices[other].Key = 0;
    }
  }
}

// The modifier signs read before the note, applied from the last to the first.
void TBrailleTranslation::ApplyPendingSigns(TNoteRec& note) {
  if (signaturePending_) {
    PlaceSignature(note);
  }
  for (auto it = reader_.PendingSigns.rbegin(); it != reader_.PendingSigns.rend(); ++it) {
    switch (*it) {
      case TSignKind::AttachedHex: {
        std::vector<uint8_t> bytes;
        const std::string& hex = reader_.HexText;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
          bytes.push_back(static_cast<uint8_t>(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1])));
        }
        note.AttachedBytes = std::move(bytes);
        break;
      }
      case TSignKind::AttachedText:
        note.AttachedText = reader_.AttachedText;
        break;
      case TSignKind::Label:
        note.LabelText = reader_.LabelText;
        break;
      case TSignKind::BlockCall:
        ApplyBlockCall(note);
        break;
      case TSignKind::Clef:
        note.Clef = reader_.LastClef;
        note.Transposition = reader_.Transposition;
        break;
      case TSignKind::Ornament:
        note.OrnamentNumber = reader_.OrnamentNumber;
        note.OrnamentAccidental = reader_.OrnamentAccidental;
        break;
      case TSignKind::LargeValues:
        note.ValueKind = kValueKindLarge;
        break;
      case TSignKind::SmallValues:
        note.ValueKind = kValueKindSmall;
        break;
      case TSignKind::Staccato:
        note.Articulation = TShtrih::Staccato;
        break;
      case TSignKind::Staccatissimo:
        note.Articulation = TShtrih::Staccatisimo;
        break;
      default:
        break;
    }
  }
}

// A block call: offered to the plug-in hook, stored, and checked against the command words.
void TBrailleTranslation::ApplyBlockCall(TNoteRec& note) {
  std::string text = reader_.BlockText;
  if (options_.FindBlock) {
    options_.FindBlock(track_, text);
  } else {
    for (const PModulDll& module : MenuModules) {
      if (module && module->Info.ProvidesBlocks && module->Info.Handle != 32 && module->FindBlock) {
        module->FindBlock(track_, text);
      }
    }
  }
  note.BlockText = text;
  std::string name = text.substr(0, text.find_first_of(":."));
  if (!name.empty() && name.front() == ')') {
    name.erase(0, 1);
  }
  name = LowerAscii(name);
  if (std::find(CommandWords.begin(), CommandWords.end(), name) != CommandWords.end()) {
    GCommandWordSeen = true;
  }
}

// The intervals of a doubled run repeat on every following note of the voice.
void TBrailleTranslation::AddDoubledIntervals(TNoteRec& note) {
  bool downward = Voice().Mode == kHandDownward;
  for (int32_t n = 2; n <= 8; ++n) {
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
      uint8_t code = VoiceRun().Doubled[n][slot];
      if (code == 0) {
        continue;
      }
      int32_t step = IntervalStep(note.Step, n, downward);
      int32_t octave = ClampOctave(NaturalIntervalOctave(note.Octave, note.Step, step, n, downward) + slot - kSlotCentre);
      AddInterval(note.Intervals, static_cast<uint8_t>(step), static_cast<uint8_t>(octave),
                  Resolved(DoubledIntervalAccidental(code), step), note.TieFlag, true);
    }
  }
}

// A written interval on the current note (hand modes upward and downward).
bool TBrailleTranslation::AddWrittenInterval(TMeasureText& text) {
  TNoteRec* note = VoiceRun().Last();
  if (VoiceRun().Part.empty() || note == nullptr || note->Step == 0) {
    return Fail(1, text);
  }
  TNoteRec* previous = VoiceRun().Previous();
  if (previous != nullptr && previous->TieFlag != 0) {
    return Fail(14, text);
  }
  if (reader_.Pending(TSignKind::Label)) {
    return Fail(9, text);
  }
  if (reader_.Pending(TSignKind::BlockCall)) {
    return Fail(10, text);
  }
  int32_t n = std::clamp(value_, 2, 8);
  bool downward = Voice().Mode == kHandDownward;
  int32_t step = IntervalStep(note->Step, n, downward);
  int32_t natural = NaturalIntervalOctave(note->Octave, note->Step, step, n, downward);
  int32_t octave = reader_.IntervalOctave != 0 ? reader_.IntervalOctave : natural;
  TKeySign accidental = Resolved(accidental_, step);
  int32_t slot = kSlotCentre + octave - natural;
  if (slot >= 0 && slot < kSlotCount) {
    VoiceRun().Doubled[n][slot] = reader_.IntervalDoubled ? DoubledIntervalCode(accidental_) : 0;
  }
  AddInterval(note->Intervals, static_cast<uint8_t>(step), static_cast<uint8_t>(octave), accidental, note->TieFlag,
              true);
  if (accidental_ != TKeySign::No) {
    Voice().Accidentals[static_cast<size_t>(step)] = accidental_;
  }
  return true;
}

// A chord button in the accordion's left hand; an octave interval merges the next chord
// into the note before it.
bool TBrailleTranslation::AddChord(TMeasureText& text) {
  TNoteRec* note = VoiceRun().Last();
  if (VoiceRun().Part.empty() || note == nullptr || note->Step == 0) {
    return Fail(1, text);
  }
  int32_t voiceOctave = reader_.IntervalOctave != 0 ? reader_.IntervalOctave : Voice().Octave;
  auto kind = static_cast<uint8_t>(value_);
  if (kind == 8 && chordMerge_ == 0) {
    chordMerge_ = 2;
    return true;
  }
  if (chordMerge_ == 1) {
    TNoteRec* previous = VoiceRun().Previous();
    if (previous == nullptr || VoiceRun().Part.size() < 2) {
      return Fail(1, text);
    }
    AccordionChordNotes(*note, kind, voiceOctave, reader_.OctaveSignGiven, 1, errors_);
    if (errors_.Code() != 0) {
      return Fail(errors_.Code(), text);
    }
    previous->Intervals = std::move(note->Intervals);
    VoiceRun().History.pop_back();
    VoiceRun().Part.pop_back();
    chordMerge_ = 0;
    return true;
  }
  AccordionChordNotes(*note, kind, voiceOctave, reader_.OctaveSignGiven, chordMerge_, errors_);
  chordMerge_ = 0;
  return errors_.Code() == 0 || Fail(errors_.Code(), text);
}

bool TBrailleTranslation::ApplyArticulation(TSignKind kind, TMeasureText& text) {
  TNoteRec* note = VoiceRun().Last();
  if (VoiceRun().Part.empty() || note == nullptr) {
    return Fail(1, text);
  }
  TVoiceState& v = Voice();
  switch (kind) {
    case TSignKind::Slur:
      note->Articulation = TShtrih::Legato;
      v.SlurPassage = v.StaccatoPassage = v.StaccatissimoPassage = false;
      break;
    case TSignKind::DoubleSlur:
      note->Articulation = TShtrih::Legato;
      v.SlurPassage = true;
      break;
    case TSignKind::ChordTieAll:
      for (TIntervalRec& i : note->Intervals) {
        i.Flag = kIntervalTied;
      }
      note->Articulation = TShtrih::Legatisimo;
      note->TieFlag = 1;
      break;
    default: {  // tie, chord tie
      TNoteRec* previous = VoiceRun().Previous();
      if (note->Intervals.empty() || (previous != nullptr && previous->TieFlag != 0)) {
        note->Articulation = TShtrih::Legatisimo;
      } else {
        note->Intervals.back().Flag = kIntervalTied;
      }
      if (kind == TSignKind::ChordTie) {
        note->ChordTie = 1;
      }
      break;
    }
  }
  return true;
}

// The end of a voice's part of a measure: tuplets must be complete, values are resolved,
// and the part is linked into the structure.
bool TBrailleTranslation::FinishVoicePart(TMeasureText& text) {
  if (tupletCounter_ > 1) {
    return Fail(5, text);
  }
  if (!Voice().HasTimeSignature()) {
    return Fail(8, text);
  }
  std::vector<TNoteRec*>& part = VoiceRun().Part;
  if (!ResolveValues(part, text)) {
    return false;
  }
  LinkPart(part);
  return true;
}

bool TBrailleTranslation::ResolveValues(std::vector<TNoteRec*>& part, TMeasureText& text) {
  const TVoiceState& v = Voice();
  TRational length = MeasureLength(v.TimeNum, v.TimeDen);
  std::vector<TValueCell> cells;
  cells.reserve(part.size());
  for (const TNoteRec* n : part) {
    cells.push_back({n->ValueKind, static_cast<uint8_t>(n->Value), n->Dots, n->Tuplet});
  }
  bool allFixed = std::all_of(cells.begin(), cells.end(), [](const TValueCell& c) { return c.FixedKind != 0; });
  if (allFixed) {
    TRational sum = FixedMeasureSum(cells);
    if (!sum.Valid()) {
      return Fail(5, text);
    }
    if (sum > length) {
      return Fail(16, ExcessText(sum - length, length));
    }
    for (const TValueChoice& rest : GapRests(length - sum)) {
      TNoteRec* note = list_->NewNote();
      note->Value = rest.Value;
      note->ValueKind = rest.Kind;
      note->Octave = v.Octave;
      note->Measure = measure_;
      note->Voice = voice_;
      if (signaturePending_) {
        PlaceSignature(*note);  // a part without notes
      }
      part.push_back(note);
      VoiceRun().History.push_back(note);
    }
    return true;
  }
  std::string key = RhythmKey(v.TimeNum, v.TimeDen, cells);
  std::vector<TValueChoice> choices;
  std::optional<std::string> cached = options_.Cache ? options_.Cache->Find(key) : std::nullopt;
  if (!cached || !DecodeSolution(*cached, cells, length, choices)) {
    TValueSearch search = SearchMeasureValues(cells, length);
    if (search.Code != 0) {
      return Fail(search.Code, text);
    }
    choices = std::move(search.Choices);
    if (options_.Cache) {
      options_.Cache->Add(key, EncodeSolution(choices));
    }
  }
  for (size_t i = 0; i < part.size(); ++i) {
    part[i]->ValueKind = choices[i].Kind;
    part[i]->Value = choices[i].Value;
  }
  return true;
}

// Voice 1 runs on through all measures; a further voice's part is a list of its own hung
// on the voice chain of the voice below.
void TBrailleTranslation::LinkPart(const std::vector<TNoteRec*>& part) {
  if (part.empty()) {
    return;
  }
  for (size_t i = 0; i + 1 < part.size(); ++i) {
    part[i]->Next = part[i + 1];
  }
  part.back()->Next = nullptr;
  measureHeads_[voice_] = part.front();
  if (voice_ == 1) {
    if (voice1Tail_ != nullptr) {
      voice1Tail_->Next = part.front();
    } else {
      list_->First = part.front();
    }
    voice1Tail_ = part.back();
  } else if (measureHeads_[voice_ - 1] != nullptr) {
    measureHeads_[voice_ - 1]->VoiceChain = part.front();
  }
}

}  // namespace

uint8_t DoubledIntervalCode(TKeySign a) {
  switch (a) {
    case TKeySign::Sharp:
      return 2;
    case TKeySign::DoubleSharp:
      return 3;
    case TKeySign::Flat:
      return 4;
    case TKeySign::DoubleFlat:
      return 5;
    case TKeySign::Natural:
      return 6;
    default:
      return 1;
  }
}

TKeySign DoubledIntervalAccidental(uint8_t code) {
  static constexpr TKeySign kByCode[7] = {TKeySign::No,   TKeySign::No,         TKeySign::Sharp, TKeySign::DoubleSharp,
                                          TKeySign::Flat, TKeySign::DoubleFlat, TKeySign::Natural};
  return code < 7 ? kByCode[code] : TKeySign::No;
}

int32_t IntervalStep(int32_t t, int32_t n, bool downward) {
  return downward ? (t + 14 - n) % 7 + 1 : (t + n - 2) % 7 + 1;
}

int32_t NaturalIntervalOctave(int32_t noteOctave, int32_t t, int32_t step, int32_t n, bool downward) {
  int32_t e = n == 8 ? 1 : 0;
  int32_t o = downward ? FloorDiv(7 * (noteOctave - e) + t - step, 7)
                       : -FloorDiv(-(7 * (noteOctave + e) + t - step), 7);
  return ClampOctave(std::max(o, 0));
}

std::vector<std::string> SplitMeasures(const std::vector<std::string>& lines) {
  std::vector<std::string> measures;
  std::string current;
  auto flush = [&]() {
    if (!current.empty()) {
      measures.push_back(std::move(current));
      current.clear();
    }
  };
  for (const std::string& line : lines) {
    for (char c : line) {
      if (c == ' ' || c == '\r' || c == '\n') {
        flush();
      } else {
        current += c;
      }
    }
    flush();
  }
  return measures;
}

TKeySign KeySignatureAccidental(int32_t step, int32_t key) {
  static constexpr int32_t kSharpOrder[7] = {4, 1, 5, 2, 6, 3, 7};
  static constexpr int32_t kFlatOrder[7] = {7, 3, 6, 2, 5, 1, 4};
  for (int32_t i = 0; i < std::min(std::abs(key), 7); ++i) {
    if ((key > 0 ? kSharpOrder[i] : kFlatOrder[i]) == step) {
      return key > 0 ? TKeySign::Sharp : TKeySign::Flat;
    }
  }
  return TKeySign::No;
}

std::shared_ptr<TNoteList> TranslateBrailleText(const std::vector<std::string>& lines, uint8_t trackNumber,
                                                TErrorRecord& errors, const TTranslateOptions& options) {
  TBrailleTranslation translation(trackNumber, errors, options);
  return translation.Run(lines);
}
