#include "runtime/expressions/Functions.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "runtime/text/CaseFolding.h"
#include "runtime/text/FixedText.h"

namespace runtime::expressions {

namespace {

// A piece of argument's text: when the argument was a number its text was
// written to a local buffer, so the piece is copied into scratch.
Cell Keep(std::string_view piece, const Cell& argument, std::string& scratch) {
  if (argument.kind == Cell::Kind::Text) return Cell::Text(piece);
  scratch.assign(piece);
  return Cell::Text(scratch);
}

// A count argument clamped to [0, kMaxTextResult], so sizes never overflow.
std::size_t Count(const Cell& argument) {
  return static_cast<std::size_t>(std::clamp<std::int64_t>(ToInteger(argument), 0, kMaxTextResult));
}

// UPPER and LOWER: every letter, not only A to Z ("zürich" gives "ZÜRICH").
template <void (*Convert)(std::string&, std::string_view)>
Cell Fold(const Cell* arguments, std::size_t, std::string& scratch) {
  NumberText buffer;
  Convert(scratch, ToText(arguments[0], buffer));
  return Cell::Text(scratch);
}

// SUB(text, start[, length]): 1-based; a negative start counts from the end
// (-1 is the last character) and 0 reads as 1; a length below 1 gives an
// empty text; without a length, the rest of the text.
Cell Sub(const Cell* arguments, std::size_t count, std::string& scratch) {
  NumberText buffer;
  const std::string_view text = ToText(arguments[0], buffer);
  const auto size = static_cast<std::int64_t>(text.size());
  const std::int64_t start = ToInteger(arguments[1]);
  const std::int64_t length = count > 2 ? ToInteger(arguments[2]) : size;
  if (length <= 0) return Cell::Text({});
  std::int64_t offset = start >= 1 ? start - 1 : (start == 0 ? 0 : std::max<std::int64_t>(size + start, 0));
  if (offset >= size) return Cell::Text({});
  const std::int64_t taken = std::min(length, size - offset);
  return Keep(text.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(taken)), arguments[0], scratch);
}

// INSTRING(sought, text[, step[, start]]): the position of sought in text,
// looking at start, start + step, ... (backwards for a negative step, 0
// reads as 1); 0 when it is not found. An empty sought text is found at the
// start position.
Cell InString(const Cell* arguments, std::size_t count, std::string&) {
  NumberText soughtBuffer, textBuffer;
  const std::string_view sought = ToText(arguments[0], soughtBuffer);
  const std::string_view text = ToText(arguments[1], textBuffer);
  std::int64_t step = count > 2 ? ToInteger(arguments[2]) : 1;
  const std::int64_t start = count > 3 ? ToInteger(arguments[3]) : 1;
  if (step == 0) step = 1;
  const auto size = static_cast<std::int64_t>(text.size());
  const auto last = size - static_cast<std::int64_t>(sought.size()) + 1;  // last position a match fits at
  if (last < 1) return Cell::Integer(0);
  if (step > 0) {
    std::int64_t position = std::max<std::int64_t>(start, 1);
    if (step == 1) {
      if (position > last) return Cell::Integer(0);
      const std::size_t found = text.find(sought, static_cast<std::size_t>(position - 1));
      return Cell::Integer(found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1);
    }
    for (; position <= last; position += step) {
      if (text.substr(static_cast<std::size_t>(position - 1), sought.size()) == sought) return Cell::Integer(position);
      if (step > last) break;  // the next position is past the end; stop before it overflows
    }
    return Cell::Integer(0);
  }
  for (std::int64_t position = std::min(start, last); position >= 1; position += step) {
    if (text.substr(static_cast<std::size_t>(position - 1), sought.size()) == sought) return Cell::Integer(position);
  }
  return Cell::Integer(0);
}

Cell ClipText(const Cell* arguments, std::size_t, std::string& scratch) {
  NumberText buffer;
  return Keep(Clip(ToText(arguments[0], buffer)), arguments[0], scratch);
}

// LEFT(text[, length]): without its leading spaces; with a length, cut or
// padded to it.
Cell Left(const Cell* arguments, std::size_t count, std::string& scratch) {
  NumberText buffer;
  std::string_view text = ToText(arguments[0], buffer);
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  if (count < 2) return Keep(text, arguments[0], scratch);
  const std::size_t length = Count(arguments[1]);
  scratch.assign(text.substr(0, length));
  scratch.resize(length, ' ');
  return Cell::Text(scratch);
}

// ALL(text[, length]): text repeated to length characters (255 by default).
Cell All(const Cell* arguments, std::size_t count, std::string& scratch) {
  NumberText buffer;
  const std::string_view text = ToText(arguments[0], buffer);
  const std::size_t length = count > 1 ? Count(arguments[1]) : 255;
  scratch.clear();
  if (text.empty()) return Cell::Text({});
  while (scratch.size() < length) scratch.append(text.substr(0, length - scratch.size()));
  return Cell::Text(scratch);
}

Cell Length(const Cell* arguments, std::size_t, std::string&) {
  NumberText buffer;
  return Cell::Integer(static_cast<std::int64_t>(ToText(arguments[0], buffer).size()));
}

constexpr std::array kFunctions = {
    FunctionDef{"ALL", 1, 2, All},           FunctionDef{"CLIP", 1, 1, ClipText},
    FunctionDef{"INSTRING", 2, 4, InString}, FunctionDef{"LEFT", 1, 2, Left},
    FunctionDef{"LEN", 1, 1, Length},        FunctionDef{"LOWER", 1, 1, Fold<AssignLowerText>},
    FunctionDef{"SUB", 2, 3, Sub},           FunctionDef{"UPPER", 1, 1, Fold<AssignUpperText>},
};

}  // namespace

const FunctionDef* FindFunction(std::string_view name) {
  for (const FunctionDef& function : kFunctions) {
    if (CompareText(function.name, name, CaseMode::Insensitive) == 0 && function.name.size() == name.size()) {
      return &function;
    }
  }
  return nullptr;
}

}  // namespace runtime::expressions
