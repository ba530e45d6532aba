// The arithmetic of a browse list's scroll thumb: the percentage it shows
// while the view's rows are still being counted (BrowseRanks.h places it
// once they are), and what a drag of it asks the list to do. Pure functions
// over the list's figures; the browse does the moving.
//
// Thread: any.
#pragma once

#include <cstdint>

#include "runtime/ui/EventCode.h"

namespace marlinden {

// What the list shows, as the thumb sees it.
struct ThumbFigures {
  bool fileLoaded = false;  // the list holds every record of the view
  std::int32_t choice = 0;  // the highlighted row, from 1 (0: empty)
  std::int32_t rows = 0;    // rows in the list
  bool unfilled = false;    // the last read left rows unread: the list is at an end of the data
  runtime::ui::EventCode lastScroll = runtime::ui::EventCode::None;
};

// 0-100: by row when the whole view is loaded; otherwise 100 or 0 when the
// list is at the end the last scroll went to and the highlight is on the
// edge row there, else 50.
std::int32_t ThumbPercent(const ThumbFigures& list);

// What a thumb dragged to p (0-100) asks for.
enum class ThumbMove : std::uint8_t {
  Top,     // scroll to the top
  Bottom,  // scroll to the bottom
  Row,     // highlight the row at p of the loaded rows (RowAtThumb)
  Rank,    // show the row at p of the view's rows (RankAtPercent)
};
ThumbMove ThumbDragMove(std::int32_t p, bool fileLoaded);
// The row p percent down a list of rows.
std::int32_t RowAtThumb(std::int32_t p, std::int32_t rows);

}  // namespace marlinden
