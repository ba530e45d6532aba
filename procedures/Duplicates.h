// Bookmarks that name one page under different spellings (SamePageKey):
// finding their groups in a collection of any size, and merging a group
// into the one bookmark kept. Call under the runtime lock with the bookmark
// files open (BookmarkStoreRelations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marlinden {

struct DuplicateBookmark {
  std::int64_t number = 0;
  std::string url;
  std::string description;
  std::uint32_t added = 0;  // seconds since 1970; 0 = unknown
};

// Two or more bookmarks of one page, the oldest first (by date added, an
// unknown date after every known one, then by number).
using DuplicateGroup = std::vector<DuplicateBookmark>;

// Every group of the collection, in the address order of their first
// bookmarks. The first pass keeps a hash and a number per bookmark (16
// bytes), so only bookmarks whose hashes meet are read again.
std::vector<DuplicateGroup> FindDuplicateGroups();

// What a merge did: the bookmarks deleted, and those left because their
// notes do not fit beside the kept one's (or they changed meanwhile).
struct MergeOutcome {
  std::size_t merged = 0;
  std::size_t left = 0;
  bool failed = false;  // a change could not be saved (the managers said why)
};

// Keeps group[keep], appends the notes of the others it does not hold yet
// (each after an empty line, whole or not at all), keeps its own folder,
// and deletes the others with their details. The kept bookmark is saved
// before any other is deleted, so a failure part-way loses nothing.
MergeOutcome MergeDuplicates(const DuplicateGroup& group, std::size_t keep);

// How many bookmarks numbered above highestBefore (an import's) name a page
// that a bookmark numbered up to it names under another spelling. Keeps a
// hash per bookmark.
std::int64_t CountLookAlikes(std::int64_t highestBefore);

}  // namespace marlinden
