// The bookmark HTML the export writes: escaping texts for the file, the
// export's lines, and the folder tree around them, nested as browsers write
// it (BookmarkReader reads the files). Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marlinden {

// Escapes for the export: a title's & < > and an address's & ".
std::string EscapeTitle(std::string_view text);
std::string EscapeAddress(std::string_view text);

// The export's fixed lines.
inline constexpr const char* kExportHeader[] = {
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">",
    "<TITLE>Bookmarks</TITLE>",
    "<H1>Bookmarks</H1>",
    "<DL><p>",
};
inline constexpr const char* kExportFooter = "</DL><p>";
// A bookmark's line, with its dates (0: not written), indented by depth
// folders.
std::string ExportLine(std::string_view url, std::string_view description, std::uint32_t added, std::uint32_t modified,
                       std::size_t depth);
// A bookmark's note as the lines that follow its own: "<DD>" and the note's
// first line, then each further line as it stands (escaped); none for an
// empty note.
std::vector<std::string> ExportNoteLines(std::string_view notes, std::size_t depth);

// One folder of a path: its name, and whether it is a browser's toolbar
// (a toolbar folder and another of the same name are two folders). Ordered
// toolbar first, then by name.
struct TreeFolder {
  std::string name;
  bool toolbar = false;
  bool operator==(const TreeFolder&) const = default;
  bool operator<(const TreeFolder& other) const { return toolbar != other.toolbar ? toolbar : name < other.name; }
};
using TreePath = std::vector<TreeFolder>;

// A stored folder path with its toolbar folder (toolbarDepth as in
// BookmarkDetails) as a path of the tree.
TreePath MakeTreePath(const std::vector<std::string>& folder, std::size_t toolbarDepth);

// Writes the folder lines around groups of bookmark lines handed over in
// the order of their paths (compared from the top down): each folder as
// "<DT><H3>name</H3>" and its "<DL><p>" ... "</DL><p>", nested, a toolbar
// folder marked PERSONAL_TOOLBAR_FOLDER.
class FolderTreeWriter {
 public:
  // write takes each line; false ends the writing (a failed write).
  explicit FolderTreeWriter(std::function<bool(const std::string&)> write) : write_(std::move(write)) {}

  // Closes and opens folders so the next lines lie in path, which comes
  // after (or is) the one entered before. False when a write failed.
  bool Enter(const TreePath& path);
  // Closes every folder still open.
  bool Finish() { return Enter({}); }

 private:
  std::function<bool(const std::string&)> write_;
  TreePath open_;
};

}  // namespace marlinden
