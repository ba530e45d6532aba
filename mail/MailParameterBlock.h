// What crosses the mail library call: the parameter block with its list
// entries, and the library's result codes. The block is packed, fields back
// to back in this order; text and field addresses are pointer-sized, memory
// handles and everything else keep their fixed widths. List blocks hold
// their entries back to back; the entry count is the block's size divided
// by the entry size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/platform/GlobalMemory.h"

namespace marlinden {

// A recipient: zero-terminated texts in fixed fields.
struct RecipientEntry {
  char NAME[200];
  char EMAIL[200];
};
static_assert(sizeof(RecipientEntry) == 400);

struct AttachmentEntry {
  char FILENAME[255];
  std::uint8_t FILETYPE;
};
static_assert(sizeof(AttachmentEntry) == 256);

#pragma pack(push, 1)
struct MailParameterBlock {
  const char* MAILHOST;
  const char* MAILER;
  const char* FROM;
  const char* RETURNPATH;
  const char* ORGANIZATION;
  const char* SUBJECT;
  const char* TONAME;
  runtime::platform::MemoryHandle TOADR;
  runtime::platform::MemoryHandle CCADR;
  runtime::platform::MemoryHandle BCCADR;
  std::uint8_t PRIORITY;
  std::uint8_t SERVERMODE;
  const char* USERNAME;
  const char* USERPASSWORD;
  const char* MESSAGETEXT;
  runtime::platform::MemoryHandle MESSAGETEXTHANDLE;
  std::uint8_t MESSAGETYPE;
  runtime::platform::MemoryHandle ATTACHMENTS;
  std::uint32_t SENDMAILCALLBACK;
  std::uint8_t OEMTOANSI;
  const char* DEBUGFILE;
  std::uint32_t* BYTESPROCESSED;
  std::uint32_t* BYTESTOTAL;
  std::uint8_t* USERCANCEL;
  char* SERVERERRORMESSAGE;
};
#pragma pack(pop)

inline constexpr std::size_t kServerErrorMessageBytes = 500;

namespace mail_block_layout {
constexpr std::size_t A = sizeof(void*);  // an address field
static_assert(sizeof(runtime::platform::MemoryHandle) == 4);
static_assert(offsetof(MailParameterBlock, MAILER) == A);
static_assert(offsetof(MailParameterBlock, TONAME) == 6 * A);
static_assert(offsetof(MailParameterBlock, TOADR) == 7 * A);
static_assert(offsetof(MailParameterBlock, BCCADR) == 7 * A + 8);
static_assert(offsetof(MailParameterBlock, PRIORITY) == 7 * A + 12);
static_assert(offsetof(MailParameterBlock, SERVERMODE) == 7 * A + 13);
static_assert(offsetof(MailParameterBlock, USERNAME) == 7 * A + 14);
static_assert(offsetof(MailParameterBlock, MESSAGETEXT) == 9 * A + 14);
static_assert(offsetof(MailParameterBlock, MESSAGETEXTHANDLE) == 10 * A + 14);
static_assert(offsetof(MailParameterBlock, MESSAGETYPE) == 10 * A + 18);
static_assert(offsetof(MailParameterBlock, ATTACHMENTS) == 10 * A + 19);
static_assert(offsetof(MailParameterBlock, SENDMAILCALLBACK) == 10 * A + 23);
static_assert(offsetof(MailParameterBlock, OEMTOANSI) == 10 * A + 27);
static_assert(offsetof(MailParameterBlock, DEBUGFILE) == 10 * A + 28);
static_assert(offsetof(MailParameterBlock, BYTESPROCESSED) == 11 * A + 28);
static_assert(offsetof(MailParameterBlock, USERCANCEL) == 13 * A + 28);
static_assert(offsetof(MailParameterBlock, SERVERERRORMESSAGE) == 14 * A + 28);
static_assert(sizeof(MailParameterBlock) == 15 * A + 28);  // 88 bytes with 4-byte addresses
}  // namespace mail_block_layout

// The library's result codes (0 = sent).
enum MailResult : std::uint32_t {
  MailSent = 0,
  MailBadArguments = 1,
  MailCannotReadMailFile = 2,
  MailNoSockets = 3,
  MailCannotResolveHost = 4,
  MailNoSocketHandle = 5,
  MailCannotConnect = 6,
  MailSendFailed = 7,
  MailReceiveFailed = 8,
  MailServerError = 9,
  MailCannotResolveHostName = 10,
  MailOutOfMemory = 11,
  MailCannotOpenTemporaryFile = 12,
  MailUnknownError = 13,
  MailUserCancel = 14,
  MailNoRecipients = 15,
};

// The library call: reads the block (and the memory blocks it names) during
// the call, takes no ownership, writes the progress fields and the server's
// error text through the addresses given, reads the cancel flag. Returns a
// MailResult. Blocks the calling thread; call it without the runtime lock.
using MailLibraryCall = std::uint32_t (*)(MailParameterBlock* block);

}  // namespace marlinden
