// The narrowing file under a view, as the main window reads it: for few
// matches (fetched and ordered) and for many (the order walked), the rows,
// their order both ways, repositioning by position and by key value, and
// a view filter on top all agree with the bookmark file read whole and
// tested row by row.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/FoundBookmarks.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/views/OrderText.h"
#include "runtime/views/View.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using Urls = std::vector<std::string>;

class FoundBookmarksTest : public ::testing::Test {
 protected:
  FoundBookmarksTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unscripted box: " << r.text; });
    EXPECT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
    EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
    // More "common" bookmarks than a find fetches, and a few rare ones,
    // with descriptions that share values so the order's ties count.
    BookmarkFilesTransaction batch(CommitOrder::DetailsFirst);
    for (int i = 0; i < static_cast<int>(kFindCandidates) + 100; ++i) {
      const std::string tail = std::to_string(i * 7919 % 1237);
      Add((i % 3 == 0 ? "ftp://f" : "https://H") + tail + ".example/" + std::to_string(i),
          "Common " + std::to_string(i % 10) + (i % 97 == 0 ? " rare" : ""));
    }
    EXPECT_TRUE(batch.Commit());
  }
  ~FoundBookmarksTest() override {
    EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    ShutDown();
  }

  static void Add(const std::string& url, const std::string& description) {
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(url);
    web.Field(WebDescription).SetText(description);
    ASSERT_EQ(BookmarkStoreManager->Insert(), SeverityOk);
  }

  static std::string Url() { return std::string(BookmarkStore().Record().Field(WebUrl).ClippedText()); }

  // Every row of view from its start, forward or backward.
  static Urls Read(runtime::View& view, bool forward) {
    Urls urls;
    EXPECT_EQ(view.Reset(), runtime::NoError);
    while ((forward ? view.Next() : view.Previous()) == runtime::NoError) urls.push_back(Url());
    return urls;
  }

  // The bookmark file whole in key's order, each row tested for typed.
  static Urls Expected(std::size_t key, const std::string& typed, bool ftpOnly = false) {
    const FindPlan plan = PlanFind(typed);
    Urls urls;
    runtime::DataFile& file = BookmarkStore();
    EXPECT_EQ(file.SetOrder(key), runtime::NoError);
    while (file.Next() == runtime::NoError) {
      if (ftpOnly && !Url().starts_with("ftp")) continue;
      if (plan.words.empty() || BookmarkHasWords(plan.words)) urls.push_back(Url());
    }
    return urls;
  }

  // The bookmarks with typed, by folder and then description as the
  // folder order sorts them, then by number.
  static Urls ExpectedByFolder(const std::string& typed) {
    const FindPlan plan = PlanFind(typed);
    std::vector<std::pair<std::pair<std::string, std::int64_t>, std::string>> rows;
    runtime::DataFile& file = BookmarkStore();
    EXPECT_EQ(file.SetOrder(WebNumKey), runtime::NoError);
    while (file.Next() == runtime::NoError) {
      if (!plan.words.empty() && !BookmarkHasWords(plan.words)) continue;
      runtime::RecordBuffer& web = file.Record();
      const std::int64_t number = web.Field(WebNum).Get().AsInteger();
      rows.push_back(
          {{FolderOrderText(ReadBookmarkDetails(number).folder, web.Field(WebDescription).ClippedText()), number},
           Url()});
    }
    std::sort(rows.begin(), rows.end());
    Urls urls;
    for (const auto& row : rows) urls.push_back(row.second);
    return urls;
  }

  void Narrow(runtime::View& view, const std::string& typed, std::size_t key) {
    found.SetTyped(typed);
    found.Replan();
    const std::string order = key == kListedFolderKey ? runtime::KeyOrderText(found.Layout(), key)
                                                      : BookmarkStoreManager->KeyOrderText(key, 1);
    ASSERT_EQ(view.SetOrder(order), runtime::NoError);
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  FoundBookmarks found{BookmarkStore()};
};

TEST_F(FoundBookmarksTest, BothPlansReadTheMatchesInTheOrderBothWaysAndAFilterOnTop) {
  runtime::View view(found);
  ASSERT_EQ(view.Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  struct Case {
    std::string typed;
    FindPlan::Kind kind;
  };
  const Case cases[] = {{"rare", FindPlan::Kind::Numbers},     {"common", FindPlan::Kind::Walk},
                        {"common 3", FindPlan::Kind::Numbers}, {"", FindPlan::Kind::All},
                        {"ht rare", FindPlan::Kind::Numbers},  {"ftp", FindPlan::Kind::Walk},
                        {"nothing", FindPlan::Kind::Numbers}};
  for (const Case& c : cases) {
    for (const std::size_t key : {WebNameKey, WebDescKey}) {
      Narrow(view, c.typed, key);
      EXPECT_EQ(found.Plan().kind, c.kind) << c.typed;
      const Urls expected = Expected(key, c.typed);
      EXPECT_EQ(Read(view, true), expected) << c.typed << " in order " << key;
      EXPECT_EQ(Read(view, false), Urls(expected.rbegin(), expected.rend())) << c.typed << " backward";
    }
  }
  Narrow(view, "rare", WebNameKey);
  ASSERT_EQ(view.SetFilter("(UPPER(sub(web:url,1,3)) = 'FTP')"), runtime::NoError);
  EXPECT_EQ(Read(view, true), Expected(WebNameKey, "rare", true));
  EXPECT_FALSE(Read(view, true).empty());
}

TEST_F(FoundBookmarksTest, APositionAndAKeyValueRepositionWithinTheMatches) {
  runtime::View view(found);
  ASSERT_EQ(view.Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  for (const std::string typed : {"rare", "common"}) {
    Narrow(view, typed, WebDescKey);
    const Urls all = Expected(WebDescKey, typed);
    ASSERT_GE(all.size(), 5u);
    // The third row's position: Next reads it again, Previous the second.
    ASSERT_EQ(view.Reset(), runtime::NoError);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(view.Next(), runtime::NoError);
    const std::string third = view.Position();
    ASSERT_EQ(view.ResetToPosition(third), runtime::NoError);
    ASSERT_EQ(view.Next(), runtime::NoError);
    EXPECT_EQ(Url(), all[2]) << typed;
    ASSERT_EQ(view.ResetToPosition(third), runtime::NoError);
    ASSERT_EQ(view.Previous(), runtime::NoError);
    EXPECT_EQ(Url(), all[1]) << typed;
    // After a re-read, the reading goes on from the record re-read.
    ASSERT_EQ(view.Reget(third), runtime::NoError);
    ASSERT_EQ(view.Next(), runtime::NoError);
    EXPECT_EQ(Url(), all[3]) << typed;

    // A locator's value: the first match whose description is at least it.
    BookmarkStore().Record().Field(WebDescription).SetText("COMMON 5");
    ASSERT_EQ(view.ResetToBuffer(1), runtime::NoError);
    ASSERT_EQ(view.Next(), runtime::NoError);
    EXPECT_TRUE(BookmarkStore().Record().Field(WebDescription).ClippedText().starts_with("Common 5")) << typed;
  }
}

TEST_F(FoundBookmarksTest, TheFolderOrderReadsByFolderThenDescriptionNarrowedOrNotAndRepositions) {
  for (int i = 0; i < 30; ++i) {
    DetailsForNextInsert({{i % 2 == 0 ? "Work" : "Travel", "Sub " + std::to_string(i % 3)}, 0, 1, 1});
    Add("https://folder" + std::to_string(i) + ".example/", "Common " + std::to_string(i % 10) + " rare");
  }
  // As deep a folder and as long a description as a bookmark can have.
  DetailsForNextInsert({std::vector<std::string>(20, std::string(48, 'd')), 0, 1, 1});
  Add("https://deep.example/", std::string(250, 'r'));
  runtime::View view(found);
  ASSERT_EQ(view.Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  for (const std::string typed : {"", "rare", "common", "common 3 rare"}) {
    Narrow(view, typed, kListedFolderKey);
    const Urls expected = ExpectedByFolder(typed);
    ASSERT_GE(expected.size(), 5u) << typed;
    EXPECT_EQ(Read(view, true), expected) << typed;
    EXPECT_EQ(Read(view, false), Urls(expected.rbegin(), expected.rend())) << typed << " backward";

    // The row last but two's position, taken among the folders.
    ASSERT_EQ(view.Reset(), runtime::NoError);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(view.Previous(), runtime::NoError);
    const std::string position = view.Position();
    EXPECT_LE(position.size(), 1024u) << "a position the list keeps whole";
    const std::size_t at = expected.size() - 3;
    ASSERT_EQ(view.ResetToPosition(position), runtime::NoError);
    ASSERT_EQ(view.Next(), runtime::NoError);
    EXPECT_EQ(Url(), expected[at]) << typed;
    ASSERT_EQ(view.ResetToPosition(position), runtime::NoError);
    ASSERT_EQ(view.Previous(), runtime::NoError);
    EXPECT_EQ(Url(), expected[at - 1]) << typed;
    ASSERT_EQ(view.Reget(position), runtime::NoError);
    EXPECT_EQ(Url(), expected[at]) << typed;
    ASSERT_EQ(view.Next(), runtime::NoError);
    EXPECT_EQ(Url(), expected[at + 1]) << typed << ": the reading goes on from the record re-read";
  }

  // A bookmark deleted straight in the bookmark file leaves its order
  // record, which the reading passes over.
  Narrow(view, "", kListedFolderKey);
  Urls expected = ExpectedByFolder("");
  runtime::RecordBuffer& web = BookmarkStore().Record();
  web.Clear();
  web.Field(WebUrl).SetText(expected.back());
  ASSERT_EQ(BookmarkStore().Get(WebNameKey), runtime::NoError);
  ASSERT_EQ(BookmarkStore().Delete(), runtime::NoError);
  expected.pop_back();
  EXPECT_EQ(Read(view, false), Urls(expected.rbegin(), expected.rend()));
}

TEST_F(FoundBookmarksTest, AMatchDeletedByAnotherStationIsPassedOver) {
  runtime::View view(found);
  ASSERT_EQ(view.Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  Narrow(view, "rare", WebNameKey);
  const Urls before = Read(view, true);
  ASSERT_GE(before.size(), 3u);
  // The bookmark file's own station deletes the second match.
  runtime::RecordBuffer& web = BookmarkStore().Record();
  web.Clear();
  web.Field(WebUrl).SetText(before[1]);
  ASSERT_EQ(BookmarkStore().Get(WebNameKey), runtime::NoError);
  ASSERT_EQ(BookmarkStore().Delete(), runtime::NoError);
  Urls after = before;
  after.erase(after.begin() + 1);
  EXPECT_EQ(Read(view, true), after);
}

}  // namespace
}  // namespace marlinden
