// Clock, calendar and directory services.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/system/Clock.h"
#include "runtime/system/Directory.h"
#include "runtime/system/RuntimeError.h"
#include "testing/TestClock.h"

namespace runtime {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kHundredthsPerDay = 8'640'000;

TEST(ClockTest, SystemClockIsInRange) {
  const std::int32_t clock = Clock();
  EXPECT_GE(clock, 0);
  EXPECT_LT(clock, kHundredthsPerDay);
  EXPECT_GT(Today(), DateFromCivil(2020, 1, 1));
}

TEST(ClockTest, TestClockReplacesTheSystemsAndRollsOverMidnight) {
  const std::int32_t leapDay = DateFromCivil(2024, 2, 29);
  {
    TestClock clock(leapDay, kHundredthsPerDay - 1);
    const ScopedTimeSource use(clock);
    EXPECT_EQ(Clock(), kHundredthsPerDay - 1);
    EXPECT_EQ(Today(), leapDay);
    const std::int64_t steady = CurrentTimeSource().SteadyMicros();
    clock.AdvanceHundredths(1);
    EXPECT_EQ(Clock(), 0);
    EXPECT_EQ(Today(), DateFromCivil(2024, 3, 1));
    EXPECT_EQ(CurrentTimeSource().SteadyMicros() - steady, 10000);

    TestClock before1970(-1, 50);
    const ScopedTimeSource nested(before1970);
    EXPECT_EQ(Today(), -1);
    EXPECT_EQ(Clock(), 50);
  }
  EXPECT_EQ(&CurrentTimeSource(), &SystemTimeSource());
}

TEST(ClockTest, DateArithmetic) {
  struct Case {
    std::int32_t year;
    std::uint32_t month, day;
    std::int32_t date;
  };
  const Case cases[] = {
      {1970, 1, 1, 0},      {1969, 12, 31, -1},   {2000, 3, 1, 11017},  {2024, 2, 29, 19782},
      {2023, 1, 32, 19389}, {2023, 2, 1, 19389},  {2022, 13, 1, 19358}, {2023, 1, 1, 19358},
      {2023, 3, 0, 19416},  {2023, 2, 28, 19416}, {1900, 3, 1, -25508},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateFromCivil(c.year, c.month, c.day), c.date) << c.year << "-" << c.month << "-" << c.day;
  }
  for (std::int32_t date = -800; date < 30000; date += 37) {
    const CivilDate civil = CivilFromDate(date);
    ASSERT_EQ(DateFromCivil(civil.year, civil.month, civil.day), date);
  }
  EXPECT_EQ(DayOfWeek(0), 4u);                            // a Thursday
  EXPECT_EQ(DayOfWeek(DateFromCivil(2024, 2, 29)), 4u);   // also a Thursday
  EXPECT_EQ(DayOfWeek(DateFromCivil(1969, 12, 28)), 0u);  // a Sunday
}

class DirectoryTest : public ::testing::Test {
 protected:
  DirectoryTest() {
    std::string pattern = (fs::temp_directory_path() / "directory-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~DirectoryTest() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  void Touch(const std::string& name, const std::string& content = "") {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::vector<std::string> Names(const std::string& mask) {
    std::vector<DirectoryEntry> entries;
    EXPECT_EQ(ListDirectory((dir_ / mask).string(), entries), NoError);
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : entries) names.push_back(entry.name);
    return names;
  }
  fs::path dir_;
};

TEST_F(DirectoryTest, ListsMatchingEntriesWithTheirAttributes) {
  Touch("a.htm", "12345");
  Touch("B.HTM");
  Touch("notes.txt");
  Touch(".hidden");
  Touch("README");
  fs::create_directory(dir_ / "sub");
  ASSERT_EQ(::chmod((dir_ / "notes.txt").c_str(), 0444), 0);
  // 2023-11-14 22:13:20 UTC, 0.37 s
  const timespec stamp[2] = {{1'700'000'000, 370'000'000}, {1'700'000'000, 370'000'000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir_ / "a.htm").c_str(), stamp, 0), 0);

  EXPECT_EQ(Names("*.htm"), (std::vector<std::string>{"B.HTM", "a.htm"}));
  EXPECT_EQ(Names("*.*"), (std::vector<std::string>{".hidden", "B.HTM", "README", "a.htm", "notes.txt", "sub"}));
  EXPECT_EQ(Names("?.HTM"), (std::vector<std::string>{"B.HTM", "a.htm"}));
  EXPECT_EQ(Names("*.doc"), std::vector<std::string>{});

  std::vector<DirectoryEntry> entries;
  ASSERT_EQ(ListDirectory(dir_.string(), entries), NoError);  // the directory itself: all of it
  ASSERT_EQ(entries.size(), 6u);
  const auto find = [&](const std::string& name) {
    return *std::find_if(entries.begin(), entries.end(), [&](const DirectoryEntry& e) { return e.name == name; });
  };
  EXPECT_EQ(find("sub").attributes, AttributeDirectory);
  EXPECT_EQ(find("notes.txt").attributes, AttributeReadOnly);
  EXPECT_EQ(find(".hidden").attributes, AttributeHidden);
  EXPECT_EQ(find("README").attributes, 0);

  const DirectoryEntry htm = find("a.htm");
  EXPECT_EQ(htm.size, 5);
  tm local{};
  const time_t seconds = 1'700'000'000;
  ::localtime_r(&seconds, &local);
  const std::int64_t localSeconds = seconds + local.tm_gmtoff;
  EXPECT_EQ(htm.date, localSeconds / 86400);
  EXPECT_EQ(htm.time, (localSeconds % 86400) * 100 + 37 + 1);
}

TEST_F(DirectoryTest, MissingDirectoryIsPathNotFound) {
  std::vector<DirectoryEntry> entries{DirectoryEntry{}};
  EXPECT_EQ(ListDirectory((dir_ / "missing" / "*.*").string(), entries), PathNotFound);
  EXPECT_TRUE(entries.empty());
}

TEST(MaskTest, MatchesTheWayWildcardsAlwaysHave) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"README", "*.*", true},
      {"a.htm", "*.HTM", true},
      {"a.html", "*.htm", false},
      {"abc", "a?c", true},
      {"ab", "a?c", false},
      {"x.tar.gz", "*.gz", true},
      {"name", "name.*", true},
      {"names", "name.*", false},
      {"aXbXc", "a*b*c", true},
      {"aXbXd", "a*b*c", false},
      {"", "*", true},
      {"abc", "", false},
  };
  for (const auto& [name, mask, expected] : cases)
    EXPECT_EQ(MatchesMask(name, mask), expected) << name << " ~ " << mask;
}

TEST(PathTest, ShortPathIsAbsoluteAndNormal) {
  const std::string cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(ShortPath("a/../b/"), (fs::path(cwd) / "b").string());
  EXPECT_EQ(ShortPath("/x//y/./z/"), "/x/y/z");
  EXPECT_EQ(ShortPath("/"), "/");
  EXPECT_EQ(ShortPath(""), cwd);
}

TEST_F(DirectoryTest, SetCurrentDirectoryReportsFailures) {
  const std::string start = CurrentDirectory();
  Touch("file");
  EXPECT_EQ(SetCurrentDirectory((dir_ / "missing").string()), PathNotFound);
  EXPECT_EQ(LastErrorCode(), PathNotFound);
  EXPECT_EQ(SetCurrentDirectory((dir_ / "file").string()), PathNotFound);
  EXPECT_EQ(SetCurrentDirectory(""), PathNotFound);
  EXPECT_EQ(CurrentDirectory(), start);

  ASSERT_EQ(SetCurrentDirectory(dir_.string()), NoError);
  EXPECT_EQ(fs::canonical(CurrentDirectory()), fs::canonical(dir_));
  ASSERT_EQ(SetCurrentDirectory(start), NoError);
}

}  // namespace
}  // namespace runtime
