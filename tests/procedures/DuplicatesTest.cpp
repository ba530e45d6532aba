// The finding of duplicates a step at a time: whatever the number of
// bookmarks a step reads, the same groups in the same order, the oldest of
// each first; a bookmark deleted while the finding goes on is left out; and
// the one-go finding tells its progress to the batches' listener.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/BatchProgress.h"
#include "procedures/Duplicates.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using Groups = std::vector<std::vector<std::string>>;

// Three pages under several spellings among pages named once, stored so
// that neither the numbers nor the groups follow the address order.
std::vector<testing_support::StoredBookmark> Collection() {
  std::vector<testing_support::StoredBookmark> bookmarks = {
      {"https://www.p.example/1/", "P"},  // 1
      {"http://s.example/1", "S"},
      {"https://q.example", "Q"},  // 3
      {"ftp://r.example/a/", "R"},
      {"http://s.example/2", "S"},
      {"http://p.example/1", "P"},  // 6
      {"http://s.example/3", "S"},
      {"https://p.example/2", "another page"},
      {"http://P.example/1#x", "P"},  // 9
      {"ftp://r.example/a", "R"},
      {"http://s.example/4", "S"},
      {"http://q.example/", "Q"},                     // 12
      {"https://p.example:443/1?utm_source=z", "P"},  // 13
  };
  for (int i = 5; i <= 11; ++i) bookmarks.push_back({"http://s.example/" + std::to_string(i), "S"});
  return bookmarks;
}

// By the address order of their first bookmarks (ftp://r... before
// http://p... before http://q...), each oldest first.
const Groups kExpected = {
    {"ftp://r.example/a/", "ftp://r.example/a"},
    {"https://www.p.example/1/", "http://p.example/1", "http://P.example/1#x", "https://p.example:443/1?utm_source=z"},
    {"https://q.example", "http://q.example/"},
};

Groups Addresses(const std::vector<DuplicateGroup>& groups) {
  Groups addresses;
  for (const DuplicateGroup& group : groups) {
    addresses.emplace_back();
    for (const DuplicateBookmark& bookmark : group) addresses.back().push_back(bookmark.url);
  }
  return addresses;
}

class DuplicatesTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Runs body over the stored collection, its files open.
  void WithCollection(const std::function<void()>& body) {
    Start([body] {
      (void)RunProgram([body] {
        testing_support::StoreBookmarks(Collection());
        ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
        ASSERT_EQ(BookmarkStoreManager->UseFile(), SeverityOk);
        body();
        (void)BookmarkStoreRelations->Close();
      });
    });
    ASSERT_TRUE(program->WaitForEnd(30s));
  }

  testing_support::TempCurrentDirectory cwd;
};

TEST_F(DuplicatesTest, EveryStepSizeFindsTheSameGroupsAndTheBarOnlyMovesOn) {
  WithCollection([] {
    const std::size_t bookmarks = Collection().size();
    for (const std::size_t perStep :
         {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, bookmarks, kDuplicateStepBookmarks}) {
      DuplicateFinder finder(perStep);
      std::size_t steps = 0;
      int percent = finder.Percent();
      EXPECT_EQ(percent, 0);
      while (!finder.Done() && steps < 1000) {
        finder.Step();
        ++steps;
        EXPECT_GE(finder.Percent(), percent) << perStep << " a step, step " << steps;
        percent = finder.Percent();
      }
      ASSERT_TRUE(finder.Done()) << perStep << " a step";
      EXPECT_EQ(percent, 100);
      EXPECT_GE(steps, bookmarks / perStep) << perStep << " a step: no step reads more";
      EXPECT_EQ(Addresses(finder.TakeGroups()), kExpected) << perStep << " a step";
    }
  });
}

TEST_F(DuplicatesTest, ABookmarkDeletedWhileTheFindingGoesOnIsLeftOut) {
  WithCollection([] {
    DuplicateFinder finder(3);
    while (!finder.Done() && finder.Percent() < 90) finder.Step();
    ASSERT_FALSE(finder.Done());
    // After the first pass: one of the four spellings of p, one of q's two.
    for (const std::int64_t number : {13, 3}) {
      ASSERT_TRUE(FetchBookmarkNumber(number));
      ASSERT_EQ(BookmarkStoreRelations->Delete(false), SeverityOk);
    }
    while (!finder.Done()) finder.Step();
    EXPECT_EQ(Addresses(finder.TakeGroups()),
              (Groups{kExpected[0], {"https://www.p.example/1/", "http://p.example/1", "http://P.example/1#x"}}));
  });
}

TEST_F(DuplicatesTest, TheFindingInOneGoTellsItsProgress) {
  std::vector<std::pair<std::string, int>> told;
  BatchProgressListen = [&told](std::string_view line, int percent) { told.emplace_back(line, percent); };
  Groups found;
  WithCollection([&found] { found = Addresses(FindDuplicateGroups(2)); });
  BatchProgressListen = nullptr;
  EXPECT_EQ(found, kExpected);
  ASSERT_GT(told.size(), 3u) << "a change a step or so";
  for (std::size_t i = 0; i < told.size(); ++i) {
    EXPECT_EQ(told[i].first, kFindingDuplicatesLine);
    if (i > 0) EXPECT_GT(told[i].second, told[i - 1].second) << "each change once, upwards";
  }
  EXPECT_EQ(told.back().second, 100);
}

}  // namespace
}  // namespace marlinden
