#include "runtime/text/CaseFolding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <functional>

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

std::string Utf8(UChar32 c) {
  std::string out;
  AppendUtf8(out, c);
  return out;
}

// text with each character outside ASCII replaced by the spelling of the
// same length that Better prefers among its cases.
template <typename Better>
std::string CaseSpelling(std::string_view text, Better better) {
  std::string out;
  ForEachCharacter(text, [&out, better](UChar32 c, std::string_view bytes) {
    if (c < 0x80) {
      out.append(bytes);
      return;
    }
    std::string chosen(bytes);
    // The cases of its capital too: "ς" and "σ" share "Σ".
    const UChar32 upper = u_toupper(c);
    for (const UChar32 other : {upper, u_tolower(c), u_totitle(c), u_tolower(upper)}) {
      const std::string spelled = Utf8(other);
      if (spelled.size() == chosen.size() && better(spelled, chosen)) chosen = spelled;
    }
    out += chosen;
  });
  return out;
}

}  // namespace

std::string LowestCaseSpelling(std::string_view text) { return CaseSpelling(text, std::less<std::string>()); }
std::string HighestCaseSpelling(std::string_view text) { return CaseSpelling(text, std::greater<std::string>()); }

void AssignUpperText(std::string& out, std::string_view text) { AssignMapped<u_toupper>(out, text); }
void AssignLowerText(std::string& out, std::string_view text) { AssignMapped<u_tolower>(out, text); }

void FoldKeyCase(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

std::string UpperText(std::string_view text) {
  std::string out;
  AssignUpperText(out, text);
  return out;
}

}  // namespace runtime
