#include "platform/thread_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <utility>

namespace {

// Windows level and the nice value that stands for it, lowest first.
constexpr std::array<std::pair<int32_t, int>, 7> kLevels = {{
    {-15, 19}, {-2, 10}, {-1, 5}, {0, 0}, {1, -5}, {2, -10}, {15, -20},
}};

constexpr int32_t kTimeCritical = 15;
constexpr int kRealTimePriority = 10;  // low in the 1..99 range: above every normal thread

bool SetNice(int nice) {
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  return setpriority(PRIO_PROCESS, tid, nice) == 0;
}

}  // namespace

int NiceOfPriority(int32_t windows_level) {
  auto best = kLevels[0];
  for (const auto& level : kLevels) {
    if (std::abs(level.first - windows_level) < std::abs(best.first - windows_level)) {
      best = level;
    }
  }
  return best.second;
}

bool SetCurrentThreadPriority(int32_t windows_level) {
  const int nice = NiceOfPriority(windows_level);
  if (nice == NiceOfPriority(kTimeCritical)) {
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) {
      return true;
    }
  } else {
    // Leave real-time scheduling when a thread is reused at a normal level.
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
  }
  return SetNice(nice);
}

bool RequestFineTimer() {
  // The slack is in nanoseconds; 0 would restore the default, so ask for 1.
  return prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
}
