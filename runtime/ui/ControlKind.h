// The kinds of control a window can hold. Plain values; any thread.
#pragma once

#include <cstdint>

namespace runtime::ui {

enum class ControlKind : std::uint32_t {
  Prompt,    // a static label
  String,    // static text, may show a variable
  Entry,     // one-line input with a picture
  Text,      // multi-line input
  Button,    // text and/or icon
  Check,     // value 0/1
  Option,    // a radio group
  Radio,     // one choice of an option group
  List,      // rows in columns, fed by a ListSource
  Sheet,     // a tab sheet; value = the selected tab (1-based)
  Tab,       // one tab of a sheet; its children are the tab's controls
  Progress,  // value 0..100
  Image,     // shows the image file named by icon
  LinkText,  // text the user can click (accepted), with its own cursor
  Menu,      // a menu of the menu bar (or a submenu)
  MenuItem,  // accepted when chosen
  Region,    // an invisible area reporting clicks
  Group,     // a frame around other controls
  Line,
  Box,
  Spin,
  Combo,
};

// Kinds whose contents the user edits, so the accept-all pass validates them.
constexpr bool IsInputKind(ControlKind kind) {
  return kind == ControlKind::Entry || kind == ControlKind::Text || kind == ControlKind::Spin ||
         kind == ControlKind::Combo;
}

}  // namespace runtime::ui
