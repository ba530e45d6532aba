// The find's index beside the bookmarks: kept in step by an insert, a
// change in place and a deletion through the program's managers (as the
// main window makes them), built for a collection that had none, and the
// find's two plans agreeing with each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/SearchIndex.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using Numbers = std::vector<std::int64_t>;

class SearchIndexTest : public ::testing::Test {
 protected:
  SearchIndexTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unscripted box: " << r.text; });
    EXPECT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
    EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  }
  ~SearchIndexTest() override {
    EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    ShutDown();
  }

  std::int64_t Add(std::string_view url, std::string_view description, std::vector<std::string> folder = {}) {
    if (!folder.empty()) DetailsForNextInsert({std::move(folder), 0, 1, 1});
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(url);
    web.Field(WebDescription).SetText(description);
    EXPECT_EQ(BookmarkStoreManager->Insert(), SeverityOk);
    return web.Field(WebNum).Get().AsInteger();
  }

  void Fetch(std::string_view url) {
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(url);
    ASSERT_EQ(BookmarkStoreManager->TryFetch(WebNameKey), SeverityOk);
    BookmarkStoreRelations->SaveLinkValues();
  }

  // The bookmarks the find gives through the index: its candidates, each
  // fetched and kept when it matches, as the find's readers do.
  static Numbers Found(std::string_view typed) {
    const FindPlan plan = PlanFind(typed);
    EXPECT_EQ(plan.kind, FindPlan::Kind::Numbers) << typed;
    Numbers numbers;
    runtime::DataFile& file = BookmarkStore();
    for (const std::int64_t number : plan.numbers) {
      file.Record().Clear();
      file.Record().Field(WebNum).SetInteger(number);
      if (file.Get(WebNumKey) == runtime::NoError && BookmarkMatches(plan)) numbers.push_back(number);
    }
    return numbers;
  }

  // The bookmarks whose own words match, each one tested.
  static Numbers Tested(std::string_view typed) {
    const FindPlan plan = PlanFind(typed);
    Numbers numbers;
    runtime::DataFile& file = BookmarkStore();
    EXPECT_EQ(file.SetOrder(WebNumKey), runtime::NoError);
    while (file.Next() == runtime::NoError) {
      if (plan.words.empty() || BookmarkHasWords(plan.words)) {
        numbers.push_back(file.Record().Field(WebNum).Get().AsInteger());
      }
    }
    return numbers;
  }

  // The words the index holds for number.
  static std::vector<std::string> Indexed(std::int64_t number) {
    std::vector<std::string> words;
    runtime::DataFile& file = BookmarkWordsStore();
    EXPECT_EQ(file.SetOrder(WrdNumKey), runtime::NoError);
    while (file.Next() == runtime::NoError) {
      if (file.Record().Field(WrdNum).Get().AsInteger() == number) {
        words.emplace_back(file.Record().Field(WrdWord).ClippedText());
      }
    }
    return words;
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
};

TEST_F(SearchIndexTest, AnInsertAChangeInPlaceAndADeletionKeepTheIndexInStep) {
  const std::int64_t guide = Add("https://example.ch/", "Z\u00FCrich caf\u00E9 guide", {"Reisen", "Schweiz"});
  const std::int64_t other = Add("https://other.example/zurich-lake", "Lake");
  EXPECT_EQ(Found("zurich cafe"), (Numbers{guide}));
  EXPECT_EQ(Found("zur"), (Numbers{guide, other}));
  EXPECT_EQ(Found("schweiz zur"), (Numbers{guide})) << "a folder name counts";
  EXPECT_TRUE(Found("zurich bar").empty());

  Fetch("https://example.ch/");
  BookmarkStore().Record().Field(WebDescription).SetText("Gen\u00E8ve bistro");
  BookmarkStore().Record().SetMemo(WebNotes, "Notes: terrace");
  ASSERT_EQ(BookmarkStoreRelations->Update(false), SeverityOk);
  EXPECT_EQ(Found("geneve terr"), (Numbers{guide}));
  EXPECT_TRUE(Found("cafe").empty());
  const std::vector<std::string> changed = Indexed(guide);
  EXPECT_EQ(std::count(changed.begin(), changed.end(), "cafe"), 0) << "the old word is dropped";
  EXPECT_EQ(Found("reisen"), (Numbers{guide})) << "the folder stays";

  Fetch("https://example.ch/");
  ASSERT_EQ(BookmarkStoreRelations->Delete(false), SeverityOk);
  EXPECT_TRUE(Indexed(guide).empty());
  EXPECT_EQ(Found("zur"), (Numbers{other}));
}

TEST_F(SearchIndexTest, WordsLeftForANumberNoBookmarkHasAreNeverFoundAndAreReplacedWhenItIsGivenOut) {
  const std::int64_t kept = Add("https://kept.example/", "Kept");
  ASSERT_EQ(WriteBookmarkWords(kept + 1, {"orphan"}, WordsWrite::Replace), SeverityOk);
  EXPECT_TRUE(Found("orphan").empty());
  const std::int64_t next = Add("https://next.example/", "Fresh");
  ASSERT_EQ(next, kept + 1);
  EXPECT_TRUE(Found("orphan").empty());
  EXPECT_EQ(Indexed(next), (std::vector<std::string>{"example", "fresh", "next"})) << "without https";
}

TEST_F(SearchIndexTest, TheIndexAndTheTestOfEachBookmarkFindTheSame) {
  const char* descriptions[] = {"Caf\u00E9 M\u00FCller", "Cafeteria", "M\u00FCnchen Caf\u00E9", "Muller", "Tea"};
  for (int i = 0; i < 5; ++i) Add("https://shop" + std::to_string(i) + ".example/", descriptions[i]);
  for (const char* typed : {"caf", "cafe mul", "MUN", "tea", "shop3", "example https", "x", "muller cafeteria"}) {
    EXPECT_EQ(Found(typed), Tested(typed)) << typed;
  }
  EXPECT_EQ(PlanFind("  ").kind, FindPlan::Kind::All);
  EXPECT_EQ(PlanFind("htt").kind, FindPlan::Kind::Walk) << "a word the index leaves out is tested row by row";
  EXPECT_EQ(Tested("htt").size(), 5u);
  EXPECT_EQ(PlanFind("caf", 1).kind, FindPlan::Kind::Walk) << "more candidates than asked for";
}

TEST_F(SearchIndexTest, ACollectionWithoutAnIndexIsTestedUntilTheBuildHasGoneThroughEveryBookmark) {
  for (int i = 0; i < 7; ++i) Add("https://page" + std::to_string(i) + ".example/", "Page");
  // The index as a collection made before it has it: none at all.
  runtime::DataFile& words = BookmarkWordsStore();
  ASSERT_EQ(words.SetOrder(WrdWordKey), runtime::NoError);
  while (words.Next() == runtime::NoError) ASSERT_EQ(words.Delete(), runtime::NoError);
  EXPECT_FALSE(SearchIndexComplete());
  EXPECT_EQ(PlanFind("page3").kind, FindPlan::Kind::Walk);
  EXPECT_EQ(Tested("page3").size(), 1u);

  SearchIndexBuild build;
  ASSERT_EQ(build.Step(3), SeverityOk);
  EXPECT_FALSE(build.Done());
  EXPECT_FALSE(SearchIndexComplete());
  while (!build.Done()) ASSERT_EQ(build.Step(3), SeverityOk);
  EXPECT_EQ(build.Indexed(), 7);
  EXPECT_TRUE(SearchIndexComplete());
  EXPECT_EQ(Found("page").size(), 7u);
  EXPECT_EQ(Found("page6"), (Numbers{7}));
}

TEST_F(SearchIndexTest, AFreshCollectionCountsAsIndexedAndLongWordsAreCutAlike) {
  EXPECT_TRUE(SearchIndexComplete());
  const std::string longWord(60, 'w');
  const std::int64_t number = Add("https://long.example/" + longWord, "\u00E9" + std::string(60, 'e'));
  const std::vector<std::string> indexed = Indexed(number);
  for (const std::string& word : indexed) EXPECT_LE(word.size(), kSearchWordWidth);
  EXPECT_EQ(Found(longWord), (Numbers{number}));
  EXPECT_EQ(Found(std::string(60, 'e')), (Numbers{number}));
}

}  // namespace
}  // namespace marlinden
