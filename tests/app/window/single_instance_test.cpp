// A later copy of the program against a running copy that does not answer: it says that it
// waits, runs beside it when it gives up, and the running copy, answering late, never opens
// those songs as well; a running copy that is closing makes it try again.
#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLocalServer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/atomic_file.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A running copy in a child process: it holds the folder and appends every song it is
// handed (one a line, "--open" first when they are only opened) to `opened`; it refuses
// while the file `closing` exists. `ready` is
// made once it listens.
pid_t StartRunningCopy(const std::string& home, const fs::path& opened, const fs::path& ready,
                       const fs::path& closing) {
  const pid_t child = ::fork();
  if (child != 0) {
    return child;
  }
  int argc = 1;
  char name[] = "running-copy";
  char* argv[] = {name, nullptr};
  if (HandOverToRunningCopy(home, {}, nullptr) != THandOver::First) {
    ::_exit(3);
  }
  QCoreApplication application(argc, argv);
  const std::unique_ptr<QLocalServer> server = ListenForLaterCopies(
      home,
      [opened](const THandedOverSongs& songs) {
        std::ofstream out(opened, std::ios::app);
        if (songs.OpenOnly) {
          out << "--open\n";
        }
        for (const std::string& song : songs.Songs) {
          out << song << "\n";
        }
      },
      [closing] { return fs::exists(closing); });
  if (server == nullptr) {
    ::_exit(4);
  }
  std::ofstream(ready) << "listening";
  QCoreApplication::exec();
  ::_exit(0);
}

// Waits for a condition; a watchdog ends the wait (the test then fails on the condition).
template <typename F>
bool WaitFor(F condition) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::string Text(const fs::path& path) { return ReadFileBytes(path).value_or(""); }

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = temp_.Path();
    child_ = StartRunningCopy(home_, opened_, ready_, closing_);
    ASSERT_GT(child_, 0);
    ASSERT_TRUE(WaitFor([this] { return fs::exists(ready_); }));
  }
  void TearDown() override {
    ::kill(child_, SIGCONT);
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  TTempDir temp_;
  std::string home_;
  fs::path opened_ = fs::path(temp_.Path()) / "opened.txt";
  fs::path ready_ = fs::path(temp_.Path()) / "ready";
  fs::path closing_ = fs::path(temp_.Path()) / "closing";
  pid_t child_ = -1;
};

TEST_F(SingleInstanceTest, ASongHandedOverLateIsNeverOpenedTwice) {
  ::kill(child_, SIGSTOP);  // stopped: it answers nothing
  int said = 0;
  std::string problem;
  const THandOver first = HandOverToRunningCopy(
      home_, {{"/songs/first.qem"}}, &problem, [&said] { ++said; }, {3000ms, 300ms});
  EXPECT_EQ(first, THandOver::NoAnswer);
  EXPECT_EQ(said, 1) << "the waiting copy says once that it waits";
  EXPECT_NE(problem.find("does not answer"), std::string::npos) << problem;

  // Back again, it reads what the copy that gave up sent, and a later hand-over.
  ::kill(child_, SIGCONT);
  said = 0;
  EXPECT_EQ(HandOverToRunningCopy(home_, {{"/songs/second.qem"}}, &problem, [&said] { ++said; },
                                  {30000ms, 30000ms}),
            THandOver::HandedOver);
  EXPECT_EQ(said, 0);
  ASSERT_TRUE(WaitFor([this] { return Text(opened_).find("second.qem") != std::string::npos; }));
  EXPECT_EQ(Text(opened_), "/songs/second.qem\n")
      << "the song the copy that gave up opened itself is not opened here too";
}

TEST_F(SingleInstanceTest, AClosingCopyTakesNothingAndTheLaterCopyTriesAgain) {
  std::ofstream(closing_) << "closing";
  std::string problem;
  EXPECT_EQ(HandOverToRunningCopy(home_, {{"/songs/late.qem"}}, &problem, {}, {1500ms, 300ms}),
            THandOver::NoAnswer);
  EXPECT_NE(problem.find("is closing"), std::string::npos) << problem;
  // The close was cancelled while the later copy still tries: it is taken then.
  std::thread cancel([this] {
    std::this_thread::sleep_for(300ms);
    fs::remove(closing_);
  });
  std::ofstream(closing_) << "closing";
  EXPECT_EQ(HandOverToRunningCopy(home_, {{"/songs/late.qem"}}, &problem, {}, {30000ms, 30000ms}),
            THandOver::HandedOver);
  cancel.join();
  ASSERT_TRUE(WaitFor([this] { return !Text(opened_).empty(); }));
  EXPECT_EQ(Text(opened_), "/songs/late.qem\n");
}

// A copy started with --open hands its song over to be opened only, never played; a relative
// path arrives made absolute.
TEST_F(SingleInstanceTest, ASongHandedOverWithOpenIsOnlyOpened) {
  std::string problem;
  ASSERT_EQ(HandOverToRunningCopy(home_, {{"song.qem"}, true}, &problem), THandOver::HandedOver)
      << problem;
  ASSERT_EQ(HandOverToRunningCopy(home_, {{"/songs/played.qem"}, false}, &problem),
            THandOver::HandedOver)
      << problem;
  ASSERT_TRUE(WaitFor([this] { return Text(opened_).find("played.qem") != std::string::npos; }));
  EXPECT_EQ(Text(opened_),
            "--open\n" + (fs::current_path() / "song.qem").string() + "\n/songs/played.qem\n");
}

}  // namespace
