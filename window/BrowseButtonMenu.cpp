#include "window/BrowseButtonMenu.h"

#include "window/PopupManager.h"

namespace marlinden {

namespace {

// SetToolbox: the toolbox entry itself is not a button on the toolbox.
constexpr std::uint8_t kNotOnToolbox = 0;

}  // namespace

void BrowseButtonMenu::Fill(PopupManager& popup, const BrowseButtons& buttons) {
  if (filled_) return;
  filled_ = true;
  struct Entry {
    std::int32_t control;
    const char* text;
    const char* name;
  };
  const Entry entries[] = {
      {buttons.insert, "!&Insert", "&Insert"}, {buttons.change, "!&Change", "&Change"},
      {buttons.remove, "!&Delete", "&Delete"}, {buttons.print, "!&Print", "&Print"},
      {buttons.query, "!&Query", "&Query"},    {buttons.select, "!&Select", "&Select"},
  };
  for (const Entry& entry : entries) {
    if (entry.control != 0) (void)popup.AddItemMimic(entry.text, entry.name, entry.control);
  }
  if (buttons.toolbox != 0) {
    (void)popup.AddItem("-");
    popup.SetToolbox(popup.AddItemMimic("!&Toolbox", "&Toolbox", buttons.toolbox), kNotOnToolbox);
  }
}

}  // namespace marlinden
