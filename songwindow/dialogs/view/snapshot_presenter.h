// Shows the snapshot windows that the render thread asks for through the snapshot
// broker: one at a time, on the window thread, answered when the user closes it and
// closed unanswered when its request is cancelled (Stop).
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

#include "render/snapshot_broker.h"

class TSnapshotWindowView;

class TSnapshotPresenter : public QObject, public ISnapshotPresenter {
 public:
  // Attaches itself to the program's broker from the window thread; `owner` owns the
  // windows it shows.
  explicit TSnapshotPresenter(QWidget* owner);
  ~TSnapshotPresenter() override;

  void SnapshotAsked() override;
  void SnapshotWithdrawn(uint64_t id) override;

 private:
  void ShowPending();
  // Closes the window shown, unanswered (all of them when id is 0).
  void CloseShown(uint64_t id);

  QWidget* owner_;
  QPointer<TSnapshotWindowView> shown_;
  uint64_t shownId_ = 0;
};
