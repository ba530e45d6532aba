#include "window/BrowseManager.h"

#include <algorithm>
#include <utility>

#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/BrowseThumb.h"

namespace marlinden {

using runtime::ui::EventCode;

namespace {

constexpr std::size_t kPositionWidth = 1024;

// SetQuickScan: on or off, for the primary file only.
constexpr bool kQuickScanOn = true;
constexpr bool kQuickScanOff = false;
constexpr std::uint8_t kPrimaryFileOnly = 0;

}  // namespace

// --- Set-up ----------------------------------------------------------------------------

void BrowseManager::Init(std::int32_t listControl, BrowseQueue& listQueue, runtime::View& view, WindowManager& window,
                         RelationManager& primary) {
  WINDOW = &window;
  LISTCONTROL = listControl;
  LISTQUEUE = &listQueue;
  SORT = std::make_unique<SortOrderQueue>();
  FIELDS = std::make_unique<FieldPairs>();
  FIELDS->Init();
  POPUP = std::make_unique<PopupManager>();
  POPUP->Init();
  RETAINROW = 1;
  killed_ = false;
  buttonMenu_.Forget();
  ViewManager::Init(view, primary, SORT.get());
  window.AddItem(*this);
}

Severity BrowseManager::AddSortOrder(StepManager* step, std::size_t key) {
  auto entry = std::make_unique<SortOrder>();
  entry->THUMB = step;
  entry->RESETS = std::make_unique<FieldPairs>();
  entry->RESETS->Init();
  ViewManager::AddSortOrder(std::move(entry), key);
  return SeverityOk;
}

void BrowseManager::AddLocator(IncrementalLocator& locator) {
  if (SortOrder* order = Order()) order->LOCATOR = &locator;
}

void BrowseManager::AddResetField(runtime::FieldRef field) {
  SortOrder* order = Order();
  if (order == nullptr || !field.Valid()) return;
  auto copy = std::make_unique<OwnedValue>();
  copy->DESC = field.Desc();
  copy->DESC.offset = 0;
  copy->BYTES.assign(std::max<std::size_t>(copy->DESC.size, 1), 0);
  copy->Ref().Set(field.Get());
  if (order->RESETS->AddPair(field, copy->Ref())) order->RESETCOPIES.push_back(std::move(copy));
}

void BrowseManager::AddField(runtime::FieldRef queueField, runtime::FieldRef fileField) {
  (void)FIELDS->AddPair(fileField, queueField);
}

void BrowseManager::Kill() {
  if (killed_ || SORT == nullptr) return;
  killed_ = true;
  for (std::unique_ptr<ViewManager::SortOrder>& entry : *SORT) {
    auto& order = static_cast<SortOrder&>(*entry);
    if (order.THUMB != nullptr) order.THUMB->Kill();
    if (order.RESETS != nullptr) order.RESETS->Kill();
    order.RESETS.reset();
    order.RESETCOPIES.clear();
  }
  ViewManager::Kill();
  ORDER = nullptr;
  SORT.reset();
  ranks_.clear();
  if (FIELDS != nullptr) FIELDS->Kill();
  FIELDS.reset();
  // Closes a toolbox still open and waits for its thread first.
  if (POPUP != nullptr) POPUP->Kill();
  POPUP.reset();
  TOOLBARITEM.reset();
  EDITLIST.clear();
  ownedEdits_.clear();
  if (QUERY != nullptr) QUERY->Kill();
  if (runtime::ui::Control* list = List()) list->SetListSource(nullptr);
}

// --- Helpers -------------------------------------------------------------------------------

BrowseManager::SortOrder* BrowseManager::Order() { return static_cast<SortOrder*>(Current()); }

runtime::ui::Window* BrowseManager::Win() const { return WINDOW != nullptr ? WINDOW->GetWindow() : nullptr; }

runtime::ui::Control* BrowseManager::List() const {
  runtime::ui::Window* window = Win();
  return window != nullptr ? window->Find(LISTCONTROL) : nullptr;
}

std::int32_t BrowseManager::VisibleItems() const {
  const runtime::ui::Control* list = List();
  return list != nullptr ? std::max(list->VisibleItems(), 1) : 1;
}

bool BrowseManager::ListVisible() const { return ListControlShown(Win(), LISTCONTROL); }

std::int32_t BrowseManager::Choice() {
  CURRENTCHOICE = Rows() == 0 ? 0 : std::clamp(CURRENTCHOICE, 1, Rows());
  return CURRENTCHOICE;
}

void BrowseManager::PostToWindow(EventCode code, std::int32_t control) {
  if (runtime::ui::Window* window = Win()) window->Post(code, control);
}

std::string BrowseManager::FreeElementText() {
  SortOrder* order = Order();
  if (order == nullptr || !order->FREEELEMENT.Valid()) return {};
  const runtime::FieldRef& element = order->FREEELEMENT;
  return element.IsText() ? std::string(element.ClippedText()) : element.Get().AsText();
}

void BrowseManager::ResetLocator() {
  SortOrder* order = Order();
  if (order != nullptr && order->LOCATOR != nullptr) order->LOCATOR->Reset();
}

std::size_t BrowseManager::RecordsInList() {
  const std::size_t rows = LISTQUEUE->Records();
  SortOrder* order = Order();
  if (order != nullptr && order->LOCATOR != nullptr) order->LOCATOR->SetEnabled(rows != 0 ? 1 : 0);
  if (rows == 0) CURRENTCHOICE = 0;
  return rows;
}

void BrowseManager::PostNewSelection() {
  if (runtime::ui::Control* list = List()) list->SetSelectedRow(Choice());
  PostToWindow(EventCode::NewSelection, LISTCONTROL);
}

// --- Reading ---------------------------------------------------------------------------------

Severity BrowseManager::Next() {
  const Severity result = ViewManager::Next();
  SortOrder* order = Order();
  if (result == SeverityNotify && order != nullptr) order->RESETS->AssignRightToLeft();
  if (result == SeverityFatal && WINDOW != nullptr) PostToWindow(EventCode::CloseWindow);
  return result;
}

Severity BrowseManager::Previous() {
  const Severity result = ViewManager::Previous();
  SortOrder* order = Order();
  if (result == SeverityNotify && order != nullptr) order->RESETS->AssignRightToLeft();
  if (result == SeverityFatal && WINDOW != nullptr) PostToWindow(EventCode::CloseWindow);
  return result;
}

void BrowseManager::SetQueueRecord() {
  FIELDS->AssignLeftToRight();
  LISTQUEUE->POSITION = std::string(runtime::CutToWidth(VIEW->Position(), kPositionWidth));
}

void BrowseManager::UpdateBuffer() {
  if (Choice() == 0 || !LISTQUEUE->Get(static_cast<std::size_t>(CURRENTCHOICE))) {
    FIELDS->ClearLeft();
    return;
  }
  FIELDS->AssignRightToLeft();
}

void BrowseManager::UpdateViewRecord() {
  highlightedGone_ = false;
  if (RecordsInList() == 0) return;
  if (const runtime::ui::Control* list = List()) CURRENTCHOICE = list->SelectedRow();
  if (!LISTQUEUE->Get(static_cast<std::size_t>(Choice()))) return;
  Open();
  (void)VIEW->Watch();
  // A record another station deleted meanwhile leaves the row's values, and
  // no current record for a change or delete to act on.
  if (VIEW->Reget(LISTQUEUE->POSITION) != runtime::NoError) {
    highlightedGone_ = runtime::LastErrorCode() == runtime::RecordNotFound;
    FIELDS->AssignRightToLeft();
  }
}

void BrowseManager::ResetToRow(const std::string& position) {
  Open();
  std::string at = position;
  // Re-reading the record gives its position in the order now in use (it
  // may have been taken in another order, or changed by another station).
  if (VIEW->Reget(at) == runtime::NoError) at = VIEW->Position();
  if (VIEW->ResetToPosition(at) != runtime::NoError) Reset();
}

// Reading more rows. The anchor is the row at the end being read towards
// (row 1 backward, the last row forward): the view is put back at its
// position so the reads continue from it. The first read may return the
// anchor itself (a reposition lands on the record, not past it) and is then
// skipped. Each further record read is copied into the queue buffer by
// SetQueueRecord and inserted at the top (backward) or added at the end
// (forward); a full page first drops the row at the opposite end, so the
// queue never holds more than LASTITEMS rows and a scroll by one row reads
// one record. The end of the data (SeverityNotify) or a fatal read ends the
// loop; what is left of rows is the answer. With QUICKSCAN, a read of
// several rows asks the file for quick scanning while it runs. A known rank
// of the page's top row moves with the rows added or dropped at the top.
std::int32_t BrowseManager::Fetch(std::uint8_t direction, std::int32_t rows) {
  const bool backward = direction == FetchBackward;
  const bool quick = QUICKSCAN == 1 && rows > 1;
  if (quick) PRIMARY->SetQuickScan(kQuickScanOn, kPrimaryFileOnly);
  std::string anchor;
  if (Rows() > 0) {
    anchor = LISTQUEUE->PositionOf(backward ? 1 : LISTQUEUE->Records());
    Open();
    if (VIEW->ResetToPosition(anchor) != runtime::NoError) ResetToRow(anchor);
  }
  const bool topKnown = topRank_ >= 0 && Rows() > 0 && LISTQUEUE->PositionOf(1) == topPosition_;
  bool first = true;
  while (rows > 0) {
    const Severity read = backward ? Previous() : Next();
    if (read == SeverityNotify) break;
    if (read == SeverityFatal) break;
    // The anchor row itself comes first when it is still there.
    if (std::exchange(first, false) && !anchor.empty() && VIEW->Position() == anchor) continue;
    if (Rows() >= LASTITEMS) {
      (void)LISTQUEUE->Delete(backward ? LISTQUEUE->Records() : 1);
      if (!backward) ++topRank_;
    }
    SetQueueRecord();
    if (backward) {
      LISTQUEUE->Insert(1);
      --topRank_;
    } else {
      LISTQUEUE->Add();
    }
    --rows;
  }
  if (topKnown) {
    topPosition_ = LISTQUEUE->PositionOf(1);
  } else {
    topRank_ = -1;
  }
  if (quick) PRIMARY->SetQuickScan(kQuickScanOff, kPrimaryFileOnly);
  ITEMSTOFILL = rows;
  return rows;
}

void BrowseManager::FindTarget(const std::string& position) {
  if (position.empty()) {
    CURRENTCHOICE = 1;
    return;
  }
  CURRENTCHOICE = 0;
  for (std::size_t row = 1; row <= LISTQUEUE->Records(); ++row) {
    if (LISTQUEUE->PositionOf(row) == position) {
      CURRENTCHOICE = static_cast<std::int32_t>(row);
      return;
    }
  }
}

// Rebuilding the page. What it keeps is the highlighted record (the target:
// its position, or blank for "the first row read") and, with RETAINROW, its
// screen line (keep = CURRENTCHOICE; above = how many rows it must still
// move down to get back to that line, negative when it is too low).
// ResetAroundRow remembers the highlighted row's position and starts
// reading at the page's first row (an empty list: at the start of the
// order); ResetFromPosition starts at the record the view was positioned on,
// leaving room above it for the rows that were over the highlight. In order:
//  1. forward from the start, a page less the room above: the highlighted
//     record and what follows it; whether this reached the end of the data
//     is kept (hitEnd);
//  2. backward, to fill a short page and the room above, unless the list
//     started empty (there is nothing before the start of the order);
//  3. with RETAINROW, forward again when the row ended too low or the page
//     is still short although step 1 did not reach the end;
// the target is looked for after each step, since each moves it. Then the
// page is cut to LASTITEMS rows (at the top while the row is too low, else
// at the bottom) and the highlighted row goes into the record buffer. A
// hidden list only notes that a load is pending, since it cannot tell its
// height and nobody sees it.
void BrowseManager::ResetQueue(std::uint8_t mode) {
  if (ACTIVEINVISIBLE == 0 && !ListVisible()) {
    LOADPENDING = 1;
    return;
  }
  LOADED = 1;
  LOADPENDING = 0;
  if (LASTITEMS < 1) LASTITEMS = VisibleItems();
  runtime::ui::BusyCursor busy;
  std::string target;
  std::int32_t above = 0;
  std::int32_t keep = 0;
  bool startedEmpty = false;
  if (CURRENTCHOICE <= 0) CURRENTCHOICE = 1;
  if (mode == ResetFromPosition) {
    if (RETAINROW) above = CURRENTCHOICE - 1;
  } else if (Rows() > 0) {
    target = LISTQUEUE->PositionOf(static_cast<std::size_t>(std::min(CURRENTCHOICE, Rows())));
    ResetToRow(LISTQUEUE->PositionOf(1));
  } else {
    startedEmpty = true;
    Reset();
  }
  if (RETAINROW) keep = CURRENTCHOICE;
  LISTQUEUE->Free();
  const bool hitEnd = Fetch(FetchForward, std::max(LASTITEMS - above, 0)) > 0;
  if (target.empty() && Rows() > 0) target = LISTQUEUE->PositionOf(1);
  auto find = [&] {
    FindTarget(target);
    if (RETAINROW) above = keep - CURRENTCHOICE;
  };
  find();
  if (Rows() == 0) Reset();
  // The rows the page still lacks; kept as the last read's shortfall when
  // no further read follows, so the thumb shows the list at an end.
  const std::int32_t missing = ALLOWUNFILLED ? 0 : LASTITEMS - Rows();
  ITEMSTOFILL = missing;
  if (!startedEmpty && (missing > 0 || above > 0)) {
    (void)Fetch(FetchBackward, std::max(missing, above));
    if (target.empty() && Rows() > 0) target = LISTQUEUE->PositionOf(LISTQUEUE->Records());
    find();
  }
  if (RETAINROW && (above < 0 || (Rows() < LASTITEMS && !hitEnd))) {
    (void)Fetch(FetchForward, std::max(-above, LASTITEMS - Rows()));
    find();
  }
  while (Rows() > LASTITEMS) {
    if (above < 0) {
      (void)LISTQUEUE->Delete(1);
      ++above;
      --CURRENTCHOICE;
    } else {
      (void)LISTQUEUE->Delete(LISTQUEUE->Records());
    }
  }
  if (CURRENTCHOICE <= 0) CURRENTCHOICE = 1;
  if (RecordsInList() != 0) {
    UpdateBuffer();
  } else {
    PRIMARY->ME->FILE->ClearBuffer();
  }
}

// --- Orders and refreshing --------------------------------------------------------------------

bool BrowseManager::NeedRefresh() {
  const std::int32_t shown = VisibleItems();
  bool refresh = false;
  if (shown != LASTITEMS) {
    if (FILELOADED) {
      LASTITEMS = std::numeric_limits<std::int32_t>::max();  // the whole view is one page
    } else {
      LASTITEMS = shown;
      refresh = true;
    }
  }
  if (!refresh) {
    SortOrder* order = Order();
    refresh = RefreshRange() || (order != nullptr && !order->RESETS->Equal());
  }
  if (refresh) LOADPENDING = 1;
  return refresh;
}

std::uint8_t BrowseManager::SetSort(std::size_t n, std::uint8_t force) {
  // A forced reload follows changes the browse did not make (an import).
  if (force != 0) DataChanged();
  const bool changed = ViewManager::SetSort(n);
  SortOrder* order = Order();
  if (changed && order != nullptr && order->LOCATOR != nullptr) order->LOCATOR->Reset();
  std::uint8_t result = 0;
  const bool refresh = NeedRefresh();
  if (refresh || changed || force != 0 || LOADED == 0 || LOADPENDING == 1) {
    if (order != nullptr) order->RESETS->AssignLeftToRight();
    Open();
    ApplyOrder();
    ApplyFilter();
    if ((SELECTING || STARTATCURRENT) && LOADED == 0) {
      ResetFrom(FreeElementPosition());
      ResetQueue(ResetFromPosition);
    } else if (Rows() > 0) {
      ResetToRow(LISTQUEUE->PositionOf(static_cast<std::size_t>(Choice())));
      ResetQueue(ResetFromPosition);
    } else {
      ResetQueue(ResetAroundRow);
    }
    if (LOADPENDING == 0) {
      PostNewSelection();
      ResetThumbLimits();
      result = 1;
    }
  }
  UpdateBuffer();
  return result;
}

void BrowseManager::ResetSort(std::uint8_t force) {
  // The base rule keeps the order in use; procedures choose by their tabs.
  (void)SetSort(ORDER != nullptr && ORDER->Pointer() != 0 ? ORDER->Pointer() : 1, force);
}

void BrowseManager::ResetToFreeElement() {
  SortOrder* order = Order();
  const std::size_t components =
      order != nullptr && order->MAINKEY != 0 ? PRIMARY->ME->ComponentCount(order->MAINKEY) : 1;
  ResetFrom(components);
  ResetQueue(ResetFromPosition);
  UpdateWindow();
}

void BrowseManager::ResetThumbLimits() {
  if (FILELOADED == 0) KeepRanking();
  SortOrder* order = Order();
  if (order == nullptr || order->THUMB == nullptr || order->THUMB->NeedsLimits() == 0) return;
  if (!order->FREEELEMENT.Valid()) return;
  if (ALLOWUNFILLED == 0 && VisibleItems() > Rows()) return;  // everything is in view
  runtime::ui::BusyCursor busy;
  Reset();
  if (Previous() != SeverityOk) return;
  const std::string high = FreeElementText();
  Reset();
  if (Next() != SeverityOk) return;
  order->THUMB->SetLimits(FreeElementText(), high);
}

// --- Scrolling ---------------------------------------------------------------------------------

void BrowseManager::TakeScroll(EventCode event) {
  if (event == EventCode::None) {
    const runtime::ui::Event* current = runtime::ui::CurrentEvent();
    event = current != nullptr ? current->code : CURRENTEVENT;
  }
  if (RecordsInList() == 0) return;
  switch (event) {
    case EventCode::ScrollUp:
    case EventCode::ScrollDown:
      ScrollOne(event);
      break;
    case EventCode::PageUp:
    case EventCode::PageDown:
      ScrollPage(event);
      break;
    case EventCode::ScrollTop:
    case EventCode::ScrollBottom:
      ScrollEnd(event);
      break;
    default:
      return;
  }
  PostNewSelection();
  ResetLocator();
  UpdateThumb();
}

void BrowseManager::ScrollOne(EventCode event) {
  CURRENTEVENT = event;
  const bool up = event == EventCode::ScrollUp;
  if (up && Choice() > 1) {
    --CURRENTCHOICE;
  } else if (!up && Choice() < Rows()) {
    ++CURRENTCHOICE;
  } else if (FILELOADED == 0) {
    (void)Fetch(up ? FetchBackward : FetchForward, 1);
  }
}

void BrowseManager::ScrollPage(EventCode event) {
  CURRENTEVENT = event;
  const bool up = event == EventCode::PageUp;
  std::int32_t rows = VisibleItems();
  if (FILELOADED == 0) rows = Fetch(up ? FetchBackward : FetchForward, rows);
  CURRENTCHOICE = up ? std::max(Choice() - rows, 1) : std::min(Choice() + rows, Rows());
}

void BrowseManager::ScrollEnd(EventCode event) {
  CURRENTEVENT = event;
  const bool top = event == EventCode::ScrollTop;
  if (FILELOADED == 0) {
    LISTQUEUE->Free();
    Reset();
    (void)Fetch(top ? FetchForward : FetchBackward, VisibleItems());
    // The list is at an end of the data, even when the page filled: the
    // thumb goes to that end.
    ITEMSTOFILL = std::max(ITEMSTOFILL, 1);
    // The page's top rank: 0, or the rows above the last page once counted.
    const BrowseRanks* table = Ranks();
    const bool counted = table != nullptr && table->Ready();
    topRank_ = top ? 0 : (counted ? table->Rows() - Rows() : -1);
    topPosition_ = LISTQUEUE->PositionOf(1);
  }
  CURRENTCHOICE = top ? std::min(1, Rows()) : Rows();
}

// --- The thumb ---------------------------------------------------------------------------------

void BrowseManager::UpdateThumb() {
  runtime::ui::Control* list = List();
  if (HASTHUMB == 0 || list == nullptr) return;
  if (Rows() == 0 || Rows() < VisibleItems()) {
    list->SetScrollBar(runtime::ui::ScrollBar::Hidden);
    return;
  }
  list->SetScrollBar(runtime::ui::ScrollBar::Shown);
  if (FILELOADED == 0 && LOADED && !LOADPENDING) {
    if (const std::optional<std::int32_t> thumb = RankedThumb()) {
      list->SetThumb(*thumb);
      return;
    }
  }
  // Until the view's rows are counted: the step table's estimate, else the
  // ends.
  SortOrder* order = Order();
  if (FILELOADED == 0 && order != nullptr && order->THUMB != nullptr && order->FREEELEMENT.Valid()) {
    if (LOADED && !LOADPENDING) {
      UpdateBuffer();
      list->SetThumb(std::clamp(order->THUMB->GetPercentile(FreeElementText()), 1, 100));
    }
    return;
  }
  PlaceThumbByPercent();
}

void BrowseManager::PlaceThumbByPercent() {
  runtime::ui::Control* list = List();
  if (list == nullptr) return;
  ThumbFigures figures;
  figures.fileLoaded = FILELOADED != 0;
  figures.rows = Rows();
  figures.choice = Choice();
  figures.unfilled = ITEMSTOFILL != 0;
  figures.lastScroll = CURRENTEVENT;
  list->SetThumb(ThumbPercent(figures));
}

void BrowseManager::TakeThumbDrag() {
  runtime::ui::Control* list = List();
  if (list == nullptr || RecordsInList() == 0) return;
  const std::int32_t p = std::clamp(list->Thumb(), 0, 100);
  switch (ThumbDragMove(p, FILELOADED != 0)) {
    case ThumbMove::Top:
      PostToWindow(EventCode::ScrollTop, LISTCONTROL);
      break;
    case ThumbMove::Bottom:
      PostToWindow(EventCode::ScrollBottom, LISTCONTROL);
      break;
    case ThumbMove::Row:
      CURRENTCHOICE = RowAtThumb(p, Rows());
      PostNewSelection();
      ResetLocator();
      PlaceThumbByPercent();
      break;
    case ThumbMove::Rank:
      DragToRank(p);
      break;
  }
}

// --- Events and display ------------------------------------------------------------------------

void BrowseManager::TakeEvent() {
  const runtime::ui::Event* event = runtime::ui::CurrentEvent();
  if (event == nullptr || SORT == nullptr) return;
  if (event->control == LISTCONTROL && LISTCONTROL != 0) {
    switch (event->code) {
      case EventCode::NewSelection:
        TakeNewSelection();
        break;
      case EventCode::ScrollUp:
      case EventCode::ScrollDown:
      case EventCode::PageUp:
      case EventCode::PageDown:
      case EventCode::ScrollTop:
      case EventCode::ScrollBottom:
        TakeScroll(event->code);
        break;
      case EventCode::Locate:
        TakeQuery();
        break;
      case EventCode::AlertKey:
        (void)TakeKey();
        break;
      case EventCode::ScrollDrag:
        TakeThumbDrag();
        break;
      default:
        break;
    }
  } else if (event->code == EventCode::Accepted && event->control != 0) {
    TakeAcceptedControl(event->control);
  } else if (event->code == kRankSliceEvent) {
    TakeRankSlice(*event);
  }
  if (event->code == EventCode::CloseWindow && WINDOW->RESPONSE == ResponseCompleted && SELECTING) UpdateBuffer();
}

void BrowseManager::TakeNewSelection() {
  if (RecordsInList() != 0) {
    if (const runtime::ui::Control* list = List()) CURRENTCHOICE = list->SelectedRow();
    LASTCHOICE = Choice();
  }
  UpdateBuffer();
  if (runtime::ui::IsRightMouse(runtime::ui::LastKeyCode())) {
    // Taken once: a later selection must not open the menu again.
    runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
    if (POPUP != nullptr) (void)POPUP->Ask();
  } else {
    WINDOW->Reset(ReloadIfNeeded);
  }
}

void BrowseManager::UpdateWindow() {
  runtime::ui::Window* window = Win();
  runtime::ui::Control* list = List();
  if (window == nullptr || list == nullptr || SORT == nullptr) return;
  if (list->Source() != LISTQUEUE) list->SetListSource(LISTQUEUE);
  SortOrder* order = Order();
  if (order != nullptr && order->LOCATOR != nullptr) order->LOCATOR->UpdateWindow();
  const bool rows = RecordsInList() != 0;
  for (std::int32_t button : {CHANGECONTROL, DELETECONTROL, PRINTCONTROL}) {
    if (button == 0) continue;
    if (rows) {
      window->Enable(button);
    } else {
      window->Disable(button);
    }
  }
  if (SELECTCONTROL != 0) {
    if (SELECTING && rows && WINDOW->REQUEST == RequestSelect) {
      window->Enable(SELECTCONTROL);
    } else if (SELECTING) {
      window->Disable(SELECTCONTROL);
    } else if (HIDESELECT) {
      window->Disable(SELECTCONTROL);
      window->Hide(SELECTCONTROL);
    }
  }
  UpdateThumb();
  if (TOOLBAR != nullptr) TOOLBAR->DisplayButtons();
  list->SetSelectedRow(Choice());
  window->Display(LISTCONTROL);
}

}  // namespace marlinden
