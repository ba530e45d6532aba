// marlinden-cli list --json and add --folder as scripts use them to see
// everything the collection holds: folders, dates and notes of imported and
// hand-added bookmarks, a deletion taking its details along, and the round
// trip import -> export -> import into an empty collection, which keeps no
// window places.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/DataFiles.h"
#include "runtime/files/DataFile.h"
#include "support/CliTest.h"

namespace marlinden {
namespace {

using Result = testing_support::CommandResult;

class CliCollectionTest : public testing_support::CliTest {
 protected:
  // The "added" value of line, which must lie in [from, to]; the line with
  // both dates replaced by T.
  static std::string WithoutTimes(std::string line, long from, long to) {
    for (const std::string key : {"\"added\": ", "\"modified\": "}) {
      const std::size_t at = line.find(key);
      EXPECT_NE(at, std::string::npos) << line;
      if (at == std::string::npos) return line;
      const std::size_t start = at + key.size();
      const std::size_t end = line.find_first_not_of("0123456789", start);
      const long seconds = std::stol(line.substr(start, end - start));
      EXPECT_GE(seconds, from) << line;
      EXPECT_LE(seconds, to) << line;
      line.replace(start, end - start, "T");
    }
    return line;
  }

  static long Now() { return static_cast<long>(std::time(nullptr)); }

  // The records of the details file, read through a station of its own.
  std::int64_t DetailsRecords() const {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkDetailsLayout(), dir.File("data/FOLDERS"));
    if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != 0) return -1;
    const std::int64_t records = file->Records();
    (void)file->Close();
    return records;
  }
};

TEST_F(CliCollectionTest, ListJsonShowsFoldersDatesAndNotesOfEveryBookmark) {
  std::ofstream(dir.File("in.htm")) << "<DL><p><DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bar</H3><DL><p>"
                                       "<DT><H3>a/b \"q\" \\ c</H3><DL><p>"
                                       "<DT><A HREF=\"https://deep.example/\" ADD_DATE=\"1500000000\" "
                                       "LAST_MODIFIED=\"1500000001\">Deep \"one\"</A><DD>line one\nline\ttwo"
                                       "</DL><p></DL><p></DL><p>\n";
  ASSERT_EQ(Cli("import " + dir.File("in.htm")).status, 0);
  const long before = Now();
  Result r = Cli("add https://hand.example/ --description Hand --notes 'by hand'");
  ASSERT_EQ(r.status, 0) << Err();
  r = Cli("add https://filed.example/ --folder Top --folder 'Sub/folder'");
  ASSERT_EQ(r.status, 0) << Err();
  const long after = Now();

  r = Cli("list --json");
  ASSERT_EQ(r.status, 0);
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            R"({"url": "https://deep.example/", "description": "Deep \"one\"", "folder": ["Bar", "a/b \"q\" \\ c"], )"
            R"("added": 1500000000, "modified": 1500000001, "notes": "line one\nline\u0009two", "link": ""})");
  EXPECT_EQ(WithoutTimes(lines[1], before, after),
            R"({"url": "https://filed.example/", "description": "", "folder": ["Top", "Sub/folder"], )"
            R"("added": T, "modified": T, "notes": "", "link": ""})");
  EXPECT_EQ(WithoutTimes(lines[2], before, after),
            R"({"url": "https://hand.example/", "description": "Hand", "folder": [], "added": T, "modified": T, )"
            R"("notes": "by hand", "link": ""})");

  // The plain list is as it was.
  EXPECT_EQ(Cli("list").out,
            "https://deep.example/\tDeep \"one\"\nhttps://filed.example/\t\nhttps://hand.example/\tHand\n");
}

TEST_F(CliCollectionTest, ADeletedBookmarksDetailsGoWithIt) {
  ASSERT_EQ(Cli("add https://a.example/ --folder Old").status, 0);
  ASSERT_EQ(Cli("add https://kept.example/ --folder Kept").status, 0);
  EXPECT_EQ(DetailsRecords(), 2);
  ASSERT_EQ(Cli("delete https://a.example/").status, 0);
  EXPECT_EQ(Cli("count").out, "1\n");
  EXPECT_EQ(DetailsRecords(), 1);
  ASSERT_EQ(Cli("delete https://kept.example/").status, 0);
  EXPECT_EQ(DetailsRecords(), 0);
  // The next bookmark gets the same number; it is added by hand, in no folder.
  ASSERT_EQ(Cli("add https://b.example/").out, "added https://b.example/ as bookmark 1\n");
  const Result r = Cli("list --json");
  EXPECT_NE(r.out.find("\"folder\": []"), std::string::npos) << r.out;
}

TEST_F(CliCollectionTest, FolderArgumentsAreCheckedBeforeAnythingIsStored) {
  for (const char* bad : {"--folder ''", "--folder '  '", "--folder"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Cli(std::string("add https://a.example/ ") + bad).status, 64);
  }
  const std::string longName(600, 'n');
  EXPECT_EQ(Cli("add https://a.example/ --folder " + longName + " --folder " + longName).status, 1);
  EXPECT_NE(Err().find("the folder path is longer than the 1000 bytes"), std::string::npos) << Err();
  EXPECT_EQ(Cli("list --json --json").status, 64);
  EXPECT_EQ(Cli("count").out, "0\n");
}

TEST_F(CliCollectionTest, ExportThenImportIntoAnEmptyCollectionGivesEverythingBack) {
  const std::string generate =
      std::string("python3 ") + MARLINDEN_BOOKMARK_GENERATOR + " 2000 -o " + dir.File("source.html") + " 2>/dev/null";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  ASSERT_EQ(Cli("import " + dir.File("source.html")).status, 0);
  ASSERT_EQ(Cli("add https://hand.example/ --folder Mine --notes 'two\nlines'").status, 0);
  const std::string original = Cli("list --json").out;
  // The companion's windows are seen by nobody: it keeps no places of them.
  std::ifstream places(dir.File("data/marlinden.INI"));
  const std::string kept((std::istreambuf_iterator<char>(places)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept.find("XPos"), std::string::npos) << kept;
  ASSERT_NE(original.find("\"folder\": [\""), std::string::npos) << "the generated file has folders";
  ASSERT_EQ(Cli("export " + dir.File("exported.html")).status, 0);

  const std::string other = " --data " + dir.File("other") + " ";
  const std::string cli = std::string(MARLINDEN_CLI) + other;
  ASSERT_EQ(testing_support::RunCommand(cli + "import " + dir.File("exported.html")).status, 0);
  EXPECT_EQ(testing_support::RunCommand(cli + "list --json").out, original);
  // A second import of either file changes nothing.
  const Result again = testing_support::RunCommand(cli + "import " + dir.File("source.html"));
  EXPECT_NE(again.out.find("bookmarks added: 0\n"), std::string::npos) << again.out;
  EXPECT_EQ(testing_support::RunCommand(cli + "list --json").out, original);
}

}  // namespace
}  // namespace marlinden
