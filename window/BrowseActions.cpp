// The update side of the browse list: its buttons, the keys it alerts on
// its list, the update procedure (or in-place edit) run with a request and
// the refresh of the list afterwards, and record-to-record navigation driven
// by the toolbar.
#include <algorithm>
#include <string_view>

#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/CaseFolding.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/BrowseManager.h"
#include "window/BrowseRowEdit.h"

namespace marlinden {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;

namespace {

// PrimeRecord: the record starts from nothing, not from the buffer.
constexpr bool kFreshRecord = false;
// The relation manager's Delete asks the user to confirm.
constexpr bool kAskFirst = true;
// The query window opens with the values of the last query.
constexpr bool kKeepQueryValues = true;

}  // namespace

void BrowseManager::SetAlerts() {
  runtime::ui::Control* list = List();
  if (list == nullptr || SORT == nullptr) return;
  if (list->Source() != LISTQUEUE) list->SetListSource(LISTQUEUE);
  list->Alert(kDoubleClickAlertSlot, KeyCode::MouseLeftDouble);
  list->Alert(kRightMouseAlertSlot, KeyCode::MouseRightDown);
  // The bar shows once a load fills the list (UpdateThumb).
  HASTHUMB = list->Properties().scrollBar ? 1 : 0;
  list->SetScrollBar(runtime::ui::ScrollBar::Hidden);
  for (std::unique_ptr<ViewManager::SortOrder>& entry : *SORT) {
    auto& order = static_cast<SortOrder&>(*entry);
    if (order.LOCATOR != nullptr) order.LOCATOR->SetAlerts(LISTCONTROL);
  }
  if (INSERTCONTROL != 0) list->Alert(kInsertAlertSlot, KeyCode::Insert);
  if (CHANGECONTROL != 0) {
    list->Alert(kCtrlEnterAlertSlot, KeyCode::CtrlEnter);
    list->Alert(kChangeKeyAlertSlot, KeyCode::F2);
  }
  if (DELETECONTROL != 0) list->Alert(kDeleteAlertSlot, KeyCode::Delete);
  if (POPUP == nullptr) return;
  BrowseButtons buttons;
  buttons.insert = INSERTCONTROL;
  buttons.change = CHANGECONTROL;
  buttons.remove = DELETECONTROL;
  buttons.print = PRINTCONTROL;
  buttons.query = QUERYCONTROL;
  buttons.select = SELECTING ? SELECTCONTROL : 0;
  buttons.toolbox = TOOLCONTROL;
  buttonMenu_.Fill(*POPUP, buttons);
}

void BrowseManager::AddToolbarTarget(ToolbarManager& toolbar) {
  TOOLBAR = &toolbar;
  TOOLBARITEM = std::make_unique<ToolbarTarget>();
  TOOLBARITEM->BROWSE = &toolbarLink_;
  toolbar.AddTarget(*TOOLBARITEM, LISTCONTROL);
  TOOLBARITEM->INSERTBUTTON = INSERTCONTROL;
  TOOLBARITEM->DELETEBUTTON = DELETECONTROL;
  TOOLBARITEM->CHANGEBUTTON = CHANGECONTROL;
  TOOLBARITEM->SELECTBUTTON = SELECTCONTROL;
  toolbar.SetTarget(LISTCONTROL);
}

void BrowseManager::AddQuery(QueryManager& query) {
  QUERY = &query;
  const runtime::ui::Control* list = List();
  if (list == nullptr) return;
  const std::vector<runtime::ui::ListColumn>& columns = list->Properties().columns;
  for (std::size_t column = 1; column <= columns.size(); ++column) {
    // The column's queue field is named by the file field it shows.
    const runtime::FieldRef shown = LISTQUEUE->Field(LISTQUEUE->ColumnField(column));
    if (!shown.Valid()) continue;
    for (const FieldPair& pair : FIELDS->LIST) {
      if (pair.RIGHT.Bytes().data() != shown.Bytes().data()) continue;
      const std::string& picture = columns[column - 1].picture;
      query.AddField(pair.LEFT.Label(), columns[column - 1].header, picture);
      break;
    }
  }
}

void BrowseManager::TakeAcceptedControl(std::int32_t control) {
  if (control == DELETECONTROL) {
    WINDOW->Update();
    (void)Ask(RequestDelete);
  } else if (control == CHANGECONTROL) {
    WINDOW->Update();
    (void)Ask(RequestChange);
  } else if (control == INSERTCONTROL) {
    WINDOW->Update();
    (void)Ask(RequestInsert);
  } else if (control == SELECTCONTROL) {
    WINDOW->RESPONSE = ResponseCompleted;
    PostToWindow(EventCode::CloseWindow);
  } else if (control == PRINTCONTROL) {
    UpdateViewRecord();
    (void)WINDOW->RunProcedure(PRINTPROCEDURE, RequestProcess);
  } else if (control == QUERYCONTROL) {
    TakeQuery();
  } else if (control == TOOLCONTROL) {
    if (POPUP != nullptr) POPUP->Toolbox("Browse Actions");
  } else {
    SortOrder* order = Order();
    IncrementalLocator* locator = order != nullptr ? order->LOCATOR : nullptr;
    if (locator == nullptr || locator->CONTROL != control || locator->TakeAccepted() == 0) return;
    Locate(*locator);
    if (runtime::ui::Window* window = Win()) window->Select(LISTCONTROL);
    ResetQueue(ResetFromPosition);
    locator->AfterLocate();
    UpdateWindow();
  }
}

std::uint8_t BrowseManager::Ask(std::uint8_t request) {
  std::uint8_t response = ResponseCancelled;
  do {
    *WINDOW->VCRREQUEST = 0;
    if (request == RequestInsert) (void)PrimeRecord(kFreshRecord);
    if (runtime::ui::IsRightMouse(runtime::ui::LastKeyCode())) runtime::ui::SetLastKeyCode(KeyCode::None);
    if (ASKPROCEDURE != 0) {
      response = WINDOW->RunProcedure(ASKPROCEDURE, request);
      ResetFromAsk(request, response);
    } else {
      response = AskRecord(request);
    }
  } while (*WINDOW->VCRREQUEST != 0);
  return response;
}

std::uint8_t BrowseManager::AskRecord(std::uint8_t request) {
  std::uint8_t response = ResponseCancelled;
  if (request != RequestInsert && highlightedGone_ && RecordsInList() != 0) {
    // Another station deleted the highlighted record: nothing is changed or
    // deleted in its place, and the list is read again without it.
    (void)PRIMARY->ME->Raise(MsgRecordDeletedElsewhere);
    ResetFromAsk(request, response);
    return response;
  }
  if (request == RequestInsert || (request == RequestChange && RecordsInList() != 0))
    return BrowseRowEdit(*this, request, clickedColumn_).Run();
  if (request == RequestDelete && RecordsInList() != 0) {
    PRIMARY->SaveLinkValues();
    response = PRIMARY->Delete(kAskFirst) == SeverityOk ? ResponseCompleted : ResponseCancelled;
  }
  ResetFromAsk(request, response);
  return response;
}

void BrowseManager::ResetFromAsk(std::uint8_t& request, std::uint8_t& response) {
  if (response == ResponseCompleted) {
    DataChanged();
    if (OPENED) VIEW->Flush();
    if (request == RequestDelete) {
      (void)LISTQUEUE->Delete(static_cast<std::size_t>(Choice()));
      ResetQueue(ResetAroundRow);
    } else {
      ResetFromFile();
    }
  } else {
    ResetQueue(ResetAroundRow);
  }
  const std::int32_t vcr = *WINDOW->VCRREQUEST;
  if (vcr == ToolbarInsert || (vcr == ToolbarDown && request == RequestInsert)) {
    request = RequestInsert;
    // The next new record starts from nothing.
    (void)PRIMARY->ME->FILE->GetAt({});
    PRIMARY->ME->FILE->ClearBuffer();
  } else {
    TakeVcrScroll(vcr);
  }
  if (*WINDOW->VCRREQUEST == 0) {
    ResetThumbLimits();
    UpdateWindow();
    PostNewSelection();
    if (runtime::ui::Window* window = Win()) window->Select(LISTCONTROL);
  }
}

void BrowseManager::ResetFromFile() {
  Open();
  // The file's current record (just added or changed), in the view's order.
  const std::string position = VIEW->Position();
  if (position.empty() || VIEW->ResetToPosition(position) != runtime::NoError) ResetFrom(FreeElementPosition());
  ResetQueue(ResetFromPosition);
}

void BrowseManager::TakeVcrScroll(std::int32_t request) {
  EventCode event = EventCode::None;
  switch (request) {
    case ToolbarBottom:
      event = EventCode::ScrollBottom;
      break;
    case ToolbarTop:
      event = EventCode::ScrollTop;
      break;
    case ToolbarPageDown:
      event = EventCode::PageDown;
      break;
    case ToolbarPageUp:
      event = EventCode::PageUp;
      break;
    case ToolbarDown:
      event = EventCode::ScrollDown;
      break;
    case ToolbarUp:
      event = EventCode::ScrollUp;
      break;
    default:
      return;
  }
  TakeScroll(event);
  WINDOW->Reset(ReloadIfNeeded);
  WINDOW->Update();
}

void BrowseManager::Locate(IncrementalLocator& locator) {
  ResetFrom(FreeElementPosition());
  // A caseless key orders letters outside ASCII by their bytes, so "ZÜRICH"
  // and "zürich" lie apart, with other rows between them. The locator seeks
  // from the lowest spelling of its text (IncrementalLocator::Set); the
  // browse reads on to the first row that starts with the text in any
  // letter case while rows up to the highest spelling may still do so, and
  // stays where the seek put it when none does within kCaselessLocateRows.
  if (locator.NOCASE == 0 || !locator.FREEELEMENT.Valid()) return;
  const std::string highest = runtime::HighestCaseSpelling(locator.SHADOW);
  if (highest == runtime::LowestCaseSpelling(locator.SHADOW)) return;
  const std::string wanted = runtime::UpperText(locator.SHADOW);
  const auto beyond = [&highest](std::string_view value) {
    return runtime::CompareText(value.substr(0, highest.size()), highest, runtime::CaseMode::Insensitive) > 0;
  };
  std::string found;
  for (std::size_t read = 0; read < kCaselessLocateRows && ViewManager::Next() == SeverityOk; ++read) {
    const std::string_view value = locator.FREEELEMENT.ClippedText();
    if (runtime::UpperText(value).starts_with(wanted)) {
      found = VIEW->Position();
      break;
    }
    if (beyond(value)) break;
  }
  if (!found.empty() && VIEW->ResetToPosition(found) == runtime::NoError) return;
  locator.Set();
  ResetFrom(FreeElementPosition());
}

std::uint8_t BrowseManager::TakeKey() {
  const KeyCode key = runtime::ui::LastKeyCode();
  if (runtime::ui::IsRightMouse(key)) {
    // The row under the mouse, held to the rows there are.
    const runtime::ui::Control* list = List();
    if (list != nullptr && list->SelectedRow() > 0 && RecordsInList() != 0) CURRENTCHOICE = list->SelectedRow();
    PostNewSelection();
    return 0;
  }
  SortOrder* order = Order();
  IncrementalLocator* locator = order != nullptr ? order->LOCATOR : nullptr;
  auto post = [this](std::int32_t button) {
    if (button == 0) return false;
    PostToWindow(EventCode::Accepted, button);
    return true;
  };
  auto locate = [&] {
    if (locator->TakeKey() == 0) return false;
    Locate(*locator);
    ResetQueue(ResetFromPosition);
    return true;
  };
  if (RecordsInList() != 0) {
    KeyCode action = key;
    if (key == KeyCode::MouseLeftDouble) {
      // The column clicked, for a change edited in place.
      const runtime::ui::Event* event = runtime::ui::CurrentEvent();
      clickedColumn_ = event != nullptr && event->data.column ? *event->data.column : 0;
      if (SELECTING) {
        if (!post(SELECTCONTROL)) return 0;
        action = KeyCode::None;
      } else {
        action = KeyCode::CtrlEnter;
      }
    }
    switch (action) {
      case KeyCode::None:
        break;
      case KeyCode::Insert:
        if (!post(INSERTCONTROL)) return 0;
        break;
      case KeyCode::Delete:
        if (!post(DELETECONTROL)) return 0;
        break;
      case KeyCode::CtrlEnter:
      case KeyCode::F2:
        if (!post(CHANGECONTROL)) return 0;
        UpdateBuffer();
        break;
      default:
        if (locator == nullptr) return 0;
        (void)locate();
        break;
    }
  } else if (!(locator != nullptr && locate()) && !(key == KeyCode::Insert && post(INSERTCONTROL))) {
    return 0;
  }
  UpdateWindow();
  PostNewSelection();
  return 1;
}

void BrowseManager::TakeQuery() {
  if (QUERY == nullptr || QUERY->Ask(kKeepQueryValues) == SeverityOk) return;
  const std::string filter = QUERY->GetFilter();
  if (QUERYSHARED) {
    const std::size_t current = ORDER->Pointer();
    for (std::size_t n = 1; n <= ORDER->Records(); ++n) {
      (void)ViewManager::SetSort(n);
      ApplyQuery(filter);
    }
    (void)ViewManager::SetSort(current);
  } else {
    ApplyQuery(filter);
  }
  ResetSort(ReloadAlways);
}

void BrowseManager::ApplyQuery(const std::string& filter) {
  SortOrder* order = Order();
  if (order == nullptr) return;
  std::string previous;
  if (order->FILTER != nullptr) {
    for (const FilterEntry& entry : *order->FILTER) {
      if (entry.ID == kQueryFilterId) previous = entry.FILTER;
    }
  }
  SetFilter(filter, kQueryFilterId);
  Open();
  if (VIEW->SetFilter(FilterText()) == runtime::NoError) return;
  // A refused query must not leave the view unfiltered: the order's own
  // filters stay as they were.
  (void)PRIMARY->ME->Raise(MsgViewOpenFailed);
  SetFilter(previous, kQueryFilterId);
  ApplyFilter();
}

}  // namespace marlinden
