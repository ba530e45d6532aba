// The keyed driver on one station: orders, keys, memos, positions,
// transactions, and files that are missing, damaged or not ours.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

#include "runtime/files/ThreadedFile.h"
#include "runtime/files/drivers/KeyedSchema.h"
#include "tests/runtime/KeyedTestSupport.h"
#include "tests/runtime/SqliteHookVfs.h"

namespace runtime::testing {
namespace {

class KeyedFileTest : public KeyedTestBase {
 protected:
  // Record order 3, 1, 2, 4; descriptions collide without case and spaces.
  std::unique_ptr<DataFile> FourBookmarks(RecordLayout layout = BookmarkLayout(),
                                          const std::string& name = "MARLINDEN") {
    std::unique_ptr<DataFile> file = NewFile(std::move(layout), name);
    for (const Bookmark& b : {Bookmark{3, "http://c.com", "beta"}, Bookmark{1, "http://a.com", "alpha"},
                              Bookmark{2, "http://b.com", "beta"}, Bookmark{4, "ftp://d.com", "ALPHA"}}) {
      EXPECT_EQ(Add(*file, b), NoError) << LastError().driverText;
    }
    return file;
  }
};

using Nums = std::vector<std::int64_t>;

TEST_F(KeyedFileTest, ReadsEveryOrderBothWays) {
  auto file = FourBookmarks();
  struct Case {
    std::size_t key;
    Nums forward;
  } cases[] = {
      {0, {3, 1, 2, 4}},         // record order
      {kNumKey, {1, 2, 3, 4}},   //
      {kNameKey, {4, 1, 2, 3}},  // "ftp" < "http", case folded
      {kDescKey, {1, 4, 3, 2}},  // equal keys in record order
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(*file, c.key), c.forward) << "key " << c.key;
    EXPECT_EQ(ReadAll(*file, c.key, true), Nums(c.forward.rbegin(), c.forward.rend())) << "key " << c.key;
  }
}

TEST_F(KeyedFileTest, DescendingComponentsAndDirectionChanges) {
  RecordLayout layout = RecordLayout::Builder("MARLINDEN", "WEB")
                            .Field("NUM", FieldType::Int32)
                            .String("URL", 255)
                            .String("DESCRIPTION", 250)
                            .Field("NOTEFIELD", FieldType::UInt8)
                            .Key("NUMDOWN", {{1, Order::Descending}}, KeyUnique)
                            .Key("MIXED", {{3}, {1, Order::Descending}}, KeyNoCase)
                            .Key("PAIR", {{3}, {1}}, KeyNoCase)
                            .Build();
  auto file = FourBookmarks(std::move(layout));
  EXPECT_EQ(ReadAll(*file, 1), (Nums{4, 3, 2, 1}));
  EXPECT_EQ(ReadAll(*file, 1, true), (Nums{1, 2, 3, 4}));
  EXPECT_EQ(ReadAll(*file, 2), (Nums{4, 1, 3, 2}));
  EXPECT_EQ(ReadAll(*file, 2, true), (Nums{2, 3, 1, 4}));

  // Turning round reads back from the record just read; past the end,
  // Previous reads the last record again.
  ASSERT_EQ(file->SetOrder(2), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Num(*file), 3);
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(Num(*file), 1);
  EXPECT_EQ(ReadOn(*file), (Nums{3, 2}));
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(Num(*file), 2);

  // Starting at buffer values on the mixed key: ("beta", 9) comes before
  // every beta since its number sorts downwards.
  SetBuffer(*file, {9, "", "BETA"});
  ASSERT_EQ(file->SetOrderAtBuffer(2), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{3, 2}));

  // Two ascending components.
  EXPECT_EQ(ReadAll(*file, 3), (Nums{1, 4, 2, 3}));
  EXPECT_EQ(ReadAll(*file, 3, true), (Nums{3, 2, 4, 1}));
  SetBuffer(*file, {3, "", "Beta"});
  ASSERT_EQ(file->SetOrderAtBuffer(3), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{3}));
  ASSERT_EQ(file->SetOrderAtBuffer(3), NoError);
  EXPECT_EQ(ReadOn(*file, true), (Nums{3, 2, 4, 1}));
  ASSERT_EQ(file->SetOrder(3), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(ReadOn(*file, true), (Nums{1}));
}

// A read that goes on from a key with many equal first components must
// start its index range at the whole bound, else each batch would scan the
// group from its start again.
TEST_F(KeyedFileTest, ReadingOnStartsTheIndexRangeAtTheWholeBound) {
  SKIP_ON_SERVER();
  const RecordLayout layout = RecordLayout::Builder("MARLINDEN", "WORDS")
                                  .String("WORD", 40)
                                  .Field("NUM", FieldType::Int32)
                                  .Key("EXACT", {{1}, {2}}, KeyUnique)
                                  .Key("FOLDED", {{1}, {2}}, KeyNoCase)
                                  .Build();
  ASSERT_EQ(NewFile(layout)->Close(), NoError);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(DbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  const KeyedSchema schema(layout);
  for (const std::size_t key : {1u, 2u}) {
    for (const ScanDirection direction : {ScanDirection::Forward, ScanDirection::Backward}) {
      for (const RowColumns columns : {RowColumns::KeyFields, RowColumns::FieldsAndMemos}) {
        const std::string sql = "EXPLAIN QUERY PLAN " + schema.AfterSql(key, direction, columns);
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
        const std::string plan(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)));
        sqlite3_finalize(statement);
        const std::string range = direction == ScanDirection::Forward ? "(f1,f2)>(?,?)" : "(f1,f2)<(?,?)";
        EXPECT_NE(plan.find("INDEX key" + std::to_string(key) + " (" + range + ")"), std::string::npos)
            << "key " << key << ": " << plan;
        EXPECT_EQ(plan.find("COVERING") != std::string::npos, columns == RowColumns::KeyFields) << plan;
      }
    }
  }
  sqlite3_close(db);
}

TEST_F(KeyedFileTest, StartsAtBufferValuesAndAtPositions) {
  auto file = FourBookmarks();
  SetBuffer(*file, {0, "", "beta  "});
  ASSERT_EQ(file->SetOrderAtBuffer(kDescKey), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{3, 2}));
  ASSERT_EQ(file->SetOrderAtBuffer(kDescKey), NoError);
  EXPECT_EQ(ReadOn(*file, true), (Nums{2, 3, 4, 1}));  // the last key <= "beta"
  SetBuffer(*file, {5, "", ""});
  ASSERT_EQ(file->SetOrderAtBuffer(kNumKey), NoError);
  EXPECT_EQ(file->Next(), NoRecord);
  ASSERT_EQ(file->SetOrderAtBuffer(kNumKey), NoError);
  EXPECT_EQ(ReadOn(*file, true), (Nums{4, 3, 2, 1}));

  // A position survives the deletion of its record.
  SetBuffer(*file, {2, "", ""});
  ASSERT_EQ(file->Get(kNumKey), NoError);
  const std::string byDesc = file->Position(kDescKey);
  const std::string byNum = file->Position(kNumKey);
  EXPECT_EQ(byNum.size(), 8u + 4u);
  ASSERT_EQ(file->SetOrderAtPosition(kDescKey, byDesc), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{2}));
  ASSERT_EQ(file->SetOrderAtPosition(kDescKey, byDesc), NoError);
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(Num(*file), 3);
  ASSERT_EQ(file->GetAt(byNum), NoError);
  ASSERT_EQ(file->Delete(), NoError);
  ASSERT_EQ(file->SetOrderAtPosition(kNumKey, byNum), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{3, 4}));
  ASSERT_EQ(file->SetOrderAtPosition(kDescKey, byDesc), NoError);
  EXPECT_EQ(ReadOn(*file, true), (Nums{3, 4, 1}));
  EXPECT_EQ(file->GetAt(byNum), RecordNotFound);
  EXPECT_EQ(file->SetOrderAtPosition(kNumKey, "abc"), BadParameter);
}

TEST_F(KeyedFileTest, DeletingTheRecordJustReadKeepsTheSequence) {
  struct Case {
    std::size_t key;
    std::int64_t deleted;  // the second record of the order
    Nums rest;
  } cases[] = {{0, 1, {2, 4}}, {kNumKey, 2, {3, 4}}, {kNameKey, 1, {2, 3}}, {kDescKey, 4, {3, 2}}};
  for (const Case& c : cases) {
    auto file = FourBookmarks(BookmarkLayout(), "KEY" + std::to_string(c.key));
    ASSERT_EQ(file->SetOrder(c.key), NoError);
    ASSERT_EQ(file->Next(), NoError);
    ASSERT_EQ(file->Next(), NoError);
    ASSERT_EQ(Num(*file), c.deleted);
    ASSERT_EQ(file->Delete(), NoError);
    EXPECT_EQ(ReadOn(*file), c.rest) << "key " << c.key;
    EXPECT_EQ(file->Records(), 3);
  }
}

TEST_F(KeyedFileTest, SequentialDeletesAcrossReadAheadBatches) {
  // Every other record is deleted while reading in key order, outside any
  // transaction and in transactions committed every few records.
  for (const int recordsPerTransaction : {0, 7}) {
    SCOPED_TRACE(recordsPerTransaction);
    auto file = NewFile(BookmarkLayout(), "SEQ" + std::to_string(recordsPerTransaction));
    for (int i = 1; i <= 300; ++i) ASSERT_EQ(Add(*file, {i, "http://x/" + std::to_string(i), "same"}), NoError);
    ASSERT_EQ(file->SetOrder(kDescKey), NoError);
    const bool inTransactions = recordsPerTransaction > 0;
    if (inTransactions) {
      ASSERT_EQ(file->BeginTransaction(1), NoError);
    }
    int read = 0;
    while (file->Next() == NoError) {
      ++read;
      if (Num(*file) % 2 == 0) {
        ASSERT_EQ(file->Delete(), NoError);
      }
      if (inTransactions && read % recordsPerTransaction == 0) {
        ASSERT_EQ(file->Commit(), NoError);
        ASSERT_EQ(file->BeginTransaction(1), NoError);
      }
    }
    if (inTransactions) {
      ASSERT_EQ(file->Commit(), NoError);
    }
    EXPECT_EQ(read, 300);
    EXPECT_EQ(file->Records(), 150);
    const Nums odd = ReadAll(*file, kDescKey);
    ASSERT_EQ(odd.size(), 150u);
    EXPECT_EQ(odd.front(), 1);
    EXPECT_EQ(odd.back(), 299);
  }
}

TEST_F(KeyedFileTest, UniqueCaseInsensitiveKey) {
  auto file = NewFile();
  ASSERT_EQ(Add(*file, {1, "http://a.com", "first"}), NoError);
  EXPECT_EQ(Add(*file, {2, "HTTP://A.COM", "second"}), DuplicateKey);
  EXPECT_FALSE(LastError().driverCode.empty());
  EXPECT_NE(LastError().driverText.find("UNIQUE"), std::string::npos) << LastError().driverText;
  EXPECT_EQ(Add(*file, {1, "http://other", "x"}), DuplicateKey) << "the primary key is unique";
  EXPECT_EQ(Add(*file, {3, "http://b.com", "FIRST"}), NoError) << "duplicates allowed on DESCKEY";
  EXPECT_EQ(file->Records(), 2);

  // The first record is unchanged; trailing spaces and case do not matter.
  SetBuffer(*file, {0, "Http://A.Com   ", ""});
  ASSERT_EQ(file->Get(kNameKey), NoError);
  EXPECT_EQ(Num(*file), 1);
  EXPECT_EQ(Url(*file), "http://a.com");
  EXPECT_EQ(Description(*file), "first");
  SetBuffer(*file, {0, "http://a.co", ""});
  EXPECT_EQ(file->Get(kNameKey), RecordNotFound);

  // Duplicate(): the buffer against every record but the current one.
  SetBuffer(*file, {1, "http://a.com", ""});
  ASSERT_EQ(file->Get(kNameKey), NoError);
  EXPECT_FALSE(file->Duplicate(kNameKey)) << "the current record itself";
  ASSERT_EQ(file->GetAt(""), NoError);
  EXPECT_TRUE(file->Duplicate(kNameKey));
  EXPECT_TRUE(file->Duplicate(kNumKey));
  EXPECT_FALSE(file->Duplicate(kDescKey)) << "a key with duplicates never reports one";
  file->Record().Field("URL").SetText("HTTP://B.COM");
  EXPECT_TRUE(file->Duplicate(kNameKey));
  file->Record().Field("URL").SetText("http://c.com");
  EXPECT_FALSE(file->Duplicate(kNameKey));
  EXPECT_EQ(file->Put(), RecordNotFound) << "no current record after GetAt(\"\")";

  // A put that would duplicate another record's key fails and changes nothing.
  SetBuffer(*file, {3, "", ""});
  ASSERT_EQ(file->Get(kNumKey), NoError);
  file->Record().Field("URL").SetText("http://A.com");
  EXPECT_EQ(file->Put(), DuplicateKey);
  ASSERT_EQ(file->Get(kNumKey), NoError);
  EXPECT_EQ(Url(*file), "http://b.com");
}

TEST_F(KeyedFileTest, MemosRoundTripAndSkippedMemosAreKept) {
  auto file = NewFile();
  const std::string notes(1000, 'n');
  ASSERT_EQ(Add(*file, {1, "http://a.com", "a"}, notes), NoError);
  ASSERT_EQ(Add(*file, {2, "http://b.com", "b"}, "short note"), NoError);
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);

  SetBuffer(*file, {1, "", ""});
  ASSERT_EQ(file->Get(kNumKey), NoError);
  EXPECT_EQ(file->Record().Memo(1), notes);

  file->SkipMemosOnNextRead();
  ASSERT_EQ(file->Get(kNumKey), NoError);
  EXPECT_EQ(file->Record().Memo(1), "");
  // Putting a record read without memos keeps its stored memo.
  file->Record().Field("DESCRIPTION").SetText("changed");
  ASSERT_EQ(file->Put(), NoError);
  ASSERT_EQ(file->Get(kNumKey), NoError);
  EXPECT_EQ(Description(*file), "changed");
  EXPECT_EQ(file->Record().Memo(1), notes);

  // Only the next read skips memos; sequential reads fetch them again.
  ASSERT_EQ(file->SetOrder(kNumKey), NoError);
  file->SkipMemosOnNextRead();
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Memo(1), "");
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Memo(1), "short note");
  file->Record().SetMemo(1, "");
  ASSERT_EQ(file->Put(), NoError);
  ASSERT_EQ(file->Reget(file->Position(0)), NoError);
  EXPECT_EQ(file->Record().Memo(1), "") << "a memo read and cleared is cleared";
}

TEST_F(KeyedFileTest, KeysOnlyReadsFillTheKeyAndNeverOverwriteTheRest) {
  auto file = FourBookmarks();
  for (int i = 10; i < 120; ++i) ASSERT_EQ(Add(*file, {i, "http://x/" + std::to_string(i), "d"}, "notes"), NoError);
  const auto urls = [&file](bool backward) {
    std::vector<std::string> read;
    EXPECT_EQ(file->SetOrder(kNameKey), NoError);
    while ((backward ? file->Previous() : file->Next()) == NoError) read.push_back(Url(*file));
    return read;
  };
  const Nums byName = ReadAll(*file, kNameKey);
  const std::vector<std::string> names = urls(false);
  ASSERT_EQ(file->SendOption("KEYSONLY=on"), NoError);
  EXPECT_EQ(urls(false), names);
  EXPECT_EQ(urls(true), std::vector<std::string>(names.rbegin(), names.rend()));

  // The name key's field is read, the others are blank: NUM reads 0.
  ASSERT_EQ(file->SetOrder(kNameKey), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Url(*file), "ftp://d.com");
  EXPECT_EQ(Description(*file), "");
  EXPECT_EQ(Num(*file), 0);
  const std::string keyOnly = file->Position(kNameKey);
  // A put of it is refused and the record is as stored.
  file->Record().Field("DESCRIPTION").SetText("lost?");
  EXPECT_EQ(file->Put(), ChangedByOther);
  ASSERT_EQ(file->SendOption("KEYSONLY=off"), NoError);
  ASSERT_EQ(file->Reget(keyOnly), NoError);
  EXPECT_EQ(Num(*file), 4);
  EXPECT_EQ(Description(*file), "ALPHA");

  // Switched off half-way through a batch read key-only, reads are whole
  // again; switched on half-way through a whole batch, they still read.
  ASSERT_EQ(file->SendOption("KEYSONLY=on"), NoError);
  ASSERT_EQ(file->SetOrder(kNameKey), NoError);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->SendOption("KEYSONLY=off"), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Num(*file), byName[20]);
  EXPECT_EQ(file->Record().Memo(1), "notes");
  ASSERT_EQ(file->SendOption("KEYSONLY=on"), NoError);
  std::size_t rest = 0;
  while (file->Next() == NoError) EXPECT_EQ(Url(*file), names[21 + rest++]);
  EXPECT_EQ(21 + rest, names.size());

  // Record order has no key: its reads are whole.
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Num(*file), 3);
  EXPECT_EQ(Description(*file), "beta");
  // A delete of a record read key-only deletes it.
  ASSERT_EQ(file->SetOrder(kNameKey), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_EQ(file->Delete(), NoError);
  ASSERT_EQ(file->SendOption("KEYSONLY=off"), NoError);
  SetBuffer(*file, {4, "", ""});
  EXPECT_EQ(file->Get(kNumKey), RecordNotFound);
  EXPECT_EQ(file->SendOption("KEYSONLY=maybe"), BadParameter);

  // A file per thread passes the option on to its thread's file.
  ASSERT_EQ(file->Close(), NoError);
  auto threaded = ThreadedFile::Make(Driver::Keyed, BookmarkLayout(), DiskName());
  ASSERT_EQ(threaded->Open(kReadWriteShared), NoError);
  ASSERT_EQ(threaded->SendOption("KEYSONLY=on"), NoError);
  ASSERT_EQ(threaded->SetOrder(kNameKey), NoError);
  ASSERT_EQ(threaded->Next(), NoError);
  EXPECT_EQ(Url(*threaded), "http://a.com");
  EXPECT_EQ(Num(*threaded), 0);
  ASSERT_EQ(threaded->Close(), NoError);
}

TEST_F(KeyedFileTest, CountsBytesPositionsAndRegets) {
  auto file = FourBookmarks();
  EXPECT_EQ(file->Records(), 4);
  // The logical size: records times the record length, whatever the pages.
  EXPECT_EQ(file->Bytes(), 4 * 510);
  for (int i = 10; i < 200; ++i)
    ASSERT_EQ(Add(*file, {i, "http://x/" + std::to_string(i), std::string(200, 'd')}), NoError);
  EXPECT_EQ(file->Records(), 194);
  EXPECT_EQ(file->Bytes(), 194 * 510);

  EXPECT_EQ(file->Position(kNameKey).size(), 8u + 255u);
  SetBuffer(*file, {2, "", ""});
  ASSERT_EQ(file->Get(kNumKey), NoError);
  const std::string position = file->Position(kNameKey);
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  ASSERT_NE(Num(*file), 2);
  ASSERT_EQ(file->Reget(position), NoError);
  EXPECT_EQ(Num(*file), 2);
  EXPECT_EQ(Url(*file), "http://b.com");
  ASSERT_EQ(file->GetAt(""), NoError);
  EXPECT_EQ(file->Position(0), "");

  // Added records become current.
  ASSERT_EQ(Add(*file, {500, "http://new", "n"}), NoError);
  const std::string added = file->Position(0);
  ASSERT_EQ(file->Next(), NoRecord) << "the added record is the last in record order";
  ASSERT_EQ(file->Reget(added), NoError);
  EXPECT_EQ(Num(*file), 500);
  ASSERT_EQ(file->Close(), NoError);
  EXPECT_EQ(file->Bytes(), 0);
  EXPECT_EQ(LastErrorCode(), FileNotOpen);
}

TEST_F(KeyedFileTest, TransactionsCommitAndRollBack) {
  auto file = NewFile();
  ASSERT_EQ(file->BeginTransaction(1), NoError);
  ASSERT_EQ(Add(*file, {1, "http://a.com", "a"}), NoError);
  ASSERT_EQ(Add(*file, {2, "http://b.com", "b"}), NoError);
  ASSERT_EQ(file->Rollback(), NoError);
  EXPECT_EQ(file->Records(), 0);
  EXPECT_EQ(file->Commit(), BadParameter) << "nothing to commit";

  ASSERT_EQ(file->BeginTransaction(1), NoError);
  ASSERT_EQ(Add(*file, {1, "http://a.com", "a"}), NoError);
  ASSERT_EQ(file->Commit(), NoError);
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  EXPECT_EQ(ReadAll(*file, kNumKey), (Nums{1}));

  // Another station's transaction keeps this one waiting, then refused.
  auto other = MakeFile();
  ASSERT_EQ(other->Open(kReadWriteShared), NoError);
  ASSERT_EQ(file->BeginTransaction(0), NoError);
  EXPECT_EQ(other->BeginTransaction(0), FileLocked);
  EXPECT_FALSE(LastError().driverText.empty());
  EXPECT_EQ(other->Records(), 1) << "readers are not blocked";
  ASSERT_EQ(file->Commit(), NoError);
  EXPECT_EQ(other->BeginTransaction(0), NoError);
  EXPECT_EQ(other->Rollback(), NoError);
}

// The disk fills half-way through a batch: the batch is refused as a whole
// and the file keeps every record committed before it, whole.
TEST_F(KeyedFileTest, FullDiskHalfWayThroughABatchKeepsWhatWasCommitted) {
  SKIP_ON_SERVER();
  SqliteHookVfs vfs;
  auto file = NewFile();
  for (std::int64_t n = 1; n <= 10; ++n) {
    ASSERT_EQ(Add(*file, {n, "http://kept/" + std::to_string(n), "kept"}), NoError);
  }
  vfs.FailWritesAfter(3);
  std::int32_t failure = NoError;
  if (file->BeginTransaction(1) == NoError) {
    for (std::int64_t n = 11; n <= 400 && failure == NoError; ++n) {
      failure = Add(*file, {n, "http://lost/" + std::to_string(n) + std::string(200, 'x'), "lost"});
    }
    if (failure == NoError) failure = file->Commit();
    if (failure != NoError) (void)file->Rollback();
  } else {
    failure = LastErrorCode();
  }
  EXPECT_NE(failure, NoError) << "the full disk is reported";
  vfs.Heal();
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadWriteShared), NoError) << LastError().driverText;
  Nums expected;
  for (std::int64_t n = 1; n <= 10; ++n) expected.push_back(n);
  EXPECT_EQ(ReadAll(*file, kNumKey), expected);
  ASSERT_EQ(Add(*file, {11, "http://after/", "after"}), NoError) << "the file takes writes again";
}

TEST_F(KeyedFileTest, ReadOnlyOpenRefusesWrites) {
  FourBookmarks()->Close();
  auto file = MakeFile();
  ASSERT_EQ(file->Open(AccessRead | ShareDenyNone), NoError);
  EXPECT_EQ(ReadAll(*file, kNumKey), (Nums{1, 2, 3, 4}));
  EXPECT_EQ(Add(*file, {9, "http://z", "z"}), AccessDenied);
  EXPECT_EQ(file->Delete(), AccessDenied);
  EXPECT_EQ(file->Open(kReadWriteShared), AlreadyOpen);
}

TEST_F(KeyedFileTest, MissingFilesAndDirectories) {
  SKIP_ON_SERVER();
  auto file = MakeFile();
  EXPECT_EQ(file->Open(kReadWriteShared), FileNotFound);
  EXPECT_EQ(file->Remove(), FileNotFound);

  file->SetDiskName(dir_ + "/nowhere/MARLINDEN");
  EXPECT_EQ(file->Open(kReadWriteShared), PathNotFound);
  EXPECT_EQ(file->Create(), PathNotFound);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/nowhere"));

  file->SetDiskName(DiskName());
  ASSERT_EQ(file->Create(), NoError);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "no temporary file is left";
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  EXPECT_EQ(file->Remove(), AccessDenied) << "an open file is not removed";
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Remove(), NoError);
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

// Files under the name that are not keyed files of this layout: every
// operation refuses them and leaves every byte as it was.
TEST_F(KeyedFileTest, ForeignAndDamagedFilesAreRefusedAndNeverWritten) {
  SKIP_ON_SERVER();
  {
    auto real = FourBookmarks();
    for (int i = 10; i < 400; ++i) ASSERT_EQ(Add(*real, {i, "http://x/" + std::to_string(i), "d"}), NoError);
  }
  const std::string realBytes = FileBytes(DbPath());
  ASSERT_GT(realBytes.size(), 8192u);
  std::mt19937 random(7);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());

  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
  } cases[] = {
      {"random bytes", [&](const std::string& path) { WriteBytes(path, noise); }},
      {"empty file", [&](const std::string& path) { WriteBytes(path, ""); }},
      {"truncated database",
       [&](const std::string& path) { WriteBytes(path, realBytes.substr(0, realBytes.size() / 2)); }},
      {"header only", [&](const std::string& path) { WriteBytes(path, realBytes.substr(0, 100)); }},
      {"another program's database",
       [&](const std::string& path) { RawSql(path, "CREATE TABLE t(x); INSERT INTO t VALUES (1);"); }},
      {"another program's WAL database",
       [&](const std::string& path) {
         RawSql(path, "PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES (1);");
       }},
      {"a keyed file of another layout",
       [&](const std::string& path) {
         auto other = DataFile::Make(Driver::Keyed, RecordLayout::Builder("OTHER", "OTH").String("NAME", 20).Build(),
                                     path.substr(0, path.size() - 3));
         ASSERT_EQ(other->Create(), NoError);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    c.make(DbPath());
    const std::string before = FileBytes(DbPath());
    auto file = MakeFile();
    for (std::uint8_t mode : {kReadWriteShared, std::uint8_t{AccessRead | ShareDenyNone}}) {
      const std::int32_t code = file->Open(mode);
      EXPECT_NE(code, NoError);
      EXPECT_NE(code, FileNotFound);
      EXPECT_FALSE(file->IsOpen());
    }
    EXPECT_EQ(file->Create(), AccessDenied);
    EXPECT_NE(file->BuildKeys(), NoError);
    EXPECT_NE(file->Remove(), NoError);
    EXPECT_EQ(FileBytes(DbPath()), before) << "the file was changed";
    EXPECT_FALSE(std::filesystem::exists(DbPath() + "-wal")) << "a refused open left a log behind";
    EXPECT_FALSE(std::filesystem::exists(DbPath() + "-shm")) << "a refused open left a log index behind";
  }
}

// Damage inside the driver's own tables: NULL texts where texts belong and
// declared columns that are gone. Opening answers a code, never a crash.
TEST_F(KeyedFileTest, DamagedMetadataAndMissingColumnsAreRefused) {
  SKIP_ON_SERVER();
  const std::string nullable =
      "ALTER TABLE keyed_meta RENAME TO old; CREATE TABLE keyed_meta(name TEXT, value TEXT);"
      "INSERT INTO keyed_meta SELECT * FROM old; DROP TABLE old;";
  struct Case {
    const char* what;
    std::string sql;
    std::int32_t open;
  } cases[] = {
      {"a NULL name", "INSERT INTO keyed_meta VALUES(NULL, 'x')", NoError},
      {"a NULL layout", nullable + "UPDATE keyed_meta SET value = NULL WHERE name = 'layout'", LayoutMismatch},
      {"a NULL format", nullable + "UPDATE keyed_meta SET value = NULL WHERE name = 'format'", LayoutMismatch},
      {"NULL keys", nullable + "UPDATE keyed_meta SET value = NULL WHERE name = 'keys'", KeysInvalid},
      {"a field's column dropped", "ALTER TABLE records DROP COLUMN f4", LayoutMismatch},
      {"a memo's column dropped", "ALTER TABLE records DROP COLUMN m1", LayoutMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    FourBookmarks()->Close();
    RawSql(DbPath(), c.sql);
    auto file = MakeFile();
    EXPECT_EQ(file->Open(kReadWriteShared), c.open) << LastError().driverText;
    if (c.open == KeysInvalid) {
      EXPECT_EQ(file->BuildKeys(), NoError) << LastError().driverText;
      ASSERT_EQ(file->Open(kReadWriteShared), NoError);
    }
    if (file->IsOpen()) {
      EXPECT_EQ(ReadAll(*file, kNameKey), (Nums{4, 1, 2, 3}));
    }
  }
}

// Stored values this driver never writes, put there by another program or
// by damage. Reading in any order, either way, delivers the sound records
// and ends with an error at the damaged one: never a loop, never the
// damaged record as if it were sound.
TEST_F(KeyedFileTest, DamagedValuesEndReadsWithAnError) {
  SKIP_ON_SERVER();
  const char* damage[] = {
      "UPDATE records SET f3 = x'ff00' WHERE f1 = 2",                          // a blob in a text key
      "UPDATE records SET f1 = 'abc' WHERE f1 = 2",                            // text in an integer key
      "UPDATE records SET f1 = 2.5 WHERE f1 = 2",                              // a real in an integer key
      "UPDATE records SET f3 = 'beta' || printf('%.300c', 'x') WHERE f1 = 2",  // longer than the field
      "UPDATE records SET f3 = 'beta  ' WHERE f1 = 2",                         // trailing spaces
      "UPDATE records SET f1 = 5000000000 WHERE f1 = 2",                       // out of the field's range
      "UPDATE records SET f3 = NULL WHERE f1 = 2",                             // NULL in a text key
      "UPDATE records SET f4 = 300 WHERE f1 = 2",                              // out of range outside keys
  };
  for (const char* sql : damage) {
    SCOPED_TRACE(sql);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    FourBookmarks()->Close();
    RawSql(DbPath(), sql);
    auto file = MakeFile();
    ASSERT_EQ(file->Open(kReadWriteShared), NoError);
    for (std::size_t key : {std::size_t{0}, kNumKey, kNameKey, kDescKey}) {
      for (bool backward : {false, true}) {
        ASSERT_EQ(file->SetOrder(key), NoError);
        std::vector<std::string> urls;
        std::int32_t code = NoError;
        for (int reads = 0; reads < 20 && (code = backward ? file->Previous() : file->Next()) == NoError; ++reads) {
          urls.push_back(Url(*file));
        }
        // Record order meets every record; a key order may end before a
        // value SQL cannot compare (NULL).
        if (key == 0 || code != NoRecord) {
          EXPECT_EQ(code, DriverFailure) << "key " << key << (backward ? " backward" : " forward");
        }
        for (const std::string& url : urls) EXPECT_NE(url, "http://b.com") << "the damaged record was delivered";
        EXPECT_LE(urls.size(), 3u) << "a record was read twice";
      }
    }
    SetBuffer(*file, {0, "http://b.com", ""});
    EXPECT_EQ(file->Get(kNameKey), DriverFailure);
    const std::int64_t damagedRow = 3;  // NUM 2 was added third
    const std::string position(reinterpret_cast<const char*>(&damagedRow), sizeof damagedRow);
    EXPECT_EQ(file->Reget(position), DriverFailure);
    EXPECT_EQ(file->SetOrderAtPosition(kDescKey, position), DriverFailure);
  }
}

// An index entry out of its place in the index (a flipped byte): reading
// in that key's order comes to an end and reads no record twice.
TEST_F(KeyedFileTest, AnIndexEntryOutOfPlaceEndsReads) {
  SKIP_ON_SERVER();
  {
    auto file = NewFile();
    for (int i = 10; i < 40; ++i) ASSERT_EQ(Add(*file, {i, "http://site/" + std::to_string(i), "d"}), NoError);
  }
  std::string bytes = FileBytes(DbPath());
  // The URL index's entries end in the record number; the table rows go on
  // with the description.
  std::size_t flipped = 0;
  for (std::size_t at = 0; (at = bytes.find("http://site/15", at)) != std::string::npos; ++at) {
    if (bytes[at + 14] == 'd') continue;
    bytes[at + 4] = '8';  // "http8//site/15" belongs before every other URL
    ++flipped;
  }
  ASSERT_GT(flipped, 0u);
  WriteBytes(DbPath(), bytes);
  auto file = MakeFile();
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  for (bool backward : {false, true}) {
    ASSERT_EQ(file->SetOrder(kNameKey), NoError);
    std::vector<std::int64_t> nums;
    std::int32_t code = NoError;
    while (nums.size() < 100 && (code = backward ? file->Previous() : file->Next()) == NoError) {
      nums.push_back(Num(*file));
    }
    EXPECT_NE(code, NoError) << "never ended";
    std::sort(nums.begin(), nums.end());
    EXPECT_EQ(std::adjacent_find(nums.begin(), nums.end()), nums.end()) << "a record was read twice";
    if (!backward) {
      EXPECT_EQ(code, DriverFailure);
    }
  }
}

// A real key value that is not a number would be stored as NULL, which key
// order cannot place: adding or putting it is refused.
TEST_F(KeyedFileTest, NotANumberInAKeyIsRefused) {
  RecordLayout layout = RecordLayout::Builder("REALS", "R")
                            .Field("SCORE", FieldType::Real)
                            .Field("EXTRA", FieldType::Real)
                            .Key("SCOREKEY", {{1}}, KeyNoCase)
                            .Build();
  auto file = NewFile(std::move(layout), "REALS");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double score : {3.0, 1.0, 2.0}) {
    file->ClearBuffer();
    file->Record().Field("SCORE").Set(Value::Real(score));
    file->Record().Field("EXTRA").Set(Value::Real(nan));  // outside the keys it is kept
    ASSERT_EQ(file->Add(), NoError);
  }
  file->Record().Field("SCORE").Set(Value::Real(nan));
  EXPECT_EQ(file->Add(), BadParameter);
  EXPECT_EQ(file->Put(), BadParameter);
  EXPECT_EQ(file->Records(), 3);
  ASSERT_EQ(file->SetOrder(1), NoError);
  std::vector<double> scores;
  while (file->Next() == NoError) {
    scores.push_back(file->Record().Field("SCORE").Get().AsReal());
    EXPECT_TRUE(std::isnan(file->Record().Field("EXTRA").Get().AsReal()));
  }
  EXPECT_EQ(scores, (std::vector<double>{1.0, 2.0, 3.0}));
}

// Record numbers at the ends of the 64-bit range (only another program can
// store them): reading turns round on them, and they can be held.
TEST_F(KeyedFileTest, RecordNumbersAtTheLimits) {
  SKIP_ON_SERVER();
  FourBookmarks()->Close();
  RawSql(
      DbPath(),
      "INSERT INTO records(id, version, f1, f2, f3, f4) VALUES (9223372036854775807, 1, 8, 'http://max', 'max', 0);"
      "INSERT INTO records(id, version, f1, f2, f3, f4) VALUES (-9223372036854775808, 1, 0, 'http://min', 'min', 0)");
  auto file = MakeFile();
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  EXPECT_EQ(ReadAll(*file, 0), (Nums{0, 3, 1, 2, 4, 8}));
  ASSERT_EQ(file->Previous(), NoError);
  EXPECT_EQ(Num(*file), 8) << "going back after the end reads the last record again";
  EXPECT_EQ(ReadOn(*file, true), (Nums{4, 2, 1, 3, 0}));
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(Num(*file), 0) << "going on after the start reads the first record again";

  auto other = MakeFile();
  ASSERT_EQ(other->Open(kReadWriteShared), NoError);
  for (std::int64_t num : {0, 8}) {
    SetBuffer(*file, {num, "", ""});
    ASSERT_EQ(file->Get(kNumKey), NoError);
    ASSERT_EQ(file->Hold(), NoError);
    SetBuffer(*other, {num, "", ""});
    EXPECT_EQ(other->Get(kNumKey), RecordHeld) << num;
    ASSERT_EQ(file->Release(), NoError);
    EXPECT_EQ(other->Get(kNumKey), NoError) << num;
  }
  ASSERT_EQ(file->SetOrderAtPosition(kNumKey, file->Position(kNumKey)), NoError);
  EXPECT_EQ(ReadOn(*file), (Nums{8}));
}

TEST_F(KeyedFileTest, LayoutMismatchAndRebuiltKeys) {
  FourBookmarks()->Close();
  RecordLayout wider = RecordLayout::Builder("MARLINDEN", "WEB")
                           .Field("NUM", FieldType::Int32)
                           .String("URL", 300)
                           .String("DESCRIPTION", 250)
                           .Field("NOTEFIELD", FieldType::UInt8)
                           .Memo("NOTES", 1000)
                           .Build();
  EXPECT_EQ(MakeFile(std::move(wider))->Open(kReadWriteShared), LayoutMismatch);

  auto file = MakeFile();
  if (!OnServer()) {
    // An index dropped behind the driver's back.
    RawSql(DbPath(), "DROP INDEX key3");
    EXPECT_EQ(file->Open(kReadWriteShared), KeysInvalid);
    ASSERT_EQ(file->BuildKeys(), NoError) << LastError().driverText;
  }
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  EXPECT_EQ(ReadAll(*file, kDescKey), (Nums{1, 4, 3, 2}));
  ASSERT_EQ(file->Close(), NoError);

  // A key added to the declaration.
  RecordLayout moreKeys = RecordLayout::Builder("MARLINDEN", "WEB")
                              .Field("NUM", FieldType::Int32)
                              .String("URL", 255)
                              .String("DESCRIPTION", 250)
                              .Field("NOTEFIELD", FieldType::UInt8)
                              .Memo("NOTES", 1000)
                              .Key("NUMKEY", {{1}}, KeyUnique | KeyNoCase | KeyPrimary)
                              .Key("NAMEKEY", {{2}}, KeyUnique | KeyNoCase)
                              .Key("DESCKEY", {{3}}, KeyNoCase)
                              .Key("UNIQUEDESC", {{3}}, KeyUnique)
                              .Build();
  auto extended = MakeFile(std::move(moreKeys));
  EXPECT_EQ(extended->Open(kReadWriteShared), KeysInvalid);
  // "beta" twice: the unique index cannot be built, and nothing changes.
  EXPECT_EQ(extended->BuildKeys(), DuplicateKey);
  EXPECT_FALSE(LastError().driverText.empty());
  EXPECT_EQ(extended->Open(kReadWriteShared), KeysInvalid);
  ASSERT_EQ(file->Open(kReadWriteShared), NoError) << "the old keys still work";
  EXPECT_EQ(ReadAll(*file, kNameKey), (Nums{4, 1, 2, 3}));
}

// A creation killed half-way leaves its temporary database and journals;
// the next open for writing removes them, but never a creation under way.
TEST_F(KeyedFileTest, AnOpenRemovesWhatAKilledCreationLeftButNotOneUnderWay) {
  SKIP_ON_SERVER();
  const std::string left = DbPath() + "-new-Ab12Cd";
  const std::string running = DbPath() + "-new-Zz99Yy";
  for (const std::string& path : {left, left + "-journal", left + "-wal", DbPath() + "-new-Orphan-shm", running}) {
    std::ofstream(path) << "partial";
  }
  const int holder = ::open(running.c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);  // as the creating station holds it

  auto file = NewFile();
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(DbPath()).parent_path())) {
    if (entry.path().filename().string().find("-new-") != std::string::npos) names.push_back(entry.path().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{running})) << "only the locked creation stays";
  ::close(holder);
  ASSERT_EQ(file->Close(), NoError);
  ASSERT_EQ(file->Open(kReadWriteShared), NoError);
  EXPECT_FALSE(std::filesystem::exists(running)) << "once its lock is gone it is removed too";
}

}  // namespace
}  // namespace runtime::testing
