#include "songwindow/view/plugin_controls_view.h"
#include "songwindow/widgets/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>

#include <algorithm>

#include "platform/codec1251.h"
#include "songwindow/widgets/accessible_menu_items.h"
#include "songwindow/widgets/apply_colours.h"
#include "songwindow/widgets/key_map.h"
#include "songwindow/widgets/accessible_text.h"

namespace {

// Rich edit text goes to the plug-in with CR LF line ends.
std::string WindowsLines(std::string text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += '\r';
    }
    out += c;
  }
  return out;
}

QString UnixLines(const std::string& cp1251) {
  QString text = ToQt(cp1251);
  return text.replace("\r\n", "\n").replace('\r', '\n');
}

// The keys that open a control's popup menu: the menu key and Shift+F10.
bool OpensPopup(const QKeyEvent& key) {
  return key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
}

// The shift state byte a plug-in gets: 1 Shift, 2 Alt, 4 Ctrl.
uint8_t ShiftByte(Qt::KeyboardModifiers modifiers) {
  const TShiftState state = ShiftStateOf(modifiers);
  return static_cast<uint8_t>((state.Shift ? 1 : 0) | (state.Alt ? 2 : 0) | (state.Ctrl ? 4 : 0));
}

// The key sequence of a popup item's shortcut (virtual-key code + 0x2000 Shift, 0x4000
// Ctrl, 0x8000 Alt); empty for none or a key the program does not know.
QKeySequence ShortCutSequence(uint16_t shortCut) {
  const int key = QtKeyOf(shortCut & 0xFF);
  if (key == 0) {
    return QKeySequence();
  }
  int modifiers = 0;
  if (shortCut & 0x2000) {
    modifiers |= Qt::SHIFT;
  }
  if (shortCut & 0x4000) {
    modifiers |= Qt::CTRL;
  }
  if (shortCut & 0x8000) {
    modifiers |= Qt::ALT;
  }
  return QKeySequence(key | modifiers);
}

// Enter on a push button clicks it, as Space does (outside a dialog Qt's button ignores it).
bool ClicksButton(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
  return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

bool MovesFocus(Qt::FocusReason reason) {
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

// True for a control a screen reader names by its label: one that shows no caption of its
// own, when the plug-in named it.
bool NamedByLabel(const VeltoControl& control) {
  switch (control.Kind) {
    case TControlKind::Label:
    case TControlKind::Button:
    case TControlKind::RadioButton:
    case TControlKind::CheckBox:
      return false;
    default:
      return !control.Name.empty();
  }
}

void SetItems(QListWidget& list, const VeltoControl& control, bool editable) {
  if (list.count() != static_cast<int>(control.Items.size())) {
    list.clear();
    for (size_t i = 0; i < control.Items.size(); ++i) {
      list.addItem(QString());
    }
  }
  // An item is touched only when it changed: each change resets the text of an item being
  // renamed to the item's own.
  for (int i = 0; i < list.count(); ++i) {
    QListWidgetItem* item = list.item(i);
    item->setText(ToQt(control.Items[static_cast<size_t>(i)]));
    if (editable && !item->flags().testFlag(Qt::ItemIsEditable)) {
      item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
  }
  if (list.currentRow() != control.ItemIndex) {
    list.setCurrentRow(control.ItemIndex);
  }
}

// A plug-in's list view or list box. Qt makes the first row current when a list without
// one takes the focus; that is no choice of the user's: the list takes the focus without a
// current row, as its record has none, and the plug-in hears of no click. Without Q_OBJECT
// its class stays QListWidget for the colours and the screen reader's list interface.
class TPluginList : public QListWidget {
 public:
  using QListWidget::QListWidget;

 protected:
  void focusInEvent(QFocusEvent* event) override {
    const QSignalBlocker quiet(this);
    const bool none = currentRow() < 0;
    QListWidget::focusInEvent(event);
    if (none) {
      setCurrentRow(-1);
    }
  }
};

}  // namespace

TPluginControlsView::TPluginControlsView(TSongWindow& window, QWidget* parent)
    : QWidget(parent), window_(window) {
  setObjectName("PluginControls");
  for (const VeltoControl& control : window_.PluginWindow.Controls) {
    QWidget* widget = MakeWidget(control);
    widget->setObjectName(QString("PluginControl%1").arg(control.Number));
    widget->installEventFilter(this);
    ConnectEvents(widget, control);
    widgets_.push_back(widget);
    auto* label = new QLabel(this);
    label->hide();
    labels_.push_back(label);
  }
  ApplyColours(*this);
  Mirror();
}

TPluginControlsView::~TPluginControlsView() {
  // The controls may report their focus loss while they are taken down.
  for (QWidget* widget : widgets_) {
    widget->removeEventFilter(this);
  }
  if (rename_editor_ != nullptr) {
    rename_editor_->removeEventFilter(this);
  }
}

QWidget* TPluginControlsView::MakeWidget(const VeltoControl& control) {
  switch (control.Kind) {
    case TControlKind::ComboBox:
      return new QComboBox(this);
    case TControlKind::Label:
      return new QLabel(this);
    case TControlKind::SpinEdit:
      return new QSpinBox(this);
    case TControlKind::ListView:
    case TControlKind::ListBox:
      return new TPluginList(this);
    case TControlKind::Button:
      return new QPushButton(this);
    case TControlKind::RichEdit: {
      auto* edit = new QTextEdit(this);
      edit->setAcceptRichText(false);
      edit->setTabChangesFocus(true);
      return edit;
    }
    case TControlKind::Edit:
      return new QLineEdit(this);
    case TControlKind::ScrollBar: {
      auto* bar = new QScrollBar(Qt::Horizontal, this);
      bar->setFocusPolicy(Qt::StrongFocus);
      return bar;
    }
    case TControlKind::RadioButton:
      return new QRadioButton(this);
    case TControlKind::CheckBox:
      return new QCheckBox(this);
  }
  return new QLabel(this);
}

std::optional<std::string> TPluginControlsView::TakeUserText(const QString& text) {
  std::optional<std::string> cp1251 = Utf8ToCp1251Exact(text.toStdString());
  if (!cp1251) {
    Mirror();
  }
  return cp1251;
}

// The user's change goes into the record first; then the plug-in hears of it.
void TPluginControlsView::ConnectEvents(QWidget* widget, const VeltoControl& control) {
  const int32_t n = control.Number;
  TSongWindow& w = window_;
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    connect(combo, &QComboBox::activated, this, [&w, n](int index) {
      w.PluginControl(n)->ItemIndex = index;
      w.onClickPluginControl(n);
      w.onChangePluginControl(n);
    });
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    connect(spin, &QSpinBox::valueChanged, this, [&w, n](int value) {
      w.PluginControl(n)->Position = value;
      w.onChangePluginControl(n);
    });
  } else if (auto* bar = qobject_cast<QScrollBar*>(widget)) {
    connect(bar, &QScrollBar::valueChanged, this, [&w, n](int value) {
      w.PluginControl(n)->Position = value;
      w.onChangePluginControl(n);
    });
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    connect(list, &QListWidget::currentRowChanged, this, [&w, n](int row) {
      w.PluginControl(n)->ItemIndex = row;
      w.onClickPluginControl(n);
    });
    if (control.Kind == TControlKind::ListView) {
      connect(list, &QListWidget::itemChanged, this, [this, &w, n, list](QListWidgetItem* item) {
        if (mirroring_) {
          return;
        }
        const std::optional<std::string> text = TakeUserText(item->text());
        if (text) {
          w.ListViewEdited(n, list->row(item), *text);
        }
      });
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    connect(button, &QAbstractButton::clicked, this, [&w, n](bool checked) {
      w.PluginControl(n)->Checked = checked;
      w.onClickPluginControl(n);
    });
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    connect(line, &QLineEdit::textEdited, this, [this, &w, n](const QString& text) {
      if (const std::optional<std::string> cp1251 = TakeUserText(text)) {
        w.PluginControl(n)->Text = *cp1251;
        w.onChangePluginControl(n);
      }
    });
  } else if (auto* rich = qobject_cast<QTextEdit*>(widget)) {
    connect(rich, &QTextEdit::textChanged, this, [this, &w, n, rich] {
      if (mirroring_) {
        return;
      }
      if (const std::optional<std::string> cp1251 = TakeUserText(rich->toPlainText())) {
        w.PluginControl(n)->Text = WindowsLines(*cp1251);
        w.onChangePluginControl(n);
      }
    });
  }
  if (SharesPopupMenu(control.Kind)) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, widget](const QPoint& at) { ShowPopup(widget, at); });
  }
}

void TPluginControlsView::Mirror() {
  if (mirroring_) {
    return;
  }
  mirroring_ = true;
  int right = 0;
  int bottom = 0;
  for (size_t i = 0; i < widgets_.size(); ++i) {
    const VeltoControl& control = window_.PluginWindow.Controls[i];
    const QSignalBlocker blocker(widgets_[i]);
    MirrorControl(widgets_[i], control);
    labels_[i]->setText(ToQt(control.Name));
    labels_[i]->setBuddy(NamedByLabel(control) ? widgets_[i] : nullptr);
    if (control.Visible) {
      right = std::max(right, control.Left + control.Width);
      bottom = std::max(bottom, control.Top + control.Height);
    }
  }
  setMinimumSize(right, bottom);
  MirrorPopup();
  mirroring_ = false;
}

void TPluginControlsView::MirrorControl(QWidget* widget, const VeltoControl& control) {
  widget->setGeometry(control.Left, control.Top, control.Width, control.Height);
  widget->setVisible(control.Visible);
  widget->setEnabled(control.Enabled);
  const QString text = ToQt(control.Text);
  SetAccessibleName(*widget, ToQt(control.Name.empty() ? control.Text : control.Name));
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    QStringList items;
    for (const std::string& item : control.Items) {
      items.append(ToQt(item));
    }
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) {
      shown.append(combo->itemText(i));
    }
    if (shown != items) {
      combo->clear();
      combo->addItems(items);
    }
    combo->setCurrentIndex(control.ItemIndex);
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    spin->setRange(control.Minimum, control.Maximum);
    spin->setValue(control.Position);
  } else if (auto* bar = qobject_cast<QScrollBar*>(widget)) {
    bar->setRange(control.Minimum, control.Maximum);
    bar->setValue(control.Position);
  } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
    SetItems(*list, control, control.Kind == TControlKind::ListView);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
    button->setChecked(control.Checked);
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    SetFieldText(*line, text);
  } else if (auto* rich = qobject_cast<QTextEdit*>(widget)) {
    if (rich->toPlainText() != UnixLines(control.Text)) {
      rich->setPlainText(UnixLines(control.Text));
    }
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  }
}

// The popup items become actions of every control sharing the menu, so that their
// shortcuts work while such a control has the focus.
void TPluginControlsView::MirrorPopup() {
  if (popup_shown_ == window_.PopupItems) {
    return;
  }
  qDeleteAll(popup_actions_);
  popup_actions_.clear();
  popup_shown_ = window_.PopupItems;
  for (size_t i = 0; i < popup_shown_.size(); ++i) {
    auto* action = new QAction(ToQt(popup_shown_[i].Caption), this);
    action->setShortcut(ShortCutSequence(popup_shown_[i].ShortCut));
    action->setShortcutContext(Qt::WidgetShortcut);
    const auto index = static_cast<int32_t>(i);
    connect(action, &QAction::triggered, this, [this, index] { window_.ClickPopupMenuClick(index); });
    popup_actions_.append(action);
  }
  for (size_t i = 0; i < widgets_.size(); ++i) {
    if (SharesPopupMenu(window_.PluginWindow.Controls[i].Kind)) {
      widgets_[i]->addActions(popup_actions_);
    }
  }
}

void TPluginControlsView::ShowPopup(QWidget* widget, const QPoint& at) {
  if (!popup_actions_.isEmpty()) {
    QMenu menu(widget);
    menu.addActions(popup_actions_);
    ExecOnFirstItem(menu, widget->mapToGlobal(at));  // a screen reader hears it open
  }
}

QAction* TPluginControlsView::PopupItemOf(int32_t number, const QKeyEvent& key) const {
  if (!SharesPopupMenu(window_.PluginWindow.Controls[static_cast<size_t>(number) - 1].Kind)) {
    return nullptr;
  }
  const QKeySequence pressed(key.keyCombination());
  const auto found = std::find_if(popup_actions_.begin(), popup_actions_.end(), [&](const QAction* action) {
    return !action->shortcut().isEmpty() && action->shortcut() == pressed;
  });
  return found != popup_actions_.end() ? *found : nullptr;
}

QList<QWidget*> TPluginControlsView::FocusChain() const {
  QList<QWidget*> chain;
  for (QWidget* widget : widgets_) {
    if (widget->isVisible() && widget->isEnabled() && widget->focusPolicy() != Qt::NoFocus) {
      chain.append(widget);
    }
  }
  return chain;
}

int32_t TPluginControlsView::NumberOf(const QObject* widget) const {
  const auto found = std::find(widgets_.begin(), widgets_.end(), widget);
  return found != widgets_.end() ? static_cast<int32_t>(found - widgets_.begin()) + 1 : 0;
}

bool TPluginControlsView::ForwardKey(QWidget* widget, int32_t number, const QKeyEvent& key, bool down) {
  const int32_t code = EditorKeyOf(key, window_.Ports().LockKeys->NumLockOn()).Key;
  if (code == vkOther || resending_) {
    return false;
  }
  const uint8_t shift = ShiftByte(key.modifiers());
  const int32_t answer = down ? window_.ComponentKeyDown(number, code, shift)
                              : window_.ComponentKeyUp(number, code, shift);
  if (answer == code) {
    return false;
  }
  // Another key: sent as that key, typing what it types.
  const TQtKeyEvent other = QtKeyEventOf(static_cast<uint16_t>(answer), key.modifiers());
  if (answer != 0 && other.Key != 0) {
    QKeyEvent rewritten(key.type(), other.Key, other.Modifiers, other.Text, key.isAutoRepeat());
    resending_ = true;
    QCoreApplication::sendEvent(widget, &rewritten);
    resending_ = false;
  }
  return answer == 0 || other.Key != 0;
}

// A list item being renamed (its editor, a child of the list, has the focus) takes its
// keys itself: Enter ends the rename.
bool TPluginControlsView::Renaming(const QWidget* widget) const {
  const QWidget* focus = QApplication::focusWidget();
  return qobject_cast<const QListWidget*>(widget) != nullptr && focus != nullptr && focus != widget &&
         widget->isAncestorOf(focus);
}

void TPluginControlsView::EndRename() {
  rename_editor_->removeEventFilter(this);
  rename_editor_ = nullptr;
  const int32_t list = renaming_;
  if (list != 0 && QApplication::focusWidget() != widgets_[static_cast<size_t>(list) - 1]) {
    renaming_ = 0;
    window_.onExitPluginControl(list);
  }
}

bool TPluginControlsView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == rename_editor_ && event->type() == QEvent::FocusOut &&
      MovesFocus(static_cast<QFocusEvent*>(event)->reason())) {
    EndRename();
    return false;
  }
  const int32_t number = NumberOf(watched);
  if (number == 0) {
    return QWidget::eventFilter(watched, event);
  }
  auto* widget = static_cast<QWidget*>(watched);
  switch (event->type()) {
    case QEvent::FocusIn:
      if (!MovesFocus(static_cast<QFocusEvent*>(event)->reason())) {
        break;
      }
      if (renaming_ == number) {
        renaming_ = 0;  // back from the rename of an item: the list was never left
      } else {
        window_.onEnterPluginControl(number);
      }
      break;
    case QEvent::FocusOut:
      if (!MovesFocus(static_cast<QFocusEvent*>(event)->reason())) {
        break;
      }
      if (Renaming(widget)) {
        // The editor of an item the user renames takes the focus: the rename stays inside
        // the list, which is left only when the editor gives the focus to another field.
        renaming_ = number;
        rename_editor_ = QApplication::focusWidget();
        rename_editor_->installEventFilter(this);
      } else {
        window_.onExitPluginControl(number);
      }
      break;
    case QEvent::ShortcutOverride:
      // A popup item's shortcut is the control's while it has the focus, before the control's
      // own use of the key and before the window's command of that key: it comes as a key
      // press, which chooses the item.
      if (PopupItemOf(number, *static_cast<QKeyEvent*>(event)) != nullptr) {
        event->accept();
        return true;
      }
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (Renaming(widget)) {
        break;
      }
      if (event->type() == QEvent::KeyPress) {
        if (QAction* item = PopupItemOf(number, *static_cast<QKeyEvent*>(event))) {
          item->trigger();
          return true;
        }
      }
      if (ForwardKey(widget, number, *static_cast<QKeyEvent*>(event), event->type() == QEvent::KeyPress)) {
        return true;
      }
      if (event->type() == QEvent::KeyPress && ClicksButton(*static_cast<QKeyEvent*>(event))) {
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
          button->click();
          return true;
        }
      }
      if (event->type() == QEvent::KeyPress && OpensPopup(*static_cast<QKeyEvent*>(event)) &&
          SharesPopupMenu(window_.PluginWindow.Controls[static_cast<size_t>(number) - 1].Kind)) {
        ShowPopup(widget, QPoint(0, widget->height()));
        return true;
      }
      break;
    case QEvent::MouseButtonRelease: {
      const VeltoControl& control = window_.PluginWindow.Controls[static_cast<size_t>(number) - 1];
      // Buttons, boxes and lists report their clicks by signal.
      if (control.Kind == TControlKind::Label || control.Kind == TControlKind::Edit ||
          control.Kind == TControlKind::RichEdit || control.Kind == TControlKind::SpinEdit ||
          control.Kind == TControlKind::ScrollBar) {
        window_.onClickPluginControl(number);
      }
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}
