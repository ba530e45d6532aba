// What a window manager drives besides its own window: browse lists, the
// toolbar, the resizer, drop-down file lists and the translator. Each is
// registered with the window manager (AddItem and friends), which borrows it
// and calls exactly these operations from its event loop and its Kill. The
// full classes derive from these interfaces.
//
// Thread: the window's own runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>

namespace runtime::ui {
class Window;
}

namespace marlinden {

class WindowManager;

// A browse list over a view, shown in a list control of the window.
class BrowseItem {
 public:
  virtual ~BrowseItem() = default;

  // Releases what the browse set up; the window calls it from its own Kill.
  virtual void Kill() = 0;
  // Chooses the sort order for the window's state and reloads the list
  // when it has to (or always when force is non-zero).
  virtual void ResetSort(std::uint8_t force) = 0;
  // Redisplays the list, its buttons and its thumb.
  virtual void UpdateWindow() = 0;
  // Takes the event the window is handling (runtime::ui::CurrentEvent()).
  virtual void TakeEvent() = 0;
  // True when the list must be reloaded: its height, range or reset fields
  // changed since the last load.
  virtual bool NeedRefresh() = 0;
  // Loads the highlighted row into the record buffers.
  virtual void UpdateViewRecord() = 0;
  // Alerts the browse's keys on its list control.
  virtual void SetAlerts() = 0;

  // 1 when the window was called to select a record; set by AddItem.
  std::uint8_t SELECTING = 0;
};

// The toolbar: the fixed buttons 2000-2012 working on the current list.
class ToolbarItem {
 public:
  virtual ~ToolbarItem() = default;

  // Creates the target list; called by AddItem.
  virtual void Init() = 0;
  virtual void Kill() = 0;
  // Takes an accepted control; may set the navigation request.
  virtual void TakeEvent(std::int32_t& vcrRequest, WindowManager& window) = 0;
  // Makes the target of list control current; 0 = pick among the visible
  // lists.
  virtual void SetTarget(std::int32_t control) = 0;
};

// Keeps the controls in place when the window is resized.
class ResizerItem {
 public:
  virtual ~ResizerItem() = default;

  virtual void Kill() = 0;
  // Moves the controls for the window's new size; called on every sized
  // event of the window.
  virtual void Resize() = 0;
};

// A drop-down list of file records.
class FileDropItem {
 public:
  virtual ~FileDropItem() = default;

  virtual void Kill() = 0;
  virtual void Reset() = 0;
  // Takes the event the window is handling (runtime::ui::CurrentEvent()).
  virtual void TakeEvent() = 0;
};

// Translates the texts of a window when it opens.
class Translator {
 public:
  virtual ~Translator() = default;

  virtual void TranslateWindow(runtime::ui::Window& window) = 0;
};

}  // namespace marlinden
