#include "runtime/ui/PopupMenuText.h"

#include <algorithm>

namespace runtime::ui {

namespace {

// Reads "icon(~file)" / "icon(file)" from an attribute group.
std::string IconOf(std::string_view group) {
  constexpr std::string_view kIcon = "icon(";
  const auto at = group.find(kIcon);
  if (at == std::string_view::npos) return {};
  std::string_view rest = group.substr(at + kIcon.size());
  const auto close = rest.find(')');
  rest = rest.substr(0, close);
  if (!rest.empty() && rest.front() == '~') rest.remove_prefix(1);
  return std::string(rest);
}

// One item's body (after its level mark).
PopupMenuItem ParseItem(std::string_view body) {
  PopupMenuItem item;
  if (body.empty() || body == "-") {
    item.kind = MenuItemKind::Separator;
    return item;
  }
  while (!body.empty()) {
    if (body.front() == '~') {
      item.enabled = false;
    } else if (body.front() == '+') {
      item.check = MenuCheck::Checked;
    } else if (body.front() == '-' && body.size() > 1) {
      item.check = MenuCheck::Unchecked;
    } else {
      break;
    }
    body.remove_prefix(1);
  }
  if (!body.empty() && body.front() == '[') {
    const auto close = body.find(']');
    item.icon = IconOf(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    body = close == std::string_view::npos ? std::string_view{} : body.substr(close + 1);
  }
  item.text = std::string(body);
  return item;
}

}  // namespace

std::vector<PopupMenuItem> ParsePopupMenu(std::string_view text) {
  std::vector<PopupMenuItem> items;
  if (text.empty()) return items;
  std::uint32_t depth = 1;
  std::size_t i = 0;
  char mark = '|';
  while (true) {
    // The item body runs to the next level mark outside an attribute group.
    // A group opens only where the item's markers stand: a '[' after
    // "~", "+" or "-" inside the text is text.
    std::size_t end = i;
    bool inGroup = false;
    bool markersOnly = true;
    while (end < text.size()) {
      const char c = text[end];
      if (inGroup) {
        if (c == ']') inGroup = markersOnly = false;
      } else if (c == '[' && markersOnly) {
        inGroup = true;
      } else if (c == '|' || c == '{' || c == '}') {
        break;
      } else if (std::string_view("~+-").find(c) == std::string_view::npos) {
        markersOnly = false;
      }
      ++end;
    }
    if (mark == '{') {
      // Only a real item can head a submenu.
      if (!items.empty() && items.back().kind != MenuItemKind::Separator && items.back().depth == depth &&
          depth < kMaxMenuDepth) {
        ++depth;
      }
    } else if (mark == '}') {
      if (depth > 1) --depth;
    }
    PopupMenuItem item = ParseItem(text.substr(i, end - i));
    item.depth = depth;
    // A '}' directly followed by another mark closes without an item.
    const bool bareClose = mark == '}' && end == i && end < text.size() && text[end] != '|';
    // Nor does a brace that starts the text.
    const bool leadingBrace = i == 0 && end == 0 && (text[0] == '{' || text[0] == '}');
    if (!bareClose && !leadingBrace) items.push_back(std::move(item));
    if (end >= text.size()) break;
    mark = text[end];
    i = end + 1;
  }
  // Headers are the items followed by a deeper one; drop a trailing empty
  // item left by a closing brace at the very end.
  if (!items.empty() && items.back().kind == MenuItemKind::Separator && text.back() == '}') items.pop_back();
  std::int32_t number = 0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    PopupMenuItem& item = items[k];
    if (item.kind == MenuItemKind::Separator) continue;
    if (k + 1 < items.size() && items[k + 1].depth > item.depth) {
      item.kind = MenuItemKind::Submenu;
      continue;
    }
    item.number = ++number;
  }
  return items;
}

std::int32_t ChoosableItems(const std::vector<PopupMenuItem>& items) {
  std::int32_t highest = 0;
  for (const auto& item : items) highest = std::max(highest, item.number);
  return highest;
}

}  // namespace runtime::ui
