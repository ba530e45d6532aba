// The bookmark HTML the export writes: escaping texts for the file, and the
// export's lines (BookmarkReader reads the files). Pure functions; any
// thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace marlinden {

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
