// Properties addressed by name, for code that reads or writes them as
// values (window positions restored from an INI file, a toolbox mirroring
// another window's buttons). Typed accessors of Control and Window are the
// usual way; this is the generic one. Plain values; any thread.
#pragma once

#include <cstdint>

namespace runtime::ui {

enum class Property : std::uint32_t {
  Text,
  Value,
  X,
  Y,
  Width,
  Height,
  Enabled,  // 1/0
  Hidden,   // 1/0
  Icon,
  Tip,
  TextColour,
  BackgroundColour,
  SelectedRow,
  Thumb,
  VisibleItems,  // read only
  MouseRow,      // lists, read only: the row last clicked
  MouseColumn,   // lists, read only: the column last clicked
  Maximised,     // windows: 1/0
  Iconised,      // windows: 1/0
  Timer,         // windows: hundredths
};

}  // namespace runtime::ui
