// marlinden-cli search as a user runs it: after an import, by words of the
// address, description, notes and folders in any case and without accents,
// printed as list prints them, with its exit statuses; and list in the
// folder tab's order.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/CliTest.h"

namespace {

using Result = testing_support::CommandResult;

class CliSearchTest : public testing_support::CliTest {
 protected:
  static std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
  }
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

TEST_F(CliSearchTest, ListByFolderPrintsTheFolderTabsOrder) {
  Import();
  ASSERT_EQ(Cli("add https://new.example/ --description Bern --folder Reisen --folder Schweiz").status, 0);
  EXPECT_EQ(Cli("list --by-folder").out,
            "ftp://files.example/pub\tFiles\n"
            "https://lake.example/Zurich-See\tLake\n"
            "https://guide.example/ch\tZ\u00FCrich caf\u00E9 guide\n"
            "https://new.example/\tBern\n")
      << "no folder first, then Reisen's own by description, then its subfolder";
  EXPECT_EQ(Cli("list --by-folder --json").out.substr(0, Cli("list --by-folder --json").out.find('\n')),
            Cli("search pub --json").out.substr(0, Cli("search pub --json").out.find('\n')));
  EXPECT_EQ(Cli("list --by-folder --by-folder").status, 64);
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

TEST_F(CliSearchTest, AnImportKilledHalfWayLeavesEveryStoredBookmarkFindable) {
  constexpr int kLinks = 30000;
  {
    std::ofstream out(dir.File("big.htm"));
    for (int i = 0; i < kLinks; ++i) {
      out << "<DT><A HREF=\"https://site" << i << ".example/\">Page w" << 100000 + i << "</A>\n";
    }
  }
  std::filesystem::create_directories(dir.File("data"));
  const std::string command =
      "cd " + dir.File("data") + " && " + std::string(MARLINDEN_IMPORT_UNTIL_KILLED) + " " + dir.File("big.htm") + " 9";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL)) << status;
  const std::set<std::string> stored = Lines(Cli("list").out);
  ASSERT_FALSE(stored.empty());
  ASSERT_LT(stored.size(), static_cast<std::size_t>(kLinks)) << "killed half-way";
  // Each prefix has few enough words for the find to read the index for it.
  std::set<std::string> found;
  for (const char* prefix : {"w10", "w11", "w12"}) found.merge(Lines(Cli(std::string("search ") + prefix).out));
  EXPECT_EQ(found, stored) << "every stored bookmark has its words";
  EXPECT_EQ(Lines(Cli("list --by-folder").out), stored) << "and its place in the folder order";
}

}  // namespace
