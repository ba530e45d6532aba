#include "runtime/expressions/Cell.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/text/FixedText.h"

namespace runtime::expressions {

namespace {

// The same decimal form as Value::AsText.
std::string_view RealText(double number, NumberText& buffer) {
  if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15) {
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<std::int64_t>(number));
    return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
  }
  const int length = std::snprintf(buffer.data(), buffer.size(), "%.15g", number);
  return {buffer.data(), length < 0 ? 0 : std::min<std::size_t>(length, buffer.size() - 1)};
}

std::string_view SkipSpaces(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

// The leading real of text after spaces (Value's rule: at most 64 characters
// are read, 0 when there is no number or it is not finite).
double LeadingReal(std::string_view text) {
  text = SkipSpaces(text);
  if (text.empty()) return 0.0;
  char part[65];
  const std::size_t length = std::min<std::size_t>(text.size(), 64);
  std::memcpy(part, text.data(), length);
  part[length] = '\0';
  char* end = nullptr;
  const double value = std::strtod(part, &end);
  if (end == part || !std::isfinite(value)) return 0.0;
  return value;
}

std::int64_t Truncate(double number) {
  if (!(number == number)) return 0;
  if (number >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (number <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(number);
}

// The text's leading integer when it is a whole integer (not followed by a
// fraction or an exponent).
bool LeadingInteger(std::string_view text, std::int64_t& number) {
  text = SkipSpaces(text);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc()) return false;
  return end == text.data() + text.size() || (*end != '.' && *end != 'e' && *end != 'E');
}

// Clip, eight bytes at a time: a URL field is mostly padding, and it is
// clipped once per record read.
std::string_view ClipPadding(std::string_view text) {
  constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
  std::size_t end = text.size();
  while (end >= 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + end - 8, sizeof word);
    if (word != kSpaces) break;
    end -= 8;
  }
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

}  // namespace

std::string_view ToText(const Cell& cell, NumberText& buffer) {
  switch (cell.kind) {
    case Cell::Kind::Text:
      return cell.text;
    case Cell::Kind::Integer: {
      auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), cell.integer);
      return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
    }
    case Cell::Kind::Real:
      return RealText(cell.real, buffer);
  }
  return {};
}

std::string_view ToText(const Cell& cell, std::string& scratch) {
  if (cell.kind == Cell::Kind::Text) return cell.text;
  NumberText buffer;
  scratch.assign(ToText(cell, buffer));
  return scratch;
}

Cell ToNumber(const Cell& cell) {
  if (cell.IsNumeric()) return cell;
  std::int64_t number = 0;
  if (LeadingInteger(cell.text, number)) return Cell::Integer(number);
  const double real = LeadingReal(cell.text);
  if (real == std::trunc(real) && std::fabs(real) < 9.0e15) return Cell::Integer(static_cast<std::int64_t>(real));
  return Cell::Real(real);
}

std::int64_t ToInteger(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::Text: {
      std::int64_t number = 0;
      // Value::AsInteger reads "12e3" as 12, the integer before the letter.
      std::string_view text = SkipSpaces(cell.text);
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
      if (error == std::errc() && (end == text.data() + text.size() || *end != '.')) return number;
      return Truncate(LeadingReal(text));
    }
    case Cell::Kind::Integer:
      return cell.integer;
    case Cell::Kind::Real:
      return Truncate(cell.real);
  }
  return 0;
}

double ToReal(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::Text:
      return LeadingReal(cell.text);
    case Cell::Kind::Integer:
      return static_cast<double>(cell.integer);
    case Cell::Kind::Real:
      return cell.real;
  }
  return 0.0;
}

bool IsTrue(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::Text:
      return !Clip(cell.text).empty();
    case Cell::Kind::Integer:
      return cell.integer != 0;
    case Cell::Kind::Real:
      return cell.real != 0.0;
  }
  return false;
}

int CompareCells(const Cell& a, const Cell& b) {
  if (a.IsNumeric() && b.IsNumeric()) {
    if (a.kind == Cell::Kind::Integer && b.kind == Cell::Kind::Integer) {
      return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    }
    const double x = ToReal(a), y = ToReal(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  NumberText left, right;
  return CompareText(ToText(a, left), ToText(b, right));
}

Cell ReadField(const FieldRef& field) {
  if (field.IsText()) return Cell::Text(ClipPadding(field.Bytes()));
  const Value value = field.Get();
  if (value.kind() == Value::Kind::Real) return Cell::Real(value.AsReal());
  return Cell::Integer(value.AsInteger());
}

Value ToValue(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::Text:
      return Value::Text(cell.text);
    case Cell::Kind::Integer:
      return Value::Integer(cell.integer);
    case Cell::Kind::Real:
      return Value::Real(cell.real);
  }
  return {};
}

}  // namespace runtime::expressions
