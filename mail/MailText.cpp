#include "mail/MailText.h"

#include <cstring>

#include "runtime/text/FixedText.h"

namespace marlinden {

void MailText::Allocate(std::size_t capacity) {
  bytes_ = std::make_unique<char[]>(capacity);  // zero-filled
  capacity_ = capacity;
}

void MailText::Free() {
  bytes_.reset();
  capacity_ = 0;
}

bool MailText::Set(std::string_view text) {
  if (capacity_ == 0) return false;
  const std::string_view kept = runtime::CutToWidth(text, capacity_ - 1);
  std::memset(bytes_.get(), 0, capacity_);
  std::memcpy(bytes_.get(), kept.data(), kept.size());
  return kept.size() == text.size();
}

std::string_view MailText::Text() const {
  if (capacity_ == 0) return {};
  return {bytes_.get(), strnlen(bytes_.get(), capacity_)};
}

}  // namespace marlinden
