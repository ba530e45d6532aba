#include "mail/MailEncoding.h"

#include "runtime/text/FixedText.h"

namespace marlinden::mail {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kQuotedLineLimit = 76;
// Raw bytes per encoded word: 45 bytes make 60 base64 characters, so a word
// with its 12 characters of framing stays within 75.
constexpr std::size_t kEncodedWordBytes = 45;

bool IsControl(unsigned char c) { return c < 32 || c == 127; }

bool IsPrintableAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 32 || c > 126) return false;
  }
  return true;
}

std::string Escaped(unsigned char c) { return {'=', kHex[c >> 4], kHex[c & 15]}; }

// One line (without its end) quoted-printable, with soft breaks.
void AppendQuotedLine(std::string& out, std::string_view line) {
  std::size_t column = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const bool last = i + 1 == line.size();
    std::string token;
    if ((c == ' ' || c == '\t') && !last) {
      token = std::string(1, static_cast<char>(c));
    } else if (c >= 33 && c <= 126 && c != '=') {
      token = std::string(1, static_cast<char>(c));
    } else {
      token = Escaped(c);
    }
    // A soft break ('=' at the end) must fit within the line limit too.
    const std::size_t room = last ? kQuotedLineLimit : kQuotedLineLimit - 1;
    if (column + token.size() > room) {
      out += "=\r\n";
      column = 0;
    }
    out += token;
    column += token.size();
  }
}

std::string EncodedWords(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::string_view piece = runtime::CutToWidth(text, kEncodedWordBytes);
    // A piece that is not valid UTF-8 at its start could cut to nothing.
    const std::size_t take = piece.empty() ? std::min(text.size(), kEncodedWordBytes) : piece.size();
    if (!out.empty()) out += "\r\n ";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    out += "=?UTF-8?B?" + Base64({bytes, take}) + "?=";
    text.remove_prefix(take);
  }
  return out;
}

}  // namespace

std::string QuotedPrintable(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    const bool hasEnd = end != std::string_view::npos;
    if (!hasEnd) end = text.size();
    AppendQuotedLine(out, text.substr(start, end - start));
    if (!hasEnd) break;
    out += "\r\n";
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    if (start == text.size()) break;
  }
  return out;
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += kBase64Alphabet[(v >> 6) & 63];
    out += kBase64Alphabet[v & 63];
  }
  if (i + 1 == bytes.size()) {
    const std::uint32_t v = bytes[i] << 16;
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += kBase64Alphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::uint64_t Base64LinesSize(std::uint64_t bytes) {
  const std::uint64_t fullLines = bytes / kBase64LineInput;
  const std::uint64_t rest = bytes % kBase64LineInput;
  return fullLines * 78 + (rest == 0 ? 0 : (rest + 2) / 3 * 4 + 2);
}

std::string OneLine(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r' || c == '\n') {
      out += ' ';
    } else if (!IsControl(c)) {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string HeaderText(std::string_view text) {
  const std::string line = OneLine(text);
  if (IsPrintableAscii(line) && line.find("=?") == std::string::npos) return line;
  return EncodedWords(line);
}

std::string DisplayName(std::string_view name) {
  const std::string line = OneLine(name);
  if (line.empty()) return {};
  if (!IsPrintableAscii(line) || line.find("=?") != std::string::npos) return EncodedWords(line);
  std::string quoted = "\"";
  for (char c : line) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string FileNameParameter(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  std::string out = "UTF-8''";
  bool any = false;
  for (unsigned char c : name) {
    if (IsControl(c)) continue;
    any = true;
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return any ? out : "UTF-8''attachment";
}

bool IsAcceptableAddress(std::string_view address) {
  if (address.empty()) return false;
  for (unsigned char c : address) {
    if (IsControl(c) || c == ' ' || c == '<' || c == '>' || c == ',') return false;
  }
  return true;
}

}  // namespace marlinden::mail
