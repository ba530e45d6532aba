#include "app/NewBookmarks.h"

#include "app/BookmarkFileManager.h"
#include "app/DataFiles.h"
#include "errors/MessageIds.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {
namespace {

void SetUp(runtime::RecordBuffer& web, const NewBookmark& bookmark) {
  web.Clear();
  web.Field(WebUrl).SetText(bookmark.url);
  web.Field(WebDescription).SetText(bookmark.description);
  web.SetMemo(WebNotes, bookmark.notes);
}

// Looks for the address, then inserts through the manager.
NewBookmarkResult AddOne(FileManager& store, const NewBookmark& bookmark) {
  runtime::RecordBuffer& web = store.FILE->Record();
  web.Clear();
  web.Field(WebUrl).SetText(bookmark.url);
  (void)store.TryFetch(WebNameKey);
  const std::int32_t found = runtime::LastErrorCode();
  if (found == runtime::NoError) return NewBookmarkResult::Stored;
  if (found != runtime::RecordNotFound) return NewBookmarkResult::Unreadable;
  // A miss may leave the buffer anywhere: the record is set up again.
  SetUp(web, bookmark);
  DetailsForNextInsert(bookmark.details);
  return store.Insert() == SeverityOk ? NewBookmarkResult::Added : NewBookmarkResult::NotAdded;
}

std::vector<NewBookmarkResult> AddEachAlone(FileManager& store, const std::vector<NewBookmark>& bookmarks) {
  std::vector<NewBookmarkResult> results;
  for (const NewBookmark& bookmark : bookmarks) {
    results.push_back(AddOne(store, bookmark));
    if (results.back() == NewBookmarkResult::Unreadable || results.back() == NewBookmarkResult::NotAdded) break;
  }
  return results;
}

}  // namespace

std::vector<NewBookmarkResult> AddNewBookmarks(FileManager& store, const std::vector<NewBookmark>& bookmarks) {
  if (bookmarks.empty() || store.UseFile() != SeverityOk || !store.FILE->NumbersOnAdd()) {
    return AddEachAlone(store, bookmarks);
  }
  runtime::DataFile& file = *store.FILE;
  std::vector<runtime::RecordBuffer> rows;
  rows.reserve(bookmarks.size());
  for (const NewBookmark& bookmark : bookmarks) SetUp(rows.emplace_back(file.Layout()), bookmark);
  std::vector<runtime::DataFile::NumberedRow> added;
  if (file.AddNumberedRows(WebNumKey, rows, added) != runtime::NoError) {
    store.SetError(MsgInsertError);
    (void)store.HandleError();
    return {NewBookmarkResult::NotAdded};
  }
  std::vector<NewBookmarkResult> results;
  runtime::RecordBuffer& web = file.Record();
  for (std::size_t i = 0; i < bookmarks.size(); ++i) {
    if (added[i].keyStored) {
      results.push_back(NewBookmarkResult::Stored);
    } else if (added[i].number == 0) {
      results.push_back(AddOne(store, bookmarks[i]));
    } else {
      web.Assign(rows[i].View());
      web.SetMemo(WebNotes, rows[i].Memo(WebNotes));
      const NewBookmarkRecords written = WriteNewBookmarkRecords(web, bookmarks[i].details);
      const bool whole = written.details == SeverityOk && written.indexes == SeverityOk;
      results.push_back(whole ? NewBookmarkResult::Added : NewBookmarkResult::NotAdded);
    }
    if (results.back() == NewBookmarkResult::Unreadable || results.back() == NewBookmarkResult::NotAdded) break;
  }
  return results;
}

}  // namespace marlinden
