// The e-mail form end to end on the headless backend, sending to the tests'
// SMTP server: what the form shows, what arrives, the result boxes, and the
// settings kept between uses.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "mail/SmtpTestServer.h"
#include "procedures/EmailWindow.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::WindowId;

class EmailWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    // The result box is answered here, noting which windows showed meanwhile.
    backend.MessageBoxes().OnUnscripted([this](const runtime::ui::MessageBoxRequest&) {
      for (WindowId window : backend.ShownWindows()) shownDuringBox.push_back(backend.Shown(window)->title);
    });
  }

  // A program whose main procedure is the form; the settings file's record
  // count is taken when the form has closed.
  void OpenForm() {
    if (started) {
      program.reset();
      program = std::make_unique<runtime::ui::Program>(backend);
    }
    started = true;
    Start([this] {
      RunProgram([this] {
        Email();
        response = ResponseCode;
        ASSERT_EQ(MailSettingsStoreRelations->Open(), SeverityOk);
        records = MailSettingsStore().Records();
        (void)MailSettingsStoreRelations->Close();
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }

  void WaitForEnd() { ASSERT_TRUE(program->WaitForEnd(60s)); }

  void Fill(const std::string& host, const std::string& receiver) {
    driver.Type(id, EmailHost, host);
    driver.Type(id, EmailSender, "me@example.org");
    driver.Type(id, EmailReceiver, receiver);
  }

  std::string LastBox() const {
    const auto boxes = backend.MessageBoxRequests();
    return boxes.empty() ? "" : boxes.back().text;
  }

  testing_support::TempCurrentDirectory cwd;
  bool started = false;
  WindowId id = runtime::ui::kNoWindow;
  std::uint8_t response = 255;
  std::int64_t records = -1;
  std::vector<std::string> shownDuringBox;
};

TEST_F(EmailWindowTest, FirstUseSendsAndInsertsTheSettingsAndLaterUsesKeepOnlyHostAndSender) {
  mail_testing::SmtpTestServer server(cwd.Dir().Path() / "server");
  ASSERT_TRUE(server.Ready());
  const std::string attachment = cwd.Dir().File("list.zip");
  std::ofstream(attachment, std::ios::binary) << "PK zipped bookmarks";

  OpenForm();
  for (std::int32_t control : {EmailReceiver, EmailHost, EmailSender, EmailAttachment, EmailSubject, EmailMessage}) {
    EXPECT_EQ(driver.Text(id, control), "") << control;
  }
  Fill(server.Address(), "you@example.org");
  // Cut at 50 and 1000 bytes, never inside a character; trailing spaces go.
  driver.Type(id, EmailSubject, std::string(49, 's') + "é and more");
  driver.Type(id, EmailMessage, "Hello\n.\n" + std::string(987, 'm') + "     overflow");
  backend.ScriptFileChoice(attachment);
  driver.Click(id, EmailAttachmentButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, EmailAttachment), attachment);
  const auto dialogs = backend.FileDialogRequests();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Please Select A File");
  EXPECT_EQ(dialogs[0].masksText,
            "All Files (*.*)|*.*|Zip files (*.zip)|*.zip|Excel Files (*.xls)|*.xls|Word Files (*.doc)|*.doc");

  driver.Click(id, EmailOkButton);
  WaitForEnd();
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  const runtime::ui::MessageBoxRequest box = backend.MessageBoxRequests()[0];
  EXPECT_EQ(box.text, "Mail Send OK!");
  EXPECT_EQ(box.caption, "Internet Mail");
  EXPECT_EQ(box.icon, runtime::ui::Icon::Asterisk);
  EXPECT_EQ(box.buttons, runtime::ui::ButtonOk);
  EXPECT_NE(std::find(shownDuringBox.begin(), shownDuringBox.end(), "Sending Email . . ."), shownDuringBox.end());
  EXPECT_EQ(records, 1);

  ASSERT_EQ(server.NextLine(), "message 1");
  EXPECT_EQ(server.Part(1, "mail_from"), "me@example.org");
  EXPECT_EQ(server.Part(1, "rcpt_to"), "you@example.org");
  EXPECT_EQ(server.Part(1, "subject"), std::string(49, 's'));
  EXPECT_EQ(server.Part(1, "x-mailer"), "Marlinden");
  EXPECT_EQ(server.Part(1, "body"), "Hello\r\n.\r\n" + std::string(987, 'm') + "\r\n");
  EXPECT_EQ(server.Part(1, "attachment1.name"), "list.zip");
  EXPECT_EQ(server.Part(1, "attachment1.data"), "PK zipped bookmarks");

  // The second use: host and sender come back; a refused send still stores
  // the settings, in the one record.
  mail_testing::ServerOptions refuse;
  refuse.refuseRecipients = {"nobody@example.org"};
  mail_testing::SmtpTestServer refusing(cwd.Dir().Path() / "refusing", refuse);
  ASSERT_TRUE(refusing.Ready());
  OpenForm();
  EXPECT_EQ(driver.Text(id, EmailHost), server.Address());
  EXPECT_EQ(driver.Text(id, EmailSender), "me@example.org");
  for (std::int32_t control : {EmailReceiver, EmailAttachment, EmailSubject, EmailMessage}) {
    EXPECT_EQ(driver.Text(id, control), "") << control;
  }
  driver.Type(id, EmailHost, refusing.Address());
  driver.Type(id, EmailReceiver, "nobody@example.org");
  driver.Click(id, EmailOkButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(LastBox(),
            "Error sending E-Mail!|Mail Server Error:\r550 5.1.1 <nobody@example.org>: Recipient address rejected");
  EXPECT_EQ(backend.MessageBoxRequests().back().icon, runtime::ui::Icon::Exclamation);
  EXPECT_EQ(driver.Text(id, EmailReceiver), "nobody@example.org") << "a failed send keeps the form open";
  driver.Post(id, runtime::ui::EventCode::CloseWindow);
  WaitForEnd();
  EXPECT_EQ(records, 1);

  OpenForm();
  EXPECT_EQ(driver.Text(id, EmailHost), refusing.Address());
  EXPECT_EQ(driver.Text(id, EmailReceiver), "");
  driver.Post(id, runtime::ui::EventCode::CloseWindow);
  WaitForEnd();
}

TEST_F(EmailWindowTest, CancelStoresNothingAndABlankReceiverIsReportedWithoutSending) {
  OpenForm();
  Fill("127.0.0.1:1", "you@example.org");
  driver.Click(id, EmailCancelButton);
  WaitForEnd();
  EXPECT_EQ(records, 0);
  EXPECT_EQ(backend.MessageBoxRequests().size(), 0u);

  OpenForm();
  EXPECT_EQ(driver.Text(id, EmailHost), "") << "nothing was stored";
  Fill("127.0.0.1:1", "   ");
  driver.Click(id, EmailOkButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(LastBox(), "Error sending E-Mail!|No recipiens specified");
  driver.Post(id, runtime::ui::EventCode::CloseWindow);
  WaitForEnd();
  EXPECT_EQ(records, 1) << "stored after a failed send as well";
}

// Escape on any field is Cancel: the form closes, nothing sent or stored.
TEST_F(EmailWindowTest, EscapeInAnyFieldCancelsTheForm) {
  for (const std::int32_t field : {EmailHost, EmailSubject, EmailMessage, EmailOkButton}) {
    SCOPED_TRACE(field);
    OpenForm();
    Fill("127.0.0.1:1", "you@example.org");
    driver.PressKey(id, field, runtime::ui::KeyCode::Esc);
    WaitForEnd();
    EXPECT_EQ(records, 0);
    EXPECT_EQ(backend.MessageBoxRequests().size(), 0u);
  }
}

TEST_F(EmailWindowTest, ACancelledChoiceEmptiesTheAttachmentAndATooLongPathIsRefused) {
  OpenForm();
  backend.ScriptFileChoice("/tmp/a.zip");
  backend.ScriptFileChoice("");
  backend.ScriptFileChoice("/" + std::string(250, 'p'));
  driver.Click(id, EmailAttachmentButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, EmailAttachment), "/tmp/a.zip");
  driver.Click(id, EmailAttachmentButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, EmailAttachment), "");
  driver.Click(id, EmailAttachmentButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, EmailAttachment), "");
  EXPECT_EQ(LastBox(), kAttachmentTooLongText);
  driver.Post(id, runtime::ui::EventCode::CloseWindow);
  WaitForEnd();
  EXPECT_EQ(records, 0);
}

}  // namespace
}  // namespace marlinden
