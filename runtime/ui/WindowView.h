// What a backend is told to show: snapshots of a window and its controls,
// taken by the runtime under the runtime lock and handed over by value, so
// the backend keeps its own copy and never reads runtime state. Plain
// values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/WindowDescription.h"

namespace runtime::ui {

struct ControlView {
  ControlProperties properties;
  std::vector<ListRow> rows;      // lists: every row of the list's source
  std::int32_t visibleItems = 0;  // lists: rows that fit the height
};

struct WindowView {
  WindowId id = kNoWindow;
  std::int32_t thread = 0;  // the runtime thread that owns the window
  std::string name;
  std::string title;
  std::string icon;
  Rect rect;
  Frame frame = Frame::Fixed;
  std::int32_t minWidth = 0;
  std::int32_t minHeight = 0;
  std::int32_t maxWidth = 0;  // 0 = no limit
  std::int32_t maxHeight = 0;
  WindowState state = WindowState::Normal;
  bool hidden = false;
  // A newer window of the same thread is open (a modal procedure runs): the
  // window takes no input and is shown disabled.
  bool held = false;
  // Counts the runtime's requests to bring the window to the front; each
  // change raises it above the others and makes it the active window.
  std::uint32_t raised = 0;
  WindowFont font;
  std::int32_t focus = 0;             // the selected control, 0 = none
  std::vector<ControlView> controls;  // in number order; filled by CreateWindow only
};

}  // namespace runtime::ui
