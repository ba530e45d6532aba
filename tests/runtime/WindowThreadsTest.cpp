#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "runtime/files/DataFile.h"
#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/RuntimeLock.h"
#include "runtime/system/ThreadNumber.h"
#include "runtime/ui/Dialogs.h"
#include "support/BookmarkLayout.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace runtime::ui {
namespace {

using testing::Form;

constexpr EventCode kWork = ProgramEvent(1);

class WindowThreadsTest : public testing::WindowFixture<> {
 protected:
  // Opens a form and runs its loop until it closes; taker's answer CarryOn.
  static void RunWindow(const std::string& name, const std::function<void(Window&, const Event&)>& taker) {
    auto window = Window::Open(Form(name));
    RunEventLoop(*window, [&](const Event& e) {
      taker(*window, e);
      return LoopAction::CarryOn;
    });
  }
};

TEST_F(WindowThreadsTest, EachWindowsEventsReachItsOwnThreadAndClosingOneLeavesTheOther) {
  std::vector<std::pair<std::int32_t, EventCode>> mainSeen, secondSeen;
  Start([&] {
    EXPECT_EQ(StartThread(
                  [&] {
                    RunWindow("second", [&](Window&, const Event& e) {
                      secondSeen.emplace_back(runtime::CurrentThreadNumber(), e.code);
                    });
                  },
                  25000),
              2);
    RunWindow("main", [&](Window&, const Event& e) { mainSeen.emplace_back(runtime::CurrentThreadNumber(), e.code); });
  });
  const WindowId main = driver.WaitForWindow(1);
  const WindowId second = driver.WaitForWindow(2);
  driver.Click(second, 1);
  driver.Click(main, 2);
  driver.Post(second, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_TRUE(backend.Shown(main).has_value());
  driver.Post(main, EventCode::CloseWindow);
  program->WaitForEnd();

  using P = std::pair<std::int32_t, EventCode>;
  EXPECT_EQ(mainSeen,
            (std::vector<P>{{1, EventCode::OpenWindow}, {1, EventCode::Accepted}, {1, EventCode::CloseWindow}}));
  EXPECT_EQ(secondSeen,
            (std::vector<P>{{2, EventCode::OpenWindow}, {2, EventCode::Accepted}, {2, EventCode::CloseWindow}}));
}

TEST_F(WindowThreadsTest, PostingToAControlOfAnotherThreadQueuesItThere) {
  std::int32_t takenOn = 0;
  std::int32_t control = 0;
  Start([&] {
    StartThread(
        [&] {
          RunWindow("target", [&](Window& w, const Event& e) {
            if (e.code == kWork) {
              takenOn = runtime::CurrentThreadNumber();
              control = e.control;
              w.Post(EventCode::CloseWindow);
            }
          });
        },
        0);
    RunWindow("poster", [&](Window&, const Event& e) {
      if (e.code == EventCode::Accepted) PostToThread(2, kWork, 3);
    });
  });
  driver.WaitForWindow(2);
  const WindowId poster = driver.WaitForWindow(1);
  driver.Click(poster, 1);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.Post(poster, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_EQ(takenOn, 2);
  EXPECT_EQ(control, 3);
}

TEST_F(WindowThreadsTest, ProgramCodeNeverRunsOnTwoThreadsAtOnce) {
  // Both threads update plain counters with a yield inside; an overlap of
  // the two critical regions would be seen by the inside count.
  int inside = 0;
  int overlaps = 0;
  int counter = 0;
  auto work = [&](Window&, const Event& e) {
    if (e.code != kWork) return;
    for (int i = 0; i < 50; ++i) {
      if (++inside > 1) ++overlaps;
      const int before = counter;
      std::this_thread::yield();
      counter = before + 1;
      --inside;
    }
  };
  Start([&] {
    StartThread([&] { RunWindow("two", work); }, 25000);
    RunWindow("one", work);
  });
  const WindowId one = driver.WaitForWindow(1);
  const WindowId two = driver.WaitForWindow(2);
  constexpr int kRounds = 40;
  for (int i = 0; i < kRounds; ++i) {
    driver.Post(one, kWork);
    driver.Post(two, kWork);
  }
  driver.Post(two, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.Post(one, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(counter, 2 * kRounds * 50);
}

// Thread 1 waits up to 10 seconds for another station to let go of a file.
// The wait gives up the runtime lock: thread 2 starts, opens its window and
// takes its events meanwhile. The wait runs on the test clock, so nothing
// here waits in real time.
TEST_F(WindowThreadsTest, ASecondThreadHandlesEventsWhileTheFirstWaitsForAnotherStationsLock) {
  TestClock clock(0, 0);
  ScopedTimeSource scoped(clock);
  testing_support::TempDir dir;
  const std::string path = dir.File("MARLINDEN");
  auto other = DataFile::Make(Driver::Keyed, testing_support::BookmarkLayout(), path);
  ASSERT_EQ(other->Create(), NoError);
  ASSERT_EQ(other->Open(AccessReadWrite | ShareDenyAll), NoError);

  std::atomic<int> secondAccepted{0};
  std::atomic<std::int32_t> opened{-1};
  Start([&] {
    ASSERT_EQ(StartThread(
                  [&] {
                    RunWindow("second", [&](Window&, const Event& e) {
                      if (e.code == EventCode::Accepted) ++secondAccepted;
                    });
                  },
                  0),
              2);
    auto file = DataFile::Make(Driver::Keyed, testing_support::BookmarkLayout(), path);
    ASSERT_EQ(file->SendOption("Recover=10"), NoError);
    opened = file->Open(AccessReadWrite | ShareDenyNone);
    EXPECT_TRUE(RuntimeLock::HeldByThisThread()) << "the lock is back after the wait";
    if (opened == NoError) (void)file->Close();
  });
  const WindowId second = driver.WaitForWindow(2);
  ASSERT_NE(second, kNoWindow) << "thread 2 ran while thread 1 waited";
  ASSERT_TRUE(clock.WaitForSleeper(std::chrono::seconds(10)));
  clock.AdvanceMicros(3'000'000);
  for (int i = 0; i < 3; ++i) driver.Click(second, 1);
  ASSERT_TRUE(driver.WaitIdle(2));
  EXPECT_EQ(secondAccepted, 3);
  ASSERT_TRUE(clock.WaitForSleeper(std::chrono::seconds(10))) << "thread 1 still waits";
  EXPECT_EQ(opened, -1);

  other.reset();  // the other station leaves
  clock.AdvanceMicros(100'000);
  ASSERT_TRUE(driver.WaitForThreadEnd(1));
  program->WaitForEnd();
  EXPECT_EQ(opened, NoError);
  EXPECT_EQ(clock.SteadyMicros(), 3'100'000);
}

TEST_F(WindowThreadsTest, AThreadEndingWithItsWindowOpenClosesTheWindow) {
  std::unique_ptr<Window> kept;  // outlives its thread
  Start([&] {
    StartThread([&] { kept = Window::Open(Form("left open")); }, 0);
    RunWindow("main", [](Window&, const Event&) {});
  });
  const WindowId main = driver.WaitForWindow(1);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.WithWindow(main, [&](Window&) {
    ASSERT_NE(kept, nullptr);
    EXPECT_FALSE(kept->IsOpen());
    EXPECT_FALSE(backend.Shown(kept->Id()).has_value());
  });
  driver.Post(main, EventCode::CloseWindow);
  program->WaitForEnd();
  LockedSection locked;
  kept.reset();
}

TEST_F(WindowThreadsTest, TheRunEndsWhenThreadOneEndsEvenIfAnotherWindowRefusesToClose) {
  std::vector<EventCode> secondSeen;
  Start([&] {
    StartThread(
        [&] {
          auto window = Window::Open(Form("stubborn"));
          RunEventLoop(*window, [&](const Event& e) {
            secondSeen.push_back(e.code);
            return LoopAction::Cycle;  // refuses every close
          });
          // A window opened while the program ends closes down at once.
          auto late = Window::Open(Form("late"));
          RunEventLoop(*late, [&](const Event& e) {
            secondSeen.push_back(e.code);
            return LoopAction::Cycle;
          });
        },
        0);
    RunWindow("main", [](Window&, const Event&) {});
  });
  driver.WaitForWindow(2);
  driver.Post(driver.WaitForWindow(1), EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(secondSeen, (std::vector{EventCode::OpenWindow, EventCode::CloseDown, EventCode::CloseDown}));
}

// A backend whose message box waits until the test lets it answer.
class GatedBackend : public HeadlessBackend {
 public:
  std::uint32_t ShowMessageBox(const MessageBoxRequest& request) override {
    std::unique_lock lock(mutex_);
    asking_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
    return HeadlessBackend::ShowMessageBox(request);
  }
  bool WaitAsking() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return asking_; });
  }
  void Answer() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asking_ = false;
  bool open_ = false;
};

class WindowModalTest : public testing::WindowFixture<GatedBackend> {};

TEST_F(WindowModalTest, AQuestionOpenOnOneThreadDoesNotBlockAnother) {
  backend.MessageBoxes().Script(ButtonYes);
  std::uint32_t answer = 0;
  int secondTook = 0;
  Start([&] {
    StartThread(
        [&] {
          auto window = Window::Open(Form("second"));
          RunEventLoop(*window, [&](const Event& e) {
            if (e.code == EventCode::Accepted) ++secondTook;
            return LoopAction::CarryOn;
          });
        },
        0);
    auto window = Window::Open(Form("asks"));
    RunEventLoop(*window, [&](const Event& e) {
      if (e.code == EventCode::Accepted) {
        answer = ShowMessage({"Save Record", "Save?", Icon::Question, ButtonYes | ButtonNo, ButtonNo});
        return LoopAction::Break;
      }
      return LoopAction::CarryOn;
    });
  });
  const WindowId second = driver.WaitForWindow(2);
  driver.Click(driver.WaitForWindow(1), 1);
  ASSERT_TRUE(backend.WaitAsking());
  driver.Click(second, 1);
  ASSERT_TRUE(driver.WaitIdle(2));
  driver.WithWindow(second, [&](Window&) { EXPECT_EQ(secondTook, 1); });
  backend.Answer();
  program->WaitForEnd();
  EXPECT_EQ(answer, ButtonYes);
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].caption, "Save Record");
}

TEST(WindowStackTest, StacksAreAtLeastTheRuntimesMinimumInWholePages) {
  for (std::uint32_t requested : {0u, 25000u, 1024u * 1024u + 1u, 8u * 1024u * 1024u}) {
    const std::size_t bytes = StackBytesFor(requested);
    EXPECT_GE(bytes, std::max<std::size_t>(requested, kMinimumStackBytes)) << requested;
    EXPECT_EQ(bytes % 4096, 0u) << requested;
  }
}

}  // namespace
}  // namespace runtime::ui
