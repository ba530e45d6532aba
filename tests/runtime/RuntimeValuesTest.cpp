// The runtime's basics: fixed texts, value conversions, field references,
// queues and record layouts.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

#include "runtime/files/RecordBuffer.h"
#include "runtime/files/RecordLayout.h"
#include "runtime/queue/Queue.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/values/FieldRef.h"
#include "runtime/values/Value.h"
#include "support/BookmarkLayout.h"

namespace runtime {
namespace {

// True when text is whole UTF-8 characters (no character cut short at the end).
bool EndsOnCharacter(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (i + length > text.size()) return false;
    i += length;
  }
  return true;
}

// --- Fixed texts ---------------------------------------------------------------------

TEST(FixedTextTest, CutNeverSplitsACharacter) {
  const std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  for (std::size_t width = 0; width <= mixed.size() + 1; ++width) {
    const std::string_view cut = CutToWidth(mixed, width);
    EXPECT_LE(cut.size(), width);
    EXPECT_TRUE(EndsOnCharacter(cut)) << width;
    EXPECT_GE(cut.size() + 3, std::min(width, mixed.size())) << "cut more than one character at " << width;
  }

  // A 255-byte field filled with 2-byte characters ends on a whole one.
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
  FixedText<255> field(accents);
  EXPECT_EQ(field.Padded().size(), 255u);
  EXPECT_EQ(field.Clipped().size(), 254u);
  EXPECT_TRUE(EndsOnCharacter(field.Clipped()));
  EXPECT_EQ(field.Padded().back(), ' ');

  const std::string exact(255, 'x');
  EXPECT_EQ(FixedText<255>(exact).Padded(), exact);
  EXPECT_EQ(FixedText<255>(exact + "y").Padded(), exact);
}

// Invalid UTF-8 is cut where it stands: only a character the cut would split
// is left out, and the cut steps back at most three bytes for it.
TEST(FixedTextTest, InvalidUtf8IsCutWhereItStands) {
  struct Case {
    std::string text;
    std::size_t width;
    std::string kept;
  } cases[] = {
      {std::string(10, '\x80'), 4, std::string(4, '\x80')},      // stray continuation bytes only
      {"ab" + std::string(8, '\x80'), 6, "ab\x80\x80\x80\x80"},  // after text
      {"\xC3" + std::string(6, '\xA9'), 3, "\xC3\xA9\xA9"},      // a 2-byte lead is complete after one
      {"\xE2\x82\xAC\xE2\x82\xAC", 4, "\xE2\x82\xAC"},           // a split euro sign goes
      {"x\xF0\x9F\x98\x80", 4, "x"},                             // a split 4-byte character goes
      {"\xFF\x80\x80\x80", 2, "\xFF\x80"},                       // no lead byte at all
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutToWidth(c.text, c.width), c.kept) << c.width;
  }
}

TEST(FixedTextTest, PadsAndClips) {
  EXPECT_EQ(PadToWidth("ab", 5), "ab   ");
  EXPECT_EQ(PadToWidth("abcdef", 3), "abc");
  EXPECT_EQ(FixedText<4>("x").Padded(), "x   ");
  EXPECT_EQ(FixedText<4>(" x ").Clipped(), " x");
  EXPECT_EQ(Clip("   "), "");
  // Wide padding is skipped in blocks: every length of text and padding
  // around the block size clips to the text.
  for (std::size_t text : {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65}) {
    for (std::size_t padding = 0; padding <= 140; ++padding) {
      const std::string value = std::string(text, 'x') + std::string(padding, ' ');
      EXPECT_EQ(Clip(value).size(), text) << text << " + " << padding;
    }
  }
  EXPECT_EQ(Clip("a        b" + std::string(4096, ' ')), "a        b");
  EXPECT_EQ(UpperAscii("http://Ex\xC3\xA9"), "HTTP://EX\xC3\xA9");
}

TEST(FixedTextTest, CompareTextIgnoresTrailingSpacesAndFoldsAsciiOnRequest) {
  const std::tuple<const char*, const char*, CaseMode, int> cases[] = {
      {"abc", "abc   ", CaseMode::Sensitive, 0},
      {"abc", "abd", CaseMode::Sensitive, -1},
      {"ab", "abc", CaseMode::Sensitive, -1},
      {"ab ", "ab\t", CaseMode::Sensitive, -1},  // only spaces are trailing padding
      {"ABC", "abc", CaseMode::Sensitive, -1},
      {"ABC", "abc", CaseMode::Insensitive, 0},
      {"HTTP://X", "http://x  ", CaseMode::Insensitive, 0},
      {"\xC3\xA9", "\xC3\x89", CaseMode::Insensitive, 1},  // é and É: no folding beyond ASCII
      {"\xC3", "a", CaseMode::Sensitive, 1},               // bytes compare unsigned
      {"", "   ", CaseMode::Sensitive, 0},
  };
  for (const auto& [a, b, mode, expected] : cases) {
    EXPECT_EQ(CompareText(a, b, mode), expected) << a << " vs " << b;
    EXPECT_EQ(CompareText(b, a, mode), -expected) << b << " vs " << a;
  }
}

// --- Values --------------------------------------------------------------------------

TEST(ValueTest, TextAsNumberIsItsLeadingNumericPart) {
  const std::tuple<const char*, std::int64_t, double> cases[] = {
      {"42", 42, 42.0},      {"  12abc", 12, 12.0}, {"-3.7", -3, -3.7}, {"12.9xyz", 12, 12.9},
      {"1e3", 1000, 1000.0}, {"abc", 0, 0.0},       {"", 0, 0.0},       {"  -", 0, 0.0},
      {"inf", 0, 0.0},       {"nan", 0, 0.0},       {"0x1A", 0, 0.0},   {"+7", 7, 7.0},
  };
  for (const auto& [text, integer, real] : cases) {
    EXPECT_EQ(Value::Text(text).AsInteger(), integer) << text;
    EXPECT_DOUBLE_EQ(Value::Text(text).AsReal(), real) << text;
  }
  EXPECT_EQ(Value::Text("99999999999999999999999").AsInteger(), std::numeric_limits<std::int64_t>::max());
}

TEST(ValueTest, RealsTruncateTowardsZeroAndPrintWithoutTrailingZeros) {
  EXPECT_EQ(Value::Real(2.9).AsInteger(), 2);
  EXPECT_EQ(Value::Real(-2.9).AsInteger(), -2);
  EXPECT_EQ(Value::Real(1e30).AsInteger(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(Value::Real(std::numeric_limits<double>::quiet_NaN()).AsInteger(), 0);
  EXPECT_EQ(Value::Real(3.0).AsText(), "3");
  EXPECT_EQ(Value::Real(2.5).AsText(), "2.5");
  EXPECT_EQ(Value::Integer(-17).AsText(), "-17");

  EXPECT_LT(Compare(Value::Integer(2), Value::Real(2.5)), 0);
  EXPECT_LT(Compare(Value::Text("10"), Value::Text("9")), 0);  // texts compare as texts
  EXPECT_EQ(Compare(Value::Text("abc  "), Value::Text("abc")), 0);
}

// --- Field references ----------------------------------------------------------------

class FieldRefTest : public ::testing::Test {
 protected:
  FieldRef Field(FieldType type) {
    desc_ = FieldDesc{"T:F", type, type == FieldType::String ? 6u : SizeOf(type), 0};
    std::memset(storage_, 0x5A, sizeof storage_);
    return FieldRef(storage_, desc_);
  }
  FieldDesc desc_;
  std::uint8_t storage_[16];
};

TEST_F(FieldRefTest, AssignmentClampsToEachIntegerWidth) {
  const std::tuple<FieldType, Value, std::int64_t> cases[] = {
      {FieldType::Int8, Value::Integer(300), 127},        {FieldType::Int8, Value::Integer(-300), -128},
      {FieldType::UInt8, Value::Integer(-1), 0},          {FieldType::UInt8, Value::Integer(256), 255},
      {FieldType::UInt8, Value::Text("300"), 255},        {FieldType::Int16, Value::Integer(40000), 32767},
      {FieldType::Int16, Value::Integer(-40000), -32768}, {FieldType::UInt16, Value::Integer(70000), 65535},
      {FieldType::UInt16, Value::Integer(-5), 0},         {FieldType::Int32, Value::Real(1e10), 2147483647},
      {FieldType::Int32, Value::Real(-2.9), -2},          {FieldType::UInt32, Value::Integer(-1), 0},
      {FieldType::UInt32, Value::Real(5e9), 4294967295},  {FieldType::Date, Value::Integer(19782), 19782},
  };
  for (const auto& [type, value, expected] : cases) {
    FieldRef field = Field(type);
    field.Set(value);
    EXPECT_EQ(field.Get().AsInteger(), expected) << static_cast<int>(type) << " <- " << value.AsText();
    // Nothing beyond the field's own bytes is touched.
    EXPECT_EQ(storage_[SizeOf(type)], 0x5A) << static_cast<int>(type);
  }
  FieldRef real = Field(FieldType::Real);
  real.Set(Value::Text("2.75 m"));
  EXPECT_DOUBLE_EQ(real.Get().AsReal(), 2.75);
}

TEST_F(FieldRefTest, HighestLowestAndClearPerType) {
  struct Case {
    FieldType type;
    double highest;
    double lowest;
  };
  const Case cases[] = {
      {FieldType::Int8, 127, -128},
      {FieldType::UInt8, 255, 0},
      {FieldType::Int16, 32767, -32768},
      {FieldType::UInt16, 65535, 0},
      {FieldType::Int32, 2147483647.0, -2147483648.0},
      {FieldType::UInt32, 4294967295.0, 0},
      {FieldType::Date, 2147483647.0, -2147483648.0},
      {FieldType::Time, 2147483647.0, -2147483648.0},
      {FieldType::Real, DBL_MAX, -DBL_MAX},
  };
  for (const Case& c : cases) {
    FieldRef field = Field(c.type);
    field.SetHighest();
    EXPECT_DOUBLE_EQ(field.Get().AsReal(), c.highest) << static_cast<int>(c.type);
    field.SetLowest();
    EXPECT_DOUBLE_EQ(field.Get().AsReal(), c.lowest) << static_cast<int>(c.type);
    field.Clear();
    EXPECT_DOUBLE_EQ(field.Get().AsReal(), 0.0) << static_cast<int>(c.type);
    EXPECT_EQ(storage_[SizeOf(c.type)], 0x5A) << static_cast<int>(c.type);
  }
  FieldRef text = Field(FieldType::String);
  text.SetHighest();
  EXPECT_EQ(text.Bytes(), std::string(6, '\xFF'));
  text.SetLowest();
  EXPECT_EQ(text.Bytes(), std::string(6, '\0'));
  text.Clear();
  EXPECT_EQ(text.Bytes(), "      ");
  EXPECT_EQ(storage_[6], 0x5A);
  text.SetText("abcdefgh");
  EXPECT_EQ(text.Bytes(), "abcdef");
  text.SetInteger(-42);
  EXPECT_EQ(text.Bytes(), "-42   ");
  EXPECT_EQ(text.ClippedText(), "-42");
}

// --- Queues --------------------------------------------------------------------------

struct Entry {
  int key;
  std::string name;
};
bool ByKey(const Entry& a, const Entry& b) { return a.key < b.key; }

std::string Names(Queue<Entry>& queue) {
  std::string names;
  for (const Entry& entry : queue) names += entry.name;
  return names;
}

TEST(QueueTest, AddsInsertsAndKeepsArrivalOrderForEqualKeys) {
  Queue<Entry> queue;
  queue.Add({2, "b"});
  queue.Add({1, "a"});
  EXPECT_EQ(queue.Pointer(), 2u);
  queue.Insert(1, {0, "z"});
  EXPECT_EQ(queue.Pointer(), 1u);
  queue.Insert(99, {9, "y"});  // past the end: appended
  EXPECT_EQ(queue.Pointer(), 4u);
  EXPECT_EQ(Names(queue), "zbay");

  Queue<Entry> sorted;
  for (const Entry& entry : {Entry{2, "b1"}, Entry{1, "a"}, Entry{2, "b2"}, Entry{3, "c"}, Entry{2, "b3"}}) {
    sorted.AddSorted(entry, ByKey);
    EXPECT_EQ(sorted.Get(sorted.Pointer())->name, entry.name);
  }
  EXPECT_EQ(Names(sorted), "ab1b2b3c");
  EXPECT_EQ(sorted.Pointer(), 4u);  // b3, after the earlier 2s
}

TEST(QueueTest, GetPutDeleteSortAndMissingEntries) {
  Queue<Entry> queue;
  for (const Entry& entry : {Entry{3, "c"}, Entry{1, "a1"}, Entry{2, "b"}, Entry{1, "a2"}}) queue.Add(entry);

  ASSERT_NE(queue.Get(2), nullptr);
  EXPECT_EQ(queue.Get(2)->name, "a1");
  EXPECT_EQ(queue.Get(0), nullptr);
  EXPECT_EQ(queue.Get(5), nullptr);
  EXPECT_EQ(queue.Pointer(), 2u);  // a miss leaves the current position alone

  EXPECT_EQ(queue.Find([](const Entry& e) { return e.key == 1; })->name, "a1");
  EXPECT_EQ(queue.Pointer(), 2u);
  EXPECT_EQ(queue.FindLast([](const Entry& e) { return e.key == 1; })->name, "a2");
  EXPECT_EQ(queue.Pointer(), 4u);
  EXPECT_EQ(queue.Find([](const Entry& e) { return e.key == 7; }), nullptr);

  EXPECT_TRUE(queue.Put(3, {2, "B"}));
  EXPECT_FALSE(queue.Put(9, {0, "x"}));
  EXPECT_EQ(Names(queue), "ca1Ba2");

  queue.Sort(ByKey);  // stable: a1 stays before a2
  EXPECT_EQ(Names(queue), "a1a2Bc");

  EXPECT_TRUE(queue.Delete(4));
  EXPECT_EQ(queue.Pointer(), 3u);  // the entry now last
  EXPECT_TRUE(queue.Delete(1));
  EXPECT_EQ(queue.Pointer(), 1u);
  EXPECT_FALSE(queue.Delete(3));
  EXPECT_EQ(Names(queue), "a2B");
  EXPECT_EQ(queue.Records(), 2u);
  queue.Free();
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.Pointer(), 0u);
}

// --- Record layouts ------------------------------------------------------------------

using testing_support::BookmarkLayout;

TEST(RecordLayoutTest, FieldsLieBackToBackWithoutPadding) {
  const RecordLayout layout = BookmarkLayout();
  EXPECT_EQ(layout.RecordSize(), 510u);
  const std::tuple<std::size_t, const char*, std::uint32_t, std::uint32_t> fields[] = {
      {1, "WEB:NUM", 0, 4}, {2, "WEB:URL", 4, 255}, {3, "WEB:DESCRIPTION", 259, 250}, {4, "WEB:NOTEFIELD", 509, 1}};
  for (const auto& [number, label, offset, size] : fields) {
    EXPECT_EQ(layout.Field(number).label, label);
    EXPECT_EQ(layout.Field(number).offset, offset) << label;
    EXPECT_EQ(layout.Field(number).size, size) << label;
  }

  RecordBuffer record(layout);
  EXPECT_EQ(record.View(), std::string(4, '\0') + std::string(505, ' ') + std::string(1, '\0'));
  record.Field("NOTEFIELD").SetInteger(7);
  record.Field("WEB:URL").SetText("http://x");
  EXPECT_EQ(record.View().substr(4, 9), "http://x ");
  EXPECT_EQ(record.View()[509], '\x07');
  record.SetMemo(1, std::string(1200, 'n'));
  EXPECT_EQ(record.Memo(1).size(), 1000u);
  record.Clear();
  EXPECT_EQ(record.Field(4).Get().AsInteger(), 0);
  EXPECT_TRUE(record.Memo(1).empty());
}

TEST(RecordLayoutTest, FindsFieldsAndKeysWithOrWithoutPrefix) {
  const RecordLayout layout = BookmarkLayout();
  const std::pair<const char*, std::size_t> fields[] = {
      {"WEB:URL", 2}, {"web:url", 2}, {"URL", 2},    {"Description", 3}, {"WEB:NOTEFIELD", 4},
      {"NOTE", 0},    {"WEB:", 0},    {"EB:URL", 0}, {"X:URL", 0},       {"", 0},
  };
  for (const auto& [label, number] : fields) EXPECT_EQ(layout.FindField(label), number) << label;
  EXPECT_EQ(layout.FindKey("namekey"), 2u);
  EXPECT_EQ(layout.FindKey("WEB:Desckey"), 3u);
  EXPECT_TRUE(layout.Key(2).unique);
  EXPECT_FALSE(layout.Key(3).unique);
  EXPECT_EQ(layout.PrimaryKey(), 0u);
  EXPECT_FALSE(RecordBuffer(layout).Field("MISSING").Valid());
}

}  // namespace
}  // namespace runtime
