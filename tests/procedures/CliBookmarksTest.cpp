// marlinden-cli's bookmark commands as a user runs them: import with its
// summary, count, list in address order, export, and the exit statuses of
// bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/CommandOutput.h"
#include "support/TempDir.h"

namespace {

using Result = testing_support::CommandResult;

class CliBookmarksTest : public ::testing::Test {
 protected:
  // Runs the companion on the test's data folder; standard error is dropped.
  Result Cli(const std::string& args) {
    const std::string command =
        std::string(MARLINDEN_CLI) + " --data " + dir.File("data") + " " + args + " 2>" + dir.File("err");
    return testing_support::RunCommand(command);
  }

  testing_support::TempDir dir;
};

TEST_F(CliBookmarksTest, ImportCountListAndExport) {
  std::ofstream(dir.File("in.htm")) << "<DT><A HREF=\"https://b.example/\">Bee</A>\n"
                                       "<DT><A HREF=\"HTTPS://B.EXAMPLE/\">again</A>\n"
                                       "<DT><A HREF=\"mailto:x@y.example\">mail</A>\n"
                                       "<DT><A HREF=\"ftp://a.example/\">A &amp; a</A>\n";
  const Result imported = Cli("import " + dir.File("in.htm"));
  EXPECT_EQ(imported.status, 0);
  EXPECT_EQ(imported.out,
            "lines read: 4\nbookmarks added: 3\nskipped, already stored: 1\nremoved by the clean-up: 1\n");
  EXPECT_EQ(Cli("count").out, "2\n");
  EXPECT_EQ(Cli("list").out, "ftp://a.example/\tA & a\nhttps://b.example/\tBee\n");
  const Result exported = Cli("export " + dir.File("out.htm"));
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, "bookmarks exported: 2\n");
}

TEST_F(CliBookmarksTest, BadFilesGiveTheirExitStatus) {
  EXPECT_EQ(Cli("import " + dir.File("missing.htm")).status, 66);
  EXPECT_EQ(Cli("import").status, 64);
  EXPECT_EQ(Cli("export " + dir.File("no/such/folder.htm")).status, 73);
  EXPECT_EQ(Cli("count extra").status, 64);
}

}  // namespace
