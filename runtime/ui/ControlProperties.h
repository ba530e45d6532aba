// Everything the runtime knows about one control: the window model's data,
// and the snapshot a backend is given to show. Plain values; guarded by the
// runtime lock while they belong to a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/ControlKind.h"
#include "runtime/ui/Geometry.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/ListSource.h"

namespace runtime::ui {

// Mouse cursor shapes; a control's cursor applies while the mouse is over it.
enum class Cursor : std::uint32_t { Normal, Busy, Hand, IBeam, Cross, SizeAll };

enum class Alignment : std::uint8_t { Left, Centre, Right };

// How a list scrolls. Program (the default): the program loads one page of
// rows at a time, so the list shows exactly the rows given, its vertical
// scroll bar is the program's thumb, and every request to scroll (keys past
// the first or last row, page keys, the wheel, the scroll bar) and every
// character typed on it comes as an event. Self: the list scrolls over
// every row it was given by itself.
enum class ListPaging : std::uint8_t { Self, Program };

// Toolbar buttons carry fixed numbers on every window.
inline constexpr std::int32_t kFirstToolbarButton = 2000;
inline constexpr std::int32_t kLastToolbarButton = 2012;

// Alert-key slots: 1..255 per control.
inline constexpr std::size_t kAlertSlots = 255;

struct ListColumn {
  std::string header;
  std::int32_t width = 0;  // dialog units
  Alignment alignment = Alignment::Left;
  std::int32_t indent = 0;  // dialog units
  bool resizable = false;
  bool cellColours = false;       // rows carry per-cell colours
  Colour textColour = kNoColour;  // whole-column override (e.g. grey while editing)
  std::string picture;            // how the cells were formatted, e.g. "@s255"
  friend bool operator==(const ListColumn&, const ListColumn&) = default;
};

// An edit control placed over a cell of a list (in-place editing).
struct CellPlacement {
  std::int32_t list = 0;  // 0 = not placed
  std::int32_t row = 0;
  std::int32_t column = 0;
  friend bool operator==(const CellPlacement&, const CellPlacement&) = default;
};

struct ControlProperties {
  std::int32_t number = 0;
  ControlKind kind = ControlKind::Prompt;
  std::int32_t parent = 0;  // containing sheet, tab, group or menu; 0 = window
  std::string text;         // caption, entry contents, menu item text
  std::int32_t value = 0;   // check 0/1, selected tab, progress 0..100
  bool enabled = true;
  bool hidden = false;
  bool required = false;  // an entry that must not be left blank
  Rect rect;
  std::string picture;  // entry picture: "@s20", "@n9", ...
  std::string icon;     // file name; empty = none
  std::string tip;
  std::string font;           // empty = the window's font
  std::int32_t fontSize = 0;  // points; 0 = the window's font's size
  Colour textColour = kNoColour;
  Colour backgroundColour = kNoColour;
  // The background is not filled: what lies behind shows through (static
  // texts, prompts and images over a region or picture).
  bool transparent = false;
  // Window resizing leaves the control where and as large as it is.
  bool noResize = false;
  // An entry posts NewSelection with its text after each edit the user
  // makes (typing, deleting, pasting), not only Accepted when it is left.
  bool reportsEdits = false;
  Cursor cursor = Cursor::Normal;
  // Lists.
  std::vector<ListColumn> columns;
  std::int32_t selectedRow = 0;  // 0 = none
  std::int32_t thumb = 0;        // 0..100
  bool scrollBar = false;        // the vertical scroll bar is shown
  ListPaging paging = ListPaging::Program;
  // The row and column (1-based) of the last mouse click on the list, within
  // the rows and columns it has; 0 = none.
  std::int32_t mouseRow = 0;
  std::int32_t mouseColumn = 0;
  // Keys that raise alert-key events on this control, by slot (index 0 is
  // slot 1); KeyCode::None = empty slot.
  std::array<KeyCode, kAlertSlots> alerts{};
  CellPlacement placement;
};

// The bytes of UTF-8 an input control with a string picture ("@s255")
// holds; 0 for any other picture (no limit).
std::size_t TextPictureBytes(std::string_view picture);

// Rows of a list are RowHeight dialog units high, below a header of the same
// height when any column has a header; backends draw them so.
inline constexpr std::int32_t kListRowHeight = 10;

}  // namespace runtime::ui
