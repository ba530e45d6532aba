// The main window's keys and clicks that desktop users know (Enter opens the
// page, F2 changes the row, Ctrl+Tab and Ctrl+Page Down/Up walk the tabs, a
// header click shows that column's order) and the filter line a query shows,
// with its clearing by one click or Escape.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "app/StartUp.h"
#include "procedures/LinkProblems.h"
#include "procedures/MainWindow.h"
#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using runtime::ui::WindowId;
using Texts = std::vector<std::string>;

const std::vector<testing_support::StoredBookmark> kBookmarks = {
    {"http://b.example/", "Bravo"},
    {"ftp://files.example/", "Alpha"},
    {"https://zurich.example/", "Café Zürich"},
    {"gopher://old.example/", "Delta"},
};

class MainWindowKeysTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void StartProgram(const std::vector<testing_support::StoredBookmark>& bookmarks = kBookmarks) {
    Start([bookmarks] {
      (void)RunProgram([bookmarks] {
        testing_support::StoreBookmarks(bookmarks);
        MainBookmarkWindow();
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }
  void Key(KeyCode key, std::int32_t control = MainList) {
    driver.PressKey(id, control, key);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  // Types text on the list, one character a key, as the locator takes it.
  void Type(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = at + 1;
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      runtime::ui::EventData data;
      data.key = runtime::ui::Letter('X');
      data.keyText = text.substr(at, end - at);
      driver.Post(id, EventCode::AlertKey, MainList, std::move(data));
      ASSERT_TRUE(driver.WaitIdle(1));
      at = end;
    }
  }
  std::string Highlighted(std::size_t column) {
    const Texts texts = Column(column);
    const std::int32_t row = driver.Properties(id, MainList).selectedRow;
    return row >= 1 && row <= static_cast<std::int32_t>(texts.size()) ? texts[static_cast<std::size_t>(row - 1)] : "";
  }
  void ClickHeader(std::int32_t column) {
    runtime::ui::EventData data;
    data.key = KeyCode::MouseHeader;
    data.column = column;
    driver.Post(id, EventCode::AlertKey, MainList, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  std::int32_t Tab() { return driver.Properties(id, MainSheet).value; }
  Texts Column(std::size_t column = 0) { return driver.ColumnTexts(id, MainList, column); }
  // Runs a query with example for the URL (row 1) or the description (row 2),
  // confirmed with Enter while the value is still being typed.
  void Query(std::int32_t row, const std::string& example) {
    driver.Click(id, MainQueryButton);
    const WindowId form = driver.WaitForWindow(1);
    ASSERT_NE(form, id);
    driver.SetText(form, 3 * row - 1, example);
    driver.PressKey(form, 3 * row - 1, KeyCode::Enter);
    ASSERT_TRUE(driver.WaitForClose(form));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  bool FilterLineShown() {
    const bool line = !driver.Properties(id, MainFilterLine).hidden;
    EXPECT_EQ(!driver.Properties(id, MainClearFilterButton).hidden, line) << "the line and its button go together";
    return line;
  }
  void Close() {
    driver.Click(id, MainCloseButton);
    ASSERT_TRUE(program->WaitForEnd(10s));
  }

  testing_support::TempCurrentDirectory cwd;
  WindowId id = runtime::ui::kNoWindow;
};

TEST_F(MainWindowKeysTest, CtrlTabCtrlPageKeysAndHeaderClicksChooseTheTab) {
  StartProgram();
  ASSERT_EQ(Tab(), 1);
  Key(KeyCode::Ctrl | KeyCode::Tab);
  EXPECT_EQ(Tab(), 2);
  EXPECT_EQ(Column(1), (Texts{"Alpha", "Bravo", "Café Zürich", "Delta"})) << "the description order is shown";
  EXPECT_EQ(driver.Properties(id, MainDescriptionTab).textColour, kTabHighlightColour);
  Key(KeyCode::Ctrl | KeyCode::PageDown);
  EXPECT_EQ(Tab(), 3);
  EXPECT_EQ(Column(), (Texts{"http://b.example/", "https://zurich.example/"}));
  Key(KeyCode::Ctrl | KeyCode::ShiftTab);
  EXPECT_EQ(Tab(), 2);
  Key(KeyCode::Ctrl | KeyCode::PageUp);
  Key(KeyCode::Ctrl | KeyCode::PageUp);
  EXPECT_EQ(Tab(), 5) << "wraps from the first tab to the last";
  EXPECT_EQ(driver.Properties(id, MainFolderTab).textColour, kTabHighlightColour);
  Key(KeyCode::Ctrl | KeyCode::Tab);
  EXPECT_EQ(Tab(), 1) << "and from the last to the first";

  ClickHeader(2);
  EXPECT_EQ(Tab(), 2);
  EXPECT_EQ(Column(1).front(), "Alpha");
  ClickHeader(3);
  EXPECT_EQ(Tab(), 5) << "the folder column's order is the folder tab";
  ClickHeader(1);
  EXPECT_EQ(Tab(), 1);
  EXPECT_EQ(Column().front(), "ftp://files.example/");
  Close();
}

TEST_F(MainWindowKeysTest, EnterOpensTheHighlightedPageAndF2EditsTheRowInPlace) {
  const std::string tools = cwd.Dir().File("tools");
  std::filesystem::create_directories(tools);
  runtime::platform::DesktopPrograms programs;
  programs.opener = tools + "/opener";
  std::ofstream(programs.opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << tools << "/opened'\n";
  std::filesystem::permissions(programs.opener, std::filesystem::perms::owner_all);
  runtime::platform::ScopedDesktopPrograms scoped(programs);

  StartProgram();
  runtime::ui::EventData row;
  row.selectedRow = 3;
  driver.Post(id, EventCode::NewSelection, MainList, std::move(row));
  ASSERT_TRUE(driver.WaitIdle(1));
  Key(KeyCode::Enter);
  ASSERT_TRUE(runtime::platform::WaitForStartedPrograms(10s));
  std::ifstream opened(tools + "/opened");
  std::string line;
  std::getline(opened, line);
  EXPECT_EQ(line, "http://b.example/");

  Key(KeyCode::F2);
  bool editing = false;
  driver.WithWindow(id, [&](runtime::ui::Window& w) {
    for (std::int32_t number : w.ControlNumbers()) {
      const runtime::ui::Control* c = w.Find(number);
      if (c->Properties().placement.list == MainList && !c->Hidden()) editing = true;
    }
  });
  EXPECT_TRUE(editing) << "F2 edits the highlighted row in its cells";
  Close();
}

TEST_F(MainWindowKeysTest, AQueryShowsTheFilterLineWhichOneClickOrEscapeClears) {
  StartProgram();
  EXPECT_FALSE(FilterLineShown());
  Query(2, "^*ZÜRICH");
  EXPECT_EQ(Column(), Texts{"https://zurich.example/"}) << "letter case is ignored beyond A to Z";
  ASSERT_TRUE(FilterLineShown());
  EXPECT_EQ(driver.Text(id, MainFilterLine), "Filtered: 1 of 4 bookmarks");
  driver.Click(id, MainClearFilterButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_FALSE(FilterLineShown());
  EXPECT_EQ(Column().size(), 4U);

  // An empty result says so rather than looking like an empty collection.
  Query(1, "*nowhere");
  EXPECT_TRUE(Column().empty());
  ASSERT_TRUE(FilterLineShown());
  EXPECT_EQ(driver.Text(id, MainFilterLine), "Filtered: 0 of 4 bookmarks");
  // The query belongs to its tab: the other tabs show everything, no line.
  Key(KeyCode::Ctrl | KeyCode::Tab);
  EXPECT_FALSE(FilterLineShown());
  EXPECT_EQ(Column().size(), 4U);
  Key(KeyCode::Ctrl | KeyCode::ShiftTab);
  EXPECT_TRUE(FilterLineShown());
  Key(KeyCode::Esc);
  EXPECT_FALSE(FilterLineShown());
  EXPECT_EQ(Column().size(), 4U);
  Close();
}

// The locators ignore the case of every letter: the keys fold only A-Z, so
// "zü" must find "ZÜRICH" past rows that sort between the two spellings.
TEST_F(MainWindowKeysTest, TheLocatorIgnoresTheCaseOfLettersOutsideAscii) {
  StartProgram({{"http://a.example/", "ZÜRICH airport"},
                {"http://b.example/", "zálo"},
                {"http://c.example/", "zürich cafe"},
                {"http://d.example/", "Zebra"},
                {"http://e.example/", "ÉCOLE"}});
  Key(KeyCode::Ctrl | KeyCode::Tab);
  ASSERT_EQ(Tab(), 2);
  Type("zü");
  EXPECT_EQ(Highlighted(1), "ZÜRICH airport");
  Type("rich c");
  EXPECT_EQ(Highlighted(1), "zürich cafe") << "past zálo, which sorts between";
  for (int i = 0; i < 8; ++i) Key(KeyCode::Backspace);
  Type("é");
  EXPECT_EQ(Highlighted(1), "ÉCOLE");
  Key(KeyCode::Backspace);
  Type("ZÁ");
  EXPECT_EQ(Highlighted(1), "zálo");
  Close();
}

// The health checks sit in the Tools menu, last on the menu bar. A backend
// makes controls in number order, so the menu is numbered before its items.
// "Dead and Moved Links" there tells when no check found any.
TEST_F(MainWindowKeysTest, TheToolsMenuHoldsTheCollectionsHealthChecks) {
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest&) {});
  StartProgram();
  for (const std::int32_t item : {MainCheckLinksMenu, MainFindDuplicatesMenu, MainLinkProblemsMenu}) {
    EXPECT_EQ(driver.Properties(id, item).parent, MainToolsMenu);
    EXPECT_LT(MainToolsMenu, item);
  }
  EXPECT_EQ(driver.Properties(id, MainToolsMenu).text, "&Tools");
  driver.Click(id, MainLinkProblemsMenu);
  ASSERT_TRUE(driver.WaitIdle(1));
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(kNoLinkProblems), std::string::npos) << boxes[0].text;
  Close();
}

// Tools > Only Dead and Moved Links narrows the list to the bookmarks whose
// last check of the address they have now was not ok, within every tab and
// the find's words; Escape or Clear shows every bookmark again.
TEST_F(MainWindowKeysTest, TheListNarrowsToTheDeadAndMovedLinksAndOneKeyShowsEveryBookmarkAgain) {
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest&) {});
  StartProgram();
  driver.Click(id, MainOnlyLinkProblemsMenu);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u) << "no check has found any yet";
  EXPECT_NE(backend.MessageBoxRequests()[0].text.find(kNoLinkProblems), std::string::npos);
  EXPECT_EQ(Column().size(), 4U);

  driver.WithWindow(id, [](runtime::ui::Window&) {
    auto result = [](std::string url, links::LinkStatus status, long code) {
      links::LinkResult r;
      r.url = std::move(url);
      r.status = status;
      r.code = code;
      return r;
    };
    ASSERT_EQ(WriteLinkResult(1, result("http://b.example/", links::LinkStatus::Dead, 404)), SeverityOk);
    ASSERT_EQ(WriteLinkResult(3, result("https://zurich.example/", links::LinkStatus::Redirect, 301)), SeverityOk);
    // A result for an address the bookmark no longer has is stale.
    ASSERT_EQ(WriteLinkResult(4, result("http://before.example/", links::LinkStatus::Dead, 410)), SeverityOk);
  });
  driver.Click(id, MainOnlyLinkProblemsMenu);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column(), (Texts{"http://b.example/", "https://zurich.example/"}));
  ASSERT_TRUE(FilterLineShown());
  EXPECT_EQ(driver.Text(id, MainFilterLine), "Dead and moved links only");
  Key(KeyCode::Ctrl | KeyCode::Tab);
  EXPECT_EQ(driver.ColumnTexts(id, MainList, 1), (Texts{"Bravo", "Caf\u00E9 Z\u00FCrich"})) << "by description";

  runtime::ui::EventData words;
  words.text = "zur";
  driver.Post(id, EventCode::NewSelection, kMainFindBox, std::move(words));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column(), Texts{"https://zurich.example/"}) << "and the find's words";
  Key(KeyCode::Esc);
  EXPECT_EQ(Column().size(), 2U) << "the first Escape clears the words";
  Key(KeyCode::Esc);
  EXPECT_FALSE(FilterLineShown());
  EXPECT_EQ(Column().size(), 4U);

  driver.Click(id, MainOnlyLinkProblemsMenu);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column().size(), 2U);
  driver.Click(id, MainClearFilterButton);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_FALSE(FilterLineShown());
  EXPECT_EQ(Column().size(), 4U);
  Close();
}

// The list's third column shows each bookmark's folder path; a bookmark
// added by hand has none.
TEST_F(MainWindowKeysTest, TheFolderColumnShowsEachBookmarksFolderPath) {
  Start([] {
    (void)RunProgram([] {
      BookmarkDetails details;
      details.folder = {"News", "World / Europe"};
      DetailsForNextInsert(details);
      testing_support::StoreBookmarks({{"http://a.example/", "A"}, {"http://b.example/", "B"}});
      MainBookmarkWindow();
    });
  });
  id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(Column(2), (Texts{"News \u203A World / Europe", ""}));
  Close();
}

}  // namespace
}  // namespace marlinden
