// Editing in place: without an update procedure, an insert or change is
// edited in the list itself. One entry control at a time sits over a cell of
// the edited row; Tab and Shift+Tab move between the editable columns, and
// Enter, Esc, the arrow keys, a click elsewhere, closing or sizing the window
// end the row with the action the browse's option bytes choose (save,
// discard, or ask "Save Record"). The edit runs its own event loop on the
// window until the row ends.
#include <algorithm>
#include <utility>

#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/BrowseManager.h"

namespace marlinden {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;
using runtime::ui::LoopAction;

namespace {

// Option bytes: the low three bits choose the action, the higher bits what
// follows.
constexpr std::uint8_t kActionMask = 7;
constexpr std::uint8_t kActionSave = 1;
constexpr std::uint8_t kActionDiscard = 2;
constexpr std::uint8_t kActionStay = 0xFF;
constexpr std::uint8_t kThenNextRecord = 8;
constexpr std::uint8_t kKeepColumn = 16;

constexpr std::int32_t kVcrDown = 2008;
constexpr std::int32_t kVcrUp = 2009;

}  // namespace

// --- Set-up ----------------------------------------------------------------------------

void BrowseManager::AddEditControl(EditInPlace* control, std::int32_t column) {
  if (column < 1) return;
  auto at = std::lower_bound(EDITLIST.begin(), EDITLIST.end(), column,
                             [](const EditColumn& entry, std::int32_t c) { return entry.FIELD < c; });
  if (at != EDITLIST.end() && at->FIELD == column) {
    at->CONTROL = control;
    at->FREEUP = 0;
    return;
  }
  EDITLIST.insert(at, EditColumn{column, 0, control});
}

void BrowseManager::AddEditControl(std::unique_ptr<EditInPlace> control, std::int32_t column) {
  if (column < 1 || control == nullptr) return;
  AddEditControl(control.get(), column);
  for (EditColumn& entry : EDITLIST) {
    if (entry.FIELD == column) entry.FREEUP = 1;
  }
  ownedEdits_.push_back(std::move(control));
}

Severity BrowseManager::PrimeRecord(bool keepBuffer) {
  FileManager& files = *PRIMARY->ME;
  if (ASKPROCEDURE != 0 || !files.HASAUTOINC) return ViewManager::PrimeRecord(keepBuffer);
  // The number is reserved quietly: when the record added in advance
  // collides with one left over, the record is numbered at insert instead
  // (InsertRow), so the user is never asked to try again.
  files.HASAUTOINC = 0;
  const Severity primed = ViewManager::PrimeRecord(keepBuffer);
  files.HASAUTOINC = 1;
  if (primed == SeverityOk) (void)files.TryPrimeAutoInc();
  return primed;
}

// --- The edit ---------------------------------------------------------------------------

std::uint8_t BrowseManager::EditInList(std::uint8_t request) {
  runtime::ui::Window* window = Win();
  runtime::ui::Control* list = List();
  edit_ = EditSession{};
  edit_.request = request;
  edit_.response = ResponseCancelled;
  if (window == nullptr || list == nullptr) {
    ResetFromAsk(edit_.request, edit_.response);
    return edit_.response;
  }
  if (RecordsInList() != 0) CURRENTCHOICE = list->SelectedRow();
  (void)Choice();
  PRIMARY->SaveLinkValues();
  const std::int32_t columns = static_cast<std::int32_t>(list->Properties().columns.size());
  if (request == RequestInsert) {
    std::int32_t row = 1;
    if (Rows() > 0) {
      row = CURRENTCHOICE == Rows() ? CURRENTCHOICE : CURRENTCHOICE + 1;
      if (Rows() >= LASTITEMS) (void)LISTQUEUE->Delete(LISTQUEUE->Records());
    }
    SetQueueRecord();
    LISTQUEUE->POSITION.clear();  // not stored yet
    LISTQUEUE->Insert(static_cast<std::size_t>(row));
    CURRENTCHOICE = row;
    list->SetSelectedRow(row);
    window->Display(LISTCONTROL);
    CurrentEditColumn = 1;
  } else {
    // The row is edited from the record as stored now (read again before the
    // edit), which another station may have changed since the list was read.
    FIELDS->AssignLeftToRight();
    (void)LISTQUEUE->Put(static_cast<std::size_t>(CURRENTCHOICE));
    window->Display(LISTCONTROL);
    if (runtime::ui::LastKeyCode() == KeyCode::MouseLeftDouble && clickedColumn_ > 0) {
      CurrentEditColumn = clickedColumn_;
    }
  }
  CurrentEditColumn = std::clamp(CurrentEditColumn, 1, std::max(columns, 1));
  StartEditColumns();
  (void)LISTQUEUE->Get(static_cast<std::size_t>(CURRENTCHOICE));
  list->Unalert(kDoubleClickAlertSlot);
  SelectEditColumn(true);
  if (edit_.active != 0) {
    (void)runtime::ui::RunEventLoop(*window, [this](const runtime::ui::Event& event) { return TakeEditEvent(event); });
  } else if (request == RequestInsert) {
    DiscardNewRow();  // nothing in the row can be edited
  }
  EndEditColumns();
  if (runtime::ui::Control* shown = List()) shown->Alert(kDoubleClickAlertSlot, KeyCode::MouseLeftDouble);
  ResetFromAsk(edit_.request, edit_.response);
  if (edit_.remembered != EventCode::None) window->Post(edit_.remembered, edit_.rememberedControl);
  return edit_.response;
}

void BrowseManager::StartEditColumns() {
  runtime::ui::Window* window = Win();
  runtime::ui::Control* list = List();
  const std::size_t columns = list->Properties().columns.size();
  edit_.editable.assign(columns, false);
  edit_.colours.assign(columns, runtime::ui::kNoColour);
  for (std::size_t c = 1; c <= columns; ++c) {
    const auto column = static_cast<std::int32_t>(c);
    const bool registered = std::any_of(EDITLIST.begin(), EDITLIST.end(),
                                        [column](const EditColumn& entry) { return entry.FIELD == column; });
    if (!registered) AddEditControl(std::make_unique<EditInPlace>(), column);
    EditInPlace* object = EditObject(column);
    // The column's list-queue field: the right of the field pair at its place.
    const FieldPair* pair = FIELDS->LIST.Get(c);
    edit_.colours[c - 1] = list->Properties().columns[c - 1].textColour;
    if (object != nullptr && pair != nullptr && pair->RIGHT.Valid()) {
      object->Init(*window, column, LISTCONTROL, pair->RIGHT);
      edit_.editable[c - 1] = true;
    } else {
      list->SetColumnColour(column, kGreyTextColour);
    }
  }
}

void BrowseManager::EndEditColumns() {
  runtime::ui::Control* list = List();
  for (std::size_t c = 1; c <= edit_.editable.size(); ++c) {
    const auto column = static_cast<std::int32_t>(c);
    if (edit_.editable[c - 1]) {
      if (EditInPlace* object = EditObject(column)) object->Kill();
    } else if (list != nullptr) {
      list->SetColumnColour(column, edit_.colours[c - 1]);
    }
  }
  edit_.active = 0;
}

EditInPlace* BrowseManager::EditObject(std::int32_t column) {
  for (EditColumn& entry : EDITLIST) {
    if (entry.FIELD == column) return entry.CONTROL;
  }
  return nullptr;
}

std::int32_t BrowseManager::FindEditColumn(std::int32_t from, bool forward) {
  const auto columns = static_cast<std::int32_t>(edit_.editable.size());
  if (columns == 0) return 0;
  from = std::clamp(from, 1, columns);
  auto editable = [this](std::int32_t c) { return edit_.editable[static_cast<std::size_t>(c) - 1]; };
  const std::int32_t step = forward ? 1 : -1;
  for (std::int32_t c = from; c >= 1 && c <= columns; c += step) {
    if (editable(c)) return c;
  }
  for (std::int32_t c = from - step; c >= 1 && c <= columns; c -= step) {
    if (editable(c)) return c;
  }
  return 0;
}

void BrowseManager::SelectEditColumn(bool forward) {
  runtime::ui::SetLastKeyCode(KeyCode::None);
  const std::int32_t found = FindEditColumn(CurrentEditColumn, forward);
  if (found == 0) return;
  CurrentEditColumn = found;
  if (found == edit_.active) return;
  if (EditInPlace* object = EditObject(found)) object->Place(CURRENTCHOICE, found);
  edit_.active = found;
}

void BrowseManager::CommitEditColumn() {
  if (edit_.active == 0) return;
  if (EditInPlace* object = EditObject(edit_.active)) object->Commit();
  (void)LISTQUEUE->Put(static_cast<std::size_t>(CURRENTCHOICE));
  if (runtime::ui::Window* window = Win()) window->Display(LISTCONTROL);
  edit_.active = 0;
}

// --- Events during the edit ---------------------------------------------------------------

LoopAction BrowseManager::TakeEditEvent(const runtime::ui::Event& event) {
  if (event.IsWindowEvent()) {
    switch (event.code) {
      case EventCode::CloseWindow:
      case EventCode::CloseDown:
      case EventCode::Sized:
        edit_.remembered = event.code;
        edit_.rememberedControl = 0;
        return EndRow(FOCUSLOSSACTION) ? LoopAction::Cycle : LoopAction::Break;
      case EventCode::Maximised:
      case EventCode::Iconised:
      case EventCode::Restored:
        return LoopAction::Cycle;
      default:
        return LoopAction::CarryOn;
    }
  }
  for (const EditColumn& entry : EDITLIST) {
    if (entry.CONTROL != nullptr && entry.CONTROL->FEQ != 0 && entry.CONTROL->FEQ == event.control) {
      return TakeEditAction(entry.CONTROL->TakeEvent(event));
    }
  }
  if (event.control == LISTCONTROL) return TakeEditListEvent(event);
  const runtime::ui::Window* window = Win();
  const runtime::ui::Control* control = window != nullptr ? window->Find(event.control) : nullptr;
  if (event.code == EventCode::Selected && control != nullptr && control->Kind() == runtime::ui::ControlKind::Button) {
    return LoopAction::Cycle;
  }
  edit_.remembered = event.code;
  edit_.rememberedControl = event.control;
  return EndRow(FOCUSLOSSACTION) ? LoopAction::Cycle : LoopAction::Break;
}

LoopAction BrowseManager::TakeEditAction(std::uint8_t action) {
  std::int32_t* vcr = WINDOW->VCRREQUEST;
  switch (action) {
    case EditNextColumn: {
      const std::int32_t from = edit_.active;
      CommitEditColumn();
      ++CurrentEditColumn;
      const std::int32_t found = FindEditColumn(CurrentEditColumn, true);
      if (found != 0 && found > from) {
        CurrentEditColumn = found;
        SelectEditColumn(true);
        return LoopAction::Cycle;
      }
      // Past the last editable column the row ends.
      CurrentEditColumn = from;
      if (EndRow(TABACTION)) return LoopAction::Cycle;
      if (TABACTION & kThenNextRecord) *vcr = kVcrDown;
      return LoopAction::Break;
    }
    case EditPreviousColumn:
      if (CurrentEditColumn <= 1) return LoopAction::Cycle;
      CommitEditColumn();
      --CurrentEditColumn;
      SelectEditColumn(false);
      return LoopAction::Cycle;
    case EditComplete:
      if (EndRow(ENTERACTION)) return LoopAction::Cycle;
      if (ENTERACTION & kThenNextRecord) *vcr = kVcrDown;
      return LoopAction::Break;
    case EditCancel:
      if (EditInPlace* object = EditObject(edit_.active)) object->Remove();
      edit_.active = 0;
      CurrentEditColumn = 1;
      if (edit_.request == RequestInsert) DiscardNewRow();
      return LoopAction::Break;
    case EditDown:
    case EditUp: {
      const std::int32_t column = CurrentEditColumn;
      if (EndRow(ARROWACTION)) return LoopAction::Cycle;
      if (ARROWACTION & kThenNextRecord) *vcr = action == EditDown ? kVcrDown : kVcrUp;
      if (ARROWACTION & kKeepColumn) CurrentEditColumn = column;
      return LoopAction::Break;
    }
    default:
      return LoopAction::Cycle;
  }
}

LoopAction BrowseManager::TakeEditListEvent(const runtime::ui::Event& event) {
  runtime::ui::Control* list = List();
  if (event.code != EventCode::NewSelection || list == nullptr) return LoopAction::Cycle;
  const std::int32_t edited = CURRENTCHOICE;
  const std::int32_t chosen = std::clamp(list->SelectedRow(), 1, std::max(Rows(), 1));
  if (chosen == edited) {
    if (runtime::ui::LastKeyCode() == KeyCode::MouseLeft) {
      CommitEditColumn();
      const auto columns = static_cast<std::int32_t>(edit_.editable.size());
      CurrentEditColumn = std::clamp(event.data.column.value_or(CurrentEditColumn), 1, std::max(columns, 1));
      SelectEditColumn(true);
    }
    return LoopAction::Cycle;
  }
  if (EndRow(FOCUSLOSSACTION)) {
    list->SetSelectedRow(edited);
    return LoopAction::Cycle;
  }
  // A discarded new row above the chosen one moved it up.
  CURRENTCHOICE = edit_.discarded && edited < chosen ? chosen - 1 : chosen;
  (void)Choice();
  return LoopAction::Break;
}

// --- Ending a row ----------------------------------------------------------------------------

bool BrowseManager::EndRow(std::uint8_t option) {
  edit_.stays = false;
  const std::int32_t column = edit_.active != 0 ? edit_.active : CurrentEditColumn;
  CommitEditColumn();
  std::uint8_t action = option & kActionMask;
  if (FIELDS->Equal()) {
    action = kActionDiscard;  // nothing was changed
  } else if (action != kActionSave && action != kActionDiscard) {
    ErrorManager* errors = WINDOW->ERRORS != nullptr ? WINDOW->ERRORS : PRIMARY->ME->ERRORS;
    using runtime::ui::ButtonCancel;
    using runtime::ui::ButtonNo;
    using runtime::ui::ButtonYes;
    switch (errors->Ask(MsgSaveRecord, ButtonYes | ButtonNo | ButtonCancel, ButtonYes)) {
      case ButtonYes:
        action = kActionSave;
        break;
      case ButtonNo:
        action = kActionDiscard;
        break;
      default:
        action = kActionStay;
        break;
    }
  }
  if (action == kActionStay) {
    edit_.stays = true;
  } else if (action == kActionDiscard) {
    if (edit_.request == RequestInsert) DiscardNewRow();
  } else {
    edit_.response = ResponseCompleted;
    if (!SaveRow()) {
      // A record another station deleted cannot be saved again: the row
      // ends, and the list is read again without it.
      edit_.stays = edit_.request != RequestChange || PRIMARY->ME->SetThread().LASTERROR != MsgRecordDeletedElsewhere;
      edit_.response = ResponseCancelled;
    }
  }
  CurrentEditColumn = 1;
  if (edit_.stays) {
    // Nothing the user declined happens later: a close, size or click that
    // ended the row is forgotten, and editing goes on where it was.
    edit_.remembered = EventCode::None;
    edit_.rememberedControl = 0;
    CurrentEditColumn = column;
    SelectEditColumn(true);
  }
  return edit_.stays;
}

bool BrowseManager::SaveRow() {
  FileManager& files = *PRIMARY->ME;
  std::uint16_t snapshot = files.SaveBuffer();
  UpdateBuffer();
  const Severity saved = edit_.request == RequestInsert ? InsertRow() : PRIMARY->Update(false);
  files.RestoreBuffer(snapshot, saved != SeverityOk);
  if (OPENED) VIEW->Flush();
  return saved == SeverityOk;
}

Severity BrowseManager::InsertRow() {
  FileManager& files = *PRIMARY->ME;
  if (files.HASAUTOINC && files.SetThread().AUTOINCDONE == 0 && files.TryPrimeAutoInc() != SeverityOk) {
    // No number was reserved, and numbering the typed record failed: a key
    // it must not share is taken.
    (void)files.FILE->GetAt({});
    for (const FileManager::KeyEntry& entry : files.KEYS) {
      if (entry.AUTOINC == 0 && entry.DUPS == 0 && files.FILE->Duplicate(entry.KEY)) {
        (void)files.RaiseMessage(MsgDuplicateKey, entry.DESCRIPTION);
        return SeverityNotify;
      }
    }
    (void)files.Raise(MsgInsertError);
    return SeverityNotify;
  }
  return files.Insert();
}

void BrowseManager::DiscardNewRow() {
  if (edit_.discarded) return;
  edit_.discarded = true;
  (void)LISTQUEUE->Delete(static_cast<std::size_t>(Choice()));
  if (CURRENTCHOICE > 1) --CURRENTCHOICE;
  (void)PRIMARY->ME->CancelAutoInc(nullptr);
  if (runtime::ui::Window* window = Win()) window->Display(LISTCONTROL);
}

}  // namespace marlinden
