#include "songwindow/view/song_window_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

#include "platform/codec1251.h"
#include "songwindow/controller/braille_editor.h"
#include "songwindow/dialogs/view/dialog_widgets.h"
#include "songwindow/view/plugin_controls_view.h"
#include "songwindow/widgets/accessible_menu_items.h"
#include "songwindow/widgets/apply_colours.h"
#include "songwindow/widgets/key_map.h"
#include "songwindow/widgets/window_activation.h"

namespace {

std::string FromQt(const QString& text) {
  return Utf8ToCp1251(text.toStdString()).Text;
}

// A caption without its accelerator mark and trailing colon, as an accessible name.
QString AccessibleName(const std::string& caption) {
  QString name = ToQt(caption);
  name.remove('&');
  while (name.endsWith(':')) {
    name.chop(1);
  }
  return name;
}

// The actions whose state the user switches (the Modes menu).
bool Checkable(const std::string& name) {
  return name == "aPlayNotes" || name == "ANavigationAdvanced" || name == "aAdvancedEditing" ||
         name == "aPointMode";
}

// True for a key that types into an editor: a printable character, Backspace or Enter.
bool TypesText(const QKeyEvent& key) {
  const int code = key.key();
  if (code == Qt::Key_Backspace || code == Qt::Key_Delete || code == Qt::Key_Return ||
      code == Qt::Key_Enter) {
    return true;
  }
  const QString text = key.text();
  return !text.isEmpty() && text.front() >= QChar(' ') && text.front() != QChar(0x7F);
}

// The editors' second paste key, Shift+Insert, pastes as the Edit menu's Ctrl+V does; the
// Braille editor's cut key is Ctrl+X (Shift+Delete is left to the window's commands).
bool IsShiftInsert(const QKeyEvent& key) {
  return (key.modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier && key.key() == Qt::Key_Insert;
}

bool IsNotesCut(const QKeyEvent& key) {
  return (key.modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier && key.key() == Qt::Key_X;
}

// False for the focus an editor keeps while another window or a menu is up: the editor is
// neither entered nor left then.
bool MovesFocus(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

TFieldState FieldState(const QLineEdit& edit) {
  TFieldState state{edit.text(), edit.cursorPosition(), 0, 0};
  if (edit.hasSelectedText()) {
    state.SelStart = edit.selectionStart();
    state.SelEnd = edit.selectionEnd();
  }
  return state;
}

TFieldState FieldState(const QPlainTextEdit& edit) {
  const QTextCursor cursor = edit.textCursor();
  return {edit.toPlainText(), cursor.position(), cursor.hasSelection() ? cursor.selectionStart() : 0,
          cursor.hasSelection() ? cursor.selectionEnd() : 0};
}

}  // namespace

void TSongWindowView::BindCommand(const std::string& name, std::function<void()> run) {
  auto found = actions_.find(name);
  if (found == actions_.end()) {
    return;
  }
  commands_[name] = true;
  QObject::connect(found->second, &QAction::triggered, this, [this, run = std::move(run)] {
    ++running_commands_;
    run();
    --running_commands_;
  });
  Mirror();
}

TSongWindowView::TSongWindowView(IDeviceChoice* device, int32_t number, const std::string& ext,
                                 QWidget* parent)
    : QWidget(parent) {
  BuildWidgets();
  BuildMenus();
  ApplyColours(*this);
  TSongWindowPorts ports;
  ports.Editors = this;
  ports.FileDialogs = this;
  ports.DeviceCombo = device;
  ports.NoteTimer = this;
  ports.Dialogs = this;
  ports.Clipboard = this;
  controller_ = std::make_unique<TSongWindow>(ports, number, ext);
  plugin_controls_ = new TPluginControlsView(*controller_, this);
  // Between the program editor and the status bar.
  static_cast<QVBoxLayout*>(layout())->insertWidget(layout()->indexOf(status_bar_), plugin_controls_);
  controller_->StateChanged = [this] {
    Mirror();
    KeepPresentSong();
  };
  present_timer_.setSingleShot(true);
  QObject::connect(&present_timer_, &QTimer::timeout, this, [this] { WritePresentSong(); });
  QObject::connect(notes_edit_, &QLineEdit::textChanged, this, [this] {
    notes_known_ = notes_known_ && showing_notes_;  // a change of its own: read the line anew
    KeepPresentSong();
  });
  QObject::connect(program_edit_, &QPlainTextEdit::textChanged, this, [this] { KeepPresentSong(); });
  announce_timer_.setSingleShot(true);
  QObject::connect(&announce_timer_, &QTimer::timeout, this, [this] { AnnounceEditors(); });
  note_timer_.setSingleShot(true);
  QObject::connect(&note_timer_, &QTimer::timeout, this, [this] { controller_->Editor().Audition().TimerNoteOnTimer(); });
  BindActions();
  Mirror();
  QObject::connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    // Between leaving a window and reaching it again Qt moves its focus itself (on hiding
    // and showing it): only the user's moves are remembered.
    if (reached_ && now != nullptr && now->isVisible() && isAncestorOf(now)) {
      last_focus_ = now;
    }
  });
}

// The action table: every action gets its key, working inside this window only (two
// songs open never make a key ambiguous), and its command.
void TSongWindowView::BindActions() {
  for (const TCaptionRow& row : ActionCaptionRows()) {
    auto found = actions_.find(row.Component);
    if (found == actions_.end()) {
      continue;
    }
    QAction* action = found->second;
    if (*row.Shortcut != '\0') {
      action->setShortcut(QKeySequence(QString::fromLatin1(row.Shortcut)));
      action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
      addAction(action);
    }
    if (row.Run != nullptr) {
      BindCommand(row.Component, [this, run = row.Run] {
        ((*controller_).*run)();
        Mirror();
      });
    }
  }
  // Find and replace search the editor that has the focus.
  BindCommand("Find", [this] { controller_->Find(FocusField()), Mirror(); });
  BindCommand("FindNext", [this] { controller_->FindNext(FocusField()), Mirror(); });
  BindCommand("Zamen", [this] { controller_->Zamen(FocusField()), Mirror(); });
  // The measure clipboard serves the Braille editor; in the program editor the same keys
  // copy its selection and paste (as typing) the system clipboard.
  BindCommand("CopyData", [this] {
    if (!controller_->CopyData()) {
      program_edit_->copy();
    }
    Mirror();
  });
  BindCommand("PasteData", [this] {
    if (!controller_->PasteData()) {
      ProgramEditReplace(QGuiApplication::clipboard()->text(), false, false);
    }
    Mirror();
  });
}

QAction* TSongWindowView::CommandOf(const QKeyEvent& key) const {
  const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
  for (const auto& [name, action] : actions_) {
    if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
      return action;
    }
  }
  return nullptr;
}

bool TSongWindowView::IsCommandKey(const QKeyEvent& key) const {
  const QAction* action = CommandOf(key);
  return action != nullptr && action->isEnabled();
}

TSongWindowView::~TSongWindowView() {
  // The editors may report their focus loss while they are taken down, and Qt moves the
  // focus out of them: neither reaches this window, which is half gone by then.
  notes_edit_->removeEventFilter(this);
  program_edit_->removeEventFilter(this);
  QObject::disconnect(qApp, &QApplication::focusChanged, this, nullptr);
  controller_->StateChanged = nullptr;
  delete plugin_controls_;  // before the controller its controls report to
  qDeleteAll(menus_);
}

void TSongWindowView::BuildWidgets() {
  auto* layout = new QVBoxLayout(this);
  notes_label_ = new QLabel(this);
  notes_edit_ = new TCaretKeepingLineEdit(this);
  notes_edit_->setObjectName("NotesEdit1");
  HoldWholeSongLines(*notes_edit_);  // a measure of 40,000 cells is shown whole
  // Every change of the line goes through the editor's keys.
  notes_edit_->setContextMenuPolicy(Qt::NoContextMenu);
  notes_edit_->setAcceptDrops(false);
  notes_label_->setBuddy(notes_edit_);
  program_label_ = new QLabel(this);
  program_edit_ = new QPlainTextEdit(this);
  program_edit_->setObjectName("ProgramEdit");
  program_edit_->setTabChangesFocus(true);
  // Text comes in by the keys and the context menu, which the controller sees.
  program_edit_->setAcceptDrops(false);
  program_edit_->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(program_edit_, &QWidget::customContextMenuRequested, this,
                   [this](const QPoint& at) { ProgramEditMenu(at); });
  program_label_->setBuddy(program_edit_);
  status_bar_ = new QStatusBar(this);
  status_bar_->setSizeGripEnabled(false);
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i] = new QLabel(status_bar_);
    status_bar_->addWidget(panels_[i], i == 3 ? 1 : 0);
  }
  layout->addWidget(notes_label_);
  layout->addWidget(notes_edit_);
  layout->addWidget(program_label_);
  layout->addWidget(program_edit_, 1);
  layout->addWidget(status_bar_);
  notes_edit_->installEventFilter(this);
  program_edit_->installEventFilter(this);
  setFocusProxy(notes_edit_);
}

// The menus of the window. The commands behind the actions come with their own parts; an
// action without one stays disabled.
void TSongWindowView::BuildMenus() {
  for (const TMenuLayout& layout : WindowMenuLayout()) {
    QMenu* menu = layout.Parent != nullptr ? menu_items_.at(layout.Parent)->addMenu(QString())
                                           : new QMenu();
    menu->setObjectName(layout.Name);
    menu_items_[layout.Name] = menu;
    for (const char* action : layout.Actions) {
      QAction* item = menu->addAction(QString());
      item->setObjectName(action);
      item->setCheckable(Checkable(action));
      actions_[action] = item;
    }
    if (layout.Parent == nullptr) {
      menus_.append(menu);
    }
  }
}

void TSongWindowView::Mirror() {
  if (mirroring_) {
    return;
  }
  mirroring_ = true;
  const TSongWindow& c = *controller_;
  notes_label_->setText(ToQt(c.NotesEditTextCaption));
  SetAccessibleName(*notes_edit_, AccessibleName(c.NotesEditTextCaption));
  program_label_->setText(ToQt(c.ProgrammTextCaption));
  SetAccessibleName(*program_edit_, AccessibleName(c.ProgrammTextCaption));
  for (size_t i = 0; i < panels_.size(); ++i) {
    panels_[i]->setText(ToQt(c.StatusPanels[i]));
  }
  for (const auto& [name, state] : c.Actions) {
    if (auto menu = menu_items_.find(name); menu != menu_items_.end()) {
      menu->second->setTitle(ToQt(state.Caption));
    } else if (auto action = actions_.find(name); action != actions_.end()) {
      QAction* a = action->second;
      a->setText(ToQt(state.Caption));
      a->setVisible(state.Visible && !state.Caption.empty());
      a->setChecked(state.Checked);
      a->setEnabled(state.Enabled && commands_.count(name) != 0);
    }
  }
  if (plugin_controls_ != nullptr) {
    plugin_controls_->Mirror();
  }
  const QString caption = ToQt(c.Caption);
  if (windowTitle() != caption) {
    setWindowTitle(caption);
    if (CaptionChanged) {
      CaptionChanged();
    }
  }
  mirroring_ = false;
}

std::string TSongWindowView::NotesText() const {
  return KnownNotes();
}

const std::string& TSongWindowView::KnownNotes() const {
  if (!notes_known_) {
    notes_ = FromQt(notes_edit_->text());
    notes_known_ = true;
  }
  return notes_;
}

void TSongWindowView::SetNotesText(const std::string& text) {
  AnnounceLater();
  if (!notes_known_ || text != notes_) {
    notes_ = text;
    notes_known_ = true;
    notes_text_pending_ = true;
  }
  notes_pending_ = true;
  notes_caret_ = notes_anchor_ = 0;
  ShowShortNotes();
}

int32_t TSongWindowView::NotesCaret() const {
  return notes_pending_ ? notes_caret_ : notes_edit_->cursorPosition();
}

int32_t TSongWindowView::NotesAnchor() const {
  if (notes_pending_) {
    return notes_anchor_;
  }
  if (!notes_edit_->hasSelectedText()) {
    return NotesCaret();
  }
  const int start = notes_edit_->selectionStart();
  return notes_edit_->cursorPosition() == start ? notes_edit_->selectionEnd() : start;
}

void TSongWindowView::SetNotesCaret(int32_t caret, int32_t anchor) {
  AnnounceLater();
  // Within the line, as the widget keeps them.
  const auto length = static_cast<int32_t>(KnownNotes().size());
  notes_pending_ = true;
  notes_caret_ = std::clamp(caret, 0, length);
  notes_anchor_ = std::clamp(anchor, 0, length);
  ShowShortNotes();
}

// A line laid out in a few milliseconds is shown at once; a longer one waits for the keys
// queued now.
void TSongWindowView::ShowShortNotes() {
  constexpr size_t kShownAtOnce = 65536;
  if (notes_.size() < kShownAtOnce) {
    ShowNotes();
  }
}

// The line and caret the controller left, put into the widget quietly: one relayout of the
// line for all the keys handled since the last.
void TSongWindowView::ShowNotes() {
  if (!notes_pending_) {
    return;
  }
  notes_pending_ = false;
  const TQuietField quiet(notes_edit_);
  if (notes_text_pending_) {
    notes_text_pending_ = false;
    showing_notes_ = true;
    notes_edit_->setText(ToQt(notes_));
    showing_notes_ = false;
  }
  if (notes_caret_ == notes_anchor_) {
    notes_edit_->setCursorPosition(notes_caret_);
  } else {
    notes_edit_->setSelection(notes_anchor_, notes_caret_ - notes_anchor_);
  }
}

void TSongWindowView::Start(int32_t intervalMs) {
  note_timer_.start(intervalMs);
}

void TSongWindowView::Stop() {
  note_timer_.stop();
}

std::vector<std::string> TSongWindowView::ProgramLines() const {
  std::vector<std::string> lines;
  const QString text = program_edit_->toPlainText();
  if (text.isEmpty()) {
    return lines;
  }
  for (const QString& line : text.split('\n')) {
    lines.push_back(FromQt(line));
  }
  return lines;
}

void TSongWindowView::SetProgramLines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) {
    list.append(ToQt(line));
  }
  AnnounceLater();
  const TQuietField quiet(program_edit_);
  program_edit_->setPlainText(list.join('\n'));
}

int32_t TSongWindowView::ProgramCaretColumn() const {
  return program_edit_->textCursor().positionInBlock();
}

int32_t TSongWindowView::ProgramCaretLine() const {
  return program_edit_->textCursor().blockNumber();
}

void TSongWindowView::SetProgramCaret(int32_t column, int32_t line) {
  QTextDocument* document = program_edit_->document();
  const QTextBlock block = document->findBlockByNumber(std::clamp(line, 0, document->blockCount() - 1));
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + std::clamp(column, 0, block.length() - 1));
  AnnounceLater();
  const TQuietField quiet(program_edit_);
  program_edit_->setTextCursor(cursor);
}

// Before the program's first change since the last announcement: the editors as the
// screen reader knows them (the user's own edits reached it through Qt).
void TSongWindowView::AnnounceLater() {
  changed_by_command_ = changed_by_command_ || running_commands_ > 0;
  if (announce_timer_.isActive()) {
    return;
  }
  announce_timer_.start(0);
  heard_notes_ = FieldState(*notes_edit_);
  heard_program_ = FieldState(*program_edit_);
}

void TSongWindowView::AnnounceEditors() {
  ShowNotes();
  const TSongWindow& c = *controller_;
  const std::array<intptr_t, 3> place = {reinterpret_cast<intptr_t>(c.CurrentTrack),
                                         c.CurrentTrack != nullptr ? c.CurrentTrack->Voice : 0,
                                         c.CurrentMeasure};
  const TFieldState notes = FieldState(*notes_edit_);
  // Another place's line is a new line, said whole once. The key of a command never
  // reached the screen reader: its changes must not pass for the user's last edit.
  const TChangeCause cause = changed_by_command_ ? TChangeCause::Command : TChangeCause::Edit;
  const TChangeCause shown = place != heard_place_ ? TChangeCause::NewLine : cause;
  changed_by_command_ = false;
  AnnounceTextChange(notes_edit_, heard_notes_, notes, shown);
  heard_notes_ = notes;
  heard_place_ = place;
  const TFieldState program = FieldState(*program_edit_);
  AnnounceTextChange(program_edit_, heard_program_, program, shown);
  heard_program_ = program;
}

bool TSongWindowView::NotesHasFocus() const {
  return notes_edit_->hasFocus();
}

void TSongWindowView::FocusNotes() {
  notes_edit_->setFocus(Qt::OtherFocusReason);
}

void TSongWindowView::FocusProgram() {
  if (program_edit_->isVisible()) {
    program_edit_->setFocus(Qt::OtherFocusReason);
  }
}

std::optional<std::string> TSongWindowView::SaveFileName(const std::string& filter) {
  const QString qtFilter = DialogFilter(filter);
  // The dialog opens in the song's folder.
  const QString folder = QString::fromStdString(
      std::filesystem::path(controller_->FileName).parent_path().string());
  const QString name = QFileDialog::getSaveFileName(this, QString(), folder, qtFilter);
  KeepWindowActive(*this);
  if (name.isEmpty()) {
    return std::nullopt;
  }
  return name.toStdString();
}

std::optional<std::string> TSongWindowView::SaveFileIn(const std::string& filter, const std::string& title,
                                                       const std::string& folder, const std::string& name) {
  QWidget* owner = QApplication::activeModalWidget() != nullptr ? QApplication::activeModalWidget() : this;
  const QString path = QFileDialog::getSaveFileName(
      owner, ToQt(title), QString::fromStdString((std::filesystem::path(folder) / name).string()), DialogFilter(filter));
  KeepWindowActive(*owner);
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return path.toStdString();
}

void TSongWindowView::KeepPresentSong() {
  if (!present_timer_.isActive()) {
    present_timer_.start(present_delay_ms_);
  }
}

void TSongWindowView::WritePresentSong() {
  constexpr int kModalRetryMs = 250;
  constexpr qint64 kLongestDelayMs = 1000;
  if (QApplication::activeModalWidget() != nullptr) {
    present_timer_.start(kModalRetryMs);
    return;
  }
  QElapsedTimer took;
  took.start();
  controller_->WritePresentSong();
  present_delay_ms_ = static_cast<int>(std::min(2 * took.elapsed(), kLongestDelayMs));
}

void TSongWindowView::closeEvent(QCloseEvent* event) {
  if (controller_->FormCloseQuery()) {
    closing_ = true;
    event->accept();
  } else {
    event->ignore();
  }
}

// The Braille editor's keys go to the editor controller as virtual keys and characters;
// the line edit only shows what the controller leaves in it.
bool TSongWindowView::NotesEvent(QEvent* event) {
  if (controller_ == nullptr) {
    return false;  // the window is still being built
  }
  TBrailleEditor& editor = controller_->Editor();
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      auto* key = static_cast<QKeyEvent*>(event);
      key->setAccepted(EditorClaimsKey(*key));
      return true;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
        return false;
      }
      // A command's key is the command's, never the editor's: a disabled command refuses.
      if (QAction* command = EditorClaimsKey(*key) ? nullptr : CommandOf(*key)) {
        if (command->isEnabled() && command->isVisible()) {
          command->trigger();
        } else {
          controller_->RefuseCommand(command->objectName().toStdString());
        }
        return true;
      }
      if (IsShiftInsert(*key)) {
        controller_->PasteFromKey();
        Mirror();
        return true;
      }
      if (IsNotesCut(*key)) {
        const std::string removed = editor.Cut();
        if (!removed.empty()) {
          QGuiApplication::clipboard()->setText(ToQt(removed));
        }
        Mirror();
        return true;
      }
      const TEditorKey k = EditorKeyOf(*key, controller_->Ports().LockKeys->NumLockOn());
      editor.KeyDown(k.Key, ShiftStateOf(key->modifiers()));
      if (k.Char != 0) {
        editor.KeyPress(k.Char);
      }
      Mirror();
      return true;
    }
    case QEvent::KeyRelease: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat()) {
        const TEditorKey k = EditorKeyOf(*key, controller_->Ports().LockKeys->NumLockOn());
        editor.KeyUp(k.Key, ShiftStateOf(key->modifiers()));
        Mirror();
      }
      return true;
    }
    case QEvent::InputMethod: {
      for (char32_t ch : static_cast<QInputMethodEvent*>(event)->commitString().toUcs4()) {
        editor.KeyPress(ch);
      }
      Mirror();
      return true;
    }
    case QEvent::MouseButtonPress:
      ShowNotes();  // a click places the caret in the line shown
      [[fallthrough]];
    case QEvent::MouseButtonRelease:
      // The middle button would paste the X selection past the editor.
      return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
    default:
      return false;
  }
}

bool TSongWindowView::eventFilter(QObject* watched, QEvent* event) {
  const bool notes = watched == notes_edit_;
  if (notes && NotesEvent(event)) {
    return true;
  }
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // The program editor would keep Shift+Space, Shift+Del and Ctrl+Del for itself: the
      // window's commands come first.
      if (!notes && IsCommandKey(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
      }
      break;
    case QEvent::FocusIn: {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (!MovesFocus(reason) || closing_) {
        break;  // nothing is said of a window that goes
      }
      // Whether the Tab key brought the focus, known at once (its key release comes only
      // afterwards); a window reached or a click is no Tab, whatever key was released last.
      controller_->TabEntered = tab_key_;
      notes ? controller_->NotesEdit1Enter() : controller_->ProgramEditEnter();
      break;
    }
    case QEvent::FocusOut:
      if (MovesFocus(static_cast<QFocusEvent*>(event)->reason())) {
        notes ? controller_->NotesEdit1Exit() : controller_->ProgramEditExit();
      }
      break;
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!key->isAutoRepeat()) {
        controller_->ProgramEditKeyUp(key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab);
      }
      break;
    }
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (!notes && (IsShiftInsert(*key) || key->matches(QKeySequence::Paste))) {
        controller_->PasteFromKey();
        Mirror();
        return true;
      }
      if (!notes && key->matches(QKeySequence::Cut)) {
        ProgramEditReplace(QString(), true, true);
        return true;
      }
      if (!notes && TypesText(*key)) {
        controller_->ProgramEditKeyPress();
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

// The program editor's text with `inserted` in place of its selection (cut: the selection
// taken out), handed to the controller with the caret after it; what a cut takes out goes
// to the clipboard when `toClipboard`.
bool TSongWindowView::ProgramEditReplace(QString inserted, bool cut, bool toClipboard, const std::string& label) {
  const QTextCursor cursor = program_edit_->textCursor();
  const int from = cursor.selectionStart();
  const int to = cursor.selectionEnd();
  if (cut && from == to) {
    return false;
  }
  const QString text = program_edit_->toPlainText();
  inserted.replace("\r\n", "\n");
  inserted.replace('\r', '\n');
  const QString result = text.left(from) + inserted + text.mid(to);
  const QString head = result.left(from + inserted.size());
  const int line = static_cast<int>(head.count('\n'));
  const int column = static_cast<int>(head.size() - (head.lastIndexOf('\n') + 1));
  const bool changed = controller_->ProgramEditChange(result.toStdString(), column, line, cut, label);
  if (changed && toClipboard) {
    QGuiApplication::clipboard()->setText(text.mid(from, to - from));
  }
  Mirror();
  return changed;
}

bool TSongWindowView::ProgramHasFocus() const {
  return program_edit_->hasFocus();
}

std::string TSongWindowView::ProgramSelection() const {
  QString selected = program_edit_->textCursor().selectedText();
  selected.replace(QChar::ParagraphSeparator, '\n');
  return FromQt(selected);
}

void TSongWindowView::SelectAllProgram() {
  program_edit_->selectAll();
}

bool TSongWindowView::UndoProgram() {
  if (!program_edit_->document()->isUndoAvailable()) {
    return false;
  }
  program_edit_->undo();
  return true;
}

bool TSongWindowView::ReplaceProgramSelection(const std::string& utf8, const std::string& label) {
  return ProgramEditReplace(QString::fromStdString(utf8), false, false, label);
}

std::string TSongWindowView::Text() const {
  return QGuiApplication::clipboard()->text().toStdString();
}

void TSongWindowView::SetText(const std::string& utf8) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
}

// The program editor's context menu, with paste, cut and delete going through the
// controller like the keys.
void TSongWindowView::ProgramEditMenu(const QPoint& at) {
  QMenu* menu = program_edit_->createStandardContextMenu(at);
  for (QAction* action : menu->actions()) {
    const QString name = action->objectName();
    if (name == "edit-paste" || name == "edit-cut" || name == "edit-delete") {
      QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
      QObject::connect(action, &QAction::triggered, this, [this, name] {
        name == "edit-paste" ? ProgramEditReplace(QGuiApplication::clipboard()->text(), false, false)
                             : ProgramEditReplace(QString(), true, name == "edit-cut");
      });
    }
  }
  ExecOnFirstItem(*menu, program_edit_->mapToGlobal(at));  // a screen reader hears it open
  delete menu;
}

bool TSongWindowView::focusNextPrevChild(bool next) {
  if (closing_) {
    return false;  // Qt moves the focus out of a window that goes: no Tab of the user's
  }
  QList<QWidget*> chain = {notes_edit_, program_edit_};
  if (plugin_controls_ != nullptr) {
    chain += plugin_controls_->FocusChain();
  }
  QWidget* focused = QApplication::focusWidget();
  qsizetype at = 0;
  for (qsizetype i = 0; i < chain.size(); ++i) {
    if (chain[i] == focused || chain[i]->isAncestorOf(focused)) {
      at = i;
    }
  }
  const qsizetype count = chain.size();
  QWidget* target = chain[(at + (next ? 1 : count - 1)) % count];
  tab_key_ = true;
  target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  tab_key_ = false;
  return true;
}

void TSongWindowView::RestoreFocus() {
  QWidget* field = last_focus_ != nullptr && last_focus_->isVisible() && last_focus_->isEnabled()
                       ? last_focus_.data()
                       : notes_edit_;
  last_focus_ = field;
  reached_ = true;
  if (!field->hasFocus()) {
    field->setFocus(Qt::OtherFocusReason);
  }
}

void TSongWindowView::Left() {
  reached_ = false;
}

TFocusField TSongWindowView::FocusField() const {
  const QWidget* field = last_focus_ != nullptr ? last_focus_.data() : notes_edit_;
  if (field == notes_edit_) {
    return TFocusField::Notes;
  }
  return field == program_edit_ ? TFocusField::Program : TFocusField::Other;
}
