// The import's reader of bookmark HTML files, fed a file piece by piece:
// decodes the file's encoding to UTF-8, resolves HTML's character
// references, and parses the markup with libxml2's HTML parser (on a
// thread of its own, handed one piece at a time), giving each link with its
// folder path, dates and <DD> note. Nothing but the piece being read and the
// link being built is held, so a file of any size reads in bounded memory.
// Thread: any, one reader per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marlinden {

// One link of the file.
struct BookmarkEntry {
  std::string url;                  // the anchor's HREF value
  std::string description;          // its text, inner tags dropped, on one line
  std::string notes;                // the <DD> text after it; lines kept, ends trimmed
  std::vector<std::string> folder;  // the folders it lies in, from the top down
  std::size_t toolbarDepth = 0;     // 1 + index in folder of the browser's toolbar folder; 0 = none
  std::uint32_t added = 0;          // ADD_DATE, seconds since 1970; 0 = unknown
  std::uint32_t modified = 0;       // LAST_MODIFIED, likewise
};

// The encoding the first bytes of a file show: a byte-order mark (UTF-8,
// UTF-16LE, UTF-16BE), else the charset its META tag declares (labels
// meaning Latin-1 or ASCII read as windows-1252, as browsers read them);
// empty when neither says or iconv does not know the charset, and the
// caller decides with Utf8Check.
std::string DeclaredEncoding(std::string_view head);

// Whether bytes fed piece by piece are valid UTF-8 as a whole.
class Utf8Check {
 public:
  void Add(std::string_view bytes);
  bool Valid() const { return valid_ && carry_.empty(); }

 private:
  bool valid_ = true;
  std::string carry_;  // a character cut by the end of a piece
};

// What the import reads its links from, fed the file piece by piece.
class BookmarkSource {
 public:
  virtual ~BookmarkSource() = default;
  // Reads the next bytes of the file; last: they end it, and what is still
  // open is given out too.
  virtual void Read(std::string_view bytes, bool last) = 0;
  // The links read so far and not yet taken.
  virtual std::deque<BookmarkEntry>& Entries() = 0;
  // Lines (or, for a database, records) read so far.
  virtual std::int64_t Lines() const = 0;
};

// The reader of bookmark HTML files.
class BookmarkReader : public BookmarkSource {
 public:
  // encoding as DeclaredEncoding gives it, or "UTF-8" / "WINDOWS-1252" for
  // an undeclared file; an encoding iconv does not know reads as
  // windows-1252.
  explicit BookmarkReader(const std::string& encoding);
  ~BookmarkReader() override;
  BookmarkReader(const BookmarkReader&) = delete;
  BookmarkReader& operator=(const BookmarkReader&) = delete;

  // Reads the next bytes of the file; last: they end it, and what is still
  // open (a link without its closing tag, a note) is given out too.
  void Read(std::string_view bytes, bool last) override;
  // A link stays back until what follows shows its note is complete.
  std::deque<BookmarkEntry>& Entries() override;
  // A last line without its line end counts.
  std::int64_t Lines() const override;

  class Parser;

 private:
  std::unique_ptr<Parser> parser_;
};

}  // namespace marlinden
