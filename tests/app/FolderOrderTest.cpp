// The folder order's sort texts: a tree's order with each folder's own
// bookmarks before its subfolders, names compared by their words in any
// case and without accents, and names that differ only in spelling kept
// apart; and the order file kept with the bookmarks and built for a
// collection made before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "app/SearchIndex.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

struct Entry {
  std::vector<std::string> folder;
  std::string description;
};

TEST(FolderOrderTextTest, SortsAsATreeByWordsThenSpelling) {
  // In the order the folder tab lists them.
  const std::vector<Entry> ordered = {
      {{}, "apple"},
      {{}, "Banana"},
      {{}, "\u00C9cole"},  // "École" with the e's
      {{}, "ecole  primaire"},
      {{}, "Zebra"},
      {{"C"}, "one"},
      {{"C", "Sub"}, "a"},
      {{"C#"}, "a"},  // the same word as "C", another folder
      {{"C++"}, "a"},
      {{"Travel"}, "z"},
      {{"Travel", "Asia"}, "b"},
      {{"Travel", "Z\u00FCrich"}, "caf\u00E9"},
      {{"Travel", "zurich"}, "a"},
      {{"travel"}, "a"},  // another spelling: another folder, after the whole "Travel" subtree
      {{"Travel Notes"}, "a"},
      {{"Z/ A"}, "slash in a name"},
  };
  std::vector<std::string> texts;
  for (const Entry& entry : ordered) texts.push_back(FolderOrderText(entry.folder, entry.description));
  for (std::size_t i = 1; i < texts.size(); ++i) {
    EXPECT_LT(texts[i - 1], texts[i]) << ordered[i - 1].description << " before " << ordered[i].description;
  }
  // The cut keeps whole characters.
  EXPECT_EQ(FolderOrderText({std::string(2 * kFolderOrderWidth, 'a')}, "x").size(), kFolderOrderWidth);
  const std::string longAccents = FolderOrderText({}, [] {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "\u00E9";
    return text;
  }());
  EXPECT_LE(longAccents.size(), kFolderOrderWidth);
  EXPECT_NE(static_cast<unsigned char>(longAccents.back()) & 0xC0, 0xC0u) << "not cut inside a character";
}

class FolderOrderFileTest : public ::testing::Test {
 protected:
  FolderOrderFileTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unscripted box: " << r.text; });
    EXPECT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
    EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  }
  ~FolderOrderFileTest() override {
    EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    ShutDown();
  }

  static std::int64_t Add(const std::string& url, const std::string& description, std::vector<std::string> folder) {
    if (!folder.empty()) DetailsForNextInsert({std::move(folder), 0, 1, 1});
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(url);
    web.Field(WebDescription).SetText(description);
    EXPECT_EQ(BookmarkStoreManager->Insert(), SeverityOk);
    return web.Field(WebNum).Get().AsInteger();
  }

  // The bookmark numbers the order file holds, in its order.
  static std::vector<std::int64_t> Ordered() {
    std::vector<std::int64_t> numbers;
    runtime::DataFile& order = FolderOrderStore();
    EXPECT_EQ(order.SetOrder(OrdSortKey), runtime::NoError);
    while (order.Next() == runtime::NoError) {
      if (IsBookmarkOrderRecord()) numbers.push_back(order.Record().Field(OrdNum).Get().AsInteger());
    }
    return numbers;
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
};

TEST_F(FolderOrderFileTest, AddsChangesAndDeletesKeepTheOrderFileInStep) {
  EXPECT_TRUE(FolderOrderComplete()) << "a new collection starts complete";
  const std::int64_t zurich = Add("https://zurich.example/", "Z\u00FCrich guide", {"Travel"});
  const std::int64_t byHand = Add("https://hand.example/", "Typed in", {});
  const std::int64_t asia = Add("https://asia.example/", "Asia", {"Travel"});
  EXPECT_EQ(Ordered(), (std::vector<std::int64_t>{byHand, asia, zurich}));

  // A change of description, then of folder, moves the bookmark.
  ASSERT_TRUE(FetchBookmarkNumber(zurich));
  BookmarkStore().Record().Field(WebDescription).SetText("Alps");
  ASSERT_EQ(BookmarkStoreRelations->Update(false), SeverityOk);
  EXPECT_EQ(Ordered(), (std::vector<std::int64_t>{byHand, zurich, asia}));
  ASSERT_TRUE(FetchBookmarkNumber(byHand));
  FolderForNextSave({"Zoo"});
  ASSERT_EQ(BookmarkStoreRelations->Update(false), SeverityOk);
  EXPECT_EQ(Ordered(), (std::vector<std::int64_t>{zurich, asia, byHand}));

  ASSERT_TRUE(FetchBookmarkNumber(asia));
  ASSERT_EQ(BookmarkStoreRelations->Delete(false), SeverityOk);
  EXPECT_EQ(Ordered(), (std::vector<std::int64_t>{zurich, byHand}));
}

TEST_F(FolderOrderFileTest, ACollectionMadeBeforeTheOrderFileGetsItFromTheIndexBuild) {
  std::vector<std::int64_t> numbers;
  for (int i = 0; i < 7; ++i) {
    numbers.push_back(Add("https://page" + std::to_string(i) + ".example/", "Page " + std::to_string(6 - i),
                          {i % 2 == 0 ? "Even" : "Odd"}));
  }
  // The order file as a collection made before it has it: empty.
  runtime::DataFile& order = FolderOrderStore();
  ASSERT_EQ(order.SetOrder(OrdNumKey), runtime::NoError);
  while (order.Next() == runtime::NoError) ASSERT_EQ(order.Delete(), runtime::NoError);
  EXPECT_FALSE(FolderOrderComplete());
  EXPECT_TRUE(SearchIndexComplete()) << "the words were kept";
  EXPECT_FALSE(BookmarkIndexesComplete());

  SearchIndexBuild build;
  ASSERT_EQ(build.Step(3), SeverityOk);
  EXPECT_FALSE(FolderOrderComplete());
  while (!build.Done()) ASSERT_EQ(build.Step(3), SeverityOk);
  EXPECT_TRUE(FolderOrderComplete());
  EXPECT_TRUE(BookmarkIndexesComplete());
  // "Even" first (pages 6, 4, 2, 0 by description), then "Odd".
  const std::vector<std::int64_t> all = {numbers[6], numbers[4], numbers[2], numbers[0],
                                         numbers[5], numbers[3], numbers[1]};
  EXPECT_EQ(Ordered(), all);

  // A record lost after the mark (a crash between two commits) counts as
  // incomplete again, and the build gives it back.
  ASSERT_TRUE(FetchFolderOrder(numbers[3]));
  ASSERT_EQ(order.Delete(), runtime::NoError);
  EXPECT_FALSE(FolderOrderComplete());
  SearchIndexBuild again;
  while (!again.Done()) ASSERT_EQ(again.Step(100), SeverityOk);
  EXPECT_TRUE(FolderOrderComplete());
  EXPECT_EQ(Ordered(), all);
}

}  // namespace
}  // namespace marlinden
