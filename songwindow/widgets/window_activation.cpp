#include "songwindow/widgets/window_activation.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

void KeepWindowActive(QWidget& widget) {
  QWidget* top = widget.window();
  const QWidget* modal = QApplication::activeModalWidget();
  if (top == nullptr || !top->isVisible() || QApplication::activeWindow() == top ||
      QApplication::activePopupWidget() != nullptr || (modal != nullptr && modal != top)) {
    return;
  }
  if (top->windowHandle() != nullptr && QGuiApplication::focusWindow() == top->windowHandle()) {
    QApplication::setActiveWindow(top);  // the desktop's choice, which Qt dropped
  } else {
    top->activateWindow();
  }
}
