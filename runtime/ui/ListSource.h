// What a list control shows: the program's rows (usually a queue it owns),
// read by the runtime when it displays the list. The runtime calls it on the
// window's runtime thread with the runtime lock held, so an implementation
// needs no locking of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace runtime::ui {

// Colours are 0x00BBGGRR; kNoColour leaves the backend's default.
using Colour = std::int32_t;
inline constexpr Colour kNoColour = -1;

struct CellColours {
  Colour text = kNoColour;
  Colour background = kNoColour;
  Colour selectedText = kNoColour;
  Colour selectedBackground = kNoColour;
  friend bool operator==(const CellColours&, const CellColours&) = default;
};

struct ListCell {
  std::string text;  // already formatted by the column's picture
  CellColours colours;
  friend bool operator==(const ListCell&, const ListCell&) = default;
};

using ListRow = std::vector<ListCell>;  // one cell per column

class ListSource {
 public:
  virtual ~ListSource() = default;
  virtual std::size_t RowCount() const = 0;
  // Requires: 1 <= row <= RowCount().
  virtual ListRow Row(std::size_t row) const = 0;
};

}  // namespace runtime::ui
