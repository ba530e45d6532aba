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

// The folder path on one line, as a list shows it: the names from the top
// down with " › " between them; empty for no folder.
std::string FolderText(const std::vector<std::string>& folder);

// The names of a folder path as a user types it on one line: split at
// "›" (as FolderText joins them) or ">", each name without the spaces
// around it, empty names dropped.
std::vector<std::string> ParseFolderText(std::string_view text);

// Now, in seconds since 1970 (UTC).
std::uint32_t SecondsNow();

// Whether records may be stored already under a bookmark number, or none
// can be (a fresh number, FreshNumbers.h): then a write adds without
// reading first.
enum class NumberRecords : std::uint8_t { MayExist, None };

// Writes the details of bookmark number, replacing a record a deleted
// bookmark of that number left. Quiet: SeverityNotify when it failed.
Severity WriteBookmarkDetails(std::int64_t number, const BookmarkDetails& details, NumberRecords stored);
// Deletes the details of bookmark number, if there are any (for a deletion
// made straight in the bookmark file). Quiet: SeverityNotify when it failed.
Severity DeleteBookmarkDetails(std::int64_t number);
// The details of bookmark number (none stored: no folder, dates 0).
BookmarkDetails ReadBookmarkDetails(std::int64_t number);

// The details the next insert of a bookmark on this thread stores instead
// of a bookmark added by hand's (no folder, added and modified now).
void DetailsForNextInsert(const BookmarkDetails& details);
// Taken by the bookmark file's manager when it inserts: what was set, and
// whether anything was.
bool TakeDetailsForInsert(BookmarkDetails& details);

// The folder the next save of a bookmark on this thread gives it (a change
// in place, or an insert with no details set): taken by that save. Reset
// drops one no save took.
void FolderForNextSave(std::vector<std::string> folder);
void ResetFolderForNextSave();

// The order two files of one transaction commit in. Each keyed file
// commits on its own, so a crash between the two commits must leave only
// details no bookmark reads: what adds bookmarks commits the details first,
// what deletes them the bookmarks first.
enum class CommitOrder : std::uint8_t { DetailsFirst, BookmarksFirst };

// Marks both files for the next transaction, in order.
Severity EnlistBookmarkFiles(CommitOrder order);

// One transaction over both files for a timer event's batch: begun when
// made (work goes on without one when another station keeps a file locked
// past the wait), committed by Commit, rolled back when dropped before.
class BookmarkFilesTransaction {
 public:
  explicit BookmarkFilesTransaction(CommitOrder order);
  ~BookmarkFilesTransaction();
  BookmarkFilesTransaction(const BookmarkFilesTransaction&) = delete;
  BookmarkFilesTransaction& operator=(const BookmarkFilesTransaction&) = delete;

  // False when the batch could not be committed (it was rolled back).
  [[nodiscard]] bool Commit();
  bool Active() const { return active_; }

 private:
  bool active_ = false;
};

// Relates the details file to the bookmarks: opened and closed with them,
// deleted with them.
void RelateBookmarkDetails(RelationManager& bookmarks, RelationManager& details);

// The bookmarks' relation manager: opening the bookmark file opens (and
// first creates) the details file too, so stations that start at once never
// race to create it later; a change in place also sets the bookmark's
// last-modified time, and its folder when one was set for the save.
class BookmarkRelationManager : public RelationManager {
 public:
  Severity Open(bool cascaded) override;
  Severity Update(bool canRecall) override;
};

}  // namespace marlinden
