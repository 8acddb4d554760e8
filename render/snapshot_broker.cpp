#include "render/snapshot_broker.h"

#include <utility>

#include "render/render_globals.h"

void TSnapshotBroker::Attach(ISnapshotPresenter* presenter) {
  std::lock_guard<std::mutex> lock(mutex_);
  presenter_ = presenter;
  windowThread_ = std::this_thread::get_id();
  if (presenter == nullptr && waiting_ != 0) {
    answer_ = false;
    answered_.notify_all();
  }
}

bool TSnapshotBroker::Ask(THandlerSnapshot snapshot) {
  const std::atomic<bool>& stop = RenderRun().Stop;
  std::unique_lock<std::mutex> lock(mutex_);
  if (presenter_ == nullptr || declined_ > 0 || std::this_thread::get_id() == windowThread_ ||
      stop || waiting_ != 0) {
    return false;
  }
  const uint64_t id = ++lastId_;
  waiting_ = id;
  pending_ = std::move(snapshot);
  answer_.reset();
  // The presenter only posts to the window thread; a stop set before this lock was taken
  // is seen above, one set later comes with a Cancel that takes the lock.
  presenter_->SnapshotAsked();
  answered_.wait(lock, [&] { return answer_.has_value() || stop; });
  const bool hide = answer_.value_or(false);
  waiting_ = 0;
  pending_.reset();
  answer_.reset();
  return hide;
}

std::optional<TSnapshotRequest> TSnapshotBroker::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiting_ == 0 || !pending_ || answer_) {
    return std::nullopt;
  }
  TSnapshotRequest request{waiting_, std::move(*pending_)};
  pending_.reset();
  return request;
}

void TSnapshotBroker::Answer(uint64_t id, bool hide) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id == 0 || id != waiting_ || answer_) {
    return;
  }
  answer_ = hide;
  answered_.notify_all();
}

void TSnapshotBroker::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiting_ != 0 && !answer_) {
    answer_ = false;
    if (presenter_ != nullptr) {
      presenter_->SnapshotWithdrawn(waiting_);
    }
  }
  answered_.notify_all();
}

void TSnapshotBroker::Decline() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++declined_;
}

void TSnapshotBroker::Accept() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (declined_ > 0) {
    --declined_;
  }
}

bool TSnapshotBroker::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_ != 0 && !answer_;
}

TSnapshotBroker& SnapshotBroker() {
  static TSnapshotBroker broker;
  return broker;
}

void AskInterruptionsThroughBroker() {
  GHandlerInterruption = [](uint8_t number, const std::string& scope, const TTreck& track,
                            uint32_t position) {
    return SnapshotBroker().Ask(TakeHandlerSnapshot(number, scope, track, position));
  };
}
