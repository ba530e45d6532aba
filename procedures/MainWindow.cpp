#include "procedures/MainWindow.h"

#include <iterator>
#include <type_traits>
#include <utility>

#include "app/Addresses.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/RecentFiles.h"
#include "procedures/AboutWindow.h"
#include "procedures/CheckLinks.h"
#include "procedures/DatabaseWindow.h"
#include "procedures/EmailWindow.h"
#include "procedures/ExportBookmarks.h"
#include "procedures/FindDuplicates.h"
#include "procedures/ImportBookmarks.h"
#include "procedures/LinkProblems.h"
#include "procedures/ProcedureStart.h"
#include "procedures/WebPageList.h"
#include "runtime/platform/OpenPage.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/views/OrderText.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::Colour;
using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;
using runtime::ui::EventCode;
using runtime::ui::kNoColour;

namespace {

constexpr const char* kHttpFilter = "(UPPER(sub(web:url,1,3)) = 'HTT')";
constexpr const char* kFtpFilter = "(UPPER(sub(web:url,1,3)) = 'FTP')";
// In-place editing: save on Enter, Tab, arrows and focus loss without asking.
constexpr std::uint8_t kArrowAction = 24;
constexpr std::int32_t kTabs = 5;
// The sheet's tabs in the order they are shown.
constexpr std::int32_t kTabControls[kTabs] = {MainUrlTab, MainDescriptionTab, MainHttpTab, MainFtpTab, MainFolderTab};
constexpr const char* kCheckLinksMenuText = "Check &Links";
constexpr const char* kFindDuplicatesMenuText = "Find &Duplicates";
constexpr const char* kToolsMenuText = "&Tools";
constexpr const char* kLinkProblemsMenuText = "Dead and &Moved Links";
constexpr const char* kOnlyLinkProblemsMenuText = "&Only Dead and Moved Links in the List";
constexpr const char* kDatabaseMenuText = "Data&base Server";
constexpr const char* kClearFilterTip = "Show every bookmark again (Esc)";

// The main window's own keys on the list, in alert slots below the browse's.
struct ListKey {
  std::size_t slot;
  runtime::ui::KeyCode key;
};
constexpr ListKey kListKeys[] = {
    {240, runtime::ui::KeyCode::Enter},
    {241, runtime::ui::KeyCode::Ctrl | runtime::ui::KeyCode::Tab},
    {242, runtime::ui::KeyCode::Ctrl | runtime::ui::KeyCode::ShiftTab},
    {243, runtime::ui::KeyCode::Ctrl | runtime::ui::KeyCode::PageDown},
    {244, runtime::ui::KeyCode::Ctrl | runtime::ui::KeyCode::PageUp},
    {245, runtime::ui::KeyCode::Esc},
    {246, runtime::ui::KeyCode::MouseHeader},
};

// The list's columns as wide as the user left them at the window's kept place.
void RestoreListColumns(runtime::ui::Window& window) {
  runtime::ui::Control* list = window.Find(MainList);
  if (list == nullptr) return;
  const std::vector<std::int32_t> widths = ReadColumnWidths(kMainIniSection);
  std::vector<runtime::ui::ListColumn> columns = list->Properties().columns;
  if (widths.size() != columns.size()) return;
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].width = widths[i];
  list->SetColumns(std::move(columns));
}

void KeepListColumns(runtime::ui::Window& window) {
  (void)window.TakeUsersColumnWidths(MainList);
  const runtime::ui::Control* list = window.Find(MainList);
  if (list == nullptr || window.State() == runtime::ui::WindowState::Iconised) return;
  std::vector<std::int32_t> widths;
  for (const runtime::ui::ListColumn& column : list->Properties().columns) widths.push_back(column.width);
  (void)KeepColumnWidths(kMainIniSection, widths);
}

// 90067 as "90,067".
std::string Grouped(std::int64_t number) {
  std::string digits = std::to_string(number);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0 && digits[at - 1] != '-'; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

// A failure the user is told of, in an exclamation box with an OK button.
void ShowProblem(std::string_view caption, std::string text) {
  (void)runtime::ui::AskMessage({std::string(caption), std::move(text), runtime::ui::Icon::Exclamation,
                                 runtime::ui::ButtonOk, runtime::ui::ButtonOk});
}

// The favourite could not be written; the error is the runtime's last one.
void ShowFavoriteNotSaved() {
  const runtime::RuntimeError& error = runtime::LastError();
  const std::string why = error.driverText.empty() ? error.text : error.driverText;
  const std::string code = error.driverCode.empty() ? std::to_string(error.code) : error.driverCode;
  ShowProblem("Set URL to Favorite", std::string("The favorite web page could not be saved in ") + kFavoriteIniFile +
                                         ": " + why + " (" + code + ").");
}

// A procedure that runs on a thread of its own could not be started.
void ShowThreadNotStarted(std::string_view caption, std::string_view what) {
  ShowProblem(caption, "The " + std::string(what) + " could not be started: the system refused a new thread.");
}

// What the list shows of a folder path, in bytes: every name the details
// file holds (kFolderPathWidth bytes with a line end after each) joined by
// " › ", so a row edited in place never cuts its folder.
constexpr std::uint32_t kFolderTextWidth = 3 * kFolderPathWidth;

runtime::RecordLayout RowLayout() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("Row", "ROW")
      .String("URL", kUrlWidth)
      .Field("URLFG", FieldType::Int32)
      .Field("URLBG", FieldType::Int32)
      .Field("URLSFG", FieldType::Int32)
      .Field("URLSBG", FieldType::Int32)
      .String("DESCRIPTION", 250)
      .Field("DESCFG", FieldType::Int32)
      .Field("DESCBG", FieldType::Int32)
      .Field("DESCSFG", FieldType::Int32)
      .Field("DESCSBG", FieldType::Int32)
      .String("FOLDER", kFolderTextWidth)
      .Field("FOLDFG", FieldType::Int32)
      .Field("FOLDBG", FieldType::Int32)
      .Field("FOLDSFG", FieldType::Int32)
      .Field("FOLDSBG", FieldType::Int32)
      .Build();
}
constexpr std::size_t kRowUrl = 1;
constexpr std::size_t kRowUrlColours = 2;
constexpr std::size_t kRowDescription = 6;
constexpr std::size_t kRowDescriptionColours = 7;
constexpr std::size_t kRowFolder = 11;
constexpr std::size_t kRowFolderColours = 12;

// The folder path of the highlighted bookmark as one line: the file field
// of the list's folder column (the bookmark file has none).
const runtime::RecordLayout& FolderTextLayout() {
  static const runtime::RecordLayout layout =
      runtime::RecordLayout::Builder("FolderText", "FTX").String("FOLDER", kFolderTextWidth).Build();
  return layout;
}

runtime::ui::ListColumn Column(std::string header, std::int32_t width) {
  runtime::ui::ListColumn column = ResizableColumn(std::move(header), width);
  column.cellColours = true;
  return column;
}

runtime::FieldRef WebUrlField() { return BookmarkStore().Record().Field(WebUrl); }
runtime::FieldRef WebNumberField() { return BookmarkStore().Record().Field(WebNum); }
runtime::FieldRef WebDescriptionField() { return BookmarkStore().Record().Field(WebDescription); }

}  // namespace

runtime::ui::WindowDescription MainWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = "Main";
  d.title = kMainTitle;
  d.icon = kMainIcon;
  d.rect = {0, 0, 372, 214 + kMainNotesHeight};
  d.frame = runtime::ui::Frame::Resizable;
  d.font = {"MS Sans Serif", 8};
  auto add = [&d](ControlKind kind, std::string text, runtime::ui::Rect rect, std::int32_t parent = -1) {
    ControlDescription c = runtime::ui::DescribeControl(kind, std::move(text), rect);
    c.parentIndex = parent;
    d.controls.push_back(std::move(c));
    return static_cast<std::int32_t>(d.controls.size()) - 1;
  };
  for (const char* item :
       {"&Exit", "&Go To Web Page", "&Print ", "&Import Bookmarks", "&Export Bookmarks", "&Send An Email", "&About"}) {
    add(ControlKind::MenuItem, item, {});
  }
  // The collection's health checks, in a menu of their own after the others.
  // Numbered after the controls that were there before them, so theirs stay.
  const std::int32_t tools = add(ControlKind::Menu, kToolsMenuText, {});
  d.controls[tools].fixedNumber = MainToolsMenu;
  d.controls[add(ControlKind::MenuItem, kCheckLinksMenuText, {}, tools)].fixedNumber = MainCheckLinksMenu;
  d.controls[add(ControlKind::MenuItem, kFindDuplicatesMenuText, {}, tools)].fixedNumber = MainFindDuplicatesMenu;
  d.controls[add(ControlKind::MenuItem, kLinkProblemsMenuText, {}, tools)].fixedNumber = MainLinkProblemsMenu;
  d.controls[add(ControlKind::MenuItem, kOnlyLinkProblemsMenuText, {}, tools)].fixedNumber = MainOnlyLinkProblemsMenu;
  d.controls[add(ControlKind::MenuItem, kDatabaseMenuText, {}, tools)].fixedNumber = MainDatabaseMenu;
  const std::int32_t sheet = add(ControlKind::Sheet, "", {4, 4, 364, 170});
  d.controls[sheet].value = 1;
  for (const char* tab : {"URL", "Description", "http", "ftp"}) add(ControlKind::Tab, tab, {4, 4, 364, 170}, sheet);
  // Numbered after the controls that were there before it, so theirs stay;
  // made last of the sheet's tabs, it is shown after them.
  d.controls[add(ControlKind::Tab, "Folder", {4, 4, 364, 170}, sheet)].fixedNumber = MainFolderTab;
  const std::int32_t list = add(ControlKind::List, "Browsing Records", {10, 22, 352, 146});
  d.controls[list].scrollBar = true;
  d.controls[list].columns = {Column("URL", 160), Column("Description", 110), Column("Folder", 67)};

  struct Button {
    const char* text;
    const char* icon;
    runtime::ui::Rect rect;
  };
  // The buttons and the filter line lie below the notes pane.
  constexpr std::int32_t first = 180 + kMainNotesHeight;
  constexpr std::int32_t second = 196 + kMainNotesHeight;
  const Button buttons[] = {
      {"&Query", "Zoom.ico", {4, first, 44, 14}},          {"Close", "Exit2.ico", {324, second, 44, 14}},
      {"Set URL to Favorite", "", {52, first, 74, 14}},    {"&Insert", "Insert.ico", {176, first, 44, 14}},
      {"&Change", "Edit.ico", {224, first, 44, 14}},       {"&Delete", "Delete.ico", {272, first, 44, 14}},
      {"Go To Web Page", "Web2.ico", {4, second, 74, 14}},
  };
  for (const Button& b : buttons) d.controls[add(ControlKind::Button, b.text, b.rect)].icon = b.icon;
  // The filter line, shown while a query filters the list.
  d.controls[add(ControlKind::Prompt, "", {82, second + 3, 186, 10})].hidden = true;
  const std::int32_t clear = add(ControlKind::Button, "Clear", {272, second, 44, 14});
  d.controls[clear].hidden = true;
  d.controls[clear].tip = kClearFilterTip;
  MainFind::Describe(d);
  MainNotes::Describe(d, 174, 364);
  return d;
}

std::string MainTitle(const std::string& favorite) {
  return favorite.empty() ? std::string(kMainTitle) : kFavoriteTitle + favorite;
}

std::vector<runtime::ui::PopupMenuItem> TrayMenu(const std::string& favorite) {
  std::vector<runtime::ui::PopupMenuItem> items;
  auto add = [&items](std::string text, bool enabled = true) {
    if (!items.empty()) {
      runtime::ui::PopupMenuItem separator;
      separator.kind = runtime::ui::MenuItemKind::Separator;
      items.push_back(std::move(separator));
    }
    runtime::ui::PopupMenuItem item;
    item.text = std::move(text);
    item.enabled = enabled;
    items.push_back(std::move(item));
  };
  add("Brackwell Web Page");
  add("Yahoo Search");
  add(favorite, !favorite.empty());
  add("Print Your Web Pages");
  add("Restore Marlinden");
  add("Send An Email");
  add("Exit Marlinden");
  return items;
}

// --- The list --------------------------------------------------------------------------------

MainBrowse::MainBrowse(MainWindow& window) : main_(window), folderText_(FolderTextLayout()) {}

void MainBrowse::ResetSort(std::uint8_t force) {
  main_.ReadFavorite();
  std::size_t order = OrderByUrl;
  if (const runtime::ui::Window* window = Win()) {
    switch (window->Find(MainSheet)->Value()) {
      case 2:
        order = OrderByDescription;
        break;
      case 3:
        order = OrderHttp;
        break;
      case 4:
        order = OrderFtp;
        break;
      case 5:
        order = OrderByFolder;
        break;
      default:
        break;
    }
  }
  if (force != 0) main_.find.Replan();
  (void)SetSort(order, force);
}

void MainBrowse::ResetFromAsk(std::uint8_t& request, std::uint8_t& response) {
  if (main_.find.Narrowed()) main_.find.Replan();
  BrowseManager::ResetFromAsk(request, response);
}

Severity MainBrowse::PrimeRecord(bool keepBuffer) {
  if (!keepBuffer) {
    BookmarkStore().ClearBuffer();
    FolderTextField().Clear();
  }
  return BrowseManager::PrimeRecord(keepBuffer);
}

std::uint8_t MainBrowse::AskRecord(std::uint8_t request) {
  // The row is edited from the record read again for it, so its folder too.
  if (request == RequestChange && RecordsInList() != 0) ReadFolderText();
  folderAtEdit_ = std::string(FolderTextField().ClippedText());
  return BrowseManager::AskRecord(request);
}

void MainBrowse::BeforeRowSave() {
  // An unchanged cell leaves the folder as stored now, which another
  // station may have changed since (and names holding a separator whole).
  const std::string_view typed = FolderTextField().ClippedText();
  if (typed != folderAtEdit_) FolderForNextSave(ParseFolderText(typed));
}

void MainBrowse::AfterRowSave(bool /*saved*/) { ResetFolderForNextSave(); }

runtime::FieldRef MainBrowse::FolderTextField() { return folderText_.Field(1); }

void MainBrowse::ReadFolderText() {
  FolderTextField().SetText(FolderText(ReadBookmarkDetails(WebNumberField().Get().AsInteger()).folder));
}

std::int64_t MainBrowse::RankSliceRows() {
  return main_.find.Walking() ? kWalkRankSliceRows : BrowseManager::RankSliceRows();
}

void MainBrowse::SetQueueRecord() {
  ReadFolderText();
  BrowseManager::SetQueueRecord();
  // A blank favourite would match every blank address (a new row).
  const std::string& favorite = main_.Favorite();
  const Colour text = !favorite.empty() && WebUrlField().ClippedText() == favorite ? kFavoriteColour : kNoColour;
  for (std::size_t first : {kRowUrlColours, kRowDescriptionColours, kRowFolderColours}) {
    LISTQUEUE->Field(first).SetInteger(text);
    for (std::size_t n = first + 1; n < first + 4; ++n) LISTQUEUE->Field(n).SetInteger(kNoColour);
  }
}

std::uint8_t MainBrowse::TakeKey() {
  using runtime::ui::KeyCode;
  const KeyCode key = runtime::ui::LastKeyCode();
  if (key == KeyCode::Enter) {
    if (RecordsInList() == 0) return 0;
    PostToWindow(EventCode::Accepted, MainGoToPageButton);
  } else if (key == (KeyCode::Ctrl | KeyCode::Tab) || key == (KeyCode::Ctrl | KeyCode::PageDown)) {
    main_.MoveTab(1);
  } else if (key == (KeyCode::Ctrl | KeyCode::ShiftTab) || key == (KeyCode::Ctrl | KeyCode::PageUp)) {
    main_.MoveTab(-1);
  } else if (key == KeyCode::MouseHeader) {
    // Column 1 is the addresses' order (tab "URL"), column 2 the
    // descriptions', column 3 the folders' (the fifth tab).
    const runtime::ui::Event* event = runtime::ui::CurrentEvent();
    const std::int32_t column = event != nullptr ? event->data.column.value_or(0) : 0;
    if (column < 1 || column > 3) return 0;
    main_.ShowTab(column == 3 ? kTabs : column);
  } else if (main_.find.TakeListKey(key)) {
    return 1;
  } else if (key == KeyCode::Esc) {
    if (QueryFilter().empty() && !main_.find.ShowsOnly()) return 0;
    main_.ClearFilters();
  } else {
    return BrowseManager::TakeKey();
  }
  return 1;
}

void MainBrowse::AlertKeys() {
  runtime::ui::Control* list = List();
  if (list == nullptr) return;
  for (const ListKey& key : kListKeys) list->Alert(key.slot, key.key);
}

std::string MainBrowse::QueryFilter() {
  const SortOrder* order = Order();
  if (order == nullptr || order->FILTER == nullptr) return {};
  for (const FilterEntry& entry : *order->FILTER) {
    if (entry.ID == kQueryFilterId) return entry.FILTER;
  }
  return {};
}

std::int64_t MainBrowse::CountRows() {
  std::int64_t rows = 0;
  if (VIEW->Reset() != runtime::NoError) return 0;
  while (VIEW->Next() == runtime::NoError) ++rows;
  return rows;
}

void MainBrowse::TakeQuery() {
  BrowseManager::TakeQuery();
  const std::string filter = QueryFilter();
  const std::size_t order = ORDER->Pointer();
  if (filter.empty()) {
    counted_.erase(order);
  } else {
    // One pass over the view's rows per query: the filter is an expression
    // the keyed driver cannot count for us. The pass moves the view, so the
    // page is loaded again around the highlighted row afterwards.
    counted_[order] = {filter, CountRows()};
    ResetSort(ReloadAlways);
  }
  main_.ShowFilterLine();
}

std::int64_t MainBrowse::QueryRows() {
  const std::string filter = QueryFilter();
  if (filter.empty()) return -1;
  const auto found = counted_.find(ORDER->Pointer());
  if (found != counted_.end() && found->second.filter == filter) return found->second.rows;
  return -1;
}

void MainBrowse::ClearQuery() {
  counted_.erase(ORDER->Pointer());
  SetFilter("", kQueryFilterId);
  ApplyFilter();
  ResetSort(ReloadAlways);
  main_.ShowFilterLine();
}

Severity MainQuery::Ask(bool keepValues) {
  ClearLimits();
  return QueryManager::Ask(keepValues);
}

// --- The window ------------------------------------------------------------------------------

MainWindow::MainWindow()
    : queue(RowLayout(),
            {{kRowUrl, kRowUrlColours}, {kRowDescription, kRowDescriptionColours}, {kRowFolder, kRowFolderColours}}),
      find(BookmarkStore()) {}

MainWindow::~MainWindow() = default;

void MainWindow::ReadFavorite() { favorite_ = marlinden::ReadFavorite(); }

void MainWindow::SetTitle() {
  if (runtime::ui::Window* window = GetWindow()) window->SetTitle(MainTitle(marlinden::ReadFavorite()));
}

Severity MainWindow::Init() {
  if (const Severity result = StartProcedure(*this, MainList); result != SeverityOk) return result;
  AddItem(toolbar);
  AddItem(MainCloseButton, ResponseCancelled);
  AddItem(MainExitMenu, ResponseCancelled);

  if (const Severity opened = BookmarkStoreRelations->Open(); opened != SeverityOk) return opened;
  filesOpened_ = true;
  ReadFavorite();
  view_ = std::make_unique<runtime::View>(find.File());

  runtime::ui::Window& window = OpenWindow(MainWindowDescription());
  OPENED = 1;
  browse.Init(MainList, queue, *view_, *this, *BookmarkStoreRelations);
  window.SetIcon(kMainIcon);
  SetTitle();
  query.Init(queryWindow);

  struct Order {
    std::size_t key;
    StepManager* step;
    runtime::FieldRef locatorField;
    const char* filter;
  };
  const Order orders[] = {
      {WebDescKey, nullptr, WebDescriptionField(), nullptr},
      {WebNameKey, nullptr, WebUrlField(), kHttpFilter},
      {WebNameKey, nullptr, WebUrlField(), kFtpFilter},
      {WebNameKey, &step, WebUrlField(), nullptr},
  };
  step.Init(1, LookupComputed);
  static_assert(std::size(orders) == std::extent_v<decltype(locators)>,
                "one locator for each key of the bookmark file");
  for (std::size_t i = 0; i < std::size(orders); ++i) {
    (void)browse.AddSortOrder(orders[i].step, orders[i].key);
    locators[i].Init(0, orders[i].locatorField, 1, &browse);
    browse.AddLocator(locators[i]);
    if (orders[i].filter != nullptr) browse.SetStandardFilter(orders[i].filter);
  }
  // The folder order is a key of the list's own file (FoundBookmarks.h),
  // not of the bookmark file's: named by its order text, without a locator.
  (void)browse.AddSortOrder(nullptr, 0);
  browse.SetOrder(runtime::KeyOrderText(ListedBookmarkLayout(), kListedFolderKey));
  browse.AddField(queue.Field(kRowUrl), WebUrlField());
  browse.AddField(queue.Field(kRowDescription), WebDescriptionField());

  // The sheet and the list keep their margins and grow with the window, the
  // list's columns sharing its width; the buttons keep their size by the
  // edge they are nearest. Init links each control to the one holding it.
  resizer.Init(window, StrategyFollowParents, SnapshotLimit::Limit, SnapshotLimit::None);
  resizer.AUTOTRANSPARENT = true;
  AddItem(resizer);
  notes.Init(window, browse, MainList, resizer);
  GlobalIni.RestoreWindow(kMainIniSection, window, runtime::ui::Frame::Resizable);
  // The restored size, with the column widths the user left at it, becomes
  // the reference for the user's resizing.
  resizer.Resize();
  RestoreListColumns(window);
  resizer.SnapShot();

  browse.QUERYCONTROL = MainQueryButton;
  browse.AddQuery(query);
  // Added after the query took its columns: the query filters on the
  // bookmark file's fields, and the folder is not one of them.
  browse.AddField(queue.Field(kRowFolder), browse.FolderTextField());
  browse.ARROWACTION = kArrowAction;
  browse.INSERTCONTROL = MainInsertButton;
  browse.CHANGECONTROL = MainChangeButton;
  browse.DELETECONTROL = MainDeleteButton;
  browse.ASKPROCEDURE = 0;
  browse.AddToolbarTarget(toolbar);
  SetAlerts();
  browse.AlertKeys();
  find.Init(window, browse, MainList);

  struct PopupEntry {
    const char* text;
    std::int32_t control;
  };
  const PopupEntry entries[] = {
      {"Go to highlighted web page", MainGoToPageButton},
      {"Set URL to favorite", MainFavoriteButton},
      {"Print URL list", MainPrintMenu},
      {"Import bookmark file", MainImportMenu},
      {"Sendx an email", MainEmailMenu},  // the popup entry's text as users know it, spelt so
      {"Exit", MainCloseButton},
  };
  for (const PopupEntry& entry : entries) {
    (void)browse.POPUP->AddItemEvent(browse.POPUP->AddItem(entry.text), EventCode::Accepted, entry.control);
  }
  HighlightTab();
  return SeverityOk;
}

Severity MainWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (filesOpened_) {
    (void)BookmarkStoreRelations->Close();
    filesOpened_ = false;
  }
  if (iconPresent_ && runtime::ui::DeleteTrayIcon(kTrayIconId)) iconPresent_ = false;
  if (runtime::ui::Window* window = GetWindow(); window != nullptr && OPENED) {
    (void)GlobalIni.SaveWindow(kMainIniSection, *window, runtime::ui::Frame::Resizable);
    KeepListColumns(*window);
  }
  CloseWindow();
  view_.reset();
  return SeverityOk;
}

bool MainWindow::RereadCurrent() {
  Update();
  if (browse.RecordsInList() == 0 || BookmarkStoreManager->TryFetch(WebNameKey) != SeverityOk) {
    BookmarkStore().Record().Clear();
    return false;
  }
  return true;
}

void MainWindow::GoToPage() {
  // An empty list opens nothing (the opener refuses an empty address).
  if (RereadCurrent()) runtime::platform::OpenPage(WebUrlField().ClippedText());
}

void MainWindow::SetFavorite() {
  // Without a record the user's favourite is kept, not erased.
  if (!RereadCurrent()) return;
  if (WriteFavorite(WebUrlField().ClippedText()) != runtime::NoError) {
    // The favourite in the file is unchanged, and so is what the window shows.
    ShowFavoriteNotSaved();
    return;
  }
  ReadFavorite();
  runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  Reset(1);
  SetTitle();
}

void MainWindow::ShowOnlyLinkProblems(bool tellNone) {
  std::vector<std::int64_t> numbers;
  for (const LinkProblem& problem : ReadLinkProblems()) numbers.push_back(problem.number);
  if (numbers.empty()) {
    if (tellNone) TellNoLinkProblems();
    if (!find.ShowsOnly()) return;
    find.ShowOnly(std::nullopt);
  } else {
    find.ShowOnly(std::move(numbers));
  }
  ShowFilterLine();
}

void MainWindow::StartEmail() {
  if (runtime::ui::StartThread(Email, kProcedureStackBytes) == 0) ShowThreadNotStarted("Send An Email", "e-mail form");
}

Severity MainWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  switch (control) {
    case MainGoToPageMenu:
    case MainGoToPageButton:
      GoToPage();
      break;
    case MainImportMenu:
      // Modal here; the forced reset reloads the list with the new rows.
      ImportBookmarks();
      Reset(1);
      break;
    case MainCheckLinksMenu:
      // Modal here; the check reads the bookmarks, so the list is read again.
      CheckLinks();
      if (find.ShowsOnly()) ShowOnlyLinkProblems(false);
      Reset(1);
      break;
    case MainOnlyLinkProblemsMenu:
      Update();
      ShowOnlyLinkProblems(true);
      break;
    case MainDatabaseMenu:
      Update();
      ChooseDatabase();
      break;
    case MainLinkProblemsMenu:
      // Modal here; the window may change and delete bookmarks.
      Update();
      ShowLinkProblemsOrTellNone();
      if (find.ShowsOnly()) ShowOnlyLinkProblems(false);
      Reset(1);
      break;
    case MainFindDuplicatesMenu:
      // Modal here; a merge deletes bookmarks, so the list is read again.
      Update();
      FindDuplicates();
      Reset(1);
      break;
    case MainFavoriteButton:
      SetFavorite();
      break;
    case MainClearFilterButton:
      ClearFilters();
      break;
    default:
      break;
  }
  const Severity result = WindowManager::TakeAccepted();
  switch (control) {
    case MainPrintMenu:
      Update();
      (void)WebPageList();
      Reset(0);
      break;
    case MainExportMenu:
      Update();
      if (StartExportBookmarks() == 0) ShowThreadNotStarted("Export Bookmarks", "export");
      Reset(0);
      break;
    case MainEmailMenu:
      Update();
      StartEmail();
      Reset(0);
      break;
    case MainAboutMenu:
      Update();
      About();
      Reset(0);
      break;
    default:
      break;
  }
  return result;
}

// --- Tab highlighting ------------------------------------------------------------------------

void MainWindow::HighlightTab() {
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  if (highlightedTab_ != 0) {
    if (runtime::ui::Control* tab = window->Find(highlightedTab_)) {
      tab->SetColours(savedTabText_, savedTabBackground_);
    }
  }
  const std::int32_t shown = window->Find(MainSheet)->Value();
  highlightedTab_ = shown >= 1 && shown <= kTabs ? kTabControls[shown - 1] : 0;
  runtime::ui::Control* tab = highlightedTab_ != 0 ? window->Find(highlightedTab_) : nullptr;
  if (tab == nullptr) {
    highlightedTab_ = 0;
    return;
  }
  savedTabText_ = tab->Properties().textColour;
  savedTabBackground_ = tab->Properties().backgroundColour;
  tab->SetColours(kTabHighlightColour, kNoColour);
}

Severity MainWindow::TakeNewSelection() {
  const Severity result = WindowManager::TakeNewSelection();
  if (ThisEvent().control == MainSheet) {
    HighlightTab();
    ShowFilterLine();
  }
  return result;
}

void MainWindow::ShowTab(std::int32_t tab) {
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  runtime::ui::EventData data;
  data.value = tab;
  window->Post(EventCode::NewSelection, MainSheet, std::move(data));
}

void MainWindow::MoveTab(std::int32_t delta) {
  const runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  const std::int32_t current = window->Find(MainSheet)->Value();
  ShowTab(((current - 1 + delta) % kTabs + kTabs) % kTabs + 1);
}

// --- The filter line -------------------------------------------------------------------------

void MainWindow::ShowFilterLine() {
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  runtime::ui::Control* line = window->Find(MainFilterLine);
  runtime::ui::Control* clear = window->Find(MainClearFilterButton);
  const std::int64_t rows = browse.QueryRows();
  if (rows < 0 && !find.ShowsOnly()) {
    line->Hide();
    clear->Hide();
    return;
  }
  std::string text = find.ShowsOnly() ? "Dead and moved links only" : "";
  if (rows >= 0) {
    text += (text.empty() ? "" : "; ") + std::string("Filtered: ") + Grouped(rows) + " of " +
            Grouped(BookmarkStore().Records()) + " bookmarks";
  }
  line->SetText(text);
  line->Unhide();
  clear->Unhide();
}

void MainWindow::ClearFilters() {
  if (find.ShowsOnly()) find.ShowOnly(std::nullopt);
  if (browse.QueryFilter().empty()) {
    ShowFilterLine();
  } else {
    browse.ClearQuery();
  }
}

// --- The tray --------------------------------------------------------------------------------

void MainWindow::AddTrayIcon() {
  runtime::ui::TrayIconRequest request;
  request.id = kTrayIconId;
  request.icon = kMainIcon;
  request.tip = kTrayTip;
  request.leftClick = kTrayLeftClick;
  request.rightClick = kTrayRightClick;
  request.leftDoubleClick = kTrayLeftDoubleClick;
  request.rightDoubleClick = kTrayRightDoubleClick;
  if (!runtime::ui::AddTrayIcon(request)) return;  // stays minimised in the ordinary way
  if (runtime::ui::Window* window = GetWindow()) window->Hide();
  iconPresent_ = true;
}

void MainWindow::RestoreFromTray() {
  if (!iconPresent_) return;
  if (runtime::ui::Window* window = GetWindow()) window->Post(kTrayRestore);
  if (runtime::ui::DeleteTrayIcon(kTrayIconId)) {
    iconPresent_ = false;
  } else {
    AddTrayIcon();
  }
}

void MainWindow::ExitFromTray() {
  if (iconPresent_ && runtime::ui::DeleteTrayIcon(kTrayIconId)) iconPresent_ = false;
  if (runtime::ui::Window* window = GetWindow()) window->Post(EventCode::CloseWindow);
}

void MainWindow::TrayMenuChoice() {
  const runtime::ui::Point at = ThisEvent().data.mouse.value_or(runtime::ui::Point{});
  switch (runtime::ui::PopupMenu(TrayMenu(marlinden::ReadFavorite()), at)) {
    case TrayMakerPage:
      runtime::platform::OpenPage(kMakerHomePage);
      break;
    case TraySearchPortal:
      runtime::platform::OpenPage(kSearchPortal);
      break;
    case TrayFavorite:
      runtime::platform::OpenPage(marlinden::ReadFavorite());
      SetTitle();
      break;
    case TrayPrint:
      (void)WebPageList();
      break;
    case TrayEmail:
      StartEmail();
      break;
    case TrayRestore:
      RestoreFromTray();
      break;
    case TrayExit:
      ExitFromTray();
      break;
    default:
      break;
  }
}

Severity MainWindow::TakeEvent() {
  const Severity result = WindowManager::TakeEvent();
  notes.Follow();
  return result;
}

Severity MainWindow::TakeFieldEvent() {
  if (find.TakeEvent(ThisEvent()) || notes.TakeEvent(ThisEvent())) return SeverityOk;
  return WindowManager::TakeFieldEvent();
}

Severity MainWindow::TakeWindowEvent() {
  const Severity result = WindowManager::TakeWindowEvent();
  if (find.TakeEvent(ThisEvent())) return result;
  const EventCode code = ThisEvent().code;
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return result;
  if (code == EventCode::Iconised && !iconPresent_) {
    AddTrayIcon();
  } else if (code == kTrayRestore) {
    // Back as it was before it went to the tray (maximised stays so), in
    // front of the others and active.
    window->Unhide();
    window->SetState(window->StateBeforeIconised());
    window->BringToFront();
    SelectFirstField();
  } else if (code == kTrayLeftClick || code == kTrayLeftDoubleClick) {
    // The restore request is handled after the menu, in posting order.
    RestoreFromTray();
    if (code == kTrayLeftClick) TrayMenuChoice();
  } else if (code == kTrayRightClick) {
    TrayMenuChoice();
  }
  return result;
}

void MainBookmarkWindow() {
  MainWindow window;
  ResponseCode = window.Run();
}

}  // namespace marlinden
