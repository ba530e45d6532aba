// Field pairs over variables of different types and widths: group assignment
// with conversion, comparison by value, and the owned buffers of
// BufferedPairs.
#include <gtest/gtest.h>

#include <string>

#include "data/BufferedPairs.h"
#include "data/FieldPairs.h"
#include "runtime/files/RecordBuffer.h"

using namespace marlinden;
using runtime::FieldType;

namespace {

class FieldPairsTest : public ::testing::Test {
 protected:
  runtime::FieldRef F(const char* label) { return vars.Field(label); }

  runtime::RecordLayout layout = runtime::RecordLayout::Builder("Vars", "V")
                                     .String("SHORT", 5)
                                     .String("LONG", 20)
                                     .String("TINY", 3)
                                     .Field("I16", FieldType::Int16)
                                     .Field("I32", FieldType::Int32)
                                     .Field("U8", FieldType::UInt8)
                                     .Field("REAL", FieldType::Real)
                                     .Build();
  runtime::RecordBuffer vars{layout};
};

TEST_F(FieldPairsTest, AssignmentConvertsAndComparisonIsByValue) {
  struct Case {
    const char* left;
    const char* right;
    runtime::Value value;  // put in left
    std::string expected;  // right after AssignLeftToRight, as text
    bool equalAfter;       // Equal() once assigned
  };
  const std::vector<Case> cases = {
      // Texts of different widths are equal apart from trailing spaces.
      {"V:SHORT", "V:LONG", runtime::Value::Text("abc"), "abc", true},
      // Cut to the narrower field: the pair no longer compares equal.
      {"V:LONG", "V:TINY", runtime::Value::Text("abcdef"), "abc", false},
      // Integers of different widths: clamped into the narrower one.
      {"V:I32", "V:I16", runtime::Value::Integer(100000), "32767", false},
      {"V:I32", "V:I16", runtime::Value::Integer(-1234), "-1234", true},
      {"V:I16", "V:U8", runtime::Value::Integer(-5), "0", false},
      // Text and numbers convert both ways.
      {"V:SHORT", "V:I32", runtime::Value::Text("  42x"), "42", false},
      {"V:I32", "V:LONG", runtime::Value::Integer(-7), "-7", true},
      {"V:REAL", "V:I16", runtime::Value::Real(2.9), "2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.left) + " -> " + c.right + " = " + c.expected);
    vars.Clear();
    FieldPairs pairs;
    pairs.Init();
    ASSERT_TRUE(pairs.AddPair(F(c.left), F(c.right)));
    F(c.left).Set(c.value);
    pairs.AssignLeftToRight();
    EXPECT_EQ(F(c.right).Get().AsText(), c.expected);
    EXPECT_EQ(pairs.Equal(), c.equalAfter);
    pairs.Kill();
  }
}

TEST_F(FieldPairsTest, GroupOperationsCoverEveryPairAndAnEmptyListIsEqual) {
  FieldPairs pairs;
  pairs.Init();
  EXPECT_TRUE(pairs.Equal());
  pairs.AssignLeftToRight();  // nothing to do, nothing breaks

  ASSERT_TRUE(pairs.AddPair(F("V:SHORT"), F("V:LONG")));
  ASSERT_TRUE(pairs.AddPair(F("V:I16"), F("V:I32")));
  EXPECT_FALSE(pairs.AddPair(F("V:NOSUCH"), F("V:I32")));
  EXPECT_EQ(pairs.Records(), 2u);

  F("V:LONG").SetText("right");
  F("V:I32").SetInteger(9);
  pairs.AssignRightToLeft();
  EXPECT_EQ(F("V:SHORT").ClippedText(), "right");
  EXPECT_EQ(F("V:I16").Get().AsInteger(), 9);
  EXPECT_TRUE(pairs.Equal());

  F("V:I32").SetInteger(10);  // only the second pair differs
  EXPECT_FALSE(pairs.Equal());

  pairs.ClearLeft();
  EXPECT_EQ(F("V:SHORT").Bytes(), "     ");
  EXPECT_EQ(F("V:I16").Get().AsInteger(), 0);
  EXPECT_EQ(F("V:LONG").ClippedText(), "right");
  pairs.ClearRight();
  EXPECT_TRUE(pairs.Equal());

  pairs.Kill();
  EXPECT_EQ(pairs.Records(), 0u);
  EXPECT_TRUE(pairs.Equal());
}

TEST_F(FieldPairsTest, TheBufferHasRightsTypeAndStartsBlank) {
  BufferedPairs pairs;
  pairs.Init();
  F("V:TINY").SetText("xyz");
  ASSERT_TRUE(pairs.AddPair(F("V:LONG"), F("V:TINY")));
  // Right keeps its value; the buffer is blank, so they differ.
  EXPECT_EQ(F("V:TINY").ClippedText(), "xyz");
  EXPECT_FALSE(pairs.EqualRightBuffer());
  F("V:TINY").Clear();
  EXPECT_TRUE(pairs.EqualRightBuffer());

  // The buffer is 3 bytes wide like right, not 20 like left.
  F("V:LONG").SetText("abcdef");
  pairs.AssignLeftToBuffer();
  EXPECT_FALSE(pairs.EqualLeftBuffer());
  pairs.AssignBufferToRight();
  EXPECT_EQ(F("V:TINY").ClippedText(), "abc");
  EXPECT_TRUE(pairs.EqualRightBuffer());

  F("V:LONG").SetText("abc");
  EXPECT_TRUE(pairs.EqualLeftBuffer());
  F("V:LONG").SetText("changed");
  pairs.AssignBufferToLeft();
  EXPECT_EQ(F("V:LONG").ClippedText(), "abc");
  F("V:TINY").SetText("q");
  pairs.AssignRightToBuffer();
  EXPECT_TRUE(pairs.EqualRightBuffer());
  EXPECT_FALSE(pairs.EqualLeftBuffer());
}

TEST_F(FieldPairsTest, BuffersSurviveTheListGrowingAndShareItsEntries) {
  BufferedPairs pairs;
  pairs.Init();
  ASSERT_EQ(pairs.REALLIST, &pairs.LIST);
  // Many entries make the list move its storage: each buffer must still
  // hold its own value afterwards.
  std::vector<std::unique_ptr<runtime::RecordBuffer>> owners;
  for (int i = 0; i < 50; ++i) {
    owners.push_back(std::make_unique<runtime::RecordBuffer>(layout));
    owners.back()->Field("V:I32").SetInteger(i);
    ASSERT_TRUE(pairs.AddPair(owners.back()->Field("V:I32"), owners.back()->Field("V:I16")));
    pairs.AssignLeftToBuffer();
  }
  pairs.AssignBufferToRight();
  for (int i = 0; i < 50; ++i) EXPECT_EQ(owners[i]->Field("V:I16").Get().AsInteger(), i);
  EXPECT_TRUE(pairs.EqualRightBuffer());
  // The base operations work on the same entries.
  pairs.ClearRight();
  EXPECT_FALSE(pairs.EqualRightBuffer());
  pairs.AssignLeftToRight();
  EXPECT_TRUE(pairs.EqualRightBuffer());

  pairs.Kill();
  EXPECT_EQ(pairs.REALLIST, nullptr);
  EXPECT_EQ(pairs.Records(), 0u);
  EXPECT_TRUE(pairs.EqualLeftBuffer());
}

}  // namespace
