// Collects one e-mail (server, sender, subject, recipients, message text,
// attachments), flattens it into the mail library's parameter block, makes
// the one library call and turns its result code into a text. Init, use for
// one message, Kill. Used by one runtime thread, holding the runtime lock;
// the lock is released for the duration of the library call.
//
// Values that must not be cut (the host, the sender, a recipient address, an
// attachment's path) are refused when longer than their field: Send then
// answers MailBadArguments without calling the library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mail/MailParameterBlock.h"
#include "mail/MailText.h"
#include "runtime/platform/GlobalMemory.h"
#include "runtime/queue/Queue.h"

namespace marlinden {

inline constexpr const char* kAllocFailedText = "CopyQueueToMemory: GlobalAlloc failed!";
inline constexpr const char* kLockFailedText = "CopyQueueToMemory: GlobalLock failed!";
inline constexpr const char* kUnlockFailedText = "CopyQueueToMemory: GlobalUnlock failed!";

// Results above this count as success (some library versions answer with a
// message number).
inline constexpr std::uint32_t kLargestFailureCode = 1000;

class MailSender {
 public:
  void Init();
  // Frees the texts, the lists and the message text block this object made.
  // A second Kill does nothing.
  void Kill();

  // Each removes trailing spaces. The host and sender are refused when too
  // long; the mailer and subject are cut to their field.
  void SetMailHost(std::string_view host);
  void SetMailer(std::string_view mailer);
  void SetFrom(std::string_view address);
  void SetSubject(std::string_view subject);

  // An empty address (after trailing spaces) adds nothing; NAME and EMAIL
  // both get the address.
  void AddRecipient(std::string_view address);
  // An empty name adds nothing.
  void AddAttachment(std::string_view fileName, std::uint8_t fileType);
  // text is the whole variable (its size is its declared length); its
  // trailing spaces are not sent. A block made by an earlier call is freed.
  void SetMessageText(std::string_view text, std::uint8_t messageType);

  // Returns 0 when sent, else a MailResult (or a library code up to 1000).
  std::uint32_t Send();
  // The code's text; code 9 carries the server's reply.
  std::string ErrorText(std::uint32_t code) const;

  // Copies a list's entries back to back into a new memory block; 0 when
  // the list is empty or a step failed (the step's message has been shown).
  template <typename Entry>
  static runtime::platform::MemoryHandle CopyQueueToMemory(const runtime::Queue<Entry>& list);
  // The text's working copy: without trailing spaces, a zero byte, then
  // spaces up to text.size(); in a block of text.size() + 1 bytes.
  static runtime::platform::MemoryHandle CopyQueueToMemory(std::string_view text);

  // The fields, in the order the parameter block takes them.
  MailText MAILHOST;
  MailText MAILER;
  MailText FROM;
  MailText RETURNPATH;
  MailText ORGANIZATION;
  MailText SUBJECT;
  runtime::Queue<RecipientEntry> TOADR;
  runtime::Queue<RecipientEntry> CCADR;
  runtime::Queue<RecipientEntry> BCCADR;
  MailText TONAME;
  std::uint8_t PRIORITY = 3;
  std::uint8_t SERVERMODE = 1;
  MailText USERNAME;
  MailText USERPASSWORD;
  MailText MESSAGETEXT;  // not allocated by Init; passed when MESSAGETEXTAVAIL
  std::uint8_t MESSAGETEXTAVAIL = 0;
  runtime::platform::MemoryHandle MESSAGETEXTHANDLE = 0;
  std::uint8_t MESSAGETEXTHANDLEFREE = 0;
  std::uint8_t MESSAGETYPE = 6;
  runtime::Queue<AttachmentEntry> ATTACHMENTS;
  std::uint32_t SENDMAILCALLBACK = 0;
  std::uint8_t OEMTOANSI = 0;
  MailText DEBUGFILE;
  MailText SERVERERRORMESSAGE;
  // Written (and read) by the library through their addresses during Send,
  // from the calling thread; another thread may set USERCANCEL meanwhile
  // through std::atomic_ref.
  std::uint32_t BYTESPROCESSED = 0;
  std::uint32_t BYTESTOTAL = 0;
  std::uint8_t USERCANCEL = 0;

 private:
  static void ShowFailure(const char* text);
  void FillBlock(MailParameterBlock& block);
  void FreeMessageBlock();

  // Set when a value was refused; Send then answers MailBadArguments.
  bool hostRefused_ = false;
  bool fromRefused_ = false;
  bool listValueRefused_ = false;
  bool initialised_ = false;
};

// The library Send calls: the SMTP library unless a test installs another.
// Returns the previous one.
MailLibraryCall SetMailLibrary(MailLibraryCall call);

}  // namespace marlinden
