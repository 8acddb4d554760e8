#include "songwindow/view/accessible_list.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
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

namespace {

class TAccessibleListItem final : public QAccessibleInterface {
 public:
  TAccessibleListItem(QListWidget* list, int row) : list_(list), row_(row) {}

  bool isValid() const override { return !list_.isNull() && row_ < list_->count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ != nullptr ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text kind) const override {
    const QListWidgetItem* item = isValid() ? list_->item(row_) : nullptr;
    if (item == nullptr) {
      return QString();
    }
    return kind == QAccessible::Name ? item->text() : kind == QAccessible::Description ? item->toolTip() : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const QListWidgetItem* item = isValid() ? list_->item(row_) : nullptr;
    if (item == nullptr) {
      return QRect();
    }
    const QRect box = list_->visualItemRect(item);
    return QRect(list_->viewport()->mapToGlobal(box.topLeft()), box.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    return isValid() ? ListItemState(*list_, row_) : QAccessible::State();
  }
  int Row() const { return row_; }

 private:
  QPointer<QListWidget> list_;
  int row_;
};

class TAccessibleList final : public QAccessibleWidget {
 public:
  explicit TAccessibleList(QListWidget* list) : QAccessibleWidget(list, QAccessible::List) {}
  ~TAccessibleList() override {
    for (const auto& [row, id] : items_) {
      QAccessible::deleteAccessibleInterface(id);
    }
  }

  int childCount() const override { return List() != nullptr ? List()->count() : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) {
      return nullptr;
    }
    if (auto found = items_.find(index); found != items_.end()) {
      if (QAccessibleInterface* item = QAccessible::accessibleInterface(found->second)) {
        return item;
      }
    }
    auto* item = new TAccessibleListItem(List(), index);
    items_[index] = QAccessible::registerAccessibleInterface(item);
    return item;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* item = dynamic_cast<const TAccessibleListItem*>(child);
    return item != nullptr && item->parent() == this && item->Row() < childCount() ? item->Row() : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    QListWidget* list = List();
    if (list == nullptr) {
      return nullptr;
    }
    const QListWidgetItem* item = list->itemAt(list->viewport()->mapFromGlobal(QPoint(x, y)));
    return item != nullptr ? child(list->row(item)) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    QListWidget* list = List();
    return list != nullptr && list->hasFocus() ? child(list->currentRow()) : nullptr;
  }

 private:
  QListWidget* List() const { return qobject_cast<QListWidget*>(object()); }

  mutable std::map<int, QAccessible::Id> items_;
};

// The current item of a focused list, told as focused.
void SayCurrentItem(QListWidget* list) {
  if (!QAccessible::isActive() || !list->hasFocus() || list->currentRow() < 0) {
    return;
  }
  QAccessibleEvent event(list, QAccessible::Focus);
  event.setChild(list->currentRow());
  QAccessible::updateAccessibility(&event);
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
  if (className != QLatin1String("QListWidget")) {
    return nullptr;
  }
  auto* list = qobject_cast<QListWidget*>(object);
  return list != nullptr ? new TAccessibleList(list) : nullptr;
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
