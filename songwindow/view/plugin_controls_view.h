// The widgets of a format plug-in's controls: one per control record of the window, placed
// where the plug-in puts it. They mirror the records, write the user's changes back and
// report the events to the controller.
#pragma once

#include <QAction>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "songwindow/controller/song_window.h"

class TPluginControlsView : public QWidget {
 public:
  TPluginControlsView(TSongWindow& window, QWidget* parent);
  ~TPluginControlsView() override;

  // Copies the records (place, texts, items, values, names) and the popup menu into the
  // widgets.
  void Mirror();
  // The widgets that take the focus by Tab, in number order.
  QList<QWidget*> FocusChain() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeWidget(const VeltoControl& control);
  void ConnectEvents(QWidget* widget, const VeltoControl& control);
  void MirrorControl(QWidget* widget, const VeltoControl& control);
  void MirrorPopup();
  // Forwards a key event; true when the widget must not see it.
  bool ForwardKey(QWidget* widget, int32_t number, const QKeyEvent& key, bool down);
  int32_t NumberOf(const QObject* widget) const;
  // The popup item whose shortcut the key is, on control number; none on a control that
  // does not share the popup menu.
  QAction* PopupItemOf(int32_t number, const QKeyEvent& key) const;
  // True while an item of the list widget is being renamed.
  bool Renaming(const QWidget* widget) const;
  // The rename editor lost the focus: the list is left unless the focus went back to it.
  void EndRename();
  // The popup menu of the plug-in's controls, at a point of widget.
  void ShowPopup(QWidget* widget, const QPoint& at);
  // The user's text in code page 1251; nothing (and the widget shows the record again) when
  // the code page cannot hold it.
  std::optional<std::string> TakeUserText(const QString& text);

  TSongWindow& window_;
  std::vector<QWidget*> widgets_;  // the widget of control n at n - 1
  // Per widget, a hidden label holding the control's name and bound to it: a screen reader
  // names a combo box, a list or an edit field by its label.
  std::vector<QLabel*> labels_;
  QList<QAction*> popup_actions_;
  std::vector<TPopupItem> popup_shown_;
  bool mirroring_ = false;
  bool resending_ = false;  // a key the plug-in rewrote is being sent
  // The list whose item is being renamed, and the editor that has its focus meanwhile.
  int32_t renaming_ = 0;
  QPointer<QWidget> rename_editor_;
};
