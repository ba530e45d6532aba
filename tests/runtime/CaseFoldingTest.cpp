// Letter case beyond A to Z: the runtime's upper and lower case over several
// scripts, and the expression language's UPPER and LOWER that filters use.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/expressions/Expression.h"
#include "runtime/text/CaseFolding.h"
#include "runtime/text/FixedText.h"

namespace runtime {
namespace {

std::string Lower(std::string_view text) {
  std::string out;
  AssignLowerText(out, text);
  return out;
}

TEST(CaseFoldingTest, UpperAndLowerCoverLatinGreekAndCyrillic) {
  const struct {
    const char* lower;
    const char* upper;
  } pairs[] = {
      {"zürich", "ZÜRICH"},          // Latin-1
      {"łódź", "ŁÓDŹ"},              // Latin Extended-A
      {"ærøskøbing", "ÆRØSKØBING"},  // letters without a base letter
      {"đà nẵng", "ĐÀ NẴNG"},        // Latin Extended Additional
      {"αθήνα", "ΑΘΉΝΑ"},            // Greek with an accent
      {"москва", "МОСКВА"},          // Cyrillic
      {"ёжик", "ЁЖИК"},              // Cyrillic beyond the basic block
      {"http://x.org/a", "HTTP://X.ORG/A"},
  };
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.lower);
    EXPECT_EQ(UpperText(pair.lower), pair.upper);
    EXPECT_EQ(Lower(pair.upper), pair.lower);
  }
  // Final and medial sigma meet in one capital; "ß" has no one-letter capital.
  EXPECT_EQ(UpperText("ςσ"), "ΣΣ");
  EXPECT_EQ(UpperText("straße"), "STRAßE");
  // Characters without case, and bytes that are not UTF-8, are kept.
  EXPECT_EQ(UpperText("日本 123 €"), "日本 123 €");
  EXPECT_EQ(UpperText("a\xFF"
                      "b\xC3"),
            "A\xFF"
            "B\xC3");
  // The keyed driver's comparison stays ASCII, as its keys are ordered.
  EXPECT_NE(CompareText("ü", "Ü", CaseMode::Insensitive), 0);
}

// The spellings a caseless search in a key's order lies between: ASCII as
// typed, every other letter in the case of lowest or highest bytes among
// those of its length ("ı" has the capital "I" of one byte, not taken).
TEST(CaseFoldingTest, AKeysCaseFoldsTheAsciiLettersAlone) {
  std::string text = "HTTPS://Z\u00DCrich.Example/\u00C9t\u00E9?Q=Az[]@";
  runtime::FoldKeyCase(text);
  EXPECT_EQ(text, "https://z\u00DCrich.example/\u00C9t\u00E9?q=az[]@");
}

TEST(CaseFoldingTest, LowestAndHighestSpellingsBoundEveryCaseOfTheLettersOutsideAscii) {
  EXPECT_EQ(LowestCaseSpelling("zÜrich σς"), "zÜrich ΣΣ");
  EXPECT_EQ(HighestCaseSpelling("zÜrich Σς"), "zürich σσ");
  EXPECT_EQ(LowestCaseSpelling("москва"), "МОСКВА");
  EXPECT_EQ(HighestCaseSpelling("ı"), "ı");
  EXPECT_EQ(LowestCaseSpelling("Abc 123 €\xFF"), "Abc 123 €\xFF");
}

TEST(CaseFoldingTest, ExpressionsFoldEveryLetter) {
  const struct {
    const char* text;
    bool truth;
  } cases[] = {
      {"UPPER('Zürich') = 'ZÜRICH'", true},
      {"LOWER('ΑΘΉΝΑ') = 'αθήνα'", true},
      {"INSTRING('ZÜRICH',UPPER('Café Zürich'),1,1) <> 0", true},
      {"INSTRING('ZÜRICH',UPPER('Zurich'),1,1) <> 0", false},
      {"SUB(UPPER('москва'),1,4) = 'МО'", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::unique_ptr<Expression> expression = Expression::Compile(c.text);
    ASSERT_NE(expression, nullptr);
    EXPECT_EQ(expression->IsTrue(), c.truth);
  }
}

}  // namespace
}  // namespace runtime
