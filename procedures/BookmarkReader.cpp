#include "procedures/BookmarkReader.h"

#include <iconv.h>
#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace marlinden {

namespace {

struct NamedReference {
  std::string_view name;  // without '&' and ';'
  std::string_view text;  // its characters, UTF-8
};

constexpr NamedReference kNamedReferences[] = {
#include "HtmlEntityTable.inc"
};

// The longest reference worth looking at: the longest name of the table
// with '&' and ';'.
constexpr std::size_t kLongestReference = 34;
// Numeric references longer than this (from '&' to ';') are left as text.
constexpr std::size_t kLongestNumeric = 12;

// How much text of one description, folder name or note is kept while
// reading; only the start of each is stored.
constexpr std::size_t kKeptText = 16 * 1024;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z'); }

void AppendUtf8(std::string& out, std::uint32_t cp) {
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

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 character at text[at]: 0 when none starts
// there, and -1 when text ends inside one that may still be valid.
int Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return -1;
    const unsigned char next = byte(at + i);
    if ((next & 0xC0) != 0x80) return 0;
    // The second byte rules out overlong forms, surrogates and code points
    // above U+10FFFF.
    if (i == 1 && ((lead == 0xE0 && next < 0xA0) || (lead == 0xED && next > 0x9F) || (lead == 0xF0 && next < 0x90) ||
                   (lead == 0xF4 && next > 0x8F))) {
      return 0;
    }
  }
  return static_cast<int>(length);
}

// A character the parser must not meet raw: NUL becomes U+FFFD, the other
// control characters but tab and the line ends spaces.
void AppendCleanByte(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte == 0) {
    out += kReplacement;
  } else if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) {
    out += ' ';
  } else {
    out += c;
  }
}

// Whether label (a META charset) names Latin-1 or ASCII, which browsers
// read as windows-1252.
bool ReadsAsWindows1252(std::string_view label) {
  for (const char* name : {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "us-ascii", "ascii", "windows-1252",
                           "cp1252", "x-cp1252", "ansi_x3.4-1968", "iso-ir-100", "cp819"}) {
    if (label == name) return true;
  }
  return false;
}

// The charset a META tag in head declares, lower case ("" for none).
std::string MetaCharset(std::string_view head) {
  std::string lower(head);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  for (std::size_t meta = lower.find("<meta"); meta != std::string::npos; meta = lower.find("<meta", meta + 5)) {
    const std::size_t end = lower.find('>', meta);
    if (end == std::string::npos) break;
    const std::string_view tag = std::string_view(lower).substr(meta, end - meta);
    const std::size_t charset = tag.find("charset");
    if (charset == std::string_view::npos) continue;
    std::size_t at = charset + 7;
    while (at < tag.size() && IsAsciiSpace(tag[at])) ++at;
    if (at >= tag.size() || tag[at] != '=') continue;
    ++at;
    while (at < tag.size() && (IsAsciiSpace(tag[at]) || tag[at] == '"' || tag[at] == '\'')) ++at;
    std::size_t stop = at;
    while (stop < tag.size() && !IsAsciiSpace(tag[stop]) && tag[stop] != '"' && tag[stop] != '\'' && tag[stop] != ';' &&
           tag[stop] != '/') {
      ++stop;
    }
    if (stop > at) return std::string(tag.substr(at, stop - at));
  }
  return {};
}

// Turns the file's bytes into UTF-8 fit for the parser, piece by piece: a
// character cut by the end of a piece waits for the next one; bytes that
// are no character of the encoding become U+FFFD.
class Decoder {
 public:
  explicit Decoder(const std::string& encoding) {
    std::string upper(encoding);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    if (upper == "UTF-8" || upper == "UTF8") return;
    unit_ = upper.starts_with("UTF-16") ? 2 : 1;
    converter_ = iconv_open("UTF-8", upper.c_str());
    if (converter_ == reinterpret_cast<iconv_t>(-1)) {
      unit_ = 1;
      converter_ = iconv_open("UTF-8", "WINDOWS-1252");
    }
    bom_ = upper == "UTF-16LE" ? "\xFF\xFE" : upper == "UTF-16BE" ? "\xFE\xFF" : "";
  }
  ~Decoder() {
    if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Appends the text of bytes to out.
  void Decode(std::string_view bytes, bool last, std::string& out) {
    std::string input = std::move(carry_);
    carry_.clear();
    input.append(bytes);
    std::string_view rest = input;
    if (first_) {
      // The byte-order mark is no text.
      const std::string_view bom = converter_ == reinterpret_cast<iconv_t>(-1) ? "\xEF\xBB\xBF" : bom_;
      if (!last && rest.size() < bom.size() && bom.starts_with(rest)) {
        carry_ = rest;
        return;
      }
      if (!bom.empty() && rest.starts_with(bom)) rest.remove_prefix(bom.size());
      first_ = false;
    }
    if (converter_ == reinterpret_cast<iconv_t>(-1)) {
      DecodeUtf8(rest, last, out);
    } else {
      Convert(rest, last, out);
    }
  }

 private:
  void DecodeUtf8(std::string_view text, bool last, std::string& out) {
    std::size_t at = 0;
    while (at < text.size()) {
      const int length = Utf8Length(text, at);
      if (length < 0 && !last) {
        carry_ = text.substr(at);
        return;
      }
      if (length <= 0) {
        out += kReplacement;
        ++at;
      } else if (length == 1) {
        AppendCleanByte(out, text[at++]);
      } else {
        out.append(text.substr(at, static_cast<std::size_t>(length)));
        at += static_cast<std::size_t>(length);
      }
    }
  }

  void Convert(std::string_view bytes, bool last, std::string& out) {
    std::string converted(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t done = 0;
    while (inLeft > 0) {
      char* to = converted.data() + done;
      std::size_t outLeft = converted.size() - done;
      const std::size_t result = iconv(converter_, &in, &inLeft, &to, &outLeft);
      done = converted.size() - outLeft;
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        converted.resize(converted.size() * 2);
      } else if (errno == EINVAL && !last) {
        carry_.assign(in, inLeft);
        break;
      } else {
        // Not a character of the encoding, or cut by the end of the file.
        const std::size_t skip = std::min(unit_, inLeft);
        in += skip;
        inLeft -= skip;
        if (converted.size() - done < kReplacement.size()) converted.resize(converted.size() * 2);
        converted.replace(done, kReplacement.size(), kReplacement);
        done += kReplacement.size();
      }
    }
    out.reserve(out.size() + done);
    for (std::size_t i = 0; i < done; ++i) AppendCleanByte(out, converted[i]);
  }

  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);  // none: UTF-8, checked here
  std::size_t unit_ = 1;                               // bytes skipped past a bad one
  std::string_view bom_;
  std::string carry_;
  bool first_ = true;
};

// The named reference name ("" when the table has none).
std::string_view NamedText(std::string_view name) {
  const auto* end = std::end(kNamedReferences);
  const auto* found =
      std::lower_bound(std::begin(kNamedReferences), end, name,
                       [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
  return found != end && found->name == name ? found->text : std::string_view();
}

// Appends characters for the parser: one that would read as markup stays a
// numeric reference, which the parser resolves as text.
void AppendForParser(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') {
      out += "&#" + std::to_string(static_cast<int>(c)) + ";";
    } else {
      AppendCleanByte(out, c);
    }
  }
}

// Rewrites the character references of UTF-8 text for the parser, piece by
// piece: named ones of HTML's whole table and numeric ones become their
// characters, and any other '&' stays a plain '&'. So the parser's own,
// shorter table never decides.
class ReferenceRewriter {
 public:
  void Rewrite(std::string_view text, bool last, std::string& out) {
    std::string input = std::move(carry_);
    carry_.clear();
    input.append(text);
    std::size_t from = 0;
    for (std::size_t amp = input.find('&'); amp != std::string::npos; amp = input.find('&', from)) {
      out.append(input, from, amp - from);
      std::size_t used = 0;
      const Outcome outcome = Reference(std::string_view(input).substr(amp), last, out, used);
      if (outcome == Outcome::Cut) {
        carry_ = input.substr(amp);
        return;
      }
      if (outcome == Outcome::Literal) {
        out += "&amp;";
        used = 1;
      }
      from = amp + used;
    }
    out.append(input, from);
  }

 private:
  enum class Outcome : std::uint8_t { Resolved, Literal, Cut };

  // The reference at the start of text ('&').
  static Outcome Reference(std::string_view text, bool last, std::string& out, std::size_t& used) {
    const std::size_t semicolon = text.find(';', 1);
    const std::size_t limit = std::min(text.size(), kLongestReference);
    std::size_t end = 1;
    const bool numeric = text.size() > 1 && text[1] == '#';
    if (numeric) end = 2;
    const bool hex = numeric && text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
    if (hex) end = 3;
    while (end < limit && IsAlnum(text[end])) ++end;
    if (end == text.size() && !last) return Outcome::Cut;
    if (semicolon != end) return Outcome::Literal;
    used = end + 1;
    if (!numeric) {
      const std::string_view characters = NamedText(text.substr(1, end - 1));
      if (characters.empty()) return Outcome::Literal;
      AppendForParser(out, characters);
      return Outcome::Resolved;
    }
    const std::string_view digits = text.substr(hex ? 3 : 2, end - (hex ? 3 : 2));
    if (digits.empty() || used > kLongestNumeric) return Outcome::Literal;
    std::uint32_t cp = 0;
    for (char c : digits) {
      const char lower = LowerAscii(c);
      std::uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (hex && lower >= 'a' && lower <= 'f') {
        digit = static_cast<std::uint32_t>(lower - 'a' + 10);
      } else {
        return Outcome::Literal;
      }
      cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + digit, 0x110000);
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += kReplacement;
      return Outcome::Resolved;
    }
    std::string characters;
    AppendUtf8(characters, cp);
    AppendForParser(out, characters);
    return Outcome::Resolved;
  }

  std::string carry_;  // a reference cut by the end of a piece
};

// text on one line: every run of spaces, tabs and line ends one space, none
// at either end.
std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  bool space = false;
  for (char c : text) {
    if (IsAsciiSpace(c)) {
      space = !line.empty();
      continue;
    }
    if (space) line += ' ';
    space = false;
    line += c;
  }
  return line;
}

// A note's text: line ends made "\n", spaces at either end dropped.
std::string NoteText(std::string_view text) {
  std::string note;
  note.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      note += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      note += text[i];
    }
  }
  const std::size_t first = note.find_first_not_of(" \t\n\f");
  if (first == std::string::npos) return {};
  const std::size_t last = note.find_last_not_of(" \t\n\f");
  return note.substr(first, last - first + 1);
}

// An attribute value as a date: whole seconds since 1970; 0 when it is not
// one a bookmark keeps.
std::uint32_t DateValue(std::string_view value) {
  std::uint64_t seconds = 0;
  if (value.empty() || value.size() > 10) return 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return seconds > UINT32_MAX ? 0 : static_cast<std::uint32_t>(seconds);
}

// An address or a text the parser gave: control characters as spaces.
std::string AttributeText(std::string_view value) {
  std::string text(value);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

void IgnoreComplaint(void*, const char*, ...) {}

void AppendKept(std::string& text, const xmlChar* characters, int length) {
  if (text.size() >= kKeptText) return;
  text.append(reinterpret_cast<const char*>(characters),
              std::min<std::size_t>(static_cast<std::size_t>(length), kKeptText - text.size()));
}

}  // namespace

// Holds the parse: the decoding steps, and libxml2's HTML parser with the
// state its callbacks build the links from. The parser reads on a thread of
// its own, through a read callback that hands it each piece and then waits
// for the next; the caller waits meanwhile, so the two never run at once.
// (libxml2's push parser keeps the whole input; the reading one keeps only
// what it has not parsed yet.)
class BookmarkReader::Parser {
 public:
  explicit Parser(const std::string& encoding) : decoder_(encoding) {
    xmlInitParser();
    worker_ = std::thread([this] { Parse(); });
  }
  ~Parser() {
    {
      std::unique_lock lock(mutex_);
      // A reader dropped before its last piece stops the parse.
      stopped_ = true;
      changed_.notify_all();
    }
    worker_.join();
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  void Read(std::string_view bytes, bool last) {
    decoded_.clear();
    decoder_.Decode(bytes, last, decoded_);
    CountLines(decoded_, last);
    next_.clear();
    rewriter_.Rewrite(decoded_, last, next_);
    if (next_.empty() && !last) return;
    std::unique_lock lock(mutex_);
    if (ended_) return;
    rewritten_.swap(next_);
    inputAt_ = 0;
    last_ = last;
    hungry_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return hungry_ || ended_; });
  }

  std::deque<BookmarkEntry> entries;
  std::int64_t lines = 0;

 private:
  // Where the text the parser gives goes.
  enum class Text : std::uint8_t { None, Link, Folder, Note };

  struct Level {
    std::optional<std::string> folder;  // none: a list that no folder heading opened
    bool toolbar = false;
  };

  void CountLines(std::string_view text, bool last) {
    const auto breaks = std::count(text.begin(), text.end(), '\n');
    lines += breaks;
    if (!text.empty()) lineOpen_ = text.back() != '\n';
    if (last && lineOpen_) {
      ++lines;
      lineOpen_ = false;
    }
  }

  static std::string_view Attribute(const xmlChar** attributes, std::string_view wanted, bool& present) {
    present = false;
    if (attributes == nullptr) return {};
    for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
      if (wanted == reinterpret_cast<const char*>(attributes[i])) {
        present = true;
        return attributes[i + 1] != nullptr ? reinterpret_cast<const char*>(attributes[i + 1]) : "";
      }
    }
    return {};
  }

  void Start(std::string_view name, const xmlChar** attributes) {
    if (name == "dd") {
      EndText();
      if (held_) text_ = Text::Note;
      return;
    }
    if (name != "a" && name != "h3" && name != "dl" && name != "dt" && name != "hr") return;
    EndText();
    GiveOut();
    if (name == "dl") {
      levels_.push_back(Level{std::move(heading_), headingToolbar_});
      heading_.reset();
      return;
    }
    heading_.reset();
    if (name == "h3") {
      bool present = false;
      const std::string_view toolbar = Attribute(attributes, "personal_toolbar_folder", present);
      headingToolbar_ = present && (toolbar == "true" || toolbar == "TRUE" || toolbar == "True");
      buffer_.clear();
      text_ = Text::Folder;
    } else if (name == "a") {
      bool present = false;
      const std::string_view href = Attribute(attributes, "href", present);
      if (!present) return;
      link_ = BookmarkEntry{};
      link_.url = AttributeText(href);
      link_.added = DateValue(Attribute(attributes, "add_date", present));
      link_.modified = DateValue(Attribute(attributes, "last_modified", present));
      for (const Level& level : levels_) {
        if (!level.folder) continue;
        link_.folder.push_back(*level.folder);
        if (level.toolbar && link_.toolbarDepth == 0) link_.toolbarDepth = link_.folder.size();
      }
      buffer_.clear();
      text_ = Text::Link;
    }
  }

  void End(std::string_view name) {
    if (name == "a" || name == "h3" || name == "dd") {
      EndText();
    } else if (name == "dl") {
      EndText();
      GiveOut();
      if (!levels_.empty()) levels_.pop_back();
    }
  }

  void Characters(const xmlChar* characters, int length) {
    if (text_ != Text::None) AppendKept(buffer_, characters, length);
  }

  // Ends the text being read: a link's is complete (and the link waits for
  // a note), a heading's names the next list, a note joins its link.
  void EndText() {
    switch (text_) {
      case Text::None:
        return;
      case Text::Link:
        link_.description = OneLine(buffer_);
        held_ = std::move(link_);
        break;
      case Text::Folder:
        heading_ = OneLine(buffer_);
        break;
      case Text::Note:
        if (held_) held_->notes = NoteText(buffer_);
        break;
    }
    text_ = Text::None;
    buffer_.clear();
  }

  void GiveOut() {
    if (held_) entries.push_back(std::move(*held_));
    held_.reset();
  }

  // The parser thread's whole run.
  void Parse() {
    htmlSAXHandler sax{};
    sax.startElement = [](void* self, const xmlChar* name, const xmlChar** attributes) {
      static_cast<Parser*>(self)->Start(reinterpret_cast<const char*>(name), attributes);
    };
    sax.endElement = [](void* self, const xmlChar* name) {
      static_cast<Parser*>(self)->End(reinterpret_cast<const char*>(name));
    };
    sax.characters = [](void* self, const xmlChar* characters, int length) {
      static_cast<Parser*>(self)->Characters(characters, length);
    };
    sax.cdataBlock = sax.characters;
    // The parser's complaints about a browser's loose markup mean nothing here.
    sax.error = IgnoreComplaint;
    sax.warning = IgnoreComplaint;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    if (context != nullptr) {
      std::memcpy(context->sax, &sax, sizeof sax);
      context->userData = this;
      // The text comes decoded: a META tag's charset must not decode it again.
      (void)htmlCtxtReadIO(
          context,
          [](void* self, char* buffer, int length) { return static_cast<Parser*>(self)->Give(buffer, length); },
          nullptr, this, nullptr, "UTF-8",
          HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_IGNORE_ENC | HTML_PARSE_NODEFDTD);
      htmlFreeParserCtxt(context);
    }
    EndText();
    GiveOut();
    std::unique_lock lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }

  // The parser's read callback: the piece's next bytes, 0 at the end of the
  // file, -1 when the reader is dropped.
  int Give(char* buffer, int length) {
    std::unique_lock lock(mutex_);
    if (inputAt_ == rewritten_.size() && !last_) {
      hungry_ = true;
      changed_.notify_all();
    }
    changed_.wait(lock, [this] { return stopped_ || inputAt_ < rewritten_.size() || last_; });
    if (stopped_) return -1;
    const std::size_t size = std::min(static_cast<std::size_t>(length), rewritten_.size() - inputAt_);
    std::memcpy(buffer, rewritten_.data() + inputAt_, size);
    inputAt_ += size;
    return static_cast<int>(size);
  }

  Decoder decoder_;
  ReferenceRewriter rewriter_;
  std::string decoded_, next_;
  bool lineOpen_ = false;

  // Shared with the parser thread, under mutex_.
  std::string rewritten_;  // the piece the parser reads
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t inputAt_ = 0;  // what of rewritten_ the parser has read
  bool last_ = false;        // rewritten_ ends the file
  bool hungry_ = false;      // the parser has read all of rewritten_ and waits
  bool stopped_ = false;     // the reader is being dropped
  bool ended_ = false;       // the parse is over
  std::thread worker_;

  std::vector<Level> levels_;
  std::optional<std::string> heading_;  // the last folder heading, until its list opens
  bool headingToolbar_ = false;
  Text text_ = Text::None;
  std::string buffer_;
  BookmarkEntry link_;
  std::optional<BookmarkEntry> held_;  // the last link, until its note is complete
};

std::string DeclaredEncoding(std::string_view head) {
  if (head.starts_with("\xEF\xBB\xBF")) return "UTF-8";
  if (head.starts_with("\xFF\xFE")) return "UTF-16LE";
  if (head.starts_with("\xFE\xFF")) return "UTF-16BE";
  const std::string charset = MetaCharset(head);
  if (charset.empty()) return {};
  if (ReadsAsWindows1252(charset)) return "WINDOWS-1252";
  // A file that reads as ASCII declaring UTF-16 is UTF-8, as browsers take it.
  if (charset.starts_with("utf-16") || charset == "utf8" || charset == "unicode-1-1-utf-8") return "UTF-8";
  // A charset iconv does not know declares nothing.
  const iconv_t converter = iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return {};
  iconv_close(converter);
  return charset;
}

void Utf8Check::Add(std::string_view bytes) {
  if (!valid_) return;
  const std::string joined = std::move(carry_) + std::string(bytes);
  carry_.clear();
  std::size_t at = 0;
  while (at < joined.size()) {
    if (static_cast<unsigned char>(joined[at]) < 0x80) {
      ++at;
      continue;
    }
    const int length = Utf8Length(joined, at);
    if (length < 0) {
      carry_ = joined.substr(at);
      return;
    }
    if (length == 0) {
      valid_ = false;
      return;
    }
    at += static_cast<std::size_t>(length);
  }
}

BookmarkReader::BookmarkReader(const std::string& encoding) : parser_(std::make_unique<Parser>(encoding)) {}

BookmarkReader::~BookmarkReader() = default;

void BookmarkReader::Read(std::string_view bytes, bool last) { parser_->Read(bytes, last); }

std::deque<BookmarkEntry>& BookmarkReader::Entries() { return parser_->entries; }

std::int64_t BookmarkReader::Lines() const { return parser_->lines; }

}  // namespace marlinden
