// The scroll step tables: the fixed name and alphabet tables, the table
// computed from the view's first and last values (common prefix, 64-bit key
// values, no division by an empty character set), descending keys, and the
// thumb staying within 1-100 for every input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/text/FixedText.h"
#include "window/StringStep.h"

namespace marlinden {
namespace {

StringStep Step(std::uint8_t options, std::uint8_t mode) {
  StringStep step;
  step.Init(options, mode);
  return step;
}

bool Ascending(const StringStep& step) {
  for (std::size_t p = 2; p <= kStepEntries; ++p) {
    if (step.Entry(p - 1) > step.Entry(p)) return false;
  }
  return true;
}

TEST(StringStepTest, FixedTablesPlaceValuesByPrefix) {
  struct Case {
    std::uint8_t mode;
    std::uint8_t options;
    std::string value;
    std::int32_t percentile;
  };
  const std::vector<Case> cases = {
      {LookupNames, StepLetters, "Albert", 2},  // three spaces and ALB are not greater
      {LookupNames, StepLetters, "ALB", 2},     // equal counts
      {LookupNames, StepLetters, "AAA", 1},     // only the blank entry: 1
      {LookupNames, StepLetters, "", 1},        // the blank entry equals an empty value
      {LookupNames, StepLetters, "zzz", 100},   // above the last prefix
      {LookupNames, StepLetters | StepDescending, "zzz", 1},
      {LookupNames, StepLetters | StepDescending, "Albert", 99},
      {LookupNames, StepLetters | StepCaseSensitive, "albert", 100},  // lower case sorts after upper
      {LookupAlphabet, StepLetters, "A", 1},
      {LookupAlphabet, StepLetters, "AF", 2},
      {LookupAlphabet, StepLetters, "b", 5},
      {LookupAlphabet, StepLetters, "QZ", 66},  // Q has two entries only
      {LookupAlphabet, StepLetters, "ZZ", 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value + " mode " + std::to_string(c.mode) + " options " + std::to_string(c.options));
    StringStep step = Step(c.options, c.mode);
    EXPECT_EQ(step.GetPercentile(c.value), c.percentile);
    EXPECT_TRUE(Ascending(step));
  }
  StringStep alphabet = Step(StepLetters, LookupAlphabet);
  EXPECT_EQ(alphabet.Entry(1), "  ");
  EXPECT_EQ(alphabet.Entry(2), "AF");
  EXPECT_EQ(alphabet.Entry(100), "ZN");
  StringStep names = Step(StepLetters, LookupNames);
  EXPECT_EQ(names.Entry(100), "YOR");
  EXPECT_EQ(names.NeedsLimits(), 0);
}

TEST(StringStepTest, GetValueMapsEveryThumbPositionIntoTheTable) {
  StringStep names = Step(StepLetters, LookupNames);
  EXPECT_EQ(names.GetValue(0), "   ") << "0 reads as 1";
  EXPECT_EQ(names.GetValue(2), "ALB");
  EXPECT_EQ(names.GetValue(100), "YOR");
  EXPECT_EQ(names.GetValue(-7), "   ");
  EXPECT_EQ(names.GetValue(250), "YOR") << "out of range positions are held to the table";
  StringStep descending = Step(StepLetters | StepDescending, LookupNames);
  EXPECT_EQ(descending.GetValue(1), "YOR");
  EXPECT_EQ(descending.GetValue(100), "   ");
}

TEST(StringStepTest, SortCharsFollowTheOptions) {
  EXPECT_EQ(Step(StepLetters, LookupComputed).SORTCHARS, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(Step(StepDigits, LookupComputed).SORTCHARS, "0123456789");
  EXPECT_EQ(Step(StepLetters | StepCaseSensitive, LookupComputed).SORTCHARS.size(), 52u);
  const std::string specials = Step(StepSpecials, LookupComputed).SORTCHARS;
  EXPECT_EQ(specials.size(), 30u) << "31 characters, the percent sign twice";
  EXPECT_EQ(specials.front(), ' ');
  EXPECT_EQ(static_cast<unsigned char>(specials.back()), 0xA3);
  EXPECT_EQ(Step(StepLetters, LookupComputed).NeedsLimits(), 1);
}

TEST(StringStepTest, ComputedTableSpreadsTheRangeAfterTheCommonPrefix) {
  StringStep step = Step(StepLetters, LookupComputed);
  step.SetLimits("http://www.alpha.example/", "http://www.zulu.example/");
  EXPECT_EQ(step.ROOT, "HTTP://WWW.");
  EXPECT_TRUE(Ascending(step));
  EXPECT_EQ(step.GetValue(1).substr(0, 11), "HTTP://WWW.") << "every entry extends the prefix";
  EXPECT_EQ(step.GetPercentile("http://www.alpha.example/"), 1);
  EXPECT_EQ(step.GetPercentile("http://www.zulu.example/"), 100);
  const std::int32_t middle = step.GetPercentile("http://www.mike.example/");
  EXPECT_GT(middle, 40);
  EXPECT_LT(middle, 60);
  // A value taken from a thumb position comes back to about that position.
  for (std::int32_t p : {10, 50, 90}) {
    EXPECT_NEAR(step.GetPercentile(step.GetValue(p)), p, 1) << p;
  }
}

TEST(StringStepTest, ComputedDescendingRunsFromHundredDownToOne) {
  StringStep step = Step(StepLetters | StepDescending, LookupComputed);
  step.SetLimits("apple", "zebra");
  EXPECT_EQ(step.GetPercentile("apple"), 100);
  EXPECT_EQ(step.GetPercentile("zebra"), 1);
  const std::int32_t middle = step.GetPercentile("mango");
  EXPECT_GT(middle, 40);
  EXPECT_LT(middle, 60);
  EXPECT_GT(step.GetValue(1), "X") << "the top of a descending list holds the high values";
  EXPECT_LT(step.GetValue(100), "B");
}

// Awkward limits never divide by zero, overflow or leave 1-100.
TEST(StringStepTest, AwkwardLimitsKeepTheThumbInRange) {
  const std::string longPrefix = "https://www.example.com/a/very/long/common/path/shared/by/all/";
  struct Case {
    std::string name;
    std::uint8_t options;
    std::string low;
    std::string high;
  };
  const std::vector<Case> cases = {
      {"no records", StepLetters, "", ""},
      {"one record", StepLetters, "http://a.com", "http://a.com"},
      {"two records", StepLetters, "http://a.com", "http://b.com"},
      {"prefix longer than 39 bytes", StepLetters, longPrefix + "aaa", longPrefix + "zzz"},
      {"one value a prefix of the other", StepLetters, longPrefix, longPrefix + "zzzz"},
      {"no characters to step through", 0, "a", "z"},
      {"every character", StepLetters | StepDigits | StepSpecials | StepCaseSensitive, "!", "\xC3\xA9t\xC3\xA9"},
      {"multi-byte prefix", StepLetters, "caf\xC3\xA9 a", "caf\xC3\xA8 z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StringStep step = Step(c.options, LookupComputed);
    step.SetLimits(c.low, c.high);
    EXPECT_TRUE(Ascending(step));
    for (const std::string& value : {c.low, c.high, std::string(), longPrefix, std::string("\xFF\xFF")}) {
      const std::int32_t p = step.GetPercentile(value);
      EXPECT_GE(p, 1);
      EXPECT_LE(p, 100);
    }
    for (std::int32_t p : {0, 1, 50, 100}) EXPECT_EQ(step.GetValue(p).substr(0, step.ROOT.size()), step.ROOT);
  }
  StringStep multiByte = Step(StepLetters, LookupComputed);
  multiByte.SetLimits("caf\xC3\xA9 a", "caf\xC3\xA8 z");
  EXPECT_EQ(multiByte.ROOT, "CAF") << "the prefix never ends inside a character";
  StringStep prefixed = Step(StepLetters, LookupComputed);
  prefixed.SetLimits(longPrefix + "aaa", longPrefix + "zzz");
  EXPECT_EQ(prefixed.ROOT, runtime::UpperAscii(longPrefix)) << "the whole common prefix, past 39 bytes";
}

}  // namespace
}  // namespace marlinden
