#include "runtime/text/FixedText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace runtime {

std::string_view Clip(std::string_view text) {
  // Fields are often wide and mostly padding: skip spaces 32 bytes at a
  // time, then eight, then one.
  constexpr std::uint64_t kEightSpaces = 0x2020202020202020ULL;
  std::size_t end = text.size();
  auto notSpaces = [&text](std::size_t at) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    return word ^ kEightSpaces;
  };
  while (end >= 32 && (notSpaces(end - 32) | notSpaces(end - 24) | notSpaces(end - 16) | notSpaces(end - 8)) == 0) {
    end -= 32;
  }
  while (end >= 8 && notSpaces(end - 8) == 0) end -= 8;
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::string_view CutToWidth(std::string_view text, std::size_t width) {
  if (text.size() <= width) return text;
  // When the cut falls inside a character (at most three continuation
  // bytes, 10xxxxxx, after its lead byte), cut before that character.
  // Stray continuation bytes are no character and are cut where they stand.
  auto byte = [&text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  if ((byte(width) & 0xC0) != 0x80) return text.substr(0, width);
  for (std::size_t back = 1; back <= 3 && back <= width; ++back) {
    const unsigned char lead = byte(width - back);
    if ((lead & 0xC0) == 0x80) continue;
    const std::size_t length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return text.substr(0, back < length ? width - back : width);
  }
  return text.substr(0, width);
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
