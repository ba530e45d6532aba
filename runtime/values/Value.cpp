#include "runtime/values/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace runtime {

Value Value::Text(std::string_view text) {
  Value v;
  v.kind_ = Kind::Text;
  v.text_ = std::string(text);
  return v;
}

Value Value::Integer(std::int64_t number) {
  Value v;
  v.kind_ = Kind::Integer;
  v.integer_ = number;
  return v;
}

Value Value::Real(double number) {
  Value v;
  v.kind_ = Kind::Real;
  v.real_ = number;
  return v;
}

namespace {
std::string RealText(double number) {
  if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15) {
    return std::to_string(static_cast<std::int64_t>(number));
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", number);
  return buffer;
}

double LeadingReal(std::string_view text) {
  std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return 0.0;
  const std::string part(text.substr(start, 64));
  // strtod also reads hexadecimal ("0x1A"); in a runtime text only the "0" is numeric.
  const std::size_t digits = part.find_first_not_of("+-");
  if (digits != std::string::npos && part.compare(digits, 2, "0x") == 0) return 0.0;
  if (digits != std::string::npos && part.compare(digits, 2, "0X") == 0) return 0.0;
  char* end = nullptr;
  const double value = std::strtod(part.c_str(), &end);
  if (end == part.c_str() || !std::isfinite(value)) return 0.0;
  return value;
}

std::int64_t Truncate(double number) {
  if (!(number == number)) return 0;
  if (number >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (number <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(number);
}
}  // namespace

std::string Value::AsText() const {
  switch (kind_) {
    case Kind::Text:
      return text_;
    case Kind::Integer:
      return std::to_string(integer_);
    case Kind::Real:
      return RealText(real_);
  }
  return {};
}

std::int64_t Value::AsInteger() const {
  switch (kind_) {
    case Kind::Text: {
      std::string_view text = text_;
      const std::size_t start = text.find_first_not_of(' ');
      if (start == std::string_view::npos) return 0;
      text.remove_prefix(start);
      std::int64_t number = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
      if (error == std::errc() && (end == text.data() + text.size() || (*end != '.' && *end != 'e' && *end != 'E')))
        return number;
      return Truncate(LeadingReal(text));
    }
    case Kind::Integer:
      return integer_;
    case Kind::Real:
      return Truncate(real_);
  }
  return 0;
}

double Value::AsReal() const {
  switch (kind_) {
    case Kind::Text:
      return LeadingReal(text_);
    case Kind::Integer:
      return static_cast<double>(integer_);
    case Kind::Real:
      return real_;
  }
  return 0.0;
}

int Compare(const Value& a, const Value& b, CaseMode mode) {
  if (a.IsNumeric() && b.IsNumeric()) {
    if (a.kind() == Value::Kind::Integer && b.kind() == Value::Kind::Integer) {
      const std::int64_t x = a.AsInteger(), y = b.AsInteger();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    const double x = a.AsReal(), y = b.AsReal();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  return CompareText(a.AsText(), b.AsText(), mode);
}

}  // namespace runtime
