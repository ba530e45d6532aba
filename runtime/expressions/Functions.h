// The functions a filter text may call, looked up by name (case-insensitive).
// Every function takes any value and converts it as it needs; none can fail,
// whatever its arguments, so evaluation never stops half-way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "runtime/expressions/Cell.h"

namespace runtime::expressions {

struct FunctionDef {
  // The result may view an argument's text or scratch, which belongs to the
  // calling instruction and is reused on its next evaluation.
  using Body = Cell (*)(const Cell* arguments, std::size_t count, std::string& scratch);

  std::string_view name;  // upper case
  std::size_t minArguments;
  std::size_t maxArguments;
  Body body;
};

// nullptr when the language has no function of that name.
const FunctionDef* FindFunction(std::string_view name);

}  // namespace runtime::expressions
