#include "runtime/text/CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace runtime {

namespace {

// Calls each(code point, its bytes) for every character of text; an invalid
// byte is passed as itself with a negative code point.
template <typename Each>
void ForEachCharacter(std::string_view text, Each each) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t at = 0;
  while (at < length) {
    const std::int32_t start = at;
    UChar32 c = 0;
    U8_NEXT(bytes, at, length, c);
    each(c, text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(at - start)));
  }
}

void AppendUtf8(std::string& out, UChar32 c) {
  std::uint8_t buffer[U8_MAX_LENGTH];
  std::int32_t n = 0;
  U8_APPEND_UNSAFE(buffer, n, c);  // c is a mapped code point, always valid
  out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

// out = text with each valid character mapped by Map; out's storage is
// reused, so a filter calling it on every row does not allocate each time.
template <UChar32 (*Map)(UChar32)>
void AssignMapped(std::string& out, std::string_view text) {
  out.clear();
  ForEachCharacter(text, [&out](UChar32 c, std::string_view bytes) {
    if (c < 0) {
      out.append(bytes);
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(Map(c)));
    } else {
      AppendUtf8(out, Map(c));
    }
  });
}

}  // namespace

void AssignUpperText(std::string& out, std::string_view text) { AssignMapped<u_toupper>(out, text); }
void AssignLowerText(std::string& out, std::string_view text) { AssignMapped<u_tolower>(out, text); }

std::string UpperText(std::string_view text) {
  std::string out;
  AssignUpperText(out, text);
  return out;
}

}  // namespace runtime
