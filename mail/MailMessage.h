// One e-mail as it goes on the wire after DATA: the headers, a UTF-8
// text/plain body in quoted-printable and each attachment in base64 inside
// a multipart/mixed message, CR LF line ends throughout. Attachments are
// streamed from their files while the message is read, so their size does
// not matter. Used by one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marlinden::mail {

struct MailAddress {
  std::string name;  // display name; may be empty
  std::string address;
};

struct MailContent {
  std::string from;
  std::vector<MailAddress> to;
  std::vector<MailAddress> cc;
  std::string subject;
  std::string mailer;         // X-Mailer; none when empty
  std::string organization;   // none when empty
  std::uint8_t priority = 3;  // X-Priority 1 (highest) to 5; 3 is normal and not written
  std::string body;
  std::vector<std::string> attachments;  // paths
};

class MailMessage {
 public:
  enum class Failure : std::uint8_t { None, CannotOpenAttachment };

  // Opens every attachment; nullptr with *failure set when one cannot be
  // opened for reading (*failedPath names it).
  static std::unique_ptr<MailMessage> Create(const MailContent& content, Failure* failure, std::string* failedPath);
  ~MailMessage();
  MailMessage(const MailMessage&) = delete;
  MailMessage& operator=(const MailMessage&) = delete;

  // The whole message's size in bytes.
  std::uint64_t Size() const { return size_; }
  // Copies the next bytes (at most capacity) to buffer; 0 at the end;
  // nothing when an attachment could not be read to its end.
  std::optional<std::size_t> Read(char* buffer, std::size_t capacity);

 private:
  // A piece of the message: text, or a file sent in base64 lines.
  struct Piece {
    std::string text;
    std::FILE* file = nullptr;
    std::uint64_t fileBytes = 0;
  };

  MailMessage() = default;
  // Fills pending_ from the current piece; false on a read failure.
  bool Produce();

  std::vector<Piece> pieces_;
  std::uint64_t size_ = 0;
  std::size_t current_ = 0;
  std::uint64_t fileBytesRead_ = 0;
  std::string pending_;
  std::size_t pendingAt_ = 0;
};

// Headers made once per message: its date and its id.
std::string DateHeaderValue(std::int64_t unixTime);
std::string NewMessageId(const std::string& fromAddress);

}  // namespace marlinden::mail
