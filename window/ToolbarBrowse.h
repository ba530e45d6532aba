// What a toolbar target needs of the browse list it drives: where the list
// is and whether the user can see it. The browse list implements it.
// Thread: the list's runtime thread, holding the runtime lock.
#pragma once

namespace runtime::ui {
class Window;
}

namespace marlinden {

class ToolbarBrowse {
 public:
  virtual ~ToolbarBrowse() = default;

  // The window holding the list and the toolbar buttons; nullptr while it
  // is not open.
  virtual runtime::ui::Window* ToolbarWindow() = 0;
  // True when the list control can be seen (it and the tab it is on shown).
  virtual bool ListVisible() = 0;
};

}  // namespace marlinden
