// The bookmark reader on crafted files: each encoding a browser writes, the
// folder tree with odd names, notes over several lines, dates, and the same
// links whatever the size of the pieces it is fed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procedures/BookmarkReader.h"

namespace marlinden {
namespace {

std::vector<BookmarkEntry> Read(std::string_view file, const std::string& encoding = "UTF-8",
                                std::size_t piece = 1 << 20, std::int64_t* lines = nullptr) {
  BookmarkReader reader(encoding);
  std::vector<BookmarkEntry> links;
  for (std::size_t at = 0; at == 0 || at < file.size(); at += piece) {
    reader.Read(file.substr(std::min(at, file.size()), piece), at + piece >= file.size());
    for (BookmarkEntry& link : reader.Entries()) links.push_back(std::move(link));
    reader.Entries().clear();
  }
  if (lines != nullptr) *lines = reader.Lines();
  return links;
}

// text (ASCII and Latin-1 letters only) as UTF-16 in either byte order.
std::string Utf16(std::string_view utf8, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto c = static_cast<unsigned char>(utf8[i]);
    unsigned unit = c;
    if (c == 0xC3) unit = 0xC0 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += little ? low : high;
    out += little ? high : low;
  }
  return out;
}

constexpr const char* kTree = R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks</H1>
<DL><p>
    <DT><A HREF="https://top.example/" ADD_DATE="1700000000">Top</A>
    <DT><H3 ADD_DATE="1" LAST_MODIFIED="2" PERSONAL_TOOLBAR_FOLDER="true">Bookmarks bar</H3>
    <DL><p>
        <DT><H3>a/b &amp; &lt;c&gt; &eacute;</H3>
        <DD>A folder's own description
        <DL><p>
            <DT><A HREF="https://deep.example/" ADD_DATE="1600000000" LAST_MODIFIED="1600000500">Deep</A>
            <DD>First line of the note
  second line &amp; more
            <DT><A HREF="https://plain.example/">Plain</A>
        </DL><p>
        <HR>
        <DT><A HREF="https://bar.example/" ADD_DATE="x12">Bar</A>
    </DL><p>
    <DT><H3>  Spaced
      name  </H3>
    <DL><p>
    </DL><p>
    <DT><A HREF="https://after.example/" ADD_DATE="99999999999">After</A><DD>note on one line
</DL><p>
)";

TEST(BookmarkReaderTest, GivesEachLinkItsFolderPathDatesAndNote) {
  const std::vector<BookmarkEntry> links = Read(kTree);
  ASSERT_EQ(links.size(), 5u);
  EXPECT_EQ(links[0].url, "https://top.example/");
  EXPECT_TRUE(links[0].folder.empty());
  EXPECT_EQ(links[0].added, 1700000000u);

  const std::vector<std::string> inner{"Bookmarks bar", "a/b & <c> \u00E9"};
  EXPECT_EQ(links[1].url, "https://deep.example/");
  EXPECT_EQ(links[1].folder, inner) << "each name kept whole, \"/\" and references included";
  EXPECT_EQ(links[1].toolbarDepth, 1u);
  EXPECT_EQ(links[1].added, 1600000000u);
  EXPECT_EQ(links[1].modified, 1600000500u);
  EXPECT_EQ(links[1].notes, "First line of the note\n  second line & more");

  EXPECT_EQ(links[2].folder, inner);
  EXPECT_EQ(links[2].notes, "") << "the folder's description is not a link's note";

  EXPECT_EQ(links[3].url, "https://bar.example/");
  EXPECT_EQ(links[3].folder, std::vector<std::string>{"Bookmarks bar"}) << "the inner list has ended";
  EXPECT_EQ(links[3].added, 0u) << "not a number";

  EXPECT_EQ(links[4].url, "https://after.example/");
  EXPECT_TRUE(links[4].folder.empty());
  EXPECT_EQ(links[4].toolbarDepth, 0u);
  EXPECT_EQ(links[4].added, 0u) << "past what a bookmark's date holds";
  EXPECT_EQ(links[4].notes, "note on one line");
}

TEST(BookmarkReaderTest, PiecesOfAnySizeGiveTheSameLinks) {
  std::int64_t wholeLines = 0;
  const std::vector<BookmarkEntry> whole = Read(kTree, "UTF-8", 1 << 20, &wholeLines);
  EXPECT_EQ(wholeLines, 25);
  for (const std::size_t piece : {1u, 2u, 3u, 5u, 64u}) {
    SCOPED_TRACE(piece);
    std::int64_t lines = 0;
    const std::vector<BookmarkEntry> links = Read(kTree, "UTF-8", piece, &lines);
    ASSERT_EQ(links.size(), whole.size());
    EXPECT_EQ(lines, wholeLines);
    for (std::size_t i = 0; i < links.size(); ++i) {
      EXPECT_EQ(links[i].url, whole[i].url);
      EXPECT_EQ(links[i].description, whole[i].description);
      EXPECT_EQ(links[i].notes, whole[i].notes);
      EXPECT_EQ(links[i].folder, whole[i].folder);
    }
  }
}

TEST(BookmarkReaderTest, ReadsEveryEncodingABrowserWrites) {
  const std::string utf8 =
      "<DL><p><DT><H3>Caf\xC3\xA9s</H3><DL><p><DT><A HREF=\"https://x.example/\">\xC3\x89t\xC3\xA9</A>"
      "</DL><p></DL>\n";
  const struct {
    const char* what;
    std::string bytes;
    std::string declared;  // what DeclaredEncoding finds
    std::string title;
  } cases[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, "UTF-8", "\xC3\x89t\xC3\xA9"},
      {"UTF-16, little endian", Utf16(utf8, true), "UTF-16LE", "\xC3\x89t\xC3\xA9"},
      {"UTF-16, big endian", Utf16(utf8, false), "UTF-16BE", "\xC3\x89t\xC3\xA9"},
      {"windows-1252 declared",
       "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n"
       "<DL><p><DT><A HREF=\"https://x.example/\">\xC9t\xE9 \x80 \x96</A></DL>",
       "WINDOWS-1252", "\xC3\x89t\xC3\xA9 \xE2\x82\xAC \xE2\x80\x93"},
      {"ISO-8859-1 declared, read as browsers do",
       "<meta charset='ISO-8859-1'><DL><p><DT><A HREF=\"https://x.example/\">\xC9t\xE9 \x80</A></DL>", "WINDOWS-1252",
       "\xC3\x89t\xC3\xA9 \xE2\x82\xAC"},
      {"KOI8-R declared", "<meta charset=koi8-r><DL><p><DT><A HREF=\"https://x.example/\">\xF0\xD2\xC9</A></DL>",
       "koi8-r", "\xD0\x9F\xD1\x80\xD0\xB8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DeclaredEncoding(c.bytes.substr(0, 200)), c.declared);
    for (const std::size_t piece : {1u, 3u, 4096u}) {
      const std::vector<BookmarkEntry> links = Read(c.bytes, c.declared, piece);
      ASSERT_EQ(links.size(), 1u);
      EXPECT_EQ(links[0].url, "https://x.example/");
      EXPECT_EQ(links[0].description, c.title);
    }
  }
  EXPECT_EQ(Read(utf8, "UTF-16LE").size(), 0u) << "the wrong encoding reads no link";
  EXPECT_EQ(DeclaredEncoding("<meta charset=\"x-no-such-charset\">"), "") << "unknown: decided as undeclared";
  EXPECT_EQ(DeclaredEncoding("<META CONTENT=\"text/html\">"), "");
}

TEST(BookmarkReaderTest, BytesThatAreNoCharacterBecomeReplacementCharacters) {
  const std::vector<BookmarkEntry> utf8 = Read("<DT><A HREF=\"https://x.example/\">a\xC3(b\xE2\x82</A>\n");
  ASSERT_EQ(utf8.size(), 1u);
  EXPECT_EQ(utf8[0].description, "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD") << "one for each byte";
  // An odd byte at the end of a UTF-16 file.
  const std::vector<BookmarkEntry> utf16 =
      Read(Utf16("<DT><A HREF=\"https://x.example/\">ab", true) + "c", "UTF-16LE", 3);
  ASSERT_EQ(utf16.size(), 1u);
  EXPECT_EQ(utf16[0].description, "ab\xEF\xBF\xBD");
}

TEST(BookmarkReaderTest, ChecksWholeFilesForUtf8PieceByPiece) {
  const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x80";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    Utf8Check check;
    check.Add(text.substr(0, cut));
    check.Add(text.substr(cut));
    EXPECT_TRUE(check.Valid()) << cut;
  }
  for (const char* bad : {"\xC3(", "\xE2\x82", "\xED\xA0\x80", "\xC0\xAF", "plain \xE9t\xE9"}) {
    Utf8Check check;
    check.Add(bad);
    EXPECT_FALSE(check.Valid()) << bad;
  }
}

}  // namespace
}  // namespace marlinden
