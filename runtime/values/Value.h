// A typed value: what a generic field reference reads and writes. Values
// convert between text, integer and real on demand, the way the runtime
// converts on assignment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/text/FixedText.h"

namespace runtime {

class Value {
 public:
  enum class Kind : std::uint8_t { Text, Integer, Real };

  Value() = default;
  static Value Text(std::string_view text);
  static Value Integer(std::int64_t number);
  static Value Real(double number);

  Kind kind() const { return kind_; }
  bool IsNumeric() const { return kind_ != Kind::Text; }

  // Conversions: a number as text is its decimal form (reals without
  // trailing zeros); a text as a number is its leading numeric part after
  // spaces, 0 when it has none; a real as integer is truncated towards zero.
  std::string AsText() const;
  std::int64_t AsInteger() const;
  double AsReal() const;

 private:
  Kind kind_ = Kind::Integer;
  std::string text_;
  std::int64_t integer_ = 0;
  double real_ = 0.0;
};

// Compares two values the way the runtime does: numerically when both are
// numbers, else as texts (trailing spaces ignored). Returns <0, 0 or >0.
int Compare(const Value& a, const Value& b, CaseMode mode = CaseMode::Sensitive);

}  // namespace runtime
