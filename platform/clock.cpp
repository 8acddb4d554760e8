#include "platform/clock.h"

#include <chrono>
#include <cmath>

namespace {

using Steady = std::chrono::steady_clock;

long long SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
      .count();
}

}  // namespace

TSteadyClock::TSteadyClock() : origin_ns_(SteadyNs()) {}

double TSteadyClock::NowMs() {
  return static_cast<double>(SteadyNs() - origin_ns_) / 1e6;
}

bool TSteadyClock::WaitUntil(double deadline, const WakeCondition& woken) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (std::isinf(deadline) || std::isnan(deadline)) {
    changed_.wait(lock, woken);
    return true;
  }
  // Whole nanoseconds from the origin; a deadline in the past returns at once.
  const auto offset = std::chrono::nanoseconds(static_cast<long long>(std::ceil(deadline * 1e6)));
  const Steady::time_point at{std::chrono::nanoseconds(origin_ns_) + offset};
  return changed_.wait_until(lock, at, woken);
}

void TSteadyClock::Wake() {
  // Taking the lock orders the caller's flag change before the waiter's next look.
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

double TVirtualClock::NowMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

bool TVirtualClock::RunNextActionUpTo(double limit, std::unique_lock<std::mutex>& lock) {
  if (actions_.empty() || actions_.begin()->first > limit) {
    return false;
  }
  auto first = actions_.begin();
  if (first->first > now_) {
    now_ = first->first;
  }
  Action action = std::move(first->second);
  actions_.erase(first);
  // The action may call Wake or At, which take the lock.
  lock.unlock();
  action();
  lock.lock();
  return true;
}

bool TVirtualClock::WaitUntil(double deadline, const WakeCondition& woken) {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waits_;
  for (;;) {
    if (woken()) {
      return true;
    }
    if (now_ >= deadline) {
      return false;
    }
    if (RunNextActionUpTo(deadline, lock)) {
      continue;
    }
    if (!std::isinf(deadline)) {
      now_ = deadline;
      return false;
    }
    const long seen = wakes_;
    changed_.wait(lock, [&] { return wakes_ != seen || !actions_.empty(); });
  }
}

void TVirtualClock::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++wakes_;
  }
  changed_.notify_all();
}

void TVirtualClock::At(double at, Action action) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    actions_.emplace(at, std::move(action));
  }
  changed_.notify_all();
}

void TVirtualClock::Advance(double to) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    while (RunNextActionUpTo(to, lock)) {
    }
    if (to > now_) {
      now_ = to;
    }
    ++wakes_;
  }
  changed_.notify_all();
}

long TVirtualClock::Waits() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waits_;
}

TClock& SteadyClock() {
  static TSteadyClock clock;
  return clock;
}
