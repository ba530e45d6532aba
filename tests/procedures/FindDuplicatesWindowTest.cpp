// The "Find Duplicates" window: one bookmark a row with its group and the
// one kept marked; "Keep This One" moves the mark, "Merge Group" keeps that
// one and deletes the rest of its group, and a collection without
// duplicates is told so instead of shown an empty list.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/FindDuplicates.h"
#include "runtime/system/RuntimeError.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

class FindDuplicatesWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Stores bookmarks, runs the window, and keeps the addresses left.
  void Open(const std::vector<testing_support::StoredBookmark>& bookmarks) {
    Start([this, bookmarks] {
      (void)RunProgram([this, bookmarks] {
        testing_support::StoreBookmarks(bookmarks);
        FindDuplicates();
        ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
        (void)BookmarkStore().SetOrder(WebNameKey);
        while (BookmarkStore().Next() == runtime::NoError) {
          left.emplace_back(BookmarkStore().Record().Field(WebUrl).ClippedText());
        }
        (void)BookmarkStoreRelations->Close();
      });
    });
  }
  void Select(std::int32_t row) {
    runtime::ui::EventData data;
    data.selectedRow = row;
    driver.Post(id, runtime::ui::EventCode::NewSelection, DuplicatesList, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Click(std::int32_t button) {
    driver.Click(id, button);
    ASSERT_TRUE(driver.WaitIdle(1));
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
  Texts left;
};

TEST_F(FindDuplicatesWindowTest, TheUserKeepsOneOfAGroupAndMergesTheRestIntoIt) {
  Open({{"http://a.example/x", "A one"},
        {"https://www.a.example/x/", "A two"},
        {"http://b.example/", "B one"},
        {"http://B.example/#top", "B two"},
        {"http://c.example/", "C alone"}});
  id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 0), (Texts{"1", "1", "2", "2"}));
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 1), (Texts{kKeptMark, "", kKeptMark, ""})) << "the oldest kept";
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 2),
            (Texts{"http://a.example/x", "https://www.a.example/x/", "http://b.example/", "http://B.example/#top"}));

  Select(2);
  Click(DuplicatesKeep);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 1), (Texts{"", kKeptMark, kKeptMark, ""}));
  Click(DuplicatesMergeGroup);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 2), (Texts{"http://b.example/", "http://B.example/#top"}))
      << "the merged group leaves the list";
  driver.PressKey(id, DuplicatesList, runtime::ui::KeyCode::Esc);
  ASSERT_TRUE(program->WaitForEnd(30s));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (Texts{"http://B.example/#top", "http://b.example/", "http://c.example/", "https://www.a.example/x/"}))
      << "the group not merged stays whole";
}

TEST_F(FindDuplicatesWindowTest, ACollectionWithoutDuplicatesIsToldSo) {
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest&) {});
  Open({{"http://a.example/", "A"}, {"http://a.example/b", "B"}});
  ASSERT_TRUE(program->WaitForEnd(30s));
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(kNoDuplicates), std::string::npos) << boxes[0].text;
  EXPECT_EQ(left.size(), 2u);
}

}  // namespace
}  // namespace marlinden
