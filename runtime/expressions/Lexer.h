// Splits a filter text into tokens: names (labels may hold ':', as in
// WEB:URL), numbers, texts in single quotes (a doubled quote stands for one),
// operators and punctuation. Keywords (AND, OR, NOT) are case-insensitive.
// Positions are 1-based offsets into the text, for error messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/expressions/Cell.h"

namespace runtime::expressions {

enum class TokenKind : std::uint8_t {
  End,
  Number,
  Text,
  Name,
  LeftParen,
  RightParen,
  Comma,
  Plus,
  Minus,
  Star,
  Slash,
  Ampersand,
  Comparison,  // see Relation
  Not,         // NOT or a lone ~
  And,
  Or,
};

// The outcomes of a comparison that make it true, as bits. A comparison
// operator is any run of '<', '>', '=' and '~' naming each at most once:
// '<', '=' and '>' add their outcome, '~' negates the whole, so "<>" and
// "~=" both mean "not equal" and "~<" means "not less".
enum Relation : std::uint8_t { Less = 1, Equal = 2, Greater = 4 };

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t position = 0;   // 1-based
  std::string_view spelling;  // as written
  std::string text;           // Text: the literal with doubled quotes undone
  Cell number;                // Number
  std::uint8_t relation = 0;  // Comparison: Relation bits
};

struct LexError {
  std::size_t position = 0;
  std::string message;
};

class Lexer {
 public:
  explicit Lexer(std::string_view source) : source_(source) {}

  // Reads the next token; false (with error) when the text has none there.
  bool Next(Token& token, LexError& error);
  // True when the next character after spaces is '(' (a name before it
  // calls a function).
  bool AtLeftParen();

 private:
  bool ReadNumber(Token& token, LexError& error);
  bool ReadText(Token& token, LexError& error);
  bool ReadOperatorRun(Token& token, LexError& error);
  void SkipSpaces();

  std::string_view source_;
  std::size_t at_ = 0;
};

}  // namespace runtime::expressions
