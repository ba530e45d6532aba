// The bookmark HTML reader, the character references and the export's
// escaping, over the shapes real browser files take.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "procedures/BookmarkHtml.h"
#include "procedures/BookmarkReader.h"
#include "procedures/CleanUp.h"
#include "procedures/ExportBookmarks.h"

namespace marlinden {
namespace {

// Every link of a whole UTF-8 file, fed in pieces of piece bytes.
std::vector<BookmarkEntry> Read(std::string_view file, std::size_t piece = 7) {
  BookmarkReader reader("UTF-8");
  std::vector<BookmarkEntry> links;
  for (std::size_t at = 0; at == 0 || at < file.size(); at += piece) {
    reader.Read(file.substr(std::min(at, file.size()), piece), at + piece >= file.size());
    for (BookmarkEntry& link : reader.Entries()) links.push_back(std::move(link));
    reader.Entries().clear();
  }
  return links;
}

std::vector<std::pair<std::string, std::string>> Links(std::string_view line) {
  std::vector<std::pair<std::string, std::string>> links;
  for (const BookmarkEntry& link : Read(line)) links.emplace_back(link.url, link.description);
  return links;
}

// The description one title gives.
std::string Title(std::string_view text) {
  const std::vector<BookmarkEntry> links = Read("<DT><A HREF=\"x\">" + std::string(text) + "</A>\n");
  return links.size() == 1 ? links[0].description : "(no link)";
}

TEST(BookmarkHtmlTest, FindsEveryAnchorWithItsAddressAndText) {
  using Links_ = std::vector<std::pair<std::string, std::string>>;
  const struct {
    std::string line;
    Links_ links;
  } cases[] = {
      {R"(<DT><A HREF="https://a.example/" ADD_DATE="1">Alpha</A>)", {{"https://a.example/", "Alpha"}}},
      {R"(<dt><a add_date="1" icon="data:x" href="http://b.example/x">Beta</a>)", {{"http://b.example/x", "Beta"}}},
      {R"(<A ICON="data:image/png;base64,QUJD" HrEf='ftp://c.example/'>C</A >)", {{"ftp://c.example/", "C"}}},
      {R"(<a href=https://d.example/?a=1&amp;b=2>D &amp; E</a>)", {{"https://d.example/?a=1&b=2", "D & E"}}},
      {R"(<DL><p><DT><A HREF="https://1.example/">One</A><DT><A HREF="https://2.example/">Two</A></DL>)",
       {{"https://1.example/", "One"}, {"https://2.example/", "Two"}}},
      {R"(<DT><H3 ADD_DATE="1">Folder</H3>)", {}},
      {R"(<DD>A description line with "quotes" and a/A> in it)", {}},
      {R"(<A NAME="top">no address</A><ABBR>x</ABBR>)", {}},
      {R"(<DT><A HREF="https://e.example/">)", {{"https://e.example/", ""}}},
      {"<DT><A\n  HREF=\"https://f.example/\"\n  ADD_DATE=\"1\">F\n  over lines</A>",
       {{"https://f.example/", "F over lines"}}},
      {R"(<DT><A HREF="https://g.example/"><b>Bold</b> and <i>it</i>alic</A>)",
       {{"https://g.example/", "Bold and italic"}}},
      {R"(<HR><DT><A HREF=https://h.example/a?b=1>H</A>)", {{"https://h.example/a?b=1", "H"}}},
      {R"x(<A HREF="javascript:alert(&quot;x&quot;)">&lt;b&gt;bold&lt;/b&gt; it&#39;s &#8212; &#x1F600;&nbsp;!</A>)x",
       {{"javascript:alert(\"x\")", "<b>bold</b> it's \u2014 \U0001F600\u00A0!"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Links(c.line), c.links);
  }
}

TEST(BookmarkHtmlTest, TitlesAreAlwaysOneLineOfValidUtf8) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad \xC3 byte", "bad \xEF\xBF\xBD byte"},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::string("nul\0byte", 8),
       "nul\xEF\xBF\xBD"
       "byte"},  // as browsers read a NUL
      {"tab\tand\rreturn", "tab and return"},
      {"&#0; &#xD800; &#99999999;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#10;", ""},
      {"&unknown; &amp &", "&unknown; &amp &"},
      {"&eacute;&Eacute; &hellip; &NotEqualTilde; &CounterClockwiseContourIntegral;",
       "\u00E9\u00C9 \u2026 \u2242\u0338 \u2233"},
      {"&amp;eacute; &AMP; &Amp; &lt;/A&gt;", "&eacute; & &Amp; </A>"},
      {"&#x41;&#X42;&#67; &#xZZ; &#; &#x;", "ABC &#xZZ; &#; &#x;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Title(c.in), c.out);
  }
}

TEST(BookmarkHtmlTest, ExportLinesEscapeWhatBrowsersWouldMisread) {
  EXPECT_EQ(ExportLine("https://a.example/?a=1&b=\"2\"", "R&D <new> \"quoted\"", 0, 0, 0),
            "    <DT><A HREF=\"https://a.example/?a=1&amp;b=&quot;2&quot;\">R&amp;D &lt;new&gt; \"quoted\"</A>");
  // What the export writes, the import reads back exactly.
  const std::string url = "https://x.example/?q=a&amp;b<c>'\"";
  const std::string title = "&lt; & > \" ' \u2014 &#39; &eacute; </A> <a href=\"y\">";
  const std::vector<BookmarkEntry> links = Read(ExportLine(url, title, 0, 0, 0));
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].url, url);
  EXPECT_EQ(links[0].description, title);
  EXPECT_EQ(ExportLine("u", "caf\u00E9", 0, 0, 0), "    <DT><A HREF=\"u\">caf\u00E9</A>")
      << "characters, not references";
  EXPECT_EQ(ExportLine("u", "d", 5, 6, 1), "        <DT><A HREF=\"u\" ADD_DATE=\"5\" LAST_MODIFIED=\"6\">d</A>");
}

TEST(BookmarkHtmlTest, NotesAndFolderNamesComeBackAsTheyWereAndFitAnExportRecord) {
  const std::string tricky = "a&b &amp; &#38; &eacute; <b> a<b </x> <!-- & < > \" ' &";
  const std::vector<std::string> notes = ExportNoteLines(tricky + "\n\n  second line <i>", 0);
  ASSERT_EQ(notes.size(), 3u);
  std::string file = "<DL><p>\n" + ExportLine("https://x.example/", "X", 1, 2, 0) + "\n";
  for (const std::string& line : notes) file += line + "\n";
  file += "</DL><p>\n";
  const std::vector<BookmarkEntry> links = Read(file);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].notes, tricky + "\n\n  second line <i>");
  EXPECT_EQ(links[0].added, 1u);
  EXPECT_EQ(links[0].modified, 2u);

  // The longest note, folder heading and bookmark line, deep in folders.
  std::vector<std::string> lines = ExportNoteLines(std::string(500, '&') + std::string(500, 'a'), 40);
  lines.push_back(ExportNoteLines(std::string(1000, '<'), 40)[0]);
  std::string heading;
  FolderTreeWriter tree([&heading](const std::string& line) {
    heading = std::max(heading, line, [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    return true;
  });
  std::vector<std::string> deep(40, "&a<b");
  deep.push_back(std::string(999, '&'));
  ASSERT_TRUE(tree.Enter(MakeTreePath(deep, 41)));
  lines.push_back(heading);
  lines.push_back(ExportLine(std::string(255, '"'), std::string(250, '&'), UINT32_MAX, UINT32_MAX, 40));
  for (const std::string& line : lines) EXPECT_LT(line.size(), kExportLineWidth) << line.substr(0, 60);
}

TEST(BookmarkHtmlTest, CleanUpKeepsWebAndFtpAddressesOnly) {
  for (const char* kept : {"http://a", "HTTPS://b", "ftp://c", "FTP", "hTt", "ftps://d"}) {
    EXPECT_TRUE(KeepsAddress(kept)) << kept;
  }
  for (const char* removed : {"", " http://a", "www.example.com", "file:///x", "mailto:a@b", "news:x", "javascript:"}) {
    EXPECT_FALSE(KeepsAddress(removed)) << removed;
  }
}

TEST(BookmarkHtmlTest, SaveAsKeepsTheChosenPathsLetterCaseAndEndsItInHtml) {
  const struct {
    std::string chosen, name;
  } cases[] = {
      {"/home/Ann/Bookmarks", "/home/Ann/Bookmarks.html"},
      {"/home/Ann/Marks.html", "/home/Ann/Marks.html"},
      {"/home/Ann/Marks.HTML", "/home/Ann/Marks.HTML"},
      {"/home/Ann/marks.Htm", "/home/Ann/marks.Htm"},
      {"/home/Ann/x.htm.bak", "/home/Ann/x.htm.bak.html"},
      {"/home/Ann/.htm-notes/list", "/home/Ann/.htm-notes/list.html"},
      {"/home/Ann/list.txt", "/home/Ann/list.txt.html"},
      {"/Data/Saved.HTM   ", "/Data/Saved.HTM"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExportFileName(c.chosen), c.name) << c.chosen;
}

}  // namespace
}  // namespace marlinden
