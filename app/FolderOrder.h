// The folder order of the bookmarks, kept in the folder order file
// (FolderOrderStore, DataFiles.h): for each bookmark the text it sorts by,
// made of its folder path and description, so the list's folder tab reads
// the bookmarks by folder and then description without sorting them.
//
// The order is a tree's: the bookmarks without a folder first, then each
// folder with its own bookmarks before its subfolders, a folder's whole
// subtree together. Names and descriptions sort by their words, folded and
// without accents (as the find matches them), then by their spelling, so
// two names that differ only in letter case or punctuation are still two
// folders.
//
// Whatever adds or changes a bookmark writes its record in the same
// transaction as the bookmark; a deleted bookmark's record goes with it.
// A collection made before the file has no records: it counts as
// incomplete until the index build (SearchIndex.h) has gone through every
// bookmark. Call under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/BookmarkDetails.h"
#include "data/RelationManager.h"
#include "errors/Severity.h"

namespace marlinden {

// The text a bookmark with folder and description sorts by, cut to
// kFolderOrderWidth bytes at a whole character.
std::string FolderOrderText(const std::vector<std::string>& folder, std::string_view description);

// Writes the order record of bookmark number. Quiet: SeverityNotify when it failed.
Severity WriteFolderOrder(std::int64_t number, const std::vector<std::string>& folder, std::string_view description,
                          NumberRecords stored);
// The same for the bookmark in the bookmark file's buffer, with the folder
// stored for its number.
Severity WriteBufferedFolderOrder();
// Deletes the order record of bookmark number, if there is one (for a
// deletion made straight in the bookmark file). Quiet.
Severity DeleteFolderOrder(std::int64_t number);
// Reads the order record of bookmark number into the order file's buffer,
// current in its file; false when there is none.
bool FetchFolderOrder(std::int64_t number);

// Whether every bookmark has its order record: marked complete and with at
// least as many records as bookmarks. A collection without bookmarks and
// without a record is marked complete here.
bool FolderOrderComplete();
// Marks the order complete (the build has gone through every bookmark).
Severity MarkFolderOrderComplete();
// Whether a record read from the order file is a bookmark's (and not the mark).
bool IsBookmarkOrderRecord();

// Relates the order file to the bookmarks: opened and closed with them, a
// bookmark's record deleted with it.
void RelateFolderOrder(RelationManager& bookmarks, RelationManager& order);

}  // namespace marlinden
