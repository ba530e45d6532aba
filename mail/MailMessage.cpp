#include "mail/MailMessage.h"

#include <sys/stat.h>

#include <array>
#include <cstring>
#include <ctime>
#include <random>

#include "mail/MailEncoding.h"

namespace marlinden::mail {
namespace {

// Input bytes per base64 chunk produced: whole lines only.
constexpr std::size_t kChunkInput = kBase64LineInput * 1024;

std::string RandomHex(std::size_t digits) {
  static constexpr char hex[] = "0123456789abcdef";
  std::random_device random;
  std::string out;
  while (out.size() < digits) {
    std::uint32_t v = random();
    for (int i = 0; i < 8 && out.size() < digits; ++i, v >>= 4) out += hex[v & 15];
  }
  return out;
}

std::string AddressList(const std::vector<MailAddress>& list) {
  std::string out;
  for (const MailAddress& a : list) {
    if (!out.empty()) out += ",\r\n ";
    const std::string name = DisplayName(a.name);
    out += name.empty() ? "<" + a.address + ">" : name + " <" + a.address + ">";
  }
  return out;
}

std::string Header(const std::string& name, const std::string& value) { return name + ": " + value + "\r\n"; }

}  // namespace

std::string DateHeaderValue(std::int64_t unixTime) {
  static constexpr std::array<const char*, 7> days{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm local{};
  localtime_r(&t, &local);
  const long offsetMinutes = local.tm_gmtoff / 60;
  const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[local.tm_wday], local.tm_mday,
                months[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
  return text;
}

std::string NewMessageId(const std::string& fromAddress) {
  std::string domain = "localhost";
  if (const std::size_t at = fromAddress.rfind('@'); at != std::string::npos && at + 1 < fromAddress.size()) {
    const std::string candidate = fromAddress.substr(at + 1);
    bool plain = true;
    for (char c : candidate) {
      plain =
          plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-');
    }
    if (plain) domain = candidate;
  }
  return "<" + std::to_string(std::time(nullptr)) + "." + RandomHex(16) + "@" + domain + ">";
}

std::unique_ptr<MailMessage> MailMessage::Create(const MailContent& content, Failure* failure,
                                                 std::string* failedPath) {
  *failure = Failure::None;
  std::unique_ptr<MailMessage> message(new MailMessage);

  std::string head;
  head += Header("Date", DateHeaderValue(std::time(nullptr)));
  head += Header("From", "<" + content.from + ">");
  if (!content.to.empty()) head += Header("To", AddressList(content.to));
  if (!content.cc.empty()) head += Header("Cc", AddressList(content.cc));
  head += Header("Subject", HeaderText(content.subject));
  head += Header("Message-ID", NewMessageId(content.from));
  if (!content.organization.empty()) head += Header("Organization", HeaderText(content.organization));
  if (!content.mailer.empty()) head += Header("X-Mailer", HeaderText(content.mailer));
  if (content.priority >= 1 && content.priority <= 5 && content.priority != 3) {
    head += Header("X-Priority", std::to_string(content.priority));
  }
  head += Header("MIME-Version", "1.0");

  const std::string textHeaders =
      "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n";
  std::string body = QuotedPrintable(content.body);
  if (!body.empty() && !body.ends_with("\r\n")) body += "\r\n";

  if (content.attachments.empty()) {
    message->pieces_.push_back({head + textHeaders + "\r\n" + body});
  } else {
    // "=_" never occurs in quoted-printable or base64 text.
    const std::string boundary = "=_marlinden_" + RandomHex(24);
    head += Header("Content-Type", "multipart/mixed; boundary=\"" + boundary + "\"");
    head += "\r\nThis is a message in MIME format.\r\n";
    message->pieces_.push_back({head + "\r\n--" + boundary + "\r\n" + textHeaders + "\r\n" + body});
    for (const std::string& path : content.attachments) {
      Piece piece;
      piece.file = std::fopen(path.c_str(), "rb");
      struct stat status {};
      if (piece.file == nullptr || fstat(fileno(piece.file), &status) != 0 || !S_ISREG(status.st_mode)) {
        if (piece.file != nullptr) std::fclose(piece.file);
        *failure = Failure::CannotOpenAttachment;
        *failedPath = path;
        return nullptr;
      }
      piece.fileBytes = static_cast<std::uint64_t>(status.st_size);
      message->pieces_.push_back({"\r\n--" + boundary +
                                  "\r\nContent-Type: application/octet-stream\r\n"
                                  "Content-Transfer-Encoding: base64\r\n"
                                  "Content-Disposition: attachment;\r\n filename*=" +
                                  FileNameParameter(path) + "\r\n\r\n"});
      message->pieces_.push_back(std::move(piece));
    }
    message->pieces_.push_back({"\r\n--" + boundary + "--\r\n"});
  }
  for (const Piece& piece : message->pieces_) {
    message->size_ += piece.file != nullptr ? Base64LinesSize(piece.fileBytes) : piece.text.size();
  }
  return message;
}

MailMessage::~MailMessage() {
  for (Piece& piece : pieces_) {
    if (piece.file != nullptr) std::fclose(piece.file);
  }
}

bool MailMessage::Produce() {
  pending_.clear();
  pendingAt_ = 0;
  while (pending_.empty() && current_ < pieces_.size()) {
    Piece& piece = pieces_[current_];
    if (piece.file == nullptr) {
      pending_ = piece.text;
      ++current_;
      continue;
    }
    std::vector<std::uint8_t> input(kChunkInput);
    const std::size_t got = std::fread(input.data(), 1, input.size(), piece.file);
    fileBytesRead_ += got;
    if (got < input.size()) {
      // The end of the file: it must have kept the size the total promised.
      if (std::ferror(piece.file) || fileBytesRead_ != piece.fileBytes) return false;
    } else if (fileBytesRead_ > piece.fileBytes) {
      return false;
    }
    for (std::size_t line = 0; line < got; line += kBase64LineInput) {
      const std::size_t n = std::min(kBase64LineInput, got - line);
      pending_ += Base64({input.data() + line, n});
      pending_ += "\r\n";
    }
    if (got < input.size()) {
      ++current_;
      fileBytesRead_ = 0;
    }
  }
  return true;
}

std::optional<std::size_t> MailMessage::Read(char* buffer, std::size_t capacity) {
  if (pendingAt_ == pending_.size() && !Produce()) return std::nullopt;
  const std::size_t n = std::min(capacity, pending_.size() - pendingAt_);
  std::memcpy(buffer, pending_.data() + pendingAt_, n);
  pendingAt_ += n;
  return n;
}

}  // namespace marlinden::mail
