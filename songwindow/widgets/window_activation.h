// The program's window as the desktop's active window once a dialog, a message box or a
// menu of its own has closed, so that its focused field takes the keys and the screen
// reader is told of it.
#pragma once

class QWidget;

// Makes the top-level window of `widget` Qt's active window when the desktop gave it the
// keyboard but Qt let that pass (Qt drops the platform's activation while one of its popups
// is still up, such as a file dialog's completer closing with its dialog: no window is then
// active, keys reach no field and no focus reaches the screen reader); asks the window
// manager for it when the keyboard is elsewhere. Nothing while a popup or another modal
// window is up, or when the window is active already.
void KeepWindowActive(QWidget& widget);
