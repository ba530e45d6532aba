// The bookmark HTML line parser, the entity decoding and the export's
// escaping, over the shapes real browser files take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procedures/BookmarkHtml.h"
#include "procedures/CleanUp.h"
#include "procedures/ExportBookmarks.h"

namespace marlinden {
namespace {

std::vector<std::pair<std::string, std::string>> Links(std::string_view line) {
  std::vector<std::pair<std::string, std::string>> links;
  std::size_t at = 0;
  BookmarkLink link;
  while (NextAnchor(line, at, link)) links.emplace_back(link.url, link.description);
  return links;
}

TEST(BookmarkHtmlTest, FindsEveryAnchorOfALineWithItsAddressAndText) {
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
      {R"(<DT><A HREF="https://f.example/" unterminated)", {}},
      {R"x(<A HREF="javascript:alert(&quot;x&quot;)">&lt;b&gt;bold&lt;/b&gt; it&#39;s &#8212; &#x1F600;&nbsp;!</A>)x",
       {{"javascript:alert(\"x\")", "<b>bold</b> it's \u2014 \U0001F600\u00A0!"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Links(c.line), c.links);
  }
}

TEST(BookmarkHtmlTest, DecodingAlwaysGivesOneLineOfValidUtf8) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad \xC3 byte", "bad \xEF\xBF\xBD byte"},
      {"overlong \xC0\xAF", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::string("nul\0byte", 8), "nul byte"},
      {"tab\tand\rreturn", "tab and return"},
      {"&#0; &#xD800; &#99999999;", "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
      {"&#99999999999999999999;", "&#99999999999999999999;"},
      {"&#10;", " "},
      {"&unknown; &amp &", "&unknown; &amp &"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(DecodeHtmlText(c.in), c.out);
  }
}

TEST(BookmarkHtmlTest, ExportLinesEscapeWhatBrowsersWouldMisread) {
  EXPECT_EQ(ExportLine("https://a.example/?a=1&b=\"2\"", "R&D <new> \"quoted\""),
            "<DT><A HREF=\"https://a.example/?a=1&amp;b=&quot;2&quot;\">R&amp;D &lt;new&gt; \"quoted\"</A>");
  // What the export writes, the import reads back exactly.
  const std::string url = "https://x.example/?q=a&amp;b<c>'\"";
  const std::string title = "&lt; & > \" ' \u2014 &#39; </A> <a href=\"y\">";
  std::size_t at = 0;
  BookmarkLink link;
  const std::string line = ExportLine(url, title);
  ASSERT_TRUE(NextAnchor(line, at, link));
  EXPECT_EQ(link.url, url);
  EXPECT_EQ(link.description, title);
  EXPECT_FALSE(NextAnchor(line, at, link));
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
