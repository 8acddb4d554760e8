#include "render/song_preparation.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "notation/braille_translation.h"
#include "handler/handler_normalizer.h"
#include "settings/lang_texts.h"
#include "feedback/message_box.h"
#include "notation/note_record.h"
#include "model/plugin_hooks.h"
#include "model/song.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "handler/handler_names.h"
#include "harmony/harmonizer.h"
#include "render/render_globals.h"
#include "render/render_state.h"
#include "render/render_thread.h"
#include "render/track_runtime.h"
#include "notation/translator.h"
#include "settings/plugins.h"

namespace {

constexpr uint8_t kErrorOnlyControlTrack = 22;

// The lines of a rule file, none when it cannot be read.
std::vector<std::string> RuleLines(const std::string& path) {
  return ReadTextLines(path).value_or(std::vector<std::string>());
}

// The file name part of a path, in code page 1251.
std::string FileNameOf(const std::string& path) {
  return Utf8ToCp1251(std::filesystem::path(path).filename().string()).Text;
}

// Text with each "%s" replaced by the next argument.
std::string FormatTexts(std::string text, std::initializer_list<std::string> args) {
  size_t from = 0;
  for (const std::string& a : args) {
    const size_t at = text.find("%s", from);
    if (at == std::string::npos) {
      break;
    }
    text.replace(at, 2, a);
    from = at + a.size();
  }
  return text;
}

void CallEditingHandler(int32_t trackNumber, std::vector<std::string>& lines) {
  for (const PModulDll& m : MenuModules) {
    if (m && m->Info.EditsHandler && m->Info.Handle != 0 && m->EditingHandler) {
      m->EditingHandler(trackNumber, lines);
    }
  }
}

void CallEditingNotes(int32_t trackCount, std::vector<std::string>& lines) {
  for (const PModulDll& m : MenuModules) {
    if (m && m->Info.EditsNotes && m->Info.Handle != 0 && m->EditingNotes) {
      m->EditingNotes(trackCount, lines);
    }
  }
}

void ClearTranslatorState() {
  TranslatorRules.clear();
  TranslatorFile.clear();
  HeadTranslatorRules.clear();
  HeadTranslatorFile.clear();
}

// True when the track sounds in this preparation.
bool TrackPrepared(PTreck t, PTreck head, PTreck current) {
  const uint16_t voice = RenderRun().Voice;
  if (voice == 0 && ((t->Enabled && !head->Solo) || t->Solo)) {
    return true;
  }
  return (voice > 0 && t == current) || t == head->Next;
}

// One preparation: the window's fields, the song's original measure counts and the state
// of the loop over the tracks.
class TSongPreparation {
 public:
  TSongPreparation(PTreck& head, PTreck& start, PTreck& current, int32_t& ticksPerMeasure,
                   int32_t& currentMeasure, TErrorRecord& errors,
                   const std::shared_ptr<TFormatEntryPoints>& format, IPreparationWindow& ui)
      : head_(head),
        start_(start),
        current_(current),
        ticks_(ticksPerMeasure),
        measure_(currentMeasure),
        errors_(errors),
        format_(format),
        ui_(ui),
        trackCount_(RenderRun().TrackCount) {}

  bool Run();

 private:
  void RestoreParameters();
  // Handler lines and translator rules of track t (no format plug-in). False when a
  // translator file named in the directives does not exist.
  bool ReadDirectives(PTreck t);
  // Rules from the paths the format plug-in left in the tracks.
  void LoadPluginRules(PTreck t);
  // The note list of t; false on a translation error (the window is pointed at it).
  bool Translate(PTreck t);
  void AskAboutUntranslatedText(PTreck t);
  void Harmonize();
  // Takes away the "m" lines added to even out the tracks.
  void TrimPadding(PTreck t);

  PTreck& head_;
  PTreck& start_;
  PTreck& current_;
  int32_t& ticks_;
  int32_t& measure_;
  TErrorRecord& errors_;
  const std::shared_ptr<TFormatEntryPoints>& format_;
  IPreparationWindow& ui_;
  int& trackCount_;  // the run's

  std::vector<std::pair<PTreck, size_t>> originalCounts_;
  bool handlerLinesRead_ = false;
  bool controlQuestionDeclined_ = false;
  bool result_ = true;
};

void TSongPreparation::RestoreParameters() {
  if (format_ && format_->RestoreParameters) {
    format_->RestoreParameters(ticks_, head_);
  }
}

void TSongPreparation::TrimPadding(PTreck t) {
  for (const auto& [track, count] : originalCounts_) {
    if (track != t) {
      continue;
    }
    std::vector<std::string>& lines = t->MusicStrings;
    while (lines.size() > count && lines.back() == "m") {
      lines.pop_back();
    }
  }
}

// The render state's default grace-note, mordent and staccatissimo lengths are shares
// of a measure of this many ticks.
constexpr long double kDefaultLengthsTicksPerMeasure = 1920;

// "numticks": the ornament and staccatissimo lengths keep their share of a measure.
void RescaleTrackTimes(TTreck& track, long double oldTicks, long double newTicks) {
  TTrackRuntime& rt = RuntimeOf(track);
  rt.ForshlagLength = rt.ForshlagLength / oldTicks * newTicks;
  rt.MordentLength = rt.MordentLength / oldTicks * newTicks;
  rt.StaccatissimoLength = static_cast<double>(rt.StaccatissimoLength / oldTicks * newTicks);
}

bool TSongPreparation::ReadDirectives(PTreck t) {
  std::vector<std::string> work;
  if (!handlerLinesRead_) {
    handlerLinesRead_ = true;
    work = NormalizeProgramLines(head_->ProgramStrings);
    head_->HandlerLines = work;
    CallEditingHandler(0, head_->HandlerLines);
  } else {
    work = head_->HandlerLines;
  }
  if (!ReadTrackDirectives(work, head_, ticks_, TranslatorFile, RescaleTrackTimes)) {
    return false;
  }
  head_->TranslatorPath = TranslatorFile;
  HeadTranslatorFile = TranslatorFile == "*" ? std::string() : TranslatorFile;
  TranslatorFile.clear();

  const std::vector<std::string> own = NormalizeProgramLines(t->ProgramStrings);
  t->HandlerLines = own;
  CallEditingHandler(trackCount_, t->HandlerLines);
  work.insert(work.end(), own.begin(), own.end());
  if (!ReadTrackDirectives(work, head_, ticks_, TranslatorFile, RescaleTrackTimes)) {
    return false;
  }
  t->TranslatorPath = TranslatorFile;
  if (!TranslatorFile.empty() && TranslatorFile != "*") {
    TranslatorRules = RuleLines(TranslatorFile);
  } else if (!HeadTranslatorFile.empty() && TranslatorFile != "*") {
    TranslatorRules = RuleLines(HeadTranslatorFile);
  }
  if (!HeadTranslatorFile.empty()) {
    HeadTranslatorRules = RuleLines(HeadTranslatorFile);
  }
  if (TranslatorFile == "*") {
    TranslatorFile.clear();
  }
  return true;
}

void TSongPreparation::LoadPluginRules(PTreck t) {
  if (!t->TranslatorPath.empty() && t->TranslatorPath != "*") {
    if (TranslatorFile != t->TranslatorPath || TranslatorRules.empty()) {
      TranslatorRules = RuleLines(t->TranslatorPath);
    }
    TranslatorFile = t->TranslatorPath;
  }
  if (!head_->TranslatorPath.empty() && head_->TranslatorPath != "*") {
    if (HeadTranslatorFile != head_->TranslatorPath || HeadTranslatorRules.empty()) {
      HeadTranslatorRules = RuleLines(head_->TranslatorPath);
    }
    HeadTranslatorFile = head_->TranslatorPath;
  }
}

bool TSongPreparation::Translate(PTreck t) {
  GUntranslatedText = 0;
  std::vector<std::string> composed;
  ComposeTrackText(composed, head_->MusicStrings, t->MusicStrings);
  CallEditingNotes(trackCount_, composed);
  t->NoteList = TranslateBrailleText(composed, static_cast<uint8_t>(trackCount_), errors_);
  start_ = t;
  if (errors_.Code() == 0) {
    return true;
  }
  // Voice 1 of the composed text is the control track's line.
  PTreck shown = head_;
  errors_.Update([&](TErrors& e) {
    if (e.Voice > 1) {
      e.Voice -= 1;
      shown = t;
    }
    e.ModuleLine = RuntimeOf(*shown).TrackIndex;
    e.Source = 2;
    if (e.Voice != 0) {
      shown->Voice = e.Voice;
    }
    measure_ = static_cast<int32_t>(e.Measure);
  });
  current_ = shown;
  start_ = shown;
  GRendering = true;
  return false;
}

void TSongPreparation::AskAboutUntranslatedText(PTreck t) {
  if ((GUntranslatedText & 1) != 0 && !HeadTranslatorFile.empty() && !controlQuestionDeclined_) {
    std::string question = LangStr(217);
    const std::string control = LangStr(218);
    if (question == "???" || control == "???") {
      question = FormatTexts(
          Utf8ToCp1251("К нулевому треку подключен транслятор %s, а в нотном тексте имеются не "
                       "преобразованные символьные комбинации. Вы хотите преобразовать их?")
              .Text,
          {FileNameOf(HeadTranslatorFile)});
    } else {
      question = FormatTexts(question, {control, FileNameOf(HeadTranslatorFile)});
    }
    if (ui_.ConfirmConversion(question)) {
      ui_.Saved(LangStrOr(28, "преобразование нулевого трека"));
      for (std::string& line : head_->MusicStrings) {
        line = TranslateText(line, HeadTranslatorRules);
      }
      ui_.ShowTreck();
    } else {
      controlQuestionDeclined_ = true;
    }
  }
  if ((GUntranslatedText & 2) != 0 && (!TranslatorFile.empty() || !HeadTranslatorFile.empty())) {
    if (TranslatorFile.empty()) {
      TranslatorFile = HeadTranslatorFile;
    }
    const std::string question = FormatTexts(
        LangStrOr(217,
                  "К треку %s подключен транслятор %s, а в нотном тексте имеются не "
                  "преобразованные символьные комбинации. Вы хотите преобразовать их?"),
        {t->Caption, FileNameOf(TranslatorFile)});
    if (ui_.ConfirmConversion(question)) {
      ui_.Saved(LangStrOr(29, " преобразование трека ") + t->Caption);
      for (std::string& line : t->MusicStrings) {
        line = TranslateText(line, TranslatorRules);
      }
      ui_.ShowTreck();
    }
  }
  ui_.WaitEscReleased();
}

// A note of the control track made from a note of the first track: its pitch, length,
// harmony text and signature; it takes over the chord intervals.
TNoteRec* ControlNoteFrom(TNoteList& list, TNoteRec& source) {
  TNoteRec* n = list.NewNote();
  n->Step = source.Step;
  n->Value = source.Value;
  n->Octave = source.Octave;
  n->ValueKind = source.ValueKind;
  n->Dots = source.Dots;
  n->Tuplet = source.Tuplet;
  n->TieFlag = source.TieFlag;
  n->Accidental = source.Accidental;
  n->AttachedText = source.AttachedText;
  n->Signature = source.Signature;
  n->Intervals = std::move(source.Intervals);
  source.Intervals.clear();
  n->Articulation = TShtrih::NonLegato;
  n->Transposition = kNoTransposition;
  n->Measure = source.Measure;
  n->Voice = source.Voice;
  return n;
}

bool SamePitch(const TNoteRec& a, const TNoteRec& b) {
  return a.Step == b.Step && a.Accidental == b.Accidental && a.Octave == b.Octave;
}

bool SamePitch(const TIntervalRec& a, const TIntervalRec& b) {
  return a.Step == b.Step && a.Accidental == b.Accidental && a.Octave == b.Octave;
}

// The control track's notes: one per note of voice 1 of `first`, tied where the next note
// (or the same chord interval of the next note) has the same pitch.
std::shared_ptr<TNoteList> ControlNotes(TNoteList& first) {
  auto list = std::make_shared<TNoteList>();
  std::vector<TNoteRec*> sources;
  for (TNoteRec* s = first.First; s != nullptr; s = s->Next) {
    sources.push_back(s);
  }
  // The next note's intervals are compared before they move.
  std::vector<bool> tiedNote(sources.size(), false);
  std::vector<std::vector<bool>> tiedInterval(sources.size());
  for (size_t i = 0; i + 1 < sources.size(); ++i) {
    const TNoteRec& a = *sources[i];
    const TNoteRec& b = *sources[i + 1];
    tiedNote[i] = SamePitch(a, b);
    for (size_t k = 0; k < a.Intervals.size() && k < 3; ++k) {
      tiedInterval[i].push_back(k < b.Intervals.size() && SamePitch(a.Intervals[k], b.Intervals[k]));
    }
  }
  TNoteRec* prior = nullptr;
  for (size_t i = 0; i < sources.size(); ++i) {
    TNoteRec* n = ControlNoteFrom(*list, *sources[i]);
    if (tiedNote[i]) {
      n->Articulation = TShtrih::Legatisimo;
    }
    for (size_t k = 0; k < tiedInterval[i].size(); ++k) {
      if (tiedInterval[i][k]) {
        n->Intervals[k].Flag = kIntervalTied;
      }
    }
    if (prior == nullptr) {
      list->First = n;
    } else {
      prior->Next = n;
    }
    prior = n;
  }
  return list;
}

void TSongPreparation::Harmonize() {
  HarmonyWritten = false;
  PTreck first = head_->Next;
  if (first == nullptr || !first->NoteList) {
    head_->NoteList.reset();
    return;
  }
  long double position = 0;
  if (HarmonizeNotes(*first->NoteList, position, ticks_)) {
    head_->NoteList = ControlNotes(*first->NoteList);
    return;
  }
  result_ = false;
  errors_.Update([&](TErrors& e) {
    e.Source = 2;
    e.Voice = 1;
    e.Measure = static_cast<uint32_t>(position / ticks_) + 1;
    measure_ = static_cast<int32_t>(e.Measure);
  });
  current_ = head_;
  ui_.ShowTreck();
}

bool TSongPreparation::Run() {
  ResetSongRenderState(head_);
  if (format_ && format_->InitialNotes) {
    TErrors record = errors_.Get();
    const bool prepared = format_->InitialNotes(head_, start_, current_, ticks_, measure_, record);
    errors_.Set(record);
    if (prepared) {
      return true;
    }
  }
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    originalCounts_.emplace_back(t, t->MusicStrings.size());
  }
  PTreck first = nullptr;
  PrepareTracksForPlay(head_, first, trackCount_);
  RestoreParameters();
  GHandlerCompile.ScopePath.clear();

  TrimPadding(head_);
  RuntimeOf(*head_).UsesBlockLibrary = true;
  head_->HandlerLines.clear();
  RestoreParameters();
  // A measure that an earlier "numticks" left shorter or longer keeps the defaults' share.
  for (PTreck t = head_; t != nullptr; t = t->Next) {
    RescaleTrackTimes(*t, kDefaultLengthsTicksPerMeasure, ticks_);
  }
  errors_.Update([](TErrors& e) {
    e.Code = 0;
    e.Measure = 0;
    e.Text.clear();
  });

  PTreck t = head_->Next;
  for (; t != nullptr; t = t->Next) {
    bool usesLibrary = false;
    if (TrackPrepared(t, head_, current_)) {
      TranslatorFile.clear();
      if (!format_) {
        if (!ReadDirectives(t)) {
          ClearTranslatorState();
          break;
        }
      } else {
        LoadPluginRules(t);
      }
      if (!Translate(t)) {
        result_ = false;
        break;
      }
      usesLibrary = GCommandWordSeen;
      AskAboutUntranslatedText(t);
    }
    RuntimeOf(*t).UsesBlockLibrary = usesLibrary;
    TTrackRuntime& control = RuntimeOf(*head_);
    control.UsesBlockLibrary = control.UsesBlockLibrary && usesLibrary;
    TrimPadding(t);
    ClearTranslatorState();
  }
  // Tracks the loop did not reach keep their own measure count too.
  for (; t != nullptr; t = t->Next) {
    TrimPadding(t);
  }
  ClearTranslatorState();

  if (errors_.Code() == 0) {
    Harmonize();
  }
  ui_.WaitEscReleased();
  return result_;
}

}  // namespace

std::atomic<uint32_t> GSongPreparations{0};

bool PrepareSong(PTreck& HeadTreck, PTreck& StartTrack, PTreck& CurrentTrack,
                 int32_t& /*WindowNumber*/, int32_t& TicksPerMeasure, int32_t& CurrentMeasure,
                 TErrorRecord& errors, const std::shared_ptr<TFormatEntryPoints>& FormatModule,
                 IPreparationWindow& ui) {
  ++GSongPreparations;
  const bool onlyControl = HeadTreck == nullptr || HeadTreck->Next == nullptr ||
                           (CurrentTrack != nullptr && CurrentTrack->Channel == 0 &&
                            CurrentTrack->Next == nullptr);
  if (onlyControl) {
    TErrors e;
    e.Code = kErrorOnlyControlTrack;
    e.Source = 2;
    e.Measure = 1;
    e.Voice = 1;
    errors.Set(e);
    GRendering = true;
    StartTrack = CurrentTrack;
    return false;
  }
  if (TicksPerMeasure <= 0) {
    TicksPerMeasure = 1920;
  }
  TSongPreparation preparation(HeadTreck, StartTrack, CurrentTrack, TicksPerMeasure,
                               CurrentMeasure, errors, FormatModule, ui);
  return preparation.Run();
}

bool PrepareSong(TVelto& window, IPreparationWindow& ui) {
  return PrepareSong(window.HeadTreck, window.StartTrack, window.CurrentTrack,
                     window.WindowNumber, window.TicksPerMeasure, window.CurrentMeasure, GErrors,
                     window.FormatModule, ui);
}

bool PrepareSong(TVelto& window) {
  IPreparationWindow noWindow;
  return PrepareSong(window, noWindow);
}

void IPreparationWindow::ShowMidiFileMessage(const std::string& text, const std::string& caption,
                                             bool warning) {
  CaptionedMessageBox(text, caption, warning);
}

bool IPreparationWindow::ConfirmConversion(const std::string& question) {
  return LangMessageBox(question, 0) == mbOk;
}
