// Popup-menu texts: the runtime's compact way of writing a menu, parsed into
// items a backend shows.
//
// Format. Items follow one another, each introduced by a level mark (the
// first item's mark may be left out):
//   '|'  next item on the same level;
//   '{'  the item opens a submenu under the item before it;
//   '}'  the item closes one submenu level (repeat it to close more).
// An item is: optional markers, an optional attribute group, the text.
//   '~'  disabled;   '+'  checked;   '-'  unchecked (only before more text);
//   '[...]' attributes; "icon(~file)" or "icon(file)" gives the item an icon,
//           anything else in the group is ignored;
//   text   shown as is ('&' marks the mnemonic). A text of "-" alone, or an
//          empty item ("A||B"), is a separator.
// Items are numbered 1, 2, ... in order; separators and submenu headers get
// no number. Choosing nothing answers 0.
// Malformed texts never fail: a '}' with no open submenu is ignored, a '{'
// with no item before it opens nothing, unclosed submenus close at the end,
// an unclosed '[' takes the rest of the item. Nesting stops at kMaxMenuDepth.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace runtime::ui {

inline constexpr std::uint32_t kMaxMenuDepth = 16;

enum class MenuItemKind : std::uint8_t { Item, Separator, Submenu };
enum class MenuCheck : std::uint8_t { None, Checked, Unchecked };

struct PopupMenuItem {
  MenuItemKind kind = MenuItemKind::Item;
  std::string text;
  std::string icon;
  std::uint32_t depth = 1;  // 1 = top level
  std::int32_t number = 0;  // 1.. for choosable items, 0 otherwise
  bool enabled = true;
  MenuCheck check = MenuCheck::None;
  friend bool operator==(const PopupMenuItem&, const PopupMenuItem&) = default;
};

std::vector<PopupMenuItem> ParsePopupMenu(std::string_view text);

// The number of choosable items (the highest number an answer may carry).
std::int32_t ChoosableItems(const std::vector<PopupMenuItem>& items);

}  // namespace runtime::ui
