// The browsers' own bookmark stores, read by the import beside bookmark
// HTML files and told apart from them by their content: a Chromium-family
// "Bookmarks" file (JSON) and a Firefox-family "places.sqlite" (an SQLite
// database). Each link gets the folder path the browser's own HTML export
// gives it. Thread: any, one reader per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "procedures/BookmarkReader.h"

namespace marlinden {

enum class BookmarkFileKind : std::uint8_t { Html, ChromiumJson, FirefoxPlaces };

// What the first bytes of a file show it to be: an SQLite database, a JSON
// object (its first character other than a space or a byte-order mark is
// '{'), else HTML.
BookmarkFileKind KindOfBookmarkFile(std::string_view head);

// A Chromium-family "Bookmarks" file, read whole when its last piece comes
// (such files are small): the bookmarks bar is a folder named as in the
// file (the browser's toolbar), the other and mobile bookmarks' children
// lie at the top. Dates are microseconds since 1601.
class ChromiumBookmarksReader : public BookmarkSource {
 public:
  void Read(std::string_view bytes, bool last) override;
  std::deque<BookmarkEntry>& Entries() override { return entries_; }
  std::int64_t Lines() const override { return lines_; }

 private:
  std::string text_;
  std::deque<BookmarkEntry> entries_;
  std::int64_t lines_ = 0;
};

// A Firefox-family "places.sqlite", read from a copy made when the reader
// is made, so a running browser's lock neither blocks the import nor is
// disturbed: the menu's children lie at the top, the toolbar, other and
// mobile bookmarks in folders named by their titles (the toolbar marked as
// the browser's), tags left out. Dates are microseconds since 1970. The
// links are handed out as the pieces of the file are read, in the order
// of the browser's menu.
class PlacesReader : public BookmarkSource {
 public:
  // Reads the database at path (of size bytes); a file that is not one
  // gives no link.
  PlacesReader(const std::string& path, std::int64_t size);
  void Read(std::string_view bytes, bool last) override;
  std::deque<BookmarkEntry>& Entries() override { return entries_; }
  std::int64_t Lines() const override { return lines_; }

 private:
  std::vector<BookmarkEntry> links_;
  std::size_t given_ = 0;
  std::int64_t size_ = 0;
  std::int64_t read_ = 0;
  std::deque<BookmarkEntry> entries_;
  std::int64_t lines_ = 0;
};

// A browser profile's store found in the user's home folder.
struct FoundStore {
  std::string browser;  // as users know it
  std::string profile;  // the profile's folder name
  std::string path;     // the store file
  bool operator==(const FoundStore&) const = default;
};

// The stores of the browser profiles in the usual places below home (the
// folders the Linux builds, snaps and flatpaks of the Chromium and Firefox
// families keep them in), browser by browser, each browser's profiles by
// name.
std::vector<FoundStore> FindBrowserStores(const std::string& home);

}  // namespace marlinden
