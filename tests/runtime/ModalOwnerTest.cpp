// A modal window holds its owner: while a newer window of a thread is open,
// the thread's older windows are held (disabled in the model and on the
// backend) and what the user does to them is dropped, never carried out
// afterwards. The modal window's own timer and the program's own posts go
// on, and the windows of other threads are not affected.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "runtime/system/Clock.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace runtime::ui {
namespace {

using testing::Form;

constexpr EventCode kFromProgram = ProgramEvent(7);
constexpr std::int32_t kOk = 3;  // Form's OK button after its two entries

class ModalOwnerTest : public testing::WindowFixture<> {
 protected:
  bool Held(WindowId window) {
    bool held = false;
    EXPECT_TRUE(driver.WithWindow(window, [&](Window& w) { held = w.Held(); }));
    return held;
  }
  bool ShownHeld(WindowId window) {
    const auto shown = backend.Shown(window);
    EXPECT_TRUE(shown.has_value());
    return shown.has_value() && shown->held;
  }

  // Under the runtime lock, so the thread's own counts are read safely.
  template <typename T>
  T Read(const T& value) {
    T copy{};
    LockedSection locked;
    copy = value;
    return copy;
  }
};

TEST_F(ModalOwnerTest, TheOwnerTakesNoInputWhileTheModalWindowRunsAndNothingIsReplayedAfterwards) {
  runtime::TestClock clock(20000, 0);
  runtime::ScopedTimeSource source(clock);
  int ownerClicks = 0;
  int ownerProgramEvents = 0;
  int modalTimers = 0;
  int modalProgramEvents = 0;
  Window* owner = nullptr;
  Start([&] {
    auto main = Window::Open(Form("owner"));
    owner = main.get();
    RunEventLoop(*main, [&](const Event& e) {
      if (e.code == kFromProgram) ++ownerProgramEvents;
      if (e.code != EventCode::Accepted || e.control != kOk) return LoopAction::CarryOn;
      if (++ownerClicks > 1) return LoopAction::CarryOn;
      WindowDescription modalForm = Form("modal");
      modalForm.timerHundredths = 10;
      auto modal = Window::Open(modalForm);
      RunEventLoop(*modal, [&](const Event& m) {
        if (m.code == EventCode::Timer) {
          ++modalTimers;
          // The program's own events reach both windows.
          modal->Post(kFromProgram);
          owner->Post(kFromProgram);
        }
        if (m.code == kFromProgram) ++modalProgramEvents;
        return LoopAction::CarryOn;
      });
      return LoopAction::CarryOn;
    });
  });
  const WindowId ownerId = driver.WaitForWindow(1);
  // Two clicks at once: the second is either still queued when the modal
  // window opens or comes after; neither is carried out.
  driver.Click(ownerId, kOk);
  driver.Click(ownerId, kOk);
  const WindowId modalId = driver.WaitForWindow(1);
  ASSERT_NE(modalId, ownerId);
  EXPECT_TRUE(Held(ownerId));
  EXPECT_TRUE(ShownHeld(ownerId)) << "the backend shows the owner disabled";
  EXPECT_FALSE(Held(modalId));
  EXPECT_FALSE(ShownHeld(modalId));

  driver.Type(ownerId, 1, "typed on the owner");
  driver.Post(ownerId, EventCode::CloseWindow);
  driver.Post(ownerId, ProgramEvent(9));  // a tray click
  driver.Click(ownerId, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Registry::Instance().Thread(1)->queue.Size(), 0u) << "nothing waits for the owner";

  driver.AdvanceClock(clock, 10);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Read(modalTimers), 1) << "the modal window's timer keeps working";
  EXPECT_EQ(Read(modalProgramEvents), 1);

  driver.Post(modalId, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForClose(modalId));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Read(ownerClicks), 1) << "no click was replayed";
  EXPECT_EQ(Read(ownerProgramEvents), 1) << "the program's post to the owner was kept";
  EXPECT_EQ(driver.Text(ownerId, 1), "");
  EXPECT_FALSE(Held(ownerId));
  EXPECT_FALSE(ShownHeld(ownerId));

  driver.Click(ownerId, kOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Read(ownerClicks), 2) << "the owner takes input again";
  driver.Post(ownerId, EventCode::CloseWindow);
}

TEST_F(ModalOwnerTest, AModalWindowHoldsOnlyItsOwnThreadsWindows) {
  std::atomic<int> otherClicks = 0;
  Start([&] {
    StartThread(
        [&] {
          auto other = Window::Open(Form("other thread"));
          RunEventLoop(*other, [&](const Event& e) {
            if (e.code == EventCode::Accepted) ++otherClicks;
            return LoopAction::CarryOn;
          });
        },
        25000);
    auto main = Window::Open(Form("owner"));
    RunEventLoop(*main, [&](const Event& e) {
      if (e.code == EventCode::Accepted) {
        auto modal = Window::Open(Form("modal"));
        RunEventLoop(*modal, [](const Event&) { return LoopAction::CarryOn; });
      }
      return LoopAction::CarryOn;
    });
  });
  const WindowId other = driver.WaitForWindow(2);
  const WindowId owner = driver.WaitForWindow(1);
  driver.Click(owner, kOk);
  const WindowId modal = driver.WaitForWindow(1);
  ASSERT_NE(modal, owner);
  EXPECT_TRUE(Held(owner));
  EXPECT_FALSE(Held(other));

  driver.Click(other, kOk);
  ASSERT_TRUE(driver.WaitIdle(2));
  EXPECT_EQ(otherClicks.load(), 1);

  driver.Post(other, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.Post(modal, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForClose(modal));
  driver.Post(owner, EventCode::CloseWindow);
}

TEST_F(ModalOwnerTest, WindowNotificationsAndTheCloseDownStillReachAHeldWindow) {
  int ownerMoves = 0;
  Start([&] {
    auto main = Window::Open(Form("owner"));
    RunEventLoop(*main, [&](const Event& e) {
      if (e.code == EventCode::Moved) ++ownerMoves;
      if (e.code == EventCode::Accepted) {
        auto modal = Window::Open(Form("modal"));
        RunEventLoop(*modal, [](const Event&) { return LoopAction::CarryOn; });
      }
      return LoopAction::CarryOn;
    });
  });
  const WindowId owner = driver.WaitForWindow(1);
  driver.Click(owner, kOk);
  const WindowId modal = driver.WaitForWindow(1);
  ASSERT_NE(modal, owner);
  EventData moved;
  moved.windowRect = Rect{40, 50, 200, 100};
  driver.Post(owner, EventCode::Moved, 0, moved);
  driver.Post(modal, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForClose(modal));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Read(ownerMoves), 1) << "the desktop moved it; the model follows";
  Rect rect;
  driver.WithWindow(owner, [&](Window& w) { rect = w.Position(); });
  EXPECT_EQ(rect.x, 40);
  driver.Post(owner, EventCode::CloseDown);
}

}  // namespace
}  // namespace runtime::ui
