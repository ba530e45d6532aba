// Shutdown waits for the other threads: a procedure still busy on a thread
// of its own when the main procedure returns closes down, and has ended,
// before the managers it uses are killed.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/RuntimeThread.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using runtime::ui::Event;
using runtime::ui::EventCode;
using runtime::ui::LoopAction;
using runtime::ui::Window;

class ShutDownThreadsTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Thread 2 signals each batch it has finished.
  void BatchDone() {
    {
      std::lock_guard lock(mutex);
      ++batches;
    }
    changed.notify_all();
  }
  bool WaitForBatches(int count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return batches >= count; });
  }

  testing_support::TempCurrentDirectory cwd;
  std::mutex mutex;
  std::condition_variable changed;
  int batches = 0;  // guarded by mutex
};

TEST_F(ShutDownThreadsTest, AThreadBusyInABatchEndsBeforeTheManagersAreKilled) {
  std::atomic<bool> closeDownSeen{false};
  std::atomic<bool> managersAliveAtEnd{false};
  std::atomic<bool> secondEnded{false};
  std::atomic<int> added{0};
  Start([&] {
    (void)RunProgram([&] {
      ASSERT_EQ(runtime::ui::StartThread(
                    [&] {
                      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
                      auto window = Window::Open(runtime::ui::testing::Form("export"));
                      window->SetTimer(1);  // a batch on every timer event, as a process does
                      RunEventLoop(*window, [&](const Event& e) {
                        if (e.code == EventCode::CloseDown) closeDownSeen = true;
                        if (e.code != EventCode::Timer) return LoopAction::CarryOn;
                        for (int i = 0; i < 5; ++i) {
                          BookmarkStore().Record().Clear();
                          BookmarkStore().Record().Field(WebUrl).SetText("http://batch/" + std::to_string(added));
                          if (BookmarkStoreManager->Insert() == SeverityOk) ++added;
                        }
                        BatchDone();
                        return LoopAction::CarryOn;
                      });
                      managersAliveAtEnd = BookmarkStoreRelations != nullptr && BookmarkStoreManager != nullptr &&
                                           BookmarkStoreRelations->Close() == SeverityOk;
                      secondEnded = true;
                    },
                    25000),
                2);
      auto main = Window::Open(runtime::ui::testing::Form("main"));
      RunEventLoop(*main, [](const Event&) { return LoopAction::CarryOn; });
    });
  });
  const auto main = driver.WaitForWindow(1);
  ASSERT_TRUE(WaitForBatches(3)) << "thread 2 is busy";
  driver.Post(main, EventCode::CloseWindow);  // the user exits from thread 1's window
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));

  EXPECT_TRUE(closeDownSeen) << "thread 2 was handed its close-down event";
  EXPECT_TRUE(managersAliveAtEnd) << "the managers outlived thread 2's work";
  EXPECT_TRUE(secondEnded);
  EXPECT_EQ(BookmarkStoreManager, nullptr) << "shutdown ran after it";

  // Every record thread 2 added is in the file.
  auto check = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), cwd.Dir().File("MARLINDEN"));
  ASSERT_EQ(check->Open(runtime::AccessRead | runtime::ShareDenyNone), runtime::NoError);
  EXPECT_EQ(check->Records(), added.load());
  EXPECT_GE(added.load(), 15);
}

}  // namespace
}  // namespace marlinden
