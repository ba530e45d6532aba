// An owned, zero-terminated text buffer of a fixed capacity, handed to the
// mail library by address. The text stored is at most capacity - 1 bytes
// and is never cut inside a UTF-8 character. Used by one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace marlinden {

class MailText {
 public:
  // Allocates capacity bytes, zero-filled (the empty text).
  void Allocate(std::size_t capacity);
  void Free();

  // Stores text cut to the capacity; false when it had to be cut (or there
  // is no buffer).
  bool Set(std::string_view text);
  bool Fits(std::string_view text) const { return text.size() < capacity_; }

  // nullptr when not allocated.
  const char* Address() const { return bytes_.get(); }
  char* Address() { return bytes_.get(); }
  std::size_t Capacity() const { return capacity_; }
  std::string_view Text() const;

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace marlinden
