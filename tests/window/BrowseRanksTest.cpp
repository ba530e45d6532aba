// The rank table of a browse order: the stride doubling as rows come, the
// kept position a thumb position asks for, and the thumb's percentages of a rank
// and back, which must meet again at the same position.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "window/BrowseRanks.h"

namespace marlinden {
namespace {

std::string Row(std::int64_t n) { return "row " + std::to_string(n); }

BrowseRanks Counted(std::int64_t rows) {
  BrowseRanks table;
  table.Start("order");
  for (std::int64_t n = 0; n < rows; ++n) table.Add(Row(n));
  table.Finish();
  return table;
}

TEST(BrowseRanksTest, KeepsABoundedNumberOfRowsAtEvenRanks) {
  for (std::int64_t rows : {1, 7, 2048, 2049, 100000, 1000003}) {
    SCOPED_TRACE(rows);
    const BrowseRanks table = Counted(rows);
    ASSERT_TRUE(table.Ready());
    EXPECT_EQ(table.Rows(), rows);
    const std::int64_t marked = (rows + table.Stride() - 1) / table.Stride();
    EXPECT_LE(marked, static_cast<std::int64_t>(2 * kRankMarks));
    if (rows > static_cast<std::int64_t>(2 * kRankMarks)) {
      EXPECT_GE(marked, static_cast<std::int64_t>(kRankMarks));
    }
    // Every marked row knows its rank; the rows between do not.
    for (std::int64_t n = 0; n < rows; n += std::max<std::int64_t>(1, rows / 97)) {
      const auto rank = table.RankOf(Row(n));
      if (n % table.Stride() == 0) {
        ASSERT_TRUE(rank.has_value()) << n;
        EXPECT_EQ(*rank, n);
      } else {
        EXPECT_FALSE(rank.has_value()) << n;
      }
    }
    const std::int64_t kept = (rows + table.PositionStride() - 1) / table.PositionStride();
    EXPECT_LE(kept, static_cast<std::int64_t>(2 * kRankPositions));
    if (rows > static_cast<std::int64_t>(2 * kRankPositions)) {
      EXPECT_GE(kept, static_cast<std::int64_t>(kRankPositions));
    }
    EXPECT_EQ(table.LastPosition(), Row(rows - 1));
  }
}

TEST(BrowseRanksTest, APositionAsksForTheFirstKeptRowFromItsRankOn) {
  const BrowseRanks table = Counted(100000);
  const std::int64_t stride = table.PositionStride();
  ASSERT_GT(stride, 1);
  for (std::int64_t rank : {std::int64_t{0}, std::int64_t{1}, stride, stride + 1, std::int64_t{54321}}) {
    const BrowseRanks::Sample sample = table.AtOrAfter(rank);
    EXPECT_GE(sample.rank, rank);
    EXPECT_LT(sample.rank - rank, stride);
    EXPECT_EQ(sample.position, Row(sample.rank));
  }
  EXPECT_EQ(table.AtOrAfter(-5).rank, 0);
  const BrowseRanks::Sample last = table.AtOrAfter(99999);
  EXPECT_LE(last.rank, 99999) << "past the last kept row: the last one";
  EXPECT_GT(last.rank, 99999 - stride);
}

TEST(BrowseRanksTest, StartingOverOrGivingUpForgetsTheRows) {
  BrowseRanks table = Counted(10);
  table.Start("other");
  EXPECT_TRUE(table.Building());
  EXPECT_FALSE(table.Ready());
  EXPECT_EQ(table.Rows(), 0);
  EXPECT_FALSE(table.RankOf(Row(0)).has_value());
  table.Add(Row(0));
  table.Abandon();
  EXPECT_FALSE(table.Building());
  EXPECT_FALSE(table.Ready());
  EXPECT_EQ(table.Identity(), "other") << "not started again for the same rows";
  table.Add(Row(1));
  EXPECT_EQ(table.Rows(), 0) << "nothing is added unless building";
}

TEST(BrowseRanksTest, ThumbAndRankMeetAtTheSamePosition) {
  for (std::int64_t rows : {2, 3, 20, 99, 100, 101, 10000, 1000000}) {
    SCOPED_TRACE(rows);
    EXPECT_EQ(RankPercent(0, rows), 0);
    EXPECT_EQ(RankPercent(rows - 1, rows), 100);
    EXPECT_EQ(RankAtPercent(0, rows), 0);
    EXPECT_EQ(RankAtPercent(100, rows), rows - 1);
    for (std::int32_t p = 0; p <= 100; ++p) {
      const std::int64_t rank = RankAtPercent(p, rows);
      ASSERT_GE(rank, 0);
      ASSERT_LT(rank, rows);
      // With a row or more per percent the row asked for shows p again.
      if (rows > 100) EXPECT_EQ(RankPercent(rank, rows), p);
      EXPECT_GE(RankPercent(rank, rows), p);
    }
  }
  EXPECT_EQ(RankPercent(0, 1), 0);
  EXPECT_EQ(RankAtPercent(50, 1), 0);
  EXPECT_EQ(RankPercent(5, 3), 100) << "held to the rows there are";
  EXPECT_EQ(RankPercent(999999998, 1000000000), 99) << "rank times 100 is past 32 bits";
}

}  // namespace
}  // namespace marlinden
