#include "render/snapshot_broker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "render/render_globals.h"
#include "tests/support/handler_executor_fixture.h"

namespace {

// Records what the broker tells the window thread; the window thread is the test's.
class TRecordingPresenter : public ISnapshotPresenter {
 public:
  void SnapshotAsked() override { ++asked; }
  void SnapshotWithdrawn(uint64_t id) override {
    std::lock_guard<std::mutex> lock(mutex);
    withdrawn.push_back(id);
  }
  std::vector<uint64_t> Withdrawn() {
    std::lock_guard<std::mutex> lock(mutex);
    return withdrawn;
  }
  std::atomic<int> asked{0};
  std::mutex mutex;
  std::vector<uint64_t> withdrawn;
};

class SnapshotBrokerTest : public ::testing::Test {
 protected:
  void SetUp() override { RenderRun().Stop = false; }
  void TearDown() override { RenderRun().Stop = false; }

  // Asks on a thread of its own, as the render does.
  std::future<bool> AskFromRender(uint8_t number = 3) {
    return std::async(std::launch::async, [this, number] {
      THandlerSnapshot snapshot;
      snapshot.Number = number;
      return broker.Ask(std::move(snapshot));
    });
  }
  // The request once it waits (the window thread's view of it).
  TSnapshotRequest Pending() {
    for (;;) {
      if (std::optional<TSnapshotRequest> request = broker.Take()) {
        return std::move(*request);
      }
      std::this_thread::yield();
    }
  }

  TSnapshotBroker broker;
  TRecordingPresenter presenter;
};

TEST_F(SnapshotBrokerTest, TheWindowsAnswerReachesTheWaitingRender) {
  broker.Attach(&presenter);
  for (const bool hide : {true, false}) {
    std::future<bool> asked = AskFromRender(7);
    const TSnapshotRequest request = Pending();
    EXPECT_EQ(request.Snapshot.Number, 7);
    EXPECT_FALSE(broker.Take()) << "a request is taken once";
    EXPECT_TRUE(broker.Waiting());
    broker.Answer(request.Id, hide);
    EXPECT_EQ(asked.get(), hide);
    EXPECT_FALSE(broker.Waiting());
  }
  EXPECT_EQ(presenter.asked, 2);
  EXPECT_TRUE(presenter.Withdrawn().empty());
}

TEST_F(SnapshotBrokerTest, CancelEndsTheWaitAndWithdrawsTheWindow) {
  broker.Attach(&presenter);
  std::future<bool> asked = AskFromRender();
  const TSnapshotRequest request = Pending();
  RenderRun().Stop = true;
  broker.Cancel();
  EXPECT_FALSE(asked.get());
  EXPECT_EQ(presenter.Withdrawn(), std::vector<uint64_t>{request.Id});
  broker.Answer(request.Id, true);  // the window closed late: nobody waits for it
  EXPECT_FALSE(broker.Waiting());
}

TEST_F(SnapshotBrokerTest, CancelBeforeTheWindowTookTheRequestLeavesNothingToShow) {
  broker.Attach(&presenter);
  std::future<bool> asked = AskFromRender();
  while (!broker.Waiting()) {
    std::this_thread::yield();
  }
  RenderRun().Stop = true;
  broker.Cancel();
  EXPECT_FALSE(asked.get());
  EXPECT_FALSE(broker.Take());
}

struct TAtOnceCase {
  const char* name;
  bool attach;
  bool decline;
  bool stopped;
  bool onWindowThread;
};

class SnapshotGoesOnAtOnce : public SnapshotBrokerTest,
                             public ::testing::WithParamInterface<TAtOnceCase> {};

// None of these may wait: nothing would ever answer (or the render is stopping).
TEST_P(SnapshotGoesOnAtOnce, WithoutAWindowToAnswer) {
  const TAtOnceCase& c = GetParam();
  if (c.attach) {
    broker.Attach(&presenter);
  }
  if (c.decline) {
    broker.Decline();
  }
  RenderRun().Stop = c.stopped;
  const bool hide = c.onWindowThread ? broker.Ask(THandlerSnapshot{}) : AskFromRender().get();
  EXPECT_FALSE(hide);
  EXPECT_EQ(presenter.asked, 0);
  if (c.decline) {
    broker.Accept();
    std::future<bool> asked = AskFromRender();
    broker.Answer(Pending().Id, true);
    EXPECT_TRUE(asked.get()) << "accepted again";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapshotGoesOnAtOnce,
    ::testing::Values(TAtOnceCase{"NoPresenter", false, false, false, false},
                      TAtOnceCase{"Declined", true, true, false, false},
                      TAtOnceCase{"Stopped", true, false, true, false},
                      TAtOnceCase{"OnTheWindowThread", true, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SnapshotBrokerTest, DetachingTheWindowLetsTheRenderGoOn) {
  broker.Attach(&presenter);
  std::future<bool> asked = AskFromRender();
  Pending();
  broker.Attach(nullptr);
  EXPECT_FALSE(asked.get());
}

// The interruption hands over a copy of the track's names and running blocks.
class HandlerSnapshotTest : public HandlerExecutorTest {};

TEST_F(HandlerSnapshotTest, TheSnapshotCopiesTheTracksNamesAtTheStatement) {
  Compile({"variable n", "array a", "constant c=4", "let n=5", "let a[3]=9",
           "interruption look here"});
  TActiveBlock block;
  block.Name = "swing:2";
  block.StartTick = 100;
  Runtime().ActiveBlocks.push_back(std::move(block));
  std::vector<THandlerSnapshot> taken;
  GHandlerInterruption = [&](uint8_t number, const std::string& scope, const TTreck& track,
                             uint32_t position) {
    taken.push_back(TakeHandlerSnapshot(number, scope, track, position));
    return false;
  };
  RunAt(250);
  ASSERT_EQ(taken.size(), 1u);
  const THandlerSnapshot& s = taken[0];
  EXPECT_EQ(s.Text, "look here");
  EXPECT_EQ(s.Scope, "get.");
  EXPECT_EQ(s.Position, 250u);
  ASSERT_EQ(s.Variables.size(), 1u);
  EXPECT_EQ(s.Variables[0].Scope + s.Variables[0].Name, "get.n");
  EXPECT_EQ(s.Variables[0].Value, 5);
  ASSERT_EQ(s.Arrays.size(), 1u);
  EXPECT_EQ(s.Arrays[0].Values[3], 9);
  ASSERT_FALSE(s.Constants.empty());
  ASSERT_EQ(s.Blocks.size(), 1u);
  EXPECT_EQ(s.Blocks[0].Name, "swing:2");
  EXPECT_EQ(s.Blocks[0].StartTick, 100);
  Runtime().Program.Variables.begin()->Value = 6;
  EXPECT_EQ(s.Variables[0].Value, 5) << "a copy, not the render's own";
}

}  // namespace
