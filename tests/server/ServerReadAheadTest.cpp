// Reading ahead on the database server by a list of key values: the
// records come in one statement, each following Get of one of them is
// served from it once, and a write drops what was read. And the values of
// the rows a scan has read ahead, which a caller reads ahead by.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/files/ThreadedFile.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "tests/server/ServerTestSupport.h"

namespace {

using testing_support::NameKey;
using testing_support::NumKey;

class ServerReadAheadTest : public testing_support::ServerSchemaTest {
 protected:
  void SetUp() override {
    ServerSchemaTest::SetUp();
    mine_ =
        runtime::ThreadedFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir_.File("MARLINDEN"));
    ASSERT_EQ(mine_->Create(), runtime::NoError) << runtime::LastError().driverText;
    ASSERT_EQ(mine_->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
    // Numbers 1..6, their addresses in the other order.
    for (int n = 1; n <= 6; ++n) {
      mine_->ClearBuffer();
      mine_->Record().Field("URL").SetText("https://" + std::string(1, static_cast<char>('g' - n)) + ".example/");
      mine_->Record().Field("DESCRIPTION").SetText("first " + std::to_string(n));
      mine_->Record().SetMemo(1, "notes " + std::to_string(n));
      ASSERT_EQ(mine_->AddNumbered(NumKey, 1), runtime::NoError) << runtime::LastError().driverText;
    }
    theirs_ =
        runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir_.File("MARLINDEN"));
    ASSERT_EQ(theirs_->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), runtime::NoError);
  }
  void TearDown() override {
    (void)mine_->Close();
    (void)theirs_->Close();
    ServerSchemaTest::TearDown();
  }

  std::int32_t Get(runtime::DataFile& file, std::int64_t number) {
    file.ClearBuffer();
    file.Record().Field("NUM").SetInteger(number);
    return file.Get(NumKey);
  }
  std::string Description(runtime::DataFile& file) {
    return std::string(file.Record().Field("DESCRIPTION").ClippedText());
  }
  void TheirsChange(std::int64_t number, const std::string& description) {
    ASSERT_EQ(Get(*theirs_, number), runtime::NoError);
    theirs_->Record().Field("DESCRIPTION").SetText(description);
    ASSERT_EQ(theirs_->Put(), runtime::NoError) << runtime::LastError().driverText;
  }

  std::unique_ptr<runtime::DataFile> mine_, theirs_;
};

TEST_F(ServerReadAheadTest, AScanTellsTheValuesOfTheRowsItReadAhead) {
  ASSERT_EQ(mine_->SetOrder(NameKey), runtime::NoError);
  ASSERT_EQ(mine_->Next(), runtime::NoError);
  EXPECT_EQ(mine_->Record().Field("NUM").Get().AsInteger(), 6);
  EXPECT_EQ(mine_->UpcomingValues(1, true, 3), (std::vector<std::int64_t>{5, 4, 3}));
  EXPECT_EQ(mine_->UpcomingValues(1, true, 10), (std::vector<std::int64_t>{5, 4, 3, 2, 1}));
  EXPECT_TRUE(mine_->UpcomingValues(1, false, 10).empty()) << "nothing is read ahead the other way";
}

TEST_F(ServerReadAheadTest, RecordsReadAheadByKeyServeEachGetOnceAsRowsReadAhead) {
  ASSERT_EQ(mine_->ReadAheadKeys(NumKey, {2, 5, 99}), runtime::NoError) << runtime::LastError().driverText;
  TheirsChange(5, "changed by them");

  // Served from what was read: the record as it was, with its notes; a put
  // of it is refused as changed by another station.
  ASSERT_EQ(Get(*mine_, 5), runtime::NoError);
  EXPECT_EQ(Description(*mine_), "first 5");
  EXPECT_EQ(mine_->Record().Memo(1), "notes 5");
  EXPECT_EQ(mine_->Put(), runtime::ChangedByOther);
  // Once: the next Get reads the server.
  ASSERT_EQ(Get(*mine_, 5), runtime::NoError);
  EXPECT_EQ(Description(*mine_), "changed by them");
  EXPECT_EQ(Get(*mine_, 99), runtime::RecordNotFound);

  // A write drops what was read ahead.
  ASSERT_EQ(Get(*mine_, 2), runtime::NoError) << "the put above dropped it: read afresh";
  ASSERT_EQ(mine_->ReadAheadKeys(NumKey, {1, 3}), runtime::NoError);
  TheirsChange(3, "changed again");
  ASSERT_EQ(Get(*mine_, 1), runtime::NoError);
  mine_->Record().Field("DESCRIPTION").SetText("mine");
  ASSERT_EQ(mine_->Put(), runtime::NoError);
  ASSERT_EQ(Get(*mine_, 3), runtime::NoError);
  EXPECT_EQ(Description(*mine_), "changed again");

  EXPECT_EQ(mine_->ReadAheadKeys(NameKey, {1}), runtime::BadParameter) << "a text key";
}

}  // namespace
