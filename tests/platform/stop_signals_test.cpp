#include "platform/stop_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/atomic_file.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Waits (up to 5 s) until done() holds.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(StopSignals, TheFirstSignalAsksForAStopAgainAndAgain) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    std::atomic<int> requests{0};
    TStopSignals signals([&] { ++requests; });
    EXPECT_EQ(signals.Received(), 0);
    ::kill(::getpid(), signal);
    EXPECT_TRUE(Eventually([&] { return requests.load() >= 3; })) << signal;
    EXPECT_EQ(signals.Received(), signal);
  }
}

TEST(StopSignals, ASignalIgnoredAtTheStartStaysIgnored) {
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGHUP, &ignore, &old);
  {
    std::atomic<int> requests{0};
    TStopSignals signals([&] { ++requests; });
    ::kill(::getpid(), SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(requests.load(), 0);
    EXPECT_EQ(signals.Received(), 0);
  }
  ::sigaction(SIGHUP, &old, nullptr);
}

// A write that a signal interrupts: the program ends at once with 128 + the signal, and the
// temporary file of the write is gone.
void WriteInterruptedBy(bool secondSignal, const fs::path& path) {
  TStopSignals signals(secondSignal ? std::function<void()>([] {}) : std::function<void()>());
  WriteFileAtomically(path, [&](std::ostream& out, std::string&) {
    out << "half" << std::flush;
    ::kill(::getpid(), SIGINT);
    if (secondSignal) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ::kill(::getpid(), SIGINT);
    }
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return true;
  });
}

TEST(StopSignalsDeathTest, EndingAtOnceLeavesNoTemporaryFile) {
  for (bool secondSignal : {false, true}) {
    TTempDir temp;
    const fs::path path = fs::path(temp.Path()) / "song.qem";
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    EXPECT_EXIT(WriteInterruptedBy(secondSignal, path), testing::ExitedWithCode(128 + SIGINT), "");
    EXPECT_EQ(ReadFileBytes(path).value_or(""), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
  }
}

}  // namespace
