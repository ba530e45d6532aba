// Shared fixture of the keyed driver's tests: a temporary directory and the
// bookmark layout, with helpers that read as the tests' intent. With
// MARLINDEN_TEST_DATABASE set (the suite's run over the server), every keyed
// file lives on that server, in a schema of the test's own; the tests of
// what only a local file has (its bytes, its folder, its SQLite) skip there.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "support/PgTestServer.h"

namespace runtime::testing {

constexpr std::uint8_t kReadWriteShared = AccessReadWrite | ShareDenyNone;
constexpr std::size_t kNumKey = testing_support::NumKey, kNameKey = testing_support::NameKey,
                      kDescKey = testing_support::DescKey;
using testing_support::BookmarkLayout;

struct Bookmark {
  std::int64_t num;
  std::string url;
  std::string description;
};

class KeyedTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "keyed-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    if (const char* server = std::getenv(testing_support::kTestDatabaseVariable); server != nullptr && *server) {
      server_ = server;
      SetKeyedServer(testing_support::MakeTestSchema(server_, schema_));
    }
  }
  void TearDown() override {
    if (!server_.empty()) {
      SetKeyedServer("");
      testing_support::DropTestSchema(server_, schema_);
    }
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string DiskName(const std::string& name = "MARLINDEN") const { return dir_ + "/" + name; }
  std::string DbPath(const std::string& name = "MARLINDEN") const { return DiskName(name) + ".db"; }

  std::unique_ptr<DataFile> MakeFile(RecordLayout layout = BookmarkLayout(), const std::string& name = "MARLINDEN") {
    return DataFile::Make(Driver::Keyed, std::move(layout), DiskName(name));
  }
  // A created and opened file.
  std::unique_ptr<DataFile> NewFile(RecordLayout layout = BookmarkLayout(), const std::string& name = "MARLINDEN") {
    std::unique_ptr<DataFile> file = MakeFile(std::move(layout), name);
    EXPECT_EQ(file->Create(), NoError) << LastError().driverText;
    EXPECT_EQ(file->Open(kReadWriteShared), NoError) << LastError().driverText;
    return file;
  }

  static void SetBuffer(DataFile& file, const Bookmark& b, std::string_view notes = {}) {
    file.ClearBuffer();
    file.Record().Field("NUM").SetInteger(b.num);
    file.Record().Field("URL").SetText(b.url);
    file.Record().Field("DESCRIPTION").SetText(b.description);
    if (file.Layout().MemoCount() > 0) file.Record().SetMemo(1, notes);
  }
  static std::int32_t Add(DataFile& file, const Bookmark& b, std::string_view notes = {}) {
    SetBuffer(file, b, notes);
    return file.Add();
  }
  static std::int64_t Num(const DataFile& file) {
    return const_cast<DataFile&>(file).Record().Field("NUM").Get().AsInteger();
  }
  static std::string Url(DataFile& file) { return std::string(file.Record().Field("URL").ClippedText()); }
  static std::string Description(DataFile& file) {
    return std::string(file.Record().Field("DESCRIPTION").ClippedText());
  }

  // NUM of every record read from the start of order key in one direction.
  static std::vector<std::int64_t> ReadAll(DataFile& file, std::size_t key, bool backward = false) {
    EXPECT_EQ(file.SetOrder(key), NoError);
    return ReadOn(file, backward);
  }
  static std::vector<std::int64_t> ReadOn(DataFile& file, bool backward = false) {
    std::vector<std::int64_t> nums;
    std::int32_t code;
    while ((code = backward ? file.Previous() : file.Next()) == NoError) nums.push_back(Num(file));
    EXPECT_EQ(code, NoRecord) << LastError().driverText;
    return nums;
  }

  static std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  // Runs SQL on a database directly, as another program would.
  static void RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  bool OnServer() const { return !server_.empty(); }
  // On the server, a killed station's session ends (and lets go of its
  // locks) once the server has seen its connection close: waits for that,
  // until at most stations of the driver's sessions are left.
  void WaitForStationsToEnd(int stations) const {
    if (!OnServer()) return;
    std::string count;
    for (int tries = 0; tries < 100000; ++tries) {
      testing_support::PgExec(server_, "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'marlinden'",
                              &count);
      if (!count.empty() && std::stoi(count) <= stations) return;
    }
    ADD_FAILURE() << "the killed station's session goes on";
  }

  std::string dir_;
  std::string server_;  // the test server's connection, when the files live there
  std::string schema_;
};

// Skips a test of what only the local SQLite file has.
#define SKIP_ON_SERVER()                                            \
  do {                                                              \
    if (OnServer()) GTEST_SKIP() << "a local file's own behaviour"; \
  } while (false)

// A forked child process talking to the test over pipes. The child runs body
// and leaves with _exit, so it never returns into the test framework.
class Child {
 public:
  template <typename Body>
  explicit Child(Body body) {
    int toChild[2], toParent[2];
    if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(toChild[1]);
      ::close(toParent[0]);
      in_ = toChild[0];
      out_ = toParent[1];
      const int status = body(*this);
      ::_exit(status);
    }
    ::close(toChild[0]);
    ::close(toParent[1]);
    in_ = toParent[0];
    out_ = toChild[1];
  }
  ~Child() {
    ::close(in_);
    ::close(out_);
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // One byte each way; Receive returns 0 at end of file.
  void Send(char c) { (void)!::write(out_, &c, 1); }
  char Receive() {
    char c = 0;
    return ::read(in_, &c, 1) == 1 ? c : 0;
  }
  bool SendInt(std::int32_t n) { return ::write(out_, &n, sizeof n) == sizeof n; }
  bool ReceiveInt(std::int32_t& n) { return ::read(in_, &n, sizeof n) == sizeof n; }
  // The child's exit status (-1 when killed by a signal).
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool waited_ = false;
};

}  // namespace runtime::testing
