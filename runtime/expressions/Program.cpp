#include "runtime/expressions/Program.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "runtime/expressions/Lexer.h"

namespace runtime::expressions {

namespace {

Cell Negate(const Cell& operand) {
  const Cell number = ToNumber(operand);
  if (number.kind == Cell::Kind::Real) return Cell::Real(-number.real);
  if (number.integer == std::numeric_limits<std::int64_t>::min())
    return Cell::Real(-static_cast<double>(number.integer));
  return Cell::Integer(-number.integer);
}

// Integers stay integers unless the result would overflow.
Cell Arithmetic(OpCode op, const Cell& left, const Cell& right) {
  const Cell a = ToNumber(left), b = ToNumber(right);
  if (a.kind == Cell::Kind::Integer && b.kind == Cell::Kind::Integer) {
    std::int64_t result = 0;
    bool overflow = false;
    switch (op) {
      case OpCode::Add:
        overflow = __builtin_add_overflow(a.integer, b.integer, &result);
        break;
      case OpCode::Subtract:
        overflow = __builtin_sub_overflow(a.integer, b.integer, &result);
        break;
      case OpCode::Multiply:
        overflow = __builtin_mul_overflow(a.integer, b.integer, &result);
        break;
      default: {  // Divide
        if (b.integer == 0) return Cell::Integer(0);
        if (b.integer == -1 && a.integer == std::numeric_limits<std::int64_t>::min()) break;
        if (a.integer % b.integer == 0) return Cell::Integer(a.integer / b.integer);
        break;
      }
    }
    if (op != OpCode::Divide && !overflow) return Cell::Integer(result);
  }
  const double x = ToReal(a), y = ToReal(b);
  switch (op) {
    case OpCode::Add:
      return Cell::Real(x + y);
    case OpCode::Subtract:
      return Cell::Real(x - y);
    case OpCode::Multiply:
      return Cell::Real(x * y);
    default:
      return y == 0.0 ? Cell::Integer(0) : Cell::Real(x / y);  // dividing by zero gives 0
  }
}

Cell Concatenate(const Cell& left, const Cell& right, std::string& scratch) {
  NumberText leftBuffer, rightBuffer;
  const std::string_view a = ToText(left, leftBuffer);
  const std::string_view b = ToText(right, rightBuffer);
  scratch.assign(a.substr(0, kMaxTextResult));
  scratch.append(b.substr(0, kMaxTextResult - scratch.size()));
  return Cell::Text(scratch);
}

Cell Relate(std::uint8_t relation, const Cell& left, const Cell& right) {
  const int order = CompareCells(left, right);
  const std::uint8_t outcome = order < 0 ? Less : (order > 0 ? Greater : Equal);
  return Cell::Boolean((relation & outcome) != 0);
}

}  // namespace

std::size_t Program::OperandCount(const Instruction& instruction) {
  switch (instruction.op) {
    case OpCode::Constant:
    case OpCode::Field:
      return 0;
    case OpCode::Negate:
    case OpCode::Plus:
    case OpCode::Not:
      return 1;
    case OpCode::Call:
      return instruction.argumentCount;
    default:
      return 2;
  }
}

Cell Program::Execute(const Instruction& in, const Cell* operands) {
  switch (in.op) {
    case OpCode::Constant:
      return in.constant;
    case OpCode::Field:
      return ReadField(in.field);
    case OpCode::Negate:
      return Negate(operands[0]);
    case OpCode::Plus:
      return ToNumber(operands[0]);
    case OpCode::Not:
      return Cell::Boolean(!IsTrue(operands[0]));
    case OpCode::Add:
    case OpCode::Subtract:
    case OpCode::Multiply:
    case OpCode::Divide:
      return Arithmetic(in.op, operands[0], operands[1]);
    case OpCode::Concat:
      return Concatenate(operands[0], operands[1], in.scratch);
    case OpCode::Compare:
      return Relate(in.relation, operands[0], operands[1]);
    case OpCode::And:
      return Cell::Boolean(IsTrue(operands[0]) && IsTrue(operands[1]));
    case OpCode::Or:
      return Cell::Boolean(IsTrue(operands[0]) || IsTrue(operands[1]));
    case OpCode::Call:
      return in.function->body(operands, in.argumentCount, in.scratch);
  }
  return {};
}

void Program::Append(Instruction instruction) {
  depth_ = depth_ - OperandCount(instruction) + 1;
  if (stack_.size() < depth_) stack_.resize(depth_);
  code_.push_back(std::move(instruction));
}

void Program::PushConstant(const Cell& value) {
  Instruction in;
  in.op = OpCode::Constant;
  in.constant = value;
  if (value.kind == Cell::Kind::Text) {
    in.constant.text = literals_.emplace_back(value.text);
  }
  Append(std::move(in));
}

void Program::PushText(std::string_view literal) { PushConstant(Cell::Text(literal)); }

void Program::PushField(const FieldRef& field) {
  Instruction in;
  in.op = OpCode::Field;
  in.field = field;
  Append(std::move(in));
}

void Program::ApplyOperator(OpCode op, std::uint8_t relation) {
  Instruction in;
  in.op = op;
  in.relation = relation;
  Append(std::move(in));
  FoldLast();
}

void Program::CallFunction(const FunctionDef& function, std::size_t argumentCount) {
  Instruction in;
  in.op = OpCode::Call;
  in.function = &function;
  in.argumentCount = argumentCount;
  Append(std::move(in));
  FoldLast();
}

void Program::FoldLast() {
  const Instruction& last = code_.back();
  const std::size_t count = OperandCount(last);
  if (code_.size() < count + 1) return;
  const auto first = code_.end() - 1 - static_cast<std::ptrdiff_t>(count);
  // The last `count` complete subexpressions are the operands; when each is
  // a single constant they are exactly the instructions before this one.
  if (!std::all_of(first, code_.end() - 1, [](const Instruction& in) { return in.op == OpCode::Constant; })) return;
  std::vector<Cell> operands;
  for (auto it = first; it != code_.end() - 1; ++it) operands.push_back(it->constant);
  const Cell value = Execute(last, operands.data());
  // Copy the value before dropping the instructions whose texts it may view.
  Instruction folded;
  folded.op = OpCode::Constant;
  folded.constant = value;
  if (value.kind == Cell::Kind::Text) folded.constant.text = literals_.emplace_back(value.text);
  code_.erase(first, code_.end());
  code_.push_back(std::move(folded));
}

const Cell& Program::Run() const {
  static const Cell kNothing;
  if (code_.empty()) return kNothing;
  Cell* const base = stack_.data();
  std::size_t size = 0;
  for (const Instruction& in : code_) {
    switch (in.op) {
      case OpCode::Constant:
        base[size++] = in.constant;
        break;
      case OpCode::Field:
        base[size++] = ReadField(in.field);
        break;
      case OpCode::Negate:
      case OpCode::Plus:
      case OpCode::Not:
        base[size - 1] = Execute(in, base + size - 1);
        break;
      case OpCode::Call: {
        const std::size_t first = size - in.argumentCount;
        base[first] = Execute(in, base + first);
        size = first + 1;
        break;
      }
      default:
        base[size - 2] = Execute(in, base + size - 2);
        --size;
        break;
    }
  }
  return base[0];
}

}  // namespace runtime::expressions
