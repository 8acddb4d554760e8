#include "songwindow/controller/note_audition.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "feedback/signals.h"
#include "handler/handler_program.h"
#include "model/plugin_hooks.h"
#include "notation/braille_cells.h"
#include "notation/braille_reader.h"
#include "notation/braille_translation.h"
#include "notation/translator.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"
#include "settings/settings.h"
#include "settings/shared_state.h"
#include "songwindow/controller/song_window.h"

namespace {

constexpr int32_t kNoteOnMs = 800;
constexpr int kPreviewVelocity = 81;
constexpr int32_t kCheckpointEvery = 8;  // measures between kept reader states
constexpr size_t kInsideBeforeCaret = 1024;  // how near the caret a state inside its measure is kept
constexpr int32_t kAccordionOctave = 3;
constexpr const char* kPoints = "%points%";
constexpr const char* kLeague = "%league%";
constexpr uint8_t kSyntaxError = 1;  // a sign the reader could not read

bool HasText(int id) {
  return LangStr(id) != "???";
}

std::string Cp(const char* utf8) {
  return Utf8ToCp1251(utf8).Text;
}

bool HasTranslator(const std::string& path) {
  return !path.empty() && path != "*";
}

std::string NameText(const TNoteSpelling& n) {
  static constexpr int kBeforeNames = 190;  // the names of C..B are texts 191..197
  static constexpr const char* kNames[] = {"До", "Ре", "Ми", "Фа", "Соль", "Ля", "Си"};
  if (n.Step >= 1 && n.Step <= 7) {
    return LangStrOr(kBeforeNames + n.Step, kNames[n.Step - 1]);
  }
  return LangStrOr(284, "Пауза");
}

std::string AccidentalText(TKeySign a) {
  const bool texts = HasText(209);
  switch (a) {
    case TKeySign::DoubleFlat:
      return texts ? ", " + LangStr(211) + "-" + LangStr(209) : Cp(" Дубльбемоль");
    case TKeySign::Flat:
      return texts ? ", " + LangStr(209) : Cp(" Бемоль");
    case TKeySign::Natural:
      return texts ? ", " + LangStr(210) : Cp(" Бекар");
    case TKeySign::Sharp:
      return texts ? ", " + LangStr(208) : Cp(" Диез");
    case TKeySign::DoubleSharp:
      return texts ? ", " + LangStr(211) + "-" + LangStr(208) : Cp(" Дубльдиез");
    default:
      return std::string();
  }
}

std::string OctaveText(int32_t octave) {
  static constexpr const char* kOctaves[] = {" Суб-контр-октавы", " Контр-октавы", " Большой-октавы",
                                             " Малой-октавы",     " Первой-октавы", " Второй-октавы",
                                             " Третьей-октавы",   " Четвёртой-октавы", " Пятой-октавы"};
  static constexpr int kBeforeOctaves = 197;  // the octaves 1..9 are texts 198..206
  if (octave < 1 || octave > 9) {
    return std::string();  // only the octaves of the octave signs have a name
  }
  if (HasText(kBeforeOctaves + octave)) {
    return ", " + LangStr(kBeforeOctaves + octave) + "-" + LangStr(207);
  }
  return Cp(kOctaves[octave - 1]);
}

std::string DurationText(const TNoteSpelling& n) {
  static constexpr const char* kSmall[] = {", шестнадцатая", ", тридцать вторая", ", шестьдесят четвёртая",
                                           ", сто двадцать восьмая"};
  static constexpr const char* kBoth[] = {", целая или шестнадцатая", ", половинная или тридцать вторая",
                                          ", четвертная или шестьдесят четвёртая",
                                          ", восьмая или сто двадцать восьмая"};
  static constexpr const char* kLarge[] = {", целая", ", половинная", ", четвертная", ", восьмая"};
  const int i = CellValueIndex(n.Value);
  if (i < 0) {
    return std::string();
  }
  const bool texts = HasText(365);
  const std::string value = std::to_string(n.Value);
  const std::string partner = std::to_string(n.Value * 16);
  if (n.ValueKind == kValueKindSmall) {
    return texts ? ", " + LangStr(365) + ": " + partner : Cp(kSmall[i]);
  }
  if (n.ValueKind != kValueKindLarge && (ModeTalk & tkBothDurations) != 0) {
    return texts ? ", " + LangStr(365) + ": " + value + " " + LangStr(366) + " " + partner : Cp(kBoth[i]);
  }
  return texts ? ", " + LangStr(365) + ": " + value : Cp(kLarge[i]);
}

std::string ArticulationText(TShtrih a) {
  struct TRow {
    TShtrih Kind;
    int Id;
    const char* BuiltIn;
  };
  static constexpr TRow kRows[] = {{TShtrih::Staccatisimo, 305, ", стаккатисимо"},
                                   {TShtrih::Staccato, 304, ", стаккато"},
                                   {TShtrih::Legato, 303, ", легатто"},
                                   {TShtrih::Legatisimo, 423, ", лига держания"}};
  for (const TRow& row : kRows) {
    if (row.Kind == a) {
      return HasText(row.Id) ? ", " + LangStr(row.Id) : Cp(row.BuiltIn);
    }
  }
  return std::string();
}

std::string SignatureText(const TNoteSpelling& n) {
  std::string text = HasText(418) ? ", " + LangStr(418) + " " : Cp(", Тактовый размер ");
  text += std::to_string(n.Beats) + " " + std::to_string(n.BeatValue);
  const int32_t k = n.KeySignature;
  if (k == 0) {
    return text + (HasText(424) ? ", " + LangStr(424) : Cp(", чистый ключ"));
  }
  text += HasText(425) ? ", " + LangStr(425) : Cp(", при ключе");
  text += " " + std::to_string(std::abs(k)) + " ";
  return text + (k > 0 ? LangStrOr(426, "диез") : LangStrOr(427, "беммоль"));
}

std::string BlocksText(std::string rest) {
  std::string text;
  while (!rest.empty()) {
    std::string name;
    SplitDottedName(rest, false, name);
    text += (HasText(76) ? ", " + LangStr(76) + " " : Cp(", блок-обработчик ")) + name;
  }
  return text;
}

// " word" for a sign after the described note: a dot, a tie, a chord tie or the breve.
std::string SignWord(TSignKind kind) {
  switch (kind) {
    case TSignKind::Dot:
      return " " + LangStrOr(294, "точка");
    case TSignKind::Tie:
      return " " + LangStrOr(292, "лига держания");
    case TSignKind::ChordTieAll:
      return " " + LangStrOr(293, "лига держания аккорда");
    default:
      return " " + LangStrOr(388, "бревис");
  }
}

void EraseAll(std::string& text, std::string_view what) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what)) {
    text.erase(at, what.size());
  }
}

// Start of voice `voice` (1-based) in a measure line; the line's length when it has fewer.
size_t VoiceStart(const std::string& line, int32_t voice) {
  size_t at = 0;
  for (int32_t v = 1; v < voice; ++v) {
    const size_t separator = line.find("()", at);
    if (separator == std::string::npos) {
      return line.size();
    }
    at = separator + 2;
  }
  return at;
}

}  // namespace

bool SpellNote(std::string& Description, bool& HasExtras, const TNoteSpelling& note) {
  HasExtras = false;
  if (ModeTalk <= 0) {
    return false;
  }
  HasExtras = note.HasSignature || !note.LabelText.empty() || !note.BlockText.empty() ||
              !note.MidiText.empty() || !note.HarmonyText.empty();
  const bool isNote = note.Step >= 1 && note.Step <= 7;
  std::string d;
  if ((ModeTalk & tkName) != 0) {
    d = NameText(note);
  }
  if ((ModeTalk & tkAccidental) != 0 && isNote) {
    d += AccidentalText(note.Accidental);
  }
  if ((ModeTalk & tkOctave) != 0 && isNote) {
    d += OctaveText(note.Octave);
  }
  if ((ModeTalk & tkDuration) != 0) {
    d += DurationText(note) + kPoints;
  }
  if ((ModeTalk & tkTies) != 0) {
    d += kLeague;
  }
  if ((ModeTalk & tkArticulation) != 0) {
    d += ArticulationText(note.Articulation);
  }
  if ((ModeTalk & tkSignature) != 0 && note.HasSignature) {
    d += SignatureText(note);
  }
  if ((ModeTalk & tkBlocks) != 0) {
    d += BlocksText(note.BlockText);
  }
  if ((ModeTalk & tkHarmony) != 0 && !note.HarmonyText.empty()) {
    d += (HasText(419) ? ", " + LangStr(419) + " " : Cp(", Гармония ")) + note.HarmonyText;
  }
  if ((ModeTalk & tkLabel) != 0 && !note.LabelText.empty()) {
    d += (HasText(420) ? ", " + LangStr(420) + " " : Cp(", Метка ")) + note.LabelText;
  }
  if ((ModeTalk & tkMidiData) != 0 && !note.MidiText.empty()) {
    d += HasText(421) ? ", " + LangStr(421) + " " : Cp(", Есть MIDI-данные");
  }
  Description = d;
  return true;
}

// The reading state carried from one measure to the next.
struct TWalkState {
  TReaderContext Reader;
  std::array<int32_t, kVoiceCount> SavedOctave{};  // octave at the voice's last note
  // Doubled-interval memory per voice: [interval 2..8][octave slot] accidental codes.
  std::array<std::array<std::array<uint8_t, kIntervalSlotCount>, 9>, kVoiceCount> Doubled{};
  uint8_t TupletCounter = 1;
  uint8_t TupletNumber = 1;
};

// What decides how a measure reads besides its lines: the translators and whether the
// track is the control track.
struct TReadingKey {
  bool Control = false;
  bool TranslateOwn = false;
  bool TranslateHead = false;
  std::vector<std::string> OwnRules;
  std::vector<std::string> HeadRules;
  bool operator==(const TReadingKey&) const = default;
};

// The reading of the caret's measure as it stood at a sign boundary shortly before the
// caret, so that the next key in a long measure reads on from there, not from its start.
struct TInsideCheckpoint {
  int32_t Measure = 0;  // 0: none
  uint8_t CaretVoice = 0;
  std::string Read;  // the measure's text read up to here
  TWalkState State;
  std::string Consumed;  // the voice's signs read so far
  uint8_t Voice = 1;
  std::string Marks;
  size_t Mark = std::string::npos;
  bool StrayMarks = false;
};

// The lines of the measures read whole by the last audition, and the state after every
// kCheckpointEvery-th of them.
struct TAuditionCache {
  TReadingKey Key;
  std::vector<std::pair<std::string, std::string>> Lines;  // (head, own) as written
  std::vector<TWalkState> Checkpoints;                      // [i]: after measure (i + 1) * K
  TInsideCheckpoint Inside;
};

namespace {

enum class TMeasureEnd {
  Read,           // the measure is read; the walk goes on
  FollowingNote,  // the next note after the found one ends the walk
  VoiceEnd,       // the voice of the found note ended
  Interval,       // an interval at the caret was sounded
  Error,
};

// One PlayNote: the walk from measure 1 to the caret.
class TWalk {
 public:
  TWalk(TSongWindow& window, TAuditionCache& cache, const TAuditionQuery& query,
        const std::function<void()>& scrollLockOff)
      : w_(window), ports_(window.Ports()), cache_(cache), q_(query), scrollLockOff_(scrollLockOff),
        track_(*window.CurrentTrack), state_(std::make_unique<TWalkState>()) {}

  TAudition Run();

 private:
  TReadingKey ReadingKey() const;
  void LoadRules();
  int32_t StartFromCache(const TReadingKey& key);
  void Remember(int32_t measure);
  std::pair<std::string_view, std::string_view> RawLines(int32_t measure) const;
  std::string Composed(int32_t measure, bool caretMeasure);
  TMeasureEnd ReadMeasure(const std::string& text, bool caretMeasure);
  size_t ResumeInside(const std::string& composed, std::string& consumed, uint8_t& voice);
  void KeepInside(const std::string& composed, const TMeasureText& text, const std::string& consumed,
                  uint8_t voice);
  void MarkToken(TSignKind kind, const std::string& token, size_t consumedBefore);
  TNoteSpelling PrefixSigns(uint8_t voice);
  bool ReadInterval(uint8_t voice, int32_t n, TKeySign written, bool caretVoice, const std::string& consumed);
  void AtCaret(uint8_t voice, int32_t value, TKeySign accidental, const std::string& token,
               const std::string& consumed, TNoteSpelling spelling);
  void SoundDoubledIntervals(uint8_t voice, int32_t step, int32_t octave);
  void Preview(int key, bool callPlugin);
  void SendOn(int key);
  void Error(const std::string& consumed, std::string_view rest, uint8_t voice);
  void Finish(bool atFollowingNote);
  void Locate();
  TKeySign Resolved(const TVoiceState& v, TKeySign written, int32_t step) const;
  int Port() const;

  TSongWindow& w_;
  const TSongWindowPorts& ports_;
  TAuditionCache& cache_;
  const TAuditionQuery& q_;
  const std::function<void()>& scrollLockOff_;
  TTreck& track_;
  std::unique_ptr<TWalkState> state_;
  TErrorRecord errors_;
  TAudition result_;
  uint8_t caretVoice_ = 2;  // the track's voice V is read as voice V + 1
  int32_t caret_ = 1;       // the caret in the (translated) voice text
  int32_t span_ = 1;        // the length of the rule covering the caret
  std::string ruleText_;    // the rule covering the caret
  std::string marks_;       // the voice's signs read, "%" before the latest note
  size_t mark_ = std::string::npos;  // where that "%" is
  bool strayMarks_ = false;          // a sign read holds "%" too
  bool hasExtras_ = false;
  bool earlierUnchanged_ = false;    // every measure before the caret's reads as last time
  bool insideKept_ = false;          // this walk kept a state inside the caret's measure
};

TAudition TWalk::Run() {
  w_.CommitEditors();
  const int32_t remembered = w_.CurrentMeasure;
  caretVoice_ = static_cast<uint8_t>(std::min<int32_t>(track_.Voice + 1, kMaxVoice + 1));
  caret_ = q_.Caret;
  LoadRules();
  const TReadingKey key = ReadingKey();
  TMeasureEnd end = TMeasureEnd::Read;
  const int32_t lines = static_cast<int32_t>(track_.MusicStrings.size());
  for (int32_t m = StartFromCache(key); m <= q_.Measure && m <= lines; ++m) {
    w_.CurrentMeasure = m;
    const bool caretMeasure = m == q_.Measure;
    end = ReadMeasure(Composed(m, caretMeasure), caretMeasure);
    if (end != TMeasureEnd::Read) {
      break;
    }
    if (!caretMeasure) {
      Remember(m);
    }
  }
  w_.CurrentMeasure = remembered;
  if (end == TMeasureEnd::Interval) {
    return result_;
  }
  if (!result_.Found) {
    w_.LastAuditionText.clear();
  }
  if (result_.Described) {
    Finish(end == TMeasureEnd::FollowingNote);
  }
  if (end != TMeasureEnd::Error) {
    Locate();
  }
  return result_;
}

TReadingKey TWalk::ReadingKey() const {
  TReadingKey key;
  key.Control = track_.Channel == 0;
  key.TranslateOwn = HasTranslator(track_.TranslatorPath);
  key.TranslateHead = w_.HeadTreck != nullptr && HasTranslator(w_.HeadTreck->TranslatorPath);
  if (key.TranslateOwn) {
    key.OwnRules = TranslatorRules;
  }
  if (key.TranslateHead) {
    key.HeadRules = HeadTranslatorRules;
  }
  return key;
}

void TWalk::LoadRules() {
  if (HasTranslator(track_.TranslatorPath) && (TranslatorFile != track_.TranslatorPath || TranslatorRules.empty())) {
    TranslatorRules = ReadTextLines(track_.TranslatorPath).value_or(std::vector<std::string>());
    TranslatorFile = track_.TranslatorPath;
  }
  const std::string& head = w_.HeadTreck != nullptr ? w_.HeadTreck->TranslatorPath : std::string();
  if (HasTranslator(head) && (HeadTranslatorFile != head || HeadTranslatorRules.empty())) {
    HeadTranslatorRules = ReadTextLines(head).value_or(std::vector<std::string>());
    HeadTranslatorFile = head;
  }
}

// The first measure to read: after the latest kept state whose measures are unchanged.
int32_t TWalk::StartFromCache(const TReadingKey& key) {
  if (!(cache_.Key == key)) {
    cache_ = TAuditionCache{key, {}, {}, {}};
  }
  int32_t same = 0;
  const int32_t limit = std::min<int32_t>(static_cast<int32_t>(cache_.Lines.size()), q_.Measure - 1);
  while (same < limit) {
    const auto [head, own] = RawLines(same + 1);
    if (cache_.Lines[same].first != head || cache_.Lines[same].second != own) {
      break;
    }
    ++same;
  }
  // A state inside the caret's measure holds only while nothing before it changed.
  earlierUnchanged_ = same == q_.Measure - 1 && !key.TranslateOwn && !key.TranslateHead;
  if (!earlierUnchanged_) {
    cache_.Inside = TInsideCheckpoint{};
  }
  cache_.Lines.resize(same);
  cache_.Checkpoints.resize(same / kCheckpointEvery);
  if (cache_.Checkpoints.empty()) {
    cache_.Lines.clear();
    return 1;
  }
  *state_ = cache_.Checkpoints.back();
  const int32_t restored = static_cast<int32_t>(cache_.Checkpoints.size()) * kCheckpointEvery;
  cache_.Lines.resize(restored);
  return restored + 1;
}

// Keeps the lines of a measure read whole, and the state after it every K measures.
void TWalk::Remember(int32_t measure) {
  if (static_cast<int32_t>(cache_.Lines.size()) != measure - 1) {
    return;
  }
  const auto [head, own] = RawLines(measure);
  cache_.Lines.emplace_back(head, own);
  if (measure % kCheckpointEvery == 0) {
    cache_.Checkpoints.push_back(*state_);
  }
}

// The head line and the own line of a measure as written; the control track is both.
std::pair<std::string_view, std::string_view> TWalk::RawLines(int32_t measure) const {
  const size_t i = static_cast<size_t>(measure) - 1;
  const std::string& own = track_.MusicStrings[i];
  if (track_.Channel == 0) {
    return {own, own};
  }
  const PTreck head = w_.HeadTreck;
  if (head == nullptr || i >= head->MusicStrings.size() || head->MusicStrings[i].empty()) {
    return {"m", own};
  }
  return {head->MusicStrings[i], own};
}

// The text read for a measure: the head line, "()" and the own line, each through its
// translator. In the caret measure the caret is carried through the own line's rules.
std::string TWalk::Composed(int32_t measure, bool caretMeasure) {
  const auto [headLine, ownLine] = RawLines(measure);
  std::string head(headLine);
  std::string own(ownLine);
  TTranslatorCover cover;
  if (HasTranslator(track_.TranslatorPath)) {
    if (caretMeasure) {
      int32_t caret = static_cast<int32_t>(VoiceStart(own, track_.Voice)) + q_.Caret - 1;
      own = ApplyTranslator(own, TranslatorRules, 2, cover, caret);
      caret_ = caret - static_cast<int32_t>(VoiceStart(own, track_.Voice)) + 1;
      span_ = cover.Left.empty() ? 1 : std::max(cover.Length, 1);
      ruleText_ = cover.Left;
    } else {
      int32_t noCaret = -1;
      own = ApplyTranslator(own, TranslatorRules, 2, cover, noCaret);
    }
  }
  if (head != "m" && w_.HeadTreck != nullptr && HasTranslator(w_.HeadTreck->TranslatorPath)) {
    int32_t noCaret = -1;
    head = ApplyTranslator(head, HeadTranslatorRules, 1, cover, noCaret);
  }
  return head + "()" + own;
}

TMeasureEnd TWalk::ReadMeasure(const std::string& composed, bool caretMeasure) {
  TReaderContext& r = state_->Reader;
  TMeasureText text(composed);
  std::string token;
  std::string consumed;  // the voice's signs read so far
  uint8_t voice = 1;
  marks_.clear();
  mark_ = std::string::npos;
  strayMarks_ = false;
  r.MeasureStart = true;
  if (caretMeasure) {
    text.Skip(ResumeInside(composed, consumed, voice));
  }
  while (!text.Empty()) {
    if (caretMeasure && voice == caretVoice_) {
      KeepInside(composed, text, consumed, voice);
    }
    TVoiceState& v = r.Voice(voice);
    int32_t value = 0;
    TKeySign accidental = TKeySign::No;
    const TSignKind kind = ReadBrailleToken(r, text, token, v.Step, value, v.Octave, accidental,
                                            state_->TupletCounter, state_->TupletNumber, errors_, voice);
    if (kind == TSignKind::None || errors_.Code() != 0) {
      Error(consumed, text.Rest(), voice);
      return TMeasureEnd::Error;
    }
    const bool caretVoice = caretMeasure && voice == caretVoice_;
    if (caretVoice) {
      MarkToken(kind, token, consumed.size());
    }
    TNoteSpelling spelling;
    if (kind == TSignKind::Note) {
      spelling = PrefixSigns(voice);
    }
    if (kind != TSignKind::InAccord && kind != TSignKind::BlockCall) {
      consumed += token;
    }
    if (kind == TSignKind::Note) {
      state_->SavedOctave[voice] = v.Octave;
      if (result_.Found) {
        return TMeasureEnd::FollowingNote;
      }
    } else if (kind == TSignKind::Interval) {
      v.Octave = state_->SavedOctave[voice];
      if (ReadInterval(voice, value, accidental, caretVoice, consumed)) {
        return TMeasureEnd::Interval;
      }
    }
    const auto length = static_cast<int32_t>(consumed.size());
    if (kind == TSignKind::Note && caretVoice && caret_ <= length && length < caret_ + span_) {
      AtCaret(voice, value, accidental, token, consumed, std::move(spelling));
    }
    if (kind == TSignKind::Note || kind == TSignKind::Interval) {
      r.LabelText.clear();
      r.BlockText.clear();
    }
    if (kind == TSignKind::InAccord || text.Empty()) {
      consumed.clear();
      if (result_.Found) {
        return TMeasureEnd::VoiceEnd;
      }
      marks_ = "%";
      mark_ = 0;
      strayMarks_ = false;
      voice = static_cast<uint8_t>(std::min<int>(voice + 1, kMaxVoice));
      r.MeasureStart = true;
    }
  }
  return TMeasureEnd::Read;
}

// Where the caret's measure is read from: the kept state inside it when the measure reads
// as it did up to there and the caret lies past it; the measure's start otherwise (0).
size_t TWalk::ResumeInside(const std::string& composed, std::string& consumed, uint8_t& voice) {
  const TInsideCheckpoint& kept = cache_.Inside;
  if (!earlierUnchanged_ || kept.Measure != q_.Measure || kept.CaretVoice != caretVoice_ ||
      static_cast<int64_t>(kept.Consumed.size()) >= caret_ || composed.size() < kept.Read.size() ||
      composed.compare(0, kept.Read.size(), kept.Read) != 0) {
    return 0;
  }
  *state_ = kept.State;
  consumed = kept.Consumed;
  voice = kept.Voice;
  marks_ = kept.Marks;
  mark_ = kept.Mark;
  strayMarks_ = kept.StrayMarks;
  return kept.Read.size();
}

// Keeps the state at the first sign boundary of the caret's voice within
// kInsideBeforeCaret cells before the caret. Nothing read before the caret depends on it,
// so a later walk with its caret past this place reads on from here as from the start.
void TWalk::KeepInside(const std::string& composed, const TMeasureText& text, const std::string& consumed,
                       uint8_t voice) {
  const auto read = static_cast<int64_t>(consumed.size());
  if (insideKept_ || !earlierUnchanged_ || result_.Found || errors_.Code() != 0 || read >= caret_ ||
      read + static_cast<int64_t>(kInsideBeforeCaret) < caret_) {
    return;
  }
  insideKept_ = true;
  const size_t at = composed.size() - text.Size();
  if (text.Rest() != std::string_view(composed).substr(at)) {
    return;  // the reader rewrote what is left: positions no longer match the measure's text
  }
  cache_.Inside = TInsideCheckpoint{q_.Measure, caretVoice_, composed.substr(0, at), *state_, consumed, voice,
                                    marks_, mark_, strayMarks_};
}

// The signs of the caret's voice as read, with "%" moved before each note up to the one
// at the caret; the words for dots and ties after the described note.
void TWalk::MarkToken(TSignKind kind, const std::string& token, size_t consumedBefore) {
  const bool note = kind == TSignKind::Note;
  if (note && !result_.Found) {
    // Every "%" goes; without stray ones that is the one mark, found without a search.
    if (strayMarks_) {
      EraseAll(marks_, "%");
      strayMarks_ = false;
    } else if (mark_ != std::string::npos) {
      marks_.erase(mark_, 1);
    }
    mark_ = marks_.size();
    marks_ += '%';
  }
  if (!(note && result_.Found)) {
    marks_ += token;
    strayMarks_ = strayMarks_ || token.find('%') != std::string::npos;
  }
  const bool dot = kind == TSignKind::Dot;
  const bool tie = kind == TSignKind::Tie || kind == TSignKind::ChordTie || kind == TSignKind::ChordTieAll;
  if ((dot || tie) && static_cast<int32_t>(consumedBefore) >= caret_ && result_.Described) {
    std::string& d = result_.Description;
    const size_t at = d.find(dot ? kPoints : kLeague);
    if (at != std::string::npos) {
      d.insert(at, SignWord(kind));
    }
  }
}

// The signs read before a note, last first; a signature read in voice 1 clears those of
// the voices above it.
TNoteSpelling TWalk::PrefixSigns(uint8_t voice) {
  TReaderContext& r = state_->Reader;
  const TVoiceState& v = r.Voice(voice);
  TNoteSpelling s;
  s.ValueKind = v.ValueMode == kValueModeLarge   ? kValueKindLarge
                : v.ValueMode == kValueModeSmall ? kValueKindSmall
                                                 : kValueKindUnresolved;
  for (auto it = r.PendingSigns.rbegin(); it != r.PendingSigns.rend(); ++it) {
    switch (*it) {
      case TSignKind::AttachedHex:
        s.MidiText = r.HexText;
        break;
      case TSignKind::AttachedText:
        s.HarmonyText = r.AttachedText;
        break;
      case TSignKind::Label:
        s.LabelText = r.LabelText;
        break;
      case TSignKind::BlockCall:
        s.BlockText = r.BlockText;
        break;
      case TSignKind::Staccato:
        s.Articulation = TShtrih::Staccato;
        break;
      case TSignKind::Staccatissimo:
        s.Articulation = TShtrih::Staccatisimo;
        break;
      case TSignKind::LargeValues:
        s.ValueKind = kValueKindLarge;
        break;
      case TSignKind::SmallValues:
        s.ValueKind = kValueKindSmall;
        break;
      case TSignKind::Signature:
        s.HasSignature = true;
        for (int other = 2; voice == 1 && other < kVoiceCount; ++other) {
          r.Voices[other].TimeNum = r.Voices[other].TimeDen = 0;
          r.Voices[other].Key = 0;
        }
        break;
      default:
        break;
    }
  }
  return s;
}

TKeySign TWalk::Resolved(const TVoiceState& v, TKeySign written, int32_t step) const {
  const TKeySign a = written != TKeySign::No ? written : v.Accidentals[static_cast<size_t>(step)];
  return a != TKeySign::No ? a : KeySignatureAccidental(step, v.Key);
}

// A chord interval: placed as the translation places it and kept in the voice's memories.
// True when it ends exactly at the caret and the walk ends there (sounded when asked).
bool TWalk::ReadInterval(uint8_t voice, int32_t n, TKeySign written, bool caretVoice, const std::string& consumed) {
  TReaderContext& r = state_->Reader;
  TVoiceState& v = r.Voice(voice);
  if (v.Mode == kHandAccordion || v.Step <= 0) {
    return false;
  }
  n = std::clamp(n, 2, 8);
  const bool downward = v.Mode == kHandDownward;
  const int32_t step = IntervalStep(v.Step, n, downward);
  const int32_t natural = NaturalIntervalOctave(v.Octave, v.Step, step, n, downward);
  const int32_t octave = r.IntervalOctave != 0 ? r.IntervalOctave : natural;
  const TKeySign accidental = Resolved(v, written, step);
  const int32_t slot = kIntervalSlotCentre + octave - natural;
  if (slot >= 0 && slot < kIntervalSlotCount) {
    state_->Doubled[voice][n][slot] = r.IntervalDoubled ? DoubledIntervalCode(written) : 0;
  }
  if (written != TKeySign::No) {
    v.Accidentals[static_cast<size_t>(step)] = written;
  }
  if (result_.Found || !caretVoice || static_cast<int32_t>(consumed.size()) != caret_) {
    return false;
  }
  if (consumed != w_.LastAuditionText && ModePlay && q_.SoundIntervals && q_.Audible) {
    Preview(MidiKeyOf(step, accidental, octave), false);
  }
  w_.LastAuditionText = consumed;
  return true;
}

// The note at the caret: sounded with its chord, described, its text kept.
void TWalk::AtCaret(uint8_t voice, int32_t value, TKeySign accidental, const std::string& token,
                    const std::string& consumed, TNoteSpelling spelling) {
  result_.Found = true;
  if (consumed == w_.LastAuditionText) {
    return;
  }
  const TVoiceState& v = state_->Reader.Voice(voice);
  const int32_t step = v.Step;
  const bool isNote = step >= 1 && step <= 7;
  if (accidental == TKeySign::No && isNote) {
    accidental = KeySignatureAccidental(step, v.Key);
  }
  const bool accordion = v.Mode == kHandAccordion;
  if (ModePlay && isNote && q_.Audible) {
    Preview(MidiKeyOf(step, accidental, accordion ? kAccordionOctave : v.Octave), true);
  }
  if (ports_.LockKeys->ScrollLockOn() && q_.Describe && !ports_.LockKeys->NumLockOn()) {
    spelling.Step = step;
    spelling.Accidental = accidental;
    spelling.Octave = v.Octave;
    spelling.Value = value;
    const TVoiceState& shown = state_->Reader.Voice(caretVoice_);
    spelling.Beats = shown.TimeNum;
    spelling.BeatValue = shown.TimeDen;
    spelling.KeySignature = shown.Key;
    result_.Described = SpellNote(result_.Description, hasExtras_, spelling);
  }
  const bool rule = HasTranslator(track_.TranslatorPath) && !ports_.LockKeys->NumLockOn() && !ruleText_.empty();
  result_.TokenText = rule ? ruleText_ : token.substr(token.empty() ? 0 : token.size() - 1);
  if (isNote && !accordion && ModePlay && q_.Audible) {
    SoundDoubledIntervals(voice, step, v.Octave);
  }
  w_.LastAuditionText = consumed;
}

// The intervals a doubled run repeats on this note, sounded on top of it.
void TWalk::SoundDoubledIntervals(uint8_t voice, int32_t step, int32_t octave) {
  const TVoiceState& v = state_->Reader.Voice(voice);
  const bool downward = v.Mode == kHandDownward;
  for (int32_t n = 2; n <= 8; ++n) {
    for (int32_t slot = 0; slot < kIntervalSlotCount; ++slot) {
      const uint8_t code = state_->Doubled[voice][n][slot];
      if (code == 0) {
        continue;
      }
      const int32_t istep = IntervalStep(step, n, downward);
      const int32_t ioctave =
          ClampOctave(NaturalIntervalOctave(octave, step, istep, n, downward) + slot - kIntervalSlotCentre);
      SendOn(MidiKeyOf(istep, Resolved(v, DoubledIntervalAccidental(code), istep), ioctave));
    }
  }
}

int TWalk::Port() const {
  int port = w_.HeadTreck != nullptr && w_.HeadTreck->MidiOut > 0 ? w_.HeadTreck->MidiOut : 0;
  if (track_.MidiOut > 0) {
    port = track_.MidiOut;
  }
  return port <= 16 ? port : 0;
}

// A new preview: the last one cut off, the timer armed again, the note sent.
void TWalk::Preview(int key, bool callPlugin) {
  ports_.NoteTimer->Stop();
  ports_.NotePreview->SilenceAll();
  ports_.NoteTimer->Start(kNoteOnMs);
  if (callPlugin && w_.FormatModule && w_.FormatModule->SendMidiMessage) {
    w_.FormatModule->SendMidiMessage(Port(), w_.CurrentTrack);
  }
  SendOn(key);
}

void TWalk::SendOn(int key) {
  const int channel = track_.Channel == 0 ? 0 : track_.Channel - 1;
  const int sounding = key + state_->Reader.Transposition - 128;
  if (sounding >= 0 && sounding <= 127) {
    ports_.NotePreview->SendNote(Port(), true, sounding, channel, kPreviewVelocity);
  }
}

// A notation error: reported only in advanced editing, where it also ends that mode. It
// leaves no note to delete or replace; the error, with its measure and voice, goes back to
// the editor, whose error step shows it as export does: the reader's code, or a syntax
// error for a sign it could not read, and the signs from the error on (rest).
void TWalk::Error(const std::string& consumed, std::string_view rest, uint8_t voice) {
  TErrors error = errors_.Get();
  errors_.ClearCode();
  if (!ports_.LockKeys->ScrollLockOn()) {
    return;
  }
  ports_.Signaller->Signal(sError);
  if (scrollLockOff_) {
    scrollLockOff_();
  }
  const auto caret = static_cast<int32_t>(std::min(consumed.size(), ports_.Editors->NotesText().size()));
  ports_.Editors->SetNotesCaret(caret, caret);
  result_ = TAudition{};
  result_.Found = true;
  result_.Described = true;
  if (error.Code == 0) {
    error.Code = kSyntaxError;
  }
  error.Source = 2;
  error.Measure = static_cast<uint32_t>(w_.CurrentMeasure);
  error.Voice = voice;
  error.Text = rest.empty() ? consumed : std::string(rest);
  result_.Error = error;
  result_.ErrorColumn = static_cast<int32_t>(consumed.size());
}

// The description without its placeholders, spoken; the found note's signs located.
void TWalk::Finish(bool atFollowingNote) {
  std::string& d = result_.Description;
  EraseAll(d, kPoints);
  EraseAll(d, kLeague);
  if (q_.Audible) {
    if (!d.empty()) {
      ports_.Speaker->Speak(d, -1);
    }
    if ((ModeTalk & tkCapsSignal) != 0 && hasExtras_) {
      atFollowingNote ? ports_.Signaller->PlaySignal(sCaps) : ports_.Signaller->Signal(sCaps);
    }
  }
}

// The found note's signs in the voice text: from the "%" before it up to the next note.
void TWalk::Locate() {
  const size_t mark = strayMarks_ ? marks_.find('%') : mark_;
  if (result_.Found && mark != std::string::npos) {
    result_.SelStart = static_cast<int32_t>(mark) + 1;
    result_.SelLength = static_cast<int32_t>(marks_.size() - mark - 1);
  }
}

}  // namespace

TNoteAudition::TNoteAudition(TSongWindow& window)
    : window_(window), cache_(std::make_unique<TAuditionCache>()) {}

TNoteAudition::~TNoteAudition() = default;

TAudition TNoteAudition::PlayNote(const TAuditionQuery& query) {
  if (window_.CurrentTrack == nullptr) {
    return TAudition{};
  }
  TWalk walk(window_, *cache_, query, TurnScrollLockOff);
  return walk.Run();
}

void TNoteAudition::TimerNoteOnTimer() {
  window_.Ports().NotePreview->SilenceAll();
  window_.Ports().NoteTimer->Stop();
}
