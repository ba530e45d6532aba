#include "window/IncrementalLocator.h"

#include "runtime/text/CaseFolding.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"

namespace marlinden {

using runtime::ui::KeyCode;

namespace {

// What the last key typed: the backend's text when it sent one, else the
// character of a plain letter or digit key. Control characters type nothing.
std::string TypedText() {
  std::string typed;
  for (char c : runtime::ui::LastKeyText()) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) typed += c;
  }
  if (!typed.empty()) return typed;
  const auto key = static_cast<std::uint32_t>(runtime::ui::LastKeyCode());
  if ((key & static_cast<std::uint32_t>(KeyCode::Ctrl | KeyCode::Alt)) != 0) return {};
  const bool shift = (key & static_cast<std::uint32_t>(KeyCode::Shift)) != 0;
  const std::uint32_t base = key & ~runtime::ui::kModifierMask;
  if (base >= 'A' && base <= 'Z') return std::string(1, static_cast<char>(shift ? base : base - 'A' + 'a'));
  if (base >= '0' && base <= '9' && !shift) return std::string(1, static_cast<char>(base));
  return {};
}

// The length of text without its last UTF-8 character.
std::size_t WithoutLastCharacter(const std::string& text) {
  std::size_t end = text.size();
  if (end == 0) return 0;
  --end;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

runtime::ui::Control* FindControl(std::int32_t number) {
  if (number == 0) return nullptr;
  runtime::ui::Window* window = runtime::ui::TargetWindow();
  return window != nullptr ? window->Find(number) : nullptr;
}

}  // namespace

void IncrementalLocator::Init(std::int32_t control, runtime::FieldRef freeElement, std::uint8_t noCase,
                              BrowseManager* browse) {
  CONTROL = control;
  FREEELEMENT = freeElement;
  NOCASE = noCase;
  VIEWMANAGER = browse;
  SHADOW.clear();
  UpdateWindow();
}

void IncrementalLocator::SetEnabled(std::uint8_t flag) {
  runtime::ui::Control* control = FindControl(CONTROL);
  if (control == nullptr) return;
  if (flag == 0) {
    control->Disable();
  } else {
    control->Enable();
  }
}

void IncrementalLocator::Kill() { FREEELEMENT = {}; }

void IncrementalLocator::AfterLocate() {}

void IncrementalLocator::Reset() {
  SHADOW.clear();
  UpdateWindow();
  if (FREEELEMENT.Valid()) FREEELEMENT.Clear();
  Set();
}

void IncrementalLocator::SetAlerts(std::int32_t listControl) {
  runtime::ui::Control* list = FindControl(listControl);
  if (list == nullptr) return;
  list->Alert(kBackspaceAlertSlot, KeyCode::Backspace);
  list->Alert(kSpaceAlertSlot, KeyCode::Space);
}

std::uint8_t IncrementalLocator::TakeAccepted() {
  if (runtime::ui::Control* control = FindControl(CONTROL)) {
    SHADOW = std::string(runtime::CutToWidth(control->Text(), kLocatorWidth));
  }
  if (!FREEELEMENT.Valid()) return 0;
  FREEELEMENT.SetText(SHADOW);
  if (FREEELEMENT.IsText()) return FREEELEMENT.ClippedText().empty() ? 0 : 1;
  return FREEELEMENT.Get().AsReal() != 0 ? 1 : 0;
}

std::uint8_t IncrementalLocator::TakeKey() {
  const KeyCode key = runtime::ui::LastKeyCode();
  if (key == KeyCode::Backspace) {
    SHADOW.resize(WithoutLastCharacter(SHADOW));
    Set();
    return 1;
  }
  const std::string typed = key == KeyCode::Space ? std::string(" ") : TypedText();
  if (typed.empty()) return 0;
  SHADOW = std::string(runtime::CutToWidth(SHADOW + typed, kLocatorWidth));
  Set();
  return 1;
}

void IncrementalLocator::UpdateWindow() {
  runtime::ui::Control* control = FindControl(CONTROL);
  if (control == nullptr) return;
  control->SetText(SHADOW);
  if (runtime::ui::Window* window = runtime::ui::TargetWindow()) window->Display(CONTROL);
}

void IncrementalLocator::Set() {
  // A caseless locator seeks from the text's lowest spelling; the browse
  // reads on to the row that matches it (BrowseManager::Locate).
  if (FREEELEMENT.Valid()) FREEELEMENT.SetText(NOCASE != 0 ? runtime::LowestCaseSpelling(SHADOW) : SHADOW);
  UpdateWindow();
}

}  // namespace marlinden
