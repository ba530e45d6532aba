// Bookmarks stored before a test runs a procedure: through the program's
// own bookmark file manager (auto-numbered, as the main window's insert
// does), or written straight into a keyed file of a given layout while the
// program is not running.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "runtime/files/DataFile.h"

namespace testing_support {

struct StoredBookmark {
  std::string url;
  std::string description;
  std::vector<std::string> folder = {};  // none: as added by hand
  std::string notes = {};
};

// Adds each bookmark through the program's bookmark file manager and closes
// the file again; any failure fails the test.
// Thread: a runtime thread after start-up, holding the runtime lock.
inline void StoreBookmarks(const std::vector<StoredBookmark>& bookmarks) {
  using namespace marlinden;
  ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
  for (const StoredBookmark& bookmark : bookmarks) {
    ASSERT_EQ(BookmarkStoreManager->PrimeRecord(false), SeverityOk);
    BookmarkStore().Record().Field(WebUrl).SetText(bookmark.url);
    BookmarkStore().Record().Field(WebDescription).SetText(bookmark.description);
    BookmarkStore().Record().SetMemo(WebNotes, bookmark.notes);
    if (!bookmark.folder.empty()) DetailsForNextInsert({bookmark.folder, 0, 1, 1});
    ASSERT_EQ(BookmarkStoreManager->Insert(), SeverityOk);
  }
  ASSERT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
}

// Creates the keyed file MARLINDEN of layout in the current folder and
// writes urls into it, numbered from 1, without the program.
inline void WriteBookmarkFile(runtime::RecordLayout layout, const std::vector<std::string>& urls) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, std::move(layout), "MARLINDEN");
  ASSERT_EQ(file->Create(), 0);
  ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), 0);
  std::int64_t number = 0;
  for (const std::string& url : urls) {
    file->Record().Clear();
    file->Record().Field(marlinden::WebNum).Set(runtime::Value::Integer(++number));
    file->Record().Field(marlinden::WebUrl).SetText(url);
    ASSERT_EQ(file->Add(), 0);
  }
  (void)file->Close();
}

}  // namespace testing_support
