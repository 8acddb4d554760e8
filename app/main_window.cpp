#include "app/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocalServer>
#include <QMenuBar>
#include <QMessageBox>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "app/auto_play.h"
#include "app/device_error_text.h"
#include "feedback/file_error_text.h"
#include "app/shell.h"
#include "app/shell_menus.h"
#include "app/single_instance.h"
#include "app/window_placement.h"
#include "base/errors.h"
#include "feedback/error_messages.h"
#include "feedback/message_box.h"
#include "feedback/signals.h"
#include "feedback/song_text_report.h"
#include "model/leftover_songs.h"
#include "model/plugin_hooks.h"
#include "model/song_file.h"
#include "model/song_text.h"
#include "model/undo.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/ini_file.h"
#include "platform/midi_devices/midi_log.h"
#include "platform/stale_temporaries.h"
#include "playback/midi_ports.h"
#include "playback/player.h"
#include "playback/player_state.h"
#include "playback/transport.h"
#include "render/render_thread.h"
#include "settings/lang_texts.h"
#include "settings/plugins.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "songwindow/widgets/accessible_menu_items.h"
#include "songwindow/widgets/apply_colours.h"
#include "songwindow/widgets/menu_bar.h"
#include "songwindow/widgets/qt_text.h"
#include "songwindow/widgets/window_activation.h"
#include "songwindow/dialogs/view/snapshot_presenter.h"
#include "songwindow/view/song_window_view.h"

namespace {

constexpr int kTimerMs = 100;

// The main window's design record: the text height it was laid out for, its client size and
// its smallest size (800 by 600 and 320 by 240 at a text height of 14). The design text
// height is below every real one, so that a size saved and read again comes back exactly.
constexpr TFormDesign kMainWindowDesign = {8, 1400, 1050, 560, 420, 0, 0};

// The show state of the placement record for Qt's window states.
int32_t ShowStateOf(Qt::WindowStates states) {
  if (states & Qt::WindowMinimized) {
    return ssMinimised;
  }
  return states & (Qt::WindowMaximized | Qt::WindowFullScreen) ? ssMaximised : ssNormal;
}

// A song file that could not be read or written, named in the user's language.
void ShowFileError(TFileAction action, const std::filesystem::path& path, const std::string& error) {
  LangMessageBox(FileErrorText(action, path.string(), error), 3);
}

// The same file under two names (links, "..", a relative name).
bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) {
    return false;
  }
  std::error_code error;
  return a == b || std::filesystem::equivalent(a, b, error) ||
         std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

}  // namespace

TMainWindow::TMainWindow() {
  InstallSongTextErrorReport();
  InstallAccessibleMenuItems();
  setObjectName("ZELSequencer");
  setWindowTitle("VELTO");
  setMenuBar(new TMenuBar(this));
  area_ = new QMdiArea(this);
  area_->setViewMode(QMdiArea::TabbedView);
  area_->setTabsClosable(false);
  area_->setDocumentMode(true);
  setCentralWidget(area_);
  connect(area_, &QMdiArea::subWindowActivated, this,
          [this](QMdiSubWindow* window) { OnSubWindowActivated(window); });
  BuildMenus();
  BuildDeviceMenu();
  BuildLanguageMenu();
  SetCaptions();
  RebuildMenuBar();
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start(kTimerMs);
  // The program activated again from another program after a song that played by itself
  // ended: the window closes as the user closes it (a changed song is asked about). A
  // dialog of the program's own that closes leaves it open.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive && ClosesOnActivation()) {
      QTimer::singleShot(0, this, [this] { close(); });
    }
  });
  instance_server_ = ListenForLaterCopies(
      ProgramDir, [this](const THandedOverSongs& songs) { TakeHandedOverSongs(songs); },
      [this] { return closing_; });
  snapshots_ = std::make_unique<TSnapshotPresenter>(this);
  ApplyColours(*this);
}

// The height of a line of text (such as "0") in the window's font.
int32_t TMainWindow::TextHeight() const {
  return fontMetrics().height();
}

TWindowPlacement TMainWindow::SavedPlacement(const TWindowPlacement& present, const QMargins& frame) const {
  TIniFile ini;
  ini.Load(ProgramDir + kSettingsFileName);
  const QRect screenArea = screen()->geometry();
  return RestoreFormPlacement(ini, objectName().toStdString(), present, TextHeight(), kMainWindowDesign,
                              screenArea.width(), screenArea.height(), frame.left() + frame.right(),
                              frame.top() + frame.bottom());
}

void TMainWindow::ShowAtSavedPlace() {
  const TFormDesign limits = ScaledLimits(kMainWindowDesign, TextHeight());
  setMinimumSize(limits.MinWidth, limits.MinHeight);
  // The window manager's frame is not known before the window is shown: NoteGeometry
  // centres the frame once it is.
  const TWindowPlacement placement = SavedPlacement({ssNormal, 0, x(), y(), width(), height()}, QMargins());
  resize(placement.ClientWidth, placement.ClientHeight);
  move(placement.Left, placement.Top);
  normal_frame_ = TNormalFrame(placement);
  awaiting_frame_ = true;
  // A window is never brought back minimised: the user could not find it.
  placement.State == ssMaximised ? showMaximized() : show();
}

void TMainWindow::NoteGeometry() {
  const int32_t state = ShowStateOf(windowState());
  if (awaiting_frame_ && isVisible() && frameGeometry().size() != size()) {
    awaiting_frame_ = false;
    const TWindowPlacement shown = normal_frame_.Placement(state);
    const TWindowPlacement framed = SavedPlacement(shown, windowHandle()->frameMargins());
    if (framed.Left != shown.Left || framed.Top != shown.Top) {
      normal_frame_ = TNormalFrame(framed);
      if (state == ssNormal) {
        // As the place given before the window was shown: the frame's corner goes there.
        windowHandle()->setFramePosition(QPoint(framed.Left, framed.Top));
        return;
      }
    }
  }
  const QRect frame = frameGeometry();
  normal_frame_.Seen(state, frame.x(), frame.y(), width(), height());
}

void TMainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  NoteGeometry();
}

void TMainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  NoteGeometry();
}

void TMainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) {
    NoteGeometry();  // a window manager may move the window back before it says it is normal
  }
}

bool TMainWindow::SavePlacement(std::string* error) {
  const int32_t state = ShowStateOf(windowState());
  const QRect frame = frameGeometry();
  normal_frame_.Seen(state, frame.x(), frame.y(), width(), height());
  const std::string path = ProgramDir + kSettingsFileName;
  TIniFile ini;
  ini.Load(path);
  SaveFormPlacement(ini, objectName().toStdString(), normal_frame_.Placement(state), TextHeight(),
                    kMainWindowDesign);
  if (!language_file_.empty()) {
    ini.WriteString("MAIN", "Language", language_file_);
  }
  return ini.Save(path, error);
}

TMainWindow::~TMainWindow() {
  timer_.stop();
  Transport().Stop();  // no render waits on a snapshot window that goes with this one
  snapshots_.reset();
}

void TMainWindow::BuildMenus() {
  struct TCommand {
    QKeySequence Keys;
    std::function<void()> Run;
  };
  const std::map<std::string, TCommand, std::less<>> commands = {
      {"New", {QKeySequence::New, [this] { NewSong(); }}},
      {"Open", {QKeySequence::Open, [this] { OpenSongDialog(); }}},
      {"Save", {QKeySequence::Save, [this] {
                  if (TSongWindowView* song = ActiveSong()) {
                    SaveSong(*song);
                  }
                }}},
      {"SaveAs", {QKeySequence(), [this] {
                    if (TSongWindowView* song = ActiveSong()) {
                      SaveSongAs(*song);
                    }
                  }}},
      {"Close", {QKeySequence("Ctrl+F4"), [this] {
                   if (QMdiSubWindow* window = ActiveSubWindow()) {
                     window->close();
                   }
                 }}},
      {"Exit", {QKeySequence("Ctrl+Q"), [this] { close(); }}},
      {"NextWindow", {QKeySequence("Ctrl+F6"), [this] { area_->activateNextSubWindow(); }}},
      {"PriorWindow", {QKeySequence("Ctrl+Shift+F6"), [this] { area_->activatePreviousSubWindow(); }}},
      {"About", {QKeySequence::HelpContents, [this] { ShowAbout(); }}},
  };
  for (const TShellMenu& layout : ShellMenus()) {
    QMenu*& menu = menus_[layout.Name];
    if (menu == nullptr) {
      menu = new QMenu(this);
    }
    menu->setObjectName(layout.Name);
    for (const std::string_view item : layout.Items) {
      if (item == kMenuSeparator) {
        menu->addSeparator();
      } else if (auto command = commands.find(item); command != commands.end()) {
        QAction* a = menu->addAction(QString());
        a->setObjectName(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
        a->setShortcut(command->second.Keys);
        connect(a, &QAction::triggered, this, command->second.Run);
        actions_[std::string(item)] = a;
      } else {
        menus_[std::string(item)] = menu->addMenu(QString());
      }
    }
  }
}

void TMainWindow::BuildLanguageMenu() {
  language_group_ = new QActionGroup(this);
  for (const std::string& file : ListLanguageFiles(ProgramDir + "Languages")) {
    QAction* a = menus_["mLanguage"]->addAction(
        QString::fromStdString(std::filesystem::path(file).stem().string()));
    a->setCheckable(true);
    a->setData(QString::fromStdString(file));
    language_group_->addAction(a);
    connect(a, &QAction::triggered, this, [this, file] { ChooseLanguage(file, true); });
  }
}

void TMainWindow::BuildDeviceMenu() {
  device_group_ = new QActionGroup(this);
  // No item is checked while no device is open.
  device_group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  const std::vector<std::string> names = EnumMidiOutDevices();
  const std::string log = MidiLogPath();
  for (size_t i = 0; i < names.size(); ++i) {
    QAction* a = menus_["mDevice"]->addAction(QString::fromStdString(names[i]));
    device_names_.push_back(Utf8ToCp1251(names[i]).Text);
    a->setCheckable(true);
    device_group_->addAction(a);
    const auto device = static_cast<int32_t>(i);
    connect(a, &QAction::triggered, this, [this, device] { ChooseDevice(device); });
    if (!log.empty() && GMidiOutDeviceList[i].Device.Backend == "log") {
      device_ = device;  // the log device is where port 0 starts when it is set
    }
  }
  ChooseDevice(device_);
}

void TMainWindow::SetCaptions() {
  for (const TShellText& text : ShellTexts()) {
    const QString caption = ToQt(ShellCaption(text.Name));
    if (auto m = menus_.find(text.Name); m != menus_.end()) {
      m->second->setTitle(caption);
    } else if (auto a = actions_.find(text.Name); a != actions_.end()) {
      a->second->setText(caption);
    }
  }
}

void TMainWindow::RebuildMenuBar() {
  menuBar()->clear();
  menuBar()->addMenu(menus_["mFile"]);
  if (TSongWindowView* song = ActiveSong()) {
    for (QMenu* m : song->Menus()) {
      menuBar()->addMenu(m);
    }
  }
  menuBar()->addMenu(menus_["mWindow"]);
  menuBar()->addMenu(menus_["mSettings"]);
  menuBar()->addMenu(menus_["mHelp"]);
}

void TMainWindow::OnSubWindowActivated(QMdiSubWindow* window) {
  if (window == nullptr || window == active_) {
    return;  // the program lost the focus, or nothing changed
  }
  if (auto* previous = qobject_cast<QMdiSubWindow*>(active_.data())) {
    if (auto* song = dynamic_cast<TSongWindowView*>(previous->widget())) {
      song->Controller().FormDeactivate();
      song->Left();
    }
  }
  active_ = window;
  RebuildMenuBar();
  if (TSongWindowView* song = ActiveSong()) {
    song->Controller().FormActivate();
    song->RestoreFocus();
    AnnounceActiveSong();
  }
}

void TMainWindow::FocusWithoutSongs() {
  if (!isActiveWindow() || QApplication::activeModalWidget() != nullptr ||
      QApplication::activePopupWidget() != nullptr) {
    return;  // the keyboard is elsewhere: nothing to tell
  }
  setFocus(Qt::OtherFocusReason);
  QAccessibleEvent event(this, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void TMainWindow::AnnounceActiveSong() {
  if (announcing_) {
    return;
  }
  announcing_ = true;
  QTimer::singleShot(0, this, [this] {
    announcing_ = false;
    if (TSongWindowView* song = ActiveSong(); song != nullptr && !song->Closing()) {
      song->Controller().SpeakWindowReached(song->FocusField());
    }
  });
}

// The active sub-window, or the one active last while a dialog has the focus.
QMdiSubWindow* TMainWindow::ActiveSubWindow() const {
  QMdiSubWindow* window = area_->activeSubWindow();
  return window != nullptr ? window : qobject_cast<QMdiSubWindow*>(active_.data());
}

TSongWindowView* TMainWindow::ActiveSong() const {
  QMdiSubWindow* window = ActiveSubWindow();
  return window != nullptr ? dynamic_cast<TSongWindowView*>(window->widget()) : nullptr;
}

std::vector<TSongWindowView*> TMainWindow::SongWindows() const {
  std::vector<TSongWindowView*> songs;
  for (QMdiSubWindow* window : area_->subWindowList()) {
    if (auto* song = dynamic_cast<TSongWindowView*>(window->widget())) {
      songs.push_back(song);
    }
  }
  return songs;
}

TSongWindowView* TMainWindow::AddSongWindow(const std::string& ext) {
  std::vector<int32_t> used;
  for (TSongWindowView* song : SongWindows()) {
    used.push_back(song->Controller().WindowNumber);
  }
  // A number whose undo files a live window of another copy holds, or whose undo file names
  // something else holds (a folder, a FIFO), is not taken.
  const int32_t number = FreeWindowNumber(used, [](int32_t n) {
    return UndoStateHeldElsewhere(ProgramDir, n) || UndoFilesBlocked(ProgramDir, n);
  });
  auto* song = new TSongWindowView(this, number, ext);
  song->Controller().WindowShowingFile = [this, song](const std::string& path) {
    TSongWindowView* other = SongShowing(path, song);
    return other != nullptr ? other->Controller().Caption : std::string();
  };
  QMdiSubWindow* window = area_->addSubWindow(song);
  window->setAttribute(Qt::WA_DeleteOnClose);
  connect(window, &QObject::destroyed, this, [this] {
    if (SongWindows().empty()) {
      RebuildMenuBar();
      FocusWithoutSongs();
    }
  });
  return song;
}

void TMainWindow::NewSong() {
  TSongWindowView* song = AddSongWindow("qem");
  TSongWindow& c = song->Controller();
  c.NewSong();
  ShowSongWindow(*song);
}

void TMainWindow::ShowSongWindow(TSongWindowView& song) {
  // The program's window first takes the keyboard the desktop gave it back (after the open
  // dialog), so that the new window's Braille editor gets it, and the screen reader is told.
  KeepWindowActive(*this);
  song.parentWidget()->show();
  area_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(song.parentWidget()));
  song.Controller().FormActivate();
  song.RestoreFocus();
  AnnounceActiveSong();
}

TSongWindowView* TMainWindow::SongShowing(const std::string& path,
                                          const TSongWindowView* except) const {
  for (TSongWindowView* song : SongWindows()) {
    if (song != except && SameFile(path, song->Controller().FileName)) {
      return song;
    }
  }
  return nullptr;
}

void TMainWindow::TakeHandedOverSongs(const THandedOverSongs& songs) {
  if (closing_) {
    // Taken while the program asks before it closes: opened when the close is cancelled,
    // else kept for the next start, never opened into a closing program.
    handed_over_.push_back(songs);
    return;
  }
  AutoPlayForgotten();  // bringing the window up for the songs does not close it
  if (isMinimized()) {
    showNormal();
  }
  raise();
  activateWindow();
  OpenSongs(songs.Songs, !songs.OpenOnly);
}

bool TMainWindow::OpenSong(const std::string& path) {
  // A song a window shows already is shown there, never in a second window.
  if (TSongWindowView* shown = SongShowing(path, nullptr)) {
    area_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(shown->parentWidget()));
    return true;
  }
  const std::string ext = std::filesystem::path(path).extension().string();
  TSongWindowView* song = AddSongWindow(ext.empty() ? ext : ext.substr(1));
  TSongWindow& c = song->Controller();
  std::string error;
  // The parser's own box names neither the file nor the fault: one box here names both.
  SetSongTextErrorReport({});
  const bool loaded = LoadSongFile(c, path, "", &error);
  InstallSongTextErrorReport();
  if (!loaded) {
    song->parentWidget()->close();
    if (GErrors.Code() == kSongTextError) {
      // The reason whole: the track, the line and what stands there.
      LangMessageBox(SongErrorMessage(kSongTextError, std::string(), Utf8ToCp1251(path).Text,
                                      Utf8ToCp1251(SongTextErrorReason()).Text),
                     3);
    } else {
      ShowFileError(TFileAction::Open, path, error);
    }
    // Cleared, so that the timer does not report it again as an error of another window.
    GErrors.ClearCode();
    return false;
  }
  c.RememberSongFile(true);
  RemoveStaleTemporariesBeside(path);  // what a save killed in an earlier run left there
  c.CurrentMeasure = 1;
  ShowSongWindow(*song);
  return true;
}

bool TMainWindow::OpenRecoveredSong(const TLeftoverSong& leftover) {
  TSongWindowView* song = AddSongWindow(leftover.Extension());
  TSongWindow& c = song->Controller();
  c.Data = leftover.Lines;
  std::string label;
  SetSongTextErrorReport({});
  c.Convert(label);
  InstallSongTextErrorReport();
  if (GErrors.Code() != 0 || c.CurrentTrack == nullptr) {
    GErrors.ClearCode();
    song->parentWidget()->close();
    return false;
  }
  // Closing asks. A save asks first when another program changed the file since the
  // window that ended last read or wrote it; without that record, from now on.
  c.Modified = true;
  if (!c.FileName.empty()) {
    RemoveStaleTemporariesBeside(c.FileName);  // the save that the crash cut short left one
  }
  if (leftover.FileIdentity && leftover.FileIdentity->Path == c.FileName) {
    c.AdoptSongFile(*leftover.FileIdentity);
  } else if (!c.FileName.empty()) {
    if (std::optional<std::vector<std::string>> lines = ReadSongFileLines(c.FileName)) {
      c.SongFile.Remember(c.FileName, std::move(*lines));
      c.KeepSongFileIdentity();
    }
  }
  c.CurrentMeasure = 1;
  ShowSongWindow(*song);
  return c.WritePresentSong();
}

void TMainWindow::OpenSongs(const std::vector<std::string>& paths, bool playOne) {
  bool opened = false;
  for (const std::string& path : paths) {
    opened = OpenSong(path);
  }
  TSongWindowView* song = ActiveSong();
  if (!playOne || !PlaysAtOnce(paths.size(), opened) || song == nullptr) {
    return;
  }
  // The one song given plays at once, as its play command plays it.
  AutoPlayStarting();
  song->Controller().PlayAll();
  song->Mirror();
  if (!Transport().Busy()) {
    AutoPlayNotStarted();
  }
}

void TMainWindow::OpenSongDialog() {
  QStringList filters = {DialogFilter(LangStrOr(441, "Сонг (.QEM)|*.Qem"))};
  for (const PModulDll& format : FormatModules) {
    if (format->Format->ExtensionInfo) {
      TExtension info;
      format->Format->ExtensionInfo(info);
      filters.append(DialogFilter(info.Description + " (" + info.Extension + ")|*" + info.Extension));
    }
  }
  const QString name = QFileDialog::getOpenFileName(this, QString(), QString(), filters.join(";;"));
  KeepWindowActive(*this);
  if (!name.isEmpty()) {
    OpenSong(name.toStdString());
  }
}

void TMainWindow::SaveSong(TSongWindowView& song) {
  TSongWindow& c = song.Controller();
  if (c.FileName.empty() || c.SaveOverFile() == TSaveResult::SaveAsWanted) {
    SaveSongAs(song);
  }
}

// Saves the song under a new name, or renders it into a MIDI file: the typed extension
// chooses (".mid", ".midi" a MIDI file, the song's own a song), else the chosen type.
void TMainWindow::SaveSongAs(TSongWindowView& song) {
  TSongWindow& c = song.Controller();
  std::string songExt;
  const QString songFilter = DialogFilter(c.SongFileFilter(&songExt));
  const QString midiFilter = DialogFilter(LangStrOr(916, "MIDI файл (.MID)|*.mid"));
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({songFilter, midiFilter});
  if (!c.FileName.empty()) {
    dialog.setDirectory(
        QString::fromStdString(std::filesystem::path(c.FileName).parent_path().string()));
  }
  // The type combo is labelled by its label, so that a screen reader says what it chooses
  // (the dialog's widgets are there once it shows).
  QTimer::singleShot(0, &dialog, [&dialog] {
    auto* typeLabel = dialog.findChild<QLabel*>("fileTypeLabel");
    if (auto* types = dialog.findChild<QComboBox*>("fileTypeCombo"); types != nullptr && typeLabel != nullptr) {
      typeLabel->setBuddy(types);
    }
  });
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&c](const QString& filter) {
    c.Ports().Speaker->Speak(Utf8ToCp1251(filter.toStdString()).Text, 1);
  });
  const bool accepted = dialog.exec() == QDialog::Accepted;
  KeepWindowActive(*this);
  if (!accepted || dialog.selectedFiles().isEmpty()) {
    return;
  }
  const std::filesystem::path chosen = dialog.selectedFiles().first().toStdString();
  const std::string typed = LowerAscii(chosen.extension().string());
  bool midi = dialog.selectedNameFilter() == midiFilter;
  if (typed == ".mid" || typed == ".midi") {
    midi = true;
  } else if (typed == ".qem" || typed == LowerAscii(Cp1251ToUtf8(songExt))) {
    midi = false;
  }
  const std::filesystem::path path = SaveDialogPath(chosen, midi ? std::string(".mid") : Cp1251ToUtf8(songExt));
  c.CommitEditors();
  std::string error;
  if (midi) {
    // The export never replaces the song itself (nor any file it cannot write).
    std::vector<std::filesystem::path> inputs;
    if (!c.FileName.empty()) {
      inputs.push_back(c.FileName);
    }
    if (const std::string problem = OutputFileProblem(path, inputs); !problem.empty()) {
      ShowFileError(TFileAction::Save, path, problem);
      return;
    }
    if (!c.MayReplace(chosen, path)) {
      return;
    }
    GErrors.Reset();
    if (!Transport().Export(c, path.string(), &error, &c.Preparation())) {
      if (!c.ReportPendingError()) {
        ShowFileError(TFileAction::Save, path, error);
      }
      return;
    }
    c.Ports().Signaller->Signal(sOk);
    c.Ports().Speaker->Speak(SubstituteArgs(LangStrOr(1261, "Экспорт завершён: %s"),
                                            {Utf8ToCp1251(path.filename().string()).Text}),
                             0);
    return;
  }
  if (TSongWindowView* other = SongShowing(path.string(), &song)) {
    LangMessageBox(SubstituteArgs(LangStrOr(1260, "%s открыт в окне «%s». Выберите другое имя."),
                                  {Utf8ToCp1251(path.filename().string()).Text,
                                   other->Controller().Caption}),
                   3);
    return;
  }
  if (!c.MayReplace(chosen, path)) {
    return;
  }
  if (c.SongFile.Holds(path.string())) {
    switch (c.AskBeforeWritingOver()) {
      case TWriteOver::Write:
        break;
      case TWriteOver::SaveElsewhere:
        SaveSongAs(song);
        return;
      case TWriteOver::Keep:
      case TWriteOver::Cancel:
        return;
    }
  }
  if (!SaveSongFile(c, path, Utf8ToCp1251(kSaveLabel).Text, &error)) {
    ShowFileError(TFileAction::Save, path, error);
    return;
  }
  c.FileName = path.string();
  c.RememberSongFile(false);
  c.Ports().Signaller->Signal(sOk);
  c.FormActivate();
}

void TMainWindow::ChooseDevice(int32_t device) {
  const int32_t before = device_open_ ? device_ : -1;
  Transport().Stop();
  device_ = device;
  device_open_ = OpenMidiOuts(device);
  if (!device_open_) {
    // The device that failed is named; the one open before it comes back.
    const TErrors error = GErrors.Get();
    GErrors.ClearCode();
    if (before >= 0 && before != device && OpenMidiOuts(before)) {
      device_ = before;
      device_open_ = true;
    }
    GErrors.ClearCode();
    ReportDeviceError(error, PortDeviceName(error.Extra, device));
  }
  const QList<QAction*> items = device_group_->actions();
  for (qsizetype i = 0; i < items.size(); ++i) {
    items[i]->setChecked(device_open_ && i == device_);
  }
}

// Shown from the event loop: after the menu that chose the device has closed, and once
// the window is up and speaks its language at start.
void TMainWindow::ReportDeviceError(const TErrors& error, const std::string& device) {
  QTimer::singleShot(0, this, [error, device] { LangMessageBox(DeviceErrorText(error, device), 3); });
}

void TMainWindow::ReportDeviceFault(const TMidiDeviceFault& fault) {
  const std::string text = DeviceFaultText(fault);
  QTimer::singleShot(0, this, [text] { LangMessageBox(text, 3); });
}

void TMainWindow::ChooseLanguage(const std::string& name, bool announce) {
  if (!LoadLanguageFile(ProgramDir + "Languages/" + name)) {
    return;
  }
  language_file_ = name;
  for (QAction* a : language_group_->actions()) {
    a->setChecked(a->data().toString().toStdString() == name);
  }
  LoadQtTranslations();
  SetCaptions();
  for (TSongWindowView* song : SongWindows()) {
    song->Controller().SetLanguage();
  }
  if (announce) {
    const std::shared_ptr<const TLangTable> table = LangStrings.Get();
    const std::string language = table != nullptr ? table->Value("name") : std::string();
    SystemSpeaker().Speak(LangStrOr(1205, "Язык") + ": " + language, -1);
  }
}

// Qt's own texts (the buttons of message boxes, the file dialogs) in the language chosen.
void TMainWindow::LoadQtTranslations() {
  if (qt_translations_ != nullptr) {
    QCoreApplication::removeTranslator(qt_translations_.get());
    qt_translations_.reset();
  }
  auto translations = std::make_unique<QTranslator>();
  if (translations->load("qtbase_" + QString::fromStdString(LanguageId),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translations.get());
    qt_translations_ = std::move(translations);
  }
}

void TMainWindow::ShowAbout() {
  const std::string version = std::to_string(VersionMajor) + "." + std::to_string(VersionMinor) +
                              "." + std::to_string(VersionRelease) + "." +
                              std::to_string(VersionBuild);
  LangMessageBox(Utf8ToCp1251("VELTO " + version).Text, 1);
}

void TMainWindow::Tick() {
  TSongWindowView* song = ActiveSong();
  if (song == nullptr) {
    return;
  }
  TSongWindow& c = song->Controller();
  // A box just shown is not active yet and the editor still reads as focused: no error
  // box goes over a modal one (the parser's own, shown while its error is pending).
  if (QApplication::activeModalWidget() == nullptr &&
      (song->NotesEdit1()->hasFocus() || song->ProgramEdit()->hasFocus())) {
    if (const TErrors error = GErrors.Get(); error.Code != 0 && IsDeviceError(error)) {
      GErrors.ClearCode();
      ReportDeviceError(error, PortDeviceName(error.Extra, device_));
    }
    for (const TMidiDeviceFault& fault : TakeMidiDeviceFaults()) {
      ReportDeviceFault(fault);
    }
    c.ReportPendingError();
  }
  // A play that failed leaves GRendering set: the transport tells what really runs.
  c.ShowPlayState(Transport().Busy());
}

void TMainWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;  // later copies are told so meanwhile, and try again
  for (QMdiSubWindow* window : area_->subWindowList()) {
    if (!window->close()) {
      event->ignore();
      closing_ = false;
      for (const THandedOverSongs& songs : std::exchange(handed_over_, {})) {
        TakeHandedOverSongs(songs);
      }
      return;
    }
  }
  if (!handed_over_.empty()) {
    std::vector<std::string> kept;
    for (const THandedOverSongs& songs : handed_over_) {
      kept.insert(kept.end(), songs.Songs.begin(), songs.Songs.end());
    }
    KeepHandedOverSongs(ProgramDir, kept);
  }
  timer_.stop();
  Transport().Stop();
  for (int port = 0; port < kMidiPortCount; ++port) {
    CloseMidiOut(port);
  }
  // A settings file that cannot be written (a full or read-only folder) is said once.
  const std::string settings = ProgramDir + kSettingsFileName;
  std::string error;
  std::string placementError;
  const bool settingsSaved = SaveSettings(settings, &error);
  if (!SavePlacement(&placementError) && settingsSaved) {
    error = placementError;
  }
  if (!error.empty()) {
    const std::string text = FileErrorText(TFileAction::Save, settings, error);
    SystemSpeaker().Speak(text, -1);
    LangMessageBox(text, 3);
  }
  event->accept();
}
