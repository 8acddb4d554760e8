#include "songwindow/widgets/accessible_menu_items.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

// The menu or menu bar that shows the action, else nullptr.
QWidget* OwnerOf(QAction* action) {
  if (action == nullptr) {
    return nullptr;
  }
  for (QObject* object : action->associatedObjects()) {
    if (qobject_cast<QMenu*>(object) != nullptr || qobject_cast<QMenuBar*>(object) != nullptr) {
      return static_cast<QWidget*>(object);
    }
  }
  return nullptr;
}

QString WithoutMarks(QString text) {
  QString plain;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;  // "&&" stands for "&"; "&x" marks x
    }
    plain += text[i];
  }
  return plain;
}

// A menu of the menu bar reached from the one open before it (Right, Left): Qt tells of the
// bar's item and at once of the menu's first item, and a screen reader keeps only the latter.
// That item is named with the menu's title until another item of the menu becomes active.
struct TArrivedMenu {
  QPointer<QMenu> menu;
  QPointer<QAction> item;  // the item active on arrival, once it is read
};
TArrivedMenu arrived;
QPointer<QMenuBar> barLeft;  // a bar whose menu closed in this turn of the event loop

// The name of an item, with its menu's title when the menu has just been reached.
QString ItemName(QAction* action, QWidget* owner) {
  QString name = WithoutMarks(action->text());
  auto* menu = qobject_cast<QMenu*>(owner);
  if (menu == nullptr || arrived.menu != menu) {
    return name;
  }
  if (arrived.item.isNull() && menu->activeAction() == action) {
    arrived.item = action;
  }
  if (arrived.item.isNull()) {
    return name;
  }
  if (menu->activeAction() != arrived.item) {
    arrived = {};
    return name;
  }
  return arrived.item == action ? WithoutMarks(menu->title()) + ": " + name : name;
}

class TAccessibleMenuItem final : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  explicit TAccessibleMenuItem(QAction* action) : action_(action) {}

  bool isValid() const override { return !action_.isNull() && Owner() != nullptr; }
  QObject* object() const override { return action_; }
  QWindow* window() const override {
    QWidget* owner = Owner();
    return owner != nullptr ? owner->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(Owner()); }
  QAccessibleInterface* child(int index) const override {
    return index == 0 && action_->menu() != nullptr ? QAccessible::queryAccessibleInterface(action_->menu())
                                                    : nullptr;
  }
  int childCount() const override { return action_->menu() != nullptr ? 1 : 0; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && action_->menu() != nullptr && child->object() == action_->menu() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    QAccessibleInterface* menu = child(0);
    return menu != nullptr && menu->rect().contains(x, y) ? menu : nullptr;
  }
  QRect rect() const override {
    QWidget* owner = Owner();
    QRect box;
    if (auto* bar = qobject_cast<QMenuBar*>(owner)) {
      box = bar->actionGeometry(action_);
    } else if (auto* menu = qobject_cast<QMenu*>(owner)) {
      box = menu->actionGeometry(action_);
    }
    return owner != nullptr ? box.translated(owner->mapToGlobal(QPoint(0, 0))) : box;
  }
  QAccessible::Role role() const override {
    return action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    QWidget* owner = Owner();
    if (owner != nullptr && (!owner->testAttribute(Qt::WA_WState_Visible) || !action_->isVisible())) {
      s.invisible = true;
    }
    if (auto* menu = qobject_cast<QMenu*>(owner); menu != nullptr && menu->activeAction() == action_) {
      s.focused = true;
    } else if (auto* bar = qobject_cast<QMenuBar*>(owner); bar != nullptr && bar->activeAction() == action_) {
      s.focused = true;
    }
    if (owner != nullptr && owner->style()->styleHint(QStyle::SH_Menu_MouseTracking)) {
      s.hotTracked = true;
    }
    s.disabled = action_->isSeparator() || !action_->isEnabled();
    s.checked = action_->isChecked();
    s.checkable = action_->isCheckable();
    s.hasPopup = action_->menu() != nullptr;
    return s;
  }
  QString text(QAccessible::Text kind) const override {
    switch (kind) {
      case QAccessible::Name:
        return ItemName(action_, Owner());
      case QAccessible::Accelerator:
        return Shortcut().isEmpty() ? Mnemonic() : Shortcut();
      default:
        return QString();
    }
  }
  void setText(QAccessible::Text, const QString&) override {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }

  QStringList actionNames() const override {
    if (action_.isNull() || action_->isSeparator()) {
      return {};
    }
    return {action_->menu() != nullptr ? showMenuAction() : pressAction()};
  }
  void doAction(const QString& name) override {
    if (!action_->isEnabled()) {
      return;
    }
    if (name == pressAction()) {
      action_->trigger();
      return;
    }
    if (name != showMenuAction()) {
      return;
    }
    if (action_->menu() != nullptr && action_->menu()->isVisible()) {
      action_->menu()->hide();
    } else if (auto* bar = qobject_cast<QMenuBar*>(Owner())) {
      bar->setActiveAction(action_);
    } else if (auto* menu = qobject_cast<QMenu*>(Owner())) {
      menu->setActiveAction(action_);
    }
  }
  // The bridge joins these with ";": the menu letter, an empty path and the shortcut.
  QStringList keyBindingsForAction(const QString& name) const override {
    if (!actionNames().contains(name) || (Mnemonic().isEmpty() && Shortcut().isEmpty())) {
      return {};
    }
    return {Mnemonic(), QString(), Shortcut()};
  }

 private:
  QWidget* Owner() const { return OwnerOf(action_); }
  QString Mnemonic() const { return QKeySequence::mnemonic(action_->text()).toString(QKeySequence::NativeText); }
  QString Shortcut() const { return action_->shortcut().toString(QKeySequence::NativeText); }

  QPointer<QAction> action_;
};

// The item a menu has active, told as focused; a menu open without one (all its items
// disabled) is told itself, so that entering it is never silent.
void SayActiveItem(QMenu* menu) {
  if (!QAccessible::isActive() || !menu->isVisible()) {
    return;
  }
  QAction* active = menu->activeAction();
  const qsizetype index = active != nullptr ? menu->actions().indexOf(active) : -1;
  QAccessibleEvent event(menu, QAccessible::Focus);
  if (index >= 0) {
    event.setChild(static_cast<int>(index));
  }
  QAccessible::updateAccessibility(&event);
}

// The field that has the focus once the last popup menu closed, told as focused; a list
// with its current item, as when it is reached.
void SayFocusAfterMenu() {
  QWidget* field = QApplication::focusWidget();
  if (!QAccessible::isActive() || QApplication::activePopupWidget() != nullptr || field == nullptr ||
      !field->isActiveWindow()) {
    return;
  }
  QAccessibleEvent event(field, QAccessible::Focus);
  if (QAccessibleInterface* self = QAccessible::queryAccessibleInterface(field)) {
    QAccessibleInterface* inner = self->focusChild();
    if (const int index = inner != nullptr && inner != self ? self->indexOfChild(inner) : -1; index >= 0) {
      event.setChild(index);
    }
  }
  QAccessible::updateAccessibility(&event);
}

// Makes the first item of every popup menu of its own (a context menu: Qt's standard ones of
// the text fields too, which Qt leaves out of the window's accessible tree) active once it is
// up, as Down would reach it, so that the screen reader says the item as the menu opens.
// Menus of the menu bar and submenus are left as Qt opens them.
class TFirstItemActive final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu != nullptr && event->type() == QEvent::Show && menu->activeAction() == nullptr &&
        OwnerOf(menu->menuAction()) == nullptr) {
      // Once the menu is up: Qt sets up its items as it opens, after this event.
      QCoreApplication::postEvent(menu, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    }
    return false;
  }
};

// Installed once; the last filter installed on the application sees an event first, so
// that the item is active before the watcher tells of the menu.
void InstallFirstItemActive() {
  static bool installed = false;
  if (!installed) {
    installed = true;
    qApp->installEventFilter(new TFirstItemActive(qApp));
  }
}

// A menu is named by its title, so that reaching it says which menu it is. Qt tells of an
// item only when the active one changes: a submenu reached again, and the menu a submenu
// closes back to, say their active item once Qt's own events are out.
class TMenuWatcher final : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) && event->spontaneous() &&
        qobject_cast<QWindow*>(watched) != nullptr) {
      // As a menu takes the keyboard, Qt tells the screen reader that the window under it is
      // active again (its platform window lost the focus): the menu's item is told after it.
      if (auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        QTimer::singleShot(0, open, [open] { SayActiveItem(open); });
      }
      return false;
    }
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide) {
      return false;
    }
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu == nullptr) {
      return false;
    }
    auto* bar = qobject_cast<QMenuBar*>(OwnerOf(menu->menuAction()));
    if (event->type() == QEvent::Hide && bar == nullptr && OwnerOf(menu->menuAction()) == nullptr) {
      // A popup menu of its own (no menu bar's, no submenu) closed: Qt gives the field under
      // it its focus back without telling the screen reader, which stays on the window.
      QTimer::singleShot(0, qApp, [] { SayFocusAfterMenu(); });
    }
    if (event->type() == QEvent::Show) {
      if (const QString name = WithoutMarks(menu->title()); menu->accessibleName() != name) {
        menu->setAccessibleName(name);
      }
      if (bar != nullptr && (barLeft == bar || AnotherMenuOpen(bar, menu))) {
        arrived = {menu, nullptr};
      }
      QTimer::singleShot(0, menu, [menu] { SayActiveItem(menu); });
    } else if (auto* parent = qobject_cast<QMenu*>(OwnerOf(menu->menuAction()))) {
      QTimer::singleShot(0, parent, [parent] { SayActiveItem(parent); });
    } else if (bar != nullptr) {
      if (arrived.menu == menu) {
        arrived = {};
      }
      barLeft = bar;
      QTimer::singleShot(0, bar, [] { barLeft = nullptr; });
    }
    return false;
  }

 private:
  static bool AnotherMenuOpen(QMenuBar* bar, QMenu* menu) {
    for (QAction* action : bar->actions()) {
      if (action->menu() != nullptr && action->menu() != menu && action->menu()->isVisible()) {
        return true;
      }
    }
    return false;
  }
};

QAccessibleInterface* MenuItemFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QAction")) {
    return nullptr;
  }
  auto* action = qobject_cast<QAction*>(object);
  return OwnerOf(action) != nullptr ? new TAccessibleMenuItem(action) : nullptr;
}

}  // namespace

QAction* ExecOnFirstItem(QMenu& menu, const QPoint& at) {
  InstallFirstItemActive();
  return menu.exec(at);
}

void InstallAccessibleMenuItems() {
  static bool installed = false;
  if (!installed) {
    installed = true;
    QAccessible::installFactory(MenuItemFactory);
    qApp->installEventFilter(new TMenuWatcher(qApp));
    InstallFirstItemActive();
  }
}
