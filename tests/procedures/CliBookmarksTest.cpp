// marlinden-cli's bookmark commands as a user runs them: import with its
// summary, count, list in address order, export, and the exit statuses of
// bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/CliTest.h"
#include "support/TempDir.h"

namespace {

using Result = testing_support::CommandResult;

class CliBookmarksTest : public testing_support::CliTest {
 protected:
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  // A bookmark file of n links to http://www.example.com/page/000000 on.
  void WriteLinks(const std::string& name, int from, int n) {
    std::ofstream out(dir.File(name));
    char line[128];
    for (int i = from; i < from + n; ++i) {
      std::snprintf(line, sizeof line, "<DT><A HREF=\"http://www.example.com/page/%06d\">Page %06d</A>\n", i, i);
      out << line;
    }
  }
};

// The data folder on a file system of its own, 3 MB large, where the
// machine lets the tests mount one.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& folder) : folder_(folder) {
    std::filesystem::create_directories(folder);
    mounted_ = std::system(("mount -t tmpfs -o size=3m tmpfs " + folder + " 2>/dev/null").c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) (void)std::system(("umount " + folder_).c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  bool MakeReadOnly() { return std::system(("mount -o remount,ro " + folder_).c_str()) == 0; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST_F(CliBookmarksTest, ImportCountListAndExport) {
  std::ofstream(dir.File("in.htm")) << "<DT><A HREF=\"https://b.example/\">Bee</A>\n"
                                       "<DT><A HREF=\"HTTPS://B.EXAMPLE/\">again</A>\n"
                                       "<DT><A HREF=\"mailto:x@y.example\">mail</A>\n"
                                       "<DT><A HREF=\"ftp://a.example/\">A &amp; a</A>\n";
  const Result imported = Cli("import " + dir.File("in.htm"));
  EXPECT_EQ(imported.status, 0);
  EXPECT_EQ(imported.out,
            "lines read: 4\nlinks read: 4\nbookmarks added: 2\nskipped, already stored: 1\n"
            "left out, not a web or FTP address: 1\nleft out, address too long: 0\nremoved by the clean-up: 0\n");
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

TEST_F(CliBookmarksTest, AFullOrReadOnlyCollectionEndsTheImportWithOneMessageAndCountsWhatIsStored) {
  SmallFileSystem small(dir.File("data"));
  if (!small.Mounted()) GTEST_SKIP() << "this machine does not let the tests mount a file system";
  WriteLinks("first.htm", 0, 5000);
  WriteLinks("more.htm", 5000, 100000);
  ASSERT_EQ(Cli("import " + dir.File("first.htm")).status, 0);

  long stored = 5000;
  for (const char* yes : {"", " --yes"}) {
    SCOPED_TRACE(yes);
    const Result full = Cli("import " + dir.File("more.htm") + yes);
    EXPECT_EQ(full.status, 74) << "a failure is not reported as success";
    EXPECT_NE(full.out.find("stopped early: "), std::string::npos) << full.out;
    const std::string errors = Err();
    EXPECT_EQ(Count(errors, "marlinden-cli: "), 1) << errors;
    EXPECT_NE(errors.find("database or disk is full"), std::string::npos) << errors;
    EXPECT_EQ(Count(errors, "Try Again"), 0);
    // What was counted is what is stored: the links in their order, no gap.
    const std::size_t at = full.out.find("bookmarks added: ");
    ASSERT_NE(at, std::string::npos);
    stored += std::stol(full.out.substr(at + 17));
    const Result listed = Cli("list");
    EXPECT_EQ(Count(listed.out, "\n"), stored);
    char last[64];
    std::snprintf(last, sizeof last, "http://www.example.com/page/%06ld\t", stored - 1);
    EXPECT_EQ(Count(listed.out, last), 1);
  }

  const std::string before = Cli("list").out;
  ASSERT_TRUE(small.MakeReadOnly());
  const Result readOnly = Cli("import " + dir.File("more.htm") + " --yes");
  EXPECT_EQ(readOnly.status, 74);
  EXPECT_NE(readOnly.out.find("bookmarks added: 0\n"), std::string::npos);
  EXPECT_NE(Err().find("cannot be written to"), std::string::npos) << Err();
  EXPECT_EQ(Count(Err(), "Try Again"), 0);
  EXPECT_EQ(Cli("list").out, before);
}

TEST_F(CliBookmarksTest, AFileWithoutBookmarksChangesNothingAndFails) {
  WriteLinks("one.htm", 0, 1);
  ASSERT_EQ(Cli("import " + dir.File("one.htm")).status, 0);
  std::ofstream(dir.File("notes.txt")) << "https://x.example/ is worth a look\n";
  const Result imported = Cli("import " + dir.File("notes.txt"));
  EXPECT_EQ(imported.status, 65);
  EXPECT_EQ(imported.out, "");
  EXPECT_NE(Err().find("holds no bookmarks"), std::string::npos) << Err();
  EXPECT_EQ(Cli("import /dev/null").status, 66);
  EXPECT_NE(Err().find("not a regular file"), std::string::npos) << Err();
  EXPECT_EQ(Cli("count").out, "1\n");
}

TEST_F(CliBookmarksTest, TheSummaryNamesAddressesLeftOutAsTooLong) {
  std::ofstream(dir.File("long.htm")) << "<DT><A HREF=\"https://long.example/" << std::string(300, 'a')
                                      << "\">Too long</A>\n<DT><A HREF=\"https://ok.example/\">Fine</A>\n";
  const Result imported = Cli("import " + dir.File("long.htm"));
  EXPECT_EQ(imported.status, 0);
  EXPECT_NE(imported.out.find("left out, address too long: 1\n  https://long.example/" + std::string(300, 'a') + "\n"),
            std::string::npos)
      << imported.out;
  EXPECT_EQ(Cli("list").out, "https://ok.example/\tFine\n");
}

}  // namespace
