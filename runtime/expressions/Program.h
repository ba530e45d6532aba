// A compiled filter text: its tree in postfix order, run on a stack of
// cells. Running walks the instructions once with no recursion and no
// allocation beyond the texts functions build (kept in each instruction's
// scratch and reused). Operators and calls whose operands are all constants
// are folded while the program is built, so UPPER('x') costs nothing per
// record. Not copyable or movable: cells view literals it keeps.
// One program runs on one thread at a time (the runtime lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/expressions/Cell.h"
#include "runtime/expressions/Functions.h"
#include "runtime/values/FieldRef.h"

namespace runtime::expressions {

enum class OpCode : std::uint8_t {
  Constant,
  Field,
  // unary
  Negate,
  Plus,
  Not,
  // binary
  Add,
  Subtract,
  Multiply,
  Divide,
  Concat,
  Compare,
  And,
  Or,
  // n-ary
  Call,
};

class Program {
 public:
  Program() { code_.reserve(16); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // --- Building, in postfix order ---
  void PushConstant(const Cell& value);
  void PushText(std::string_view literal);
  void PushField(const FieldRef& field);
  // op is unary or binary; relation (Relation bits) is for Compare.
  void ApplyOperator(OpCode op, std::uint8_t relation = 0);
  void CallFunction(const FunctionDef& function, std::size_t argumentCount);

  // --- Running ---
  // Requires: a complete program (one value left on the stack). The result
  // lives until the next Run.
  const Cell& Run() const;

  std::size_t InstructionCount() const { return code_.size(); }

 private:
  struct Instruction {
    OpCode op = OpCode::Constant;
    std::uint8_t relation = 0;
    std::size_t argumentCount = 0;
    const FunctionDef* function = nullptr;
    Cell constant;
    FieldRef field;
    mutable std::string scratch;  // the text this instruction last built
  };

  static std::size_t OperandCount(const Instruction& instruction);
  static Cell Execute(const Instruction& instruction, const Cell* operands);
  void Append(Instruction instruction);
  // Replaces the instruction just appended and its constant operands by its
  // value, when all its operands are constants.
  void FoldLast();

  std::vector<Instruction> code_;
  std::deque<std::string> literals_;  // a deque never moves its elements
  std::size_t depth_ = 0;             // stack depth after the last instruction
  mutable std::vector<Cell> stack_;   // sized to the deepest point while building
};

}  // namespace runtime::expressions
