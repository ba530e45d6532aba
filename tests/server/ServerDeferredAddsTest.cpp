// Adds queued on the database server: during a quick scan inside a
// transaction the driver sends them with the next statement or the commit,
// and one that is not stored fails the commit, which keeps nothing of the
// transaction.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/PgConnection.h"
#include "runtime/system/RuntimeError.h"
#include "tests/server/ServerTestSupport.h"

namespace {

// Names unique, with a number and a real beside them and a memo.
runtime::RecordLayout NamesLayout() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("NAMES", "NAM")
      .String("NAME", 30)
      .Field("COUNT", FieldType::Int32)
      .Field("SHARE", FieldType::Real)
      .Memo("TEXT", 100)
      .Key("NAMEKEY", {{1}}, runtime::KeyUnique)
      .Key("COUNTKEY", {{2}}, 0)
      .Build();
}

class ServerDeferredAddsTest : public testing_support::ServerSchemaTest {
 protected:
  void SetUp() override {
    ServerSchemaTest::SetUp();
    file_ = runtime::DataFile::Make(runtime::Driver::Keyed, NamesLayout(), dir_.File("names"));
    ASSERT_EQ(file_->Create(), runtime::NoError) << runtime::LastError().driverText;
    ASSERT_EQ(file_->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError)
        << runtime::LastError().driverText;
  }
  void TearDown() override {
    if (file_) (void)file_->Close();
    file_.reset();
    ServerSchemaTest::TearDown();
  }

  std::int32_t Add(const std::string& name, std::int64_t count, const std::string& text = "") {
    file_->ClearBuffer();
    file_->Record().Field("NAME").SetText(name);
    file_->Record().Field("COUNT").SetInteger(count);
    file_->Record().Field("SHARE").Set(runtime::Value::Real(static_cast<double>(count) / 4));
    file_->Record().SetMemo(1, text);
    return file_->Add();
  }
  void StartBatch() {
    ASSERT_EQ(file_->BeginTransaction(5), runtime::NoError) << runtime::LastError().driverText;
    ASSERT_EQ(file_->SendOption("QUICKSCAN=on"), runtime::NoError);
  }
  std::string Stored() const {
    return Value(
        "SELECT coalesce(string_agg(f1 || '/' || f2 || '/' || f3 || '/' || m1, ',' ORDER BY f1), '') FROM "
        "k_names");
  }

  std::unique_ptr<runtime::DataFile> file_;
};

TEST_F(ServerDeferredAddsTest, QueuedAddsAreReadBackInTheTransactionAndStoredByItsCommit) {
  StartBatch();
  // Texts that an array of values must carry unchanged.
  ASSERT_EQ(Add("plain", 1, "a note"), runtime::NoError);
  ASSERT_EQ(Add("quote\"and\\back", -2, "{braces},\"commas\""), runtime::NoError);
  ASSERT_EQ(Add("NULL", 3, "zürich \u203A"), runtime::NoError);
  EXPECT_EQ(file_->Position(0), "") << "a queued add has no current record";
  EXPECT_EQ(Value("SELECT count(*) FROM k_names"), "0") << "nothing is stored before the transaction ends";

  // A read of the file sends the queue first: it finds what was added.
  file_->ClearBuffer();
  file_->Record().Field("NAME").SetText("NULL");
  ASSERT_EQ(file_->Get(1), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(file_->Record().Field("COUNT").Get().AsInteger(), 3);
  EXPECT_EQ(file_->Record().Memo(1), "zürich \u203A");
  EXPECT_EQ(file_->Records(), 3);

  // More adds after the read, then the commit sends them.
  ASSERT_EQ(Add("later", 4), runtime::NoError);
  ASSERT_EQ(file_->Commit(), runtime::NoError) << runtime::LastError().driverText;
  ASSERT_EQ(file_->SendOption("QUICKSCAN=off"), runtime::NoError);
  EXPECT_EQ(Stored(),
            "NULL/3/0.75/zürich \u203A,later/4/1/,plain/1/0.25/a note,quote\"and\\back/-2/-0.5/{braces},\"commas\"");
}

TEST_F(ServerDeferredAddsTest, AQueuedAddWhoseKeyIsTakenFailsTheCommitAndKeepsNothingOfTheBatch) {
  ASSERT_EQ(Add("taken", 1), runtime::NoError);

  // Taken by a stored record.
  StartBatch();
  ASSERT_EQ(Add("fresh", 2), runtime::NoError);
  ASSERT_EQ(Add("taken", 3), runtime::NoError) << "queued: the failure comes with the commit";
  ASSERT_EQ(Add("also fresh", 4), runtime::NoError);
  EXPECT_EQ(file_->Commit(), runtime::DuplicateKey);
  EXPECT_NE(runtime::LastError().driverText.find("UNIQUE"), std::string::npos) << runtime::LastError().driverText;
  EXPECT_EQ(Stored(), "taken/1/0.25/");

  // Taken by another add of the same queue; "off" tells it too.
  StartBatch();
  ASSERT_EQ(Add("twice", 5), runtime::NoError);
  ASSERT_EQ(Add("twice", 6), runtime::NoError);
  EXPECT_EQ(file_->SendOption("QUICKSCAN=off"), runtime::DuplicateKey);
  EXPECT_EQ(file_->Commit(), runtime::DuplicateKey) << "the failure stays until the transaction ends";
  EXPECT_EQ(Stored(), "taken/1/0.25/");

  // The file goes on: the next batch is stored whole.
  StartBatch();
  ASSERT_EQ(Add("twice", 7), runtime::NoError);
  ASSERT_EQ(file_->Commit(), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(Stored(), "taken/1/0.25/,twice/7/1.75/");
}

TEST_F(ServerDeferredAddsTest, AQueuedAddTheServerRefusesFailsTheReadItWentWithAndTheCommit) {
  Value("ALTER TABLE k_names ADD CONSTRAINT no_bad CHECK (f1 <> 'bad') NOT VALID");
  StartBatch();
  ASSERT_EQ(Add("good", 1), runtime::NoError);
  ASSERT_EQ(Add("bad", 2), runtime::NoError);
  // The read goes in the same round trip, after the refused rows.
  ASSERT_EQ(file_->SetOrder(1), runtime::NoError);
  EXPECT_EQ(file_->Next(), runtime::DriverFailure);
  EXPECT_NE(runtime::LastError().driverText.find("no_bad"), std::string::npos) << runtime::LastError().driverText;
  EXPECT_NE(file_->Commit(), runtime::NoError);
  EXPECT_EQ(Stored(), "");

  StartBatch();
  ASSERT_EQ(Add("good", 1), runtime::NoError);
  ASSERT_EQ(file_->Commit(), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(Stored(), "good/1/0.25/");
}

TEST_F(ServerDeferredAddsTest, OnlyAQuickScanInsideATransactionQueuesAndARollbackSendsNothing) {
  // Outside a transaction an add is stored, or refused, at once.
  ASSERT_EQ(file_->SendOption("QUICKSCAN=on"), runtime::NoError);
  ASSERT_EQ(Add("at once", 1), runtime::NoError);
  EXPECT_EQ(Add("at once", 2), runtime::DuplicateKey);
  ASSERT_EQ(file_->SendOption("QUICKSCAN=off"), runtime::NoError);

  // In a transaction without a quick scan, too.
  ASSERT_EQ(file_->BeginTransaction(5), runtime::NoError);
  EXPECT_EQ(Add("at once", 3), runtime::DuplicateKey);
  ASSERT_EQ(file_->Rollback(), runtime::NoError);

  StartBatch();
  ASSERT_EQ(Add("dropped", 4), runtime::NoError);
  ASSERT_EQ(file_->Rollback(), runtime::NoError) << runtime::LastError().driverText;
  // What the rollback dropped never reaches the server with a later statement.
  EXPECT_EQ(file_->Records(), 1);
  ASSERT_EQ(file_->SendOption("QUICKSCAN=off"), runtime::NoError);
  EXPECT_EQ(Stored(), "at once/1/0.25/");
}

TEST_F(ServerDeferredAddsTest, AConnectionLostWithAddsQueuedFailsTheCommitAndTheNextBatchConnectsAgain) {
  StartBatch();
  ASSERT_EQ(Add("queued", 1), runtime::NoError);
  ASSERT_EQ(Add("queued too", 2), runtime::NoError);
  EXPECT_EQ(testing_support::PgExec(
                base_,
                "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'marlinden' AND "
                "pid <> pg_backend_pid()"),
            "");
  EXPECT_EQ(file_->Commit(), runtime::DriverFailure);
  EXPECT_NE(runtime::LastError().driverText.find("connection"), std::string::npos) << runtime::LastError().driverText;
  EXPECT_EQ(Stored(), "");

  StartBatch();
  ASSERT_EQ(Add("again", 3), runtime::NoError);
  ASSERT_EQ(file_->Commit(), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(Stored(), "again/3/0.75/");
}

TEST_F(ServerDeferredAddsTest, MoreAddsThanOneStatementCarriesAreAllStored) {
  StartBatch();
  constexpr int kRows = static_cast<int>(runtime::PgConnection::kDeferredRows) + 600;
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(Add("name " + std::to_string(i), i), runtime::NoError);
  ASSERT_EQ(file_->Commit(), runtime::NoError) << runtime::LastError().driverText;
  EXPECT_EQ(Value("SELECT count(DISTINCT f1) || '/' || sum(f2) FROM k_names"),
            std::to_string(kRows) + "/" + std::to_string(static_cast<std::int64_t>(kRows) * (kRows - 1) / 2));
}

}  // namespace
