#include "procedures/BookmarkHtml.h"

#include <cstdint>

namespace marlinden {

namespace {

enum class Escaping : std::uint8_t { Title, Address };

// Appends text to out with the characters that would end or break a title
// (& < >) or an address (& ") replaced by their entities; runs without one
// are copied whole.
void AppendEscaped(std::string& out, std::string_view text, Escaping escaping) {
  const bool title = escaping == Escaping::Title;
  std::size_t from = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char* entity = nullptr;
    switch (text[at]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        if (title) entity = "&lt;";
        break;
      case '>':
        if (title) entity = "&gt;";
        break;
      case '"':
        if (!title) entity = "&quot;";
        break;
      default:
        break;
    }
    if (entity == nullptr) continue;
    out.append(text.substr(from, at - from)).append(entity);
    from = at + 1;
  }
  out.append(text.substr(from));
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

std::string ExportLine(std::string_view url, std::string_view description) {
  std::string line;
  line.reserve(url.size() + description.size() + 32);
  line += "<DT><A HREF=\"";
  AppendEscaped(line, url, Escaping::Address);
  line += "\">";
  AppendEscaped(line, description, Escaping::Title);
  line += "</A>";
  return line;
}

}  // namespace marlinden
