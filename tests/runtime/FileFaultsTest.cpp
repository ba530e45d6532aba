// Failed file-system calls under the data-file drivers, INI files, lock files
// and directory listing: each failure reaches the caller as the runtime's code
// with the system's own code and text, and no file is left half-written.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/ini/IniFile.h"
#include "runtime/system/Directory.h"
#include "runtime/system/FileLocks.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "support/ScopedFileSystem.h"
#include "support/TempDir.h"
#include "testing/FaultyFileSystem.h"

namespace runtime {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kReadWrite = AccessReadWrite | ShareDenyNone;

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::size_t FilesIn(const fs::path& directory) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), {}));
}

// The runtime's error left by the last call is the system failure error.
::testing::AssertionResult FailedWith(std::int32_t code, int error) {
  const RuntimeError& last = LastError();
  if (last.code != code) return ::testing::AssertionFailure() << "code " << last.code << ", wanted " << code;
  if (last.text != ErrorTextFor(code)) return ::testing::AssertionFailure() << "text \"" << last.text << "\"";
  if (code == DriverFailure && (last.driverCode != std::to_string(error) || last.driverText != std::strerror(error))) {
    return ::testing::AssertionFailure() << "driver error " << last.driverCode << " \"" << last.driverText << "\"";
  }
  return ::testing::AssertionSuccess();
}

class FaultTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir_;
  FaultyFileSystem faulty_;
  testing_support::ScopedFileSystem use_{faulty_};
};

// --- Text drivers ----------------------------------------------------------------

template <Driver D>
struct DriverIs {
  static constexpr Driver kDriver = D;
};

template <typename T>
class TextFileFaultTest : public FaultTest {
 protected:
  // An open file holding records "record 1" ... "record count".
  std::unique_ptr<DataFile> Filled(int count) {
    auto file = DataFile::Make(T::kDriver, RecordLayout::Builder("TEXT", "TXT").String("LINE", 12).Build(), path_);
    EXPECT_EQ(file->Create(), NoError);
    EXPECT_EQ(file->Open(kReadWrite), NoError);
    for (int i = 1; i <= count; ++i) EXPECT_EQ(Add(*file, i), NoError);
    return file;
  }
  static std::int32_t Add(DataFile& file, int number) {
    file.Record().Field(1).SetText("record " + std::to_string(number));
    return file.Add();
  }
  static std::vector<std::string> ReadAll(DataFile& file) {
    std::vector<std::string> texts;
    EXPECT_EQ(file.SetOrder(0), NoError);
    while (file.Next() == NoError) texts.emplace_back(file.Record().Field(1).ClippedText());
    return texts;
  }
  static std::vector<std::string> Records(int count) {
    std::vector<std::string> texts;
    for (int i = 1; i <= count; ++i) texts.push_back("record " + std::to_string(i));
    return texts;
  }

  const std::string path_ = dir_.File("data.txt");
};

using TextDrivers = ::testing::Types<DriverIs<Driver::Ascii>, DriverIs<Driver::Basic>, DriverIs<Driver::Dos>>;
TYPED_TEST_SUITE(TextFileFaultTest, TextDrivers);

TYPED_TEST(TextFileFaultTest, FailedCallsReportTheSystemErrorAndLeaveTheFileAsItWas) {
  struct Case {
    const char* what;
    std::function<void(FaultyFileSystem&)> arm;
    std::function<std::int32_t(DataFile&)> operation;
    std::int32_t code;
    int error;
  };
  const Case cases[] = {
      {"failed append", [](FaultyFileSystem& f) { f.Fail(FileCall::Write, EIO); },
       [](DataFile& file) { return TestFixture::Add(file, 9); }, DriverFailure, EIO},
      {"append cut short, then the disk is full",
       [](FaultyFileSystem& f) {
         f.ShortWrite();
         f.Fail(FileCall::Write, ENOSPC, 1);
       },
       [](DataFile& file) { return TestFixture::Add(file, 9); }, DriverFailure, ENOSPC},
      {"rewrite cut short, then a failed write",
       [](FaultyFileSystem& f) {
         f.ShortWrite();
         f.Fail(FileCall::Write, EIO, 1);
       },
       [](DataFile& file) {
         EXPECT_EQ(file.SetOrder(0), NoError);
         EXPECT_EQ(file.Next(), NoError);
         file.Record().Field(1).SetText("RECORD 1");
         return file.Put();
       },
       DriverFailure, EIO},
      {"failed read", [](FaultyFileSystem& f) { f.Fail(FileCall::Read, EIO); },
       [](DataFile& file) {
         EXPECT_EQ(file.SetOrder(0), NoError);
         return file.Next();
       },
       DriverFailure, EIO},
      {"failed flush to disk on close", [](FaultyFileSystem& f) { f.Fail(FileCall::Sync, EIO); },
       [](DataFile& file) { return file.Close(); }, DriverFailure, EIO},
      {"share lock refused", [](FaultyFileSystem& f) { f.Fail(FileCall::Lock, ENOLCK); },
       [](DataFile& file) {
         EXPECT_EQ(file.Close(), NoError);
         return file.Open(kReadWrite);
       },
       AccessDenied, 0},
      {"open refused", [](FaultyFileSystem& f) { f.Fail(FileCall::Open, EACCES); },
       [](DataFile& file) {
         EXPECT_EQ(file.Close(), NoError);
         return file.Open(kReadWrite);
       },
       AccessDenied, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(this->path_);
    auto file = this->Filled(2);
    const std::string before = ReadRaw(this->path_);
    c.arm(this->faulty_);
    EXPECT_EQ(c.operation(*file), c.code);
    EXPECT_TRUE(FailedWith(c.code, c.error));
    this->faulty_.Heal();
    EXPECT_EQ(ReadRaw(this->path_), before);
    if (!file->IsOpen()) {
      ASSERT_EQ(file->Open(kReadWrite), NoError);
    }
    EXPECT_EQ(this->ReadAll(*file), this->Records(2));
  }
}

// The disk fills while a batch appends records: the records before the full
// disk are whole, the one that did not fit left nothing behind, and the
// batch goes on once there is room again.
TYPED_TEST(TextFileFaultTest, DiskFillingHalfWayThroughABatchKeepsEveryWholeRecord) {
  auto file = this->Filled(0);
  this->faulty_.ShortWrite(3);
  this->faulty_.Fail(FileCall::Write, ENOSPC, 4, FaultRepeat::Always);
  int added = 0;
  while (added < 10 && this->Add(*file, added + 1) == NoError) ++added;
  EXPECT_EQ(added, 3);
  EXPECT_TRUE(FailedWith(DriverFailure, ENOSPC));
  EXPECT_EQ(this->Add(*file, 4), DriverFailure);
  EXPECT_EQ(this->ReadAll(*file), this->Records(3));

  this->faulty_.Heal();
  EXPECT_EQ(this->Add(*file, 4), NoError);
  EXPECT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  EXPECT_EQ(this->ReadAll(*file), this->Records(4));
}

// During a quick scan appends reach the file a block at a time: reading,
// the scan's end and the close write them first; a block that fails is
// taken back whole and reported, and the records before the scan stay.
TYPED_TEST(TextFileFaultTest, QuickScanHoldsAppendsAndTakesBackABlockThatFails) {
  auto file = this->Filled(2);
  const std::string before = ReadRaw(this->path_);
  ASSERT_EQ(file->SendOption("QUICKSCAN=on"), NoError);
  for (int i = 3; i <= 5; ++i) EXPECT_EQ(this->Add(*file, i), NoError);
  EXPECT_EQ(ReadRaw(this->path_), before);            // held
  EXPECT_EQ(this->ReadAll(*file), this->Records(5));  // a read writes them first
  EXPECT_EQ(this->Add(*file, 6), NoError);
  EXPECT_EQ(file->SendOption("QUICKSCAN=off"), NoError);
  EXPECT_EQ(this->ReadAll(*file), this->Records(6));

  struct Case {
    const char* what;
    FileCall call;
    int error;
    std::function<std::int32_t(DataFile&)> end;
  };
  const Case cases[] = {
      {"the scan's end cannot write", FileCall::Write, ENOSPC,
       [](DataFile& f) { return f.SendOption("QUICKSCAN=off"); }},
      {"the scan's end cannot flush to disk", FileCall::Sync, EIO,
       [](DataFile& f) { return f.SendOption("QUICKSCAN=off"); }},
      {"the close cannot write", FileCall::Write, EIO, [](DataFile& f) { return f.Close(); }},
      {"a full block cannot be written", FileCall::Write, ENOSPC,
       [](DataFile& f) -> std::int32_t {
         // Adds until the block is full and its write fails.
         for (int i = 0; i < 100'000; ++i) {
           if (const std::int32_t code = TestFixture::Add(f, 7)) return code;
         }
         return NoError;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!file->IsOpen()) {
      ASSERT_EQ(file->Open(kReadWrite), NoError);
    }
    const std::string start = ReadRaw(this->path_);
    ASSERT_EQ(file->SendOption("QUICKSCAN=on"), NoError);
    EXPECT_EQ(this->Add(*file, 7), NoError);
    this->faulty_.Fail(c.call, c.error);
    EXPECT_EQ(c.end(*file), DriverFailure);
    EXPECT_TRUE(FailedWith(DriverFailure, c.error));
    this->faulty_.Heal();
    if (c.call == FileCall::Write) {
      EXPECT_EQ(ReadRaw(this->path_), start);
    }
    (void)file->SendOption("QUICKSCAN=off");
  }
}

// --- INI files -----------------------------------------------------------------

class IniFileFaultTest : public FaultTest {
 protected:
  const std::string path_ = dir_.File("marlinden.INI");
};

TEST_F(IniFileFaultTest, FailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
  struct Case {
    const char* what;
    FileCall call;
    int error;
    int after;  // the old file's own open and close come first
    bool shortWriteFirst;
    std::int32_t code;
  };
  const Case cases[] = {
      {"new file cannot be created", FileCall::Open, ENOSPC, 1, false, DriverFailure},
      {"failed write", FileCall::Write, EIO, 0, false, DriverFailure},
      {"write cut short by a full disk", FileCall::Write, ENOSPC, 0, true, DriverFailure},
      {"failed flush to disk", FileCall::Sync, EIO, 0, false, DriverFailure},
      {"failed close", FileCall::Close, EIO, 1, false, DriverFailure},
      {"failed rename", FileCall::Rename, EIO, 0, false, DriverFailure},
      {"rename refused", FileCall::Rename, EACCES, 0, false, AccessDenied},
  };
  const std::string before = "; settings\r\n[Main]\r\nXPos=1\r\nYPos=2\r\n";
  std::ofstream(path_, std::ios::binary) << before;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.shortWriteFirst) faulty_.ShortWrite();
    faulty_.Fail(c.call, c.error, c.shortWriteFirst ? 1 : c.after);
    EXPECT_EQ(IniFile(path_).Write("Main", "XPos", "12345"), c.code);
    EXPECT_TRUE(FailedWith(c.code, c.error));
    faulty_.Heal();
    EXPECT_EQ(ReadRaw(path_), before);
    EXPECT_EQ(FilesIn(dir_.Path()), 1u);
  }
}

TEST_F(IniFileFaultTest, FailedSyncOfTheDirectoryStillWritesTheValue) {
  faulty_.Fail(FileCall::SyncDirectory, EIO);
  EXPECT_EQ(IniFile(path_).Write("Favorite", "MyFavorite", "http://a.example/"), NoError);
  EXPECT_EQ(IniFile(path_).Read("Favorite", "MyFavorite"), "http://a.example/");
}

// A window's position is four writes; the disk fills after two of them.
TEST_F(IniFileFaultTest, DiskFillingHalfWayThroughABatchKeepsTheWritesBeforeIt) {
  const IniFile ini(path_);
  ASSERT_EQ(ini.Write("Main", "XPos", "0"), NoError);
  faulty_.Fail(FileCall::Write, ENOSPC, 2, FaultRepeat::Always);
  const char* keys[] = {"XPos", "YPos", "Width", "Height"};
  std::vector<std::int32_t> codes;
  for (const char* key : keys) codes.push_back(ini.Write("Main", key, "100"));
  EXPECT_EQ(codes, (std::vector<std::int32_t>{NoError, NoError, DriverFailure, DriverFailure}));
  EXPECT_TRUE(FailedWith(DriverFailure, ENOSPC));
  faulty_.Heal();
  EXPECT_EQ(ReadRaw(path_), "[Main]\nXPos=100\nYPos=100\n");
  EXPECT_EQ(FilesIn(dir_.Path()), 1u);
}

TEST_F(IniFileFaultTest, UnreadableFileReadsAsTheFallbackAndIsNeverOverwritten) {
  std::ofstream(path_, std::ios::binary) << "[Main]\nXPos=1\n";
  faulty_.Fail(FileCall::Read, EIO, 0, FaultRepeat::Always);
  EXPECT_EQ(IniFile(path_).Read("Main", "XPos", "none"), "none");
  EXPECT_EQ(IniFile(path_).Write("Main", "XPos", "2"), DriverFailure);
  EXPECT_TRUE(FailedWith(DriverFailure, EIO));
  faulty_.Heal();
  EXPECT_EQ(ReadRaw(path_), "[Main]\nXPos=1\n");
}

// --- Lock files and directories --------------------------------------------------

TEST_F(FaultTest, LockFileFallsBackToReadOnlyAndReportsAFileItCannotOpen) {
  const std::string path = dir_.File("station.lck");
  std::ofstream(path) << "";
  faulty_.Fail(FileCall::Open, EACCES);
  int error = 0;
  auto readOnly = LockFile::Open(path, error);
  ASSERT_NE(readOnly, nullptr);
  EXPECT_FALSE(readOnly->Writable());

  faulty_.Fail(FileCall::Open, EMFILE, 0, FaultRepeat::Always);
  EXPECT_EQ(LockFile::Open(path, error), nullptr);
  EXPECT_EQ(error, EMFILE);
  faulty_.Heal();

  auto writable = LockFile::Open(path, error);
  ASSERT_NE(writable, nullptr);
  faulty_.Fail(FileCall::Lock, ENOLCK);
  EXPECT_EQ(writable->TryLock(1, LockKind::Exclusive), LockResult::Failed);
  EXPECT_EQ(writable->TryLock(1, LockKind::Exclusive), LockResult::Taken);
  EXPECT_EQ(readOnly->TryLock(1, LockKind::Shared), LockResult::Busy);
}

TEST_F(FaultTest, DirectoryListingReportsWhyItFailed) {
  std::ofstream(dir_.File("a.htm")) << "x";
  const std::string pattern = dir_.File("*.htm");
  const struct {
    int error;
    std::int32_t code;
  } cases[] = {{EACCES, AccessDenied}, {ENOENT, PathNotFound}, {EIO, DriverFailure}};
  std::vector<DirectoryEntry> entries;
  for (const auto& c : cases) {
    faulty_.Fail(FileCall::ListNames, c.error);
    EXPECT_EQ(ListDirectory(pattern, entries), c.code) << c.error;
    EXPECT_TRUE(FailedWith(c.code, c.error)) << c.error;
    EXPECT_TRUE(entries.empty());
  }
  EXPECT_EQ(ListDirectory(pattern, entries), NoError);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.htm");
}

// --- Keyed files' create ---------------------------------------------------------

// A keyed file is built under a temporary name, flushed to disk and renamed
// into place: when any of that fails the create reports it and leaves no
// file, so the next create starts afresh.
TEST_F(FaultTest, KeyedCreateThatDoesNotReachTheDiskLeavesNothingBehind) {
  struct Case {
    const char* what;
    FileCall call;
    int error;
    std::int32_t code;
  };
  const Case cases[] = {
      {"temporary file refused", FileCall::Open, EACCES, AccessDenied},
      {"temporary file not closed", FileCall::Close, EIO, DriverFailure},
      {"flush to disk failed", FileCall::Sync, EIO, DriverFailure},
      {"rename on a full disk", FileCall::Rename, ENOSPC, DriverFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = dir_.File("MARLINDEN");
    auto file = DataFile::Make(Driver::Keyed, testing_support::BookmarkLayout(), name);
    faulty_.Fail(c.call, c.error);
    EXPECT_EQ(file->Create(), c.code);
    EXPECT_EQ(LastError().driverCode, std::to_string(c.error));
    EXPECT_EQ(FilesIn(dir_.Path()), 0u) << "neither the file nor its temporary is left";
    faulty_.Heal();
    ASSERT_EQ(file->Create(), NoError) << LastError().driverText;
    ASSERT_EQ(file->Open(kReadWrite), NoError) << LastError().driverText;
    EXPECT_EQ(file->Records(), 0);
    ASSERT_EQ(file->Close(), NoError);
    ASSERT_EQ(file->Remove(), NoError);
  }
}

TEST_F(FaultTest, KeyedOpenReportsAHeaderItCannotRead) {
  const std::string name = dir_.File("MARLINDEN");
  auto file = DataFile::Make(Driver::Keyed, testing_support::BookmarkLayout(), name);
  ASSERT_EQ(file->Create(), NoError);
  faulty_.Fail(FileCall::Read, EIO, 0, FaultRepeat::Always);
  EXPECT_EQ(file->Open(kReadWrite), DriverFailure);
  EXPECT_EQ(LastError().driverCode, std::to_string(EIO));
  faulty_.Heal();
  EXPECT_EQ(file->Open(kReadWrite), NoError) << "the file was never touched";
}

}  // namespace
}  // namespace runtime
