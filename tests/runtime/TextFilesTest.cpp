// The text drivers (ASCII, BASIC, DOS) on real files in a scratch directory:
// the shared plain-file behaviour runs over all three, then each driver's
// own format.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeError.h"
#include "support/TempDir.h"
#include "testing/TestClock.h"

namespace runtime {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kReadWrite = AccessReadWrite | ShareDenyNone;
constexpr std::uint8_t kReadOnly = AccessRead | ShareDenyNone;

std::string ReadRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteRaw(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

RecordLayout OneFieldLayout(std::uint32_t width) {
  return RecordLayout::Builder("TEXT", "TXT").String("LINE", width).Build();
}

// --- Shared behaviour over every driver ----------------------------------------

template <Driver D>
struct DriverIs {
  static constexpr Driver kDriver = D;
};

template <typename T>
class TextFileTest : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kWidth = 16;

  std::unique_ptr<DataFile> Make(const std::string& name = "data.txt") {
    return DataFile::Make(T::kDriver, OneFieldLayout(kWidth), dir_.File(name));
  }

  // A file holding the given records, written through the driver itself.
  std::unique_ptr<DataFile> Filled(const std::vector<std::string>& records, const std::string& name = "data.txt") {
    auto file = Make(name);
    EXPECT_EQ(file->Create(), NoError);
    EXPECT_EQ(file->Open(kReadWrite), NoError);
    for (const std::string& text : records) {
      file->Record().Field(1).SetText(text);
      EXPECT_EQ(file->Add(), NoError) << text;
    }
    return file;
  }

  static std::string Text(DataFile& file) { return std::string(file.Record().Field(1).ClippedText()); }

  static std::vector<std::string> ReadAll(DataFile& file) {
    std::vector<std::string> texts;
    EXPECT_EQ(file.SetOrder(0), NoError);
    while (file.Next() == NoError) texts.push_back(Text(file));
    EXPECT_EQ(LastErrorCode(), NoRecord);
    return texts;
  }

  testing_support::TempDir dir_;
};

using Drivers = ::testing::Types<DriverIs<Driver::Ascii>, DriverIs<Driver::Basic>, DriverIs<Driver::Dos>>;
TYPED_TEST_SUITE(TextFileTest, Drivers);

TYPED_TEST(TextFileTest, ReadsForwardAndBackwardWhatWasAdded) {
  auto file = this->Filled({"alpha", "beta", "gamma"});
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  EXPECT_EQ(file->Records(), 3);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(file->Next(), NoRecord);

  ASSERT_EQ(file->SetOrder(0), NoError);
  std::vector<std::string> backward;
  while (file->Previous() == NoError) backward.push_back(this->Text(*file));
  EXPECT_EQ(LastErrorCode(), NoRecord);
  EXPECT_EQ(backward, (std::vector<std::string>{"gamma", "beta", "alpha"}));
}

// Waiting for another station to let go runs on the runtime clock (the
// runtime lock is released meanwhile), so the test drives the time.
TYPED_TEST(TextFileTest, RecoverWaitsOnTheRuntimeClockForAStationToLetGo) {
  auto holder = this->Filled({"alpha"});
  ASSERT_EQ(holder->Close(), NoError);
  ASSERT_EQ(holder->Open(AccessReadWrite | ShareDenyAll), NoError);
  TestClock clock(0, 0);
  ScopedTimeSource scoped(clock);
  auto file = this->Make();
  ASSERT_EQ(file->SendOption("Recover=5"), NoError);
  std::atomic<std::int32_t> opened = -1;
  std::thread opener([&] { opened = file->Open(kReadWrite); });
  ASSERT_TRUE(clock.WaitForSleeper(std::chrono::seconds(10))) << "the open waits for the other station";
  clock.AdvanceMicros(2'000'000);
  ASSERT_TRUE(clock.WaitForSleeper(std::chrono::seconds(10))) << "still waiting after 2 of 5 seconds";
  ASSERT_EQ(holder->Close(), NoError);
  clock.AdvanceMicros(100'000);
  opener.join();
  EXPECT_EQ(opened, NoError);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha"}));
}

TYPED_TEST(TextFileTest, PositionsTakeTheReaderBackToARecord) {
  auto file = this->Filled({"alpha", "beta", "gamma"});
  std::vector<std::string> positions;
  ASSERT_EQ(file->SetOrder(0), NoError);
  while (file->Next() == NoError) positions.push_back(file->Position(0));
  ASSERT_EQ(positions.size(), 3u);

  ASSERT_EQ(file->GetAt(positions[1]), NoError);
  EXPECT_EQ(this->Text(*file), "beta");
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(this->Text(*file), "gamma");
  ASSERT_EQ(file->Reget(positions[0]), NoError);
  EXPECT_EQ(this->Text(*file), "alpha");

  ASSERT_EQ(file->SetOrderAtPosition(0, positions[2]), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(this->Text(*file), "gamma");
  ASSERT_EQ(file->SetOrderAtPosition(0, positions[2]), NoError);
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(this->Text(*file), "beta");

  EXPECT_EQ(file->GetAt("garbage"), BadParameter);
  EXPECT_EQ(file->GetAt(std::string(8, '\x7f')), RecordNotFound);
  // An empty position forgets the current record.
  ASSERT_EQ(file->GetAt(""), NoError);
  EXPECT_EQ(file->Position(0), "");
  EXPECT_EQ(file->Put(), NoRecord);
}

TYPED_TEST(TextFileTest, PutRewritesTheCurrentRecordInPlace) {
  auto file = this->Filled({"alpha", "beta", "gamma"});
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->Next(), NoError);
  file->Record().Field(1).SetText("BETA");
  ASSERT_EQ(file->Put(), NoError);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha", "BETA", "gamma"}));
}

TYPED_TEST(TextFileTest, KeysHoldsTransactionsAndDeleteAreUnsupported) {
  auto file = this->Filled({"alpha"});
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  const std::vector<std::pair<const char*, std::function<std::int32_t()>>> operations = {
      {"Delete", [&] { return file->Delete(); }},
      {"Get", [&] { return file->Get(1); }},
      {"SetOrder(1)", [&] { return file->SetOrder(1); }},
      {"SetOrderAtBuffer", [&] { return file->SetOrderAtBuffer(1); }},
      {"BuildKeys", [&] { return file->BuildKeys(); }},
      {"Hold", [&] { return file->Hold(); }},
      {"Watch", [&] { return file->Watch(); }},
      {"BeginTransaction", [&] { return file->BeginTransaction(1); }},
      {"Commit", [&] { return file->Commit(); }},
      {"Rollback", [&] { return file->Rollback(); }},
  };
  for (const auto& [name, operation] : operations) {
    EXPECT_EQ(operation(), Unsupported) << name;
    EXPECT_EQ(LastErrorCode(), Unsupported) << name;
  }
  EXPECT_FALSE(file->Duplicate(1));
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha"}));
}

TYPED_TEST(TextFileTest, OpeningFailsWithTheRuntimeCodes) {
  auto missing = this->Make("missing.txt");
  EXPECT_EQ(missing->Open(kReadWrite), FileNotFound);
  EXPECT_EQ(missing->Remove(), FileNotFound);
  EXPECT_EQ(missing->Next(), FileNotOpen);
  EXPECT_EQ(this->Make("no-such-dir/x.txt")->Open(kReadWrite), PathNotFound);

  auto file = this->Filled({"alpha"}, "kept.txt");
  EXPECT_EQ(file->Open(kReadWrite), AlreadyOpen);
  ASSERT_EQ(file->Close(), NoError);
  EXPECT_EQ(file->Close(), FileNotOpen);
  const std::string path = this->dir_.File("kept.txt");
  const std::string before = ReadRaw(path);

  // Create never replaces an existing file.
  EXPECT_EQ(file->Create(), AccessDenied);
  EXPECT_EQ(ReadRaw(path), before);

  // A read-only file opens for reading only, and then refuses writes.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(file->Open(kReadWrite), AccessDenied);
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  EXPECT_EQ(file->Add(), AccessDenied);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Put(), AccessDenied);
  EXPECT_EQ(file->Remove(), AccessDenied);  // still open
  ASSERT_EQ(file->Close(), NoError);
  EXPECT_EQ(ReadRaw(path), before);

  EXPECT_EQ(file->Remove(), NoError);
  EXPECT_FALSE(fs::exists(path));
}

TYPED_TEST(TextFileTest, CreatedFileIsEmpty) {
  auto file = this->Make();
  ASSERT_EQ(file->Create(), NoError);
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  EXPECT_EQ(file->Records(), 0);
  EXPECT_EQ(file->Bytes(), 0);
  EXPECT_EQ(file->Next(), NoRecord);
  EXPECT_EQ(file->Previous(), NoRecord);
}

TYPED_TEST(TextFileTest, AStationDenyingAllKeepsOthersOut) {
  auto first = this->Filled({"alpha"});
  ASSERT_EQ(first->Close(), NoError);
  ASSERT_EQ(first->Open(AccessReadWrite | ShareDenyAll), NoError);
  auto second = this->Make();
  EXPECT_EQ(second->Open(kReadOnly), AccessDenied);
  ASSERT_EQ(first->Close(), NoError);
  EXPECT_EQ(second->Open(kReadOnly), NoError);
}

TYPED_TEST(TextFileTest, LongFilesReadAcrossBufferBoundaries) {
  std::vector<std::string> records;
  for (int i = 0; i < 9000; ++i) records.push_back("record " + std::to_string(i));  // ~150 KB
  auto file = this->Filled(records);
  EXPECT_EQ(file->Records(), 9000);
  EXPECT_EQ(this->ReadAll(*file), records);
  ASSERT_EQ(file->SendOption("QUICKSCAN=on"), NoError);
  EXPECT_EQ(this->ReadAll(*file), records);

  ASSERT_EQ(file->SetOrder(0), NoError);
  std::size_t back = records.size();
  while (file->Previous() == NoError) {
    ASSERT_GT(back, 0u);
    ASSERT_EQ(this->Text(*file), records[--back]);
  }
  EXPECT_EQ(back, 0u);
}

// A failed append (here: the file-size limit, as a full disk would) reports
// the driver's failure and leaves the file as it was before the add.
TYPED_TEST(TextFileTest, FailedWriteReportsDriverFailureAndKeepsEarlierRecords) {
  auto file = this->Filled({"alpha", "beta"});
  const std::string path = this->dir_.File("data.txt");
  const std::string before = ReadRaw(path);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = before.size() + 5;  // room for part of the record only
    const rlimit fileSize{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(10);
    file->Record().Field(1).SetText("a longer record");
    if (file->Add() != DriverFailure) ::_exit(11);
    if (LastError().driverCode != std::to_string(EFBIG) || LastError().driverText.empty()) ::_exit(12);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadRaw(path), before);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"alpha", "beta"}));
}

// --- Line drivers ---------------------------------------------------------------------

template <typename T>
class LineFileTest : public TextFileTest<T> {};
using LineDrivers = ::testing::Types<DriverIs<Driver::Ascii>, DriverIs<Driver::Basic>>;
TYPED_TEST_SUITE(LineFileTest, LineDrivers);

TYPED_TEST(LineFileTest, AcceptsCrLfAndALastLineWithoutLineEnd) {
  const std::string path = this->dir_.File("data.txt");
  WriteRaw(path, "one\r\n\r\ntwo\nthree");
  auto file = this->Make();
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  EXPECT_EQ(file->Records(), 4);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"one", "", "two", "three"}));
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(this->Text(*file), "three");

  // The added line must not run on from the unterminated last one.
  file->Record().Field(1).SetText("four");
  ASSERT_EQ(file->Add(), NoError);
  EXPECT_EQ(ReadRaw(path), "one\r\n\r\ntwo\nthree\nfour\n");
  EXPECT_EQ(file->Records(), 5);
}

TYPED_TEST(LineFileTest, AppendingKeepsALoneCrOfTheLastLine) {
  const std::string path = this->dir_.File("data.txt");
  WriteRaw(path, "one\nlast\r");
  auto file = this->Make();
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"one", "last\r"}));
  file->Record().Field(1).SetText("added");
  ASSERT_EQ(file->Add(), NoError);
  EXPECT_EQ(ReadRaw(path), "one\nlast\r\r\nadded\n");
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"one", "last\r", "added"}));
}

TYPED_TEST(LineFileTest, LongLineIsCutWithoutSplittingACharacter) {
  const std::string path = this->dir_.File("data.txt");
  // The euro sign (3 bytes) straddles byte 16, the record's width.
  WriteRaw(path, "abcdefghijklmn\xE2\x82\xACxyz and more\nnext\n");
  auto file = this->Make();
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  EXPECT_EQ(this->ReadAll(*file), (std::vector<std::string>{"abcdefghijklmn", "next"}));
}

TYPED_TEST(LineFileTest, PutOfADifferentLengthIsRefused) {
  auto file = this->Filled({"alpha", "beta"});
  const std::string path = this->dir_.File("data.txt");
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  file->Record().Field(1).SetText("alphabet");
  EXPECT_EQ(file->Put(), Unsupported);
  file->Record().Field(1).SetText("alp");
  EXPECT_EQ(file->Put(), Unsupported);
  EXPECT_EQ(ReadRaw(path), "alpha\nbeta\n");
}

TEST(AsciiFileTest, WritesClippedLinesAndKeepsA255ByteFieldWhole) {
  testing_support::TempDir dir;
  const std::string path = dir.File("export.htm");
  auto file = DataFile::Make(Driver::Ascii, OneFieldLayout(255), path);
  ASSERT_EQ(file->Create(), NoError);
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  const std::string exact(255, 'x');
  for (const std::string& line : {std::string("<TITLE>Bookmarks</TITLE>"), exact, std::string("a \"quoted\", text ")}) {
    file->Record().Field(1).SetText(line);
    ASSERT_EQ(file->Add(), NoError);
  }
  EXPECT_EQ(ReadRaw(path), "<TITLE>Bookmarks</TITLE>\n" + exact + "\na \"quoted\", text\n");
}

// --- BASIC fields ------------------------------------------------------------------------

TEST(BasicFileTest, SplitsFieldsAndGivesTheLastOneTheRestOfTheLine) {
  const RecordLayout layout = RecordLayout::Builder("CSV", "CSV")
                                  .String("NAME", 12)
                                  .Field("COUNT", FieldType::Int32)
                                  .String("REST", 40)
                                  .Build();
  struct Case {
    std::string line;
    std::string name;
    std::int64_t count;
    std::string rest;
  };
  const std::vector<Case> cases = {
      {"plain,12,rest, with \"commas\"", "plain", 12, "rest, with \"commas\""},
      {"\"a,b\",7,z", "a,b", 7, "z"},
      {"\"say \"\"hi\"\"\",3,", "say \"hi\"", 3, ""},
      {"\"quoted\"tail,4,x", "quotedtail", 4, "x"},
      {"only", "only", 0, ""},
      {",,", "", 0, ""},
      {"n, 42abc,\"kept\" as is", "n", 42, "\"kept\" as is"},
      {"\"unterm,1,2", "unterm,1,2", 0, ""},
      {"far too long a name,99999999999,r", "far too long", 2147483647, "r"},
  };
  testing_support::TempDir dir;
  std::string content;
  for (const Case& c : cases) content += c.line + "\n";
  WriteRaw(dir.File("in.csv"), content);
  auto file = DataFile::Make(Driver::Basic, layout, dir.File("in.csv"));
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  for (const Case& c : cases) {
    ASSERT_EQ(file->Next(), NoError) << c.line;
    EXPECT_EQ(file->Record().Field(1).ClippedText(), c.name) << c.line;
    EXPECT_EQ(file->Record().Field(2).Get().AsInteger(), c.count) << c.line;
    EXPECT_EQ(file->Record().Field(3).ClippedText(), c.rest) << c.line;
  }
  EXPECT_EQ(file->Next(), NoRecord);
}

TEST(BasicFileTest, OneFieldRecordHoldsTheWholeLineAsItStands) {
  testing_support::TempDir dir;
  const std::string line = "<DT><A HREF=\"http://example.com/?a=1,b=2\" ADD_DATE=\"1\">Title, \"quoted\"</A>";
  WriteRaw(dir.File("bookmarks.htm"), "<DL><p>\n    " + line + "\r\n");
  auto file = DataFile::Make(Driver::Basic, OneFieldLayout(255), dir.File("bookmarks.htm"));
  ASSERT_EQ(file->Open(kReadOnly), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Field(1).ClippedText(), "<DL><p>");
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Field(1).ClippedText(), "    " + line);
}

TEST(BasicFileTest, AddedRecordsReadBackUnchanged) {
  const RecordLayout layout = RecordLayout::Builder("CSV", "CSV")
                                  .String("NAME", 12)
                                  .Field("COUNT", FieldType::Int32)
                                  .String("REST", 40)
                                  .Build();
  testing_support::TempDir dir;
  auto file = DataFile::Make(Driver::Basic, layout, dir.File("out.csv"));
  ASSERT_EQ(file->Create(), NoError);
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  RecordBuffer& record = file->Record();
  record.Field(1).SetText("a,\"b\"");
  record.Field(2).SetInteger(-5);
  record.Field(3).SetText("r, \"s\"");
  ASSERT_EQ(file->Add(), NoError);
  record.Field(1).SetText("plain");
  record.Field(2).SetInteger(7);
  record.Field(3).SetText("");
  ASSERT_EQ(file->Add(), NoError);
  EXPECT_EQ(ReadRaw(dir.File("out.csv")), "\"a,\"\"b\"\"\",-5,r, \"s\"\nplain,7,\n");

  record.Clear();
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(record.Field(1).ClippedText(), "a,\"b\"");
  EXPECT_EQ(record.Field(2).Get().AsInteger(), -5);
  EXPECT_EQ(record.Field(3).ClippedText(), "r, \"s\"");
}

// --- DOS records ----------------------------------------------------------------------------

TEST(DosFileTest, ShortLastPieceReadsPaddedAndAddsStayAligned) {
  testing_support::TempDir dir;
  const std::string path = dir.File("raw.dat");
  WriteRaw(path, std::string("0123456789\nBCDEF", 16) + "xyz");
  auto file = DataFile::Make(Driver::Dos, OneFieldLayout(16), path);
  ASSERT_EQ(file->Open(kReadWrite), NoError);
  EXPECT_EQ(file->Records(), 2);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().View(), "0123456789\nBCDEF");  // a line end is just a byte
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().View(), "xyz" + std::string(13, ' '));

  file->Record().Field(1).SetText("third");
  ASSERT_EQ(file->Add(), NoError);
  EXPECT_EQ(file->Bytes(), 48);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Field(1).ClippedText(), "third");
}

}  // namespace
}  // namespace runtime
