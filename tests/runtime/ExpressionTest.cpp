// The expression language of filter texts: every construct against bound
// fields, binding scopes, and the refusal of texts that do not compile.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>

#include "runtime/expressions/Expression.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/files/RecordLayout.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/values/FieldBindings.h"
#include "support/BookmarkLayout.h"

namespace runtime {
namespace {

// One record of each file the texts name.
struct Record {
  std::string_view url;
  std::string_view name;
  std::int32_t num = 0;
  double amount = 0.0;
};

// What a text should give: a value, or refusal with an error code.
struct Expect {
  static Expect Yields(Value value) { return {0, std::move(value)}; }
  static Expect Refused(std::int32_t code) { return {code, {}}; }
  std::int32_t refusal = 0;
  Value value;
};

Expect True() { return Expect::Yields(Value::Integer(1)); }
Expect False() { return Expect::Yields(Value::Integer(0)); }
Expect Text(std::string_view text) { return Expect::Yields(Value::Text(text)); }
Expect Integer(std::int64_t number) { return Expect::Yields(Value::Integer(number)); }
Expect Real(double number) { return Expect::Yields(Value::Real(number)); }

class ExpressionTest : public ::testing::Test {
 protected:
  ExpressionTest()
      : web_(testing_support::BookmarkLayout()),
        kinds_(RecordLayout::Builder("KINDS", "K")
                   .String("NAME", 20)
                   .Field("NUM", FieldType::Int32)
                   .Field("AMOUNT", FieldType::Real)
                   .Build()),
        webBuffer_(web_),
        kindsBuffer_(kinds_) {}

  void SetUp() override {
    for (RecordBuffer* buffer : {&webBuffer_, &kindsBuffer_}) {
      for (std::size_t i = 1; i <= buffer->Layout().FieldCount(); ++i) {
        BindField(buffer->Layout().Field(i).label, buffer->Field(i));
      }
    }
  }

  void TearDown() override {
    for (const RecordLayout* layout : {&web_, &kinds_}) {
      for (std::size_t i = 1; i <= layout->FieldCount(); ++i) UnbindField(layout->Field(i).label);
    }
  }

  void Load(const Record& record) {
    webBuffer_.Field("WEB:URL").SetText(record.url);
    kindsBuffer_.Field("K:NAME").SetText(record.name);
    kindsBuffer_.Field("K:NUM").SetInteger(record.num);
    kindsBuffer_.Field("K:AMOUNT").Set(Value::Real(record.amount));
  }

  // Compiles text, loads record and checks the outcome; the refusal code is
  // also the runtime error, and its text names a position or the problem.
  void Validate(std::string_view text, const Record& record, const Expect& expect) {
    SCOPED_TRACE(std::string(text));
    Load(record);
    std::string errorText;
    const std::unique_ptr<Expression> expression = Expression::Compile(text, &errorText);
    if (expect.refusal != 0) {
      EXPECT_EQ(expression, nullptr);
      EXPECT_EQ(LastErrorCode(), expect.refusal);
      EXPECT_FALSE(errorText.empty());
      return;
    }
    ASSERT_NE(expression, nullptr) << errorText;
    EXPECT_EQ(LastErrorCode(), NoError);
    const Value value = expression->Evaluate();
    EXPECT_EQ(value.kind(), expect.value.kind()) << value.AsText();
    EXPECT_EQ(value.AsText(), expect.value.AsText());
    const bool truth = value.IsNumeric() ? value.AsReal() != 0.0 : !Clip(value.AsText()).empty();
    EXPECT_EQ(expression->IsTrue(), truth);
  }

  RecordLayout web_;
  RecordLayout kinds_;
  RecordBuffer webBuffer_;
  RecordBuffer kindsBuffer_;
};

TEST_F(ExpressionTest, EveryConstructGivesItsValue) {
  const Record http{"http://example.org", "rose", 5, 2.5};
  const Record ftp{"ftp://files.example.org", "O'Brien", 4, -1.0};
  const Record shortUrl{"ht", "a rose bush", 9, 0.0};
  const Record blank{"", "", 0, 0.0};
  const std::string deepest = std::string(256, '(') + "1" + std::string(256, ')');
  const std::string tooDeep = "(" + deepest + ")";

  const struct {
    std::string_view text;
    Record record;
    Expect expect;
  } cases[] = {
      // The main window's tab filters.
      {"(UPPER(sub(web:url,1,3)) = 'HTT')", http, True()},
      {"(UPPER(sub(web:url,1,3)) = 'HTT')", ftp, False()},
      {"(UPPER(sub(web:url,1,3)) = 'HTT')", shortUrl, False()},
      {"(UPPER(sub(web:url,1,3)) = 'HTT')", blank, False()},
      {"(UPPER(sub(web:url,1,3)) = 'FTP')", ftp, True()},
      // Range limits as the view manager writes them.
      {"K:NAME = 'rose' AND K:NUM >= 3 AND K:NUM <= 5 AND (K:AMOUNT > 0)", http, True()},
      {"K:NAME = 'rose' AND K:NUM >= 3 AND K:NUM <= 5 AND (K:AMOUNT > 0)", shortUrl, False()},
      {"K:NAME >= 'b' AND K:NAME <= 'm'", ftp, False()},  // 'O' sorts before 'b'
      {"UPPER(K:NAME) = UPPER('o''brien')", ftp, True()},
      {"K:NUM >= 5", http, True()},
      {"K:NUM >= 5", ftp, False()},
      // Query-by-example conditions.
      {"(K:NAME = 'rose')", http, True()},
      {"(K:NAME = 'rose   ')", http, True()},  // trailing spaces never count
      {"(INSTRING('rose',K:NAME,1,1) <> 0)", shortUrl, True()},
      {"(INSTRING('rose',K:NAME,1,1) <> 0)", ftp, False()},
      {"(SUB(K:NAME,1,4) = 'rose')", Record{"", "rosemary"}, True()},
      {"(UPPER(K:NAME) ~= 'ROSE')", http, False()},
      {"(UPPER(K:NAME) ~= 'ROSE')", ftp, True()},
      {"(K:NUM > 4) AND (K:NUM < 9)", http, True()},
      {"(K:NAME ~< 'rose')", http, True()},
      {"(K:NAME ~< 'rose')", ftp, False()},
      {"(K:NUM ~> 4)", http, False()},
      {"(K:NUM ~<= 4)", http, True()},
      {"(K:NUM >< 5)", http, False()},
      {"(K:NUM => 5) AND (K:NUM =< 5)", http, True()},
      // Numbers, precedence and arithmetic.
      {"1 + 2 * 3", blank, Integer(7)},
      {"(1 + 2) * 3", blank, Integer(9)},
      {"7 / 2", blank, Real(3.5)},
      {"6 / 3", blank, Integer(2)},
      {"5 / 0", blank, Integer(0)},
      {"5.5 / 0.0", blank, Integer(0)},
      {"-K:NUM * 2", http, Integer(-10)},
      {"- -3", blank, Integer(3)},
      {"9223372036854775807 + 1", blank, Real(9223372036854775808.0)},
      {"-9223372036854775807 - 1 - 1", blank, Real(-9223372036854775809.0)},
      {"(-9223372036854775807 - 1) / -1", blank, Real(9223372036854775808.0)},
      {"K:AMOUNT * 2", http, Real(5.0)},
      {"'12' + 1", blank, Integer(13)},
      {"' 2.5' * 2", blank, Real(5.0)},
      {"'abc' + 1", blank, Integer(1)},
      {"1.5e2", blank, Real(150.0)},
      {"99999999999999999999", blank, Real(1e20)},
      // Text joining and comparison.
      {"'ab' & 'cd'", blank, Text("abcd")},
      {"K:NAME & '/' & K:NUM", http, Text("rose/5")},
      {"'10' < '9'", blank, True()},  // texts compare as texts
      {"10 < 9", blank, False()},
      {"K:NUM = '5'", http, True()},
      {"'Rose' = 'rose'", blank, False()},  // case-sensitive unless UPPER is asked for
      {"'It''s' = 'It' & '''s'", blank, True()},
      // Logic.
      {"NOT K:NUM = 5", http, False()},
      {"~(K:NUM = 5)", http, False()},
      {"~ K:NUM = 4", http, True()},
      {"NOT 0 AND 0", blank, False()},
      {"1 OR 0 AND 0", blank, True()},
      {"'' OR '  '", blank, False()},
      {"'x' AND 2.5", blank, True()},
      // Case-insensitive names and keywords.
      {"k:num = 5 and Upper(k:Name) = 'ROSE' oR 0", http, True()},
      // Functions, including arguments out of range.
      {"SUB('abc',0,2)", blank, Text("ab")},
      {"SUB('abc',-2,2)", blank, Text("bc")},
      {"SUB('abc',-9,2)", blank, Text("ab")},
      {"SUB('abc',2,-1)", blank, Text("")},
      {"SUB('abc',2,0)", blank, Text("")},
      {"SUB('abc',4,1)", blank, Text("")},
      {"SUB('abc',2,99999999999999999999)", blank, Text("bc")},
      {"SUB('abc',-9223372036854775807 - 1,2)", blank, Text("ab")},
      {"SUB('abc',2)", blank, Text("bc")},
      {"SUB(12345,2,3)", blank, Text("234")},
      {"SUB(K:NAME,1,4)", shortUrl, Text("a ro")},
      {"INSTRING('b','abcb',1,3)", blank, Integer(4)},
      {"INSTRING('b','abcb',2,1)", blank, Integer(0)},
      {"INSTRING('c','abcb',2,1)", blank, Integer(3)},
      {"INSTRING('b','abcb',-1,4)", blank, Integer(4)},
      {"INSTRING('b','abcb',-1,3)", blank, Integer(2)},
      {"INSTRING('b','abcb',9223372036854775807,1)", blank, Integer(0)},
      {"INSTRING('b','abcb',-9223372036854775807,9)", blank, Integer(4)},
      {"INSTRING('x','abc')", blank, Integer(0)},
      {"INSTRING('abcd','abc')", blank, Integer(0)},
      {"INSTRING('','abc')", blank, Integer(1)},
      {"INSTRING(3,12345)", blank, Integer(3)},
      {"UPPER('mIx3d')", blank, Text("MIX3D")},
      {"LOWER('MiX')", blank, Text("mix")},
      {"UPPER(12)", blank, Text("12")},
      {"CLIP('a  ') & 'b'", blank, Text("ab")},
      {"LEFT('  a') & 'b'", blank, Text("ab")},
      {"LEFT('  abc',2) & '|'", blank, Text("ab|")},
      {"LEFT('a',3) & '|'", blank, Text("a  |")},
      {"ALL('ab',5)", blank, Text("ababa")},
      {"LEN(ALL('-'))", blank, Integer(255)},
      {"LEN(ALL('x',99999999999))", blank, Integer(65536)},
      {"LEN(ALL('',5))", blank, Integer(0)},
      {"LEN(K:NAME)", http, Integer(4)},  // fields read clipped
      {"LEN(1234)", blank, Integer(4)},
      {deepest, blank, Integer(1)},
      // Refused texts.
      {"", blank, Expect::Refused(ExpressionSyntax)},
      {"   ", blank, Expect::Refused(ExpressionSyntax)},
      {"(K:NUM = 1", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM = 1)", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NAME = 'abc", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NAME = 'abc''", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM =", blank, Expect::Refused(ExpressionSyntax)},
      {"= 5", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM 5", blank, Expect::Refused(ExpressionSyntax)},
      {"(K:NAME  'rose')", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM = 1 garbage", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM = 1 AND", blank, Expect::Refused(ExpressionSyntax)},
      {"() = 1", blank, Expect::Refused(ExpressionSyntax)},
      {"1 , 2", blank, Expect::Refused(ExpressionSyntax)},
      {"SUB('a',,1)", blank, Expect::Refused(ExpressionSyntax)},
      {"5 # 3", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM == 5", blank, Expect::Refused(ExpressionSyntax)},
      {"K:NUM ~~ 5", blank, Expect::Refused(ExpressionSyntax)},
      {"1e999", blank, Expect::Refused(ExpressionSyntax)},
      {"1 NOT 2", blank, Expect::Refused(ExpressionSyntax)},
      {"'a' \"b\"", blank, Expect::Refused(ExpressionSyntax)},
      {tooDeep, blank, Expect::Refused(ExpressionSyntax)},
      {"X:NOPE = 1", blank, Expect::Refused(ExpressionUnknownName)},
      {"URL = 'x'", blank, Expect::Refused(ExpressionUnknownName)},  // labels carry their prefix
      {"K:NUM = 1 OR FOO(2)", blank, Expect::Refused(ExpressionUnknownFunction)},
      {"K:NAME(1)", blank, Expect::Refused(ExpressionUnknownFunction)},
      {"SUB('a')", blank, Expect::Refused(ExpressionArguments)},
      {"SUB(1,2,3,4)", blank, Expect::Refused(ExpressionArguments)},
      {"UPPER('a','b')", blank, Expect::Refused(ExpressionArguments)},
      {"UPPER()", blank, Expect::Refused(ExpressionArguments)},
      {"INSTRING('a')", blank, Expect::Refused(ExpressionArguments)},
  };
  for (const auto& c : cases) Validate(c.text, c.record, c.expect);
}

TEST_F(ExpressionTest, RefusalNamesTheProblemAndItsPosition) {
  const struct {
    std::string_view text;
    std::int32_t code;
    std::string_view message;
  } cases[] = {
      {"K:NUM = 1 + FOO(2)", ExpressionUnknownFunction, "unknown function 'FOO' at position 13"},
      {"K:NUM = X:Y", ExpressionUnknownName, "unknown name 'X:Y' at position 9"},
      {"SUB('abc', 1, 2, 3)", ExpressionArguments, "SUB takes 2 to 3 arguments, given more at position 16"},
      {"UPPER('a', 'b')", ExpressionArguments, "UPPER takes 1 argument, given more at position 10"},
      {"SUB('abc')", ExpressionArguments, "SUB takes 2 to 3 arguments, not 1 at position 1"},
      {"(K:NUM = 1", ExpressionSyntax, "'(' without a matching ')' at position 1"},
      {"K:NUM = 1)", ExpressionSyntax, "')' without a matching '(' at position 10"},
      {"K:NAME = 'ab", ExpressionSyntax, "text literal without its closing quote at position 10"},
      {"K:NUM = 1 2", ExpressionSyntax, "operator expected before '2' at position 11"},
      {"K:NUM = \x01", ExpressionSyntax, "unexpected character 0x01 at position 9"},
      {"", ExpressionSyntax, "empty expression"},
  };
  for (const auto& c : cases) {
    std::string errorText;
    EXPECT_EQ(Expression::Compile(c.text, &errorText), nullptr) << c.text;
    EXPECT_EQ(LastErrorCode(), c.code) << c.text;
    EXPECT_EQ(LastError().text, ErrorTextFor(c.code));
    EXPECT_EQ(errorText, c.message);
    EXPECT_EQ(LastError().driverText, c.message);
  }
  EXPECT_EQ(ErrorTextFor(ExpressionSyntax), "Expression Syntax Error");
}

TEST_F(ExpressionTest, HugeTextIsRefusedWithoutParsing) {
  std::string text = "1";
  while (text.size() <= 64 * 1024) text += " + 1";
  EXPECT_EQ(Expression::Compile(text), nullptr);
  EXPECT_EQ(LastErrorCode(), ExpressionSyntax);
  // Just under the limit, a long flat text compiles and evaluates.
  text.resize(64 * 1024 - 4);
  while (text.back() == ' ' || text.back() == '+') text.pop_back();
  const auto expression = Expression::Compile(text);
  ASSERT_NE(expression, nullptr);
  EXPECT_EQ(expression->Evaluate().AsInteger(), static_cast<std::int64_t>((text.size() + 3) / 4));
}

TEST_F(ExpressionTest, CompiledOnceReadsEachRecordsCurrentValues) {
  const auto expression = Expression::Compile("(UPPER(sub(web:url,1,3)) = 'HTT') AND K:NUM > 2");
  ASSERT_NE(expression, nullptr);
  const struct {
    Record record;
    bool passes;
  } records[] = {
      {{"http://a", "", 3}, true},  {{"HTTPS://b", "", 3}, true}, {{"ftp://c", "", 3}, false},
      {{"http://d", "", 2}, false}, {{"h", "", 3}, false},
  };
  for (const auto& r : records) {
    Load(r.record);
    EXPECT_EQ(expression->IsTrue(), r.passes) << r.record.url;
  }
}

// --- Binding scopes --------------------------------------------------------------------

TEST_F(ExpressionTest, ScopeVariablesShadowFileFieldsUntilTheScopeCloses) {
  Load({"", "file", 1});
  std::int32_t count = 7;
  char name[10] = {'l', 'o', 'c', 'a', 'l', ' ', ' ', ' ', ' ', ' '};
  {
    BindingScope scope;
    scope.Bind("LOC:COUNT", &count, FieldType::Int32);
    scope.Bind("K:NAME", name, FieldType::String, sizeof name);
    const auto local = Expression::Compile("loc:count > 5 AND K:NAME = 'local'");
    ASSERT_NE(local, nullptr);
    EXPECT_TRUE(local->IsTrue());
    count = 5;
    EXPECT_FALSE(local->IsTrue());  // read at evaluation time, not at compile time
    EXPECT_EQ(Expression::Compile("K:NUM = 1")->Evaluate().AsInteger(), 1);  // unshadowed fields still resolve
  }
  EXPECT_EQ(BindingScopeDepth(), 0u);
  const auto file = Expression::Compile("K:NAME = 'file'");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->IsTrue());
  EXPECT_EQ(Expression::Compile("LOC:COUNT > 5"), nullptr);
  EXPECT_EQ(LastErrorCode(), ExpressionUnknownName);
}

TEST_F(ExpressionTest, InnerScopesShadowOuterOnes) {
  std::int32_t outer = 1, inner = 2, outerOnly = 3;
  BindingScope outerScope;
  outerScope.Bind("V", &outer, FieldType::Int32);
  outerScope.Bind("W", &outerOnly, FieldType::Int32);
  {
    BindingScope innerScope;
    innerScope.Bind("v", &inner, FieldType::Int32);
    EXPECT_EQ(Expression::Compile("V * 10 + W")->Evaluate().AsInteger(), 23);
  }
  EXPECT_EQ(Expression::Compile("V * 10 + W")->Evaluate().AsInteger(), 13);
}

TEST_F(ExpressionTest, ClosingAScopeClosesScopesLeftOpenInsideIt) {
  const std::size_t before = BindingScopeDepth();
  {
    BindingScope scope;
    PushBindingScope();
    PushBindingScope();
    EXPECT_EQ(BindingScopeDepth(), before + 3);
  }
  EXPECT_EQ(BindingScopeDepth(), before);
  PopBindingScope();  // nothing open: harmless
  EXPECT_EQ(BindingScopeDepth(), before);
  std::int32_t number = 0;
  EXPECT_FALSE(BindVariable("N", FieldRef(reinterpret_cast<std::uint8_t*>(&number), kinds_.Field(2))));
}

TEST_F(ExpressionTest, ScopesBelongToTheirThread) {
  std::int32_t mine = 4;
  BindingScope scope;
  scope.Bind("MINE", &mine, FieldType::Int32);
  std::int32_t elsewhereCode = NoError;
  std::thread other([&] {
    EXPECT_EQ(Expression::Compile("MINE = 4"), nullptr);
    elsewhereCode = LastErrorCode();
    EXPECT_NE(Expression::Compile("K:NUM = 0"), nullptr);  // file fields are shared
  });
  other.join();
  EXPECT_EQ(elsewhereCode, ExpressionUnknownName);
  EXPECT_NE(Expression::Compile("MINE = 4"), nullptr);
}

}  // namespace
}  // namespace runtime
