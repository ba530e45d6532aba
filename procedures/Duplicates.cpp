#include "procedures/Duplicates.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string_view>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "procedures/BatchProgress.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/text/SamePage.h"

namespace marlinden {

namespace {

std::uint64_t PageHash(std::string_view url) { return std::hash<std::string>{}(runtime::SamePageKey(url)); }

DuplicateBookmark FromRecord(runtime::RecordBuffer& web) {
  DuplicateBookmark bookmark;
  bookmark.number = web.Field(WebNum).Get().AsInteger();
  bookmark.url = std::string(web.Field(WebUrl).ClippedText());
  bookmark.description = std::string(web.Field(WebDescription).ClippedText());
  bookmark.added = ReadBookmarkDetails(bookmark.number).added;
  return bookmark;
}

bool Older(const DuplicateBookmark& a, const DuplicateBookmark& b) {
  const auto known = [](const DuplicateBookmark& x) { return x.added != 0; };
  if (known(a) != known(b)) return known(a);
  if (a.added != b.added) return a.added < b.added;
  return a.number < b.number;
}

// The first pass's share of the percentage: it reads every bookmark, the
// second only the few whose hashes meet.
constexpr std::int64_t kReadingShare = 90;
// A bookmark read again costs about as much as this many read in order: a
// fetch by number, and one of its details.
constexpr std::size_t kRereadCost = 8;

}  // namespace

void DuplicateFinder::Step() {
  switch (phase_) {
    case Phase::Start:
    case Phase::Reading:
      Read();
      break;
    case Phase::Sorting:
      Sort();
      break;
    case Phase::Comparing:
      Compare();
      break;
    case Phase::Done:
      break;
  }
}

void DuplicateFinder::Read() {
  runtime::DataFile& file = BookmarkStore();
  if (phase_ == Phase::Start) {
    if (file.SetOrder(WebNameKey) != runtime::NoError) {
      phase_ = Phase::Done;
      return;
    }
    expected_ = std::max<std::int64_t>(file.Records(), 0);
    seen_.reserve(static_cast<std::size_t>(expected_));
    phase_ = Phase::Reading;
  }
  for (std::size_t read = 0; read < perStep_; ++read) {
    if (file.Next() != runtime::NoError) {
      phase_ = Phase::Sorting;
      return;
    }
    runtime::RecordBuffer& web = file.Record();
    seen_.push_back({PageHash(web.Field(WebUrl).ClippedText()), static_cast<std::uint32_t>(seen_.size()),
                     static_cast<std::int32_t>(web.Field(WebNum).Get().AsInteger())});
  }
}

void DuplicateFinder::Sort() {
  std::sort(seen_.begin(), seen_.end(),
            [](const Seen& a, const Seen& b) { return a.hash != b.hash ? a.hash < b.hash : a.rank < b.rank; });
  for (std::size_t i = 0; i < seen_.size(); ++i) {
    const bool meets =
        (i > 0 && seen_[i - 1].hash == seen_[i].hash) || (i + 1 < seen_.size() && seen_[i + 1].hash == seen_[i].hash);
    if (meets) ++colliding_;
  }
  phase_ = colliding_ > 0 ? Phase::Comparing : Phase::Done;
}

void DuplicateFinder::Compare() {
  const std::size_t until = compared_ + std::max<std::size_t>(perStep_ / kRereadCost, 1);
  while (next_ < seen_.size() && compared_ < until) {
    std::size_t to = next_ + 1;
    while (to < seen_.size() && seen_[to].hash == seen_[next_].hash) ++to;
    if (to - next_ >= 2) {
      CompareRun(next_, to);
      compared_ += to - next_;
    }
    next_ = to;
  }
  if (next_ == seen_.size()) phase_ = Phase::Done;
}

void DuplicateFinder::CompareRun(std::size_t from, std::size_t to) {
  // Equal hashes, so most likely one page: the keys tell for certain.
  std::map<std::string, std::pair<std::size_t, DuplicateGroup>> pages;
  runtime::DataFile& file = BookmarkStore();
  for (std::size_t i = from; i < to; ++i) {
    if (!FetchBookmarkNumber(seen_[i].number)) continue;
    runtime::RecordBuffer& web = file.Record();
    auto& [rank, group] =
        pages.try_emplace(runtime::SamePageKey(web.Field(WebUrl).ClippedText()), seen_[i].rank, DuplicateGroup{})
            .first->second;
    group.push_back(FromRecord(web));
  }
  for (auto& [key, page] : pages) {
    if (page.second.size() < 2) continue;
    std::sort(page.second.begin(), page.second.end(), Older);
    groups_.emplace(page.first, std::move(page.second));
  }
}

int DuplicateFinder::Percent() const {
  switch (phase_) {
    case Phase::Start:
      return 0;
    case Phase::Reading:
      return static_cast<int>(std::min<std::int64_t>(
          static_cast<std::int64_t>(seen_.size()) * kReadingShare / std::max<std::int64_t>(expected_, 1),
          kReadingShare));
    case Phase::Sorting:
      return kReadingShare;
    case Phase::Comparing:
      return static_cast<int>(kReadingShare + static_cast<std::int64_t>(compared_) * (100 - kReadingShare) /
                                                  static_cast<std::int64_t>(std::max<std::size_t>(colliding_, 1)));
    case Phase::Done:
      break;
  }
  return 100;
}

std::vector<DuplicateGroup> DuplicateFinder::TakeGroups() {
  std::vector<DuplicateGroup> found;
  found.reserve(groups_.size());
  for (auto& [rank, group] : groups_) found.push_back(std::move(group));
  groups_.clear();
  return found;
}

std::vector<DuplicateGroup> FindDuplicateGroups(std::size_t bookmarksPerStep) {
  DuplicateFinder finder(bookmarksPerStep);
  int told = -1;
  while (!finder.Done()) {
    finder.Step();
    if (finder.Percent() != told) {
      told = finder.Percent();
      TellBatchProgress(kFindingDuplicatesLine, told);
    }
  }
  return finder.TakeGroups();
}

MergeOutcome MergeDuplicates(const DuplicateGroup& group, std::size_t keep) {
  MergeOutcome outcome;
  if (keep >= group.size()) return outcome;
  const DuplicateBookmark& kept = group[keep];
  runtime::RecordBuffer& web = BookmarkStore().Record();
  const std::size_t room = web.Layout().Memo(WebNotes).maxSize;
  // The others' notes, each read now: what is merged is what is stored.
  std::vector<std::pair<std::int64_t, std::string>> others;
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (i == keep) continue;
    if (!FetchBookmarkNumber(group[i].number) || web.Field(WebUrl).ClippedText() != group[i].url) {
      ++outcome.left;
      continue;
    }
    others.emplace_back(group[i].number, web.Memo(WebNotes));
  }
  if (!FetchBookmarkNumber(kept.number) || web.Field(WebUrl).ClippedText() != kept.url) {
    outcome.left += others.size();
    return outcome;
  }
  std::string notes = web.Memo(WebNotes);
  std::vector<std::int64_t> merged;
  for (const auto& [number, text] : others) {
    const std::string_view trimmed = runtime::Clip(text);
    if (trimmed.empty() || notes.find(trimmed) != std::string::npos) {
      merged.push_back(number);
      continue;
    }
    const std::string joined = notes.empty() ? std::string(trimmed) : notes + "\n\n" + std::string(trimmed);
    if (joined.size() > room) {
      ++outcome.left;
      continue;
    }
    notes = joined;
    merged.push_back(number);
  }
  if (notes != web.Memo(WebNotes)) {
    web.SetMemo(WebNotes, notes);
    if (BookmarkStoreRelations->Update(false) != SeverityOk) {
      outcome.failed = true;
      outcome.left += merged.size();
      return outcome;
    }
  }
  for (const std::int64_t number : merged) {
    if (!FetchBookmarkNumber(number)) {
      ++outcome.left;
      continue;
    }
    if (BookmarkStoreRelations->Delete(false) != SeverityOk) {
      outcome.failed = true;
      ++outcome.left;
      continue;
    }
    ++outcome.merged;
  }
  return outcome;
}

std::int64_t CountLookAlikes(std::int64_t highestBefore) {
  std::vector<std::uint64_t> before;
  std::vector<std::uint64_t> added;
  runtime::DataFile& file = BookmarkStore();
  if (file.SetOrder(WebNumKey) != runtime::NoError) return 0;
  while (file.Next() == runtime::NoError) {
    runtime::RecordBuffer& web = file.Record();
    const std::uint64_t hash = PageHash(web.Field(WebUrl).ClippedText());
    (web.Field(WebNum).Get().AsInteger() > highestBefore ? added : before).push_back(hash);
  }
  std::sort(before.begin(), before.end());
  return std::count_if(added.begin(), added.end(), [&before](std::uint64_t hash) {
    return std::binary_search(before.begin(), before.end(), hash);
  });
}

}  // namespace marlinden
