#include "window/BrowseRanks.h"

#include <algorithm>
#include <utility>

namespace marlinden {

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
  kept_.clear();
  ranks_.clear();
  last_.clear();
}

void BrowseRanks::Add(const std::string& position) {
  if (!building_) return;
  if (rows_ % stride_ == 0) {
    kept_.push_back(position);
    if (kept_.size() > 2 * kRankSamples) {
      // Every other one goes: the rest sit at multiples of the doubled stride.
      std::size_t to = 1;
      for (std::size_t from = 2; from < kept_.size(); from += 2) kept_[to++] = std::move(kept_[from]);
      kept_.resize(to);
      stride_ *= 2;
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
  ranks_.reserve(kept_.size());
  for (std::size_t i = 0; i < kept_.size(); ++i) ranks_.emplace(kept_[i], static_cast<std::int64_t>(i) * stride_);
}

void BrowseRanks::Abandon() {
  const std::string identity = std::move(identity_);
  Clear();
  identity_ = identity;
}

BrowseRanks::Sample BrowseRanks::AtOrAfter(std::int64_t rank) const {
  if (kept_.empty()) return {};
  const std::int64_t held = std::clamp<std::int64_t>(rank, 0, rows_ - 1);
  const auto index =
      std::min<std::int64_t>((held + stride_ - 1) / stride_, static_cast<std::int64_t>(kept_.size()) - 1);
  return {kept_[static_cast<std::size_t>(index)], index * stride_};
}

std::optional<std::int64_t> BrowseRanks::RankOf(const std::string& position) const {
  const auto found = ranks_.find(position);
  if (found == ranks_.end()) return std::nullopt;
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
