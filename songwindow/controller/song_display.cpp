// ShowTreck: the editors, caption, status panels, action states and the spoken place.
#include <algorithm>
#include <limits>

#include "feedback/signals.h"
#include "handler/handler_normalizer.h"
#include "model/plugin_hooks.h"
#include "notation/translator.h"
#include "platform/codec1251.h"
#include "settings/lang_texts.h"
#include "songwindow/controller/song_window.h"
#include "songwindow/parts/clipboards.h"

namespace {

constexpr std::string_view kSeparator = "()";

}  // namespace

std::string GetWideField(std::string_view Line, uint16_t N) {
  std::string_view rest = Line;
  for (uint16_t n = N; n >= 2; --n) {
    const size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) {
      return std::string();
    }
    rest.remove_prefix(at + kSeparator.size());
  }
  return std::string(rest.substr(0, rest.find(kSeparator)));
}

std::string GetLineField(const std::vector<std::string>& List, uint16_t LineNo, uint16_t N) {
  if (LineNo < 1 || LineNo > List.size()) {
    return std::string();
  }
  return GetWideField(List[LineNo - 1], N);
}

int32_t TSongWindow::TrackPosition() const {
  int32_t n = 0;
  for (PTreck t = CurrentTrack != nullptr ? CurrentTrack->Prev : nullptr; t != nullptr; t = t->Prev) {
    ++n;
  }
  return n;
}

std::string TSongWindow::NamePrefix() const {
  if (CurrentTrack != nullptr && CurrentTrack->Channel == 0) {
    return " " + Word(96, "Сонг") + ": ";
  }
  return " " + Word(5, "Трек") + ": ";
}

// The place is brought into range: measure 1..65535, voice 1..kLastVoice. A voice beyond
// the voices of its measure stays (it shows an empty editor); one beyond the last voice
// (from a file) is moved, and that is said. True when the voice was moved.
bool TSongWindow::ClampPlace() {
  CurrentMeasure = std::clamp<int32_t>(CurrentMeasure, 1, std::numeric_limits<uint16_t>::max());
  const uint16_t voice = std::clamp<uint16_t>(CurrentTrack->Voice, 1, kLastVoice);
  const bool moved = voice != CurrentTrack->Voice;
  CurrentTrack->Voice = voice;
  return moved;
}

// The translators of the control track and of the current track, read from the directives
// of their program texts as song preparation reads them ("" for none, "*" after
// "translatoroff"), so that audition and advanced editing know them before any play.
void TSongWindow::ReadTranslatorPaths() {
  if (HeadTreck == nullptr || CurrentTrack == nullptr) {
    return;
  }
  int32_t ticks = TicksPerMeasure;  // the window's ticks are the preparation's to change
  const auto pathOf = [&ticks](const std::vector<std::string>& lines) {
    std::string path;
    return ReadTrackDirectives(lines, nullptr, ticks, path) ? path : std::string();
  };
  std::vector<std::string> lines = NormalizeProgramLines(HeadTreck->ProgramStrings);
  HeadTreck->TranslatorPath = pathOf(lines);
  if (CurrentTrack != HeadTreck) {
    const std::vector<std::string> own = NormalizeProgramLines(CurrentTrack->ProgramStrings);
    lines.insert(lines.end(), own.begin(), own.end());
    CurrentTrack->TranslatorPath = pathOf(lines);
  }
}

void TSongWindow::ShowCaretPanels() {
  if (FormatModule && FormatModule->GetStatusBar) {
    FormatModule->GetStatusBar(StatusPanels[1], 1);
    FormatModule->GetStatusBar(StatusPanels[2], 2);
    return;
  }
  StatusPanels[1] = Word(106, "Строка") + ": " + std::to_string(ports_.Editors->ProgramCaretLine() + 1);
  StatusPanels[2] = Word(107, "Столбец") + ": " + std::to_string(ports_.Editors->ProgramCaretColumn() + 1);
}

void TSongWindow::ShowPlacePanels() {
  StatusPanels[3] = NamePrefix() + CurrentTrack->Caption;
  StatusPanels[4] = Word(4, "Такт") + ": " + std::to_string(CurrentMeasure);
  StatusPanels[5] = Word(97, "Голос") + ": " + std::to_string(CurrentTrack->Voice);
}

void TSongWindow::EnableByTrackKind() {
  const uint8_t channel = CurrentTrack->Channel;
  const bool drums = channel == 10;
  const bool control = channel == 0;
  SetEnabled("Drums", drums);
  SetEnabled("Instruments", !drums && !control);
  SetEnabled("ConvertHarmonyInNotes", !drums && !control);
  for (const char* name : {"DeleteTreck", "NextVoice", "PriorVoice", "FirstVoice", "EndVoice"}) {
    SetEnabled(name, !control);
  }
  SetEnabled("CopyTreck", CurrentTrack->Next != nullptr || CurrentTrack->Prev != nullptr);
  SetEnabled("PasteTreck", !TrackClipboard.empty());
}

void TSongWindow::ShowTrackInProgramEditor() {
  ShowTreck(smSilent);
  if (CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  ports_.Editors->FocusProgram();
  SpeakMode(smTrack);
  if (!ports_.Editors->NotesHasFocus()) {
    ports_.Speaker->Speak(LangStrOr(105, "Обработчик для текущего трека:"), 0);
  } else if (!NotesEditText.empty()) {
    ports_.Speaker->Speak(NotesEditText, 0);
  }
  AnnounceModes();
}

void TSongWindow::SpeakMode(uint8_t Mode) {
  ISpeaker& speaker = *ports_.Speaker;
  const TTreck& track = *CurrentTrack;
  const std::string measure = std::to_string(CurrentMeasure);
  const std::string voice = std::to_string(track.Voice);
  switch (Mode) {
    case smTrack:
      speaker.Speak(std::to_string(TrackPosition()) + "-" + NamePrefix() + track.Caption, -1);
      break;
    case smMeasure:
      speaker.Speak(Word(4, "Такт") + " " + measure, -1);
      break;
    case smVoice:
      speaker.Speak(Word(97, "Голос") + " " + voice, -1);
      break;
    case smPlace: {
      // The language texts only as a pair.
      const bool both = LangStr(4) != "???" && LangStr(97) != "???";
      speaker.Speak((both ? Word(4, "") : Utf8ToCp1251("Такт").Text) + " " + measure, -1);
      speaker.Speak((both ? Word(97, "") : Utf8ToCp1251("Голос").Text) + " " + voice, 0);
      break;
    }
    case smSolo:
      speaker.Speak(track.Solo ? LangStrOr(98, "Трек засолирован") : LangStrOr(99, "Трек разсолирован"), -1);
      break;
    case smEnabled:
      speaker.Speak(track.Enabled ? LangStrOr(100, "Трек подключен") : LangStrOr(101, "Трек отключен"), -1);
      break;
    case smHandler:
      speaker.Speak(track.HandlerOn ? LangStrOr(102, "Обработчик подключен")
                                    : LangStrOr(103, "Обработчик отключен"),
                    -1);
      break;
    case smReset:
      speaker.Speak(LangStrOr(104, "Сброшено"), -1);
      break;
    default:
      break;
  }
}

void TSongWindow::ShowTreck(uint8_t Mode) {
  if (CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  IEditors& editors = *ports_.Editors;
  LastAuditionText.clear();
  const bool voiceMoved = ClampPlace();
  ReadTranslatorPaths();
  const TTreck& track = *CurrentTrack;
  const bool samePlace = EditorPlace == CurrentPlace();
  // The editor fields show the place from now on (an empty voice "m" as an empty text),
  // so that a commit of them lands there; the editors show the fields.
  FillEditors();
  if (EditorPlace != line_undo_.Place) {
    line_undo_.Valid = false;  // the line's own undo stays with its place
  }
  const std::string notes = NotesEditText;
  // The line redrawn where it stands, unchanged (after a dialog, a save, an activation),
  // keeps its caret; a new place or a new text starts at the line's beginning.
  if (!samePlace || editors.NotesText() != notes) {
    editors.SetNotesText(notes);
  }
  editors.SetProgramLines(ProgramEditLines);
  editors.SetProgramCaret(ProgramEditCaretX, ProgramEditCaretY);
  ShowCaretPanels();
  Caption = SongCaption();
  EnableByTrackKind();
  if (editors.NotesHasFocus()) {
    SetEnabled("BlockObrabotchik", true);
    SetEnabled("CopyData", true);
    SetEnabled("QEMHelper", !NotationMenu.empty());
    SetEnabled("PasteData", MeasureClipboardKind != 0);
  } else if (Mode != smSilent && !keep_focus_) {
    editors.FocusNotes();
  }
  ShowPlacePanels();
  SpeakMode(Mode);
  if (voiceMoved && Mode != smVoice && Mode != smPlace) {
    ports_.Speaker->Speak(Word(97, "Голос") + " " + std::to_string(track.Voice), 0);
  }
  if (Mode <= smPlace && !notes.empty()) {
    ports_.Speaker->Speak(notes, 0);  // an empty voice speaks nothing
  }
  if (Mode != smSilent) {
    AnnounceModes();
  }
  const bool plugin = FormatModule != nullptr;
  if (plugin && FormatModule->UpdatePluginComponents) {
    FormatModule->UpdatePluginComponents(0, &PluginWindow);
  }
  for (const char* name : {"Instruments", "MasteringModuls", "Translatoring"}) {
    SetVisible(name, !plugin);
    if (plugin) {
      SetEnabled(name, false);
    }
  }
  Notify();
}
