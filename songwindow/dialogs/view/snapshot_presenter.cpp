#include "songwindow/dialogs/view/snapshot_presenter.h"

#include <QMetaObject>

#include "songwindow/dialogs/view/snapshot_window_view.h"
#include "songwindow/parts/window_ports.h"

TSnapshotPresenter::TSnapshotPresenter(QWidget* owner) : owner_(owner) {
  AskInterruptionsThroughBroker();
  SnapshotBroker().Attach(this);
}

TSnapshotPresenter::~TSnapshotPresenter() {
  SnapshotBroker().Attach(nullptr);
  if (shown_) {
    shown_->Withdraw();
    delete shown_;
  }
}

// Called on the render thread: only posts.
void TSnapshotPresenter::SnapshotAsked() {
  QMetaObject::invokeMethod(this, [this] { ShowPending(); }, Qt::QueuedConnection);
}

void TSnapshotPresenter::SnapshotWithdrawn(uint64_t id) {
  QMetaObject::invokeMethod(this, [this, id] { CloseShown(id); }, Qt::QueuedConnection);
}

void TSnapshotPresenter::ShowPending() {
  std::optional<TSnapshotRequest> request = SnapshotBroker().Take();
  if (!request) {
    return;  // cancelled before it could be shown
  }
  CloseShown(0);
  const uint64_t id = request->Id;
  auto* view = new TSnapshotWindowView(
      std::move(request->Snapshot), SystemSpeaker(),
      [this, id](bool hide) {
        if (shown_) {
          shown_->deleteLater();
        }
        shown_ = nullptr;
        shownId_ = 0;
        SnapshotBroker().Answer(id, hide);
      },
      owner_);
  shown_ = view;
  shownId_ = id;
  view->show();
  view->raise();
  view->activateWindow();
}

void TSnapshotPresenter::CloseShown(uint64_t id) {
  if (shown_ && (id == 0 || id == shownId_)) {
    shown_->Withdraw();
    shown_->deleteLater();
    shown_ = nullptr;
    shownId_ = 0;
  }
}
