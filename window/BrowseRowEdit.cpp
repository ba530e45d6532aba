#include "window/BrowseRowEdit.h"

#include <algorithm>

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

// The relation manager's Update: a changed record is not offered for recall.
constexpr bool kNoRecall = false;

}  // namespace

BrowseRowEdit::BrowseRowEdit(BrowseManager& browse, std::uint8_t request, std::int32_t clickedColumn)
    : browse_(browse), request_(request), clickedColumn_(clickedColumn), response_(ResponseCancelled) {}

std::uint8_t BrowseRowEdit::Run() {
  BrowseManager& b = browse_;
  runtime::ui::Window* window = b.Win();
  runtime::ui::Control* list = b.List();
  if (window == nullptr || list == nullptr) {
    b.ResetFromAsk(request_, response_);
    return response_;
  }
  if (b.RecordsInList() != 0) b.CURRENTCHOICE = list->SelectedRow();
  (void)b.Choice();
  b.PRIMARY->SaveLinkValues();
  const std::int32_t columns = static_cast<std::int32_t>(list->Properties().columns.size());
  if (request_ == RequestInsert) {
    std::int32_t row = 1;
    if (b.Rows() > 0) {
      row = b.CURRENTCHOICE == b.Rows() ? b.CURRENTCHOICE : b.CURRENTCHOICE + 1;
      if (b.Rows() >= b.LASTITEMS) (void)b.LISTQUEUE->Delete(b.LISTQUEUE->Records());
    }
    b.SetQueueRecord();
    b.LISTQUEUE->POSITION.clear();  // not stored yet
    b.LISTQUEUE->Insert(static_cast<std::size_t>(row));
    b.CURRENTCHOICE = row;
    list->SetSelectedRow(row);
    window->Display(b.LISTCONTROL);
    CurrentEditColumn = 1;
  } else {
    // The row is edited from the record as stored now (read again before the
    // edit), which another station may have changed since the list was read.
    b.FIELDS->AssignLeftToRight();
    (void)b.LISTQUEUE->Put(static_cast<std::size_t>(b.CURRENTCHOICE));
    window->Display(b.LISTCONTROL);
    if (runtime::ui::LastKeyCode() == KeyCode::MouseLeftDouble && clickedColumn_ > 0) {
      CurrentEditColumn = clickedColumn_;
    }
  }
  CurrentEditColumn = std::clamp(CurrentEditColumn, 1, std::max(columns, 1));
  StartColumns();
  (void)b.LISTQUEUE->Get(static_cast<std::size_t>(b.CURRENTCHOICE));
  list->Unalert(kDoubleClickAlertSlot);
  SelectColumn(ColumnSearch::Forward);
  if (active_ != 0) {
    (void)runtime::ui::RunEventLoop(*window, [this](const runtime::ui::Event& event) { return TakeEvent(event); });
  } else if (request_ == RequestInsert) {
    DiscardNewRow();  // nothing in the row can be edited
  }
  EndColumns();
  if (runtime::ui::Control* shown = b.List()) shown->Alert(kDoubleClickAlertSlot, KeyCode::MouseLeftDouble);
  b.ResetFromAsk(request_, response_);
  if (remembered_ != EventCode::None) window->Post(remembered_, rememberedControl_);
  return response_;
}

void BrowseRowEdit::StartColumns() {
  BrowseManager& b = browse_;
  runtime::ui::Window* window = b.Win();
  runtime::ui::Control* list = b.List();
  const std::size_t columns = list->Properties().columns.size();
  editable_.assign(columns, false);
  colours_.assign(columns, runtime::ui::kNoColour);
  for (std::size_t c = 1; c <= columns; ++c) {
    const auto column = static_cast<std::int32_t>(c);
    const bool registered =
        std::any_of(b.EDITLIST.begin(), b.EDITLIST.end(),
                    [column](const BrowseManager::EditColumn& entry) { return entry.FIELD == column; });
    if (!registered) b.AddEditControl(std::make_unique<EditInPlace>(), column);
    EditInPlace* object = b.EditObject(column);
    // The column's list-queue field: the right of the field pair at its place.
    const FieldPair* pair = b.FIELDS->LIST.Get(c);
    colours_[c - 1] = list->Properties().columns[c - 1].textColour;
    if (object != nullptr && pair != nullptr && pair->RIGHT.Valid()) {
      object->Init(*window, column, b.LISTCONTROL, pair->RIGHT);
      editable_[c - 1] = true;
    } else {
      list->SetColumnColour(column, kGreyTextColour);
    }
  }
}

void BrowseRowEdit::EndColumns() {
  runtime::ui::Control* list = browse_.List();
  for (std::size_t c = 1; c <= editable_.size(); ++c) {
    const auto column = static_cast<std::int32_t>(c);
    if (editable_[c - 1]) {
      if (EditInPlace* object = browse_.EditObject(column)) object->Kill();
    } else if (list != nullptr) {
      list->SetColumnColour(column, colours_[c - 1]);
    }
  }
  active_ = 0;
}

std::int32_t BrowseRowEdit::FindColumn(std::int32_t from, ColumnSearch search) const {
  const auto columns = static_cast<std::int32_t>(editable_.size());
  if (columns == 0) return 0;
  from = std::clamp(from, 1, columns);
  auto editable = [this](std::int32_t c) { return editable_[static_cast<std::size_t>(c) - 1]; };
  const std::int32_t step = search == ColumnSearch::Forward ? 1 : -1;
  for (std::int32_t c = from; c >= 1 && c <= columns; c += step) {
    if (editable(c)) return c;
  }
  for (std::int32_t c = from - step; c >= 1 && c <= columns; c -= step) {
    if (editable(c)) return c;
  }
  return 0;
}

void BrowseRowEdit::SelectColumn(ColumnSearch search) {
  runtime::ui::SetLastKeyCode(KeyCode::None);
  const std::int32_t found = FindColumn(CurrentEditColumn, search);
  if (found == 0) return;
  CurrentEditColumn = found;
  if (found == active_) return;
  if (EditInPlace* object = browse_.EditObject(found)) object->Place(browse_.CURRENTCHOICE, found);
  active_ = found;
}

void BrowseRowEdit::CommitColumn() {
  if (active_ == 0) return;
  if (EditInPlace* object = browse_.EditObject(active_)) object->Commit();
  (void)browse_.LISTQUEUE->Put(static_cast<std::size_t>(browse_.CURRENTCHOICE));
  if (runtime::ui::Window* window = browse_.Win()) window->Display(browse_.LISTCONTROL);
  active_ = 0;
}

void BrowseRowEdit::RememberEvent(EventCode code, std::int32_t control) {
  remembered_ = code;
  rememberedControl_ = control;
}

// --- Events during the edit ---------------------------------------------------------------

LoopAction BrowseRowEdit::TakeEvent(const runtime::ui::Event& event) {
  if (event.IsWindowEvent()) {
    switch (event.code) {
      case EventCode::CloseWindow:
      case EventCode::CloseDown:
      case EventCode::Sized:
        RememberEvent(event.code, 0);
        return EndRow(browse_.FOCUSLOSSACTION) ? LoopAction::Cycle : LoopAction::Break;
      case EventCode::Maximised:
      case EventCode::Iconised:
      case EventCode::Restored:
        return LoopAction::Cycle;
      default:
        return LoopAction::CarryOn;
    }
  }
  for (const BrowseManager::EditColumn& entry : browse_.EDITLIST) {
    if (entry.CONTROL != nullptr && entry.CONTROL->FEQ != 0 && entry.CONTROL->FEQ == event.control) {
      return TakeAction(entry.CONTROL->TakeEvent(event));
    }
  }
  if (event.control == browse_.LISTCONTROL) return TakeListEvent(event);
  const runtime::ui::Window* window = browse_.Win();
  const runtime::ui::Control* control = window != nullptr ? window->Find(event.control) : nullptr;
  if (event.code == EventCode::Selected && control != nullptr && control->Kind() == runtime::ui::ControlKind::Button) {
    return LoopAction::Cycle;
  }
  RememberEvent(event.code, event.control);
  return EndRow(browse_.FOCUSLOSSACTION) ? LoopAction::Cycle : LoopAction::Break;
}

LoopAction BrowseRowEdit::TakeAction(std::uint8_t action) {
  BrowseManager& b = browse_;
  std::int32_t* vcr = b.WINDOW->VCRREQUEST;
  switch (action) {
    case EditNextColumn: {
      const std::int32_t from = active_;
      CommitColumn();
      ++CurrentEditColumn;
      const std::int32_t found = FindColumn(CurrentEditColumn, ColumnSearch::Forward);
      if (found != 0 && found > from) {
        CurrentEditColumn = found;
        SelectColumn(ColumnSearch::Forward);
        return LoopAction::Cycle;
      }
      // Past the last editable column the row ends.
      CurrentEditColumn = from;
      if (EndRow(b.TABACTION)) return LoopAction::Cycle;
      if (b.TABACTION & kThenNextRecord) *vcr = ToolbarDown;
      return LoopAction::Break;
    }
    case EditPreviousColumn:
      if (CurrentEditColumn <= 1) return LoopAction::Cycle;
      CommitColumn();
      --CurrentEditColumn;
      SelectColumn(ColumnSearch::Backward);
      return LoopAction::Cycle;
    case EditComplete:
      if (EndRow(b.ENTERACTION)) return LoopAction::Cycle;
      if (b.ENTERACTION & kThenNextRecord) *vcr = ToolbarDown;
      return LoopAction::Break;
    case EditCancel:
      if (EditInPlace* object = b.EditObject(active_)) object->Remove();
      active_ = 0;
      CurrentEditColumn = 1;
      if (request_ == RequestInsert) DiscardNewRow();
      return LoopAction::Break;
    case EditDown:
    case EditUp: {
      const std::int32_t column = CurrentEditColumn;
      if (EndRow(b.ARROWACTION)) return LoopAction::Cycle;
      if (b.ARROWACTION & kThenNextRecord) *vcr = action == EditDown ? ToolbarDown : ToolbarUp;
      if (b.ARROWACTION & kKeepColumn) CurrentEditColumn = column;
      return LoopAction::Break;
    }
    default:
      return LoopAction::Cycle;
  }
}

LoopAction BrowseRowEdit::TakeListEvent(const runtime::ui::Event& event) {
  BrowseManager& b = browse_;
  runtime::ui::Control* list = b.List();
  if (event.code != EventCode::NewSelection || list == nullptr) return LoopAction::Cycle;
  const std::int32_t edited = b.CURRENTCHOICE;
  const std::int32_t chosen = std::clamp(list->SelectedRow(), 1, std::max(b.Rows(), 1));
  if (chosen == edited) {
    if (runtime::ui::LastKeyCode() == KeyCode::MouseLeft) {
      CommitColumn();
      const auto columns = static_cast<std::int32_t>(editable_.size());
      CurrentEditColumn = std::clamp(event.data.column.value_or(CurrentEditColumn), 1, std::max(columns, 1));
      SelectColumn(ColumnSearch::Forward);
    }
    return LoopAction::Cycle;
  }
  if (EndRow(b.FOCUSLOSSACTION)) {
    list->SetSelectedRow(edited);
    return LoopAction::Cycle;
  }
  // A discarded new row above the chosen one moved it up.
  b.CURRENTCHOICE = discarded_ && edited < chosen ? chosen - 1 : chosen;
  (void)b.Choice();
  return LoopAction::Break;
}

// --- Ending a row ----------------------------------------------------------------------------

bool BrowseRowEdit::EndRow(std::uint8_t option) {
  BrowseManager& b = browse_;
  stays_ = false;
  const std::int32_t column = active_ != 0 ? active_ : CurrentEditColumn;
  CommitColumn();
  std::uint8_t action = option & kActionMask;
  if (b.FIELDS->Equal()) {
    action = kActionDiscard;  // nothing was changed
  } else if (action != kActionSave && action != kActionDiscard) {
    ErrorManager* errors = b.WINDOW->ERRORS != nullptr ? b.WINDOW->ERRORS : b.PRIMARY->ME->ERRORS;
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
    stays_ = true;
  } else if (action == kActionDiscard) {
    if (request_ == RequestInsert) DiscardNewRow();
  } else {
    response_ = ResponseCompleted;
    if (!SaveRow()) {
      // A record another station deleted cannot be saved again: the row
      // ends, and the list is read again without it.
      stays_ = request_ != RequestChange || b.PRIMARY->ME->SetThread().LASTERROR != MsgRecordDeletedElsewhere;
      response_ = ResponseCancelled;
    }
  }
  CurrentEditColumn = 1;
  if (stays_) {
    // Nothing the user declined happens later: a close, size or click that
    // ended the row is forgotten, and editing goes on where it was.
    RememberEvent(EventCode::None, 0);
    CurrentEditColumn = column;
    SelectColumn(ColumnSearch::Forward);
  }
  return stays_;
}

bool BrowseRowEdit::SaveRow() {
  BrowseManager& b = browse_;
  FileManager& files = *b.PRIMARY->ME;
  std::uint16_t snapshot = files.SaveBuffer();
  b.UpdateBuffer();
  b.BeforeRowSave();
  const Severity saved = request_ == RequestInsert ? InsertRow() : b.PRIMARY->Update(kNoRecall);
  b.AfterRowSave(saved == SeverityOk);
  files.RestoreBuffer(snapshot, saved != SeverityOk);
  if (b.OPENED) b.VIEW->Flush();
  return saved == SeverityOk;
}

Severity BrowseRowEdit::InsertRow() {
  FileManager& files = *browse_.PRIMARY->ME;
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

void BrowseRowEdit::DiscardNewRow() {
  BrowseManager& b = browse_;
  if (discarded_) return;
  discarded_ = true;
  (void)b.LISTQUEUE->Delete(static_cast<std::size_t>(b.Choice()));
  if (b.CURRENTCHOICE > 1) --b.CURRENTCHOICE;
  (void)b.PRIMARY->ME->CancelAutoInc(nullptr);
  if (runtime::ui::Window* window = b.Win()) window->Display(b.LISTCONTROL);
}

}  // namespace marlinden
