// The bookmark HTML the import reads and the export writes: finding the
// links of a line, decoding the entities of their texts, escaping texts for
// the file, and the export's lines. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace marlinden {

struct BookmarkLink {
  std::string url;          // the anchor's HREF value, decoded
  std::string description;  // the anchor's text, decoded
};

// The next anchor with an HREF attribute in line at or after `at`: the
// attribute may stand anywhere in the tag, in any letter case, quoted or
// not; the text runs to the closing anchor tag (any letter case) or the end
// of the line. On success `at` is left after the anchor; false (and `at` at
// the end) when no further anchor has one.
bool NextAnchor(std::string_view line, std::size_t& at, BookmarkLink& link);

// text with its character references decoded (named ones the bookmark files
// use, decimal and hexadecimal), made valid UTF-8 (a byte that starts no
// valid character becomes U+FFFD) and one line (control characters become
// spaces).
std::string DecodeHtmlText(std::string_view text);

// Escapes for the export: a title's & < > and an address's & ".
std::string EscapeTitle(std::string_view text);
std::string EscapeAddress(std::string_view text);

// The export's fixed lines and its line per bookmark.
inline constexpr const char* kExportHeader[] = {
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">",
    "<TITLE>Bookmarks</TITLE>",
    "<H1>Bookmarks</H1>",
    "<DL><p>",
};
inline constexpr const char* kExportFooter = "</DL><p>";
std::string ExportLine(std::string_view url, std::string_view description);

}  // namespace marlinden
