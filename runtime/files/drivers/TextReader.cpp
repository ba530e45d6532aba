#include "runtime/files/drivers/TextReader.h"

#include <unistd.h>

#include <cerrno>

namespace runtime {

void TextReader::Attach(int fd) {
  fd_ = fd;
  Invalidate();
}

void TextReader::SetCapacity(std::size_t capacity) {
  if (capacity == 0) capacity = kDefaultCapacity;
  if (buffer_.size() == capacity) return;
  buffer_.assign(capacity, '\0');
  buffer_.shrink_to_fit();
  Invalidate();
}

int TextReader::Peek(std::int64_t offset, std::string_view& bytes) {
  bytes = {};
  if (fd_ < 0) return EBADF;
  if (buffer_.empty()) SetCapacity(kDefaultCapacity);
  const std::int64_t end = start_ + static_cast<std::int64_t>(length_);
  if (length_ == 0 || offset < start_ || offset >= end) {
    length_ = 0;
    start_ = offset;
    for (;;) {
      const ssize_t got = ::pread(fd_, buffer_.data(), buffer_.size(), offset);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      length_ = static_cast<std::size_t>(got);
      break;
    }
  }
  const std::size_t skip = static_cast<std::size_t>(offset - start_);
  bytes = std::string_view(buffer_.data() + skip, length_ - skip);
  return 0;
}

}  // namespace runtime
