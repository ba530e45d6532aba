#include "window/BrowseRanks.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

namespace marlinden {

namespace {

std::uint64_t Mark(const std::string& position) { return std::hash<std::string_view>{}(position); }

// Keeps entries 0, 2, 4, ... of values.
template <typename T>
void KeepEveryOther(std::vector<T>& values) {
  std::size_t to = 1;
  for (std::size_t from = 2; from < values.size(); from += 2) values[to++] = std::move(values[from]);
  values.resize(std::min(to, values.size()));
}

}  // namespace

void BrowseRanks::Start(std::string identity) {
  Clear();
  identity_ = std::move(identity);
  building_ = true;
}

void BrowseRanks::Clear() {
  identity_.clear();
  building_ = ready_ = false;
  rows_ = 0;
  stride_ = 1;
  positionStride_ = 1;
  marks_.clear();
  kept_.clear();
  ranks_.clear();
  last_.clear();
}

void BrowseRanks::Add(const std::string& position) {
  if (!building_) return;
  // What goes leaves the rest at multiples of the doubled stride.
  if (rows_ % stride_ == 0) {
    marks_.push_back(Mark(position));
    if (marks_.size() > 2 * kRankMarks) {
      KeepEveryOther(marks_);
      stride_ *= 2;
    }
  }
  if (rows_ % positionStride_ == 0) {
    kept_.push_back(position);
    if (kept_.size() > 2 * kRankPositions) {
      KeepEveryOther(kept_);
      positionStride_ *= 2;
    }
  }
  last_ = position;
  ++rows_;
}

void BrowseRanks::Finish() {
  if (!building_) return;
  building_ = false;
  ready_ = true;
  ranks_.clear();
  ranks_.reserve(marks_.size());
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    ranks_.emplace_back(marks_[i], static_cast<std::int64_t>(i) * stride_);
  }
  std::sort(ranks_.begin(), ranks_.end());
  marks_.clear();
  marks_.shrink_to_fit();
}

void BrowseRanks::Abandon() {
  const std::string identity = std::move(identity_);
  Clear();
  identity_ = identity;
}

BrowseRanks::Sample BrowseRanks::AtOrAfter(std::int64_t rank) const {
  if (kept_.empty()) return {};
  const std::int64_t held = std::clamp<std::int64_t>(rank, 0, rows_ - 1);
  const std::int64_t step = positionStride_;
  const auto index = std::min<std::int64_t>((held + step - 1) / step, static_cast<std::int64_t>(kept_.size()) - 1);
  return {kept_[static_cast<std::size_t>(index)], index * step};
}

std::optional<std::int64_t> BrowseRanks::RankOf(const std::string& position) const {
  const std::uint64_t mark = Mark(position);
  const auto found = std::lower_bound(ranks_.begin(), ranks_.end(), std::pair<std::uint64_t, std::int64_t>{mark, 0});
  if (found == ranks_.end() || found->first != mark) return std::nullopt;
  return found->second;
}

std::int32_t RankPercent(std::int64_t rank, std::int64_t rows) {
  if (rows <= 1) return 0;
  const std::int64_t held = std::clamp<std::int64_t>(rank, 0, rows - 1);
  return static_cast<std::int32_t>(held * 100 / (rows - 1));
}

std::int64_t RankAtPercent(std::int32_t p, std::int64_t rows) {
  if (rows <= 1) return 0;
  const std::int64_t held = std::clamp<std::int32_t>(p, 0, 100);
  return (held * (rows - 1) + 99) / 100;
}

}  // namespace marlinden
