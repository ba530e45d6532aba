// The browse thumb's arithmetic without ranks: the percentage shown for a
// fully loaded list (no row rounded to the top of a long one), the ends
// shown only when the last read found one in the direction scrolled, and
// what each dragged position asks for.
#include <gtest/gtest.h>

#include <cstdint>

#include "window/BrowseThumb.h"

namespace marlinden {
namespace {

using runtime::ui::EventCode;

TEST(BrowseThumbTest, PercentByRowOrByTheEndReached) {
  struct Case {
    const char* what;
    ThumbFigures list;
    std::int32_t percent;
  };
  const Case cases[] = {
      {"loaded, first of three", {true, 1, 3, false, EventCode::None}, 33},
      {"loaded, last of three", {true, 3, 3, false, EventCode::None}, 100},
      {"loaded, empty", {true, 0, 0, false, EventCode::None}, 0},
      {"loaded, a row of a list larger than 100", {true, 150, 300, false, EventCode::None}, 50},
      {"loaded, a row near the top of a large list", {true, 5, 1000000, false, EventCode::None}, 0},
      {"paged, in the middle", {false, 3, 5, false, EventCode::ScrollDown}, 50},
      {"paged, page full after scrolling down", {false, 5, 5, false, EventCode::PageDown}, 50},
      {"paged, at the end scrolling down", {false, 5, 5, true, EventCode::ScrollDown}, 100},
      {"paged, at the end after the bottom", {false, 5, 5, true, EventCode::ScrollBottom}, 100},
      {"paged, at the start scrolling up", {false, 1, 5, true, EventCode::PageUp}, 0},
      {"paged, at the start after the top", {false, 1, 5, true, EventCode::ScrollTop}, 0},
      {"paged, short page with the highlight in it", {false, 2, 3, true, EventCode::ScrollDown}, 50},
      {"paged, end reached down but highlight on row 1", {false, 1, 5, true, EventCode::ScrollDown}, 50},
      {"paged, end reached up but highlight on the last row", {false, 5, 5, true, EventCode::ScrollUp}, 50},
  };
  for (const Case& c : cases) EXPECT_EQ(ThumbPercent(c.list), c.percent) << c.what;
}

TEST(BrowseThumbTest, ADragAsksForTheEndsARowOrARank) {
  struct Case {
    std::int32_t p;
    bool fileLoaded;
    ThumbMove move;
  };
  const Case cases[] = {
      {0, false, ThumbMove::Top},     {0, true, ThumbMove::Top},   {100, false, ThumbMove::Bottom},
      {100, true, ThumbMove::Bottom}, {1, false, ThumbMove::Rank}, {50, false, ThumbMove::Rank},
      {99, false, ThumbMove::Rank},   {1, true, ThumbMove::Row},   {99, true, ThumbMove::Row},
  };
  for (const Case& c : cases) EXPECT_EQ(ThumbDragMove(c.p, c.fileLoaded), c.move) << c.p << " " << c.fileLoaded;
  EXPECT_EQ(RowAtThumb(50, 7), 3);
  EXPECT_EQ(RowAtThumb(99, 100000000), 99000000);  // p times rows is past 32 bits
}

}  // namespace
}  // namespace marlinden
