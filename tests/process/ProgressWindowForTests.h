// The progress window the process tests run their batches in: a text, a
// bar, a percentage and a Cancel button, with a timer between batches.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/ui/WindowDescription.h"

namespace marlinden::progress_test {

inline constexpr std::int32_t kProgressBar = 2;
inline constexpr std::int32_t kProgressPercent = 3;
inline constexpr std::int32_t kProgressCancel = 4;
inline constexpr std::int32_t kProgressTimer = 10;  // hundredths between batches

inline runtime::ui::WindowDescription ProgressWindow(std::string title) {
  using runtime::ui::ControlKind;
  runtime::ui::WindowDescription d;
  d.name = "progress";
  d.title = std::move(title);
  d.rect = {0, 0, 150, 60};
  d.timerHundredths = kProgressTimer;
  for (ControlKind kind : {ControlKind::String, ControlKind::Progress, ControlKind::String, ControlKind::Button}) {
    runtime::ui::ControlDescription c;
    c.kind = kind;
    d.controls.push_back(c);
  }
  d.controls[kProgressCancel - 1].text = "Cancel";
  return d;
}

}  // namespace marlinden::progress_test
