#include "runtime/text/FixedText.h"

#include <algorithm>
#include <cstring>

namespace runtime {

std::string_view Clip(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::string_view CutToWidth(std::string_view text, std::size_t width) {
  if (text.size() <= width) return text;
  std::size_t cut = width;
  // Step back over continuation bytes (10xxxxxx) to the lead byte of the
  // character that straddles the cut, and cut before it.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

void StoreFixed(std::span<char> field, std::string_view text) {
  const std::string_view kept = CutToWidth(text, field.size());
  std::memcpy(field.data(), kept.data(), kept.size());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(kept.size()), field.end(), ' ');
}

std::string PadToWidth(std::string_view text, std::size_t width) {
  std::string out(width, ' ');
  StoreFixed(std::span<char>(out), text);
  return out;
}

namespace {
unsigned char Fold(unsigned char c, CaseMode mode) {
  if (mode == CaseMode::Insensitive && c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  return c;
}
}  // namespace

int CompareText(std::string_view a, std::string_view b, CaseMode mode) {
  a = Clip(a);
  b = Clip(b);
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char ca = Fold(static_cast<unsigned char>(a[i]), mode);
    const unsigned char cb = Fold(static_cast<unsigned char>(b[i]), mode);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(Fold(static_cast<unsigned char>(c), CaseMode::Insensitive));
  return out;
}

}  // namespace runtime
