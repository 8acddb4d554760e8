// The snapshot of an "interruption" is asked for by the render thread and shown by the
// thread that owns the windows. The broker carries one request at a time: the render
// thread waits in Ask until the window answers, until the run is stopped or the request
// cancelled. The engine shows nothing itself: the program attaches a presenter.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "render/handler_snapshot.h"

// What the program implements to show snapshots. Both calls come from any thread with the
// broker locked: they only tell the window thread to look, and never call the broker.
class ISnapshotPresenter {
 public:
  virtual ~ISnapshotPresenter() = default;
  // A request waits: take it with TSnapshotBroker::Take on the window thread.
  virtual void SnapshotAsked() = 0;
  // Request `id` was cancelled: close its window (its answer is ignored).
  virtual void SnapshotWithdrawn(uint64_t id) = 0;
};

struct TSnapshotRequest {
  uint64_t Id = 0;
  THandlerSnapshot Snapshot;
};

class TSnapshotBroker {
 public:
  // Attaches the presenter (nullptr detaches it, continuing a waiting request). The
  // calling thread becomes the window thread: an interruption reached on it (a render
  // run there) goes on at once, since nothing could show its window while it waits.
  void Attach(ISnapshotPresenter* presenter);

  // Render thread: shows the snapshot and waits for its answer. True when the user asked
  // not to see it again. Goes on at once (false) without a presenter, on the window
  // thread, while declined, or when the render run is stopped; a stop or a Cancel while
  // it waits ends the wait with false.
  bool Ask(THandlerSnapshot snapshot);

  // Window thread: the request waiting to be shown, once; nothing when none waits.
  std::optional<TSnapshotRequest> Take();
  // Window thread: the answer to request `id`; an answer to a request no longer waiting
  // is ignored.
  void Answer(uint64_t id, bool hide);

  // Ends the wait of a waiting request (its window is withdrawn). The transport calls it
  // after asking the render to stop and before joining it.
  void Cancel();

  // While declined (counted), every request goes on at once: for a render that the
  // window thread itself waits for.
  void Decline();
  void Accept();

  // True while a request waits for its answer.
  bool Waiting() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  ISnapshotPresenter* presenter_ = nullptr;
  std::thread::id windowThread_;
  int declined_ = 0;
  uint64_t lastId_ = 0;
  uint64_t waiting_ = 0;                  // id of the request that waits, 0 = none
  std::optional<THandlerSnapshot> pending_;  // its snapshot until taken
  std::optional<bool> answer_;
};

// The program's broker.
TSnapshotBroker& SnapshotBroker();

// Declines the broker's requests for as long as it lives.
class TDeclinedSnapshots {
 public:
  explicit TDeclinedSnapshots(TSnapshotBroker& broker) : broker_(broker) { broker_.Decline(); }
  ~TDeclinedSnapshots() { broker_.Accept(); }
  TDeclinedSnapshots(const TDeclinedSnapshots&) = delete;
  TDeclinedSnapshots& operator=(const TDeclinedSnapshots&) = delete;

 private:
  TSnapshotBroker& broker_;
};

// Makes the render's interruptions ask the program's broker (GHandlerInterruption).
void AskInterruptionsThroughBroker();
