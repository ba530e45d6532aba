// The tests' one bookmark layout (tests/support) is the program's own: same
// name, fields, memo and keys, so what the lower layers' tests show holds
// for the program's bookmark file.
#include <gtest/gtest.h>

#include "app/DataFiles.h"
#include "support/BookmarkLayout.h"

namespace {

TEST(BookmarkTestLayoutTest, IsTheProgramsBookmarkLayout) {
  const runtime::RecordLayout program = marlinden::BookmarkLayout();
  const runtime::RecordLayout test = testing_support::BookmarkLayout();
  EXPECT_EQ(test.Name(), program.Name());
  EXPECT_EQ(test.Prefix(), program.Prefix());
  EXPECT_EQ(test.RecordSize(), program.RecordSize());
  ASSERT_EQ(test.FieldCount(), program.FieldCount());
  for (std::size_t n = 1; n <= test.FieldCount(); ++n) {
    EXPECT_EQ(test.Field(n).label, program.Field(n).label);
    EXPECT_EQ(test.Field(n).type, program.Field(n).type) << test.Field(n).label;
    EXPECT_EQ(test.Field(n).size, program.Field(n).size) << test.Field(n).label;
  }
  ASSERT_EQ(test.MemoCount(), program.MemoCount());
  for (std::size_t n = 1; n <= test.MemoCount(); ++n) {
    EXPECT_EQ(test.Memo(n).label, program.Memo(n).label);
    EXPECT_EQ(test.Memo(n).maxSize, program.Memo(n).maxSize);
  }
  ASSERT_EQ(test.KeyCount(), program.KeyCount());
  for (std::size_t k = 1; k <= test.KeyCount(); ++k) {
    const runtime::KeyDesc &a = test.Key(k), &b = program.Key(k);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.unique, b.unique) << a.label;
    EXPECT_EQ(a.noCase, b.noCase) << a.label;
    EXPECT_EQ(a.primary, b.primary) << a.label;
    ASSERT_EQ(a.components.size(), b.components.size()) << a.label;
    for (std::size_t c = 0; c < a.components.size(); ++c) {
      EXPECT_EQ(a.components[c].field, b.components[c].field) << a.label;
      EXPECT_EQ(a.components[c].order, b.components[c].order) << a.label;
    }
  }
  EXPECT_EQ(testing_support::NumKey, program.FindKey("WEB:NUMKEY"));
  EXPECT_EQ(testing_support::NameKey, program.FindKey("WEB:NAMEKEY"));
  EXPECT_EQ(testing_support::DescKey, program.FindKey("WEB:DESCKEY"));
}

}  // namespace
