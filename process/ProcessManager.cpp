#include "process/ProcessManager.h"

#include <algorithm>
#include <limits>
#include <string>

namespace marlinden {

void ProcessManager::Init(runtime::View& view, RelationManager& primary, std::int32_t textControl,
                          std::int32_t estimate, std::uint8_t* percentile) {
  PERCENTILE = percentile;
  if (PERCENTILE != nullptr) *PERCENTILE = 0;
  RECORDSTOPROCESS = std::max(estimate, 0);
  PTEXT = textControl;
  CHILDREN = std::make_unique<runtime::Queue<ChildEntry>>();
  ViewManager::Init(view, primary);
}

std::uint8_t ProcessManager::Percentage(std::int64_t processed, std::int64_t expected) {
  if (expected <= 0 || processed <= 0) return 0;
  if (processed >= expected) return 100;
  return static_cast<std::uint8_t>(processed * 100 / expected);
}

void ProcessManager::Reset() {
  RECORDSPROCESSED = 0;
  if (RECORDSTOPROCESS == 0 && PRIMARY != nullptr) {
    FileManager& file = *PRIMARY->ME;
    if (file.UseFile() == SeverityOk) {
      const std::int64_t records = file.FILE->Records();
      RECORDSTOPROCESS =
          static_cast<std::int32_t>(std::clamp<std::int64_t>(records, 0, std::numeric_limits<std::int32_t>::max()));
    }
  }
  CHILDREAD = 0;
  ViewManager::Reset();
}

ViewManager& ProcessManager::Reader() {
  if (CHILDREAD == 0 || !CHILDREN || CHILDREAD > CHILDREN->Records()) return *this;
  return *CHILDREN->Get(CHILDREAD)->CHILD;
}

Severity ProcessManager::ReadCurrent() {
  ViewManager& reader = Reader();
  return &reader == this ? ViewManager::Next() : reader.Next();
}

Severity ProcessManager::ReadNext(CountRecord count) {
  if (RECORDSPROCESSED != 0 && CHILDREN && CHILDREAD < CHILDREN->Records()) {
    ++CHILDREAD;
    ViewManager& child = Reader();
    (void)child.RefreshRange();
    child.Reset();
  }
  Severity result = ReadCurrent();
  while (result != SeverityOk && CHILDREAD != 0) {
    --CHILDREAD;
    result = ReadCurrent();
  }
  if (result != SeverityOk || count == CountRecord::No) return result;
  if (RECORDSPROCESSED < std::numeric_limits<std::int32_t>::max()) ++RECORDSPROCESSED;
  if (PERCENTILE != nullptr && CHILDREAD == 0) {
    const std::uint8_t percent = Percentage(RECORDSPROCESSED, RECORDSTOPROCESS);
    if (percent != *PERCENTILE) {
      *PERCENTILE = percent;
      UpdateDisplay();
    }
  }
  return result;
}

Severity ProcessManager::TakeRecord() { return SeverityOk; }

void ProcessManager::UpdateDisplay() {
  if (WINDOW == nullptr) return;
  const std::uint8_t percent = PERCENTILE != nullptr ? *PERCENTILE : 0;
  if (PTEXT != 0) WINDOW->SetText(PTEXT, std::to_string(percent) + "% Complete");
  if (PROGRESSBAR != 0) {
    if (runtime::ui::Control* bar = WINDOW->Find(PROGRESSBAR)) bar->SetValue(percent);
  }
  WINDOW->Display();
}

void ProcessManager::Kill() {
  PERCENTILE = nullptr;
  if (PRIMARY != nullptr) PRIMARY->SetQuickScan(false, 0);
  CHILDREN.reset();
  WINDOW = nullptr;
  ViewManager::Kill();
}

}  // namespace marlinden
