#include "mail/MailSender.h"

#include <atomic>
#include <cstring>

#include "mail/SmtpLibrary.h"
#include "runtime/system/RuntimeLock.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/MessageBox.h"

namespace marlinden {

using runtime::platform::MemoryHandle;

namespace {

constexpr std::size_t kTextBytes = 200;
constexpr std::size_t kDebugFileBytes = 255;

std::atomic<MailLibraryCall> library{&SmtpSendMail};

// Copies text into a fixed zero-terminated field of N bytes; false when it
// does not fit whole.
template <std::size_t N>
bool StoreField(char (&field)[N], std::string_view text) {
  const std::string_view kept = runtime::CutToWidth(text, N - 1);
  std::memset(field, 0, N);
  std::memcpy(field, kept.data(), kept.size());
  return kept.size() == text.size();
}

// Locks block, lets fill write its bytes, unlocks; false after showing the
// failing step's message (the block is freed then).
template <typename Fill>
MemoryHandle FillNewBlock(std::size_t bytes, Fill fill, void (*show)(const char*)) {
  const MemoryHandle handle = runtime::platform::GlobalAlloc(bytes);
  if (handle == 0) {
    show(kAllocFailedText);
    return 0;
  }
  std::byte* at = runtime::platform::GlobalLock(handle);
  if (at == nullptr) {
    show(kLockFailedText);
    runtime::platform::GlobalFree(handle);
    return 0;
  }
  fill(at);
  const std::optional<std::uint32_t> locks = runtime::platform::GlobalUnlock(handle);
  if (locks != 0u) {
    show(kUnlockFailedText);
    runtime::platform::GlobalFree(handle);
    return 0;
  }
  return handle;
}

}  // namespace

MailLibraryCall SetMailLibrary(MailLibraryCall call) { return library.exchange(call); }

void MailSender::Init() {
  for (MailText* text :
       {&MAILHOST, &MAILER, &FROM, &RETURNPATH, &ORGANIZATION, &SUBJECT, &TONAME, &USERNAME, &USERPASSWORD}) {
    text->Allocate(kTextBytes);
  }
  DEBUGFILE.Allocate(kDebugFileBytes);
  SERVERERRORMESSAGE.Allocate(kServerErrorMessageBytes);
  MESSAGETEXT.Free();
  TOADR.Free();
  CCADR.Free();
  BCCADR.Free();
  ATTACHMENTS.Free();
  PRIORITY = 3;
  SERVERMODE = 1;
  MESSAGETEXTAVAIL = 0;
  MESSAGETEXTHANDLE = 0;
  MESSAGETEXTHANDLEFREE = 0;
  MESSAGETYPE = 6;
  SENDMAILCALLBACK = 0;
  OEMTOANSI = 0;
  BYTESPROCESSED = 0;
  BYTESTOTAL = 0;
  USERCANCEL = 0;
  hostRefused_ = fromRefused_ = listValueRefused_ = false;
  initialised_ = true;
}

void MailSender::Kill() {
  if (!initialised_) return;
  initialised_ = false;
  for (MailText* text : {&MAILHOST, &MAILER, &FROM, &RETURNPATH, &ORGANIZATION, &SUBJECT, &TONAME, &USERNAME,
                         &USERPASSWORD, &MESSAGETEXT, &DEBUGFILE, &SERVERERRORMESSAGE}) {
    text->Free();
  }
  TOADR.Free();
  CCADR.Free();
  BCCADR.Free();
  ATTACHMENTS.Free();
  FreeMessageBlock();
}

void MailSender::SetMailHost(std::string_view host) { hostRefused_ = !MAILHOST.Set(runtime::Clip(host)); }
void MailSender::SetMailer(std::string_view mailer) { (void)MAILER.Set(runtime::Clip(mailer)); }
void MailSender::SetFrom(std::string_view address) { fromRefused_ = !FROM.Set(runtime::Clip(address)); }
void MailSender::SetSubject(std::string_view subject) { (void)SUBJECT.Set(runtime::Clip(subject)); }

void MailSender::AddRecipient(std::string_view address) {
  address = runtime::Clip(address);
  if (address.empty()) return;
  RecipientEntry entry{};
  const bool fits = StoreField(entry.NAME, address) && StoreField(entry.EMAIL, address);
  if (!fits) {
    listValueRefused_ = true;
    return;
  }
  TOADR.Add(entry);
}

void MailSender::AddAttachment(std::string_view fileName, std::uint8_t fileType) {
  fileName = runtime::Clip(fileName);
  if (fileName.empty()) return;
  AttachmentEntry entry{};
  if (!StoreField(entry.FILENAME, fileName)) {
    listValueRefused_ = true;  // a cut path would name another file
    return;
  }
  entry.FILETYPE = fileType;
  ATTACHMENTS.Add(entry);
}

void MailSender::SetMessageText(std::string_view text, std::uint8_t messageType) {
  FreeMessageBlock();
  const MemoryHandle handle = CopyQueueToMemory(text);
  if (handle == 0) return;
  MESSAGETEXTHANDLE = handle;
  MESSAGETEXTHANDLEFREE = 1;
  MESSAGETYPE = messageType;
}

void MailSender::FreeMessageBlock() {
  if (MESSAGETEXTHANDLE != 0 && MESSAGETEXTHANDLEFREE) runtime::platform::GlobalFree(MESSAGETEXTHANDLE);
  MESSAGETEXTHANDLE = 0;
  MESSAGETEXTHANDLEFREE = 0;
}

void MailSender::ShowFailure(const char* text) {
  runtime::ui::ShowMessage({"", text, runtime::ui::Icon::None, runtime::ui::ButtonOk, runtime::ui::ButtonOk});
}

template <typename Entry>
MemoryHandle MailSender::CopyQueueToMemory(const runtime::Queue<Entry>& list) {
  if (list.Empty()) return 0;
  return FillNewBlock(
      list.Records() * sizeof(Entry),
      [&list](std::byte* at) {
        std::size_t offset = 0;
        for (const Entry& entry : list) {
          std::memcpy(at + offset, &entry, sizeof(Entry));
          offset += sizeof(Entry);
        }
      },
      ShowFailure);
}

template MemoryHandle MailSender::CopyQueueToMemory(const runtime::Queue<RecipientEntry>&);
template MemoryHandle MailSender::CopyQueueToMemory(const runtime::Queue<AttachmentEntry>&);

MemoryHandle MailSender::CopyQueueToMemory(std::string_view text) {
  const std::size_t n = text.size();
  return FillNewBlock(
      n + 1,
      [text, n](std::byte* at) {
        const std::string_view kept = runtime::Clip(text);
        std::memset(at, ' ', n);
        std::memcpy(at, kept.data(), kept.size());
        if (kept.size() < n) at[kept.size()] = std::byte{0};
        // The block's last byte stays zero, so the text is terminated even
        // when it fills the whole variable.
      },
      ShowFailure);
}

void MailSender::FillBlock(MailParameterBlock& block) {
  block.MAILHOST = MAILHOST.Address();
  block.MAILER = MAILER.Address();
  block.FROM = FROM.Address();
  block.RETURNPATH = RETURNPATH.Address();
  block.ORGANIZATION = ORGANIZATION.Address();
  block.SUBJECT = SUBJECT.Address();
  block.TONAME = TONAME.Address();
  block.TOADR = CopyQueueToMemory(TOADR);
  block.CCADR = CopyQueueToMemory(CCADR);
  block.BCCADR = CopyQueueToMemory(BCCADR);
  block.PRIORITY = PRIORITY;
  block.SERVERMODE = SERVERMODE;
  block.USERNAME = USERNAME.Address();
  block.USERPASSWORD = USERPASSWORD.Address();
  block.MESSAGETEXT = MESSAGETEXTAVAIL ? MESSAGETEXT.Address() : nullptr;
  block.MESSAGETEXTHANDLE = MESSAGETEXTHANDLE;
  block.MESSAGETYPE = MESSAGETYPE;
  block.ATTACHMENTS = CopyQueueToMemory(ATTACHMENTS);
  block.SENDMAILCALLBACK = SENDMAILCALLBACK;
  block.OEMTOANSI = OEMTOANSI;
  block.DEBUGFILE = DEBUGFILE.Address();
  block.BYTESPROCESSED = &BYTESPROCESSED;
  block.BYTESTOTAL = &BYTESTOTAL;
  block.USERCANCEL = &USERCANCEL;
  block.SERVERERRORMESSAGE = SERVERERRORMESSAGE.Address();
}

std::uint32_t MailSender::Send() {
  // A refused recipient is a bad argument, not a missing one.
  if (hostRefused_ || fromRefused_ || listValueRefused_) return MailBadArguments;
  if (TOADR.Empty()) return MailNoRecipients;

  MailParameterBlock block;
  std::memset(&block, 0, sizeof block);
  FillBlock(block);

  std::uint32_t result;
  {
    runtime::UnlockedSection unlocked;
    result = library.load()(&block);
  }
  if (result > kLargestFailureCode) result = MailSent;

  for (MemoryHandle handle : {block.TOADR, block.CCADR, block.BCCADR, block.ATTACHMENTS}) {
    if (handle != 0) runtime::platform::GlobalFree(handle);
  }
  BYTESPROCESSED = 0;
  BYTESTOTAL = 0;
  USERCANCEL = 0;
  return result;
}

std::string MailSender::ErrorText(std::uint32_t code) const {
  switch (code) {
    case MailBadArguments:
      return "Bad arguments from form";
    case MailCannotReadMailFile:
      return "Unable to open temporary mailfile for read";
    case MailNoSockets:
      return "Failed to start sockets";
    case MailCannotResolveHost:
      return "Failed to resolve host";
    case MailNoSocketHandle:
      return "Failed to obtain socket handle";
    case MailCannotConnect:
      return "Failed to connect. Mail Server not found!";
    case MailSendFailed:
      return "Failed to send";
    case MailReceiveFailed:
      return "Failed to receive";
    case MailServerError: {
      const std::string text = "Mail Server Error:\r" + std::string(runtime::Clip(SERVERERRORMESSAGE.Text()));
      return std::string(runtime::CutToWidth(text, 255));
    }
    case MailCannotResolveHostName:
      return "Failed to resolve the host IP name";
    case MailOutOfMemory:
      return "Out of memory";
    case MailCannotOpenTemporaryFile:
      return "Failed to open temporary file";
    case MailUserCancel:
      return "User Cancel";
    case MailNoRecipients:
      // The mail library's own text, spelt as callers and users know it.
      return "No recipiens specified";
    default:
      return "Unknown error";
  }
}

}  // namespace marlinden
