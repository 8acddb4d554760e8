// The song window's fields, creation, closing and focus handlers.
#include "songwindow/controller/song_window.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "feedback/file_error_text.h"
#include "feedback/error_messages.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "model/plugin_hooks.h"
#include "model/song_file.h"
#include "model/song_text.h"
#include "model/song_undo.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "playback/player.h"
#include "pluginhost/plugin_loader.h"
#include "render/render_state.h"
#include "render/song_preparation.h"
#include "settings/lang_texts.h"
#include "settings/plugins.h"
#include "settings/settings.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/parts/clipboards.h"

namespace {

constexpr const char* kNativeExt = "qem";
// The music error of a voice without a time signature.
constexpr uint8_t kNoTimeSignatureError = 8;

// The preparation's questions and conversions as a song window answers them.
class TWindowPreparation final : public IPreparationWindow {
 public:
  TWindowPreparation(TSongWindow& window, IQuestions& questions)
      : window_(window), questions_(questions) {}
  bool ConfirmConversion(const std::string& question) override {
    return questions_.Ask(question, 0) == mbOk;
  }
  void Saved(const std::string& label) override { window_.Saved(label); }
  void ShowTreck() override { window_.ShowTreck(smTrack); }
  void ShowMidiFileMessage(const std::string& text, const std::string& caption, bool warning) override {
    questions_.Tell(text, caption, warning);
  }

 private:
  TSongWindow& window_;    // borrowed: the window owns this
  IQuestions& questions_;  // borrowed
};

}  // namespace

TSongWindow::TSongWindow(const TSongWindowPorts& ports, int32_t Number, const std::string& Ext)
    : ports_(ports) {
  ports_.Speaker = ports_.Speaker != nullptr ? ports_.Speaker : &SystemSpeaker();
  ports_.Signaller = ports_.Signaller != nullptr ? ports_.Signaller : &SystemSignaller();
  ports_.Questions = ports_.Questions != nullptr ? ports_.Questions : &SystemQuestions();
  ports_.LockKeys = ports_.LockKeys != nullptr ? ports_.LockKeys : &SystemLockKeys();
  ports_.NoteTimer = ports_.NoteTimer != nullptr ? ports_.NoteTimer : &IdleNoteTimer();
  ports_.NotePreview = ports_.NotePreview != nullptr ? ports_.NotePreview : &SystemNotePreview();
  ports_.Player = ports_.Player != nullptr ? ports_.Player : &SystemPlayerTempo();
  ports_.KeyboardLights = ports_.KeyboardLights != nullptr ? ports_.KeyboardLights : &SystemKeyboardLights();
  editor_ = std::make_unique<TBrailleEditor>(*this);
  WindowNumber = Number;
  ChoosePlugin(Ext);
  undo_ = std::make_unique<TUndoRing>(ProgramDir, WindowNumber, FormatExt);
  undo_->WriteFailureSignal = [this] {
    ports_.Signaller->Signal(sError);
    // The reason in the user's language, as for a song file that cannot be saved.
    ports_.Speaker->Speak(
        SubstituteArgs(LangStrOr(1259, "Шаги отмены не сохраняются: %s"),
                       {FileErrorText(TFileAction::Save, undo_->WriteErrorFile(),
                                      undo_->WriteError())}),
        0);
  };
  undo_->Start();
  for (const TCaptionRow& row : ActionCaptionRows()) {
    Actions[row.Component] = TActionState{};
  }
  SetLanguage();
  for (const char* name : {"RePlay", "StopAndGo", "FindNext"}) {
    SetEnabled(name, false);
  }
  preparation_ = std::make_unique<TWindowPreparation>(*this, *ports_.Questions);
}

TSongWindow::~TSongWindow() = default;

void TSongWindow::ChoosePlugin(const std::string& Ext) {
  FormatModule = nullptr;
  FormatExt = kNativeExt;
  PluginWindow.Song = this;
  const PModulDll plugin = FindFormatModule(Ext);
  if (!plugin) {
    return;
  }
  FormatModule = plugin->Format;
  TFormatEntryPoints& entry = *FormatModule;
  if (entry.InitializeJFW) {
    entry.InitializeJFW();
  }
  if (entry.InitializeMessage) {
    entry.InitializeMessage();
  }
  FormatExt = plugin->Info.ModuleName.substr(0, 3);
  MakePluginControls(plugin->Info.ModuleName);
  if (entry.updateLanguage) {
    entry.updateLanguage(LanguageId);
  }
  if (entry.InitializeForm) {
    entry.InitializeForm(&PluginWindow);
  }
}

// One control per class name the plug-in lists; a list longer than the window takes is cut.
void TSongWindow::MakePluginControls(const std::string& pluginName) {
  std::vector<std::string> classes;
  if (!FormatModule->GetPluginComponent || !FormatModule->GetPluginComponent(classes)) {
    return;
  }
  if (classes.size() > kMaxPluginControls) {
    ReportPluginProblem("plug-in " + Cp1251ToUtf8(pluginName) + " lists " +
                        std::to_string(classes.size()) + " controls; a window takes the first " +
                        std::to_string(kMaxPluginControls));
    classes.resize(kMaxPluginControls);
  }
  PluginWindow.Controls = ::MakePluginControls(classes);
  ControlCount = static_cast<uint8_t>(PluginWindow.Controls.size());
}

const TMidiThreadFuncParameters& TSongWindow::MidiThreadFuncParameters() {
  thread_params_ = std::make_unique<TMidiThreadFuncParameters>();
  thread_params_->WindowNumber = WindowNumber;
  thread_params_->Device = ports_.DeviceCombo != nullptr ? ports_.DeviceCombo->SelectedDevice() : 0;
  thread_params_->TicksPerMeasure = TicksPerMeasure;
  thread_params_->Track = CurrentTrack;
  thread_params_->FormatModule = FormatModule;
  return *thread_params_;
}

void TSongWindow::CommitEditors() {
  if (CurrentTrack == nullptr || ports_.Editors == nullptr) {
    return;
  }
  IEditors& editors = *ports_.Editors;
  NotesEditText = editors.NotesText();
  // The song keeps a caret column of 16 bits: a caret beyond it is kept at its largest.
  NotesEditCaret = static_cast<uint16_t>(std::clamp<int32_t>(editors.NotesCaret(), 0, std::numeric_limits<uint16_t>::max()));
  ProgramEditLines = editors.ProgramLines();
  ProgramEditCaretX = editors.ProgramCaretColumn();
  ProgramEditCaretY = editors.ProgramCaretLine();
  SaveData(CurrentTrack->Voice);
  ReadTranslatorPaths();
}

void TSongWindow::Saved(const std::string& label) {
  CommitEditors();
  if (ports_.Editors != nullptr && EditorPlace.Track != nullptr) {
    line_undo_ = {true, EditorPlace, ports_.Editors->NotesText(), ports_.Editors->NotesCaret()};
  }
  TSongUndo song(*this);
  undo_->Saved(song, label);
  if (!label.empty()) {
    Modified = true;
  }
  ShowUndoState();
}

void TSongWindow::AdvancedEditing() {
  editor_->AdvancedEditingExecute();
  Notify();
}

void TSongWindow::PointMode() {
  editor_->PointModeExecute();
  Notify();
}

void TSongWindow::NavigationAdvanced() {
  editor_->NavigationAdvancedExecute();
  Notify();
}

void TSongWindow::PlayNotes() {
  editor_->PlayNotesExecute();
  Notify();
}

TActionState& TSongWindow::Action(std::string_view name) {
  auto found = Actions.find(name);
  if (found == Actions.end()) {
    found = Actions.emplace(std::string(name), TActionState{}).first;
  }
  return found->second;
}

void TSongWindow::SetEnabled(std::string_view name, bool on) {
  Action(name).Enabled = on;
}

void TSongWindow::SetVisible(std::string_view name, bool on) {
  Action(name).Visible = on;
}

void TSongWindow::Notify() {
  if (StateChanged) {
    StateChanged();
  }
}

std::string TSongWindow::SongName() const {
  if (FileName.empty()) {
    return LangStrOr(1, "безымянный");
  }
  return Utf8ToCp1251(std::filesystem::path(FileName).stem().string()).Text;
}

std::string TSongWindow::SongCaption() const {
  return SongName() + " (" + FormatExt + ")";
}

void TSongWindow::SetLanguage() {
  if (CurrentTrack != nullptr) {
    CommitEditors();
  }
  ProgrammTextCaption = CaptionOf(LabelCaptionRows()[0]);
  NotesEditTextCaption = CaptionOf(LabelCaptionRows()[1]);
  if (FormatModule && FormatModule->updateLanguage) {
    FormatModule->updateLanguage(LanguageId);
    if (FormatModule->InitializeForm) {
      FormatModule->InitializeForm(&PluginWindow);
    }
  }
  for (const TCaptionRow& row : ActionCaptionRows()) {
    Action(row.Component).Caption = CaptionOf(row);
  }
  ShowUndoState();
  // The caption and the status panels that name the place take the new language at once.
  if (CurrentTrack != nullptr && ports_.Editors != nullptr) {
    ShowCaretPanels();
    ShowPlacePanels();
    Caption = SongCaption();
  }
  InitialMenuBraileNotation();
  Notify();
}

// The song as a file holds it, compared by its song data (SongContent): the carets and the
// voice shown are the place, and trailing empty measures are what a commit drops, so
// neither counts. A file that cannot be read counts as a change.
bool TSongWindow::SongDiffersFromFile() {
  DeConvert(Utf8ToCp1251(kSaveLabel).Text);
  const std::optional<std::vector<std::string>> file = SongFileLines();
  if (!file) {
    return true;
  }
  const std::optional<std::vector<std::string>> theirs = SongContent(*file, 0);
  const std::optional<std::vector<std::string>> ours = SongContent(Data, 2);
  return !theirs || !ours || *theirs != *ours;
}

void TSongWindow::EmptySong() {
  Saved(LangStrOr(17, "выход без сохранения"));
  ResetSongRenderState(HeadTreck);
  while (CurrentTrack != nullptr) {
    RemoveTreck(CurrentTrack);
  }
  AddTreck(CurrentTrack, LangStrOr(10, "Новый"), 0);
  FileName.clear();
  Modified = false;
  if (ports_.Editors != nullptr) {
    ports_.Editors->SetNotesText("");
    ports_.Editors->SetProgramLines({});
  }
}

void TSongWindow::NewSong() {
  AddTreck(CurrentTrack, LangStrOr(10, "Новый"), 0);
  CurrentTrack->MusicStrings = {"Vd4m"};
  AddTreck(CurrentTrack, Word(5, "Трек") + " 1", 1);
}

std::string TSongWindow::SongFileFilter(std::string* ext) const {
  if (FormatModule && FormatModule->ExtensionInfo) {
    TExtension info;
    FormatModule->ExtensionInfo(info);
    *ext = info.Extension;
    return info.Description + " (" + info.Extension + ")|*" + info.Extension;
  }
  *ext = ".qem";
  return LangStrOr(441, "Сонг (.QEM)|*.Qem");
}

bool TSongWindow::SaveAfterQuestion() {
  if (FileName.empty()) {
    return SaveUnderChosenName().value_or(false);  // cancelled: the window stays
  }
  CommitEditors();
  std::string error;
  if (!SaveSongFile(*this, FileName, Utf8ToCp1251(kSaveLabel).Text, &error)) {
    ports_.Questions->Ask(FileErrorText(TFileAction::Save, FileName, error), 3);
    return false;  // nothing was written: the window stays
  }
  ShowTreck(smTrack);
  return true;
}

bool TSongWindow::Ending(bool Closing) {
  if (CurrentTrack == nullptr || (FileName.empty() && !Closing)) {
    return true;
  }
  CommitEditors();
  if (!FileName.empty()) {
    if (const std::optional<bool> goOn = EndingAfterOtherWriter(Closing)) {
      return *goOn;
    }
  }
  const bool changed = FileName.empty() ? Modified : SongDiffersFromFile();
  if (!changed) {
    return true;
  }
  const std::string question =
      FileName.empty() ? LangStrOr(215, "Сохранить Новый сонг?") : SaveQuestion();
  const int answer = ports_.Questions->Ask(question, 2);
  if (answer == mbNo) {
    if (!Closing) {
      EmptySong();
    }
    return true;
  }
  if (answer != mbYes) {
    return false;
  }
  return SaveAfterQuestion();
}

bool TSongWindow::FormCloseQuery() {
  if (!Ending(true)) {
    return false;
  }
  StopPlayback(WindowNumber);
  undo_->DeleteFiles();
  return true;
}

void TSongWindow::FormActivate() {
  Action("aPointMode").Checked = ports_.LockKeys->NumLockOn();
  Action("aAdvancedEditing").Checked = ports_.LockKeys->ScrollLockOn();
  Action("ANavigationAdvanced").Checked = AdvancedNavigation;
  Action("aPlayNotes").Checked = ModePlay;
  Caption = SongCaption();
  ShowTreck(smSilent);
  Notify();
}

// A window that opens with advanced editing or dot mode on (kept from the last run) says so
// once, after the first place it speaks, so that typing that only beeps is explained.
void TSongWindow::AnnounceModes() {
  if (modesAnnounced_ || CurrentTrack == nullptr) {
    return;
  }
  modesAnnounced_ = true;
  if (ports_.LockKeys->ScrollLockOn()) {
    ports_.Speaker->Speak(LangStrOr(416, "Режим продвинутого редактирования включен"), 0);
  }
  if (ports_.LockKeys->NumLockOn()) {
    ports_.Speaker->Speak(LangStrOr(341, "Точечный режим включен"), 0);
  }
}

void TSongWindow::FormDeactivate() {
  if (CurrentTrack != nullptr) {
    CommitEditors();
  }
}

void TSongWindow::NotesEdit1Enter() {
  SetEnabled("BlockObrabotchik", true);
  SetEnabled("CopyData", true);
  SetEnabled("QEMHelper", !NotationMenu.empty());
  SetEnabled("PasteData", MeasureClipboardKind != 0);
  if (TabEntered && CurrentTrack != nullptr) {
    ports_.Speaker->Speak(NotesEditTextCaption, -1);
    ports_.Speaker->Speak(std::to_string(TrackPosition()) + "-" + NamePrefix() + CurrentTrack->Caption, -1);
  }
  Notify();
}

void TSongWindow::NotesEdit1Exit() {
  SetEnabled("BlockObrabotchik", false);
  SetEnabled("QEMHelper", false);
  Notify();
}

void TSongWindow::ProgramEditEnter() {
  SetEnabled("PasteData", true);
  SetEnabled("CopyData", true);
  if (TabEntered) {
    ports_.Speaker->Speak(LangStrOr(105, "Обработчик для текущего трека:"), -1);
  }
  Notify();
}

void TSongWindow::ProgramEditExit() {
  CommitEditors();
}

void TSongWindow::ProgramEditKeyPress() {
  Modified = true;
}

void TSongWindow::ProgramEditKeyUp(bool isTab) {
  TabEntered = isTab;
  if (ports_.Editors != nullptr) {
    ShowCaretPanels();
  }
  Notify();
}

void TSongWindow::SpeakWindowReached(TFocusField field) {
  if (CurrentTrack == nullptr) {
    return;
  }
  ISpeaker& speaker = *ports_.Speaker;
  speaker.Speak(SongName(), -1);
  if (field == TFocusField::Notes) {
    speaker.Speak(NotesEditTextCaption, 0);
    speaker.Speak(std::to_string(TrackPosition()) + "-" + NamePrefix() + CurrentTrack->Caption, 0);
    if (const std::string line = ports_.Editors != nullptr ? ports_.Editors->NotesText() : ""; !line.empty()) {
      speaker.Speak(line, 0);
    }
  } else if (field == TFocusField::Program) {
    speaker.Speak(LangStrOr(105, "Обработчик для текущего трека:"), 0);
  }
  AnnounceModes();
}

bool TSongWindow::ReportCompileError() {
  const TErrors error = GErrors.Get();
  if (!ReportPendingError()) {
    return false;
  }
  if (error.Source == esHandler && error.ModuleLine > 0 && CurrentTrack != nullptr &&
      ports_.Editors != nullptr) {
    // The caret first, so that the editor is entered on the error's line.
    ports_.Editors->SetProgramCaret(0, std::max(0, static_cast<int32_t>(error.ModuleLine) - 1 - CurrentTrack->HiddenLines));
    ports_.Editors->FocusProgram();
  }
  return true;
}

bool TSongWindow::ReportPendingError() {
  if (GErrors.Code() == 0) {
    return false;
  }
  const TErrors error = GErrors.Get();
  GErrors.ClearCode();
  // What the editors hold goes where it was typed, before the window moves.
  CommitEditors();
  PTreck track = HeadTreck;
  if (error.Source == 2) {
    for (uint16_t i = 0; track != nullptr && i < error.ModuleLine; ++i) {
      track = track->Next;
    }
  } else {
    track = CurrentTrack;
  }
  const bool noSignature = error.Source == 2 && error.Code == kNoTimeSignatureError;
  if (noSignature) {
    track = HeadTreck;  // the song's time signature is typed into the control track
  }
  const std::string caption = track != nullptr ? track->Caption + " " : std::string();
  if (error.Source == 2) {
    const std::string place = caption + Word(159, "нотный текст") + "!";
    // The hint is a reason: whole; the text it goes with is the user's, cut only when runaway.
    std::string reason;
    if (noSignature && track != nullptr) {
      reason = SubstituteArgs(LangStrOr(1124, "Тактовый размер пишется в начале такта 1 трека %s, например Vd4"),
                              {track->Caption}) +
               ".";
    }
    ports_.Questions->Ask(SongErrorMessage(error.Code, error.Text, place, reason), 3);
  } else {
    const std::string place = error.Source == 3 ? caption + Word(160, "текст модуля") + "!"
                                                : caption + Word(158, "программный текст") + "!";
    ports_.Questions->Ask(HandlerErrorMessage(error.Code, error.Text, place), 3);
  }
  const PTreck shownTrack = EditorPlace.Track;
  if (error.Source == 2 && track != nullptr) {
    CurrentTrack = track;
    CurrentMeasure = noSignature ? 1 : static_cast<int32_t>(std::clamp<uint32_t>(error.Measure, 1, UINT16_MAX));
    track->Voice = noSignature ? 1 : std::max<uint16_t>(error.Voice, 1);
  } else if (CurrentPlace() == EditorPlace) {
    return true;  // the error left the window where it was
  }
  // The place the error moved to is shown and said like any other move.
  ShowTreck(CurrentTrack != shownTrack ? smTrack : smPlace);
  return true;
}
