#include "songwindow/widgets/menu_bar.h"

#include <QEvent>
#include <QKeyEvent>

namespace {

// The key events of Alt (or Meta) that arm, press and let go the menu bar's keyboard mode.
const QKeyEvent* AltKey(const QEvent& event) {
  if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease &&
      event.type() != QEvent::ShortcutOverride) {
    return nullptr;
  }
  const auto* key = static_cast<const QKeyEvent*>(&event);
  return key->key() == Qt::Key_Alt || key->key() == Qt::Key_Meta ? key : nullptr;
}

}  // namespace

bool TMenuBar::eventFilter(QObject* watched, QEvent* event) {
  if (const QKeyEvent* alt = AltKey(*event)) {
    // The bridge's copies are delivered again by the program, without the system's time.
    const bool copy = !event->spontaneous() && alt->timestamp() == 0;
    if (copy && skip_copy_) {
      if (event->type() == QEvent::KeyRelease) {
        skip_copy_ = false;
      }
      return false;
    }
    if (event->type() == QEvent::KeyRelease && event->spontaneous()) {
      skip_copy_ = true;
    }
  }
  return QMenuBar::eventFilter(watched, event);
}
