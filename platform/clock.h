// Clocks for the player: the steady clock of the machine and a virtual clock for tests.
#pragma once

#include <condition_variable>
#include <functional>
#include <limits>
#include <map>
#include <mutex>

// A deadline that never comes: a wait for it ends only when woken.
inline constexpr double kForeverMs = std::numeric_limits<double>::infinity();

// Time source and waiter. Waits take absolute deadlines and a wake condition;
// another thread that changes what the condition reads calls Wake so the waiter
// looks again at once. No wait polls.
class TClock {
 public:
  using WakeCondition = std::function<bool()>;

  virtual ~TClock() = default;

  // Milliseconds since this clock's origin (never goes back).
  virtual double NowMs() = 0;

  // Blocks until NowMs() >= deadline or `woken` answers true (checked on entry and
  // after every Wake). Returns true when woken, false when the deadline came.
  virtual bool WaitUntil(double deadline, const WakeCondition& woken) = 0;

  // Waits for the deadline with nothing to wake it.
  void SleepUntil(double deadline) {
    WaitUntil(deadline, [] { return false; });
  }

  // Makes every waiter test its wake condition again.
  virtual void Wake() = 0;
};

// The machine's steady clock.
class TSteadyClock final : public TClock {
 public:
  TSteadyClock();
  double NowMs() override;
  bool WaitUntil(double deadline, const WakeCondition& woken) override;
  void Wake() override;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  long long origin_ns_;  // steady_clock at construction
};

// A clock that moves only when told. A wait jumps the time forward to its deadline
// at once, stopping first at each scheduled action on the way and running it on
// the waiting thread; an action may change what the wake condition reads. A wait
// with no deadline and no action ahead blocks until another thread calls Wake or
// Advance.
class TVirtualClock final : public TClock {
 public:
  using Action = std::function<void()>;

  double NowMs() override;
  bool WaitUntil(double deadline, const WakeCondition& woken) override;
  void Wake() override;

  // Runs `action` when the time reaches `at` (in the order scheduled at equal times).
  void At(double at, Action action);
  // Moves the time forward to `to` from outside a wait (running due actions).
  void Advance(double to);
  // Number of WaitUntil calls so far.
  long Waits();

 private:
  // Runs the earliest action due no later than `limit`; false when there is none.
  bool RunNextActionUpTo(double limit, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  double now_ = 0;
  long waits_ = 0;
  long wakes_ = 0;  // bumped by Wake and Advance
  std::multimap<double, Action> actions_;
};

// The process-wide steady clock.
TClock& SteadyClock();
