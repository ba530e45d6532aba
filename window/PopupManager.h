// Popup menus of a list: a list of items (plain items, items that post an
// event to a control, items that mirror a button), turned into the runtime's
// popup-menu text, shown at the mouse, and the chosen item's event posted to
// the thread that created the popup. The same items can be shown as a small
// button bar (the toolbox) running on a runtime thread of its own.
//
// Item texts are shown as written: characters the menu text uses for its own
// syntax never split an item or shift the numbers of the items after it.
//
// Thread: created and used on the list's runtime thread; the toolbox thread
// uses it too. Every operation requires the runtime lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/queue/Queue.h"
#include "runtime/ui/EventCode.h"
#include "runtime/ui/Geometry.h"

namespace runtime::ui {
class Window;
}

namespace marlinden {

struct PopupItem {
  std::int32_t CONTROLID = 0;  // control to post to
  std::uint16_t DEPTH = 1;     // menu level, 1 = top
  runtime::ui::EventCode EVENT = runtime::ui::EventCode::None;
  std::uint8_t MIMICMODE = 0;  // 1: mirror the control
  std::uint8_t DISABLED = 0;   // 0: follow the control, 1: disabled, 2: enabled
  std::uint8_t CHECK = 0;      // 0: none, 1: checked, 2: unchecked
  std::uint8_t ONTOOLBOX = 0;  // 1: shown on the toolbox
  std::string ICON;            // at most 255 bytes
  std::string NAME;            // at most 1024 bytes, unique within the menu
  std::string TEXT;            // at most 1024 bytes
};

class PopupManager {
 public:
  // Translates an item's text before it is shown.
  using TextTranslator = std::function<std::string(std::string_view)>;

  PopupManager() = default;
  // Closes a toolbox still open and waits for its thread (Kill).
  ~PopupManager();
  PopupManager(const PopupManager&) = delete;
  PopupManager& operator=(const PopupManager&) = delete;

  // Creates the item list and records the calling thread.
  void Init();
  // Closes the toolbox when it is open and waits until its thread no longer
  // uses this popup, then drops the items.
  void Kill();

  // Each returns the new item's name. A text of a single hyphen is a
  // separator. The general form puts the item after the item named after
  // (at the end when there is none) at depth (0: the depth of the item it
  // follows); leading '~' (disabled), '+' (checked) and '-' (unchecked) are
  // taken off the text as marks.
  std::string AddItem(std::string_view text);
  std::string AddItem(std::string_view name, std::string_view text);
  std::string AddItem(std::string_view text, std::string_view name, std::string_view after, std::uint16_t depth);
  // The item named name (added when missing) posts event to control.
  std::string AddItemEvent(std::string_view name, runtime::ui::EventCode event, std::int32_t control);
  // The item mirrors control: it posts Accepted to it and, while its text is
  // blank or starts with '!', shows the control's text.
  std::string AddItemMimic(std::string_view text, std::string_view name, std::int32_t control);
  void SetToolbox(std::string_view name, std::uint8_t onToolbox);
  // The item's position (0 when none); makes it the current entry.
  std::size_t FindItem(std::string_view name);
  // The name of the n-th choosable item (separators and submenu headers are
  // not counted); blank when there is none.
  std::string GetItemName(std::int32_t n);
  // The name unique within the menu for text (see the .cpp).
  std::string MakeName(std::string_view text);

  // The menu text (at most 10000 bytes), items refreshed against the
  // target window's controls.
  std::string BuildMenu();
  // Shows the menu at (x, y) in the target window (a zero coordinate: at the
  // mouse), posts the chosen item's event, and returns its name (blank when
  // nothing was chosen). On the toolbox's own thread it waits for a toolbox
  // button instead.
  std::string Ask(runtime::ui::Point at = {});
  // Opens the toolbox: the items marked for it as buttons, in a window of
  // its own on a new runtime thread. Nothing happens while one is open.
  void Toolbox(std::string_view title);

  // --- Fields -------------------------------------------------------------
  std::uint8_t CLEARKEYCODE = 0;
  std::string LASTSELECTION;
  std::unique_ptr<runtime::Queue<PopupItem>> POPUPITEMS;
  TextTranslator TRANSLATOR;
  std::uint8_t INTOOLBOX = 0;
  std::int32_t MYTHREAD = 0;
  // The window the toolbox mirrors (borrowed; the popup's owner keeps it
  // open until Kill).
  runtime::ui::Window* PARENTWINDOW = nullptr;
  // The toolbox window while it is open (owned by the toolbox thread).
  runtime::ui::Window* THISWINDOW = nullptr;

 private:
  // What an item shows: its stored values refreshed against window's
  // controls (window may be nullptr); nothing is stored back.
  PopupItem RefreshItem(const PopupItem& item, const runtime::ui::Window* window) const;
  // The position of the item that choosable number n stands for, or 0.
  std::size_t ChoosablePosition(std::int32_t n);
  void PostChoice(const PopupItem& item);
  std::size_t AskToolbox();
  void RunToolbox(std::string title);
  void RefreshToolbox();

  // Guarded by the runtime lock.
  std::vector<std::size_t> toolboxItems_;  // item position of toolbox button n (index n - 1)
  std::vector<std::int32_t> toolboxButtons_;
  std::int32_t toolboxThread_ = 0;  // 0 = no toolbox thread started
  bool toolboxStop_ = false;        // Kill asks a starting toolbox not to open

  // The toolbox thread's end, waited for by Kill with the runtime lock released.
  std::mutex doneMutex_;
  std::condition_variable doneChanged_;
  bool toolboxDone_ = true;  // guarded by doneMutex_
};

}  // namespace marlinden
