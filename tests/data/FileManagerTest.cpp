// The file manager over real keyed files: inserts with auto-numbering and
// duplicate keys, reading, saved buffers and positions, two stations.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "data/FileManager.h"
#include "data/ManagerRegistry.h"
#include "data/RecordDeleter.h"
#include "runtime/files/DataFile.h"
#include "runtime/headless/HeadlessMessageBoxes.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "support/MessageTest.h"
#include "support/ScopedFileSystem.h"
#include "support/TempDir.h"
#include "testing/FaultyFileSystem.h"
#include "testing/TestClock.h"
#include "tests/runtime/SqliteHookVfs.h"

using namespace marlinden;
using runtime::FieldType;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using testing_support::DescKey;
using testing_support::NameKey;
using testing_support::NumKey;

namespace {

class FileManagerTest : public testing_support::MessageTest {
 protected:
  FileManagerTest() {
    errors.Init();
    file = Bookmarks(bookmarks);
  }
  ~FileManagerTest() override {
    for (FileManager* manager : managers) manager->Kill();
    errors.Kill();
  }

  // A station on the bookmark file with the program's key descriptions.
  runtime::DataFile* Bookmarks(FileManager& manager) {
    files.push_back(
        runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir.File("MARLINDEN")));
    runtime::DataFile* made = files.back().get();
    manager.Init(*made, errors);
    manager.FILENAMEVALUE = "Marlinden";  // as the program names it
    manager.AddKey(NumKey, "WEB:Numkey", 1);
    manager.AddKey(NameKey, "WEB:Namekey", 0);
    manager.AddKey(DescKey, "WEB:Desckey", 0);
    managers.push_back(&manager);
    return made;
  }

  runtime::FieldRef Field(const char* label) { return file->Record().Field(label); }

  // A manager that lives as long as the fixture (managers are killed before
  // their files go).
  template <typename Manager = FileManager>
  Manager& NewManager() {
    owned.push_back(std::make_unique<Manager>());
    return static_cast<Manager&>(*owned.back());
  }

  Severity AddBookmark(const std::string& url, const std::string& description) {
    const Severity primed = bookmarks.PrimeRecord(false);
    if (primed != SeverityOk) return primed;
    Field("WEB:URL").SetText(url);
    Field("WEB:DESCRIPTION").SetText(description);
    return bookmarks.Insert();
  }

  std::vector<std::string> ReadAll(std::size_t key, const char* label) {
    std::vector<std::string> seen;
    EXPECT_EQ(file->SetOrder(key), runtime::NoError);
    while (bookmarks.TryNext() == SeverityOk) seen.push_back(Field(label).Get().AsText());
    return seen;
  }

  testing_support::TempDir dir;
  ErrorManager errors;
  FileManager bookmarks;
  runtime::DataFile* file = nullptr;
  std::vector<std::unique_ptr<runtime::DataFile>> files;
  std::vector<std::unique_ptr<FileManager>> owned;
  std::vector<FileManager*> managers;
};

TEST_F(FileManagerTest, LazyOpenCreatesTheFileOnFirstUse) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  EXPECT_FALSE(std::filesystem::exists(dir.File("MARLINDEN.db")));
  EXPECT_EQ(bookmarks.TryNext(), SeverityNotify);
  EXPECT_TRUE(bookmarks.AtEnd());
  EXPECT_TRUE(std::filesystem::exists(dir.File("MARLINDEN.db")));
  EXPECT_EQ(ManagerRegistry::FindManager(*file), &bookmarks);
  bookmarks.Kill();
  bookmarks.Kill();
  EXPECT_EQ(ManagerRegistry::FindManager(*file), nullptr);
}

TEST_F(FileManagerTest, InsertNumbersRecordsAndNamesTheDuplicateKey) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://a.com", "A"), SeverityOk);
  EXPECT_EQ(Field("WEB:NUM").Get().AsInteger(), 1);
  ASSERT_EQ(AddBookmark("ftp://b.org", "A"), SeverityOk);  // descriptions may repeat
  EXPECT_EQ(Field("WEB:NUM").Get().AsInteger(), 2);

  boxes.Script(ButtonOk);
  EXPECT_EQ(AddBookmark("HTTP://A.COM", "upper case"), SeverityNotify);
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].caption, "Duplicate Key Error");
  EXPECT_EQ(boxes.Requests()[0].text, "Adding this record creates a duplicate entry for the key: WEB:Namekey");

  // The record added in advance for the number is taken back.
  EXPECT_EQ(bookmarks.CancelAutoInc(nullptr), SeverityOk);
  EXPECT_EQ(file->Records(), 2);
  EXPECT_EQ(ReadAll(NameKey, "WEB:URL"), (std::vector<std::string>{"ftp://b.org", "http://a.com"}));
  EXPECT_EQ(ReadAll(NumKey, "WEB:DESCRIPTION"), (std::vector<std::string>{"A", "A"}));
}

TEST_F(FileManagerTest, DuplicateWithoutAutoNumberingNamesTheFirstCollidingKey) {
  FileManager& plain = NewManager();
  files.push_back(runtime::DataFile::Make(runtime::Driver::Keyed,
                                          runtime::RecordLayout::Builder("Pairs", "P")
                                              .String("A", 10)
                                              .String("B", 10)
                                              .Key("AKEY", {{1}}, runtime::KeyUnique)
                                              .Key("BKEY", {{2}}, runtime::KeyUnique)
                                              .Build(),
                                          dir.File("PAIRS")));
  runtime::DataFile& pairs = *files.back();
  plain.Init(pairs, errors);
  managers.push_back(&plain);
  plain.AddKey(1, "P:Akey", 0);
  plain.AddKey(2, "P:Bkey", 0);
  ASSERT_EQ(plain.Open(), SeverityOk);
  pairs.Record().Field("P:A").SetText("a1");
  pairs.Record().Field("P:B").SetText("b1");
  ASSERT_EQ(plain.Insert(), SeverityOk);
  // The record just added is still the current one and collides on BKEY: the
  // duplicate test must treat the buffer as a new record to see it.
  pairs.Record().Field("P:A").SetText("a2");
  boxes.Script(ButtonOk);
  EXPECT_EQ(plain.Insert(), SeverityNotify);
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].text, "Adding this record creates a duplicate entry for the key: P:Bkey");
  EXPECT_EQ(pairs.Records(), 1);
}

TEST_F(FileManagerTest, AutoNumberingTakesTheHighestNumberPlusOne) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(bookmarks.UseFile(), SeverityOk);
  for (int number : {1, 2, 7}) {
    file->ClearBuffer();
    Field("WEB:NUM").SetInteger(number);
    Field("WEB:URL").SetText("http://" + std::to_string(number));
    ASSERT_EQ(file->Add(), runtime::NoError);
  }
  // PrimeRecord(true) keeps what is in the buffer and still numbers it.
  file->ClearBuffer();
  Field("WEB:URL").SetText("http://eight");
  file->Record().SetMemo(1, "notes survive numbering");
  ASSERT_EQ(bookmarks.PrimeRecord(true), SeverityOk);
  EXPECT_EQ(Field("WEB:NUM").Get().AsInteger(), 8);
  EXPECT_EQ(Field("WEB:URL").ClippedText(), "http://eight");
  EXPECT_EQ(file->Record().Memo(1), "notes survive numbering");
  ASSERT_EQ(bookmarks.Insert(), SeverityOk);
  EXPECT_EQ(file->Records(), 4);

  file->ClearBuffer();
  Field("WEB:NUM").SetInteger(8);
  ASSERT_EQ(file->Get(NumKey), runtime::NoError);
  EXPECT_EQ(file->Record().Memo(1), "notes survive numbering");
}

TEST_F(FileManagerTest, GroupAndDescendingNumbering) {
  FileManager& grouped = NewManager();
  files.push_back(runtime::DataFile::Make(runtime::Driver::Keyed,
                                          runtime::RecordLayout::Builder("Lines", "L")
                                              .String("GROUP", 10)
                                              .Field("LINE", FieldType::Int16)
                                              .Field("SEQ", FieldType::Int32)
                                              .Key("GROUPKEY", {{1}, {2}}, runtime::KeyUnique)
                                              .Key("SEQKEY", {{3, runtime::Order::Descending}}, runtime::KeyUnique)
                                              .Build(),
                                          dir.File("LINES")));
  runtime::DataFile& lines = *files.back();
  grouped.Init(lines, errors);
  managers.push_back(&grouped);
  grouped.AddKey(1, "L:Groupkey", 2);
  grouped.AddKey(2, "L:Seqkey", 1);
  ASSERT_EQ(grouped.Open(), SeverityOk);

  auto add = [&](const char* group) {
    lines.ClearBuffer();
    lines.Record().Field("L:GROUP").SetText(group);
    EXPECT_EQ(grouped.PrimeRecord(true), SeverityOk);
    EXPECT_EQ(grouped.Insert(), SeverityOk);
    return std::make_pair(lines.Record().Field("L:LINE").Get().AsInteger(),
                          lines.Record().Field("L:SEQ").Get().AsInteger());
  };
  EXPECT_EQ(add("b"), std::make_pair(std::int64_t{1}, std::int64_t{1}));
  EXPECT_EQ(add("b"), std::make_pair(std::int64_t{2}, std::int64_t{2}));
  EXPECT_EQ(add("a"), std::make_pair(std::int64_t{1}, std::int64_t{3}));  // a group with no records starts at 1
  EXPECT_EQ(add("c"), std::make_pair(std::int64_t{1}, std::int64_t{4}));  // the group after the last one too
  EXPECT_EQ(add("b"), std::make_pair(std::int64_t{3}, std::int64_t{5}));
}

TEST_F(FileManagerTest, ThreeFailedNumberingsAskTryAgain) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://taken", "first"), SeverityOk);

  // Every add collides on the address, so numbering cannot reserve a record.
  file->ClearBuffer();
  Field("WEB:URL").SetText("http://taken");
  boxes.Script({ButtonYes, ButtonNo});
  EXPECT_EQ(bookmarks.PrimeRecord(true), SeverityNotify);
  ASSERT_EQ(boxes.Requests().size(), 2u);
  EXPECT_EQ(boxes.Requests()[0].caption, "Auto Increment Error");
  EXPECT_EQ(boxes.Requests()[0].buttons, ButtonYes | ButtonNo);
  EXPECT_NE(boxes.Requests()[0].text.find("Try Again?"), std::string::npos);
  EXPECT_EQ(file->Records(), 1);

  // Quietly: the message is only recorded.
  boxes.Reset();
  EXPECT_EQ(bookmarks.TryPrimeAutoInc(), SeverityNotify);
  EXPECT_TRUE(boxes.Requests().empty());
  EXPECT_EQ(bookmarks.SetThread().LASTERROR, MsgAutoIncError);
}

TEST_F(FileManagerTest, NumberingAsksToTryAgainOnlyWhileItCanHelpAndNotForEver) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://taken", "first"), SeverityOk);

  // A Yes to every question still ends after a few.
  file->ClearBuffer();
  Field("WEB:URL").SetText("http://taken");
  boxes.Script({ButtonYes, ButtonYes, ButtonYes, ButtonYes, ButtonYes});
  EXPECT_EQ(bookmarks.PrimeRecord(true), SeverityNotify);
  EXPECT_EQ(boxes.Requests().size(), 3u);

  // A full disk: told once, and no question to try again.
  boxes.Reset();
  runtime::testing::SqliteHookVfs vfs;
  ASSERT_EQ(bookmarks.Close(), SeverityOk);
  ASSERT_EQ(bookmarks.Open(), SeverityOk);  // its connection uses the hook
  vfs.FailWritesAfter(0);
  file->ClearBuffer();
  Field("WEB:URL").SetText("http://new");
  boxes.Script(ButtonOk);
  EXPECT_EQ(bookmarks.PrimeRecord(true), SeverityNotify);
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].caption, "Auto Increment Error");
  EXPECT_EQ(boxes.Requests()[0].buttons, ButtonOk);
  EXPECT_NE(boxes.Requests()[0].text.find("database or disk is full"), std::string::npos) << boxes.Requests()[0].text;
  vfs.Heal();
  ASSERT_EQ(bookmarks.Close(), SeverityOk);
}

class CountingDeleter : public RecordDeleter {
 public:
  explicit CountingDeleter(runtime::DataFile& file) : file_(file) {}
  Severity DeleteWithoutConfirmation() override {
    ++calls;
    return file_.Delete() == runtime::NoError ? SeverityOk : SeverityNotify;
  }
  int calls = 0;

 private:
  runtime::DataFile& file_;
};

TEST_F(FileManagerTest, CancelAutoIncTakesBackOnlyARecordAddedInAdvance) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://kept", "kept"), SeverityOk);
  CountingDeleter deleter(*file);
  EXPECT_EQ(bookmarks.CancelAutoInc(&deleter), SeverityOk);
  EXPECT_EQ(deleter.calls, 0);
  EXPECT_EQ(file->Records(), 1);

  ASSERT_EQ(bookmarks.PrimeRecord(false), SeverityOk);
  EXPECT_EQ(file->Records(), 2);
  EXPECT_EQ(bookmarks.CancelAutoInc(&deleter), SeverityOk);
  EXPECT_EQ(deleter.calls, 1);
  EXPECT_EQ(file->Records(), 1);
  EXPECT_EQ(bookmarks.SetThread().AUTOINCDONE, 0);
}

TEST_F(FileManagerTest, SavedBuffersComeBackWithTheirMemos) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  Field("WEB:URL").SetText("http://saved");
  file->Record().SetMemo(1, "saved notes");
  std::uint16_t id = bookmarks.SaveBuffer();
  EXPECT_TRUE(bookmarks.EqualBuffer(id));

  Field("WEB:URL").SetText("http://changed");
  EXPECT_FALSE(bookmarks.EqualBuffer(id));
  Field("WEB:URL").SetText("http://saved");
  file->Record().SetMemo(1, "other notes");
  EXPECT_FALSE(bookmarks.EqualBuffer(id));

  std::uint16_t second = bookmarks.SaveBuffer();
  EXPECT_GT(second, id + 1);  // memo copies take the ids after a buffer's id
  bookmarks.RestoreBuffer(second, false);
  EXPECT_EQ(second, 0);

  bookmarks.RestoreBuffer(id, true);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(Field("WEB:URL").ClippedText(), "http://saved");
  EXPECT_EQ(file->Record().Memo(1), "saved notes");
  EXPECT_TRUE(bookmarks.BUFFERS.Empty());
}

TEST_F(FileManagerTest, RestoreFileGoesBackToTheSavedRecord) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  for (const char* url : {"http://a", "http://b", "http://c", "http://d"}) ASSERT_EQ(AddBookmark(url, url), SeverityOk);
  ASSERT_EQ(file->SetOrder(NameKey), runtime::NoError);
  ASSERT_EQ(bookmarks.Next(), SeverityOk);
  ASSERT_EQ(bookmarks.Next(), SeverityOk);
  Field("WEB:DESCRIPTION").SetText("edited, not saved");
  std::uint16_t id = bookmarks.SaveFile();

  // Nested work reads elsewhere in another order.
  ASSERT_EQ(file->SetOrder(NumKey), runtime::NoError);
  while (bookmarks.Next() == SeverityOk) {
  }
  bookmarks.RestoreFile(id);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(Field("WEB:URL").ClippedText(), "http://b");
  EXPECT_EQ(Field("WEB:DESCRIPTION").ClippedText(), "edited, not saved");
  ASSERT_EQ(bookmarks.Next(), SeverityOk);
  EXPECT_EQ(Field("WEB:URL").ClippedText(), "http://c");
}

TEST_F(FileManagerTest, NextAtTheEndSetsAtEndUntilTheNextRead) {
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://only", "only"), SeverityOk);
  ASSERT_EQ(file->SetOrder(NameKey), runtime::NoError);
  EXPECT_EQ(bookmarks.Next(), SeverityOk);
  EXPECT_FALSE(bookmarks.AtEnd());
  EXPECT_EQ(bookmarks.Next(), SeverityNotify);
  EXPECT_TRUE(bookmarks.AtEnd());
  EXPECT_TRUE(boxes.Requests().empty());
  ASSERT_EQ(file->SetOrder(NameKey), runtime::NoError);
  EXPECT_EQ(bookmarks.Next(), SeverityOk);
  EXPECT_FALSE(bookmarks.AtEnd());
}

TEST_F(FileManagerTest, UpdateOfARecordChangedByAnotherStationShowsTheirVersion) {
  FileManager& otherStation = NewManager();
  runtime::DataFile* other = Bookmarks(otherStation);
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(otherStation.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://shared", "original"), SeverityOk);

  for (auto mode : {FileManager::UpdateMode::Raise, FileManager::UpdateMode::RaiseWithRecall}) {
    ASSERT_EQ(file->Get(NameKey), runtime::NoError);
    other->Record().Field("WEB:URL").SetText("http://shared");
    ASSERT_EQ(otherStation.TryFetch(NameKey), SeverityOk);
    other->Record()
        .Field("WEB:DESCRIPTION")
        .SetText(mode == FileManager::UpdateMode::Raise ? "theirs" : "theirs again");
    ASSERT_EQ(otherStation.Update(), SeverityOk);

    Field("WEB:DESCRIPTION").SetText("mine");
    boxes.Reset();
    boxes.Script(ButtonOk);
    EXPECT_EQ(bookmarks.UpdateRecord(mode), SeverityNotify);
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].caption, "Record Was Not Updated");
    EXPECT_EQ(boxes.Requests()[0].text.rfind("This record was changed by another station.", 0), 0u);
    EXPECT_EQ(boxes.Requests()[0].text.find("Ditto") != std::string::npos,
              mode == FileManager::UpdateMode::RaiseWithRecall);
    EXPECT_EQ(Field("WEB:DESCRIPTION").ClippedText(),
              mode == FileManager::UpdateMode::Raise ? "theirs" : "theirs again");
  }
  // After seeing their version, this station's change goes through.
  Field("WEB:DESCRIPTION").SetText("mine at last");
  EXPECT_EQ(bookmarks.TryUpdate(), SeverityOk);
  other->Record().Field("WEB:URL").SetText("http://shared");
  ASSERT_EQ(otherStation.Fetch(NameKey), SeverityOk);
  EXPECT_EQ(other->Record().Field("WEB:DESCRIPTION").ClippedText(), "mine at last");
}

TEST_F(FileManagerTest, RecordsHeldByAnotherStationAreReportedOrSkipped) {
  FileManager& otherStation = NewManager();
  runtime::DataFile* other = Bookmarks(otherStation);
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(otherStation.Open(), SeverityOk);
  for (const char* url : {"http://1", "http://2", "http://3"}) ASSERT_EQ(AddBookmark(url, url), SeverityOk);
  other->Record().Field("WEB:URL").SetText("http://2");
  ASSERT_EQ(otherStation.TryFetch(NameKey), SeverityOk);
  ASSERT_EQ(other->Hold(), runtime::NoError);

  ASSERT_EQ(file->SetOrder(NameKey), runtime::NoError);
  ASSERT_EQ(bookmarks.Next(), SeverityOk);
  boxes.Script(ButtonOk);
  EXPECT_EQ(bookmarks.Next(), SeverityNotify);
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].text,
            "A record held by another station was encountered reading from the Marlinden file.");

  bookmarks.SKIPHELDRECORDS = 1;
  EXPECT_EQ(ReadAll(NameKey, "WEB:URL"), (std::vector<std::string>{"http://1", "http://3"}));
}

TEST_F(FileManagerTest, AFileDeniedForWritingOpensReadOnly) {
  FileManager& otherStation = NewManager();
  runtime::DataFile* other = Bookmarks(otherStation);
  ASSERT_EQ(bookmarks.Open(), SeverityOk);
  ASSERT_EQ(AddBookmark("http://stored", "stored"), SeverityOk);
  ASSERT_EQ(bookmarks.Close(), SeverityOk);

  // This station keeps the file open for writing and denies writing to others.
  otherStation.OPENMODE = runtime::AccessReadWrite | runtime::ShareDenyWrite;
  otherStation.LAZYOPEN = 0;
  ASSERT_EQ(otherStation.Open(), SeverityOk);

  bookmarks.LOCKRECOVER = 1;
  bookmarks.LAZYOPEN = 0;
  boxes.Script({ButtonOk, ButtonOk});
  // The lock recovery waits its second on the runtime clock.
  runtime::TestClock clock(0, 0);
  runtime::ScopedTimeSource scoped(clock);
  clock.RunAdvancing([&] { ASSERT_EQ(bookmarks.Open(), SeverityOk); }, 100'000);
  EXPECT_EQ(clock.SteadyMicros(), 1'000'000) << "waited LOCKRECOVER seconds, once";
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].caption, "Access Denied");
  EXPECT_EQ(bookmarks.OPENMODE, runtime::AccessRead | runtime::ShareDenyNone);
  EXPECT_EQ(ReadAll(NameKey, "WEB:URL"), (std::vector<std::string>{"http://stored"}));

  // Writing is refused and reported; nothing stored is lost.
  EXPECT_EQ(AddBookmark("http://new", "new"), SeverityNotify);
  EXPECT_EQ(other->Records(), 1);
}

TEST_F(FileManagerTest, AFileAnotherStationMadeSinceTheOpenLookedIsOpenedAsMade) {
  // Two stations starting at once on no file: the other one creates it
  // between this one's look and its own create, which is refused.
  FileManager& otherStation = NewManager();
  runtime::DataFile* other = Bookmarks(otherStation);
  otherStation.LAZYOPEN = 0;
  ASSERT_EQ(otherStation.Open(), SeverityOk);
  ASSERT_EQ(otherStation.PrimeRecord(false), SeverityOk);
  other->Record().Field("WEB:URL").SetText("http://theirs");
  ASSERT_EQ(otherStation.Insert(), SeverityOk);

  runtime::FaultyFileSystem faulty;
  faulty.Fail(runtime::FileCall::Stat, ENOENT);  // this station's look finds nothing
  testing_support::ScopedFileSystem scoped(faulty);
  bookmarks.LAZYOPEN = 0;
  EXPECT_EQ(bookmarks.Open(), SeverityOk);
  EXPECT_TRUE(boxes.Requests().empty()) << boxes.Requests()[0].caption;
  ASSERT_EQ(AddBookmark("http://mine", "mine"), SeverityOk);
  EXPECT_EQ(Field("WEB:NUM").Get().AsInteger(), 2);
  EXPECT_EQ(other->Records(), 2) << "one file for both stations";
}

TEST_F(FileManagerTest, KeyUtilitiesDescribeOrdersAndClearRanges) {
  FileManager& keyed = NewManager();
  files.push_back(runtime::DataFile::Make(runtime::Driver::Keyed,
                                          runtime::RecordLayout::Builder("Keys", "K")
                                              .Field("NUM", FieldType::Int32)
                                              .String("NAME", 20)
                                              .Field("A", FieldType::Int16)
                                              .Field("B", FieldType::Int16)
                                              .Field("C", FieldType::Int16)
                                              .Key("MIXED", {{1, runtime::Order::Descending}, {2}}, runtime::KeyNoCase)
                                              .Key("THREE", {{3}, {4}, {5}}, runtime::KeyUnique | runtime::KeyPrimary)
                                              .Build(),
                                          dir.File("KEYS")));
  runtime::DataFile& keys = *files.back();
  keyed.Init(keys, errors);
  managers.push_back(&keyed);
  keyed.AddKey(1, "K:Mixed", 0);
  keyed.AddKey(2, "K:Three", 0);

  EXPECT_EQ(keyed.KeyOrderText(1, 0), "-K:NUM,UPPER(K:NAME)");
  EXPECT_EQ(keyed.KeyOrderText(1, 2), "UPPER(K:NAME)");
  EXPECT_EQ(keyed.ComponentCount(1), 2u);
  EXPECT_EQ(keyed.ComponentName(1, 2), "UPPER(K:NAME)");
  EXPECT_EQ(keyed.ComponentField(2, 3).Label(), "K:C");
  EXPECT_EQ(keyed.PRIMARYKEY, 2);

  for (const char* label : {"K:A", "K:B", "K:C"}) keys.Record().Field(label).SetInteger(5);
  keyed.ClearKey(2, 2, 22, false);
  EXPECT_EQ(keys.Record().Field("K:A").Get().AsInteger(), 5);
  EXPECT_EQ(keys.Record().Field("K:B").Get().AsInteger(), -32768);  // below any negative key
  EXPECT_EQ(keys.Record().Field("K:C").Get().AsInteger(), -32768);
  keyed.ClearKey(2, 2, 3, true);
  EXPECT_EQ(keys.Record().Field("K:C").Get().AsInteger(), 32767);

  // A descending component's low end is its highest value.
  keyed.ClearKey(1, 1, 1, false);
  EXPECT_EQ(keys.Record().Field("K:NUM").Get().AsInteger(), 2147483647);
  keyed.ClearKey(1, 1, 2, true);
  EXPECT_EQ(keys.Record().Field("K:NUM").Get().AsInteger(), -2147483648LL);
  EXPECT_EQ(keys.Record().Field("K:NAME").Bytes(), std::string(20, '\xFF'));
}

// A manager that accepts a record only with a description.
class CheckingManager : public FileManager {
 public:
  Severity ValidateField(std::size_t field) override {
    if (field == 3 && BUFFER->Field(3).ClippedText().empty()) return SeverityNotify;
    return SeverityOk;
  }
};

TEST_F(FileManagerTest, AnAliasedManagerValidatesThroughItsAlias) {
  CheckingManager& checker = NewManager<CheckingManager>();
  FileManager& alias = NewManager();
  Bookmarks(checker);
  runtime::DataFile* aliasFile = Bookmarks(alias);
  alias.ALIASEDFILE = &checker;
  checker.FILE->Record().Field("WEB:DESCRIPTION").SetText("the checker's own");

  aliasFile->Record().Field("WEB:URL").SetText("http://no-description");
  std::size_t failed = 0;
  EXPECT_EQ(alias.ValidateRecord(&failed), SeverityNotify);
  EXPECT_EQ(failed, 3u);
  aliasFile->Record().Field("WEB:DESCRIPTION").SetText("described");
  EXPECT_EQ(alias.ValidateRecord(nullptr), SeverityOk);
  EXPECT_EQ(checker.FILE->Record().Field("WEB:DESCRIPTION").ClippedText(), "the checker's own");
}

}  // namespace
