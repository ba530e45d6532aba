#include "window/WindowManager.h"

#include <utility>

#include "errors/MessageIds.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/RuntimeThread.h"

namespace marlinden {

using runtime::ui::EventCode;

namespace {

constexpr std::size_t kPositionWidth = 512;

runtime::ui::LoopAction LoopActionFor(Severity severity) {
  switch (severity) {
    case SeverityFatal:
      return runtime::ui::LoopAction::Break;
    case SeverityNotify:
      return runtime::ui::LoopAction::Cycle;
    default:
      return runtime::ui::LoopAction::CarryOn;
  }
}

}  // namespace

WindowManager::~WindowManager() = default;

// --- Run, Init, Ask, Kill ------------------------------------------------------------

std::uint8_t WindowManager::Run() {
  if (Init() == SeverityOk) Ask();
  (void)Kill();
  return RESPONSE != ResponseNone ? RESPONSE : ResponseCancelled;
}

Severity WindowManager::Init() {
  ORIGINALREQUEST = REQUEST;
  BROWSES = std::make_unique<runtime::Queue<BrowseEntry>>();
  BUTTONS = std::make_unique<runtime::Queue<ButtonEntry>>();
  FILEDROPS = std::make_unique<runtime::Queue<FileDropEntry>>();
  scope_ = std::make_unique<runtime::BindingScope>();
  // A right click that led to this window must not open a popup menu in it.
  const runtime::ui::KeyCode last = runtime::ui::LastKeyCode();
  if (last == runtime::ui::KeyCode::MouseRightDown || last == runtime::ui::KeyCode::MouseRightUp) {
    runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  }
  INSERTACTION = 2;
  DELETEACTION = 2;
  CHANGEACTION = 1;
  CANCELACTION = 3;
  AUTOTOOLBAR = 1;
  AUTOREFRESH = 1;
  return SeverityOk;
}

void WindowManager::Ask() {
  if (DEAD || !window_ || !window_->IsOpen()) return;
  LASTINSERTEDPOSITION.clear();
  runtime::ui::RunEventLoop(*window_, [this](const runtime::ui::Event&) { return LoopActionFor(TakeEvent()); });
}

Severity WindowManager::Kill() {
  if (DEAD || !BROWSES) return SeverityNotify;
  for (BrowseEntry& entry : *BROWSES) entry.BROWSE->Kill();
  BROWSES.reset();
  if (FILEDROPS) {
    for (FileDropEntry& entry : *FILEDROPS) entry.FILEDROP->Kill();
    FILEDROPS.reset();
  }
  BUTTONS.reset();
  HISTORY.reset();
  if (FILES) {
    for (FileEntry& entry : *FILES) entry.FILE->RestoreBuffer(entry.SAVED, false);
    FILES.reset();
  }
  if (PRIMARY != nullptr) PRIMARY->ME->RestoreBuffer(SAVED, false);
  if (TOOLBAR != nullptr) TOOLBAR->Kill();
  if (RESIZE != nullptr) RESIZE->Kill();
  DEAD = 1;
  scope_.reset();
  return SeverityOk;
}

// --- Window and browses ---------------------------------------------------------------

runtime::ui::Window& WindowManager::OpenWindow(const runtime::ui::WindowDescription& description) {
  window_ = runtime::ui::Window::Open(description);
  return *window_;
}

void WindowManager::Open() {
  if (TRANSLATOR != nullptr && window_) TRANSLATOR->TranslateWindow(*window_);
  Reset(0);
  INITED |= 1;
}

void WindowManager::Reset(std::uint8_t force) {
  if (window_ && window_->InAcceptAll()) return;
  force = static_cast<std::uint8_t>(force + FORCEDRESET);
  FORCEDRESET = 0;
  if (BROWSES) {
    for (std::size_t i = 1; i <= BROWSES->Records(); ++i) BROWSES->Get(i)->BROWSE->ResetSort(force);
    for (std::size_t i = 1; i <= BROWSES->Records(); ++i) BROWSES->Get(i)->BROWSE->UpdateWindow();
  }
  if (FILEDROPS) {
    for (std::size_t i = 1; i <= FILEDROPS->Records(); ++i) FILEDROPS->Get(i)->FILEDROP->Reset();
  }
  if (window_) window_->Display();
}

void WindowManager::Update() {
  if (!BROWSES) return;
  for (std::size_t i = 1; i <= BROWSES->Records(); ++i) BROWSES->Get(i)->BROWSE->UpdateViewRecord();
}

void WindowManager::SetAlerts() {
  if (BROWSES) {
    for (std::size_t i = 1; i <= BROWSES->Records(); ++i) BROWSES->Get(i)->BROWSE->SetAlerts();
  }
  if (!window_) return;
  if (escapeButton_ != 0) {
    for (const std::int32_t number : window_->ControlNumbers()) {
      if (runtime::ui::Control* control = window_->Find(number)) {
        control->Alert(kEscapeAlertSlot, runtime::ui::KeyCode::Esc);
      }
    }
  }
  if (!HISTORY || HISTORYKEY == 0) return;
  const auto key = static_cast<runtime::ui::KeyCode>(HISTORYKEY);
  for (const HistoryEntry& entry : *HISTORY) {
    if (runtime::ui::Control* control = window_->Find(entry.CONTROL)) control->Alert(runtime::ui::kAlertSlots, key);
  }
}

void WindowManager::SetResponse(std::uint8_t response) {
  RESPONSE = response;
  PostToWindow(EventCode::CloseWindow);
  if (response == ResponseCancelled && TOOLBAR != nullptr) *VCRREQUEST = 0;
}

void WindowManager::RestoreField(std::int32_t control) {
  if (!HISTORY) return;
  HistoryEntry* entry = HISTORY->Find([control](const HistoryEntry& e) { return e.CONTROL == control; });
  if (entry == nullptr) return;
  entry->FIELD.Set(entry->SAVEDVALUE);
  // Controls show their own text, so the restored value is put there too.
  if (window_) {
    const runtime::Value value = entry->FIELD.Get();
    window_->SetText(control, std::string(entry->FIELD.IsText() ? entry->FIELD.ClippedText() : value.AsText()));
    window_->Display(control);
  }
}

std::uint8_t WindowManager::RunProcedure(std::uint16_t, std::uint8_t) { return ResponseCancelled; }

void WindowManager::PrimeFields() {}

Severity WindowManager::TakeSelected() { return SeverityOk; }

Severity WindowManager::TakeFieldEvent() {
  if (escapeButton_ != 0 && ThisEvent().code == EventCode::AlertKey &&
      runtime::ui::LastKeyCode() == runtime::ui::KeyCode::Esc) {
    PostToWindow(EventCode::Accepted, escapeButton_);
  }
  return SeverityOk;
}

// --- Registration -------------------------------------------------------------------------

void WindowManager::AddItem(ResizerItem& resizer) { RESIZE = &resizer; }

void WindowManager::AddItem(ToolbarItem& toolbar) {
  TOOLBAR = &toolbar;
  toolbar.Init();
}

void WindowManager::AddItem(std::int32_t control, std::uint8_t action) {
  if (BUTTONS) BUTTONS->Add(ButtonEntry{control, action});
}

void WindowManager::AddItem(BrowseItem& browse) {
  if (!BROWSES) return;
  if (REQUEST == RequestSelect) browse.SELECTING = 1;
  BROWSES->Add(BrowseEntry{&browse});
}

void WindowManager::AddFileDrop(FileDropItem& fileDrop) {
  if (FILEDROPS) FILEDROPS->Add(FileDropEntry{&fileDrop});
}

void WindowManager::AddFile(FileManager& file) {
  if (!FILES) FILES = std::make_unique<runtime::Queue<FileEntry>>();
  FILES->Add(FileEntry{&file, 0});
}

void WindowManager::AddHistory(runtime::FieldRef field, std::int32_t control, std::string picture) {
  if (!HISTORY) HISTORY = std::make_unique<runtime::Queue<HistoryEntry>>();
  HISTORY->Add(HistoryEntry{field, field.Get(), control, std::move(picture)});
}

void WindowManager::SaveHistory() {
  if (!HISTORY) return;
  const std::uint8_t* previous = nullptr;
  for (HistoryEntry& entry : *HISTORY) {
    const auto* storage = reinterpret_cast<const std::uint8_t*>(entry.FIELD.Bytes().data());
    // Consecutive entries on one field (two controls showing it) copy once.
    if (storage == previous) continue;
    entry.SAVEDVALUE = entry.FIELD.Get();
    previous = storage;
  }
}

// --- Events ---------------------------------------------------------------------------------

const runtime::ui::Event& WindowManager::ThisEvent() const {
  static const runtime::ui::Event kNoEvent;
  const runtime::ui::Event* event = runtime::ui::CurrentEvent();
  return event != nullptr ? *event : kNoEvent;
}

Severity WindowManager::TakeEvent() {
  const runtime::ui::Event& event = ThisEvent();
  Severity result = SeverityOk;
  if (event.IsWindowEvent()) {
    result = TakeWindowEvent();
    if (result != SeverityOk) return result;
  }
  switch (event.code) {
    case EventCode::Accepted:
      result = TakeAccepted();
      break;
    case EventCode::Rejected:
      result = TakeRejected();
      break;
    case EventCode::Selected:
      result = TakeSelected();
      break;
    case EventCode::NewSelection:
      result = TakeNewSelection();
      break;
    case EventCode::AlertKey:
      if (HISTORYKEY != 0 && static_cast<std::int32_t>(runtime::ui::LastKeyCode()) == HISTORYKEY && window_) {
        RestoreField(window_->Focus());
      }
      break;
    default:
      break;
  }
  if (result != SeverityOk) return result;
  if (!event.IsWindowEvent()) result = TakeFieldEvent();
  // Indexed loops: a browse may reset the window, which walks the list too.
  if (BROWSES) {
    for (std::size_t i = 1; BROWSES && i <= BROWSES->Records(); ++i) BROWSES->Get(i)->BROWSE->TakeEvent();
  }
  if (FILEDROPS) {
    for (std::size_t i = 1; FILEDROPS && i <= FILEDROPS->Records(); ++i) FILEDROPS->Get(i)->FILEDROP->TakeEvent();
  }
  if (AUTOREFRESH == 1 && BROWSES) {
    for (std::size_t i = 1; BROWSES && i <= BROWSES->Records(); ++i) {
      if (BROWSES->Get(i)->BROWSE->NeedRefresh()) Reset(0);
    }
  }
  return result;
}

Severity WindowManager::TakeWindowEvent() {
  switch (ThisEvent().code) {
    case EventCode::OpenWindow:
      if ((INITED & 1) == 0) Open();
      SelectFirstField();
      return SeverityOk;
    case EventCode::LoseFocus:
      if (RESETONGAINFOCUS == 1) FORCEDRESET = 1;
      return SeverityOk;
    case EventCode::GainFocus:
      if ((INITED & 1) != 0) {
        Reset(0);
      } else {
        Open();
      }
      return SeverityOk;
    case EventCode::Sized:
      // The runtime has no handler registration: the resizer hears of every
      // resize here.
      if (RESIZE != nullptr) RESIZE->Resize();
      if ((INITED & 2) != 0) {
        Reset(0);
      } else {
        INITED |= 2;
      }
      return SeverityOk;
    case EventCode::Completed:
      return TakeCompleted();
    case EventCode::CloseWindow:
    case EventCode::CloseDown:
      return TakeCloseEvent();
    default:
      return SeverityOk;
  }
}

Severity WindowManager::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  if (TOOLBAR != nullptr) TOOLBAR->TakeEvent(*VCRREQUEST, *this);
  if (control == kToolbarHistoryButton && window_) RestoreField(window_->Focus());
  if (BUTTONS) {
    if (ButtonEntry* button = BUTTONS->Find([control](const ButtonEntry& b) { return b.CONTROL == control; })) {
      closedByButton_ = true;
      SetResponse(button->ACTION);
      return SeverityNotify;
    }
  }
  if (OKCONTROL != 0 && OKCONTROL == control) PostCompleted();
  return SeverityOk;
}

void WindowManager::PostCompleted() {
  if (!window_) return;
  if (ORIGINALREQUEST == RequestInsert || ORIGINALREQUEST == RequestChange) {
    window_->AcceptAll();
  } else {
    window_->Post(EventCode::Completed);
  }
}

Severity WindowManager::TakeRejected() {
  runtime::ui::Beep(runtime::ui::BeepKind::Warning);
  const std::int32_t control = ThisEvent().control;
  if (window_) {
    window_->Display(control);
    window_->Select(control);
  }
  return SeverityOk;
}

Severity WindowManager::TakeNewSelection() {
  const runtime::ui::Control* control = window_ ? window_->Find(ThisEvent().control) : nullptr;
  if (control != nullptr && control->Kind() == runtime::ui::ControlKind::Sheet) {
    Reset(0);
    if (AUTOTOOLBAR == 1 && TOOLBAR != nullptr) TOOLBAR->SetTarget(0);
  }
  return SeverityOk;
}

// --- Record forms -----------------------------------------------------------------------------

Severity WindowManager::PrepareUpdate() {
  if (PRIMARY == nullptr) return SeverityOk;
  FileManager& file = *PRIMARY->ME;
  (void)file.UseFile();  // reports its own failure
  PRIMARY->SaveLinkValues();
  if (FILES) {
    for (FileEntry& entry : *FILES) entry.SAVED = entry.FILE->SaveBuffer();
  }
  Severity result = SeverityOk;
  if (REQUEST == RequestInsert && INSERTACTION != 0) {
    RESPONSE = ResponseCompleted;
    PrimeFields();
    if (RESPONSE == ResponseCancelled) {
      result = SeverityFatal;  // the procedure refused the new record
    } else {
      RESPONSE = ResponseCancelled;  // until the insert completes
    }
  } else if (REQUEST == RequestDelete && (DELETEACTION == 2 || DELETEACTION == 4)) {
    RESPONSE = PRIMARY->Delete(DELETEACTION == 2) == SeverityOk ? ResponseCompleted : ResponseCancelled;
    result = SeverityFatal;  // deleted without showing the form
  }
  SAVED = file.SaveBuffer();
  return result;
}

Severity WindowManager::TakeCompleted() {
  SaveHistory();
  if (PRIMARY == nullptr) return SeverityOk;
  switch (REQUEST) {
    case RequestInsert:
      return CompleteInsert();
    case RequestChange:
      while (CompleteChange() == Repeat::Yes) {
      }
      return SeverityOk;
    case RequestDelete:
      // Confirmed once, here: a declined confirmation is no failed deletion
      // (no retry is offered), and a retry is not confirmed again.
      RESPONSE = ResponseCancelled;
      if (PRIMARY->ME->Raise(MsgConfirmDelete) != SeverityOk) {
        if (window_) window_->Display();
        SelectFirstField();
        return SeverityNotify;
      }
      while (CompleteDelete() == Repeat::Yes) {
      }
      return SeverityOk;
    default:
      return SeverityOk;
  }
}

Severity WindowManager::CompleteInsert() {
  // With INSERTACTION 0 nothing was primed, so nothing is inserted here.
  if (INSERTACTION == 0) return SeverityOk;
  if (PRIMARY->ME->Insert() != SeverityOk) {
    SelectFirstField();
    return SeverityNotify;
  }
  switch (INSERTACTION) {
    case 2:
      SetResponse(ResponseCompleted);
      return SeverityOk;
    case 4:
      if (RaiseQuestion(MsgRecordAdded) != SeverityOk) {
        SetResponse(ResponseCompleted);
        return SeverityOk;
      }
      return CompleteBatchInsert();
    case 3:
      return CompleteBatchInsert();
    default:
      return SeverityOk;  // the procedure completes the insert itself
  }
}

Severity WindowManager::CompleteBatchInsert() {
  FileManager& file = *PRIMARY->ME;
  LASTINSERTEDPOSITION = file.Position();
  if (LASTINSERTEDPOSITION.size() > kPositionWidth) LASTINSERTEDPOSITION.resize(kPositionWidth);
  if (FILES) {
    for (FileEntry& entry : *FILES) {
      entry.FILE->RestoreBuffer(entry.SAVED, true);
      entry.SAVED = entry.FILE->SaveBuffer();
    }
  }
  // The next record starts from the form's primed values.
  file.RestoreBuffer(SAVED, true);
  if (file.PrimeRecord(true) != SeverityOk) {
    PostToWindow(EventCode::CloseWindow);
  } else {
    PrimeFields();
    RESPONSE = ResponseCancelled;
  }
  SAVED = file.SaveBuffer();
  if (window_) window_->Display();
  SelectFirstField();
  return SeverityNotify;
}

WindowManager::Repeat WindowManager::CompleteChange() {
  RESPONSE = ResponseCancelled;
  bool changed = false;
  Severity result = SeverityOk;
  {
    runtime::ui::BusyCursor busy;
    changed = !PRIMARY->ME->EqualBuffer(SAVED);
    if (changed) result = PRIMARY->Update(HISTORYKEY != 0);
  }
  if (result == SeverityOk) {
    // An unchanged record closes as completed only from a toolbar form that
    // is not navigating.
    if (changed || (TOOLBAR != nullptr && *VCRREQUEST == 0)) RESPONSE = ResponseCompleted;
    PostToWindow(EventCode::CloseWindow);
    return Repeat::No;
  }
  if (result == SeverityUser) {
    switch (AskYesNoCancel(MsgRetrySave)) {
      case runtime::ui::ButtonYes:
        return Repeat::Yes;
      case runtime::ui::ButtonNo:
        PostToWindow(EventCode::CloseWindow);
        return Repeat::No;
      default:
        break;
    }
  }
  if (window_) window_->Display();
  SelectFirstField();
  return Repeat::No;
}

WindowManager::Repeat WindowManager::CompleteDelete() {
  RESPONSE = ResponseCancelled;
  Severity result = SeverityOk;
  {
    runtime::ui::BusyCursor busy;
    result = PRIMARY->Delete(false);
  }
  if (result == SeverityOk) {
    SetResponse(ResponseCompleted);
    return Repeat::No;
  }
  switch (AskYesNoCancel(MsgRetryDelete)) {
    case runtime::ui::ButtonNo:
      PostToWindow(EventCode::CloseWindow);
      return Repeat::No;
    case runtime::ui::ButtonCancel:
      if (window_) window_->Display();
      SelectFirstField();
      return Repeat::No;
    default:
      return Repeat::Yes;
  }
}

Severity WindowManager::TakeCloseEvent() {
  // A close button's response stands without a look at the changes.
  const bool byButton = std::exchange(closedByButton_, false);
  if (RESPONSE == ResponseCompleted || PRIMARY == nullptr) return SeverityOk;
  FileManager& file = *PRIMARY->ME;
  if (!byButton && CANCELACTION != 0 && (REQUEST == RequestInsert || REQUEST == RequestChange) &&
      !file.EqualBuffer(SAVED)) {
    const bool save = (CANCELACTION & 1) != 0;
    const bool ask = (CANCELACTION & 2) != 0;
    if (save && ask) {
      const std::uint32_t answer = AskYesNoCancel(MsgSaveRecord);
      if (answer == runtime::ui::ButtonYes) {
        PostSave();
        return SeverityNotify;
      }
      if (answer != runtime::ui::ButtonNo) {
        SelectFirstField();
        return SeverityNotify;
      }
    } else if (save) {
      PostSave();
      return SeverityNotify;
    } else if (RaiseQuestion(MsgConfirmCancel) != SeverityOk) {
      SelectFirstField();
      return SeverityNotify;
    }
  }
  if (ORIGINALREQUEST == RequestInsert && RESPONSE == ResponseCancelled) {
    // Takes back a record added in advance for its auto-number.
    if (PRIMARY->CancelAutoInc() != SeverityOk) {
      SelectFirstField();
      return SeverityNotify;
    }
  }
  if (!LASTINSERTEDPOSITION.empty()) {
    // Records were added in batch: the caller finds the last one in the buffer.
    RESPONSE = ResponseCompleted;
    (void)file.TryReget(LASTINSERTEDPOSITION);
  }
  return SeverityOk;
}

// --- Helpers ----------------------------------------------------------------------------------

void WindowManager::SelectFirstField() {
  if (window_ && FIRSTFIELD != 0) window_->Select(FIRSTFIELD);
}

void WindowManager::PostSave() {
  // The normal save path, as if OK had been pressed; a form without an OK
  // button completes directly.
  if (OKCONTROL != 0) {
    PostToWindow(EventCode::Accepted, OKCONTROL);
  } else {
    PostCompleted();
  }
}

void WindowManager::PostToWindow(runtime::ui::EventCode code, std::int32_t control) {
  if (window_) window_->Post(code, control);
}

ErrorManager* WindowManager::Errors() const {
  if (ERRORS != nullptr) return ERRORS;
  return PRIMARY != nullptr ? PRIMARY->ME->ERRORS : nullptr;
}

std::uint32_t WindowManager::AskYesNoCancel(std::uint16_t id) {
  using namespace runtime::ui;
  ErrorManager* errors = Errors();
  if (errors == nullptr) return ButtonCancel;
  return errors->Ask(id, ButtonYes | ButtonNo | ButtonCancel, ButtonCancel);
}

Severity WindowManager::RaiseQuestion(std::uint16_t id) {
  ErrorManager* errors = Errors();
  return errors != nullptr ? errors->Raise(id) : SeverityCancel;
}

}  // namespace marlinden
