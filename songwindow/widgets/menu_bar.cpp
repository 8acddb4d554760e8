#include "songwindow/widgets/menu_bar.h"

#include <QEvent>
#include <QKeyEvent>

namespace {

// A key event that the program itself delivers again: the accessibility bridge's copy of a
// key, or the shortcut check Qt runs for such a copy. The system's keys carry its time.
bool IsKeyCopy(const QEvent& event) {
  if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease &&
      event.type() != QEvent::ShortcutOverride) {
    return false;
  }
  return !event.spontaneous() && static_cast<const QKeyEvent&>(event).timestamp() == 0;
}

}  // namespace

bool TMenuBar::eventFilter(QObject* watched, QEvent* event) {
  // The system's keys alone say whether Alt was let go alone: Qt's menu bar sees each of them
  // (its filter of the whole program, put in place while Alt is down, comes before the
  // bridge's), and each key of a chord, taken by a shortcut or not, ends the Alt press.
  if (IsKeyCopy(*event)) {
    return false;
  }
  return QMenuBar::eventFilter(watched, event);
}
