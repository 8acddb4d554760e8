#include "platform/clock.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/thread_priority.h"

namespace {

TEST(VirtualClock, WaitsJumpToTheDeadlineRunningTheActionsOnTheWayInTimeOrder) {
  TVirtualClock clock;
  std::vector<std::pair<int, double>> ran;
  clock.At(300, [&] { ran.emplace_back(3, clock.NowMs()); });
  clock.At(100, [&] { ran.emplace_back(1, clock.NowMs()); });
  clock.At(100, [&] { ran.emplace_back(2, clock.NowMs()); });
  clock.At(900, [&] { ran.emplace_back(4, clock.NowMs()); });
  EXPECT_FALSE(clock.WaitUntil(500.5, [] { return false; }));
  EXPECT_EQ(ran, (std::vector<std::pair<int, double>>{{1, 100}, {2, 100}, {3, 300}}));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 500.5);
  // A deadline already passed leaves the time alone.
  EXPECT_FALSE(clock.WaitUntil(100, [] { return false; }));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 500.5);
  EXPECT_EQ(clock.Waits(), 2);
  clock.Advance(1000);
  EXPECT_EQ(ran.back(), (std::pair<int, double>{4, 900}));
  // An action that wakes ends the wait at its time.
  bool stop = false;
  clock.At(1540, [&] { stop = true; });
  EXPECT_TRUE(clock.WaitUntil(5000, [&] { return stop; }));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 1540);
}

// A wait without a deadline ends when another thread wakes it, on either clock. The
// condition is asked under the clock's lock, which Wake takes: once it has been asked,
// Wake reaches a sleeping waiter, which must ask again to end.
template <class TClockKind>
void WakeEndsAWaitWithoutDeadline() {
  TClockKind clock;
  std::atomic<bool> stop{false};
  std::atomic<int> asked{0};
  std::thread waiter([&] {
    EXPECT_TRUE(clock.WaitUntil(kForeverMs, [&] {
      // The flag is read before the count shows: the first look always finds it unset.
      const bool stopped = stop.load();
      ++asked;
      return stopped;
    }));
  });
  while (asked.load() == 0) {
    std::this_thread::yield();
  }
  stop = true;
  clock.Wake();
  waiter.join();
  EXPECT_GE(asked.load(), 2);
}

TEST(Clocks, WakeEndsAWaitWithoutDeadline) {
  WakeEndsAWaitWithoutDeadline<TVirtualClock>();
  WakeEndsAWaitWithoutDeadline<TSteadyClock>();
}

TEST(SteadyClock, ReachesItsDeadlineAndNeverGoesBack) {
  TSteadyClock clock;
  const double start = clock.NowMs();
  EXPECT_FALSE(clock.WaitUntil(start + 2, [] { return false; }));
  EXPECT_GE(clock.NowMs(), start + 2);
  EXPECT_FALSE(clock.WaitUntil(start, [] { return false; }));
}

TEST(ThreadPriority, LevelsBetweenAndBeyondTheNamedOnesAndOnlyTheCallingThread) {
  const std::vector<std::pair<int32_t, int>> cases = {
      {-20, 19}, {-8, 10}, {-9, 19}, {3, -10}, {9, -20}, {99, -20}, {0, 0},
  };
  for (const auto& [level, nice] : cases) {
    EXPECT_EQ(NiceOfPriority(level), nice) << "level " << level;
  }
  const auto tid_nice = [] {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
  };
  const int before = tid_nice();
  int inside = 0;
  std::thread low([&] {
    EXPECT_TRUE(SetCurrentThreadPriority(-2));
    inside = tid_nice();
  });
  low.join();
  EXPECT_EQ(inside, 10);
  EXPECT_EQ(tid_nice(), before);
}

}  // namespace
