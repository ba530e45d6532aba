// The relation manager over real keyed files: a parent file (unique key on
// its id) and a child file (key led by the parent's id). Cascades in every
// mode, confirmation and retry, transactions that cannot start or fail
// midway, a cycle of relations, and a text file without transactions.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/Transaction.h"
#include "runtime/headless/HeadlessMessageBoxes.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Cursor.h"
#include "support/MessageTest.h"
#include "support/TempDir.h"
#include "testing/TestClock.h"

using namespace marlinden;
using runtime::FieldType;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;

namespace {

constexpr std::size_t IdKey = 1;      // parent: PAR:ID, unique
constexpr std::size_t ParentKey = 1;  // child: CHI:PARENTID, CHI:SEQ

runtime::RecordLayout ParentLayout() {
  return runtime::RecordLayout::Builder("Parent", "PAR")
      .Field("ID", FieldType::Int32)
      .String("NAME", 20)
      .Key("IDKEY", {{1}}, runtime::KeyUnique | runtime::KeyPrimary)
      .Build();
}

runtime::RecordLayout ChildLayout() {
  return runtime::RecordLayout::Builder("Child", "CHI")
      .Field("PARENTID", FieldType::Int32)
      .Field("SEQ", FieldType::Int32)
      .String("NOTE", 20)
      .Key("PARENTKEY", {{1}, {2}}, runtime::KeyDuplicates)
      .Build();
}

// Records every cursor change.
class RecordingCursor : public runtime::ui::CursorService {
 public:
  void SetCursor(runtime::ui::CursorId cursor) override {
    current = cursor;
    changes.push_back(cursor);
  }
  runtime::ui::CursorId GetCursor() const override { return current; }
  runtime::ui::CursorId current = runtime::ui::CursorDefault;
  std::vector<runtime::ui::CursorId> changes;
};

// One file with its two managers.
struct Station {
  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  RelationManager relations;
  runtime::FieldRef Field(const char* label) { return file->Record().Field(label); }
};

class RelationManagerTest : public testing_support::MessageTest {
 protected:
  RelationManagerTest() {
    previousCursor = runtime::ui::SetCursorService(&cursor);
    errors.Init();
    Make(parent, ParentLayout(), "PARENT");
    parent.files.AddKey(IdKey, "PAR:Idkey", 1);
    Make(child, ChildLayout(), "CHILD");
    child.files.AddKey(ParentKey, "CHI:Parentkey", 0);
    EXPECT_EQ(parent.relations.Open(), SeverityOk);
    EXPECT_EQ(child.relations.Open(), SeverityOk);
    for (int id : {1, 2}) AddParent(id, "parent " + std::to_string(id));
    for (auto [id, seq] : {std::pair{1, 1}, {1, 2}, {1, 3}, {2, 1}}) AddChild(id, seq);
  }
  ~RelationManagerTest() override {
    (void)runtime::RollbackTransaction();
    for (Station* station : stations) station->relations.Kill();
    errors.Kill();
    runtime::ui::SetCursorService(previousCursor);
  }

  void Make(Station& station, runtime::RecordLayout layout, const std::string& name) {
    station.file = runtime::DataFile::Make(runtime::Driver::Keyed, std::move(layout), dir.File(name));
    station.files.Init(*station.file, errors);
    station.relations.Init(station.files, true);
    stations.push_back(&station);
  }

  void AddParent(int id, const std::string& name) {
    ASSERT_EQ(parent.files.UseFile(), SeverityOk);
    parent.file->ClearBuffer();
    parent.Field("PAR:ID").SetInteger(id);
    parent.Field("PAR:NAME").SetText(name);
    ASSERT_EQ(parent.file->Add(), runtime::NoError);
  }

  void AddChild(int id, int seq) {
    ASSERT_EQ(child.files.UseFile(), SeverityOk);
    child.file->ClearBuffer();
    child.Field("CHI:PARENTID").SetInteger(id);
    child.Field("CHI:SEQ").SetInteger(seq);
    child.Field("CHI:NOTE").SetText("note " + std::to_string(id) + "." + std::to_string(seq));
    ASSERT_EQ(child.file->Add(), runtime::NoError);
  }

  // Parent to child through the child's key, linking PAR:ID to CHI:PARENTID.
  void Relate(RiMode updateMode, RiMode deleteMode) {
    parent.relations.AddRelation(child.relations, updateMode, deleteMode, ParentKey);
    ASSERT_TRUE(parent.relations.AddLinkingFields(parent.Field("PAR:ID"), child.Field("CHI:PARENTID")));
  }

  // Reads a parent for change, as a form does.
  void ReadParent(int id) {
    parent.file->ClearBuffer();
    parent.Field("PAR:ID").SetInteger(id);
    ASSERT_EQ(parent.files.TryFetch(IdKey), SeverityOk);
    parent.relations.SaveLinkValues();
  }

  // What is stored, as another station sees it: "id name" per parent or
  // "parentid.seq note" per child, in the order of the file's first key.
  std::vector<std::string> Stored(runtime::RecordLayout layout, const std::string& name) {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, std::move(layout), dir.File(name));
    EXPECT_EQ(file->Open(runtime::AccessRead | runtime::ShareDenyNone), runtime::NoError);
    std::vector<std::string> rows;
    const bool isParent = name == "PARENT";
    runtime::RecordBuffer& r = file->Record();
    EXPECT_EQ(file->SetOrder(1), runtime::NoError);
    for (std::int32_t code; (code = file->Next()) != runtime::NoRecord;) {
      if (code == runtime::RecordHeld) {
        rows.push_back("(held)");  // held by another station: not readable
        continue;
      }
      if (code != runtime::NoError) {
        ADD_FAILURE() << "read error " << code;
        break;
      }
      rows.push_back(isParent ? r.Field(1).Get().AsText() + " " + std::string(r.Field(2).ClippedText())
                              : r.Field(1).Get().AsText() + "." + r.Field(2).Get().AsText() + " " +
                                    std::string(r.Field(3).ClippedText()));
    }
    (void)file->Close();
    return rows;
  }
  std::vector<std::string> StoredParents() { return Stored(ParentLayout(), "PARENT"); }
  std::vector<std::string> StoredChildren() { return Stored(ChildLayout(), "CHILD"); }

  // Another station on a file, open for reading and writing.
  std::unique_ptr<runtime::DataFile> OtherStation(runtime::RecordLayout layout, const std::string& name) {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, std::move(layout), dir.File(name));
    EXPECT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
    return file;
  }

  testing_support::TempDir dir;
  RecordingCursor cursor;
  runtime::ui::CursorService* previousCursor = nullptr;
  ErrorManager errors;
  Station parent;
  Station child;
  std::vector<Station*> stations;
};

const std::vector<std::string> kAllChildren = {"1.1 note 1.1", "1.2 note 1.2", "1.3 note 1.3", "2.1 note 2.1"};
// The children of parent 1 after it became parent 5.
const std::vector<std::string> kMovedTo5 = {"2.1 note 2.1", "5.1 note 1.1", "5.2 note 1.2", "5.3 note 1.3"};

TEST_F(RelationManagerTest, UpdateCarriesChangedLinkingFieldsByMode) {
  struct Case {
    RiMode mode;
    Severity result;
    std::vector<std::string> parents;
    std::vector<std::string> children;
    std::vector<std::string> captions;
  };
  const std::vector<Case> cases = {
      {RiCascade, SeverityOk, {"2 parent 2", "5 parent 1"}, kMovedTo5, {}},
      {RiClear,
       SeverityOk,
       {"2 parent 2", "5 parent 1"},
       {"0.1 note 1.1", "0.2 note 1.2", "0.3 note 1.3", "2.1 note 2.1"},
       {}},
      {RiRestrict, SeverityNotify, {"1 parent 1", "2 parent 2"}, kAllChildren, {"Referential Integrity Update Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    parent.relations.RELATIONS.Free();
    Relate(c.mode, RiNone);
    // The child station shows a record of another parent, to be kept.
    child.Field("CHI:PARENTID").SetInteger(2);
    child.Field("CHI:SEQ").SetInteger(1);
    ASSERT_EQ(child.files.TryFetch(ParentKey), SeverityOk);
    child.Field("CHI:NOTE").SetText("unsaved edit");

    ReadParent(1);
    parent.Field("PAR:ID").SetInteger(5);
    boxes.Reset();
    if (!c.captions.empty()) boxes.Script(ButtonOk);
    EXPECT_EQ(parent.relations.Update(false), c.result);
    EXPECT_EQ(Captions(), c.captions);
    EXPECT_EQ(StoredParents(), c.parents);
    EXPECT_EQ(StoredChildren(), c.children);
    EXPECT_EQ(child.Field("CHI:NOTE").ClippedText(), "unsaved edit");
    EXPECT_EQ(child.Field("CHI:PARENTID").Get().AsInteger(), 2);
    if (c.mode == RiRestrict) {
      // The parent's linking field shows its old value; a change that leaves
      // it alone is not restricted and touches no child.
      EXPECT_EQ(parent.Field("PAR:ID").Get().AsInteger(), 1);
      parent.Field("PAR:NAME").SetText("renamed");
      EXPECT_EQ(parent.relations.Update(false), SeverityOk);
      EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 renamed", "2 parent 2"}));
      EXPECT_EQ(StoredChildren(), kAllChildren);
    } else {
      // Back to the starting data for the next mode.
      ReadParent(5);
      parent.Field("PAR:ID").SetInteger(1);
      parent.relations.RELATIONS.Free();
      ASSERT_EQ(parent.relations.Update(false), SeverityOk);
      for (int seq : {1, 2, 3}) {
        child.file->ClearBuffer();
        child.Field("CHI:PARENTID").SetInteger(c.mode == RiCascade ? 5 : 0);
        child.Field("CHI:SEQ").SetInteger(seq);
        ASSERT_EQ(child.files.TryFetch(ParentKey), SeverityOk);
        child.Field("CHI:PARENTID").SetInteger(1);
        ASSERT_EQ(child.files.TryUpdate(), SeverityOk);
      }
      ASSERT_EQ(StoredChildren(), kAllChildren);
    }
  }
  EXPECT_FALSE(runtime::TransactionActive());
}

TEST_F(RelationManagerTest, DeleteAppliesItsModeToTheChildren) {
  struct Case {
    RiMode mode;
    Severity result;
    std::vector<std::string> parents;
    std::vector<std::string> children;
    std::vector<std::string> captions;
  };
  const std::vector<Case> cases = {
      {RiCascade, SeverityOk, {"2 parent 2"}, {"2.1 note 2.1"}, {}},
      {RiClear, SeverityOk, {"2 parent 2"}, {"0.1 note 1.1", "0.2 note 1.2", "0.3 note 1.3", "2.1 note 2.1"}, {}},
      {RiRestrict, SeverityNotify, {"1 parent 1", "2 parent 2"}, kAllChildren, {"Referential Integrity Delete Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    parent.relations.RELATIONS.Free();
    Relate(RiNone, c.mode);
    ReadParent(1);
    boxes.Reset();
    if (!c.captions.empty()) boxes.Script(ButtonOk);
    EXPECT_EQ(parent.relations.Delete(false), c.result);
    EXPECT_EQ(Captions(), c.captions);
    EXPECT_EQ(StoredParents(), c.parents);
    EXPECT_EQ(StoredChildren(), c.children);
    // Put the starting data back.
    if (c.mode != RiRestrict) {
      AddParent(1, "parent 1");
      ASSERT_EQ(child.files.UseFile(), SeverityOk);
      ASSERT_EQ(child.file->SetOrder(0), runtime::NoError);
      while (child.files.TryNext() == SeverityOk) {
        if (child.Field("CHI:PARENTID").Get().AsInteger() == 0) {
          child.Field("CHI:PARENTID").SetInteger(1);
          ASSERT_EQ(child.files.TryUpdate(), SeverityOk);
        }
      }
      if (c.mode == RiCascade) {
        for (int seq : {1, 2, 3}) AddChild(1, seq);
      }
    }
  }
}

TEST_F(RelationManagerTest, DeleteAsksFirstAndShowsTheBusyCursor) {
  Relate(RiNone, RiCascade);
  ReadParent(1);
  boxes.Script(ButtonNo);
  EXPECT_EQ(parent.relations.Delete(true), SeverityNotify);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Confirm Delete"}));
  EXPECT_EQ(StoredParents().size(), 2u);
  EXPECT_EQ(StoredChildren(), kAllChildren);
  EXPECT_TRUE(cursor.changes.empty());

  boxes.Reset();
  boxes.Script(ButtonYes);
  EXPECT_EQ(parent.relations.Delete(true), SeverityOk);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"2 parent 2"}));
  EXPECT_EQ(cursor.changes, (std::vector<runtime::ui::CursorId>{runtime::ui::CursorBusy, runtime::ui::CursorDefault}));
  // Every open of the delete was closed again.
  EXPECT_EQ(parent.files.SetThread().OPENED, 1);
  EXPECT_EQ(child.files.SetThread().OPENED, 1);
}

TEST_F(RelationManagerTest, AFailedDeleteOffersToRetry) {
  ReadParent(1);
  auto other = OtherStation(ParentLayout(), "PARENT");
  other->Record().Field("PAR:ID").SetInteger(1);
  ASSERT_EQ(other->Get(IdKey), runtime::NoError);
  ASSERT_EQ(other->Hold(), runtime::NoError);

  boxes.Script({ButtonOk, ButtonYes, ButtonOk, ButtonNo});
  EXPECT_EQ(parent.relations.Delete(false), SeverityNotify);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Record was not deleted", "Record Delete Error",
                                                  "Record was not deleted", "Record Delete Error"}));
  EXPECT_NE(boxes.Requests()[0].text.find("Parent"), std::string::npos);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"(held)", "2 parent 2"}));
  EXPECT_FALSE(runtime::TransactionActive());
  EXPECT_EQ(cursor.current, runtime::ui::CursorDefault);

  // Once the other station lets go, the same record is deleted.
  ASSERT_EQ(other->Release(), runtime::NoError);
  boxes.Reset();
  EXPECT_EQ(parent.relations.Delete(false), SeverityOk);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"2 parent 2"}));
}

TEST_F(RelationManagerTest, ATransactionBlockedByAnotherStationChangesNothing) {
  Relate(RiCascade, RiCascade);
  auto other = OtherStation(ParentLayout(), "PARENT");
  ASSERT_EQ(other->BeginTransaction(0), runtime::NoError);

  ReadParent(1);
  parent.Field("PAR:ID").SetInteger(5);
  boxes.Script({ButtonOk, ButtonOk});
  // The lock wait runs on the runtime clock, which only this test advances.
  runtime::TestClock clock(0, 0);
  runtime::ScopedTimeSource scoped(clock);
  const std::int64_t start = clock.SteadyMicros();
  clock.RunAdvancing([&] { EXPECT_EQ(parent.relations.Update(false), SeverityNotify); }, 100'000);
  EXPECT_GE(clock.SteadyMicros() - start, 2'000'000) << "waited the 2 seconds for the lock";
  EXPECT_LT(clock.SteadyMicros() - start, 2'200'000);

  // Blocked on the child file: the parent's begun transaction is rolled
  // back with it.
  ASSERT_EQ(other->Rollback(), runtime::NoError);
  auto otherChild = OtherStation(ChildLayout(), "CHILD");
  ASSERT_EQ(otherChild->BeginTransaction(0), runtime::NoError);
  ReadParent(2);
  clock.RunAdvancing([&] { EXPECT_EQ(parent.relations.Delete(false), SeverityNotify); }, 100'000);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Transaction cancelled", "Transaction cancelled"}));
  EXPECT_NE(boxes.Requests()[0].text.find("Parent"), std::string::npos);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 parent 1", "2 parent 2"}));
  EXPECT_EQ(StoredChildren(), kAllChildren);
  EXPECT_FALSE(runtime::TransactionActive());
  EXPECT_EQ(parent.files.SetThread().OPENED, 1);

  // The lock freed, the same update goes through.
  ASSERT_EQ(otherChild->Rollback(), runtime::NoError);
  boxes.Reset();
  ReadParent(1);
  parent.Field("PAR:ID").SetInteger(5);
  EXPECT_EQ(parent.relations.Update(false), SeverityOk);
  EXPECT_EQ(StoredChildren(), kMovedTo5);
}

TEST_F(RelationManagerTest, AFailureInsideACascadeRollsEverythingBack) {
  Relate(RiCascade, RiCascade);
  // Another station holds the last child of parent 1: the cascades change
  // or delete the first two, then cannot read the third.
  auto other = OtherStation(ChildLayout(), "CHILD");
  const std::vector<std::string> allButHeld = {"1.1 note 1.1", "1.2 note 1.2", "(held)", "2.1 note 2.1"};
  other->Record().Field("CHI:PARENTID").SetInteger(1);
  other->Record().Field("CHI:SEQ").SetInteger(3);
  ASSERT_EQ(other->Get(ParentKey), runtime::NoError);
  ASSERT_EQ(other->Hold(), runtime::NoError);

  // The child station is on the first child of parent 1, with an edit.
  child.file->ClearBuffer();
  child.Field("CHI:PARENTID").SetInteger(1);
  child.Field("CHI:SEQ").SetInteger(1);
  ASSERT_EQ(child.files.TryFetch(ParentKey), SeverityOk);
  child.Field("CHI:NOTE").SetText("unsaved edit");

  ReadParent(1);
  boxes.Script(ButtonOk);
  EXPECT_EQ(parent.relations.Delete(false), SeverityNotify);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Record not read"}));
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 parent 1", "2 parent 2"}));
  EXPECT_EQ(StoredChildren(), allButHeld);
  EXPECT_FALSE(runtime::TransactionActive());
  // The child station's buffer and position are as they were.
  EXPECT_EQ(child.Field("CHI:NOTE").ClippedText(), "unsaved edit");
  ASSERT_EQ(child.files.TryNext(), SeverityOk);
  EXPECT_EQ(child.Field("CHI:NOTE").ClippedText(), "note 1.2");

  boxes.Reset();
  boxes.Script(ButtonOk);
  ReadParent(1);
  parent.Field("PAR:ID").SetInteger(5);
  EXPECT_EQ(parent.relations.Update(false), SeverityNotify);
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Record not read"}));
  EXPECT_EQ(parent.Field("PAR:ID").Get().AsInteger(), 1);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 parent 1", "2 parent 2"}));
  EXPECT_EQ(StoredChildren(), allButHeld);

  // Nothing of the rolled-back attempts is left behind: with the record
  // free, the same change goes through from the same buffer.
  ASSERT_EQ(other->Release(), runtime::NoError);
  boxes.Reset();
  parent.Field("PAR:ID").SetInteger(5);
  EXPECT_EQ(parent.relations.Update(false), SeverityOk);
  EXPECT_EQ(StoredChildren(), kMovedTo5);
}

TEST_F(RelationManagerTest, FilesRelatedBothWaysAreOpenedAndClosedOncePerPass) {
  Relate(RiCascade, RiCascade);
  child.relations.AddRelation(parent.relations, RiCascade, RiNone, IdKey);
  ASSERT_TRUE(child.relations.AddLinkingFields(child.Field("CHI:PARENTID"), parent.Field("PAR:ID")));

  for (Station* start : {&parent, &child}) {
    ASSERT_EQ(start->relations.Open(false), SeverityOk);
    EXPECT_EQ(parent.files.SetThread().OPENED, 2);
    EXPECT_EQ(child.files.SetThread().OPENED, 2);
    ASSERT_EQ(start->relations.Close(false), SeverityOk);
    EXPECT_EQ(parent.files.SetThread().OPENED, 1);
    EXPECT_EQ(child.files.SetThread().OPENED, 1);
  }

  // Enlisting follows the cycle once; the cascade ends where no record
  // carries the old value any more.
  ReadParent(2);
  parent.Field("PAR:ID").SetInteger(7);
  EXPECT_EQ(parent.relations.Update(false), SeverityOk);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 parent 1", "7 parent 2"}));
  EXPECT_EQ(StoredChildren(),
            (std::vector<std::string>{"1.1 note 1.1", "1.2 note 1.2", "1.3 note 1.3", "7.1 note 2.1"}));
  EXPECT_TRUE(boxes.Requests().empty());
}

// Logs the QUICKSCAN calls that reach it.
class ScanLog : public RelationManager {
 public:
  ScanLog(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  void SetQuickScan(bool on, std::uint8_t mode) override {
    log_.push_back(name_ + (on ? " on " : " off ") + std::to_string(mode));
    RelationManager::SetQuickScan(on, mode);
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

TEST_F(RelationManagerTest, QuickScanFollowsTheRelationsItsModeNames) {
  std::vector<std::string> log;
  ScanLog keyed(log, "keyed"), unkeyed(log, "unkeyed");
  keyed.Init(child.files, true);
  unkeyed.Init(child.files, true);
  parent.relations.AddRelation(keyed, RiNone, RiNone, ParentKey);
  parent.relations.AddRelation(unkeyed, RiNone, RiNone, 0);
  keyed.AddRelation(parent.relations, RiNone, RiNone, IdKey);  // back again: one visit per pass

  const std::vector<std::pair<std::uint8_t, std::vector<std::string>>> cases = {
      {0, {}},
      {1, {"unkeyed on 129"}},
      {2, {"keyed on 130"}},
      {3, {"keyed on 131", "unkeyed on 131"}},
  };
  for (const auto& [mode, expected] : cases) {
    log.clear();
    parent.relations.SetQuickScan(true, mode);
    EXPECT_EQ(log, expected) << int(mode);
  }
}

TEST_F(RelationManagerTest, CancelAutoIncDeletesThePrimedRecordWithItsChildren) {
  Relate(RiNone, RiCascade);
  ASSERT_EQ(parent.files.PrimeRecord(false), SeverityOk);
  EXPECT_EQ(parent.Field("PAR:ID").Get().AsInteger(), 3);
  AddChild(3, 1);
  EXPECT_EQ(StoredParents().size(), 3u);
  EXPECT_EQ(parent.relations.CancelAutoInc(), SeverityOk);
  EXPECT_EQ(StoredParents(), (std::vector<std::string>{"1 parent 1", "2 parent 2"}));
  EXPECT_EQ(StoredChildren(), kAllChildren);
  EXPECT_TRUE(boxes.Requests().empty());
  EXPECT_EQ(parent.files.SetThread().AUTOINCDONE, 0);
}

TEST_F(RelationManagerTest, ATextFileWithoutTransactionsUpdatesWithoutThemSilently) {
  { std::ofstream(dir.File("notes.txt")) << "alpha\nbravo\n"; }
  Station text;
  text.file = runtime::DataFile::Make(runtime::Driver::Ascii,
                                      runtime::RecordLayout::Builder("Notes", "TXT").String("LINE", 40).Build(),
                                      dir.File("notes.txt"));
  text.files.Init(*text.file, errors);
  text.relations.Init(text.files, true);
  stations.push_back(&text);
  ASSERT_EQ(text.relations.Open(), SeverityOk);
  for (const char* line : {"omega", "delta"}) {
    ASSERT_EQ(text.files.TryNext(), SeverityOk);
    text.Field("TXT:LINE").SetText(line);
    EXPECT_EQ(text.relations.Update(false), SeverityOk);
    EXPECT_EQ(text.relations.USELOGOUT, 0);
  }
  EXPECT_TRUE(boxes.Requests().empty());
  EXPECT_FALSE(runtime::TransactionActive());
  (void)text.relations.Close();
  std::ifstream in(dir.File("notes.txt"));
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "omega\ndelta\n");
  stations.pop_back();
  text.relations.Kill();
}

}  // namespace
