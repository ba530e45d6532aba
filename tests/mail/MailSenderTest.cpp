// The mail sender against a stand-in library that records what crossed the
// call: the parameter block field by field, the memory blocks it names, and
// what happens around the call (the runtime lock, failures of the memory
// layer, results).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "mail/MailSender.h"
#include "runtime/platform/GlobalMemory.h"
#include "runtime/system/RuntimeLock.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using runtime::platform::GlobalBlocksInUse;
using runtime::platform::MemoryHandle;
using runtime::platform::ScopedMemoryFault;

// What the stand-in library saw.
struct Seen {
  int calls = 0;
  MailParameterBlock block{};
  std::vector<RecipientEntry> to;
  std::vector<AttachmentEntry> attachments;
  std::string messageBlock;  // the message text block's bytes
  bool lockHeld = true;
  std::uint32_t answer = 0;
  std::string serverText;
};
Seen seen;

template <typename Entry>
std::vector<Entry> Read(MemoryHandle handle) {
  std::vector<Entry> entries;
  if (handle == 0) return entries;
  const std::byte* at = runtime::platform::GlobalLock(handle);
  entries.resize(runtime::platform::GlobalSize(handle) / sizeof(Entry));
  std::memcpy(entries.data(), at, entries.size() * sizeof(Entry));
  EXPECT_EQ(runtime::platform::GlobalUnlock(handle), 0u);
  return entries;
}

std::uint32_t StandIn(MailParameterBlock* block) {
  ++seen.calls;
  seen.block = *block;
  seen.lockHeld = runtime::RuntimeLock::HeldByThisThread();
  seen.to = Read<RecipientEntry>(block->TOADR);
  seen.attachments = Read<AttachmentEntry>(block->ATTACHMENTS);
  if (block->MESSAGETEXTHANDLE != 0) {
    const std::byte* at = runtime::platform::GlobalLock(block->MESSAGETEXTHANDLE);
    seen.messageBlock.assign(reinterpret_cast<const char*>(at),
                             runtime::platform::GlobalSize(block->MESSAGETEXTHANDLE));
    (void)runtime::platform::GlobalUnlock(block->MESSAGETEXTHANDLE);
  }
  *block->BYTESPROCESSED = 7;
  *block->BYTESTOTAL = 9;
  std::strcpy(block->SERVERERRORMESSAGE, seen.serverText.c_str());
  return seen.answer;
}

template <typename T>
T Field(T value) {
  return value;
}

class MailSenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = {};
    previous = SetMailLibrary(StandIn);
    boxes.OnUnscripted(
        [](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unexpected message box: " << r.text; });
    blocksBefore = GlobalBlocksInUse();
    sender.Init();
  }
  void TearDown() override {
    sender.Kill();
    SetMailLibrary(previous);
    EXPECT_EQ(GlobalBlocksInUse(), blocksBefore) << "every memory block was freed";
  }

  // A form's filled-in sender, as the e-mail form makes it.
  void Fill() {
    sender.SetMailHost("mail.example.org:2525   ");
    sender.SetMailer("Marlinden");
    sender.SetFrom("me@example.org ");
    sender.SetSubject("Hello there  ");
    sender.AddRecipient("you@example.org   ");
  }

  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  MailLibraryCall previous = nullptr;
  std::size_t blocksBefore = 0;
  MailSender sender;
};

TEST_F(MailSenderTest, FillsTheBlockFieldByFieldAndCallsWithoutTheRuntimeLock) {
  Fill();
  sender.AddAttachment("/tmp/report.zip  ", 8);
  sender.SetMessageText("Line one\r\nLine two     ", 6);
  sender.PRIORITY = 1;
  sender.OEMTOANSI = 1;
  sender.SENDMAILCALLBACK = 0x1234;
  {
    runtime::LockedSection locked;
    EXPECT_EQ(sender.Send(), MailSent);
    EXPECT_TRUE(runtime::RuntimeLock::HeldByThisThread()) << "taken again after the call";
  }
  ASSERT_EQ(seen.calls, 1);
  EXPECT_FALSE(seen.lockHeld);
  const MailParameterBlock& b = seen.block;
  // Packed fields are read by value: a reference to one would be misaligned.
  EXPECT_STREQ(Field(b.MAILHOST), "mail.example.org:2525");
  EXPECT_STREQ(Field(b.MAILER), "Marlinden");
  EXPECT_STREQ(Field(b.FROM), "me@example.org");
  EXPECT_STREQ(Field(b.SUBJECT), "Hello there");
  for (const char* empty : {Field(b.RETURNPATH), Field(b.ORGANIZATION), Field(b.TONAME), Field(b.USERNAME),
                            Field(b.USERPASSWORD), Field(b.DEBUGFILE)}) {
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
  }
  EXPECT_EQ(Field(b.CCADR), 0u);
  EXPECT_EQ(Field(b.BCCADR), 0u);
  EXPECT_EQ(Field(b.PRIORITY), 1);
  EXPECT_EQ(Field(b.SERVERMODE), 1);
  EXPECT_EQ(Field(b.MESSAGETEXT), nullptr) << "no directly passed text";
  EXPECT_EQ(Field(b.MESSAGETEXTHANDLE), sender.MESSAGETEXTHANDLE);
  EXPECT_EQ(Field(b.MESSAGETYPE), 6);
  EXPECT_EQ(Field(b.SENDMAILCALLBACK), 0x1234u);
  EXPECT_EQ(Field(b.OEMTOANSI), 1);
  EXPECT_EQ(Field(b.BYTESPROCESSED), &sender.BYTESPROCESSED);
  EXPECT_EQ(Field(b.BYTESTOTAL), &sender.BYTESTOTAL);
  EXPECT_EQ(Field(b.USERCANCEL), &sender.USERCANCEL);
  EXPECT_EQ(Field(b.SERVERERRORMESSAGE), sender.SERVERERRORMESSAGE.Address());

  ASSERT_EQ(seen.to.size(), 1u);
  EXPECT_STREQ(seen.to[0].NAME, "you@example.org");
  EXPECT_STREQ(seen.to[0].EMAIL, "you@example.org");
  ASSERT_EQ(seen.attachments.size(), 1u);
  EXPECT_STREQ(seen.attachments[0].FILENAME, "/tmp/report.zip");
  EXPECT_EQ(seen.attachments[0].FILETYPE, 8);
  // The working copy: the text without trailing spaces, a zero byte, spaces
  // up to the variable's length, and the block's own terminator.
  const std::string variable = "Line one\r\nLine two     ";
  EXPECT_EQ(seen.messageBlock, std::string("Line one\r\nLine two") + '\0' + "    " + '\0');
  EXPECT_EQ(seen.messageBlock.size(), variable.size() + 1);

  EXPECT_EQ(runtime::platform::GlobalSize(Field(b.TOADR)), 0u) << "the list blocks are freed after the call";
  EXPECT_EQ(sender.BYTESPROCESSED, 0u);
  EXPECT_EQ(sender.BYTESTOTAL, 0u);
  EXPECT_EQ(sender.USERCANCEL, 0);
}

TEST_F(MailSenderTest, ResultsAndTheirTexts) {
  struct Case {
    std::uint32_t answer;
    std::string serverText;
    std::uint32_t result;
    std::string text;
  };
  const std::string longReply(600, 'x');
  const std::vector<Case> cases{
      {0, "", 0, "Unknown error"},
      {1001, "", 0, "Unknown error"},
      {1000, "", 1000, "Unknown error"},
      {6, "", 6, "Failed to connect. Mail Server not found!"},
      {9, "550 no such user   ", 9, "Mail Server Error:\r550 no such user"},
      {9, "", 9, "Mail Server Error:\r"},
      {9, longReply.substr(0, 499), 9, ("Mail Server Error:\r" + longReply).substr(0, 255)},
      {13, "", 13, "Unknown error"},
      {14, "", 14, "User Cancel"},
      {16, "", 16, "Unknown error"},
  };
  Fill();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    seen.answer = c.answer;
    seen.serverText = c.serverText;
    const std::uint32_t result = sender.Send();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(sender.ErrorText(result), c.text);
  }
  EXPECT_EQ(sender.ErrorText(15), "No recipiens specified");
  EXPECT_EQ(sender.ErrorText(1), "Bad arguments from form");
}

TEST_F(MailSenderTest, NoRecipientOrARefusedValueMeansNoCall) {
  struct Case {
    std::string name;
    std::function<void(MailSender&)> change;
    std::uint32_t result;
  };
  const std::string tooLong(200, 'h');  // one more than the field holds with its terminator
  const std::vector<Case> cases{
      {"blank receiver", [](MailSender& s) { s.TOADR.Free(), s.AddRecipient("    "); }, MailNoRecipients},
      {"host too long", [&](MailSender& s) { s.SetMailHost(tooLong); }, MailBadArguments},
      {"sender too long", [&](MailSender& s) { s.SetFrom(tooLong + "@x"); }, MailBadArguments},
      {"recipient too long", [&](MailSender& s) { s.AddRecipient(tooLong + "@x"); }, MailBadArguments},
      // The one receiver refused: a bad argument, not a missing receiver.
      {"only recipient too long", [&](MailSender& s) { s.TOADR.Free(), s.AddRecipient(tooLong + "@x"); },
       MailBadArguments},
      {"attachment path too long", [](MailSender& s) { s.AddAttachment("/" + std::string(255, 'p'), 8); },
       MailBadArguments},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sender.Kill();
    sender.Init();
    Fill();
    c.change(sender);
    EXPECT_EQ(sender.Send(), c.result);
    EXPECT_EQ(seen.calls, 0);
  }
  // A host that fits again after a refused one is taken.
  sender.SetMailHost("mail.example.org");
  sender.Kill();
  sender.Init();
  Fill();
  sender.SetMailHost(tooLong);
  sender.SetMailHost("mail.example.org");
  EXPECT_EQ(sender.Send(), MailSent);
}

TEST_F(MailSenderTest, TheSubjectIsCutAtAWholeCharacter) {
  Fill();
  std::string subject(198, 's');
  subject += "\xC3\xA9";  // é: its second byte would be the 200th
  sender.SetSubject(subject);
  EXPECT_EQ(sender.SUBJECT.Text(), std::string(198, 's'));
}

TEST_F(MailSenderTest, EachFailingMemoryStepShowsItsMessageAndTheCallStillTakesPlace) {
  struct Case {
    ScopedMemoryFault::Operation operation;
    const char* text;
  };
  for (const Case& c : {Case{ScopedMemoryFault::Operation::Alloc, kAllocFailedText},
                        Case{ScopedMemoryFault::Operation::Lock, kLockFailedText},
                        Case{ScopedMemoryFault::Operation::Unlock, kUnlockFailedText}}) {
    SCOPED_TRACE(c.text);
    boxes.Reset();
    seen.calls = 0;
    sender.Kill();
    sender.Init();
    Fill();
    sender.AddAttachment("/tmp/a.zip", 8);
    boxes.Script(runtime::ui::ButtonOk);
    {
      // The recipient list is built first; the attachment block fails.
      ScopedMemoryFault fault(c.operation, 1);
      EXPECT_EQ(sender.Send(), MailSent);
    }
    EXPECT_EQ(seen.calls, 1);
    EXPECT_NE(Field(seen.block.TOADR), 0u);
    EXPECT_EQ(Field(seen.block.ATTACHMENTS), 0u) << "passed as 0 after its message";
    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, c.text);
    EXPECT_EQ(requests[0].caption, "");
    EXPECT_EQ(requests[0].icon, runtime::ui::Icon::None);
    EXPECT_EQ(requests[0].buttons, runtime::ui::ButtonOk);

    // The message text the same way: the handle stays 0, the type unchanged.
    boxes.Script(runtime::ui::ButtonOk);
    {
      ScopedMemoryFault fault(c.operation);
      sender.SetMessageText("text", 2);
    }
    EXPECT_EQ(sender.MESSAGETEXTHANDLE, 0u);
    EXPECT_EQ(sender.MESSAGETYPE, 6);
    EXPECT_EQ(boxes.Requests().size(), 2u);
  }
}

TEST_F(MailSenderTest, ASecondMessageTextFreesTheFirstAndKillFreesTheLast) {
  sender.SetMessageText("first", 6);
  const MemoryHandle first = sender.MESSAGETEXTHANDLE;
  sender.SetMessageText("second", 6);
  EXPECT_NE(sender.MESSAGETEXTHANDLE, 0u);
  EXPECT_EQ(runtime::platform::GlobalSize(first), 0u) << "the first block is gone";
  EXPECT_EQ(GlobalBlocksInUse(), blocksBefore + 1);
  sender.Kill();
  sender.Kill();  // a second Kill does nothing
  EXPECT_EQ(GlobalBlocksInUse(), blocksBefore);
  sender.Init();
}

}  // namespace
}  // namespace marlinden
