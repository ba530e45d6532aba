#include "runtime/expressions/Parser.h"

#include <limits>
#include <utility>

#include "runtime/system/RuntimeError.h"
#include "runtime/values/FieldBindings.h"

namespace runtime::expressions {

namespace {

constexpr int kLowest = std::numeric_limits<int>::min();
constexpr int kPrefixNotPrecedence = 3;
constexpr int kPrefixSignPrecedence = 7;

// A token as quoted in a message, cut so a huge literal stays readable.
std::string Quote(std::string_view spelling) {
  constexpr std::size_t kShown = 40;
  if (spelling.empty()) return "the end";
  if (spelling.size() <= kShown) return "'" + std::string(spelling) + "'";
  return "'" + std::string(spelling.substr(0, kShown)) + "...'";
}

std::string ArgumentCountText(const FunctionDef& function) {
  std::string text = std::string(function.name) + " takes " + std::to_string(function.minArguments);
  if (function.maxArguments != function.minArguments) text += " to " + std::to_string(function.maxArguments);
  text += function.maxArguments == 1 ? " argument" : " arguments";
  return text;
}

}  // namespace

bool Parser::Parse(ParseError& error) {
  error_ = &error;
  if (source_.size() > kMaxSourceLength) {
    return Fail(ExpressionSyntax, 0, "text longer than " + std::to_string(kMaxSourceLength) + " characters");
  }
  Token token;
  LexError lexError;
  for (;;) {
    if (!lexer_.Next(token, lexError)) return Fail(ExpressionSyntax, lexError.position, lexError.message);
    const bool afterCallOpen = callJustOpened_;
    callJustOpened_ = false;
    bool ok = false;
    switch (token.kind) {
      case TokenKind::End:
        return Finish(token);
      case TokenKind::Number:
      case TokenKind::Text:
        ok = Operand(token);
        break;
      case TokenKind::Name:
        ok = Name(token);
        break;
      case TokenKind::LeftParen: {
        if (!expectOperand_) return Fail(ExpressionSyntax, token.position, "operator expected before '('");
        Pending group;
        group.kind = Pending::Kind::Group;
        group.position = token.position;
        ok = Open(group);
        break;
      }
      case TokenKind::RightParen:
        ok = Close(token, afterCallOpen);
        break;
      case TokenKind::Comma:
        ok = Comma(token);
        break;
      case TokenKind::Not:
        ok = Prefix(token);
        break;
      case TokenKind::Minus:
      case TokenKind::Plus:
        ok = expectOperand_ ? Prefix(token) : Binary(token);
        break;
      default:
        ok = Binary(token);
        break;
    }
    if (!ok) return false;
  }
}

bool Parser::Operand(const Token& token) {
  if (!expectOperand_)
    return Fail(ExpressionSyntax, token.position, "operator expected before " + Quote(token.spelling));
  if (token.kind == TokenKind::Number) {
    program_.PushConstant(token.number);
  } else {
    program_.PushText(token.text);
  }
  expectOperand_ = false;
  return true;
}

bool Parser::Name(const Token& token) {
  if (!expectOperand_)
    return Fail(ExpressionSyntax, token.position, "operator expected before " + Quote(token.spelling));
  if (lexer_.AtLeftParen()) {
    const FunctionDef* function = FindFunction(token.spelling);
    if (function == nullptr) {
      return Fail(ExpressionUnknownFunction, token.position, "unknown function " + Quote(token.spelling));
    }
    Token paren;
    LexError unused;
    (void)lexer_.Next(paren, unused);  // the '(' just seen
    Pending call;
    call.kind = Pending::Kind::Call;
    call.function = function;
    call.position = token.position;
    call.spelling = token.spelling;
    if (!Open(call)) return false;
    callJustOpened_ = true;
    return true;
  }
  const std::optional<FieldRef> field = FindField(token.spelling);
  if (!field || !field->Valid())
    return Fail(ExpressionUnknownName, token.position, "unknown name " + Quote(token.spelling));
  program_.PushField(*field);
  expectOperand_ = false;
  return true;
}

bool Parser::Open(Pending pending) {
  if (++nesting_ > kMaxNesting) {
    return Fail(ExpressionSyntax, pending.position, "nested deeper than " + std::to_string(kMaxNesting) + " levels");
  }
  pending_.push_back(pending);
  expectOperand_ = true;
  return true;
}

bool Parser::Close(const Token& token, bool afterCallOpen) {
  const bool emptyCall = expectOperand_ && afterCallOpen;
  if (expectOperand_ && !emptyCall) return Fail(ExpressionSyntax, token.position, "operand expected before ')'");
  Reduce(kLowest);
  if (pending_.empty()) return Fail(ExpressionSyntax, token.position, "')' without a matching '('");
  const Pending open = pending_.back();
  pending_.pop_back();
  --nesting_;
  if (open.kind == Pending::Kind::Call) {
    const FunctionDef& function = *open.function;
    const std::size_t count = open.arguments + (emptyCall ? 0 : 1);
    if (count < function.minArguments || count > function.maxArguments) {
      return Fail(ExpressionArguments, open.position, ArgumentCountText(function) + ", not " + std::to_string(count));
    }
    program_.CallFunction(function, count);
  }
  expectOperand_ = false;
  return true;
}

bool Parser::Comma(const Token& token) {
  if (expectOperand_) return Fail(ExpressionSyntax, token.position, "operand expected before ','");
  Reduce(kLowest);
  if (pending_.empty() || pending_.back().kind != Pending::Kind::Call) {
    return Fail(ExpressionSyntax, token.position, "',' outside a function's arguments");
  }
  Pending& call = pending_.back();
  if (++call.arguments >= call.function->maxArguments) {
    return Fail(ExpressionArguments, token.position, ArgumentCountText(*call.function) + ", given more");
  }
  expectOperand_ = true;
  return true;
}

bool Parser::Binary(const Token& token) {
  if (expectOperand_) return Fail(ExpressionSyntax, token.position, "operand expected before " + Quote(token.spelling));
  Pending pending;
  pending.position = token.position;
  pending.spelling = token.spelling;
  switch (token.kind) {
    case TokenKind::Or:
      pending.op = OpCode::Or, pending.precedence = 1;
      break;
    case TokenKind::And:
      pending.op = OpCode::And, pending.precedence = 2;
      break;
    case TokenKind::Comparison:
      pending.op = OpCode::Compare, pending.precedence = 4, pending.relation = token.relation;
      break;
    case TokenKind::Plus:
      pending.op = OpCode::Add, pending.precedence = 5;
      break;
    case TokenKind::Minus:
      pending.op = OpCode::Subtract, pending.precedence = 5;
      break;
    case TokenKind::Ampersand:
      pending.op = OpCode::Concat, pending.precedence = 5;
      break;
    case TokenKind::Star:
      pending.op = OpCode::Multiply, pending.precedence = 6;
      break;
    case TokenKind::Slash:
      pending.op = OpCode::Divide, pending.precedence = 6;
      break;
    default:
      return Fail(ExpressionSyntax, token.position, "unexpected " + Quote(token.spelling));
  }
  Reduce(pending.precedence);
  pending_.push_back(pending);
  expectOperand_ = true;
  return true;
}

bool Parser::Prefix(const Token& token) {
  if (!expectOperand_)
    return Fail(ExpressionSyntax, token.position, "operator expected before " + Quote(token.spelling));
  Pending pending;
  pending.position = token.position;
  pending.spelling = token.spelling;
  if (token.kind == TokenKind::Not) {
    pending.op = OpCode::Not, pending.precedence = kPrefixNotPrecedence;
  } else {
    pending.op = token.kind == TokenKind::Minus ? OpCode::Negate : OpCode::Plus;
    pending.precedence = kPrefixSignPrecedence;
  }
  pending_.push_back(pending);  // a prefix waits for its operand, so nothing reduces here
  return true;
}

bool Parser::Finish(const Token& token) {
  if (expectOperand_) {
    if (program_.InstructionCount() == 0 && pending_.empty()) return Fail(ExpressionSyntax, 0, "empty expression");
    return Fail(ExpressionSyntax, token.position, "operand expected at the end");
  }
  Reduce(kLowest);
  if (!pending_.empty()) return Fail(ExpressionSyntax, pending_.back().position, "'(' without a matching ')'");
  return true;
}

void Parser::Reduce(int precedence) {
  while (!pending_.empty() && pending_.back().kind == Pending::Kind::Operator &&
         pending_.back().precedence >= precedence) {
    const Pending& top = pending_.back();
    program_.ApplyOperator(top.op, top.relation);
    pending_.pop_back();
  }
}

bool Parser::Fail(std::int32_t code, std::size_t position, std::string message) {
  error_->code = code;
  error_->position = position;
  error_->message = std::move(message);
  return false;
}

}  // namespace runtime::expressions
