// INI files: reading oddities, writes that keep every other byte of the file,
// and failed writes that leave the old file in place.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "runtime/ini/IniFile.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() {
    std::string pattern = (fs::temp_directory_path() / "inifile-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    path_ = (dir_ / "marlinden.INI").string();
  }
  ~IniFileTest() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  // nullopt removes the file.
  void SetContent(const std::optional<std::string>& content) {
    if (!content) {
      fs::remove(path_);
      return;
    }
    std::ofstream(path_, std::ios::binary) << *content;
  }
  std::string Content() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::size_t FilesInDir() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  fs::path dir_;
  std::string path_;
};

TEST_F(IniFileTest, ReadsOddFilesTheWayTheyAreMeant) {
  struct Case {
    const char* what;
    std::optional<std::string> content;
    const char* section;
    const char* key;
    const char* expected;  // with "<default>" as the default
  };
  const Case cases[] = {
      {"missing file", std::nullopt, "Favorite", "MyFavorite", "<default>"},
      {"names ignore case", "[Main]\nXPos=10\n", "main", "XPOS", "10"},
      {"spaces around names and value", "[ Main ]\n  XPos  =  10  \n", "Main", "XPos", "10"},
      {"CRLF line ends", "[A]\r\nk=v\r\n", "A", "k", "v"},
      {"byte order mark", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
      {"value with spaces and '='", "[A]\nurl=http://x/?a=b c d\n", "A", "url", "http://x/?a=b c d"},
      {"inline text is part of the value", "[A]\nk=v ; not a comment\n", "A", "k", "v ; not a comment"},
      {"empty value", "[A]\nk=\n", "A", "k", ""},
      {"key without '=' is no key", "[A]\nk\n", "A", "k", "<default>"},
      {"key without '=' before the real one", "[A]\nk\nk=2\n", "A", "k", "2"},
      {"first duplicate key wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
      {"duplicate section searched too", "[A]\nx=1\n[B]\nk=0\n[a]\nk=2\n", "A", "k", "2"},
      {"commented key", "[A]\n;k=1\n#k=2\n", "A", "k", "<default>"},
      {"key of another section", "[B]\nk=1\n", "A", "k", "<default>"},
      {"key before any section", "k=0\n[A]\nk=1\n", "A", "k", "1"},
      {"missing section", "[A]\nk=1\n", "Favorite", "k", "<default>"},
      {"unclosed section header", "[A\nk=1\n", "A", "k", "1"},
      {"last line without line end", "[A]\nk=last", "A", "k", "last"},
  };
  const IniFile ini(path_);
  for (const Case& c : cases) {
    SetContent(c.content);
    EXPECT_EQ(ini.Read(c.section, c.key, "<default>"), c.expected) << c.what;
  }
}

TEST_F(IniFileTest, ReadIntRejectsNonsense) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"12", 12},   {" -7 ", -7}, {"+5", 5},    {"12px", -1}, {"", -1},
      {"many", -1}, {"1.5", -1},  {"0x10", -1}, {"+-3", -1},  {"99999999999999999999", -1},
  };
  const IniFile ini(path_);
  for (const auto& [value, expected] : cases) {
    SetContent(std::string("[Main]\nXPos=") + value + "\n");
    EXPECT_EQ(ini.ReadInt("Main", "XPos", -1), expected) << value;
  }
  SetContent(std::nullopt);
  EXPECT_EQ(ini.ReadInt("Main", "XPos", 42), 42);
}

TEST_F(IniFileTest, WritingKeepsEverythingElseByteForByte) {
  struct Case {
    const char* what;
    std::optional<std::string> before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  };
  const Case cases[] = {
      {"missing file is created", std::nullopt, "Favorite", "MyFavorite", "http://a/",
       "[Favorite]\nMyFavorite=http://a/\n"},
      {"value replaced, other lines and CRLF kept", "; top\n[Main]\r\nXPos=1\r\n\r\n[Other]\r\nk=v\r\n", "main", "xpos",
       "20", "; top\n[Main]\r\nXPos=20\r\n\r\n[Other]\r\nk=v\r\n"},
      {"new key goes before the blank line", "[Main]\nXPos=1\n\n[Other]\nk=v\n", "Main", "YPos", "2",
       "[Main]\nXPos=1\nYPos=2\n\n[Other]\nk=v\n"},
      {"missing section appended after unterminated line", "[A]\nk=v", "B", "x", "1", "[A]\nk=v\n[B]\nx=1\n"},
      {"appended section uses the file's line ends", "[A]\r\nk=v\r\n", "B", "x", "1", "[A]\r\nk=v\r\n[B]\r\nx=1\r\n"},
      {"layout around '=' kept", "[A]\nk = old ; note\n", "a", "K", "new", "[A]\nk = new\n"},
      {"only the first duplicate changes", "[A]\nk=1\nk=2\n", "A", "k", "9", "[A]\nk=9\nk=2\n"},
      {"key without '=' left alone", "[A]\nk\n", "A", "k", "1", "[A]\nk\nk=1\n"},
      {"key added to the first of duplicate sections", "[A]\nx=1\n[B]\n[A]\ny=2\n", "A", "z", "3",
       "[A]\nx=1\nz=3\n[B]\n[A]\ny=2\n"},
      {"unterminated last line gets a line end", "[A]\nk=v", "A", "j", "2", "[A]\nk=v\nj=2\n"},
      {"value with spaces and '='", "", "A", "url", "http://x/?a=b c", "[A]\nurl=http://x/?a=b c\n"},
      {"same value leaves the file alone", "[A]\nk = v\r\n", "A", "k", "v", "[A]\nk = v\r\n"},
      // The lone CR stays the last line's own, so its value does not change.
      {"last line ending in a lone CR", "[A]\nk=v\r", "A", "j", "2", "[A]\nk=v\r\r\nj=2\n"},
      {"lone CR before a new section", "[A]\r\nk=v\r", "B", "x", "1", "[A]\r\nk=v\r\r\n[B]\r\nx=1\r\n"},
  };
  const IniFile ini(path_);
  for (const Case& c : cases) {
    SetContent(c.before);
    EXPECT_EQ(ini.Write(c.section, c.key, c.value), NoError) << c.what;
    EXPECT_EQ(Content(), c.after) << c.what;
    EXPECT_EQ(ini.Read(c.section, c.key), c.value) << c.what;
    EXPECT_EQ(FilesInDir(), 1u) << c.what;  // no temporary file left behind
    if (c.before && c.before->ends_with("k=v\r")) {
      EXPECT_EQ(ini.Read("A", "k"), "v\r") << c.what;
    }
  }
}

TEST_F(IniFileTest, RefusesWhatCannotBeStoredOnOneLine) {
  SetContent("[A]\nk=v\n");
  const IniFile ini(path_);
  EXPECT_EQ(ini.Write("A", "a=b", "v"), BadParameter);
  EXPECT_EQ(ini.Write("A", "", "v"), BadParameter);
  EXPECT_EQ(ini.Write("A", "k", "two\nlines"), BadParameter);
  EXPECT_EQ(ini.Write("A]", "k", "v"), BadParameter);
  EXPECT_EQ(ini.Write("A", "[k", "v"), BadParameter);
  EXPECT_EQ(Content(), "[A]\nk=v\n");
}

TEST_F(IniFileTest, ReadOnlyDirectoryKeepsTheOldFile) {
  SetContent("[Main]\nXPos=1\n");
  ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
  // Runs as an unprivileged user, for whom the permissions hold.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
    const IniFile ini(path_);
    if (ini.Write("Main", "XPos", "2") != AccessDenied) ::_exit(11);
    ::_exit(ini.Read("Main", "XPos") == "1" ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Content(), "[Main]\nXPos=1\n");
  EXPECT_EQ(FilesInDir(), 1u);
}

// A write that fails half way (the file-size limit stands in for a full
// disk) leaves the old file whole and no temporary file behind.
TEST_F(IniFileTest, FailedWriteKeepsTheOldFile) {
  const std::string before = "; settings\n[Main]\nXPos=1\nYPos=2\n";
  SetContent(before);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{10, 10};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(10);
    const std::int32_t code = IniFile(path_).Write("Main", "XPos", "12345");
    ::_exit(code == DriverFailure && LastError().driverCode == std::to_string(EFBIG) ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Content(), before);
  EXPECT_EQ(FilesInDir(), 1u);
}

TEST_F(IniFileTest, WriteKeepsTheFilesPermissions) {
  SetContent("[A]\nk=v\n");
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  ASSERT_EQ(IniFile(path_).Write("A", "k", "w"), NoError);
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace runtime
