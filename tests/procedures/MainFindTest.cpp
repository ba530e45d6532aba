// The main window's find box: the list narrows with each key typed there,
// within every tab's order and filter and within a query, Escape and
// Ctrl+F do what they say, and editing in place and deleting act on the
// narrowed list's rows.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/SearchIndex.h"
#include "app/StartUp.h"
#include "procedures/MainWindow.h"
#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeError.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using runtime::ui::WindowId;
using Texts = std::vector<std::string>;

const std::vector<testing_support::StoredBookmark> kBookmarks = {
    {"http://b.example/", "Bravo"},
    {"ftp://files.example/zurich", "Alpha files"},
    {"https://zurich.example/", "Caf\u00E9 Z\u00FCrich"},
    {"https://cafe.example/", "Z\u00FCrich guide"},
    {"gopher://old.example/", "Delta"},
};

class MainFindTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Start([] {
      (void)RunProgram([] {
        testing_support::StoreBookmarks(kBookmarks);
        MainBookmarkWindow();
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }
  void TearDown() override {
    driver.Click(id, MainCloseButton);
    EXPECT_TRUE(program->WaitForEnd(10s));
    WindowFixture::TearDown();
  }

  // The find box's text after an edit, as the box reports it.
  void Edit(std::string text) {
    runtime::ui::EventData data;
    data.text = std::move(text);
    Post(EventCode::NewSelection, kMainFindBox, std::move(data));
  }
  // Types text at the end of the find box, one key at a time.
  void Type(const std::string& text) {
    for (const char c : text) Edit(Box() + c);
  }
  // Backspace at the end of the box, count times.
  void Erase(int count) {
    for (int i = 0; i < count; ++i) {
      std::string text = Box();
      text.pop_back();
      Edit(std::move(text));
    }
  }
  void Key(KeyCode key, std::int32_t control) {
    driver.PressKey(id, control, key);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Post(EventCode code, std::int32_t control, runtime::ui::EventData data = {}) {
    driver.Post(id, code, control, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void ChooseTab(std::int32_t tab) {
    runtime::ui::EventData data;
    data.value = tab;
    Post(EventCode::NewSelection, MainSheet, std::move(data));
  }
  void ChooseRow(std::int32_t row) {
    runtime::ui::EventData data;
    data.selectedRow = row;
    Post(EventCode::NewSelection, MainList, std::move(data));
  }
  Texts Column(std::size_t column = 0) { return driver.ColumnTexts(id, MainList, column); }
  std::string Box() { return driver.Text(id, kMainFindBox); }
  std::int32_t Focus() {
    std::int32_t focus = 0;
    driver.WithWindow(id, [&](runtime::ui::Window& w) { focus = w.Focus(); });
    return focus;
  }
  // The edit control placed over a cell of the list; 0 when none.
  std::int32_t Editor() {
    std::int32_t editor = 0;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      for (std::int32_t number : w.ControlNumbers()) {
        const runtime::ui::Control* c = w.Find(number);
        if (c->Properties().placement.list == MainList && !c->Hidden()) editor = number;
      }
    });
    return editor;
  }
  void PressInEditor(KeyCode key, std::optional<std::string> text = std::nullopt) {
    const std::int32_t editor = Editor();
    ASSERT_NE(editor, 0) << "no cell is being edited";
    runtime::ui::EventData data;
    data.key = key;
    data.text = std::move(text);
    Post(EventCode::AlertKey, editor, std::move(data));
  }
  // Every stored bookmark's address, in address order.
  Texts Stored() {
    Texts urls;
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      auto other = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), "MARLINDEN");
      ASSERT_EQ(other->Open(0x42), runtime::NoError);
      ASSERT_EQ(other->SetOrder(WebNameKey), runtime::NoError);
      while (other->Next() == runtime::NoError) urls.emplace_back(other->Record().Field(WebUrl).ClippedText());
      (void)other->Close();
    });
    return urls;
  }

  testing_support::TempCurrentDirectory cwd;
  WindowId id = runtime::ui::kNoWindow;
};

TEST_F(MainFindTest, EachKeyNarrowsTheListWithinEveryTabsOrderAndFilter) {
  Key(KeyCode::Ctrl | runtime::ui::Letter('F'), MainList);
  EXPECT_EQ(Focus(), kMainFindBox) << "Ctrl+F puts the cursor in the box";
  Type("z");
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich", "https://cafe.example/", "https://zurich.example/"}));
  Type("ur");
  EXPECT_EQ(Box(), "zur");
  EXPECT_EQ(Column().size(), 3U);
  Type(" C");
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/", "https://zurich.example/"})) << "an address and a word";
  Type("af");
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/", "https://zurich.example/"}))
      << "cafe in an address, caf\u00E9 in a description";
  Type("e g");
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/"}));
  Erase(2);
  EXPECT_EQ(Box(), "zur Cafe");

  ChooseTab(2);
  EXPECT_EQ(Column(1), (Texts{"Caf\u00E9 Z\u00FCrich", "Z\u00FCrich guide"})) << "in the descriptions' order";
  Erase(5);
  EXPECT_EQ(Box(), "zur");
  // An edit in the middle of the words narrows as one at the end does.
  Edit("zur guide");
  EXPECT_EQ(Column(1), (Texts{"Z\u00FCrich guide"}));
  Edit("zur");
  ChooseTab(3);
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/", "https://zurich.example/"})) << "web addresses only";
  ChooseTab(4);
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich"})) << "FTP addresses only";

  Key(KeyCode::Esc, kMainFindBox);
  EXPECT_EQ(Box(), "");
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich"})) << "the whole tab again";
  ChooseTab(1);
  EXPECT_EQ(Column().size(), 5U);

  // Escape on the list clears the words too; Enter goes back to the list.
  Type("bravo");
  EXPECT_EQ(Column(), (Texts{"http://b.example/"}));
  Key(KeyCode::Enter, kMainFindBox);
  EXPECT_EQ(Focus(), MainList);
  Key(KeyCode::Esc, MainList);
  EXPECT_EQ(Box(), "");
  EXPECT_EQ(Column().size(), 5U);
}

TEST_F(MainFindTest, TextTheBoxHandsOverWholeNarrowsTooAndNothingFoundEmptiesTheList) {
  runtime::ui::EventData data;
  data.text = "Z\u00DCRICH GUI";
  Post(EventCode::Accepted, kMainFindBox, std::move(data));
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/"}));
  Type("x");
  EXPECT_TRUE(Column().empty());
  Erase(1);
  EXPECT_EQ(Column(), (Texts{"https://cafe.example/"}));
}

TEST_F(MainFindTest, ChangesAndDeletionsActOnTheNarrowedListsRows) {
  Type("zur");
  ChooseRow(2);  // https://cafe.example/
  driver.Click(id, MainChangeButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_NE(Editor(), 0) << "the highlighted row is edited in place";
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  PressInEditor(KeyCode::Enter, "https://cafe2.example/");
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich", "https://cafe2.example/", "https://zurich.example/"}));

  // A change that takes the word away takes the row out of the list.
  ChooseRow(2);
  driver.Click(id, MainChangeButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  PressInEditor(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  PressInEditor(KeyCode::Enter, "Geneva guide");
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich", "https://zurich.example/"}));

  ChooseRow(2);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  driver.Click(id, MainDeleteButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column(), (Texts{"ftp://files.example/zurich"}));
  EXPECT_EQ(Stored(), (Texts{"ftp://files.example/zurich", "gopher://old.example/", "http://b.example/",
                             "https://cafe2.example/"}))
      << "the highlighted match was deleted, the changed one kept";
  Key(KeyCode::Esc, kMainFindBox);
  EXPECT_EQ(Column().size(), 4U);
}

// A collection made before the index: the find tests each bookmark while
// the main window's timer builds the index, and finds the same after.
class MainFindIndexBuildTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  testing_support::TempCurrentDirectory cwd;
};

TEST_F(MainFindIndexBuildTest, TheTimerIndexesAnOlderCollectionAndTheFindShowsTheSameMatches) {
  std::vector<std::string> urls;
  for (int i = 0; i < 1200; ++i) urls.push_back("https://site" + std::to_string(i) + ".example/");
  testing_support::WriteBookmarkFile(BookmarkLayout(), urls);
  runtime::TestClock clock(runtime::DateFromCivil(2026, 12, 8), 9 * 360000);
  runtime::ScopedTimeSource time(clock);
  Start([] { (void)RunProgram([] { MainBookmarkWindow(); }); });
  const WindowId id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  auto complete = [&] {
    bool done = false;
    driver.WithWindow(id, [&](runtime::ui::Window&) { done = SearchIndexComplete(); });
    return done;
  };
  EXPECT_FALSE(complete());
  for (const std::string& text : {"s", "si", "sit", "site", "site1", "site11"}) {
    runtime::ui::EventData data;
    data.text = text;
    driver.Post(id, EventCode::NewSelection, kMainFindBox, std::move(data));
  }
  ASSERT_TRUE(driver.WaitIdle(1));
  const Texts tested = driver.ColumnTexts(id, MainList, 0);
  ASSERT_FALSE(tested.empty());
  EXPECT_EQ(tested.front(), "https://site11.example/");
  for (int tick = 0; tick < 10 && !complete(); ++tick) {
    driver.AdvanceClock(clock, kIndexTimer);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  EXPECT_TRUE(complete());
  EXPECT_EQ(driver.ColumnTexts(id, MainList, 0), tested) << "the index finds what the test of each found";
  driver.Click(id, MainCloseButton);
  ASSERT_TRUE(program->WaitForEnd(10s));
}

}  // namespace
}  // namespace marlinden
