// The ranks of a browse's rows in one order and filter: the view's rows are
// counted once, from the first on (in slices the browse reads). Every
// stride-th row is marked with its rank (by a hash of its position), and
// the position of every position-stride-th row is kept. Each stride starts
// at 1 and doubles whenever more than twice kRankMarks rows are marked (or
// kRankPositions positions kept), so a table of any size holds at most
// that many, and at least half that many once the rows are that many: a
// thumb position maps to a kept position less than a position stride past
// the rank it asks for, and a row that is not marked finds its rank by
// reading on to the next marked one (less than a stride of rows).
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace marlinden {

inline constexpr std::size_t kRankMarks = 16384;
inline constexpr std::size_t kRankPositions = 1024;

class BrowseRanks {
 public:
  // A kept row: its view position and its rank from 0.
  struct Sample {
    std::string position;
    std::int64_t rank = 0;
  };

  // Forgets what was counted and starts over for identity (what the rows
  // were read under: the order, its filter, the data's generation).
  void Start(std::string identity);
  // Forgets everything; neither building nor ready.
  void Clear();
  const std::string& Identity() const { return identity_; }
  bool Building() const { return building_; }
  bool Ready() const { return ready_; }

  // The next row of the view, in order, while building.
  void Add(const std::string& position);
  // Every row is counted: the table is ready.
  void Finish();
  // The rows could not be read: neither building nor ready, and not started
  // again for the same identity.
  void Abandon();
  // The last row added (empty before the first): where reading goes on.
  const std::string& LastPosition() const { return last_; }

  // Rows counted (the view's rows once ready).
  std::int64_t Rows() const { return rows_; }
  // Rows from one marked row to the next, and from one kept position to the
  // next.
  std::int64_t Stride() const { return stride_; }
  std::int64_t PositionStride() const { return positionStride_; }
  // The first kept row at or after rank (rank held to the rows there are),
  // else the last kept row. Requires: ready with at least one row.
  Sample AtOrAfter(std::int64_t rank) const;
  // The rank of a marked row; nothing for a row that is not marked. Requires:
  // ready.
  std::optional<std::int64_t> RankOf(const std::string& position) const;

 private:
  std::string identity_;
  bool building_ = false;
  bool ready_ = false;
  std::int64_t rows_ = 0;
  std::int64_t stride_ = 1;
  std::int64_t positionStride_ = 1;
  std::vector<std::uint64_t> marks_;  // the hashes of the rows at ranks 0, stride, 2 * stride, ...
  std::vector<std::string> kept_;     // the positions at ranks 0, position stride, ...
  std::vector<std::pair<std::uint64_t, std::int64_t>> ranks_;  // the marks with their ranks, by hash, once ready
  std::string last_;
};

// The thumb position (0-100) of the row at rank among rows, rounded down:
// the first row at 0, the last at 100.
std::int32_t RankPercent(std::int64_t rank, std::int64_t rows);
// The rank a thumb at p (0-100) asks for among rows, rounded up, so that
// the row there (or one a little further on) shows the thumb at p again.
std::int64_t RankAtPercent(std::int32_t p, std::int64_t rows);

}  // namespace marlinden
