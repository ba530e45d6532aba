// marlinden-cli search as a user runs it: after an import, by words of the
// address, description, notes and folders in any case and without accents,
// printed as list prints them, with its exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/CliTest.h"

namespace {

using Result = testing_support::CommandResult;

class CliSearchTest : public testing_support::CliTest {
 protected:
  void Import() {
    std::ofstream(dir.File("in.htm")) << "<DL><p><DT><H3>Reisen</H3><DL><p>\n"
                                         "<DT><A HREF=\"https://guide.example/ch\">Z&uuml;rich caf&eacute; guide</A>\n"
                                         "<DD>Best terraces\n"
                                         "<DT><A HREF=\"https://lake.example/Zurich-See\">Lake</A>\n"
                                         "</DL><p>\n"
                                         "<DT><A HREF=\"ftp://files.example/pub\">Files</A>\n"
                                         "</DL><p>\n";
    ASSERT_EQ(Cli("import " + dir.File("in.htm")).status, 0);
  }
};

TEST_F(CliSearchTest, ImportedBookmarksAreFoundByEveryWordTheyHave) {
  Import();
  EXPECT_EQ(Cli("search zurich cafe").out, "https://guide.example/ch\tZ\u00FCrich caf\u00E9 guide\n");
  EXPECT_EQ(Cli("search ZUR").out,
            "https://guide.example/ch\tZ\u00FCrich caf\u00E9 guide\nhttps://lake.example/Zurich-See\tLake\n");
  EXPECT_EQ(Cli("search reisen terr").out, "https://guide.example/ch\tZ\u00FCrich caf\u00E9 guide\n")
      << "a folder and a note";
  EXPECT_EQ(Cli("search pub --json").out, Cli("list --json").out.substr(0, Cli("list --json").out.find('\n') + 1))
      << "as list prints it";
}

TEST_F(CliSearchTest, NothingFoundExitsOneAndNoWordIsAUsageError) {
  Import();
  const Result none = Cli("search rich");
  EXPECT_EQ(none.status, 1) << "inside a word is no match";
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(Cli("search zurich files").status, 1) << "every word must match";
  EXPECT_EQ(Cli("search").status, 64);
  EXPECT_EQ(Cli("search -- --").status, 64);
  EXPECT_EQ(Cli("search zur --jsn").status, 64);
  EXPECT_EQ(Cli("search lake").status, 0);
}

TEST_F(CliSearchTest, ChangesAndDeletionsAreFoundAsTheyAre) {
  Import();
  ASSERT_EQ(Cli("add https://new.example/ --description Gen\u00E8ve --folder Reisen").status, 0);
  EXPECT_EQ(Cli("search geneve reisen").out, "https://new.example/\tGen\u00E8ve\n");
  ASSERT_EQ(Cli("delete https://guide.example/ch").status, 0);
  EXPECT_EQ(Cli("search cafe").status, 1);
  EXPECT_EQ(Cli("search reisen").out, "https://lake.example/Zurich-See\tLake\nhttps://new.example/\tGen\u00E8ve\n");
}

}  // namespace
