// What the browse list's toolbar target sees of its list: the window that
// holds it and whether the user can see it. Owned by the browse, which hands
// it to its toolbar target.
//
// Thread: the list's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>

#include "window/ToolbarBrowse.h"

namespace runtime::ui {
class Window;
}

namespace marlinden {

class BrowseManager;

// The list control is shown: it and every control it sits in are not
// hidden, and each tab on the way is its sheet's selected tab. False when
// window is nullptr or the control is not on it.
bool ListControlShown(const runtime::ui::Window* window, std::int32_t list);

class BrowseToolbarLink final : public ToolbarBrowse {
 public:
  // browse is borrowed; the browse owns the link.
  explicit BrowseToolbarLink(BrowseManager& browse) : browse_(browse) {}

  runtime::ui::Window* ToolbarWindow() override;
  bool ListVisible() override;

 private:
  BrowseManager& browse_;
};

}  // namespace marlinden
