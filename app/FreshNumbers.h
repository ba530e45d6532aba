// Bookmark numbers no details, words or folder-order record is stored
// under yet: those above the highest bookmark number, when none of those
// three files holds a record above it (a bookmark deleted without its
// records would leave one, and an add over it would fail). An insert given
// such a number adds its records without reading for old ones first, so on
// a server their adds go with the commit: no round trip per bookmark.
// Checked once per batch, inside its transaction; inserts outside a check
// read as before. Call under the runtime lock, on the inserting thread.
#pragma once

#include <cstdint>
#include <optional>

namespace marlinden {

class FreshBookmarkNumbers {
 public:
  // Checks the files (open) and, when they allow it, marks the numbers
  // above the highest fresh for this thread's inserts until destroyed.
  FreshBookmarkNumbers();
  ~FreshBookmarkNumbers();
  FreshBookmarkNumbers(const FreshBookmarkNumbers&) = delete;
  FreshBookmarkNumbers& operator=(const FreshBookmarkNumbers&) = delete;
};

// Whether number is fresh under the check in force on this thread.
bool IsFreshBookmarkNumber(std::int64_t number);

// The highest bookmark number stored (0 for none); nothing when the file
// could not be read.
std::optional<std::int64_t> HighestBookmarkNumber();

}  // namespace marlinden
