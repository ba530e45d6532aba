#include "runtime/expressions/Expression.h"

#include "runtime/expressions/Parser.h"
#include "runtime/expressions/Program.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {

class CompiledExpression final : public Expression {
 public:
  expressions::Program& program() { return program_; }
  Value Evaluate() const override { return expressions::ToValue(program_.Run()); }

 protected:
  bool EvaluatesTrue() const override { return expressions::IsTrue(program_.Run()); }

 private:
  expressions::Program program_;
};

std::string Describe(const expressions::ParseError& error) {
  if (error.position == 0) return error.message;
  return error.message + " at position " + std::to_string(error.position);
}

}  // namespace

std::unique_ptr<Expression> Expression::Compile(std::string_view text, std::string* errorText) {
  // Built in place: the program's cells view literals it holds, so it never moves.
  auto expression = std::make_unique<CompiledExpression>();
  expressions::Parser parser(text, expression->program());
  expressions::ParseError error;
  if (!parser.Parse(error)) {
    const std::string description = Describe(error);
    SetError(error.code, {}, description);
    if (errorText != nullptr) *errorText = description;
    return nullptr;
  }
  ClearError();
  if (errorText != nullptr) errorText->clear();
  return expression;
}

bool Expression::IsTrue() const { return EvaluatesTrue(); }

}  // namespace runtime
