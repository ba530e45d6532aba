// Numbering on the database server: the driver numbers a record in the
// insert itself, per group of a key's earlier components, and a number
// another station takes first is taken again by the file manager. Many
// rows are numbered in one statement, less those whose keys are taken.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/ThreadedFile.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "tests/server/ServerTestSupport.h"

namespace {

// Notes in groups: numbered within their group, names unique.
runtime::RecordLayout GroupedLayout() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("NOTES", "NOT")
      .String("GROUP", 10)
      .Field("NUM", FieldType::Int32)
      .String("NAME", 20)
      .Memo("TEXT", 100)
      .Key("GROUPKEY", {{1}, {2}}, runtime::KeyUnique)
      .Key("NAMEKEY", {{3}}, runtime::KeyUnique)
      .Build();
}

class ServerNumberingTest : public testing_support::ServerSchemaTest {
 protected:
  std::unique_ptr<runtime::DataFile> Station(const runtime::RecordLayout& layout, bool create) {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, layout, dir_.File(layout.Name()));
    if (create) EXPECT_EQ(file->Create(), runtime::NoError) << runtime::LastError().driverText;
    EXPECT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError)
        << runtime::LastError().driverText;
    return file;
  }
};

// The program's files wrap a file per thread: the wrapper passes the
// server's one-step numbering on, so an add costs no read of the highest
// number first.
TEST_F(ServerNumberingTest, AFilePerThreadNumbersOnTheServerInOneStep) {
  auto file = runtime::ThreadedFile::Make(runtime::Driver::Keyed, GroupedLayout(), dir_.File("threaded"));
  ASSERT_EQ(file->Create(), runtime::NoError) << runtime::LastError().driverText;
  ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  ASSERT_TRUE(file->NumbersOnAdd());
  for (const std::int64_t expected : {1, 2}) {
    file->ClearBuffer();
    file->Record().Field("GROUP").SetText("a");
    file->Record().Field("NAME").SetText("name " + std::to_string(expected));
    ASSERT_EQ(file->AddNumbered(1, 2), runtime::NoError) << runtime::LastError().driverText;
    EXPECT_EQ(file->Record().Field("NUM").Get().AsInteger(), expected);
  }
  (void)file->Close();
}

TEST_F(ServerNumberingTest, ANumberedAddTakesTheNextNumberOfItsGroup) {
  auto file = Station(GroupedLayout(), true);
  ASSERT_TRUE(file->NumbersOnAdd());
  runtime::RecordBuffer& note = file->Record();
  auto add = [&](const std::string& group, const std::string& name) {
    file->ClearBuffer();
    note.Field("GROUP").SetText(group);
    note.Field("NUM").SetInteger(77);  // whatever the buffer held is replaced
    note.Field("NAME").SetText(name);
    note.SetMemo(1, "text of " + name);
    return file->AddNumbered(1, 2);
  };
  ASSERT_EQ(add("a", "first"), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(note.Field("NUM").Get().AsInteger(), 1);
  ASSERT_EQ(add("a", "second"), runtime::NoError);
  EXPECT_EQ(note.Field("NUM").Get().AsInteger(), 2);
  ASSERT_EQ(add("b", "third"), runtime::NoError);
  EXPECT_EQ(note.Field("NUM").Get().AsInteger(), 1) << "a group of its own starts at 1";

  // The added record is the current one: a put changes it.
  note.Field("NAME").SetText("renamed");
  ASSERT_EQ(file->Put(), runtime::NoError) << runtime::LastError().driverText;

  // A name taken adds nothing, and the number is not used up.
  EXPECT_EQ(add("a", "first"), runtime::DuplicateKey);
  ASSERT_EQ(add("a", "fourth"), runtime::NoError);
  EXPECT_EQ(note.Field("NUM").Get().AsInteger(), 3);

  EXPECT_EQ(Value("SELECT string_agg(f1 || f2 || ':' || f3 || ':' || m1, ',' ORDER BY f1, f2) FROM k_notes"),
            "a1:first:text of first,a2:second:text of second,a3:fourth:text of fourth,b1:renamed:text of third");

  // A second station numbers after the first one's records.
  auto other = Station(GroupedLayout(), false);
  other->ClearBuffer();
  other->Record().Field("GROUP").SetText("b");
  other->Record().Field("NAME").SetText("fifth");
  ASSERT_EQ(other->AddNumbered(1, 2), runtime::NoError);
  EXPECT_EQ(other->Record().Field("NUM").Get().AsInteger(), 2);
}

TEST_F(ServerNumberingTest, ANumberTakenByAnotherStationMeanwhileIsTakenAgain) {
  marlinden::ErrorManager errors;
  errors.Init();
  auto mine = Station(testing_support::BookmarkLayout(), true);
  auto theirs = Station(testing_support::BookmarkLayout(), false);
  marlinden::FileManager manager;
  manager.Init(*mine, errors);
  manager.AddKey(testing_support::NumKey, "WEB:Numkey", 1);
  manager.AddKey(testing_support::NameKey, "WEB:Namekey", 0);
  ASSERT_EQ(manager.Open(), marlinden::SeverityOk);

  // Their transaction takes number 1 and stays open: this station's insert,
  // numbering 1 as well, waits for it on the server.
  ASSERT_EQ(theirs->BeginTransaction(1), runtime::NoError);
  theirs->ClearBuffer();
  theirs->Record().Field("URL").SetText("https://theirs.example/");
  ASSERT_EQ(theirs->AddNumbered(testing_support::NumKey, 1), runtime::NoError);
  marlinden::Severity inserted = marlinden::SeverityFatal;
  std::thread insert([&] {
    mine->ClearBuffer();
    mine->Record().Field("URL").SetText("https://mine.example/");
    inserted = manager.Insert();
  });
  bool waiting = false;
  for (int tries = 0; tries < 200000 && !waiting; ++tries) waiting = DriverWaitsForALock();
  EXPECT_TRUE(waiting) << "the insert waits for the other transaction";
  ASSERT_EQ(theirs->Commit(), runtime::NoError);
  insert.join();
  EXPECT_EQ(inserted, marlinden::SeverityOk);
  EXPECT_EQ(mine->Record().Field("NUM").Get().AsInteger(), 2);
  EXPECT_EQ(Value("SELECT string_agg(f1 || ' ' || f2, ',' ORDER BY f1) FROM k_marlinden"),
            "1 https://theirs.example/,2 https://mine.example/");
  (void)manager.Close();
  manager.Kill();
  errors.Kill();
}

// Rows of the bookmark layout with these addresses, notes "notes of" each.
std::vector<runtime::RecordBuffer> BookmarkRows(const runtime::DataFile& file, const std::vector<std::string>& urls) {
  std::vector<runtime::RecordBuffer> rows;
  for (const std::string& url : urls) {
    runtime::RecordBuffer& row = rows.emplace_back(file.Layout());
    row.Field("URL").SetText(url);
    row.Field("NUM").SetInteger(99);  // replaced by the number given
    row.SetMemo(1, "notes of " + url);
  }
  return rows;
}

TEST_F(ServerNumberingTest, RowsAreNumberedInOneStepLessThoseWhoseKeysAreTaken) {
  auto file =
      runtime::ThreadedFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir_.File("MARLINDEN"));
  ASSERT_EQ(file->Create(), runtime::NoError) << runtime::LastError().driverText;
  ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  file->ClearBuffer();
  file->Record().Field("URL").SetText("https://stored.example/");
  ASSERT_EQ(file->AddNumbered(testing_support::NumKey, 1), runtime::NoError);

  std::vector<runtime::RecordBuffer> rows =
      BookmarkRows(*file, {"https://a.example/", "https://b.example/", "HTTPS://STORED.EXAMPLE/", "https://A.example/",
                           "https://c.example/ \"quoted\", {braced}"});
  std::vector<runtime::DataFile::NumberedRow> added;
  ASSERT_EQ(file->AddNumberedRows(testing_support::NumKey, rows, added), runtime::NoError)
      << runtime::LastError().driverText;
  ASSERT_EQ(added.size(), 5U);
  EXPECT_EQ(added[0].number, 2);
  EXPECT_EQ(added[1].number, 3);
  EXPECT_EQ(added[2].number, 0);
  EXPECT_TRUE(added[2].keyStored) << "the address is stored, letter case aside";
  EXPECT_EQ(added[3].number, 0);
  EXPECT_FALSE(added[3].keyStored) << "an earlier row has the address: the row alone would tell";
  EXPECT_GT(added[4].number, 3);
  EXPECT_FALSE(added[0].keyStored || added[1].keyStored || added[4].keyStored);
  EXPECT_EQ(rows[1].Field("NUM").Get().AsInteger(), 3) << "the number goes into the row";
  EXPECT_EQ(rows[2].Field("NUM").Get().AsInteger(), 99) << "a row not stored keeps its buffer";
  EXPECT_EQ(Value("SELECT string_agg(f1 || ' ' || f2 || ' ' || m1, ',' ORDER BY f1) FROM k_marlinden"),
            "1 https://stored.example/ ,2 https://a.example/ notes of https://a.example/,3 https://b.example/ notes "
            "of https://b.example/," +
                std::to_string(added[4].number) +
                " https://c.example/ \"quoted\", {braced} notes of https://c.example/ "
                "\"quoted\", {braced}");

  // Numbering goes on above them; none at all is one step too.
  file->ClearBuffer();
  file->Record().Field("URL").SetText("https://d.example/");
  ASSERT_EQ(file->AddNumbered(testing_support::NumKey, 1), runtime::NoError);
  EXPECT_EQ(file->Record().Field("NUM").Get().AsInteger(), added[4].number + 1);
  std::vector<runtime::RecordBuffer> none;
  EXPECT_EQ(file->AddNumberedRows(testing_support::NumKey, none, added), runtime::NoError);
  EXPECT_TRUE(added.empty());
  // A key whose first component is a text numbers nothing.
  EXPECT_EQ(file->AddNumberedRows(testing_support::NameKey, rows, added), runtime::BadParameter);
  (void)file->Close();
}

TEST_F(ServerNumberingTest, ARowWhoseNumberAnotherStationTookMeanwhileIsNotStored) {
  auto mine = Station(testing_support::BookmarkLayout(), true);
  auto theirs = Station(testing_support::BookmarkLayout(), false);
  ASSERT_EQ(theirs->BeginTransaction(1), runtime::NoError);
  theirs->ClearBuffer();
  theirs->Record().Field("URL").SetText("https://theirs.example/");
  ASSERT_EQ(theirs->AddNumbered(testing_support::NumKey, 1), runtime::NoError);

  std::vector<runtime::RecordBuffer> rows = BookmarkRows(*mine, {"https://one.example/", "https://two.example/"});
  std::vector<runtime::DataFile::NumberedRow> added;
  std::int32_t code = runtime::DriverFailure;
  std::thread insert([&] { code = mine->AddNumberedRows(testing_support::NumKey, rows, added); });
  bool waiting = false;
  for (int tries = 0; tries < 200000 && !waiting; ++tries) waiting = DriverWaitsForALock();
  EXPECT_TRUE(waiting) << "the rows wait for the other transaction's number";
  ASSERT_EQ(theirs->Commit(), runtime::NoError);
  insert.join();
  ASSERT_EQ(code, runtime::NoError) << runtime::LastError().driverText;
  ASSERT_EQ(added.size(), 2U);
  EXPECT_EQ(added[0].number, 0);
  EXPECT_FALSE(added[0].keyStored) << "its number was taken, not its address";
  EXPECT_EQ(added[1].number, 2);
  EXPECT_EQ(Value("SELECT string_agg(f1 || ' ' || f2, ',' ORDER BY f1) FROM k_marlinden"),
            "1 https://theirs.example/,2 https://two.example/");
}

}  // namespace
