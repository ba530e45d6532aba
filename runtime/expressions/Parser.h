// Parses a filter text into a Program, without recursion: operators wait on
// an explicit stack (shunting-yard), so a deeply nested text cannot exhaust
// the thread's stack. Names resolve as they are read, through the field
// bindings (binding scopes first, then file fields).
//
// Grammar, loosest first:  OR;  AND;  NOT / ~ (prefix);  comparison;
// + - &;  * /;  prefix - +;  then numbers, 'texts', names, f(args) and (...).
// Binary operators group from the left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/expressions/Lexer.h"
#include "runtime/expressions/Program.h"

namespace runtime::expressions {

// Texts longer than this are refused.
inline constexpr std::size_t kMaxSourceLength = 64 * 1024;
// Parentheses and calls nested deeper than this are refused.
inline constexpr std::size_t kMaxNesting = 256;

struct ParseError {
  std::int32_t code = 0;     // a runtime ErrorCode (ExpressionSyntax ...)
  std::size_t position = 0;  // 1-based; 0 for the text as a whole
  std::string message;
};

class Parser {
 public:
  // program is borrowed for the parser's lifetime and receives the result.
  Parser(std::string_view source, Program& program) : source_(source), lexer_(source), program_(program) {
    pending_.reserve(16);
  }

  // False with error when the text is refused; program is then unusable.
  bool Parse(ParseError& error);

 private:
  struct Pending {
    enum class Kind : std::uint8_t { Operator, Group, Call };
    Kind kind = Kind::Operator;
    OpCode op = OpCode::Constant;
    std::uint8_t relation = 0;
    int precedence = 0;
    const FunctionDef* function = nullptr;
    std::size_t arguments = 0;  // Call: arguments complete so far
    std::size_t position = 0;
    std::string_view spelling;
  };

  bool Operand(const Token& token);
  bool Name(const Token& token);
  bool Open(Pending pending);
  bool Close(const Token& token, bool afterCallOpen);
  bool Comma(const Token& token);
  bool Binary(const Token& token);
  bool Prefix(const Token& token);
  bool Finish(const Token& token);
  // Emits waiting operators down to the innermost group or call, or down to
  // those binding more loosely than precedence.
  void Reduce(int precedence);
  bool Fail(std::int32_t code, std::size_t position, std::string message);

  std::string_view source_;
  Lexer lexer_;
  Program& program_;
  std::vector<Pending> pending_;
  std::size_t nesting_ = 0;
  bool expectOperand_ = true;
  bool callJustOpened_ = false;  // the token just read opened a call (so ')' may close it empty)
  ParseError* error_ = nullptr;
};

}  // namespace runtime::expressions
