#include "window/BrowseToolbarLink.h"

#include "runtime/ui/Window.h"
#include "window/BrowseManager.h"

namespace marlinden {

bool ListControlShown(const runtime::ui::Window* window, std::int32_t list) {
  if (window == nullptr || window->Hidden()) return false;
  std::int32_t number = list;
  for (int depth = 0; number != 0 && depth < 64; ++depth) {
    const runtime::ui::Control* control = window->Find(number);
    if (control == nullptr) return false;
    if (control->Hidden()) return false;
    const runtime::ui::Control* parent = window->Find(control->Parent());
    if (control->Kind() == runtime::ui::ControlKind::Tab && parent != nullptr) {
      // A tab shows while it is its sheet's selected tab (tabs count from 1
      // in control order).
      std::int32_t index = 0;
      for (std::int32_t other : window->ControlNumbers()) {
        const runtime::ui::Control* c = window->Find(other);
        if (c->Kind() == runtime::ui::ControlKind::Tab && c->Parent() == parent->Number()) ++index;
        if (other == number) break;
      }
      if (parent->Value() != index) return false;
    }
    number = control->Parent();
  }
  return true;
}

runtime::ui::Window* BrowseToolbarLink::ToolbarWindow() {
  return browse_.WINDOW != nullptr ? browse_.WINDOW->GetWindow() : nullptr;
}

bool BrowseToolbarLink::ListVisible() { return browse_.ListVisible(); }

}  // namespace marlinden
