// Adds many bookmarks at once, each unless a bookmark with its address is
// stored already (letter case aside), with its notes, details, words and
// folder order record, as an insert through the bookmark file's manager
// adds one. Where the driver numbers many records in one step (a server)
// they go in one statement, one round trip for all, which also tells the
// addresses stored already; the few it could not store otherwise (a number
// another station took that moment) and every bookmark on a driver without
// it go one by one, looked up first. Call under the runtime lock, with the
// bookmark files open.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/BookmarkDetails.h"
#include "data/FileManager.h"

namespace marlinden {

struct NewBookmark {
  std::string url;
  std::string description;
  std::string notes;
  BookmarkDetails details;
};

enum class NewBookmarkResult : std::uint8_t {
  Added,
  Stored,      // its address was stored already: nothing added
  Unreadable,  // the bookmarks could not be read to look for its address
  NotAdded,    // it could not be stored, or not with its records (a transaction rolls it back)
};

// One result per bookmark, in order, up to and with the first failure,
// after which nothing more is tried.
std::vector<NewBookmarkResult> AddNewBookmarks(FileManager& store, const std::vector<NewBookmark>& bookmarks);

}  // namespace marlinden
