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

TEST(VirtualClock, WaitJumpsToTheDeadline) {
  TVirtualClock clock;
  EXPECT_FALSE(clock.WaitUntil(250.5, [] { return false; }));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 250.5);
  // A deadline already passed leaves the time alone.
  EXPECT_FALSE(clock.WaitUntil(100, [] { return false; }));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 250.5);
  EXPECT_EQ(clock.Waits(), 2);
}

TEST(VirtualClock, ActionsRunInTimeOrderOnTheWay) {
  TVirtualClock clock;
  std::vector<std::pair<int, double>> ran;
  clock.At(300, [&] { ran.emplace_back(3, clock.NowMs()); });
  clock.At(100, [&] { ran.emplace_back(1, clock.NowMs()); });
  clock.At(100, [&] { ran.emplace_back(2, clock.NowMs()); });
  clock.At(900, [&] { ran.emplace_back(4, clock.NowMs()); });
  clock.SleepUntil(500);
  const std::vector<std::pair<int, double>> expected = {{1, 100}, {2, 100}, {3, 300}};
  EXPECT_EQ(ran, expected);
  EXPECT_DOUBLE_EQ(clock.NowMs(), 500);
  clock.Advance(1000);
  EXPECT_EQ(ran.size(), 4u);
  EXPECT_DOUBLE_EQ(ran.back().second, 900);
}

TEST(VirtualClock, AnActionThatWakesEndsTheWaitAtItsTime) {
  TVirtualClock clock;
  bool stop = false;
  clock.At(40, [&] { stop = true; });
  EXPECT_TRUE(clock.WaitUntil(1000, [&] { return stop; }));
  EXPECT_DOUBLE_EQ(clock.NowMs(), 40);
}

TEST(VirtualClock, AWaitWithoutDeadlineEndsOnWakeFromAnotherThread) {
  TVirtualClock clock;
  std::atomic<bool> stop{false};
  std::thread waiter([&] { EXPECT_TRUE(clock.WaitUntil(kForeverMs, [&] { return stop.load(); })); });
  while (clock.Waits() == 0) {
    std::this_thread::yield();
  }
  stop = true;
  clock.Wake();
  waiter.join();
  EXPECT_DOUBLE_EQ(clock.NowMs(), 0);
}

TEST(SteadyClock, WakeEndsAWaitThatHasNoDeadline) {
  TSteadyClock clock;
  std::atomic<bool> stop{false};
  std::thread waiter([&] { EXPECT_TRUE(clock.WaitUntil(kForeverMs, [&] { return stop.load(); })); });
  stop = true;
  clock.Wake();
  waiter.join();
}

TEST(SteadyClock, ReachesItsDeadlineAndNeverGoesBack) {
  TSteadyClock clock;
  const double start = clock.NowMs();
  EXPECT_FALSE(clock.WaitUntil(start + 2, [] { return false; }));
  EXPECT_GE(clock.NowMs(), start + 2);
  EXPECT_FALSE(clock.WaitUntil(start, [] { return false; }));
}

TEST(ThreadPriority, WindowsLevelsMapToNiceValues) {
  const std::vector<std::pair<int32_t, int>> cases = {
      {-15, 19}, {-2, 10}, {-1, 5}, {0, 0}, {1, -5}, {2, -10}, {15, -20},
      {-20, 19}, {-8, 10}, {-9, 19}, {3, -10}, {9, -20}, {99, -20},
  };
  for (const auto& [level, nice] : cases) {
    EXPECT_EQ(NiceOfPriority(level), nice) << "level " << level;
  }
}

TEST(ThreadPriority, LoweringAppliesToTheCallingThreadOnly) {
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
