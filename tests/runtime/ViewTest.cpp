// Views over a keyed bookmark file: key and record orders both ways, order
// texts, filters (kept, refused), positioning from the buffer and from a
// position, deleting while reading, other stations' changes.
#include "runtime/values/FieldBindings.h"
#include "runtime/views/OrderText.h"
#include "runtime/views/View.h"
#include "tests/runtime/KeyedTestSupport.h"

namespace runtime::testing {
namespace {

using Nums = std::vector<std::int64_t>;

constexpr std::string_view kWebOnly = "(UPPER(sub(web:url,1,3)) = 'HTT')";
constexpr std::uint8_t kViewMode = AccessReadWrite | ShareDenyWrite;  // 0x22

// NUMs added in this order, so record order differs from every key order.
const std::vector<Bookmark> kBookmarks = {
    {4, "javascript:void(0)", "Zeta site"}, {1, "https://zeta.example", "Zeta site"},
    {6, "mailto:me@example", "mail"},       {3, "HTTP://Alpha.example", "alpha"},
    {5, "http://beta.example", "Beta"},     {2, "ftp://files.example", "files"},
};

// Keys of several components and descending ones: (description, num),
// (description, -num), (-num).
RecordLayout GroupedLayout() {
  return RecordLayout::Builder("GROUPED", "WEB")
      .Field("NUM", FieldType::Int32)
      .String("URL", 255)
      .String("DESCRIPTION", 250)
      .Field("NOTEFIELD", FieldType::UInt8)
      .Memo("NOTES", 1000)
      .Key("DESCNUM", {{3}, {1}}, KeyNoCase)
      .Key("DESCNUMDOWN", {{3}, {1, Order::Descending}}, KeyNoCase)
      .Key("NUMDOWN", {{1, Order::Descending}}, KeyUnique | KeyNoCase)
      .Build();
}

class ViewTest : public KeyedTestBase {
 protected:
  void SetUp() override {
    KeyedTestBase::SetUp();
    file_ = NewFile();
    for (const Bookmark& b : kBookmarks) ASSERT_EQ(Add(*file_, b), NoError);
    Bind(*file_);
    view_ = std::make_unique<View>(*file_);
  }
  void TearDown() override {
    view_.reset();
    for (std::size_t f = 1; f <= file_->Layout().FieldCount(); ++f) UnbindField(file_->Layout().Field(f).label);
    file_.reset();
    KeyedTestBase::TearDown();
  }

  // As the file manager does when it opens a file.
  static void Bind(DataFile& file) {
    for (std::size_t f = 1; f <= file.Layout().FieldCount(); ++f) {
      BindField(file.Layout().Field(f).label, file.Record().Field(f));
    }
  }

  // NUMs the view reads from where it stands until NoRecord.
  Nums ReadView(bool backward = false) {
    Nums nums;
    std::int32_t code;
    while ((code = backward ? view_->Previous() : view_->Next()) == NoError) nums.push_back(Num(*file_));
    EXPECT_EQ(code, NoRecord);
    return nums;
  }
  std::int64_t NextNum() {
    EXPECT_EQ(view_->Next(), NoError);
    return Num(*file_);
  }
  std::int64_t PreviousNum() {
    EXPECT_EQ(view_->Previous(), NoError);
    return Num(*file_);
  }

  std::unique_ptr<DataFile> file_;
  std::unique_ptr<View> view_;
};

TEST_F(ViewTest, ReadsEveryOrderForwardsAndBackwards) {
  struct Case {
    std::string_view order;
    Nums forwards;
  };
  const Case cases[] = {
      {"", {4, 1, 6, 3, 5, 2}},
      {"WEB:NUM", {1, 2, 3, 4, 5, 6}},
      {"UPPER(WEB:URL)", {2, 3, 5, 1, 4, 6}},            // case ignored; "http:" before "https"
      {"upper( web:description )", {3, 5, 2, 6, 4, 1}},  // equal descriptions in record order
  };
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.order));
    ASSERT_EQ(view_->SetOrder(c.order), NoError);
    EXPECT_EQ(ReadView(), c.forwards);
    ASSERT_EQ(view_->Reset(), NoError);
    EXPECT_EQ(ReadView(true), Nums(c.forwards.rbegin(), c.forwards.rend()));
  }
}

TEST_F(ViewTest, OrderTextThatMatchesNoKeyIsRefusedAndKeepsTheOrder) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("WEB:NUM"), NoError);
  EXPECT_EQ(NextNum(), 1);
  for (std::string_view text : {"WEB:URL", "-WEB:NUM", "WEB:NUM,UPPER(WEB:URL)", "UPPER(WEB:NOSUCH)"}) {
    SCOPED_TRACE(std::string(text));
    EXPECT_EQ(view_->SetOrder(text), BadParameter);
    EXPECT_EQ(view_->CurrentKey(), kNumKey);
  }
  EXPECT_EQ(NextNum(), 2) << "a refused order leaves the reading where it was";
}

TEST_F(ViewTest, OrderTextsReadAsTheFileManagerWritesThem) {
  const RecordLayout grouped = GroupedLayout();
  EXPECT_EQ(KeyOrderText(grouped, 1), "UPPER(WEB:DESCRIPTION),WEB:NUM");
  EXPECT_EQ(KeyOrderText(grouped, 2), "UPPER(WEB:DESCRIPTION),-WEB:NUM");
  EXPECT_EQ(KeyOrderText(grouped, 3), "-WEB:NUM");
  EXPECT_EQ(KeyForOrderText(grouped, "upper(web:description), -web:num"), 2u);
  EXPECT_EQ(KeyForOrderText(grouped, "   "), 0u);
  EXPECT_EQ(KeyForOrderText(grouped, "UPPER(WEB:DESCRIPTION)"), std::nullopt) << "a leading part is not a key";
}

TEST_F(ViewTest, FilterKeepsWebAddressesInEveryDirection) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetFilter(kWebOnly), NoError);
  EXPECT_TRUE(view_->IsFiltered());
  ASSERT_EQ(view_->SetOrder("UPPER(WEB:URL)"), NoError);
  EXPECT_EQ(ReadView(), (Nums{3, 5, 1}));
  EXPECT_EQ(ReadView(true), (Nums{1, 5, 3})) << "back from the end reads the last match again";
  ASSERT_EQ(view_->SetOrder(""), NoError);
  EXPECT_EQ(ReadView(), (Nums{1, 3, 5}));

  ASSERT_EQ(view_->SetFilter(""), NoError);
  EXPECT_FALSE(view_->IsFiltered());
  ASSERT_EQ(view_->Reset(), NoError);
  EXPECT_EQ(ReadView().size(), kBookmarks.size());
}

TEST_F(ViewTest, RefusedFilterReadsUnfilteredAndReportsTheCode) {
  struct Case {
    std::string_view filter;
    std::int32_t code;
  };
  const Case cases[] = {
      {"(UPPER(sub(web:url,1,3)) = 'HTT'", ExpressionSyntax},
      {"WEB:NOSUCH = 1", ExpressionUnknownName},
      {"NOSUCHFUNCTION(WEB:URL) = 1", ExpressionUnknownFunction},
  };
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("WEB:NUM"), NoError);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.filter));
    ASSERT_EQ(view_->SetFilter(kWebOnly), NoError);
    EXPECT_EQ(view_->SetFilter(c.filter), c.code);
    EXPECT_EQ(LastErrorCode(), c.code);
    EXPECT_FALSE(view_->IsFiltered());
    ASSERT_EQ(view_->Reset(), NoError);
    EXPECT_EQ(ReadView(), (Nums{1, 2, 3, 4, 5, 6})) << "never silently matching nothing";
  }
}

TEST_F(ViewTest, ResetToPositionReadsThatRecordOrTheOneAfterIt) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("UPPER(WEB:URL)"), NoError);
  ASSERT_EQ(view_->SetFilter(kWebOnly), NoError);
  EXPECT_EQ(NextNum(), 3);
  EXPECT_EQ(NextNum(), 5);
  const std::string atFive = view_->Position();
  ASSERT_FALSE(atFive.empty());
  EXPECT_EQ(NextNum(), 1);

  ASSERT_EQ(view_->ResetToPosition(atFive), NoError);
  EXPECT_EQ(NextNum(), 5);
  ASSERT_EQ(view_->ResetToPosition(atFive), NoError);
  EXPECT_EQ(PreviousNum(), 3);

  ASSERT_EQ(view_->Reget(atFive), NoError);
  ASSERT_EQ(file_->Delete(), NoError);
  ASSERT_EQ(view_->ResetToPosition(atFive), NoError);
  EXPECT_EQ(NextNum(), 1) << "the record is gone: the next match after it";
}

TEST_F(ViewTest, DeletingTheCurrentRecordDuringAFilteredScanGoesOn) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("UPPER(WEB:URL)"), NoError);
  ASSERT_EQ(view_->SetFilter(kWebOnly), NoError);
  Nums deleted;
  std::int32_t code;
  while ((code = view_->Next()) == NoError) {
    deleted.push_back(Num(*file_));
    ASSERT_EQ(file_->Delete(), NoError);
  }
  EXPECT_EQ(code, NoRecord);
  EXPECT_EQ(deleted, (Nums{3, 5, 1}));
  ASSERT_EQ(view_->SetFilter(""), NoError);
  ASSERT_EQ(view_->Reset(), NoError);
  EXPECT_EQ(ReadView(), (Nums{2, 4, 6}));
}

TEST_F(ViewTest, HeldRecordIsReportedOnceAndTheScanGoesOn) {
  auto other = MakeFile();
  ASSERT_EQ(other->Open(kReadWriteShared), NoError);
  other->ClearBuffer();
  other->Record().Field("NUM").SetInteger(5);
  ASSERT_EQ(other->Get(kNumKey), NoError);
  ASSERT_EQ(other->Hold(), NoError);

  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("WEB:NUM"), NoError);
  ASSERT_EQ(view_->SetFilter(kWebOnly), NoError);
  EXPECT_EQ(NextNum(), 1);
  EXPECT_EQ(NextNum(), 3);
  EXPECT_EQ(view_->Next(), RecordHeld);
  EXPECT_EQ(view_->Next(), NoRecord);
}

TEST_F(ViewTest, FlushShowsAnotherStationsChangesAndGoesOnFromTheCurrentRecord) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  ASSERT_EQ(view_->SetOrder("WEB:NUM"), NoError);
  EXPECT_EQ(NextNum(), 1);
  EXPECT_EQ(NextNum(), 2);  // the rows after it are read ahead by now

  auto other = MakeFile();
  ASSERT_EQ(other->Open(kReadWriteShared), NoError);
  other->ClearBuffer();
  other->Record().Field("NUM").SetInteger(3);
  ASSERT_EQ(other->Get(kNumKey), NoError);
  ASSERT_EQ(other->Delete(), NoError);
  ASSERT_EQ(Add(*other, {7, "http://new.example", "new"}), NoError);

  view_->Flush();
  EXPECT_EQ(NextNum(), 4) << "3 was deleted by the other station";
  view_->Flush();
  EXPECT_EQ(PreviousNum(), 2);
  view_->Flush();
  EXPECT_EQ(ReadView(), (Nums{4, 5, 6, 7}));

  // At the end: going back reads the last record again, and a record added
  // after the end meanwhile is seen going on.
  ASSERT_EQ(Add(*other, {8, "http://newer.example", "newer"}), NoError);
  view_->Flush();
  EXPECT_EQ(PreviousNum(), 8);
  ASSERT_EQ(Add(*other, {9, "http://newest.example", "newest"}), NoError);
  view_->Flush();
  EXPECT_EQ(ReadView(), (Nums{9}));
}

TEST_F(ViewTest, OpenOpensThePrimaryOnlyWhenClosedAndCloseClosesOnlyThat) {
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  EXPECT_EQ(view_->Open(kViewMode), AlreadyOpen);
  ASSERT_EQ(view_->Close(), NoError);
  EXPECT_TRUE(file_->IsOpen()) << "the file was open before the view";

  ASSERT_EQ(file_->Close(), NoError);
  ASSERT_EQ(view_->Open(kViewMode), NoError);
  EXPECT_TRUE(file_->IsOpen());
  EXPECT_EQ(NextNum(), 4);
  ASSERT_EQ(view_->Close(), NoError);
  EXPECT_FALSE(file_->IsOpen());
  EXPECT_EQ(view_->Next(), FileNotOpen);

  auto missing = MakeFile(BookmarkLayout(), "MISSING");
  View onMissing(*missing);
  EXPECT_EQ(onMissing.Open(kViewMode), FileNotFound);
  EXPECT_FALSE(onMissing.IsOpen());
}

class GroupedViewTest : public ViewTest {
 protected:
  void SetUp() override {
    KeyedTestBase::SetUp();
    file_ = NewFile(GroupedLayout(), "GROUPED");
    const std::vector<Bookmark> rows = {
        {-5, "u1", "Zeta"}, {3, "u2", "zeta"}, {7, "u3", "ZETA"}, {1, "u4", "alpha"}, {9, "u5", "omega"},
    };
    for (const Bookmark& b : rows) ASSERT_EQ(Add(*file_, b), NoError);
    Bind(*file_);
    view_ = std::make_unique<View>(*file_);
    ASSERT_EQ(view_->Open(kViewMode), NoError);
  }
  void SetKeyBuffer(std::string_view description, std::int64_t num) {
    SetBuffer(*file_, {num, "untouched", std::string(description)}, "notes");
  }
  void ExpectBufferUntouched(std::string_view description, std::int64_t num) {
    EXPECT_EQ(Num(*file_), num);
    EXPECT_EQ(Description(*file_), description);
    EXPECT_EQ(Url(*file_), "untouched");
    EXPECT_EQ(file_->Record().Memo(1), "notes");
  }
};

TEST_F(GroupedViewTest, DescendingKeyReadsBothWays) {
  ASSERT_EQ(view_->SetOrder("-WEB:NUM"), NoError);
  EXPECT_EQ(ReadView(), (Nums{9, 7, 3, 1, -5}));
  ASSERT_EQ(view_->Reset(), NoError);
  EXPECT_EQ(ReadView(true), (Nums{-5, 1, 3, 7, 9}));
}

TEST_F(GroupedViewTest, ResetToBufferStartsAtTheLowEndOfTheFreeComponents) {
  struct Case {
    std::string_view order;
    std::size_t components;
    std::string_view description;
    std::int64_t num;
    Nums forwards;
    std::int64_t previous;  // read by Previous from the same place
  };
  const Case cases[] = {
      // Ascending free component: its lowest value, below zero too.
      {"UPPER(WEB:DESCRIPTION),WEB:NUM", 1, "zeta", 100, {-5, 3, 7}, 9},
      {"UPPER(WEB:DESCRIPTION),WEB:NUM", 2, "ZETA", 3, {3, 7}, 3},  // Previous: the last <= them
      // Descending free component: its highest value.
      {"UPPER(WEB:DESCRIPTION),-WEB:NUM", 1, "Zeta", -100, {7, 3, -5}, 9},
      {"UPPER(WEB:DESCRIPTION),-WEB:NUM", 2, "zeta", 4, {3, -5}, 7},
      {"UPPER(WEB:DESCRIPTION),-WEB:NUM", 5, "zeta", 4, {3, -5}, 7},  // more than the key has: all
      {"UPPER(WEB:DESCRIPTION),-WEB:NUM", 0, "zeta", 4, {1, 9, 7, 3, -5}, -5},
      {"UPPER(WEB:DESCRIPTION),WEB:NUM", 1, "beta", 0, {9, -5, 3, 7}, 1},  // between two groups
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.order) + " / " + std::to_string(c.components) + " / " + std::string(c.description));
    ASSERT_EQ(view_->SetOrder(c.order), NoError);
    SetKeyBuffer(c.description, c.num);
    ASSERT_EQ(view_->ResetToBuffer(c.components), NoError);
    ExpectBufferUntouched(c.description, c.num);
    EXPECT_EQ(ReadView(), c.forwards);

    SetKeyBuffer(c.description, c.num);
    ASSERT_EQ(view_->ResetToBuffer(c.components), NoError);
    EXPECT_EQ(PreviousNum(), c.previous);
  }
}

TEST_F(GroupedViewTest, ResetToBufferAppliesTheFilter) {
  ASSERT_EQ(view_->SetOrder("UPPER(WEB:DESCRIPTION),WEB:NUM"), NoError);
  ASSERT_EQ(view_->SetFilter("WEB:NUM > 0"), NoError);
  SetKeyBuffer("zeta", 0);
  ASSERT_EQ(view_->ResetToBuffer(1), NoError);
  EXPECT_EQ(ReadView(), (Nums{3, 7}));
}

}  // namespace
}  // namespace runtime::testing
