// The browse list: shows the records of a view one page at a time in a list
// control. Only the visible page is held (in the list queue); further
// records are read forward or backward as the user scrolls, the highlighted
// row keeps its screen line when the page is rebuilt, each tab of a sheet
// can have its own sort order, the thumb stands for the highlighted row's
// rank among the view's rows (see BrowseRanking.cpp), and the highlighted
// row is copied into the record buffer whenever the selection moves. The
// update side - buttons, keys, the update procedure and toolbar navigation
// - is in BrowseActions.cpp. The window manager drives it as a BrowseItem.
//
// Set-up, by the procedure: Init, AddSortOrder (+ AddLocator, AddResetField)
// for each order, AddField for each list column in column order, the button
// fields, then the window's SetAlerts. Without an update procedure, inserts
// and changes are edited in place in the list (AddEditControl in
// BrowseEditInPlace.cpp, the edit itself a BrowseRowEdit).
//
// Parts it owns, one job each: BrowseRowEdit (one in-place edit),
// BrowseButtonMenu (the popup entries of its buttons), BrowseToolbarLink
// (what its toolbar target sees of the list), BrowseRanks (the ranks of the
// view's rows, one table per order); the thumb's arithmetic is in
// BrowseThumb.h.
//
// Thread: the window's runtime thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/FieldPairs.h"
#include "data/ViewManager.h"
#include "errors/Severity.h"
#include "runtime/ui/Control.h"
#include "runtime/ui/EventCode.h"
#include "runtime/views/View.h"
#include "window/BrowseButtonMenu.h"
#include "window/BrowseQueue.h"
#include "window/BrowseRanks.h"
#include "window/BrowseToolbarLink.h"
#include "window/EditInPlace.h"
#include "window/IncrementalLocator.h"
#include "window/PopupManager.h"
#include "window/QueryManager.h"
#include "window/StepManager.h"
#include "window/ToolbarManager.h"
#include "window/ToolbarTarget.h"
#include "window/WindowItems.h"
#include "window/WindowManager.h"

namespace marlinden {

// Directions of Fetch.
enum FetchDirection : std::uint8_t { FetchBackward = 1, FetchForward = 2 };
// Modes of ResetQueue.
enum QueueReset : std::uint8_t {
  ResetAroundRow = 1,     // rebuild around the highlighted row
  ResetFromPosition = 2,  // rebuild from the view's current position
};
// The force flag of ResetSort, SetSort and the window's Reset.
enum ReloadForce : std::uint8_t {
  ReloadIfNeeded = 0,  // only when the list's height, range or reset fields changed
  ReloadAlways = 1,
};

// The event a browse posts to its own window for the next slice of
// counting the view's rows; data.row: its list control, data.value: the
// slice's token (a slice posted before the counting started over is
// stale).
inline constexpr runtime::ui::EventCode kRankSliceEvent = runtime::ui::ProgramEvent(0x200);
// Rows counted per slice: a few milliseconds of reading.
inline constexpr std::int64_t kRankSliceRows = 4096;
// The most rows a caseless locate reads on past its seek (Locate).
inline constexpr std::size_t kCaselessLocateRows = 2048;

// Alert slots the browse takes on its list control.
// The filter id a query's filter is set under on an order.
inline constexpr std::string_view kQueryFilterId = "9 - QBE";
inline constexpr std::size_t kChangeKeyAlertSlot = 248;  // F2 changes the row, as Ctrl+Enter
inline constexpr std::size_t kRightMouseAlertSlot = 249;
inline constexpr std::size_t kDoubleClickAlertSlot = 252;
inline constexpr std::size_t kCtrlEnterAlertSlot = 253;
inline constexpr std::size_t kDeleteAlertSlot = 254;
inline constexpr std::size_t kInsertAlertSlot = 255;

// The text colour of a list column that cannot be edited while its row is.
inline constexpr runtime::ui::Colour kGreyTextColour = 0x808080;

class BrowseManager : public ViewManager, public BrowseItem {
 public:
  struct SortOrder : ViewManager::SortOrder {
    IncrementalLocator* LOCATOR = nullptr;  // borrowed
    // Reset fields: left the watched variable, right its value at the last
    // load (held in RESETCOPIES).
    std::unique_ptr<FieldPairs> RESETS;
    std::vector<std::unique_ptr<OwnedValue>> RESETCOPIES;
    // Borrowed; Kill kills it. Places the thumb until the view's rows are
    // counted.
    StepManager* THUMB = nullptr;
  };
  // One list column of the in-place edit.
  struct EditColumn {
    std::int32_t FIELD = 0;          // list column, from 1
    std::uint8_t FREEUP = 0;         // the browse owns CONTROL
    EditInPlace* CONTROL = nullptr;  // nullptr: the column is not editable
  };

  // listQueue, view, window and primary are borrowed and must outlive Kill.
  // Registers the browse with window (which must have run its Init).
  void Init(std::int32_t listControl, BrowseQueue& listQueue, runtime::View& view, WindowManager& window,
            RelationManager& primary);
  // An order on key (0 = record order) with an optional step object
  // (borrowed); it becomes the current order.
  Severity AddSortOrder(StepManager* step, std::size_t key);
  // The locator (borrowed) of the order added last.
  void AddLocator(IncrementalLocator& locator);
  // A variable whose change reloads the list, for the order added last.
  void AddResetField(runtime::FieldRef field);
  // A list column: queueField of the list queue shows fileField.
  void AddField(runtime::FieldRef queueField, runtime::FieldRef fileField);
  // Makes the browse a target of toolbar (borrowed, it must outlive Kill)
  // and the toolbar's current one.
  void AddToolbarTarget(ToolbarManager& toolbar);
  // The query (borrowed; Kill kills it) gets one field per list column that
  // shows a file field. Requires: the window is open.
  void AddQuery(QueryManager& query);
  // The edit object of list column (from 1) for in-place editing, replacing
  // any it had: borrowed (it must outlive Kill), owned, or nullptr to make
  // the column not editable.
  void AddEditControl(EditInPlace* control, std::int32_t column);
  void AddEditControl(std::unique_ptr<EditInPlace> control, std::int32_t column);

  // The rows in the list (0 also sets CURRENTCHOICE to 0); tells the
  // current locator whether there are any.
  std::size_t RecordsInList();
  // Selects CURRENTCHOICE in the list and posts a new-selection event to it.
  void PostNewSelection();

  // --- ViewManager overrides -----------------------------------------------------
  // Next and Previous put the reset fields back at the end of data and close
  // the window on a fatal read.
  Severity Next() override;
  Severity Previous() override;
  // For an in-place insert an auto-number is reserved without asking: one
  // that collides with a left-over record is given at insert instead.
  Severity PrimeRecord(bool keepBuffer) override;

  // --- BrowseItem -------------------------------------------------------------------
  void Kill() override;
  void ResetSort(std::uint8_t force) override;
  void UpdateWindow() override;
  void TakeEvent() override;
  bool NeedRefresh() override;
  void UpdateViewRecord() override;
  void SetAlerts() override;

  // The list control is shown: not hidden, and on its sheet's selected tab.
  bool ListVisible() const;

  // --- Own virtual operations, in slot order --------------------------------------
  // Runs the update procedure (or the in-place edit) for request, following
  // toolbar navigation; returns the last response. VcrRequest is 0 after it.
  virtual std::uint8_t Ask(std::uint8_t request);
  // The in-place edit of the highlighted row, used when there is no update
  // procedure: a delete asks for confirmation, an insert or change edits the
  // row in the list until the user ends it.
  virtual std::uint8_t AskRecord(std::uint8_t request);
  // Reads up to rows records before the first row (backward) or after the
  // last (forward) into the list queue, dropping rows at the far end beyond
  // LASTITEMS; returns the rows it could not read, also kept in ITEMSTOFILL.
  virtual std::int32_t Fetch(std::uint8_t direction, std::int32_t rows);
  virtual void ResetFromAsk(std::uint8_t& request, std::uint8_t& response);
  virtual void ResetToFreeElement();
  virtual void ResetFromFile();
  // The step table's limits, and counting the view's rows (again) when the
  // order, its filter or the data changed since they were counted: in
  // slices of kRankSliceRows, one per posted kRankSliceEvent.
  virtual void ResetThumbLimits();
  // Rebuilds the page (a QueueReset mode), keeping the highlighted record
  // and, with RETAINROW, its screen line.
  virtual void ResetQueue(std::uint8_t mode);
  virtual void ScrollEnd(runtime::ui::EventCode event);
  virtual void ScrollOne(runtime::ui::EventCode event);
  virtual void ScrollPage(runtime::ui::EventCode event);
  // Fills the list queue's buffer from the record just read.
  virtual void SetQueueRecord();
  // The rows one slice of counting reads: kRankSliceRows, fewer for a view
  // that reads many records per row it gives.
  virtual std::int64_t RankSliceRows() { return kRankSliceRows; }
  // Makes order n current and reloads when needed (always when force is
  // non-zero); 1 when the list was reloaded.
  virtual std::uint8_t SetSort(std::size_t n, std::uint8_t force);
  virtual std::uint8_t TakeKey();
  virtual void TakeQuery();
  virtual void TakeNewSelection();
  // event None: the event being handled.
  virtual void TakeScroll(runtime::ui::EventCode event = runtime::ui::EventCode::None);
  virtual void TakeVcrScroll(std::int32_t request);
  // The highlighted row into the file fields (cleared when the list is empty).
  virtual void UpdateBuffer();
  // Around the save of a row edited in place: called after the row is in
  // the file fields and before the insert or change, and after it (saved
  // tells whether it was), so a procedure can store what the row holds
  // beside the primary file's fields.
  virtual void BeforeRowSave() {}
  virtual void AfterRowSave(bool saved) { (void)saved; }

  // --- Fields -----------------------------------------------------------------------
  std::uint8_t ACTIVEINVISIBLE = 0;
  std::uint8_t ALLOWUNFILLED = 0;
  std::uint8_t ARROWACTION = 0;
  std::uint16_t ASKPROCEDURE = 0;
  std::int32_t CHANGECONTROL = 0;
  std::int32_t CURRENTCHOICE = 0;
  runtime::ui::EventCode CURRENTEVENT = runtime::ui::EventCode::None;
  std::int32_t DELETECONTROL = 0;
  std::vector<EditColumn> EDITLIST;  // in column order
  std::uint8_t ENTERACTION = 0;
  std::unique_ptr<FieldPairs> FIELDS;  // left: file fields, right: list-queue fields
  std::uint8_t FILELOADED = 0;
  std::uint8_t FOCUSLOSSACTION = 0;
  std::uint8_t HASTHUMB = 0;
  std::uint8_t HIDESELECT = 0;
  std::int32_t INSERTCONTROL = 0;
  // The rows the last Fetch could not read (0: it read all it was asked):
  // non-zero, the list is at an end of the data, where the thumb goes.
  std::int32_t ITEMSTOFILL = 0;
  std::int32_t LASTCHOICE = 0;
  std::int32_t LASTITEMS = 0;
  std::int32_t LISTCONTROL = 0;
  BrowseQueue* LISTQUEUE = nullptr;  // borrowed
  std::uint8_t LOADED = 0;
  std::uint8_t LOADPENDING = 0;
  std::uint8_t RETAINROW = 0;
  std::int32_t PRINTCONTROL = 0;
  std::uint16_t PRINTPROCEDURE = 0;
  std::unique_ptr<PopupManager> POPUP;
  QueryManager* QUERY = nullptr;  // borrowed
  std::int32_t QUERYCONTROL = 0;
  std::uint8_t QUERYSHARED = 0;
  std::uint8_t QUICKSCAN = 0;
  std::uint8_t RECORDSTATUS = 0;
  std::int32_t SELECTCONTROL = 0;
  std::unique_ptr<SortOrderQueue> SORT;
  std::uint8_t STARTATCURRENT = 0;
  std::uint8_t TABACTION = 0;
  ToolbarManager* TOOLBAR = nullptr;  // borrowed
  std::int32_t TOOLCONTROL = 0;
  std::unique_ptr<ToolbarTarget> TOOLBARITEM;
  WindowManager* WINDOW = nullptr;  // borrowed

 protected:
  // The current order; nullptr when there is none.
  SortOrder* Order();
  runtime::ui::Window* Win() const;
  runtime::ui::Control* List() const;
  // The rows the list control shows at its height (at least 1).
  std::int32_t VisibleItems() const;
  std::int32_t Rows() const { return static_cast<std::int32_t>(LISTQUEUE->Records()); }
  // CURRENTCHOICE held to the rows there are (0 for an empty list).
  std::int32_t Choice();
  void PostToWindow(runtime::ui::EventCode code, std::int32_t control = 0);

 private:
  // The thumb was dragged to the list's thumb position: the list shows the
  // row at that rank at once (each drag event moves it).
  void TakeThumbDrag();
  void UpdateThumb();
  void PlaceThumbByPercent();

  // --- Ranks (BrowseRanking.cpp) --------------------------------------------------
  // The rank table of the current order, started over (and its first slice
  // posted) when what its rows were read under changed; nullptr without an
  // order.
  BrowseRanks* Ranks();
  // Posts the next slice while the current order's table is building.
  void KeepRanking();
  // Posts a slice; any slice posted before it is stale.
  void PostRankSlice();
  void TakeRankSlice(const runtime::ui::Event& event);
  // Reads up to rows more rows of the view into table; the record buffer is
  // left as it was.
  void ReadRanks(BrowseRanks& table, std::int64_t rows);
  // The current order's table, counted to the end now if it was building;
  // nullptr when it could not be counted.
  BrowseRanks* CountedRanks();
  // The highlighted row's thumb position by rank; nothing while the rows
  // are being counted.
  std::optional<std::int32_t> RankedThumb();
  // The rank of row 1 of the page, from a marked row on the page or by
  // reading on from its last row to the next one; -1 when neither finds it.
  std::int64_t FindTopRank(const BrowseRanks& table);
  // Shows the row at rank p percent of the view's rows.
  void DragToRank(std::int32_t p);
  // Positions the view for what locator's text locates (ResetFrom).
  void Locate(IncrementalLocator& locator);
  // Forgets every order's table: the data may have changed.
  void DataChanged();
  // Positions the view at a row's position, in the order now in use.
  void ResetToRow(const std::string& position);
  // CURRENTCHOICE = the first row at position (1 when position is empty).
  void FindTarget(const std::string& position);
  // An accepted control other than the list: the buttons, else the locator.
  void TakeAcceptedControl(std::int32_t control);
  void ResetLocator();
  std::string FreeElementText();
  // Sets the query's filter text on the current order; a text the view
  // refuses is reported and the order keeps the filter it had.
  void ApplyQuery(const std::string& filter);

  // The edit object of list column, nullptr when it has none.
  EditInPlace* EditObject(std::int32_t column);

  // One in-place edit reads and changes the list as the browse does.
  friend class BrowseRowEdit;

  bool killed_ = false;
  std::vector<BrowseRanks> ranks_;  // by order number
  std::uint64_t dataGeneration_ = 0;
  std::int32_t rankToken_ = 0;  // of the last slice posted
  // The rank of the page's row 1 while it is the row at topPosition_; -1
  // when not known. Fetch moves it with the rows it reads.
  std::int64_t topRank_ = -1;
  std::string topPosition_;
  bool highlightedGone_ = false;    // UpdateViewRecord found the row's record deleted
  std::int32_t clickedColumn_ = 0;  // the column of the last double click
  std::vector<std::unique_ptr<EditInPlace>> ownedEdits_;
  BrowseButtonMenu buttonMenu_;
  BrowseToolbarLink toolbarLink_{*this};
};

}  // namespace marlinden
