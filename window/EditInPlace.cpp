#include "window/EditInPlace.h"

#include <string>

#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"

namespace marlinden {

using runtime::ui::KeyCode;

namespace {

// Alert slots on the edit control, one per edit action.
struct Alert {
  std::size_t slot;
  KeyCode key;
};
constexpr Alert kAlerts[] = {
    {EditNextColumn, KeyCode::Tab}, {EditPreviousColumn, KeyCode::ShiftTab},
    {EditComplete, KeyCode::Enter}, {EditCancel, KeyCode::Esc},
    {EditDown, KeyCode::Down},      {EditUp, KeyCode::Up},
};

}  // namespace

void EditInPlace::CreateControl() {
  if (WINDOW == nullptr) return;
  const runtime::ui::Control* list = WINDOW->Find(LISTBOXFEQ);
  FEQ = WINDOW->CreateControl(runtime::ui::ControlKind::Entry, list != nullptr ? list->Parent() : 0);
}

void EditInPlace::Init(runtime::ui::Window& window, std::int32_t column, std::int32_t listControl,
                       runtime::FieldRef field) {
  WINDOW = &window;
  LISTBOXFEQ = listControl;
  CreateControl();
  USEVAR = field;
  runtime::ui::Control* control = Entry();
  const runtime::ui::Control* list = window.Find(listControl);
  if (control != nullptr && list != nullptr && column >= 1 &&
      static_cast<std::size_t>(column) <= list->Properties().columns.size()) {
    control->SetPicture(list->Properties().columns[static_cast<std::size_t>(column) - 1].picture);
  }
  // A text field's entry takes no more bytes than the field holds, whatever
  // the column shows, so nothing typed is cut when it is stored.
  if (control != nullptr && USEVAR.Valid() && USEVAR.IsText()) {
    control->SetPicture("@s" + std::to_string(USEVAR.Desc().size));
  }
  SetAlerts();
}

void EditInPlace::Kill() {
  if (WINDOW != nullptr && FEQ != 0) (void)WINDOW->DestroyControl(FEQ);
  FEQ = 0;
  USEVAR = {};
  WINDOW = nullptr;
}

void EditInPlace::SetAlerts() {
  runtime::ui::Control* control = Entry();
  if (control == nullptr) return;
  for (const Alert& alert : kAlerts) control->Alert(alert.slot, alert.key);
}

std::uint8_t EditInPlace::TakeEvent(const runtime::ui::Event& event) {
  if (FEQ == 0 || event.control != FEQ || event.code != runtime::ui::EventCode::AlertKey) return EditNone;
  const KeyCode key = runtime::ui::LastKeyCode();
  for (const Alert& alert : kAlerts) {
    if (alert.key == key) return static_cast<std::uint8_t>(alert.slot);
  }
  return EditNone;
}

void EditInPlace::Place(std::int32_t row, std::int32_t column) {
  runtime::ui::Control* control = Entry();
  if (control == nullptr) return;
  control->SetText(USEVAR.Valid() ? (USEVAR.IsText() ? std::string(USEVAR.ClippedText()) : USEVAR.Get().AsText())
                                  : std::string());
  control->PlaceInList(LISTBOXFEQ, row, column);
  control->Unhide();
  WINDOW->Select(FEQ);
}

void EditInPlace::Commit() {
  runtime::ui::Control* control = Entry();
  if (control == nullptr) return;
  if (USEVAR.Valid()) USEVAR.SetText(control->Text());
  Remove();
}

void EditInPlace::Remove() {
  runtime::ui::Control* control = Entry();
  if (control == nullptr) return;
  control->RemoveFromList();
  control->Hide();
}

runtime::ui::Control* EditInPlace::Entry() const { return WINDOW != nullptr && FEQ != 0 ? WINDOW->Find(FEQ) : nullptr; }

}  // namespace marlinden
