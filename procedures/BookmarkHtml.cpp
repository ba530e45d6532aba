#include "procedures/BookmarkHtml.h"

#include <algorithm>
#include <cstdint>

namespace marlinden {

namespace {

enum class Escaping : std::uint8_t { Title, Address, Text };

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether c at text[at] must be escaped in text read as HTML: '&' before
// what could be a reference, '<' before what could be a tag.
bool MayReadAsMarkup(std::string_view text, std::size_t at) {
  const char next = at + 1 < text.size() ? text[at + 1] : ' ';
  if (text[at] == '&') return IsAsciiAlnum(next) || next == '#';
  return IsAsciiAlnum(next) || next == '/' || next == '!' || next == '?';
}

// Appends text to out with the characters that would end or break a title
// (& < >) or an address (& ") replaced by their entities, or for a note or
// a folder name only the '&' and '<' that would read as markup (so no line
// outgrows an export record); runs without one are copied whole.
void AppendEscaped(std::string& out, std::string_view text, Escaping escaping) {
  const auto special = [escaping, text](std::size_t at) {
    const char c = text[at];
    switch (escaping) {
      case Escaping::Title:
        return c == '&' || c == '<' || c == '>';
      case Escaping::Address:
        return c == '&' || c == '"';
      case Escaping::Text:
        return (c == '&' || c == '<') && MayReadAsMarkup(text, at);
    }
    return false;
  };
  std::size_t from = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    // Most characters are none of the four: one comparison tells.
    if (static_cast<unsigned char>(c) > '>' || !special(at)) continue;
    out.append(text.data() + from, at - from);
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&quot;";
    from = at + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

}  // namespace

std::string EscapeTitle(std::string_view text) {
  std::string out;
  AppendEscaped(out, text, Escaping::Title);
  return out;
}

std::string EscapeAddress(std::string_view text) {
  std::string out;
  AppendEscaped(out, text, Escaping::Address);
  return out;
}

namespace {

// Folders deeper than this are indented no further.
constexpr std::size_t kDeepestIndent = 8;

std::string Indent(std::size_t depth) { return std::string(4 * (std::min(depth, kDeepestIndent) + 1), ' '); }

}  // namespace

std::string ExportLine(std::string_view url, std::string_view description, std::uint32_t added, std::uint32_t modified,
                       std::size_t depth) {
  std::string line = Indent(depth);
  line.reserve(line.size() + url.size() + description.size() + 64);
  line += "<DT><A HREF=\"";
  AppendEscaped(line, url, Escaping::Address);
  line += '"';
  if (added != 0) line += " ADD_DATE=\"" + std::to_string(added) + '"';
  if (modified != 0) line += " LAST_MODIFIED=\"" + std::to_string(modified) + '"';
  line += '>';
  AppendEscaped(line, description, Escaping::Title);
  line += "</A>";
  return line;
}

std::vector<std::string> ExportNoteLines(std::string_view notes, std::size_t depth) {
  std::vector<std::string> lines;
  if (notes.empty()) return lines;
  std::string line = Indent(depth) + "<DD>";
  for (;;) {
    const std::size_t end = notes.find('\n');
    AppendEscaped(line, notes.substr(0, end), Escaping::Text);
    lines.push_back(std::move(line));
    if (end == std::string_view::npos) break;
    notes.remove_prefix(end + 1);
    line.clear();
  }
  return lines;
}

TreePath MakeTreePath(const std::vector<std::string>& folder, std::size_t toolbarDepth) {
  TreePath path;
  path.reserve(folder.size());
  for (std::size_t i = 0; i < folder.size(); ++i) path.push_back({folder[i], i + 1 == toolbarDepth});
  return path;
}

bool FolderTreeWriter::Enter(const TreePath& path) {
  std::size_t common = 0;
  while (common < open_.size() && common < path.size() && open_[common] == path[common]) ++common;
  while (open_.size() > common) {
    open_.pop_back();
    if (!write_(Indent(open_.size()) + "</DL><p>")) return false;
  }
  while (open_.size() < path.size()) {
    const std::size_t depth = open_.size();
    open_.push_back(path[depth]);
    std::string heading = Indent(depth) + "<DT><H3";
    if (path[depth].toolbar) heading += " PERSONAL_TOOLBAR_FOLDER=\"true\"";
    heading += '>';
    AppendEscaped(heading, path[depth].name, Escaping::Text);
    heading += "</H3>";
    if (!write_(heading) || !write_(Indent(depth) + "<DL><p>")) return false;
  }
  return true;
}

}  // namespace marlinden
