#include "procedures/BookmarkHtml.h"

#include <cstdint>

namespace marlinden {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool StartsNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
  if (at + prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[at + i]) != prefix[i]) return false;
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// The closing anchor tag ("</a" then space or ">") at or after from.
std::size_t FindClosingAnchor(std::string_view line, std::size_t from) {
  for (std::size_t at = line.find('<', from); at != std::string_view::npos; at = line.find('<', at + 1)) {
    if (StartsNoCase(line, at, "</a") && (at + 3 == line.size() || line[at + 3] == '>' || IsSpace(line[at + 3]))) {
      return at;
    }
  }
  return std::string_view::npos;
}

// Reads the tag whose name ends before `at` up to its '>': the HREF value
// when there is one. Returns the position after '>' (npos when the tag does
// not end on the line).
std::size_t ReadTag(std::string_view line, std::size_t at, std::string_view& href, bool& hasHref) {
  hasHref = false;
  while (at < line.size()) {
    while (at < line.size() && IsSpace(line[at])) ++at;
    if (at >= line.size()) break;
    if (line[at] == '>') return at + 1;
    const std::size_t nameStart = at;
    while (at < line.size() && !IsSpace(line[at]) && line[at] != '=' && line[at] != '>') ++at;
    const std::string_view name = line.substr(nameStart, at - nameStart);
    while (at < line.size() && IsSpace(line[at])) ++at;
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    while (at < line.size() && IsSpace(line[at])) ++at;
    std::string_view value;
    if (at < line.size() && (line[at] == '"' || line[at] == '\'')) {
      const char quote = line[at];
      const std::size_t close = line.find(quote, at + 1);
      const std::size_t end = close == std::string_view::npos ? line.size() : close;
      value = line.substr(at + 1, end - at - 1);
      at = close == std::string_view::npos ? line.size() : close + 1;
    } else {
      const std::size_t valueStart = at;
      while (at < line.size() && !IsSpace(line[at]) && line[at] != '>') ++at;
      value = line.substr(valueStart, at - valueStart);
    }
    if (!hasHref && name.size() == 4 && StartsNoCase(name, 0, "href")) {
      href = value;
      hasHref = true;
    }
  }
  return std::string_view::npos;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The length of the valid UTF-8 character at text[at], 0 when none starts
// there.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

// The character reference at text[at] ('&'): appends its character and
// returns its length, 0 when it is not one.
std::size_t DecodeReference(std::string_view text, std::size_t at, std::string& out) {
  const std::size_t semicolon = text.find(';', at + 1);
  if (semicolon == std::string_view::npos || semicolon - at > 12) return 0;
  const std::string_view name = text.substr(at + 1, semicolon - at - 1);
  if (name.empty()) return 0;
  if (name[0] == '#') {
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    std::uint32_t cp = 0;
    for (char c : digits) {
      std::uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (hex && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f') {
        digit = static_cast<std::uint32_t>(LowerAscii(c) - 'a' + 10);
      } else {
        return 0;
      }
      cp = cp * (hex ? 16 : 10) + digit;
      if (cp > 0x10FFFF) cp = 0x110000;  // stays invalid without overflowing
    }
    AppendUtf8(out, cp);
    return semicolon - at + 1;
  }
  static constexpr struct {
    std::string_view name;
    std::uint32_t cp;
  } kNamed[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
  for (const auto& entity : kNamed) {
    if (name == entity.name) {
      AppendUtf8(out, entity.cp);
      return semicolon - at + 1;
    }
  }
  return 0;
}

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

bool NextAnchor(std::string_view line, std::size_t& at, BookmarkLink& link) {
  while (at < line.size()) {
    const std::size_t open = line.find('<', at);
    if (open == std::string_view::npos) break;
    if (!StartsNoCase(line, open, "<a") || open + 2 >= line.size() || !IsSpace(line[open + 2])) {
      at = open + 1;
      continue;
    }
    std::string_view href;
    bool hasHref = false;
    const std::size_t textStart = ReadTag(line, open + 2, href, hasHref);
    if (textStart == std::string_view::npos) break;
    const std::size_t close = FindClosingAnchor(line, textStart);
    const std::size_t textEnd = close == std::string_view::npos ? line.size() : close;
    if (close == std::string_view::npos) {
      at = line.size();
    } else {
      const std::size_t gt = line.find('>', close);
      at = gt == std::string_view::npos ? line.size() : gt + 1;
    }
    if (!hasHref) continue;
    link.url = DecodeHtmlText(href);
    link.description = DecodeHtmlText(line.substr(textStart, textEnd - textStart));
    return true;
  }
  at = line.size();
  return false;
}

std::string DecodeHtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '&') {
      if (const std::size_t used = DecodeReference(text, at, out)) {
        at += used;
        continue;
      }
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      out += ' ';
      ++at;
      continue;
    }
    const std::size_t length = Utf8Length(text, at);
    if (length == 0) {
      AppendUtf8(out, 0xFFFD);
      ++at;
      continue;
    }
    out.append(text.substr(at, length));
    at += length;
  }
  // A decoded reference may have produced a control character.
  for (char& ch : out) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
  }
  return out;
}

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
