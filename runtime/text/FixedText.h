// Fixed-length, space-padded text: the runtime's string fields and text
// globals. Helpers work on raw byte spans so that record buffers, queues and
// globals share one set of rules. Any thread may call them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace runtime {

enum class CaseMode { Sensitive, Insensitive };

// The text without its trailing spaces.
std::string_view Clip(std::string_view text);

// The longest prefix of text that fits in width bytes without splitting a
// UTF-8 character; a text that fits is returned whole.
std::string_view CutToWidth(std::string_view text, std::size_t width);

// Stores text in a fixed field: cut with CutToWidth, then padded with spaces.
void StoreFixed(std::span<char> field, std::string_view text);
std::string PadToWidth(std::string_view text, std::size_t width);

// The runtime's text comparison: trailing spaces are ignored, bytes compare
// unsigned; Insensitive folds ASCII letters (the same folding the keyed
// driver uses for keys that are not case-sensitive). Returns <0, 0 or >0.
int CompareText(std::string_view a, std::string_view b, CaseMode mode = CaseMode::Sensitive);
std::string UpperAscii(std::string_view text);

// A fixed text variable of N bytes (for example a 255-character path).
template <std::size_t N>
class FixedText {
 public:
  FixedText() { fill(); }
  explicit FixedText(std::string_view text) { Set(text); }

  void Set(std::string_view text) { StoreFixed(std::span<char>(bytes_), text); }
  void Clear() { fill(); }
  std::string_view Padded() const { return {bytes_.data(), N}; }
  std::string Clipped() const { return std::string(Clip(Padded())); }
  static constexpr std::size_t Width() { return N; }

 private:
  void fill() { bytes_.fill(' '); }
  std::array<char, N> bytes_{};
};

}  // namespace runtime
