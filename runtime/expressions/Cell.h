// One value on the evaluator's stack. A text cell is a view: into a field's
// storage, into a literal kept by the program, or into the scratch text of
// the instruction that produced it. That is what keeps evaluation free of
// allocations beyond the texts that functions build. Conversions follow the
// rules of runtime::Value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/values/FieldRef.h"
#include "runtime/values/Value.h"

namespace runtime::expressions {

// Longest text a function or operator builds; longer results are cut.
inline constexpr std::size_t kMaxTextResult = 64 * 1024;

struct Cell {
  using Kind = Value::Kind;

  static Cell Text(std::string_view text) { return {Kind::Text, 0, 0.0, text}; }
  static Cell Integer(std::int64_t number) { return {Kind::Integer, number, 0.0, {}}; }
  static Cell Real(double number) { return {Kind::Real, 0, number, {}}; }
  static Cell Boolean(bool truth) { return Integer(truth ? 1 : 0); }

  bool IsNumeric() const { return kind != Kind::Text; }

  Kind kind = Kind::Integer;
  std::int64_t integer = 0;
  double real = 0.0;
  std::string_view text;
};

// Room for the decimal form of any number.
using NumberText = std::array<char, 40>;

// The cell as text: a text as it is, a number in its decimal form written
// into buffer (so the result lives as long as buffer).
std::string_view ToText(const Cell& cell, NumberText& buffer);
// The cell as text that lives as long as the cell or scratch: numbers are
// written into scratch.
std::string_view ToText(const Cell& cell, std::string& scratch);
// A number: texts give their leading numeric part (0 when none), as an
// integer when they read as one.
Cell ToNumber(const Cell& cell);
std::int64_t ToInteger(const Cell& cell);
double ToReal(const Cell& cell);

// A non-zero number or a non-blank text.
bool IsTrue(const Cell& cell);
// Numerically when both are numbers, else as texts with trailing spaces
// ignored; <0, 0 or >0 (runtime::Compare).
int CompareCells(const Cell& a, const Cell& b);

// The field's current value: text fields as a view of their clipped bytes.
Cell ReadField(const FieldRef& field);
Value ToValue(const Cell& cell);

}  // namespace runtime::expressions
