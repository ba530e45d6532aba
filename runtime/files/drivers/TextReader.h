// Buffered reading of a plain file at explicit offsets, for the text drivers.
// The buffer holds one window of the file; reads inside it cost no system
// call. Writers must Invalidate() after changing the file. Not thread-safe:
// owned by one driver, used under the runtime lock.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace runtime {

class TextReader {
 public:
  static constexpr std::size_t kDefaultCapacity = 64 * 1024;
  static constexpr std::size_t kQuickScanCapacity = 1024 * 1024;

  // Reads from fd (borrowed: it must stay open while attached; -1 detaches).
  void Attach(int fd);
  // Sizes the buffer (dropping what it holds when the size changes).
  void SetCapacity(std::size_t capacity);
  void Invalidate() { length_ = 0; }

  // The bytes available from offset on, at least one unless offset is at or
  // past the end of the file (then empty). Valid until the next call.
  // Returns 0 or the errno of a failed read.
  [[nodiscard]] int Peek(std::int64_t offset, std::string_view& bytes);

 private:
  int fd_ = -1;
  std::vector<char> buffer_;
  std::int64_t start_ = 0;  // file offset of buffer_[0]
  std::size_t length_ = 0;  // valid bytes in buffer_
};

}  // namespace runtime
