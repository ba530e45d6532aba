#include "mail/SmtpLibrary.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mail/MailEncoding.h"
#include "mail/MailMessage.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/RuntimeThread.h"

namespace marlinden {

using runtime::platform::MemoryHandle;

namespace {

std::mutex timeoutsMutex;
MailTimeouts timeouts;  // guarded by timeoutsMutex

MailTimeouts CurrentTimeouts() {
  std::lock_guard guard(timeoutsMutex);
  return timeouts;
}

bool StartCurl() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return started;
}

std::string TextAt(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

// A list block's entries; empty for no block. An entry count is the block's
// size divided by the entry size.
template <typename Entry>
std::vector<Entry> Entries(MemoryHandle handle) {
  std::vector<Entry> entries;
  if (handle == 0) return entries;
  const std::size_t count = runtime::platform::GlobalSize(handle) / sizeof(Entry);
  const std::byte* at = runtime::platform::GlobalLock(handle);
  if (at == nullptr) return entries;
  entries.resize(count);
  std::memcpy(entries.data(), at, count * sizeof(Entry));
  (void)runtime::platform::GlobalUnlock(handle);
  return entries;
}

std::string MessageText(const MailParameterBlock& block) {
  if (block.MESSAGETEXTHANDLE != 0) {
    const std::size_t size = runtime::platform::GlobalSize(block.MESSAGETEXTHANDLE);
    const std::byte* at = runtime::platform::GlobalLock(block.MESSAGETEXTHANDLE);
    if (at == nullptr) return {};
    std::string text = FieldText(reinterpret_cast<const char*>(at), size);
    (void)runtime::platform::GlobalUnlock(block.MESSAGETEXTHANDLE);
    return text;
  }
  return TextAt(block.MESSAGETEXT);
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address, as the
// host part of a URL and a port; nothing when malformed.
std::optional<std::pair<std::string, long>> ParseHost(std::string_view text) {
  std::string host;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view address = text.substr(1, close - 1);
    if (address.empty() || !std::all_of(address.begin(), address.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        })) {
      return std::nullopt;
    }
    host = "[" + std::string(address) + "]";
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (!rest.starts_with(':')) return std::nullopt;
      port = rest.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    return ParseHost("[" + std::string(text) + "]");
  } else {
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    if (name.empty() || name.size() > 253 || !std::all_of(name.begin(), name.end(), IsHostCharacter)) {
      return std::nullopt;
    }
    host = std::string(name);
    if (colon != std::string_view::npos) {
      port = text.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
  }
  long number = 25;
  if (!port.empty()) {
    if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    number = std::stol(std::string(port));
    if (number < 1 || number > 65535) return std::nullopt;
  }
  return std::make_pair(host, number);
}

// The name this machine greets the server with.
std::string GreetingName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  const std::string text(name);
  return std::all_of(text.begin(), text.end(), IsHostCharacter) ? text : "localhost";
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// One send: the message being read by the client, the server's replies as
// they come, and the fields of the block the library writes and reads.
struct Session {
  mail::MailMessage* message = nullptr;
  std::uint32_t* bytesProcessed = nullptr;
  std::uint32_t* bytesTotal = nullptr;
  std::uint8_t* userCancel = nullptr;
  // The calling runtime thread's close-down: the program is ending.
  const std::atomic<bool>* closingDown = nullptr;
  bool cancelled = false;
  bool stalled = false;
  bool readFailed = false;
  // The connection's socket, and when the server last took or sent bytes.
  curl_socket_t socket = CURL_SOCKET_BAD;
  std::chrono::seconds stallLimit{120};
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t lastUploaded = 0;
  // Replies: the lines of the one being received, and the last refusal
  // (400 or more) not followed by an accepted command.
  std::string replyLines;
  std::string refusal;
  int replies = 0;

  bool CancelRequested() {
    if (userCancel != nullptr && std::atomic_ref<std::uint8_t>(*userCancel).load() != 0) cancelled = true;
    if (closingDown != nullptr && closingDown->load()) cancelled = true;
    return cancelled;
  }

  // True when the send is to end now: cancelled, or the server has neither
  // taken nor sent anything for the stall limit. The connection is shut
  // then, so the client does not wait once more for a goodbye the server
  // will not send.
  bool Abandon() {
    if (!CancelRequested() && std::chrono::steady_clock::now() - lastActivity < stallLimit) return false;
    stalled = !cancelled;
    if (socket != CURL_SOCKET_BAD) shutdown(socket, SHUT_RDWR);
    return true;
  }
};

int KeepSocket(void* data, curl_socket_t socket, curlsocktype) {
  static_cast<Session*>(data)->socket = socket;
  return CURL_SOCKOPT_OK;
}

std::uint32_t Clamp32(curl_off_t value) {
  if (value < 0) return 0;
  return static_cast<std::uint32_t>(std::min<curl_off_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

size_t ReadMessage(char* buffer, size_t size, size_t count, void* data) {
  auto* session = static_cast<Session*>(data);
  if (session->Abandon()) return CURL_READFUNC_ABORT;
  const std::optional<std::size_t> n = session->message->Read(buffer, size * count);
  if (!n) {
    session->readFailed = true;
    return CURL_READFUNC_ABORT;
  }
  return *n;
}

int Progress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto* session = static_cast<Session*>(data);
  if (session->bytesProcessed != nullptr) {
    std::atomic_ref<std::uint32_t>(*session->bytesProcessed).store(Clamp32(uploaded));
  }
  if (uploaded != session->lastUploaded) {
    session->lastUploaded = uploaded;
    session->lastActivity = std::chrono::steady_clock::now();
  }
  return session->Abandon() ? 1 : 0;
}

// Server replies reach the client as header lines: "250-..." continues a
// reply, "250 ..." ends it.
size_t TakeReplyLine(char* text, size_t size, size_t count, void* data) {
  auto* session = static_cast<Session*>(data);
  session->lastActivity = std::chrono::steady_clock::now();
  std::string line(text, size * count);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.size() < 3) return size * count;
  if (!session->replyLines.empty()) session->replyLines += ' ';
  session->replyLines += line;
  if (line.size() == 3 || line[3] != '-') {
    const int code = std::atoi(line.substr(0, 3).c_str());
    ++session->replies;
    if (code >= 400) {
      session->refusal = session->replyLines;
    } else if (code != 221) {  // the goodbye after a refusal keeps it
      session->refusal.clear();
    }
    session->replyLines.clear();
  }
  return size * count;
}

void SetServerError(MailParameterBlock& block, std::string_view text) {
  if (block.SERVERERRORMESSAGE == nullptr) return;
  const std::string line = mail::OneLine(text);
  const std::string_view kept = runtime::CutToWidth(line, kServerErrorMessageBytes - 1);
  std::memcpy(block.SERVERERRORMESSAGE, kept.data(), kept.size());
  block.SERVERERRORMESSAGE[kept.size()] = '\0';
}

std::uint32_t ResultOf(CURLcode code, Session& session, const char* curlText, MailParameterBlock& block) {
  if (code == CURLE_OK) return MailSent;
  if (session.cancelled) return MailUserCancel;
  if (session.stalled) return session.replies == 0 ? MailCannotConnect : MailReceiveFailed;
  if (session.readFailed) return MailCannotReadMailFile;
  switch (code) {
    case CURLE_OUT_OF_MEMORY:
      return MailOutOfMemory;
    case CURLE_COULDNT_RESOLVE_HOST:
      return MailCannotResolveHost;
    case CURLE_COULDNT_CONNECT:
      return MailCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return session.replies == 0 ? MailCannotConnect : MailReceiveFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
      SetServerError(block, std::string("The mail server's certificate was not accepted: ") + curlText);
      return MailServerError;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
      SetServerError(block, std::string("No secure connection to the mail server: ") + curlText);
      return MailServerError;
    default:
      break;
  }
  if (!session.refusal.empty()) {
    SetServerError(block, session.refusal);
    return MailServerError;
  }
  switch (code) {
    case CURLE_SEND_ERROR:
      return MailSendFailed;
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return MailReceiveFailed;
    default:
      return MailUnknownError;
  }
}

struct CurlHandle {
  CURL* curl = curl_easy_init();
  curl_slist* recipients = nullptr;
  ~CurlHandle() {
    curl_slist_free_all(recipients);
    if (curl != nullptr) curl_easy_cleanup(curl);
  }
};

}  // namespace

MailTimeouts SetMailTimeouts(MailTimeouts next) {
  std::lock_guard guard(timeoutsMutex);
  return std::exchange(timeouts, next);
}

std::optional<std::string> ExtraMailAuthorities() {
  const char* file = std::getenv(kMailCaFileVariable);
  if (file == nullptr || *file == '\0') return std::string();
  return ReadWholeFile(file);
}

std::uint32_t SmtpSendMail(MailParameterBlock* block) {
  if (block == nullptr) return MailBadArguments;
  if (block->SERVERERRORMESSAGE != nullptr) block->SERVERERRORMESSAGE[0] = '\0';

  // Everything is checked before any connection is made.
  const std::optional<std::pair<std::string, long>> server = ParseHost(TextAt(block->MAILHOST));
  const std::string from = TextAt(block->FROM);
  const std::string returnPath = TextAt(block->RETURNPATH);
  if (!server || !mail::IsAcceptableAddress(from) || (!returnPath.empty() && !mail::IsAcceptableAddress(returnPath))) {
    return MailBadArguments;
  }
  mail::MailContent content;
  content.from = from;
  content.subject = TextAt(block->SUBJECT);
  content.mailer = TextAt(block->MAILER);
  content.organization = TextAt(block->ORGANIZATION);
  content.priority = block->PRIORITY;
  content.body = MessageText(*block);
  std::vector<std::string> envelope;
  const std::string toName = TextAt(block->TONAME);
  for (MemoryHandle list : {block->TOADR, block->CCADR, block->BCCADR}) {
    for (const RecipientEntry& entry : Entries<RecipientEntry>(list)) {
      mail::MailAddress address{FieldText(entry.NAME, sizeof entry.NAME), FieldText(entry.EMAIL, sizeof entry.EMAIL)};
      if (!mail::IsAcceptableAddress(address.address)) return MailBadArguments;
      if (address.name == address.address) address.name.clear();
      envelope.push_back(address.address);
      if (list == block->TOADR) {
        if (content.to.empty() && !toName.empty()) address.name = toName;
        content.to.push_back(address);
      } else if (list == block->CCADR) {
        content.cc.push_back(address);
      }
    }
  }
  if (envelope.empty()) return MailNoRecipients;
  for (const AttachmentEntry& entry : Entries<AttachmentEntry>(block->ATTACHMENTS)) {
    content.attachments.push_back(FieldText(entry.FILENAME, sizeof entry.FILENAME));
  }

  mail::MailMessage::Failure failure;
  std::string failedPath;
  std::unique_ptr<mail::MailMessage> message = mail::MailMessage::Create(content, &failure, &failedPath);
  if (!message) return MailCannotReadMailFile;

  std::string authorities;
  const std::optional<std::string> extraText = ExtraMailAuthorities();
  if (!extraText) {
    SetServerError(*block, std::string("The certificate file named by ") + kMailCaFileVariable +
                               " cannot be read: " + std::getenv(kMailCaFileVariable));
    return MailServerError;
  }
  if (!extraText->empty()) {
    const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
    if (version->cainfo != nullptr) authorities = ReadWholeFile(version->cainfo).value_or("");
    authorities += "\n" + *extraText;
  }

  if (!StartCurl()) return MailNoSockets;
  CurlHandle handle;
  if (handle.curl == nullptr) return MailOutOfMemory;
  CURL* curl = handle.curl;
  for (const std::string& address : envelope) {
    curl_slist* next = curl_slist_append(handle.recipients, address.c_str());
    if (next == nullptr) return MailOutOfMemory;
    handle.recipients = next;
  }

  const MailTimeouts limits = CurrentTimeouts();
  Session session;
  session.message = message.get();
  session.stallLimit = limits.stall;
  session.bytesProcessed = block->BYTESPROCESSED;
  session.bytesTotal = block->BYTESTOTAL;
  session.userCancel = block->USERCANCEL;
  session.closingDown = &runtime::ui::CloseDownFlag();
  if (session.bytesTotal != nullptr) {
    std::atomic_ref<std::uint32_t>(*session.bytesTotal).store(Clamp32(static_cast<curl_off_t>(message->Size())));
  }

  const std::string url = "smtp://" + server->first + ":" + std::to_string(server->second) + "/" + GreetingName();
  const std::string envelopeFrom = returnPath.empty() ? from : returnPath;
  const std::string user = TextAt(block->USERNAME);
  const std::string password = TextAt(block->USERPASSWORD);
  char errorText[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_MAIL_FROM, envelopeFrom.c_str());
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, handle.recipients);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
  curl_easy_setopt(curl, CURLOPT_READDATA, &session);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message->Size()));
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, TakeReplyLine);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &session);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &session);
  curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!authorities.empty()) {
    curl_blob blob{authorities.data(), authorities.size(), CURL_BLOB_COPY};
    curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
  }
  if (!user.empty()) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, KeepSocket);
  curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &session);
  // The stall limit is kept by the progress callback; the client's own
  // limits stand behind it.
  const long backstop = static_cast<long>(2 * limits.stall.count());
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, backstop);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, backstop);

  const CURLcode code = curl_easy_perform(curl);
  return ResultOf(code, session, errorText, *block);
}

}  // namespace marlinden
