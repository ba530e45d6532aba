#include "runtime/files/drivers/TextReader.h"

#include <cerrno>

#include "runtime/system/FileSystem.h"

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
    std::size_t got = 0;
    if (const int error = CurrentFileSystem().Read(fd_, offset, buffer_.data(), buffer_.size(), got)) return error;
    length_ = got;
  }
  const std::size_t skip = static_cast<std::size_t>(offset - start_);
  bytes = std::string_view(buffer_.data() + skip, length_ - skip);
  return 0;
}

}  // namespace runtime
