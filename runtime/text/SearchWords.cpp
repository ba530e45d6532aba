#include "runtime/text/SearchWords.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>

namespace runtime {

namespace {

bool AsciiWordByte(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool AllAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Most addresses and titles are ASCII: split and lower them without ICU.
void AppendAsciiWords(std::string_view text, std::vector<std::string>& words) {
  std::string word;
  for (const char c : text) {
    if (AsciiWordByte(c)) {
      word.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
}

// Folds one run of valid UTF-8 and appends its words. The run holds no
// invalid byte, so ICU reads it as it stands.
void AppendUnicodeWords(std::string_view run, std::vector<std::string>& words) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* decompose = icu::Normalizer2::getNFDInstance(status);
  icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(run.data(), static_cast<int32_t>(run.size())));
  text.foldCase();
  if (decompose != nullptr && U_SUCCESS(status)) {
    icu::UnicodeString decomposed = decompose->normalize(text, status);
    if (U_SUCCESS(status)) text = std::move(decomposed);
  }
  icu::UnicodeString word;
  auto flush = [&] {
    if (word.isEmpty()) return;
    std::string utf8;
    word.toUTF8String(utf8);
    words.push_back(std::move(utf8));
    word.remove();
  };
  for (int32_t at = 0; at < text.length();) {
    const UChar32 c = text.char32At(at);
    at += U16_LENGTH(c);
    if ((U_GET_GC_MASK(c) & U_GC_M_MASK) != 0) continue;  // an accent, kept off its letter
    if (u_isalnum(c)) {
      word.append(c);
    } else {
      flush();
    }
  }
  flush();
}

}  // namespace

void AppendSearchWords(std::string_view text, std::vector<std::string>& words) {
  if (AllAscii(text)) {
    AppendAsciiWords(text, words);
    return;
  }
  // Invalid bytes end a word; each valid run between them is folded whole,
  // so a letter and its accent stay together.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t runStart = 0;
  std::int32_t at = 0;
  while (at < length) {
    const std::int32_t start = at;
    UChar32 c = 0;
    U8_NEXT(bytes, at, length, c);
    if (c >= 0) continue;
    AppendUnicodeWords(text.substr(static_cast<std::size_t>(runStart), static_cast<std::size_t>(start - runStart)),
                       words);
    runStart = at;
  }
  AppendUnicodeWords(text.substr(static_cast<std::size_t>(runStart)), words);
}

std::vector<std::string> SearchWords(std::string_view text) {
  std::vector<std::string> words;
  AppendSearchWords(text, words);
  return words;
}

bool MatchesEveryPrefix(const std::vector<std::string>& wanted, const std::vector<std::string>& words) {
  return std::all_of(wanted.begin(), wanted.end(), [&words](const std::string& prefix) {
    return std::any_of(words.begin(), words.end(),
                       [&prefix](const std::string& word) { return word.starts_with(prefix); });
  });
}

}  // namespace runtime
