// The e-mail form sends one mail per OK, however often OK is clicked while
// a slow send runs, and a failed send leaves the form open with what the
// user typed, to be sent again. The mail library is a stand-in that holds
// each call until the test lets it go.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "mail/MailSender.h"
#include "procedures/EmailWindow.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::WindowId;

// The stand-in library: each call waits until released, then answers the
// next scripted result. Calls come from the form's thread with the runtime
// lock released.
struct HeldLibrary {
  std::mutex mutex;
  std::condition_variable changed;
  int calls = 0;
  int released = 0;
  std::vector<std::uint32_t> answers;
  std::vector<std::string> receivers;
};
HeldLibrary library;

std::uint32_t HeldSend(MailParameterBlock* block) {
  std::unique_lock lock(library.mutex);
  const int call = library.calls++;
  const auto* to =
      static_cast<const RecipientEntry*>(static_cast<const void*>(runtime::platform::GlobalLock(block->TOADR)));
  library.receivers.emplace_back(to->EMAIL);
  (void)runtime::platform::GlobalUnlock(block->TOADR);
  library.changed.notify_all();
  library.changed.wait_for(lock, 10s, [call] { return library.released > call; });
  return static_cast<std::size_t>(call) < library.answers.size() ? library.answers[call] : MailSent;
}

class EmailSendOnceTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    library.calls = library.released = 0;
    library.answers.clear();
    library.receivers.clear();
    previous = SetMailLibrary(HeldSend);
    backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest&) {});
  }
  void TearDown() override {
    Release();  // a call still held must not outlive the test
    WindowFixture::TearDown();
    SetMailLibrary(previous);
  }

  void OpenForm() {
    Start([this] {
      RunProgram([this] {
        Email();
        response = ResponseCode;
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
    driver.Type(id, EmailHost, "mail.example.org");
    driver.Type(id, EmailSender, "me@example.org");
    driver.Type(id, EmailReceiver, "you@example.org");
    driver.Type(id, EmailSubject, "Bookmarks");
    driver.Type(id, EmailMessage, "Here they are.");
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  // Waits until the library has been called calls times.
  bool WaitForCalls(int calls) {
    std::unique_lock lock(library.mutex);
    return library.changed.wait_for(lock, 10s, [calls] { return library.calls >= calls; });
  }
  void Release() {
    std::lock_guard lock(library.mutex);
    library.released = 1000;
    library.changed.notify_all();
  }
  int Calls() {
    std::lock_guard lock(library.mutex);
    return library.calls;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : backend.MessageBoxRequests()) texts.push_back(box.text);
    return texts;
  }

  testing_support::TempCurrentDirectory cwd;
  MailLibraryCall previous = nullptr;
  WindowId id = runtime::ui::kNoWindow;
  std::uint8_t response = 255;
};

TEST_F(EmailSendOnceTest, ClicksOnOkDuringASlowSendSendOneMail) {
  OpenForm();
  driver.Click(id, EmailOkButton);
  driver.Click(id, EmailOkButton);  // at once: still queued, or held off
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_FALSE(driver.Properties(id, EmailOkButton).enabled) << "OK is disabled while the mail is sent";
  const auto shown = backend.Shown(id);
  ASSERT_TRUE(shown.has_value());
  EXPECT_TRUE(shown->held) << "the form takes no input while the sending window is open";
  driver.Click(id, EmailOkButton);  // during the send
  Release();
  ASSERT_TRUE(program->WaitForEnd(10s));
  EXPECT_EQ(Calls(), 1);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kMailSentText});
}

TEST_F(EmailSendOnceTest, AFailedSendKeepsTheFormWithItsTextsAndASecondOkSends) {
  library.answers = {MailCannotConnect, MailSent};
  OpenForm();
  driver.Click(id, EmailOkButton);
  ASSERT_TRUE(WaitForCalls(1));
  Release();
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{std::string(kMailFailedText) + "Failed to connect. Mail Server not found!"});
  ASSERT_TRUE(driver.WithWindow(id, [](runtime::ui::Window&) {})) << "the form is still open";
  EXPECT_EQ(driver.Text(id, EmailHost), "mail.example.org");
  EXPECT_EQ(driver.Text(id, EmailSender), "me@example.org");
  EXPECT_EQ(driver.Text(id, EmailReceiver), "you@example.org");
  EXPECT_EQ(driver.Text(id, EmailSubject), "Bookmarks");
  EXPECT_EQ(driver.Text(id, EmailMessage), "Here they are.");
  EXPECT_TRUE(driver.Properties(id, EmailOkButton).enabled);

  // Corrected and sent again: the second mail goes to the new receiver.
  driver.Type(id, EmailReceiver, "friend@example.org");
  driver.Click(id, EmailOkButton);
  ASSERT_TRUE(program->WaitForEnd(10s));
  EXPECT_EQ(Calls(), 2);
  EXPECT_EQ(library.receivers, (std::vector<std::string>{"you@example.org", "friend@example.org"}));
  EXPECT_EQ(BoxTexts().back(), kMailSentText);
}

}  // namespace
}  // namespace marlinden
