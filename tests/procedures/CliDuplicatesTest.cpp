// marlinden-cli duplicates: the groups of one page under different
// spellings, the oldest of each first, and their merge into it (notes
// appended, the kept one's folder kept, the others deleted with their
// details); and the import's count of bookmarks that look like stored ones.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/CliTest.h"

namespace marlinden {
namespace {

class CliDuplicatesTest : public testing_support::CliTest {
 protected:
  void Import(const std::string& html) {
    std::ofstream(dir.File("in.html")) << html;
    ASSERT_EQ(Cli("import " + dir.File("in.html")).status, 0);
  }
};

constexpr const char* kBookmarks =
    "<DL><p>\n"
    "<DT><H3>News</H3>\n<DL><p>\n"
    "<DT><A HREF=\"https://www.example.org/page/?utm_source=x\" ADD_DATE=\"2000\">Newer</A>\n"
    "<DD>second note\n"
    "</DL><p>\n"
    "<DT><A HREF=\"http://EXAMPLE.org/page\" ADD_DATE=\"1000\">Oldest</A>\n"
    "<DD>first note\n"
    "<DT><A HREF=\"https://example.org:443/page#top\">Undated</A>\n"
    "<DT><A HREF=\"https://example.org/page?id=2\">Other parameters</A>\n"
    "<DT><A HREF=\"https://example.org/Page\">Other path case</A>\n"
    "<DT><A HREF=\"ftp://files.example/a\">A</A>\n"
    "<DT><A HREF=\"ftp://files.example/a/\">A again</A>\n"
    "</DL><p>\n";

TEST_F(CliDuplicatesTest, GroupsListTheOldestFirstAndAMergeKeepsItWithEveryNote) {
  Import(kBookmarks);
  const testing_support::CommandResult groups = Cli("duplicates");
  EXPECT_EQ(groups.status, 0);
  EXPECT_EQ(groups.out,
            "ftp://files.example/a\tA\n"
            "ftp://files.example/a/\tA again\n"
            "\n"
            "http://EXAMPLE.org/page\tOldest\n"
            "https://www.example.org/page/?utm_source=x\tNewer\n"
            "https://example.org:443/page#top\tUndated\n");

  EXPECT_EQ(Cli("duplicates --merge").status, 64) << "a merge needs --yes";
  EXPECT_EQ(Cli("count").out, "7\n") << "nothing merged without it";

  const testing_support::CommandResult merged = Cli("duplicates --merge --yes");
  EXPECT_EQ(merged.status, 0) << Err();
  EXPECT_EQ(merged.out, "groups: 2\nmerged into the oldest of their group: 3\n");
  EXPECT_EQ(Cli("duplicates").out, "");
  EXPECT_EQ(Cli("list").out,
            "ftp://files.example/a\tA\n"
            "http://EXAMPLE.org/page\tOldest\n"
            "https://example.org/Page\tOther path case\n"
            "https://example.org/page?id=2\tOther parameters\n");
  const std::string json = Cli("list --json").out;
  EXPECT_NE(
      json.find("\"url\": \"http://EXAMPLE.org/page\", \"description\": \"Oldest\", \"folder\": [], \"added\": 1000"),
      std::string::npos)
      << json;
  EXPECT_NE(json.find("\"notes\": \"first note\\n\\nsecond note\""), std::string::npos) << json;
}

TEST_F(CliDuplicatesTest, TheImportCountsNewBookmarksThatLookLikeStoredOnes) {
  Import("<DT><A HREF=\"https://example.org/a\">A</A>\n<DT><A HREF=\"https://example.org/b\">B</A>\n");
  std::ofstream(dir.File("more.html")) << "<DT><A HREF=\"http://www.example.org/a/\">A again</A>\n"
                                          "<DT><A HREF=\"https://example.org/b#x\">B again</A>\n"
                                          "<DT><A HREF=\"https://example.org/c\">C</A>\n"
                                          "<DT><A HREF=\"https://example.org/c/\">C twice, both new</A>\n";
  const testing_support::CommandResult second = Cli("import " + dir.File("more.html"));
  EXPECT_NE(second.out.find("bookmarks added: 4\nof them like one stored already (Find Duplicates): 2\n"),
            std::string::npos)
      << second.out;
}

}  // namespace
}  // namespace marlinden
