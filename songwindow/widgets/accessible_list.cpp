#include "songwindow/widgets/accessible_list.h"

#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include <map>

QAccessible::State ListItemState(const QListWidget& list, int row) {
  QAccessible::State state;
  const QListWidgetItem* item = list.item(row);
  if (item == nullptr) {
    state.invalid = true;
    return state;
  }
  const bool current = list.currentRow() == row;
  state.selectable = true;
  state.focusable = true;
  state.selected = item->isSelected() || current;
  // Only the object that has the keyboard is focused.
  state.focused = current && list.hasFocus();
  state.invisible = item->isHidden() || !list.isVisible();
  if (!state.invisible && !list.viewport()->rect().intersects(list.visualItemRect(item))) {
    state.offscreen = true;
  }
  return state;
}

QAccessible::State TabState(const QTabBar& bar, int index) {
  QAccessible::State state;
  if (index < 0 || index >= bar.count()) {
    state.invalid = true;
    return state;
  }
  const bool current = bar.currentIndex() == index;
  state.selectable = true;
  state.focusable = true;
  state.selected = current;
  state.focused = current && bar.hasFocus();
  state.disabled = !bar.isTabEnabled(index);
  state.invisible = !bar.isVisible() || !bar.isTabVisible(index);
  return state;
}

namespace {

// An item of a list or a tab of a tab bar: one row of its owner.
class TAccessibleListItem final : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TAccessibleListItem(QWidget* owner, int row) : owner_(owner), row_(row) {}

  bool isValid() const override { return !owner_.isNull() && row_ < Count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return owner_ != nullptr ? owner_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(owner_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text kind) const override {
    if (!isValid()) {
      return QString();
    }
    if (const auto* bar = qobject_cast<QTabBar*>(owner_.data())) {
      return kind == QAccessible::Name ? QString(bar->tabText(row_)).remove('&')
             : kind == QAccessible::Description ? bar->tabToolTip(row_) : QString();
    }
    const QListWidgetItem* item = List()->item(row_);
    return kind == QAccessible::Name ? item->text() : kind == QAccessible::Description ? item->toolTip() : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) {
      return QRect();
    }
    if (const auto* bar = qobject_cast<QTabBar*>(owner_.data())) {
      const QRect box = bar->tabRect(row_);
      return QRect(bar->mapToGlobal(box.topLeft()), box.size());
    }
    const QRect box = List()->visualItemRect(List()->item(row_));
    return QRect(List()->viewport()->mapToGlobal(box.topLeft()), box.size());
  }
  QAccessible::Role role() const override {
    return qobject_cast<QTabBar*>(owner_.data()) != nullptr ? QAccessible::PageTab : QAccessible::ListItem;
  }
  QAccessible::State state() const override {
    if (!isValid()) {
      return QAccessible::State();
    }
    const auto* bar = qobject_cast<QTabBar*>(owner_.data());
    return bar != nullptr ? TabState(*bar, row_) : ListItemState(*List(), row_);
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  // The one action: choose the item.
  QStringList actionNames() const override { return isValid() ? QStringList{pressAction()} : QStringList(); }
  void doAction(const QString& name) override {
    if (!isValid() || name != pressAction()) {
      return;
    }
    if (auto* bar = qobject_cast<QTabBar*>(owner_.data())) {
      bar->setCurrentIndex(row_);
    } else {
      List()->setCurrentRow(row_);
    }
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }
  int Row() const { return row_; }

 private:
  QListWidget* List() const { return qobject_cast<QListWidget*>(owner_.data()); }
  int Count() const {
    if (const auto* bar = qobject_cast<QTabBar*>(owner_.data())) {
      return bar->count();
    }
    return List() != nullptr ? List()->count() : 0;
  }

  QPointer<QWidget> owner_;
  int row_;
};

// A list of items or a bar of tabs; its children are the rows alone.
class TAccessibleList final : public QAccessibleWidget {
 public:
  explicit TAccessibleList(QWidget* owner)
      : QAccessibleWidget(owner, qobject_cast<QTabBar*>(owner) != nullptr ? QAccessible::PageTabList
                                                                          : QAccessible::List) {}
  ~TAccessibleList() override {
    for (const auto& [row, id] : items_) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }

  int childCount() const override {
    if (const auto* bar = Bar()) {
      return bar->count();
    }
    return List() != nullptr ? List()->count() : 0;
  }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) {
      return nullptr;
    }
    if (auto found = items_.find(index); found != items_.end()) {
      if (QAccessibleInterface* item = QAccessible::accessibleInterface(found->second)) {
        return item;
      }
    }
    auto* item = new TAccessibleListItem(static_cast<QWidget*>(object()), index);
    items_[index] = QAccessible::registerAccessibleInterface(item);
    return item;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* item = dynamic_cast<const TAccessibleListItem*>(child);
    return item != nullptr && item->parent() == this && item->Row() < childCount() ? item->Row() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    if (const QTabBar* bar = Bar()) {
      const int tab = bar->tabAt(bar->mapFromGlobal(QPoint(x, y)));
      return tab >= 0 ? child(tab) : nullptr;
    }
    QListWidget* list = List();
    if (list == nullptr) {
      return nullptr;
    }
    const QListWidgetItem* item = list->itemAt(list->viewport()->mapFromGlobal(QPoint(x, y)));
    return item != nullptr ? child(list->row(item)) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    if (const QTabBar* bar = Bar()) {
      return bar->hasFocus() ? child(bar->currentIndex()) : nullptr;
    }
    QListWidget* list = List();
    return list != nullptr && list->hasFocus() ? child(list->currentRow()) : nullptr;
  }

 private:
  QListWidget* List() const { return qobject_cast<QListWidget*>(object()); }
  QTabBar* Bar() const { return qobject_cast<QTabBar*>(object()); }

  mutable std::map<int, QAccessible::Id> items_;
};

// The current item of a focused list or the current tab of a focused tab bar, told as
// focused.
void SayCurrentItem(QWidget* owner, int current) {
  if (!QAccessible::isActive() || !owner->hasFocus() || current < 0) {
    return;
  }
  QAccessibleEvent event(owner, QAccessible::Focus);
  event.setChild(current);
  QAccessible::updateAccessibility(&event);
}

void SayCurrentItem(QListWidget* list) {
  SayCurrentItem(list, list->currentRow());
}

bool IsListMove(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_End ||
         key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

// Reaching a list, and a move key that leaves its current item (Qt tells only of a change),
// say the current item, once Qt's own events of the key are out.
class TListWatcher final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::KeyPress) {
      return false;
    }
    // A tab bar reached is heard with its current tab, not as a bare tab list (Qt tells
    // of the tab itself only when the tab changes).
    if (auto* bar = qobject_cast<QTabBar*>(watched); bar != nullptr && event->type() == QEvent::FocusIn) {
      QTimer::singleShot(0, bar, [bar] { SayCurrentItem(bar, bar->currentIndex()); });
      return false;
    }
    auto* list = qobject_cast<QListWidget*>(watched);
    if (list == nullptr) {
      return false;
    }
    if (event->type() == QEvent::FocusIn) {
      QTimer::singleShot(0, list, [list] { SayCurrentItem(list); });
    } else if (event->type() == QEvent::KeyPress && IsListMove(static_cast<QKeyEvent*>(event)->key())) {
      const int row = list->currentRow();
      QTimer::singleShot(0, list, [list, row] {
        if (list->currentRow() == row) {
          SayCurrentItem(list);
        }
      });
    }
    return false;
  }
};

QAccessibleInterface* ListFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("QListWidget")) {
    auto* list = qobject_cast<QListWidget*>(object);
    return list != nullptr ? new TAccessibleList(list) : nullptr;
  }
  if (className == QLatin1String("QTabBar")) {
    auto* bar = qobject_cast<QTabBar*>(object);
    return bar != nullptr ? new TAccessibleList(bar) : nullptr;
  }
  // The pages under a tab bar: a plain pane (a screen reader passes over it), not a
  // "layered pane" said before every field of a page.
  if (className == QLatin1String("QStackedWidget")) {
    auto* pages = qobject_cast<QWidget*>(object);
    return pages != nullptr && qobject_cast<QTabWidget*>(pages->parentWidget()) != nullptr
               ? new QAccessibleWidget(pages, QAccessible::Pane)
               : nullptr;
  }
  return nullptr;
}

}  // namespace

void InstallAccessibleLists() {
  static bool installed = false;
  if (!installed) {
    installed = true;
    QAccessible::installFactory(ListFactory);
    qApp->installEventFilter(new TListWatcher(qApp));
  }
}
