// What the details file (BookmarkDetailsStore, DataFiles.h) keeps of a
// bookmark: its folder path, the browser's toolbar folder among them and
// its dates; how they are read and written, and the bookmarks' relation
// manager, which dates a change in place. Call under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/RelationManager.h"
#include "errors/Severity.h"

namespace marlinden {

struct BookmarkDetails {
  std::vector<std::string> folder;  // the folder names from the top down; none: no folder
  std::size_t toolbarDepth = 0;     // 1 + index in folder of the browser's toolbar folder; 0 = none
  std::uint32_t added = 0;          // seconds since 1970; 0 = unknown
  std::uint32_t modified = 0;

  bool operator==(const BookmarkDetails&) const = default;
};

// The stored form of a folder path: each name followed by a line end (a
// name holds no line end), as many whole names from the top as fit in
// kFolderPathWidth bytes. DecodeFolderPath gives the names back.
std::string EncodeFolderPath(const std::vector<std::string>& folder);
std::vector<std::string> DecodeFolderPath(std::string_view stored);

// Now, in seconds since 1970 (UTC).
std::uint32_t SecondsNow();

// Writes the details of bookmark number, replacing a record a deleted
// bookmark of that number left. Quiet: SeverityNotify when it failed.
Severity WriteBookmarkDetails(std::int64_t number, const BookmarkDetails& details);
// The details of bookmark number (none stored: no folder, dates 0).
BookmarkDetails ReadBookmarkDetails(std::int64_t number);

// The details the next insert of a bookmark on this thread stores instead
// of a bookmark added by hand's (no folder, added and modified now).
void DetailsForNextInsert(const BookmarkDetails& details);
// Taken by the bookmark file's manager when it inserts: what was set, and
// whether anything was.
bool TakeDetailsForInsert(BookmarkDetails& details);

// Marks the details file and then the bookmark file for the next
// transaction: committed in that order, a crash between the two commits
// leaves only details no bookmark reads.
Severity EnlistBookmarkFiles();

// Relates the details file to the bookmarks: opened and closed with them,
// deleted with them.
void RelateBookmarkDetails(RelationManager& bookmarks, RelationManager& details);

// The bookmarks' relation manager: a change in place also sets the
// bookmark's last-modified time.
class BookmarkRelationManager : public RelationManager {
 public:
  Severity Update(bool canRecall) override;
};

}  // namespace marlinden
