// The details file beside the bookmarks: the stored form of folder paths,
// what an insert, a change in place and a deletion through the program's
// managers (as the main window makes them) do to a bookmark's details.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

TEST(BookmarkDetailsPathTest, NamesComeBackWholeAndALongPathKeepsTheWholeNamesThatFit) {
  const std::vector<std::vector<std::string>> paths = {
      {}, {"One"}, {"a/b", "c \\ d", "&amp; <x>"}, {"", "empty above"}, {"\u00E9t\u00E9", "\U0001F680"}};
  for (const auto& path : paths) EXPECT_EQ(DecodeFolderPath(EncodeFolderPath(path)), path);
  const std::string name(400, 'n');
  EXPECT_EQ(DecodeFolderPath(EncodeFolderPath({name, name, name})), (std::vector<std::string>{name, name}));
  EXPECT_LE(EncodeFolderPath({name, name, name}).size(), kFolderPathWidth);
}

class BookmarkDetailsTest : public ::testing::Test {
 protected:
  BookmarkDetailsTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unscripted box: " << r.text; });
    EXPECT_EQ(StartUp(runtime::kInterfaceVersion), StartUpResult::Started);
    EXPECT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  }
  ~BookmarkDetailsTest() override {
    EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    ShutDown();
  }

  // Adds url through the file manager, numbered as the main window's insert
  // numbers it; returns its number.
  std::int64_t Add(std::string_view url) {
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(url);
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

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
};

TEST_F(BookmarkDetailsTest, AHandAddedBookmarkIsDatedAndAChangeInPlaceDatesItsChange) {
  const std::uint32_t before = SecondsNow();
  const std::int64_t number = Add("https://hand.example/");
  const std::uint32_t after = SecondsNow();
  BookmarkDetails details = ReadBookmarkDetails(number);
  EXPECT_TRUE(details.folder.empty());
  EXPECT_GE(details.added, before);
  EXPECT_LE(details.added, after);
  EXPECT_EQ(details.modified, details.added);

  // Imported details are kept; a change in place sets the modified time only.
  DetailsForNextInsert({{"Bar", "Sub"}, 1, 100, 200});
  const std::int64_t imported = Add("https://imported.example/");
  EXPECT_EQ(ReadBookmarkDetails(imported), (BookmarkDetails{{"Bar", "Sub"}, 1, 100, 200}));
  Fetch("https://imported.example/");
  BookmarkStore().Record().Field(WebDescription).SetText("changed");
  ASSERT_EQ(BookmarkStoreRelations->Update(false), SeverityOk);
  details = ReadBookmarkDetails(imported);
  EXPECT_EQ(details.folder, (std::vector<std::string>{"Bar", "Sub"}));
  EXPECT_EQ(details.added, 100u);
  EXPECT_GE(details.modified, before);
  EXPECT_EQ(ReadBookmarkDetails(number).modified, ReadBookmarkDetails(number).added) << "the other is untouched";
}

TEST_F(BookmarkDetailsTest, ADeletionTakesTheDetailsAndTheNumbersNextBookmarkGetsItsOwn) {
  DetailsForNextInsert({{"Old"}, 0, 1, 1});
  const std::int64_t number = Add("https://old.example/");
  Fetch("https://old.example/");
  ASSERT_EQ(BookmarkStoreRelations->Delete(false), SeverityOk);
  EXPECT_EQ(BookmarkDetailsStore().Records(), 0);

  // Details a crash left for a number no bookmark has are replaced when the
  // number is given out again.
  ASSERT_EQ(WriteBookmarkDetails(number, {{"Orphan"}, 1, 5, 5}, NumberRecords::MayExist), SeverityOk);
  EXPECT_EQ(Add("https://new.example/"), number);
  EXPECT_TRUE(ReadBookmarkDetails(number).folder.empty());
  EXPECT_EQ(BookmarkDetailsStore().Records(), 1);

  // A number said to have no records that has one: the add fails, and the
  // reason is the one told, not cleared by the end of the write.
  EXPECT_EQ(WriteBookmarkDetails(number, {{"Twice"}, 0, 5, 5}, NumberRecords::None), SeverityNotify);
  EXPECT_EQ(runtime::LastErrorCode(), runtime::DuplicateKey);
}

}  // namespace
}  // namespace marlinden
