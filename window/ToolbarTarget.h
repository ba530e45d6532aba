// A toolbar target: one browse list the fixed toolbar buttons (2000-2012)
// can drive. Taking the toolbar sets the buttons' tool tips and which of
// them are enabled; a click on a button becomes the list's own action: a
// scroll event, a press of the window's insert, change, delete or help
// button, or the select that closes the window with the highlighted record.
// Thread: the list's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>

#include "window/ToolbarBrowse.h"

namespace marlinden {

class WindowManager;

// The toolbar buttons, fixed on every window.
enum ToolbarButton : std::int32_t {
  ToolbarInsert = 2000,
  ToolbarChange = 2001,
  ToolbarDelete = 2002,
  ToolbarSelect = 2003,
  ToolbarBottom = 2004,
  ToolbarTop = 2005,
  ToolbarPageDown = 2006,
  ToolbarPageUp = 2007,
  ToolbarDown = 2008,
  ToolbarUp = 2009,
  ToolbarLocate = 2010,
  ToolbarHistory = 2011,
  ToolbarHelp = 2012,
};

class ToolbarTarget {
 public:
  virtual ~ToolbarTarget() = default;

  // --- Virtual operations, in slot order ----------------------------------
  // Enables the buttons that work on this list and disables the others.
  virtual void DisplayButtons();
  // Sets the buttons' tool tips, then DisplayButtons.
  virtual void TakeToolbar();
  // Takes the toolbar when the list is visible; 1 when it did.
  virtual std::uint8_t TryTakeToolbar();
  // Acts on the accepted toolbar button of the event being handled; other
  // events and controls are ignored. The navigation request stays as it is.
  virtual void TakeEvent(std::int32_t& vcrRequest, WindowManager& window);

  // --- Fields -------------------------------------------------------------
  std::int32_t CONTROL = 0;  // the list control
  std::int32_t HELPBUTTON = 0;
  std::int32_t INSERTBUTTON = 0;
  std::int32_t CHANGEBUTTON = 0;
  std::int32_t DELETEBUTTON = 0;
  std::int32_t SELECTBUTTON = 0;
  ToolbarBrowse* BROWSE = nullptr;  // borrowed; must outlive the target's use
};

}  // namespace marlinden
