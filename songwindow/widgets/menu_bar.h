// The program window's menu bar. Alt pressed and let go alone puts the keyboard on it (and
// takes it away again). While a screen reader listens to the keys, Qt's accessibility bridge
// holds each key back and delivers a copy once the reader answered, in the order pressed,
// without the system's time. Qt sends a copied press through its shortcut check again, where
// Qt's menu bar, which watches the keys of the whole program, would take a copied Alt press
// for Alt pressed anew; and the key of a chord such as Alt+Right, taken by its shortcut,
// never reaches the bridge, so the copies of the chord read "Alt pressed, Alt let go".
#pragma once

#include <QMenuBar>

class TMenuBar final : public QMenuBar {
 public:
  using QMenuBar::QMenuBar;

 protected:
  // Qt's own, on the keys as the system delivered them; the bridge's copies are not looked at.
  bool eventFilter(QObject* watched, QEvent* event) override;
};
