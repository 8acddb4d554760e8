// The snapshot window: widgets that bind keys and mirror TSnapshotWindow. It does not
// block the other windows (the song window's Stop stays at hand); the render waits on it.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

#include "songwindow/dialogs/snapshot_window.h"

class TSnapshotWindowView : public QDialog, public ISnapshotTimer {
 public:
  // `closed` gets SnapshotHide once the window is closed by the user (Continue, Esc,
  // Enter, the frame); never after Withdraw.
  TSnapshotWindowView(THandlerSnapshot snapshot, ISpeaker& speaker,
                      std::function<void(bool hide)> closed, QWidget* parent = nullptr);

  // Closes the window without an answer (its request was cancelled).
  void Withdraw();

  TSnapshotWindow& Controller() { return *window_; }
  QTabWidget* Pages() const { return pages_; }
  QListWidget* List(int page) const { return lists_[static_cast<size_t>(page)]; }
  QLineEdit* ValueEdit() const { return value_; }
  QLabel* ValueLabel() const { return label_; }
  QCheckBox* HideBox() const { return hide_; }
  QPushButton* ContinueButton() const { return continue_; }
  QTimer& SpeechTimer() { return timer_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void reject() override;  // Esc and the frame: Continue

  // The speech timer.
  void Start(int32_t intervalMs) override;
  void Stop() override;

 private:
  void Continue();
  void Mirror();

  std::unique_ptr<TSnapshotWindow> window_;
  std::function<void(bool)> closed_;
  QTabWidget* pages_ = nullptr;
  std::array<QListWidget*, kSnapshotPages> lists_{};
  QLabel* label_ = nullptr;
  QLineEdit* value_ = nullptr;
  QCheckBox* hide_ = nullptr;
  QPushButton* continue_ = nullptr;
  QTimer timer_;
  bool mirroring_ = false;
  bool done_ = false;
};
