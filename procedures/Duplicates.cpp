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
#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/text/SamePage.h"

namespace marlinden {

namespace {

std::uint64_t PageHash(std::string_view url) { return std::hash<std::string>{}(runtime::SamePageKey(url)); }

// A bookmark of the first pass: its page's hash, its place in address
// order and its number.
struct Seen {
  std::uint64_t hash = 0;
  std::size_t rank = 0;
  std::int64_t number = 0;
};

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

}  // namespace

std::vector<DuplicateGroup> FindDuplicateGroups() {
  std::vector<Seen> seen;
  runtime::DataFile& file = BookmarkStore();
  if (file.SetOrder(WebNameKey) != runtime::NoError) return {};
  while (file.Next() == runtime::NoError) {
    runtime::RecordBuffer& web = file.Record();
    seen.push_back({PageHash(web.Field(WebUrl).ClippedText()), seen.size(), web.Field(WebNum).Get().AsInteger()});
  }
  std::sort(seen.begin(), seen.end(),
            [](const Seen& a, const Seen& b) { return a.hash != b.hash ? a.hash < b.hash : a.rank < b.rank; });
  // Groups by the rank of their first bookmark in address order.
  std::map<std::size_t, DuplicateGroup> groups;
  for (std::size_t from = 0; from < seen.size();) {
    std::size_t to = from + 1;
    while (to < seen.size() && seen[to].hash == seen[from].hash) ++to;
    if (to - from >= 2) {
      // Equal hashes, so most likely one page: the keys tell for certain.
      std::map<std::string, std::pair<std::size_t, DuplicateGroup>> pages;
      for (std::size_t i = from; i < to; ++i) {
        if (!FetchBookmarkNumber(seen[i].number)) continue;
        runtime::RecordBuffer& web = file.Record();
        auto& [rank, group] =
            pages.try_emplace(runtime::SamePageKey(web.Field(WebUrl).ClippedText()), seen[i].rank, DuplicateGroup{})
                .first->second;
        group.push_back(FromRecord(web));
      }
      for (auto& [key, page] : pages) {
        if (page.second.size() < 2) continue;
        std::sort(page.second.begin(), page.second.end(), Older);
        groups.emplace(page.first, std::move(page.second));
      }
    }
    from = to;
  }
  std::vector<DuplicateGroup> found;
  found.reserve(groups.size());
  for (auto& [rank, group] : groups) found.push_back(std::move(group));
  return found;
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
