// The bookmark file's manager: a bookmark is only stored with an address.
// A blank one is refused with a message, so the row being edited stays open
// (and never collides with the blank record an insert reserves in advance).
// Every insert also writes the bookmark's details record (BookmarkDetails.h):
// those set for it, else those of a bookmark added by hand; and its words
// (SearchIndex.h) and folder order record (FolderOrder.h), unread before
// for a fresh number (FreshNumbers.h).
// Call under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/BookmarkDetails.h"
#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/RecordBuffer.h"

namespace marlinden {

// The message of a blank address, added to the error manager by
// InitBookmarkStoreManager.
inline constexpr std::uint16_t kMsgBlankUrl = 1001;

// Adds the bookmark file's own messages to errors.
void AddBookmarkMessages(ErrorManager& errors);

// What writing the records of a bookmark just added came to.
struct NewBookmarkRecords {
  Severity details = SeverityOk;  // its details record
  Severity indexes = SeverityOk;  // its words and folder order record
};
// Writes the records that go with the bookmark just added in web (the
// bookmark file's buffer, or one of its layout): details, words and order.
NewBookmarkRecords WriteNewBookmarkRecords(runtime::RecordBuffer& web, const BookmarkDetails& details);

class BookmarkFileManager : public FileManager {
 public:
  Severity ValidateField(std::size_t fieldNumber) override;
  // SeverityNotify when the details set for the insert or the bookmark's
  // words could not be stored (the bookmark then was: the caller's
  // transaction decides); a bookmark added by hand keeps its insert
  // whatever happens to its dates.
  Severity Insert() override;
};

}  // namespace marlinden
