// A send that the server leaves hanging: the runtime's other threads go on
// handling events meanwhile, the progress fields show the whole message
// handed over, and the cancel flag, or the program ending, ends the send.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "mail/MailSender.h"
#include "mail/SmtpTestServer.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace runtime::ui;
namespace fixture = runtime::ui::testing;

// Waits until done() holds, at most timeout; for values another thread
// updates without telling anyone.
template <typename Done>
bool WaitUntil(Done done, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class MailThreadsTest : public fixture::WindowFixture<> {
 protected:
  testing_support::TempDir dir;
};

TEST_F(MailThreadsTest, OtherThreadsGoOnDuringASlowSendAndTheCancelFlagEndsIt) {
  mail_testing::ServerOptions stall;
  stall.stall = true;
  mail_testing::SmtpTestServer server(dir.Path() / "server", stall);
  ASSERT_TRUE(server.Ready());

  MailSender sender;  // thread 2's; the test touches only the fields the library shares
  std::atomic<std::uint32_t> result{255};
  int accepted = 0;
  Start([&] {
    StartThread(
        [&] {
          sender.Init();
          sender.SetMailHost(server.Address());
          sender.SetFrom("me@example.org");
          sender.AddRecipient("you@example.org");
          sender.SetMessageText(std::string(5000, 'm'), 6);
          result = sender.Send();
          EXPECT_EQ(sender.BYTESPROCESSED, 0u);
          sender.Kill();
        },
        25000);
    auto window = Window::Open(fixture::Form("main"));
    RunEventLoop(*window, [&](const Event& e) {
      if (e.code == EventCode::Accepted) ++accepted;
      return LoopAction::CarryOn;
    });
  });
  const WindowId main = driver.WaitForWindow(1);
  ASSERT_EQ(server.NextLine(), "stalled");

  driver.Click(main, 1);
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.WithWindow(main, [&](Window&) { EXPECT_EQ(accepted, 1); });

  std::atomic_ref<std::uint32_t> processed(sender.BYTESPROCESSED);
  std::atomic_ref<std::uint32_t> total(sender.BYTESTOTAL);
  EXPECT_GT(total.load(), 5000u);
  EXPECT_TRUE(WaitUntil([&] { return processed.load() == total.load(); }, std::chrono::seconds(10)))
      << processed.load() << " of " << total.load();

  std::atomic_ref<std::uint8_t>(sender.USERCANCEL).store(1);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  EXPECT_EQ(result.load(), MailUserCancel);
  driver.Post(main, EventCode::CloseWindow);
}

// The program ends while thread 2 waits on a stalled server: the close-down
// cancels the send, so the program's shutdown does not wait for the stall.
TEST_F(MailThreadsTest, TheProgramEndingCancelsAStalledSend) {
  mail_testing::ServerOptions stall;
  stall.stall = true;
  mail_testing::SmtpTestServer server(dir.Path() / "server", stall);
  ASSERT_TRUE(server.Ready());

  std::atomic<std::uint32_t> result{255};
  std::atomic<bool> others = false;
  Start([&] {
    StartThread(
        [&] {
          MailSender sender;
          sender.Init();
          sender.SetMailHost(server.Address());
          sender.SetFrom("me@example.org");
          sender.AddRecipient("you@example.org");
          sender.SetMessageText("hello", 6);
          result = sender.Send();
          sender.Kill();
        },
        25000);
    auto window = Window::Open(fixture::Form("main"));
    RunEventLoop(*window, [&](const Event& e) {
      if (e.code != EventCode::Accepted) return LoopAction::CarryOn;
      others = CloseDownOtherThreads();
      return LoopAction::Break;
    });
  });
  const WindowId main = driver.WaitForWindow(1);
  ASSERT_EQ(server.NextLine(), "stalled");
  driver.Click(main, 1);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(60)));
  EXPECT_TRUE(others.load());
  EXPECT_EQ(result.load(), MailUserCancel);
}

}  // namespace
}  // namespace marlinden
