#include "runtime/expressions/Lexer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "runtime/text/FixedText.h"

namespace runtime::expressions {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == ':'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsRelationChar(char c) { return c == '<' || c == '>' || c == '=' || c == '~'; }

bool SameWord(std::string_view word, std::string_view keyword) {
  return word.size() == keyword.size() && CompareText(word, keyword, CaseMode::Insensitive) == 0;
}

std::string Describe(char c) {
  const auto byte = static_cast<unsigned char>(c);
  char text[32];
  if (byte >= 0x21 && byte < 0x7F) {
    std::snprintf(text, sizeof text, "'%c'", c);
  } else {
    std::snprintf(text, sizeof text, "character 0x%02X", byte);
  }
  return text;
}

}  // namespace

void Lexer::SkipSpaces() {
  while (at_ < source_.size() && IsSpace(source_[at_])) ++at_;
}

bool Lexer::AtLeftParen() {
  SkipSpaces();
  return at_ < source_.size() && source_[at_] == '(';
}

bool Lexer::Next(Token& token, LexError& error) {
  SkipSpaces();
  token.position = at_ + 1;
  token.relation = 0;
  if (at_ >= source_.size()) {
    token.kind = TokenKind::End;
    token.spelling = {};
    return true;
  }
  const std::size_t start = at_;
  const char c = source_[at_];
  if (IsDigit(c) || (c == '.' && at_ + 1 < source_.size() && IsDigit(source_[at_ + 1])))
    return ReadNumber(token, error);
  if (c == '\'') return ReadText(token, error);
  if (IsLetter(c)) {
    while (at_ < source_.size() && IsNameChar(source_[at_])) ++at_;
    token.spelling = source_.substr(start, at_ - start);
    token.kind = SameWord(token.spelling, "AND")   ? TokenKind::And
                 : SameWord(token.spelling, "OR")  ? TokenKind::Or
                 : SameWord(token.spelling, "NOT") ? TokenKind::Not
                                                   : TokenKind::Name;
    return true;
  }
  if (IsRelationChar(c)) return ReadOperatorRun(token, error);
  ++at_;
  token.spelling = source_.substr(start, 1);
  switch (c) {
    case '(':
      token.kind = TokenKind::LeftParen;
      return true;
    case ')':
      token.kind = TokenKind::RightParen;
      return true;
    case ',':
      token.kind = TokenKind::Comma;
      return true;
    case '+':
      token.kind = TokenKind::Plus;
      return true;
    case '-':
      token.kind = TokenKind::Minus;
      return true;
    case '*':
      token.kind = TokenKind::Star;
      return true;
    case '/':
      token.kind = TokenKind::Slash;
      return true;
    case '&':
      token.kind = TokenKind::Ampersand;
      return true;
    default:
      break;
  }
  error = {start + 1, "unexpected " + Describe(c)};
  return false;
}

bool Lexer::ReadNumber(Token& token, LexError& error) {
  const std::size_t start = at_;
  bool whole = true;
  while (at_ < source_.size() && IsDigit(source_[at_])) ++at_;
  if (at_ < source_.size() && source_[at_] == '.') {
    whole = false;
    ++at_;
    while (at_ < source_.size() && IsDigit(source_[at_])) ++at_;
  }
  if (at_ < source_.size() && (source_[at_] == 'e' || source_[at_] == 'E')) {
    std::size_t exponent = at_ + 1;
    if (exponent < source_.size() && (source_[exponent] == '+' || source_[exponent] == '-')) ++exponent;
    if (exponent < source_.size() && IsDigit(source_[exponent])) {
      whole = false;
      at_ = exponent;
      while (at_ < source_.size() && IsDigit(source_[at_])) ++at_;
    }
  }
  token.kind = TokenKind::Number;
  token.spelling = source_.substr(start, at_ - start);
  const char* first = token.spelling.data();
  const char* last = first + token.spelling.size();
  if (whole) {
    std::int64_t integer = 0;
    if (auto [end, status] = std::from_chars(first, last, integer); status == std::errc() && end == last) {
      token.number = Cell::Integer(integer);
      return true;
    }
  }
  double real = 0.0;
  auto [end, status] = std::from_chars(first, last, real);
  if (status != std::errc() || end != last || !std::isfinite(real)) {
    error = {start + 1, "number " + std::string(token.spelling.substr(0, 40)) + " out of range"};
    return false;
  }
  token.number = Cell::Real(real);
  return true;
}

bool Lexer::ReadText(Token& token, LexError& error) {
  const std::size_t start = at_;
  token.text.clear();
  ++at_;
  for (;;) {
    const std::size_t quote = source_.find('\'', at_);
    if (quote == std::string_view::npos) {
      error = {start + 1, "text literal without its closing quote"};
      return false;
    }
    token.text.append(source_.substr(at_, quote - at_));
    at_ = quote + 1;
    if (at_ < source_.size() && source_[at_] == '\'') {  // a doubled quote inside the literal
      token.text.push_back('\'');
      ++at_;
      continue;
    }
    break;
  }
  token.kind = TokenKind::Text;
  token.spelling = source_.substr(start, at_ - start);
  return true;
}

bool Lexer::ReadOperatorRun(Token& token, LexError& error) {
  const std::size_t start = at_;
  // A '~' not followed by another operator character is NOT.
  if (source_[at_] == '~' && (at_ + 1 >= source_.size() || !IsRelationChar(source_[at_ + 1]))) {
    ++at_;
    token.kind = TokenKind::Not;
    token.spelling = source_.substr(start, 1);
    return true;
  }
  bool less = false, equal = false, greater = false, negated = false, repeated = false;
  for (; at_ < source_.size() && IsRelationChar(source_[at_]); ++at_) {
    bool& seen = source_[at_] == '<' ? less : source_[at_] == '>' ? greater : source_[at_] == '=' ? equal : negated;
    repeated = repeated || seen;
    seen = true;
  }
  token.spelling = source_.substr(start, at_ - start);
  if (repeated || !(less || equal || greater)) {
    error = {start + 1, "unknown operator '" + std::string(token.spelling.substr(0, 20)) + "'"};
    return false;
  }
  std::uint8_t relation = (less ? Less : 0) | (equal ? Equal : 0) | (greater ? Greater : 0);
  if (negated) relation = static_cast<std::uint8_t>(~relation & (Less | Equal | Greater));
  token.kind = TokenKind::Comparison;
  token.relation = relation;
  return true;
}

}  // namespace runtime::expressions
