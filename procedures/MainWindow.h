// The main bookmark window: the program's one top-level procedure. It lists
// the bookmarks in five tabs (by address, by description, web addresses
// only, FTP addresses only, by folder), edits them in place, shows the favourite page
// in red and in the title, opens pages in the desktop's browser, starts the
// other procedures, and hides in the tray while minimised.
//
// Thread: runtime thread 1, holding the runtime lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "errors/Severity.h"
#include "procedures/MainFind.h"
#include "procedures/MainNotes.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/ui/EventCode.h"
#include "runtime/ui/ListSource.h"
#include "runtime/ui/PopupMenuText.h"
#include "runtime/ui/WindowDescription.h"
#include "runtime/views/View.h"
#include "window/BrowseManager.h"
#include "window/BrowseQueue.h"
#include "window/IncrementalLocator.h"
#include "window/QueryManager.h"
#include "window/QueryWindow.h"
#include "window/Resizer.h"
#include "window/StringStep.h"
#include "window/ToolbarManager.h"
#include "window/WindowManager.h"

namespace marlinden {

// The window's controls, numbered in declaration order.
enum MainControl : std::int32_t {
  MainExitMenu = 1,
  MainGoToPageMenu,
  MainPrintMenu,
  MainImportMenu,
  MainExportMenu,
  MainEmailMenu,
  MainAboutMenu,
  MainSheet,
  MainUrlTab,
  MainDescriptionTab,
  MainHttpTab,
  MainFtpTab,
  MainList,
  MainQueryButton,
  MainCloseButton,
  MainFavoriteButton,
  MainInsertButton,
  MainChangeButton,
  MainDeleteButton,
  MainGoToPageButton,
  MainFilterLine,          // "Filtered: n of m bookmarks" while a query filters the list
  MainClearFilterButton,   // shows every bookmark again
  MainToolsMenu,           // on the menu bar after "&About"; numbered before its items, made before them
  MainCheckLinksMenu,      // in the "&Tools" menu
  MainFindDuplicatesMenu,  // in the "&Tools" menu, after "Check &Links"
  // Then the find box's prompt and box (MainFind.h).
  MainLinkProblemsMenu = kMainFindBox + 1,  // in the "&Tools" menu
  MainOnlyLinkProblemsMenu,                 // in the "&Tools" menu: the list narrowed to them
  MainDatabaseMenu,                         // in the "&Tools" menu, last
  // Then the notes pane's prompt and box (MainNotes.h).
  MainFolderTab = kMainNotesBox + 1,  // the sheet's fifth tab, after "ftp": by folder, then description
};
static_assert(kMainNotesPrompt == MainDatabaseMenu + 1, "the notes pane follows the window's other controls");

// The sort orders, in the order they are added.
enum MainOrder : std::size_t { OrderByDescription = 1, OrderHttp, OrderFtp, OrderByUrl, OrderByFolder };

inline constexpr const char* kMainTitle = "Marlinden";
inline constexpr const char* kFavoriteTitle = "Marlinden     Favorite Web Page ";
inline constexpr const char* kMainIcon = "Web2.ico";
inline constexpr const char* kMainIniSection = "Main";
inline constexpr runtime::ui::Colour kFavoriteColour = 0x0000FF;      // red
inline constexpr runtime::ui::Colour kTabHighlightColour = 0xFF0000;  // blue

// The program's own events: the tray's clicks and the restore request.
inline constexpr runtime::ui::EventCode kTrayLeftClick = runtime::ui::ProgramEvent(1);
inline constexpr runtime::ui::EventCode kTrayRightClick = runtime::ui::ProgramEvent(2);
inline constexpr runtime::ui::EventCode kTrayLeftDoubleClick = runtime::ui::ProgramEvent(3);
inline constexpr runtime::ui::EventCode kTrayRightDoubleClick = runtime::ui::ProgramEvent(4);
inline constexpr runtime::ui::EventCode kTrayRestore = runtime::ui::ProgramEvent(5);
inline constexpr std::uint32_t kTrayIconId = 100;
inline constexpr const char* kTrayTip = "Marlinden";

// The tray menu's items, numbered as the user's choice comes back.
enum TrayItem : std::int32_t {
  TrayMakerPage = 1,
  TraySearchPortal,
  TrayFavorite,
  TrayPrint,
  TrayRestore,
  TrayEmail,
  TrayExit,
};

runtime::ui::WindowDescription MainWindowDescription();

// The title for a favourite (empty: none).
std::string MainTitle(const std::string& favorite);

// The seven items of the tray menu, separators between them. The favourite
// is shown as it stands; with none its item is blank and disabled.
std::vector<runtime::ui::PopupMenuItem> TrayMenu(const std::string& favorite);

class MainWindow;

// The list of bookmarks: chooses the order by the selected tab and shows the
// favourite's rows in red. Besides the browse's own keys: Enter opens the
// highlighted page, Ctrl+Tab and Ctrl+Page Down show the next tab, Ctrl+
// Shift+Tab and Ctrl+Page Up the previous one, a click on a column header
// the tab of that order (the folder column: the folder tab), Ctrl+F the find box, and Escape clears the find's
// words, else a query. The list reads through the find (MainFind.h).
class MainBrowse : public BrowseManager {
 public:
  explicit MainBrowse(MainWindow& window);
  // A forced reload also plans the find's words afresh.
  void ResetSort(std::uint8_t force) override;
  // The bookmarks changed: the find's words are planned afresh.
  void ResetFromAsk(std::uint8_t& request, std::uint8_t& response) override;
  // A fresh record starts from a clear bookmark buffer (the view's own
  // file is the find's).
  Severity PrimeRecord(bool keepBuffer) override;
  // Fewer while the find walks the order (each row may cost many reads).
  std::int64_t RankSliceRows() override;
  void SetQueueRecord() override;
  // The folder cell of a row edited in place is saved with the row.
  std::uint8_t AskRecord(std::uint8_t request) override;
  void BeforeRowSave() override;
  void AfterRowSave(bool saved) override;
  std::uint8_t TakeKey() override;
  // The query, then the rows it lets through, counted once.
  void TakeQuery() override;

  // The keys above, alerted on the list.
  void AlertKeys();
  // The query's filter on the order shown; empty when none.
  std::string QueryFilter();
  // The rows the query lets through on the order shown, as counted when it
  // was applied; -1 when no query filters it.
  std::int64_t QueryRows();
  // Removes the query's filter from the order shown and reloads the list.
  void ClearQuery();
  // The folder column's file field: the buffered bookmark's folder path on one line.
  runtime::FieldRef FolderTextField();

 private:
  struct Counted {
    std::string filter;
    std::int64_t rows = 0;
  };
  // Every row of the view in its order and filters, read once.
  std::int64_t CountRows();
  // The buffered bookmark's stored folder into FolderTextField.
  void ReadFolderText();

  MainWindow& main_;
  std::map<std::size_t, Counted> counted_;  // by order number
  runtime::RecordBuffer folderText_;
  std::string folderAtEdit_;  // FolderTextField when the row's edit began
};

// A query whose form starts empty each time.
class MainQuery : public QueryManager {
 public:
  Severity Ask(bool keepValues) override;
};

class MainWindow : public WindowManager {
 public:
  MainWindow();
  ~MainWindow() override;

  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeWindowEvent() override;
  Severity TakeNewSelection() override;
  Severity TakeFieldEvent() override;
  // Every event, then the notes pane follows the highlighted row.
  Severity TakeEvent() override;

  // Re-reads the favourite from its file.
  void ReadFavorite();
  const std::string& Favorite() const { return favorite_; }
  // Shows the filter line while a query or the link problems narrow the
  // list, else hides it.
  void ShowFilterLine();
  // Removes the query's filter and the link problems' bound.
  void ClearFilters();
  // Shows the tab delta places on, wrapping around.
  void MoveTab(std::int32_t delta);
  // Shows tab (1-based).
  void ShowTab(std::int32_t tab);

  BrowseQueue queue;
  MainFind find;
  MainNotes notes;
  MainBrowse browse{*this};
  MainQuery query;
  QueryWindow queryWindow;
  ToolbarManager toolbar;
  StringStep step;
  IncrementalLocator locators[4];
  Resizer resizer;

 private:
  void SetTitle();
  // Re-reads the highlighted record by its address (the buffer is cleared
  // when that fails); true when it was found.
  bool RereadCurrent();
  void GoToPage();
  void SetFavorite();
  // Narrows the list to the bookmarks whose last link check found them dead
  // or moved (read again each time); with none, tells so when asked to.
  void ShowOnlyLinkProblems(bool tellNone);
  // Starts the e-mail form on a runtime thread of its own.
  void StartEmail();
  void HighlightTab();
  void AddTrayIcon();
  void RestoreFromTray();
  void ExitFromTray();
  void TrayMenuChoice();

  std::unique_ptr<runtime::View> view_;
  std::string favorite_;
  bool filesOpened_ = false;
  bool iconPresent_ = false;
  std::int32_t highlightedTab_ = 0;
  runtime::ui::Colour savedTabText_ = runtime::ui::kNoColour;
  runtime::ui::Colour savedTabBackground_ = runtime::ui::kNoColour;
};

// The main procedure: runs the window; leaves its result in ResponseCode.
void MainBookmarkWindow();

}  // namespace marlinden
