#include "window/ToolbarManager.h"

namespace marlinden {

void ToolbarManager::Init() {
  LIST = std::make_unique<runtime::Queue<TargetEntry>>();
  current_ = nullptr;
}

void ToolbarManager::Kill() {
  LIST.reset();
  current_ = nullptr;
}

void ToolbarManager::AddTarget(ToolbarTarget& target, std::int32_t control) {
  if (!LIST) return;
  target.CONTROL = control;
  LIST->AddSorted(TargetEntry{control, &target},
                  [](const TargetEntry& a, const TargetEntry& b) { return a.ID < b.ID; });
}

void ToolbarManager::SetTarget(std::int32_t control) {
  if (!LIST || LIST->Empty()) return;
  if (control != 0) {
    const TargetEntry* entry = LIST->Find([control](const TargetEntry& e) { return e.ID == control; });
    if (entry == nullptr) return;
    current_ = entry->ITEM;
    current_->TakeToolbar();
    return;
  }
  ToolbarTarget* taken = nullptr;
  for (const TargetEntry& entry : *LIST) {
    if (entry.ITEM->TryTakeToolbar() != 0) taken = entry.ITEM;
  }
  current_ = taken != nullptr ? taken : LIST->Get(LIST->Records())->ITEM;
}

void ToolbarManager::DisplayButtons() {
  if (current_ != nullptr) current_->DisplayButtons();
}

void ToolbarManager::TakeEvent(std::int32_t& vcrRequest, WindowManager& window) {
  if (current_ != nullptr && LIST && !LIST->Empty()) current_->TakeEvent(vcrRequest, window);
}

}  // namespace marlinden
