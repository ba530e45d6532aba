// What every data-file driver shares, run over each of them (KEYED, ASCII,
// BASIC, DOS): the runtime's codes for opening, creating and closing, a
// created file that keeps what is added, read-only files and opens, and the
// sharing modes between two stations. Each driver's own format and its write
// failures have suites of their own (TextFilesTest, FileFaultsTest, the
// keyed driver's tests).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "support/TempDir.h"

namespace runtime {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kReadWrite = AccessReadWrite | ShareDenyNone;
constexpr std::uint8_t kReadOnly = AccessRead | ShareDenyNone;

template <Driver D>
struct DriverIs {
  static constexpr Driver kDriver = D;
};

template <typename T>
class DataFileDriverTest : public ::testing::Test {
 protected:
  std::unique_ptr<DataFile> Make(const std::string& name = "DATA") {
    return DataFile::Make(T::kDriver, RecordLayout::Builder("DATA", "DAT").String("LINE", 16).Build(), dir_.File(name));
  }
  // The file on disk behind a disk name (the keyed driver adds ".db").
  std::string DiskPath(const std::string& name = "DATA") const {
    return dir_.File(name) + (T::kDriver == Driver::Keyed ? ".db" : "");
  }

  // A created file holding texts, open for reading and writing.
  std::unique_ptr<DataFile> Filled(const std::vector<std::string>& texts, const std::string& name = "DATA") {
    auto file = Make(name);
    EXPECT_EQ(file->Create(), NoError);
    EXPECT_EQ(file->Open(kReadWrite), NoError);
    for (const std::string& text : texts) EXPECT_EQ(Add(*file, text), NoError) << text;
    return file;
  }
  static std::int32_t Add(DataFile& file, const std::string& text) {
    file.Record().Clear();
    file.Record().Field(1).SetText(text);
    return file.Add();
  }
  static std::vector<std::string> ReadAll(DataFile& file) {
    std::vector<std::string> texts;
    EXPECT_EQ(file.SetOrder(0), NoError);
    while (file.Next() == NoError) texts.emplace_back(file.Record().Field(1).ClippedText());
    EXPECT_EQ(LastErrorCode(), NoRecord);
    return texts;
  }

  testing_support::TempDir dir_;
};

using Drivers =
    ::testing::Types<DriverIs<Driver::Keyed>, DriverIs<Driver::Ascii>, DriverIs<Driver::Basic>, DriverIs<Driver::Dos>>;
TYPED_TEST_SUITE(DataFileDriverTest, Drivers);

TYPED_TEST(DataFileDriverTest, OpeningAndClosingAnswerTheRuntimesCodes) {
  auto missing = this->Make("MISSING");
  EXPECT_EQ(missing->Open(kReadWrite), FileNotFound);
  EXPECT_FALSE(missing->IsOpen());
  EXPECT_EQ(missing->Next(), FileNotOpen);
  EXPECT_EQ(missing->Add(), FileNotOpen);
  EXPECT_EQ(missing->Close(), FileNotOpen);
  EXPECT_EQ(this->Make("no-such-folder/DATA")->Open(kReadWrite), PathNotFound);
  EXPECT_EQ(this->Make("no-such-folder/DATA")->Create(), PathNotFound);

  auto file = this->Filled({"alpha"});
  EXPECT_EQ(file->Open(kReadWrite), AlreadyOpen);
  EXPECT_EQ(file->Remove(), AccessDenied);  // still open
  ASSERT_EQ(file->Close(), NoError);
  EXPECT_EQ(file->Close(), FileNotOpen);
  EXPECT_EQ(file->Remove(), NoError);
  EXPECT_FALSE(fs::exists(this->DiskPath()));
  EXPECT_EQ(file->Open(kReadWrite), FileNotFound);
}

TYPED_TEST(DataFileDriverTest, CreatedFileStartsEmptyAndKeepsWhatIsAdded) {
  auto file = this->Filled({});
  EXPECT_EQ(file->Records(), 0);
  EXPECT_EQ(file->Next(), NoRecord);
  for (const char* text : {"alpha", "beta", "gamma"}) ASSERT_EQ(this->Add(*file, text), NoError);
  EXPECT_EQ(file->Records(), 3);
  ASSERT_EQ(file->Close(), NoError);

  auto again = this->Make();
  ASSERT_EQ(again->Open(kReadOnly), NoError);
  EXPECT_EQ(this->ReadAll(*again), (std::vector<std::string>{"alpha", "beta", "gamma"}));
}

TYPED_TEST(DataFileDriverTest, CreateNeverReplacesAFile) {
  auto file = this->Filled({"alpha"});
  ASSERT_EQ(file->Close(), NoError);
  EXPECT_EQ(this->Make()->Create(), AccessDenied);
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha"}));
}

TYPED_TEST(DataFileDriverTest, ReadOnlyOpenRefusesWrites) {
  auto file = this->Filled({"alpha"});
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  EXPECT_TRUE(file->IsReadOnly());
  EXPECT_EQ(this->Add(*file, "beta"), AccessDenied);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha"}));
}

// A file nobody may write opens for reading only. Checked by an unprivileged
// process, for which the permissions hold with every driver.
TYPED_TEST(DataFileDriverTest, ReadOnlyFileOpensForReadingOnly) {
  auto filled = this->Filled({"alpha"});
  ASSERT_EQ(filled->Close(), NoError);
  fs::permissions(this->dir_.Path(), fs::perms::all);
  for (const auto& entry : fs::directory_iterator(this->dir_.Path())) {
    fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                      fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
  }
  fs::permissions(this->DiskPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
    auto file = this->Make();
    if (file->Open(kReadWrite) != AccessDenied) ::_exit(11);
    if (file->Open(kReadOnly) != NoError) ::_exit(12);
    if (this->Add(*file, "beta") != AccessDenied) ::_exit(13);
    if (file->SetOrder(0) != NoError || file->Next() != NoError || file->Next() != NoRecord) ::_exit(14);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TYPED_TEST(DataFileDriverTest, SharingModesBetweenTwoStations) {
  auto first = this->Filled({"alpha"});
  auto second = this->Make();
  // Deny none: both read and write.
  ASSERT_EQ(second->Open(kReadWrite), NoError);
  ASSERT_EQ(this->Add(*second, "beta"), NoError);
  EXPECT_EQ(this->ReadAll(*first), (std::vector<std::string>{"alpha", "beta"}));
  ASSERT_EQ(second->Close(), NoError);
  ASSERT_EQ(first->Close(), NoError);

  // Deny all keeps every other station out until it closes.
  ASSERT_EQ(first->Open(AccessReadWrite | ShareDenyAll), NoError);
  EXPECT_EQ(second->Open(kReadOnly), AccessDenied);
  EXPECT_FALSE(second->IsOpen());
  ASSERT_EQ(first->Close(), NoError);
  EXPECT_EQ(second->Open(kReadOnly), NoError);
  // ... and is refused while another station is in.
  EXPECT_EQ(first->Open(AccessReadWrite | ShareDenyAll), AccessDenied);
}

}  // namespace
}  // namespace runtime
