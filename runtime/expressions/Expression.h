// The expression language of filter texts: compiled once, evaluated against
// the current values of the fields it names. Names (field labels such as
// WEB:URL, function names, AND/OR/NOT) are case-insensitive; labels resolve
// when the text is compiled, through the field bindings (open files' fields
// and the binding scopes of windows). Text comparison ignores trailing spaces.
// Used under the runtime lock: one compiled expression is evaluated by one
// thread at a time. The fields it names must outlive it.
//
// The language: numbers; 'texts' (a doubled quote inside stands for one);
// labels; f(arguments); ( ); prefix - + NOT ~; * /; + - and & (joins texts);
// comparisons = <> < > <= >= and their negations with ~ (~= not equal,
// ~< not less, ...); AND; OR (loosest). Comparisons are numeric when both
// sides are numbers, else textual, case-sensitive, trailing spaces ignored;
// they give 1 or 0. Functions: UPPER, LOWER, SUB(text,start[,length]),
// INSTRING(sought,text[,step[,start]]), CLIP, LEFT(text[,length]),
// ALL(text[,length]), LEN. Evaluation never fails: dividing by zero gives 0
// and out-of-range text positions give empty texts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/values/Value.h"

namespace runtime {

class Expression {
 public:
  virtual ~Expression() = default;

  // Compiles text. On failure returns nullptr, leaves the runtime error
  // (ExpressionSyntax, ExpressionUnknownName, ExpressionUnknownFunction or
  // ExpressionArguments) and puts a readable text naming the problem and its
  // position in *errorText when given (also left as the error's driver text).
  // On success the runtime error is cleared.
  static std::unique_ptr<Expression> Compile(std::string_view text, std::string* errorText = nullptr);

  // The value for the bound fields' current contents.
  virtual Value Evaluate() const = 0;
  // True when the value is a non-zero number or a non-blank text.
  bool IsTrue() const;

 protected:
  // IsTrue without building a Value (no allocation for text results).
  virtual bool EvaluatesTrue() const = 0;
};

}  // namespace runtime
