// The main bookmark window end to end on the headless backend, started the
// way the program starts it: the list in its four tabs, the favourite in red
// and in the title, the commands, the tray and its menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/EmailWindow.h"
#include "procedures/ExportBookmarks.h"
#include "procedures/ImportBookmarks.h"
#include "procedures/MainWindow.h"
#include "runtime/files/DataFile.h"
#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/MessageBox.h"
#include "support/BatchClock.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::WindowId;
using Urls = std::vector<std::string>;

using Bookmark = testing_support::StoredBookmark;

class MainWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Starts the program with the bookmarks stored first, and waits for the
  // main window.
  void StartProgram(std::vector<Bookmark> bookmarks = {}) {
    Start([this, bookmarks] {
      RunProgram([this, &bookmarks] {
        if (!bookmarks.empty()) testing_support::StoreBookmarks(bookmarks);
        MainBookmarkWindow();
        response = ResponseCode;
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }

  void Post(EventCode code, std::int32_t control = 0, runtime::ui::EventData data = {}) {
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
  void Click(std::int32_t control) {
    driver.Click(id, control);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void WaitForEnd() { ASSERT_TRUE(program->WaitForEnd(10s)); }
  // Clicks a control that closes the window and waits for the program's end.
  void CloseWith(std::int32_t control) {
    driver.Click(id, control);
    WaitForEnd();
  }
  // A new program run on the same backend, over a fresh bookmark file
  // unless told to keep it.
  void NewProgram(bool keepFile = false) {
    program.reset();
    if (!keepFile) std::filesystem::remove("MARLINDEN.db");
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  // The list's rows: column 1 or 2 of each.
  Urls Column(std::size_t column = 0) { return driver.ColumnTexts(id, MainList, column); }
  // The URLs of the rows shown in red (both cells red, nothing else set).
  Urls RedRows() {
    Urls red;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      const runtime::ui::ListSource* source = w.Find(MainList)->Source();
      for (std::size_t row = 1; row <= source->RowCount(); ++row) {
        const runtime::ui::ListRow cells = source->Row(row);
        for (const runtime::ui::ListCell& cell : cells) {
          EXPECT_EQ(cell.colours.background, runtime::ui::kNoColour);
          EXPECT_EQ(cell.colours.selectedText, runtime::ui::kNoColour);
          EXPECT_EQ(cell.colours.selectedBackground, runtime::ui::kNoColour);
          EXPECT_EQ(cell.colours.text, cells[0].colours.text) << "both cells alike";
        }
        if (cells[0].colours.text == kFavoriteColour) red.push_back(cells[0].text);
      }
    });
    return red;
  }
  std::string Title(WindowId window = runtime::ui::kNoWindow) {
    std::string title;
    driver.WithWindow(window == runtime::ui::kNoWindow ? id : window,
                      [&](runtime::ui::Window& w) { title = w.Title(); });
    return title;
  }
  void WriteFavoriteByHand(const std::string& url) {
    std::ofstream(kFavoriteIniFile) << "[Favorite]\nMyFavorite=" << url << "\n";
  }
  std::string StoredFavorite() {
    std::string favorite;
    driver.WithWindow(id, [&](runtime::ui::Window&) { favorite = ReadFavorite(); });
    return favorite;
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
  // Types text into the cell being edited and presses key there.
  void Press(runtime::ui::KeyCode key, std::optional<std::string> text = std::nullopt) {
    const std::int32_t editor = Editor();
    ASSERT_NE(editor, 0) << "no cell is being edited";
    runtime::ui::EventData data;
    data.key = key;
    data.text = std::move(text);
    Post(EventCode::AlertKey, editor, std::move(data));
  }
  // Every stored bookmark's address, read under the runtime lock.
  Urls Stored() {
    Urls urls;
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
  std::uint8_t response = 255;
};

const std::vector<Bookmark> kMixed = {
    {"http://b.example/", "Bravo"},
    {"ftp://files.example/", "Alpha"},
    {"HTTPS://c.example/", "Charlie"},
    {"gopher://old.example/", "Delta"},
};

TEST_F(MainWindowTest, OpensWithItsMenuTabsListAndButtons) {
  StartProgram();
  EXPECT_EQ(Title(), "Marlinden");
  const std::vector<std::pair<std::int32_t, std::string>> texts = {
      {MainExitMenu, "&Exit"},
      {MainGoToPageMenu, "&Go To Web Page"},
      {MainPrintMenu, "&Print "},
      {MainImportMenu, "&Import Bookmarks"},
      {MainExportMenu, "&Export Bookmarks"},
      {MainEmailMenu, "&Send An Email"},
      {MainAboutMenu, "&About"},
      {MainUrlTab, "URL"},
      {MainDescriptionTab, "Description"},
      {MainHttpTab, "http"},
      {MainFtpTab, "ftp"},
      {MainQueryButton, "&Query"},
      {MainCloseButton, "Close"},
      {MainFavoriteButton, "Set URL to Favorite"},
      {MainInsertButton, "&Insert"},
      {MainChangeButton, "&Change"},
      {MainDeleteButton, "&Delete"},
      {MainGoToPageButton, "Go To Web Page"},
  };
  for (const auto& [control, text] : texts) EXPECT_EQ(driver.Text(id, control), text) << control;
  const std::vector<std::pair<std::int32_t, std::string>> icons = {
      {MainQueryButton, "Zoom.ico"},  {MainCloseButton, "Exit2.ico"},   {MainInsertButton, "Insert.ico"},
      {MainChangeButton, "Edit.ico"}, {MainDeleteButton, "Delete.ico"}, {MainGoToPageButton, "Web2.ico"},
  };
  for (const auto& [control, icon] : icons) EXPECT_EQ(driver.Properties(id, control).icon, icon) << control;
  const runtime::ui::ControlProperties list = driver.Properties(id, MainList);
  ASSERT_EQ(list.columns.size(), 3U) << "URL, description and folder";
  EXPECT_EQ(list.columns[0].width, 160);
  EXPECT_EQ(list.columns[1].width, 110);
  EXPECT_EQ(list.columns[2].width, 67);
  EXPECT_EQ(list.columns[0].indent, 2);
  EXPECT_TRUE(list.columns[1].resizable);
  EXPECT_EQ(driver.Properties(id, MainUrlTab).textColour, kTabHighlightColour) << "the first tab is highlighted";
  EXPECT_TRUE(Column().empty());

  CloseWith(MainExitMenu);
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_TRUE(std::filesystem::exists(kWindowIniFile)) << "the position is saved";
}

TEST_F(MainWindowTest, EachTabShowsItsOrderAndFilter) {
  StartProgram(kMixed);
  EXPECT_EQ(Column(),
            (Urls{"ftp://files.example/", "gopher://old.example/", "http://b.example/", "HTTPS://c.example/"}))
      << "URL tab: every address in address order";
  ChooseTab(2);
  EXPECT_EQ(Column(1), (Urls{"Alpha", "Bravo", "Charlie", "Delta"}));
  EXPECT_EQ(driver.Properties(id, MainDescriptionTab).textColour, kTabHighlightColour);
  EXPECT_EQ(driver.Properties(id, MainUrlTab).textColour, runtime::ui::kNoColour) << "its colours given back";
  ChooseTab(3);
  EXPECT_EQ(Column(), (Urls{"http://b.example/", "HTTPS://c.example/"}));
  ChooseTab(4);
  EXPECT_EQ(Column(), (Urls{"ftp://files.example/"}));
  ChooseTab(1);
  EXPECT_EQ(Column().size(), 4U);
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, TheFolderTabListsByFolderThenDescriptionAndAnEditInPlaceMovesTheRow) {
  using runtime::ui::KeyCode;
  StartProgram({{"http://a.example/", "Zulu", {"Work"}},
                {"http://b.example/", "alpha", {"Work"}},
                {"http://c.example/", "Mike", {}},
                {"http://d.example/", "Bravo", {"Home"}},
                {"http://e.example/", "Echo", {"Work", "Sub"}}});
  EXPECT_EQ(driver.Text(id, MainFolderTab), "Folder");
  ChooseTab(5);
  EXPECT_EQ(driver.Properties(id, MainFolderTab).textColour, kTabHighlightColour);
  EXPECT_EQ(Column(1), (Urls{"Mike", "Bravo", "alpha", "Zulu", "Echo"}))
      << "no folder first, then each folder's own bookmarks before its subfolders";

  // The folder typed in place moves the row, and the highlight goes with it.
  ChooseRow(1);
  Click(MainChangeButton);
  Press(KeyCode::Tab);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "Work");
  EXPECT_EQ(Column(1), (Urls{"Bravo", "alpha", "Mike", "Zulu", "Echo"}));
  EXPECT_EQ(driver.Properties(id, MainList).selectedRow, 3);

  // So does a new description, and an inserted row lands in its folder.
  ChooseRow(5);
  Click(MainChangeButton);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "Able");
  EXPECT_EQ(Column(1), (Urls{"Bravo", "alpha", "Mike", "Zulu", "Able"})) << "still in the subfolder, after Work's own";
  Click(MainInsertButton);
  Press(KeyCode::Tab, "http://f.example/");
  Press(KeyCode::Tab, "Golf");
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "Home");
  EXPECT_EQ(Column(1), (Urls{"Bravo", "Golf", "alpha", "Mike", "Zulu", "Able"}));
  EXPECT_EQ(driver.Properties(id, MainList).selectedRow, 2);

  // The find narrows the folder tab within its order ("b" starts Bravo
  // and alpha's address).
  runtime::ui::EventData typed;
  typed.text = "b";
  Post(EventCode::NewSelection, kMainFindBox, std::move(typed));
  EXPECT_EQ(Column(1), (Urls{"Bravo", "alpha"}));
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, FavouriteRowsAreRedAndTheTitleFollowsTheFavourite) {
  struct Case {
    std::string favorite;
    Urls red;
    std::string title;
  };
  const std::string longUrl = "http://" + std::string(240, 'x') + ".example/";  // 256 characters, cut to 255
  const std::vector<Case> cases = {
      {"", {}, "Marlinden"},
      {"http://b.example/", {"http://b.example/"}, "Marlinden     Favorite Web Page http://b.example/"},
      {"http://{a|b}~c/", {}, "Marlinden     Favorite Web Page http://{a|b}~c/"},
      {longUrl, {}, std::string("Marlinden     Favorite Web Page ") + longUrl.substr(0, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.favorite);
    WriteFavoriteByHand(c.favorite);
    StartProgram(kMixed);
    EXPECT_EQ(Title(), c.title);
    EXPECT_EQ(RedRows(), c.red);
    CloseWith(MainCloseButton);
    NewProgram();
  }
}

TEST_F(MainWindowTest, SetUrlToFavoriteMovesTheHighlightAtOnceAndAnEmptyListKeepsTheFavourite) {
  WriteFavoriteByHand("http://b.example/");
  StartProgram(kMixed);
  ChooseRow(4);
  Click(MainFavoriteButton);
  EXPECT_EQ(StoredFavorite(), "HTTPS://c.example/");
  EXPECT_EQ(RedRows(), Urls{"HTTPS://c.example/"});
  EXPECT_EQ(Title(), "Marlinden     Favorite Web Page HTTPS://c.example/");

  // A favourite edited by hand while the program runs: the list follows at
  // its next reload.
  WriteFavoriteByHand("ftp://files.example/");
  ChooseTab(2);
  EXPECT_EQ(RedRows(), Urls{"ftp://files.example/"});

  CloseWith(MainCloseButton);
  NewProgram();
  StartProgram();
  Click(MainFavoriteButton);
  Click(MainGoToPageButton);
  EXPECT_EQ(StoredFavorite(), "ftp://files.example/") << "an empty list changes nothing";
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, BookmarksAreInsertedChangedAndDeletedInPlaceAndABlankAddressIsNotSaved) {
  using runtime::ui::KeyCode;
  StartProgram();
  Click(MainInsertButton);
  ASSERT_NE(Editor(), 0) << "Insert opens a row in the list, no form";
  Press(KeyCode::Tab, "http://new.example/");
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "A new one");
  EXPECT_EQ(Editor(), 0);
  EXPECT_EQ(Column(), Urls{"http://new.example/"});
  EXPECT_EQ(Column(1), Urls{"A new one"});

  // A blank address: the message, and the row stays in editing.
  Click(MainInsertButton);
  Press(KeyCode::Tab, "");
  backend.MessageBoxes().Script({runtime::ui::ButtonYes, runtime::ui::ButtonOk});
  Press(KeyCode::Enter, "no address");
  EXPECT_NE(Editor(), 0) << "the row is still being edited";
  EXPECT_EQ(backend.MessageBoxRequests().back().caption, "Web Address Required");
  Press(KeyCode::Esc);
  EXPECT_EQ(Editor(), 0);
  EXPECT_EQ(Stored(), Urls{"http://new.example/"}) << "nothing blank was stored";

  ChooseRow(1);
  Click(MainChangeButton);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "http://changed.example/");
  EXPECT_EQ(Stored(), Urls{"http://changed.example/"});

  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Click(MainDeleteButton);
  EXPECT_TRUE(Stored().empty());
  EXPECT_TRUE(Column().empty());
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, TheFolderIsEditedInPlaceWithTheRowAndAnUntouchedCellKeepsItWhole) {
  using runtime::ui::KeyCode;
  StartProgram({{"http://a.example/", "Alpha", {"Work", "Tools"}}, {"http://b.example/", "Bravo", {"News > World"}}});
  EXPECT_EQ(Column(2), (Urls{"Work \u203A Tools", "News > World"}));
  auto storedFolder = [this](std::int64_t number) {
    std::vector<std::string> folder;
    driver.WithWindow(id, [&](runtime::ui::Window&) { folder = ReadBookmarkDetails(number).folder; });
    return folder;
  };

  // Both separators split what is typed; the spaces around names go.
  ChooseRow(1);
  Click(MainChangeButton);
  Press(KeyCode::Tab);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, " Home > Projects \u203A Old ");
  EXPECT_EQ(Editor(), 0);
  EXPECT_EQ(storedFolder(1), (std::vector<std::string>{"Home", "Projects", "Old"}));
  EXPECT_EQ(Column(2)[0], "Home \u203A Projects \u203A Old");

  // A change of the description alone leaves a name holding ">" whole.
  ChooseRow(2);
  Click(MainChangeButton);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "Bravo news");
  EXPECT_EQ(storedFolder(2), std::vector<std::string>{"News > World"});
  EXPECT_EQ(Column(1)[1], "Bravo news");

  // A row inserted in place gets the folder typed in its row; an empty
  // cell clears a folder.
  Click(MainInsertButton);
  Press(KeyCode::Tab, "http://c.example/");
  Press(KeyCode::Tab, "Charlie");
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "New");
  EXPECT_EQ(storedFolder(3), std::vector<std::string>{"New"});
  ChooseRow(1);
  Click(MainChangeButton);
  Press(KeyCode::Tab);
  Press(KeyCode::Tab);
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, "");
  EXPECT_TRUE(storedFolder(1).empty());
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, TheNotesPaneFollowsTheHighlightAndSavesWhatIsTypedByTheStationRules) {
  StartProgram({{"http://a.example/", "Alpha", {}, "first notes"}, {"http://b.example/", "Bravo", {}, "second"}});
  auto box = [this] {
    std::pair<std::string, bool> shown;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      shown = {w.Text(kMainNotesBox), w.Find(kMainNotesBox)->Enabled()};
    });
    return shown;
  };
  auto leaveBox = [this](std::string text) {
    runtime::ui::EventData data;
    data.text = std::move(text);
    Post(EventCode::Accepted, kMainNotesBox, std::move(data));
  };
  // Another station's change of bookmark 1's notes, straight in the file.
  auto changeElsewhere = [this](const std::function<void(runtime::DataFile&)>& change) {
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      auto other = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), "MARLINDEN");
      ASSERT_EQ(other->Open(0x42), runtime::NoError);
      other->Record().Field(WebNum).SetInteger(1);
      ASSERT_EQ(other->Get(WebNumKey), runtime::NoError);
      change(*other);
      (void)other->Close();
    });
  };
  auto storedNotes = [this](std::int64_t number) {
    std::string notes;
    driver.WithWindow(id, [&](runtime::ui::Window&) {
      if (FetchBookmarkNumber(number)) notes = BookmarkStore().Record().Memo(WebNotes);
    });
    return notes;
  };

  EXPECT_EQ(box(), std::make_pair(std::string("first notes"), true));
  ChooseRow(2);
  EXPECT_EQ(box().first, "second");
  ChooseRow(1);
  leaveBox("first notes\nand a second line");
  EXPECT_EQ(storedNotes(1), "first notes\nand a second line");
  EXPECT_EQ(storedNotes(2), "second");
  std::uint32_t modified = 0;
  driver.WithWindow(id, [&](runtime::ui::Window&) { modified = ReadBookmarkDetails(1).modified; });
  EXPECT_GT(modified, 1U) << "the change dates the bookmark";

  // While the box has the keyboard it keeps its bookmark: what is typed
  // there is saved to it, and the highlighted row shows once it is left.
  Post(EventCode::Selected, kMainNotesBox);
  ChooseRow(2);
  EXPECT_EQ(box().first, "first notes\nand a second line");
  leaveBox("first notes, edited while row 2 was chosen");
  Post(EventCode::Selected, MainList);
  EXPECT_EQ(box().first, "second");
  EXPECT_EQ(storedNotes(1), "first notes, edited while row 2 was chosen");
  EXPECT_EQ(storedNotes(2), "second");
  ChooseRow(1);

  // Changed by another station since it was shown: told, and shown as stored.
  const std::size_t boxesBefore = backend.MessageBoxRequests().size();
  changeElsewhere([](runtime::DataFile& other) {
    other.Record().SetMemo(WebNotes, "theirs");
    ASSERT_EQ(other.Put(), runtime::NoError);
  });
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  leaveBox("mine");
  ASSERT_EQ(backend.MessageBoxRequests().size(), boxesBefore + 1);
  EXPECT_EQ(backend.MessageBoxRequests().back().caption, "Record Was Not Updated");
  EXPECT_EQ(storedNotes(1), "theirs");
  EXPECT_EQ(box().first, "theirs");

  // Deleted by another station: nothing is written in its place.
  changeElsewhere([](runtime::DataFile& other) { ASSERT_EQ(other.Delete(), runtime::NoError); });
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  leaveBox("mine again");
  EXPECT_EQ(backend.MessageBoxRequests().back().caption, "Record Not Found");
  EXPECT_EQ(Stored(), Urls{"http://b.example/"});
  EXPECT_EQ(box().first, "second");

  // An empty list leaves nothing to edit.
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Click(MainDeleteButton);
  EXPECT_EQ(box(), std::make_pair(std::string(), false));
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, GoToWebPageOpensTheHighlightedAddressAndThePopupPostsItsButtons) {
  const std::string tools = cwd.Dir().File("tools");
  std::filesystem::create_directories(tools);
  runtime::platform::DesktopPrograms programs;
  programs.opener = tools + "/opener";
  std::ofstream(programs.opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << tools << "/opened'\n";
  std::filesystem::permissions(programs.opener, std::filesystem::perms::owner_all);
  runtime::platform::ScopedDesktopPrograms scoped(programs);

  StartProgram(kMixed);
  ChooseRow(3);
  Click(MainGoToPageButton);
  Click(MainGoToPageMenu);
  // The list's popup menu: "Go to highlighted web page" posts the button.
  ChooseRow(4);
  const auto names = std::vector<std::string>{"Go to highlighted web page", "Set URL to favorite", "Print URL list",
                                              "Import bookmark file",       "Sendx an email",      "Exit"};
  auto rightClick = [this] {
    runtime::ui::EventData data;
    data.key = runtime::ui::KeyCode::MouseRightDown;
    driver.Post(id, EventCode::AlertKey, MainList, std::move(data));
  };
  backend.ScriptPopupChoice(0);
  rightClick();
  ASSERT_TRUE(driver.WaitIdle(1));
  const auto popups = backend.PopupRequests();
  ASSERT_EQ(popups.size(), 1U);
  Urls texts;
  for (const auto& item : popups[0].items) {
    if (item.kind == runtime::ui::MenuItemKind::Item) texts.push_back(item.text);
  }
  ASSERT_GE(texts.size(), names.size());
  const auto first = static_cast<std::int32_t>(texts.size() - names.size());
  EXPECT_EQ(Urls(texts.begin() + first, texts.end()), names);
  backend.ScriptPopupChoice(first + 1);  // "Go to highlighted web page"
  rightClick();
  ASSERT_TRUE(driver.WaitIdle(1));
  backend.ScriptPopupChoice(static_cast<std::int32_t>(texts.size()));  // "Exit"
  rightClick();
  WaitForEnd();
  ASSERT_TRUE(runtime::platform::WaitForStartedPrograms(10s));
  std::ifstream in(tools + "/opened");
  Urls opened;
  for (std::string line; std::getline(in, line);) opened.push_back(line);
  // The openers run as programs of their own: they may finish in any order.
  std::sort(opened.begin(), opened.end());
  EXPECT_EQ(opened, (Urls{"HTTPS://c.example/", "http://b.example/", "http://b.example/"}));
}

TEST_F(MainWindowTest, ABookmarkFileThatIsNotOneIsReportedAndLeftAlone) {
  std::ofstream("MARLINDEN.db") << "these are not bookmarks";
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  std::vector<std::string> halts;
  const runtime::HaltHandler previous =
      runtime::SetHaltHandler([&halts](int, std::string_view text) { halts.emplace_back(text); });
  Start([this] {
    RunProgram([this] {
      MainBookmarkWindow();
      response = ResponseCode;
    });
  });
  WaitForEnd();
  runtime::SetHaltHandler(previous);
  EXPECT_EQ(halts, std::vector<std::string>{"File Access Error"}) << "the program ends";
  EXPECT_EQ(backend.WindowsCreated(), 0) << "no window over a file that is not open";
  ASSERT_FALSE(backend.MessageBoxRequests().empty());
  std::ifstream in("MARLINDEN.db");
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "these are not bookmarks");
}

TEST_F(MainWindowTest, EachQueryStartsFromAnEmptyForm) {
  StartProgram(kMixed);
  driver.Click(id, MainQueryButton);
  WindowId example = driver.WaitForWindow(1);
  ASSERT_NE(example, id);
  driver.Type(example, 2, "*b.example");
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.Click(example, kQueryOk);
  ASSERT_TRUE(driver.WaitForClose(example));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column(), Urls{"http://b.example/"});

  driver.Click(id, MainQueryButton);
  example = driver.WaitForWindow(1);
  EXPECT_EQ(driver.Text(example, 2), "") << "the last query's value is not kept";
  driver.Click(example, kQueryCancel);
  ASSERT_TRUE(driver.WaitForClose(example));
  ASSERT_TRUE(driver.WaitIdle(1));
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, TheSessionsEndDuringAnEditClosesTheOrdinaryWayAndTheFileOpensCleanlyAfterwards) {
  StartProgram(kMixed);
  Click(MainInsertButton);
  ASSERT_NE(Editor(), 0);
  backend.MessageBoxes().Script(runtime::ui::ButtonNo);  // "Save Record?" at the close
  driver.Post(id, EventCode::CloseDown);
  WaitForEnd();
  EXPECT_TRUE(std::filesystem::exists(kWindowIniFile)) << "the window closed through Kill";

  NewProgram(true);
  Start([this] {
    RunProgram([this] {
      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
      MainBookmarkWindow();
      (void)BookmarkStoreRelations->Close();
    });
  });
  id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(Stored().size(), kMixed.size()) << "the reserved row of the cut-off insert is gone";
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, ImportRunsModallyHereAndTheListShowsTheNewRowsAtOnce) {
  std::ofstream("new.htm") << "<DL><p>\n<DT><A HREF=\"http://new.example/\">New</A>\n"
                              "<DT><A HREF=\"ftp://new.example/\">Files</A>\n</DL><p>\n";
  StartProgram({{"http://b.example/", "Bravo"}});
  driver.Click(id, MainImportMenu);
  const WindowId import = driver.WaitForWindow(1);
  ASSERT_NE(import, id) << "the import window opens on the main window's thread";
  EXPECT_EQ(Title(import), "Import Bookmarks");
  driver.Type(import, ImportEntry, (std::filesystem::current_path() / "new.htm").string());
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);  // the summary
  driver.Click(import, ImportOk);
  ASSERT_TRUE(driver.WaitForClose(import));
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(Column(), (Urls{"ftp://new.example/", "http://b.example/", "http://new.example/"}));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_NE(backend.MessageBoxRequests()[0].text.find("bookmarks added: 2\n"), std::string::npos);
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, ExportAndEmailRunOnThreadsOfTheirOwnWhileTheMainWindowGoesOn) {
  StartProgram(kMixed);
  Click(MainExportMenu);
  const WindowId saveAs = driver.WaitForWindow(2);
  EXPECT_EQ(Title(saveAs), "Save As");
  ChooseTab(4);
  EXPECT_EQ(Column(), Urls{"ftp://files.example/"}) << "the main window still handles events";

  // The menu's e-mail item and the tray's each start a form of their own.
  Click(MainEmailMenu);
  const WindowId menuEmail = driver.WaitForWindow(3);
  backend.ScriptPopupChoice(TrayEmail);
  Post(kTrayRightClick);
  const WindowId trayEmail = driver.WaitForWindow(4);
  for (WindowId email : {menuEmail, trayEmail}) EXPECT_EQ(Title(email), "Send An Email");
  ChooseTab(1);
  EXPECT_EQ(Column().size(), kMixed.size());

  driver.Click(saveAs, ExportCancel);
  driver.Click(menuEmail, EmailCancelButton);
  driver.Click(trayEmail, EmailCancelButton);
  for (std::int32_t thread : {2, 3, 4}) EXPECT_TRUE(driver.WaitForThreadEnd(thread));
  CloseWith(MainCloseButton);
}

// The export takes its batches on its own thread, one timer event at a
// time, while a row of the main window is changed in place between them.
TEST_F(MainWindowTest, AnExportRunningWhileARowIsEditedInPlaceKeepsTheEditAndExportsEveryRecord) {
  using runtime::ui::KeyCode;
  testing_support::BatchClock clock;
  auto time = std::make_unique<runtime::ScopedTimeSource>(clock);
  std::vector<Bookmark> bookmarks;
  std::set<std::string> urls;
  for (int i = 0; i < 300; ++i) {
    char url[40];
    std::snprintf(url, sizeof url, "http://site%03d.example/", i);
    bookmarks.push_back({url, "Site " + std::to_string(i)});
    urls.insert(url);
  }
  StartProgram(bookmarks);
  Click(MainExportMenu);
  const WindowId saveAs = driver.WaitForWindow(2);
  driver.Type(saveAs, ExportEntry, cwd.Dir().File("exported.htm"));
  driver.Click(saveAs, ExportOk);
  const WindowId progress = driver.WaitForWindow(2);
  ASSERT_NE(progress, saveAs);
  auto tick = [&] {
    clock.Advance(10'000);
    driver.Post(progress, runtime::ui::ProgramEvent(1));
    ASSERT_TRUE(driver.WaitIdle(2));
  };
  tick();

  const std::string typedUrl = "http://edited.example/\xC3\xBC";
  const std::string typedDescription = "Edited \xE2\x80\x94 while exporting";
  ChooseRow(1);
  Click(MainChangeButton);
  Press(KeyCode::Tab, typedUrl);
  tick();
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  Press(KeyCode::Enter, typedDescription);
  EXPECT_EQ(Editor(), 0);
  tick();
  ASSERT_TRUE(driver.WithWindow(progress, [](runtime::ui::Window&) {})) << "the export is still running";

  // Back on the system's clock the export runs to its end by itself.
  time.reset();
  ASSERT_TRUE(driver.WaitForThreadEnd(2));

  // Stored exactly as typed, in place of the row's old values.
  Urls stored = Stored();
  EXPECT_EQ(stored.size(), 300u);
  EXPECT_EQ(std::count(stored.begin(), stored.end(), typedUrl), 1);
  EXPECT_EQ(std::count(stored.begin(), stored.end(), "http://site000.example/"), 0);
  EXPECT_EQ(Column(1)[0], typedDescription);
  // Every record exported once, the edited one as it stood when its turn came.
  std::ifstream in("exported.htm");
  std::string line;
  std::set<std::string> exported;
  int links = 0;
  while (std::getline(in, line)) {
    const std::size_t at = line.find("HREF=\"");
    if (at == std::string::npos) continue;
    ++links;
    exported.insert(line.substr(at + 6, line.find('"', at + 6) - at - 6));
  }
  EXPECT_EQ(links, 300);
  if (exported.count(typedUrl) == 1) {
    urls.erase("http://site000.example/");
    urls.insert(typedUrl);
  }
  EXPECT_EQ(exported, urls);
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, PrintFromTheMenuAndTheTrayAsksItsPreviewQuestionHere) {
  StartProgram(kMixed);
  backend.MessageBoxes().Script(runtime::ui::ButtonCancel);
  Click(MainPrintMenu);
  backend.MessageBoxes().Script(runtime::ui::ButtonCancel);
  backend.ScriptPopupChoice(TrayPrint);
  Post(kTrayRightClick);
  const auto requests = backend.MessageBoxRequests();
  ASSERT_EQ(requests.size(), 2U);
  for (const auto& request : requests) EXPECT_EQ(request.text, "Do you wish to PREVIEW this Report?");
  CloseWith(MainCloseButton);
}

TEST_F(MainWindowTest, MinimisingHidesInTheTrayWhoseMenuItemsNeverShift) {
  WriteFavoriteByHand("");
  StartProgram();
  Post(EventCode::Iconised);
  const auto added = backend.TrayIconsAdded();
  ASSERT_EQ(added.size(), 1U);
  EXPECT_EQ(added[0].tip, "Marlinden");
  EXPECT_EQ(added[0].id, kTrayIconId);
  bool hidden = false;
  driver.WithWindow(id, [&](runtime::ui::Window& w) { hidden = w.Hidden(); });
  EXPECT_TRUE(hidden);

  // A right click shows the menu; "Restore Marlinden" brings the window back.
  backend.ScriptPopupChoice(TrayRestore);
  Post(kTrayRightClick);
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.WithWindow(id, [&](runtime::ui::Window& w) { hidden = w.Hidden(); });
  EXPECT_FALSE(hidden);
  EXPECT_EQ(backend.TrayIconsDeleted(), std::vector<std::uint32_t>{kTrayIconId});

  // With a favourite full of menu syntax the items stay seven, in place.
  WriteFavoriteByHand("-[x]{a|b}~c");
  Post(EventCode::Iconised);
  backend.ScriptPopupChoice(TrayExit);
  driver.Post(id, kTrayRightClick);
  WaitForEnd();
  const auto menus = backend.PopupRequests();
  ASSERT_EQ(menus.size(), 2U);
  for (std::size_t m = 0; m < menus.size(); ++m) {
    Urls texts;
    for (const auto& item : menus[m].items) {
      if (item.kind == runtime::ui::MenuItemKind::Item) texts.push_back(item.text);
    }
    ASSERT_EQ(texts.size(), 7U);
    EXPECT_EQ(texts[2], m == 0 ? "" : "-[x]{a|b}~c");
    EXPECT_EQ(texts[6], "Exit Marlinden");
  }
  EXPECT_FALSE(menus[0].items[4].enabled) << "an empty favourite is a blank, disabled item";
  EXPECT_EQ(backend.TrayIconsDeleted().size(), 2U) << "the exit removed the icon";
}

}  // namespace
}  // namespace marlinden
