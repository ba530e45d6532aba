#include "window/BrowseThumb.h"

namespace marlinden {

using runtime::ui::EventCode;

namespace {

bool IsDownward(EventCode event) {
  return event == EventCode::ScrollDown || event == EventCode::PageDown || event == EventCode::ScrollBottom;
}

}  // namespace

std::int32_t ThumbPercent(const ThumbFigures& list) {
  if (list.fileLoaded) {
    // Multiplied first, so a short list does not round every row to 0.
    return list.rows == 0 ? 0 : static_cast<std::int32_t>(static_cast<std::int64_t>(list.choice) * 100 / list.rows);
  }
  if (list.unfilled) {
    if (IsDownward(list.lastScroll) && list.choice == list.rows) return 100;
    if (!IsDownward(list.lastScroll) && list.choice == 1) return 0;
  }
  return 50;
}

ThumbMove ThumbDragMove(std::int32_t p, bool fileLoaded) {
  if (p <= 0) return ThumbMove::Top;
  if (p >= 100) return ThumbMove::Bottom;
  return fileLoaded ? ThumbMove::Row : ThumbMove::Rank;
}

std::int32_t RowAtThumb(std::int32_t p, std::int32_t rows) {
  return static_cast<std::int32_t>(static_cast<std::int64_t>(p) * rows / 100);
}

}  // namespace marlinden
