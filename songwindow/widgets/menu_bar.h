// The program window's menu bar. Alt pressed and let go alone puts the keyboard on it (and
// takes it away again). While a screen reader listens to the keys, Qt's accessibility bridge
// holds each key back and delivers a copy once the reader answered; Qt's menu bar, which
// watches the keys of the whole program, could take both the Alt release and its copy, the
// second undoing the first, depending on how fast the reader answered.
#pragma once

#include <QMenuBar>

class TMenuBar final : public QMenuBar {
 public:
  using QMenuBar::QMenuBar;

 protected:
  // Qt's own, each Alt let go counted once.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool skip_copy_ = false;  // an Alt release was taken: its copy from the bridge is not
};
