// Robustness of the expression language: random and mutated filter texts
// (built from the texts the program really writes) go through Compile and
// Evaluate. Nothing may crash or hang, a refusal always carries one of the
// expression error codes and a text, and evaluation is repeatable. The seed
// is fixed so a failure reproduces.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/expressions/Expression.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/files/RecordLayout.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/values/FieldBindings.h"
#include "support/BookmarkLayout.h"

namespace runtime {
namespace {

constexpr std::array<std::string_view, 14> kSeeds = {
    "(UPPER(sub(web:url,1,3)) = 'HTT')",
    "(UPPER(sub(web:url,1,3)) = 'FTP')",
    "WEB:NUM = 3 AND UPPER(WEB:URL) >= UPPER('b') AND UPPER(WEB:URL) <= UPPER('m') AND (WEB:NOTEFIELD)",
    "UPPER(WEB:DESCRIPTION) = UPPER('o''brien')",
    "WEB:NUM >= 5",
    "(WEB:URL = 'rose') AND (WEB:NUM > 2)",
    "(INSTRING('rose',WEB:DESCRIPTION,1,1) <> 0)",
    "(SUB(WEB:DESCRIPTION,1,4) = 'rose')",
    "(UPPER(WEB:URL) ~= 'X') AND (WEB:NUM ~< 3) OR NOT (WEB:NUM <= 7)",
    "LEN(CLIP(WEB:URL)) & LEFT(' a', 3) & ALL('ab', 7) & LOWER('Q') = 'x'",
    "-WEB:NUM * 2 + 7 / (WEB:NUM - 1) - 1.5e3",
    "~(INSTRING('b', 'abcb', -1, 4) = 4)",
    "SUB(WEB:URL, -3, 9223372036854775807) & SUB(12345, 2)",
    "((((WEB:NUM))))",
};

constexpr std::array<std::string_view, 34> kTokens = {
    "(",       ")",
    "'",       "''",
    ",",       " AND ",
    " OR ",    " NOT ",
    "~",       "=",
    "<>",      "~=",
    ">=",      "<=",
    "<",       ">",
    "&",       "+",
    "-",       "*",
    "/",       "SUB(",
    "UPPER(",  "INSTRING(",
    "ALL(",    "LEFT(",
    "WEB:URL", "WEB:NUM",
    "NOPE:X",  "99999999999999999999999",
    "1e308",   "-9223372036854775808",
    "0",       "1e999",
};

class ExpressionFuzzTest : public ::testing::Test {
 protected:
  ExpressionFuzzTest() : layout_(testing_support::BookmarkLayout()), buffer_(layout_) {}

  void SetUp() override {
    for (std::size_t i = 1; i <= layout_.FieldCount(); ++i) BindField(layout_.Field(i).label, buffer_.Field(i));
  }
  void TearDown() override {
    for (std::size_t i = 1; i <= layout_.FieldCount(); ++i) UnbindField(layout_.Field(i).label);
  }

  std::size_t Below(std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_); }

  std::string Mutate(std::string text) {
    const std::size_t steps = 1 + Below(2);
    for (std::size_t step = 0; step < steps; ++step) {
      const std::size_t at = Below(text.size() + 1);
      const std::size_t kind = Below(40);
      if (kind < 3) {
        text.insert(at, 1, static_cast<char>(Below(256)));  // any byte, NUL included
      } else if (kind < 6) {
        if (at < text.size()) text.erase(at, 1 + Below(3));
      } else if (kind < 9) {
        if (at < text.size()) text.insert(at, text.substr(at, 1 + Below(8)));
      } else if (kind < 13) {
        text.insert(at, kTokens[Below(kTokens.size())]);
      } else if (kind == 13) {
        text.insert(at, std::string(1 + Below(4), Below(2) == 0 ? '(' : ')'));
      } else if (kind == 14) {
        text.insert(at, std::string(1 + Below(64), Below(2) == 0 ? '\'' : '9'));
      } else if (kind == 15) {  // nesting around the limit, mostly balanced (long texts: rarer)
        const std::size_t depth = 240 + Below(30);
        text = std::string(depth, '(') + text + std::string(depth + (Below(4) == 0 ? 1 : 0), ')');
      } else if (kind < 28) {
        if (at < text.size()) text[at] = " ()',=<>~&+-*/aZ09:._"[Below(21)];
      } else if (kind < 34) {
        if (at < text.size()) text.erase(at, 1);
      } else {
        text.insert(at, 1, "()',=<>~&+-*/ "[Below(14)]);
      }
    }
    return text;
  }

  std::string RandomTokens() {
    std::string text;
    const std::size_t count = Below(12);
    for (std::size_t i = 0; i < count; ++i) text += kTokens[Below(kTokens.size())];
    return text;
  }

  // Compiles text; when it compiles, evaluates it against two records.
  void Exercise(const std::string& text) {
    std::string errorText;
    const std::unique_ptr<Expression> expression = Expression::Compile(text, &errorText);
    if (expression == nullptr) {
      const std::int32_t code = LastErrorCode();
      ASSERT_TRUE(code >= ExpressionSyntax && code <= ExpressionArguments) << code << " for: " << text;
      ASSERT_FALSE(errorText.empty()) << text;
      ++refused_;
      return;
    }
    ASSERT_EQ(LastErrorCode(), NoError) << text;
    for (int record = 0; record < 2; ++record) {
      buffer_.Field("WEB:URL").SetText(record == 0 ? "http://example.org/a'b" : "");
      buffer_.Field("WEB:NUM").SetInteger(record == 0 ? 1 : -2147483647 - 1);
      const std::string first = expression->Evaluate().AsText();
      const bool truth = expression->IsTrue();
      ASSERT_EQ(expression->Evaluate().AsText(), first) << text;
      ASSERT_EQ(expression->IsTrue(), truth) << text;
    }
    ++compiled_;
  }

  RecordLayout layout_;
  RecordBuffer buffer_;
  std::mt19937 random_{20240611};
  std::size_t compiled_ = 0;
  std::size_t refused_ = 0;
};

TEST_F(ExpressionFuzzTest, RandomAndMutatedTextsNeverCrash) {
  constexpr std::size_t kTexts = 100'000;
  for (std::size_t i = 0; i < kTexts; ++i) {
    const std::string text = Below(10) == 0 ? RandomTokens() : Mutate(std::string(kSeeds[Below(kSeeds.size())]));
    Exercise(text);
    if (HasFatalFailure()) return;
  }
  // Both outcomes must be well represented, or the mutations test nothing.
  EXPECT_GT(compiled_, kTexts / 20);
  EXPECT_GT(refused_, kTexts / 4);
}

TEST_F(ExpressionFuzzTest, ExtremeShapesAreRefusedOrEvaluated) {
  const std::vector<std::string> texts = {
      std::string(100'000, '('),
      std::string(64 * 1024, '('),
      std::string(30'000, '-') + "1",
      std::string(30'000, '~') + "1",
      "NOT " + std::string(10'000, '-') + "1",
      std::string(32'000, '\''),
      "SUB(" + std::string(20'000, '1') + ",1,1)",
      "ALL('x', 65536) & ALL('y', 65536) & ALL('z', 65536)",
      "UPPER(" + std::string(30'000, ',') + ")",
      [] {
        std::string text = "1";
        for (int i = 0; i < 12'000; ++i) text += "+1";
        return text;
      }(),
  };
  for (const std::string& text : texts) {
    Exercise(text);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace runtime
