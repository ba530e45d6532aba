// The view manager over a real keyed file of items (group A, name B, number
// N): range limits of every kind and the filter texts they make, evaluated by
// the view's expression language against the records read; named filters;
// the refresh rules; record judgement; refused orders and filters; priming.
#include <gtest/gtest.h>

#include <functional>
#include <list>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/ViewManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/headless/HeadlessMessageBoxes.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/views/View.h"
#include "support/MessageTest.h"
#include "support/TempDir.h"

using namespace marlinden;
using runtime::FieldType;
using runtime::ui::ButtonOk;
using Rows = std::vector<std::string>;

namespace {

enum ItemKey : std::size_t { AbKey = 1, AbNoCaseKey = 2, AnKey = 3 };

runtime::RecordLayout ItemLayout() {
  return runtime::RecordLayout::Builder("Items", "ITM")
      .String("A", 10)
      .String("B", 20)
      .Field("N", FieldType::Int32)
      .String("NOTE", 20)
      .Key("ABKEY", {{1}, {2}}, runtime::KeyDuplicates)
      .Key("ABNOCASEKEY", {{1}, {2}}, runtime::KeyDuplicates | runtime::KeyNoCase)
      .Key("ANKEY", {{1}, {3}}, runtime::KeyUnique)
      .Build();
}

// Every record in ABKEY order (upper case sorts first).
const Rows kAll = {"X/kiwi", "x/apple", "x/banana", "x/cherry", "x/mango", "x/o'hara", "x/zebra", "y/apple", "y/kiwi"};
const Rows kGroupX = {"x/apple", "x/banana", "x/cherry", "x/mango", "x/o'hara", "x/zebra"};

// Stops at "cherry", skips "banana".
class JudgingViewManager : public ViewManager {
 public:
  std::uint8_t ValidateRecord() override {
    const std::string_view name = VIEW->File(1).Record().Field("ITM:B").ClippedText();
    if (name == "cherry") return RecordOutOfRange;
    return name == "banana" ? RecordSkipped : RecordAccepted;
  }
};

class ViewManagerTest : public testing_support::MessageTest {
 protected:
  ViewManagerTest() {
    errors.Init();
    file = runtime::DataFile::Make(runtime::Driver::Keyed, ItemLayout(), dir.File("ITEMS"));
    files.Init(*file, errors);
    files.AddKey(AbKey, "ITM:Abkey", 0);
    files.AddKey(AbNoCaseKey, "ITM:Abnocasekey", 0);
    files.AddKey(AnKey, "ITM:Ankey", 2);
    relations.Init(files, false);
    EXPECT_EQ(files.Open(), SeverityOk);
    EXPECT_EQ(files.UseFile(), SeverityOk);
    const std::vector<std::tuple<const char*, const char*, int>> items = {
        {"x", "apple", 1}, {"x", "banana", 2}, {"x", "cherry", 3}, {"x", "o'hara", 4}, {"x", "mango", 5},
        {"x", "zebra", 6}, {"y", "apple", 1},  {"y", "kiwi", 2},   {"X", "kiwi", 1}};
    for (const auto& [a, b, n] : items) {
      file->ClearBuffer();
      Field("ITM:A").SetText(a);
      Field("ITM:B").SetText(b);
      Field("ITM:N").SetInteger(n);
      EXPECT_EQ(file->Add(), runtime::NoError);
    }
    view = std::make_unique<runtime::View>(*file);
  }
  ~ViewManagerTest() override {
    for (auto& manager : managers) manager->Kill();
    managers.clear();
    view.reset();
    relations.Kill();
    errors.Kill();
  }

  runtime::FieldRef Field(const char* label) { return file->Record().Field(label); }

  // A view manager on the items with the three key orders; the first is
  // current.
  template <typename Manager = ViewManager>
  Manager& NewViews() {
    managers.push_back(std::make_unique<Manager>());
    Manager& views = static_cast<Manager&>(*managers.back());
    views.Init(*view, relations);
    for (std::size_t key : {AbKey, AbNoCaseKey, AnKey}) views.AddSortOrder(key);
    views.SetSort(1);
    return views;
  }

  // A variable of the test, alive as long as the fixture.
  runtime::FieldRef Var(FieldType type, const runtime::Value& value) {
    OwnedValue& owned = variables.emplace_back();
    owned.DESC = {"VAR", type, type == FieldType::String ? 20u : runtime::SizeOf(type), 0};
    owned.BYTES.assign(owned.DESC.size, 0);
    owned.Ref().Set(value);
    return owned.Ref();
  }
  runtime::FieldRef Text(std::string_view text) { return Var(FieldType::String, runtime::Value::Text(text)); }
  runtime::FieldRef Int(std::int64_t number) { return Var(FieldType::Int32, runtime::Value::Integer(number)); }

  // Every record the manager reads from the start of its order, as "A/B".
  Rows Read(ViewManager& views) {
    views.Reset();
    Rows rows;
    Severity read;
    while ((read = views.Next()) == SeverityOk) {
      rows.push_back(std::string(Field("ITM:A").ClippedText()) + "/" + std::string(Field("ITM:B").ClippedText()));
    }
    EXPECT_EQ(read, SeverityNotify);
    return rows;
  }

  testing_support::TempDir dir;
  ErrorManager errors;
  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  RelationManager relations;
  std::unique_ptr<runtime::View> view;
  std::vector<std::unique_ptr<ViewManager>> managers;
  std::list<OwnedValue> variables;
};

TEST_F(ViewManagerTest, RangesAndFiltersMakeTextsThatSelectTheirRecords) {
  struct Case {
    const char* what;
    std::function<void(ViewManager&)> set;
    std::string text;
    Rows rows;
  };
  const std::vector<Case> cases = {
      {"nothing", [](ViewManager&) {}, "", kAll},
      {"fixed group", [&](ViewManager& v) { EXPECT_TRUE(v.AddRange(RangeFixed, {Text("x")})); }, "ITM:A = 'x'",
       kGroupX},
      {"fixed group and name",
       [&](ViewManager& v) {
         EXPECT_TRUE(v.AddRange(RangeFixed, {Text("y"), Text("kiwi")}));
       },
       "ITM:A = 'y' AND ITM:B = 'kiwi'",
       {"y/kiwi"}},
      {"current value",
       [&](ViewManager& v) {
         EXPECT_TRUE(v.AddRange(RangeCurrent, {Text("x"), Text("mango")}));
       },
       "ITM:A = 'x' AND ITM:B = 'mango'", Rows{"x/mango"}},
      {"related", [&](ViewManager& v) { EXPECT_TRUE(v.AddRange(RangeRelated, {Text("y")})); }, "ITM:A = 'y'",
       Rows{"y/apple", "y/kiwi"}},
      {"between after a fixed group",
       [&](ViewManager& v) { EXPECT_TRUE(v.AddRange({Text("x")}, Text("b"), Text("m"))); },
       "ITM:A = 'x' AND ITM:B >= 'b' AND ITM:B <= 'm'",
       {"x/banana", "x/cherry"}},
      {"between on the first component",
       [&](ViewManager& v) { EXPECT_TRUE(v.AddRange({}, Text("x"), Text("y"))); },
       "ITM:A >= 'x' AND ITM:A <= 'y'",
       {"x/apple", "x/banana", "x/cherry", "x/mango", "x/o'hara", "x/zebra", "y/apple", "y/kiwi"}},
      {"between with a standard filter",
       [&](ViewManager& v) {
         EXPECT_TRUE(v.AddRange({Text("x")}, Text("b"), Text("m")));
         v.SetStandardFilter("ITM:N <> 3   ");
       },
       "ITM:A = 'x' AND ITM:B >= 'b' AND ITM:B <= 'm' AND (ITM:N <> 3)",
       {"x/banana"}},
      {"numbers are written plain",
       [&](ViewManager& v) {
         v.SetSort(3);
         EXPECT_TRUE(v.AddRange({Text("x")}, Int(2), Int(4)));
       },
       "ITM:A = 'x' AND ITM:N >= 2 AND ITM:N <= 4",
       {"x/banana", "x/cherry", "x/o'hara"}},
      {"a quote inside a value is doubled",
       [&](ViewManager& v) {
         EXPECT_TRUE(v.AddRange(RangeFixed, {Text("x"), Text("o'hara")}));
       },
       "ITM:A = 'x' AND ITM:B = 'o''hara'",
       {"x/o'hara"}},
      {"caseless components compare caselessly on both sides",
       [&](ViewManager& v) {
         v.SetSort(2);
         EXPECT_TRUE(v.AddRange(RangeFixed, {Text("X"), Text("KIWI")}));
       },
       "UPPER(ITM:A) = UPPER('X') AND UPPER(ITM:B) = UPPER('KIWI')",
       {"X/kiwi"}},
      {"a filter alone",
       [&](ViewManager& v) { v.SetStandardFilter("INSTRING('an',ITM:B,1,1) > 0"); },
       "(INSTRING('an',ITM:B,1,1) > 0)",
       {"x/banana", "x/mango"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewManager& views = NewViews();
    c.set(views);
    EXPECT_EQ(views.FilterText(), c.text);
    EXPECT_EQ(Read(views), c.rows);
    EXPECT_EQ(view->IsFiltered(), !c.text.empty());
    views.Close();
  }
  EXPECT_EQ(Captions(), std::vector<std::string>{});
}

TEST_F(ViewManagerTest, NamedFiltersJoinInDescendingIdOrder) {
  ViewManager& views = NewViews();
  ASSERT_TRUE(views.AddRange(RangeFixed, {Text("x")}));
  views.SetStandardFilter("ITM:N > 1");
  views.SetFilter("SUB(ITM:B,1,1) <> 'z'", "9 - QBE");
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND (SUB(ITM:B,1,1) <> 'z') AND (ITM:N > 1)");
  EXPECT_EQ(Read(views), (Rows{"x/banana", "x/cherry", "x/mango", "x/o'hara"}));

  // The same id again replaces its text; another id sorts between.
  views.SetFilter("ITM:N < 5", "9 - QBE");
  views.SetFilter("ITM:N <> 2", "7 Mine");
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND (ITM:N < 5) AND (ITM:N <> 2) AND (ITM:N > 1)");

  // An empty text removes the filter of that id.
  views.SetFilter("", "9 - QBE");
  views.SetStandardFilter("   ");
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND (ITM:N <> 2)");
  views.ApplyFilter();
  EXPECT_EQ(Read(views), (Rows{"x/apple", "x/cherry", "x/mango", "x/o'hara", "x/zebra"}));

  // Ranges and filters belong to their order.
  EXPECT_TRUE(views.SetSort(2));
  EXPECT_EQ(views.FilterText(), "");
}

TEST_F(ViewManagerTest, RefreshRangeFollowsItsSourcesByKind) {
  ViewManager& views = NewViews();

  // Fixed values never refresh.
  runtime::FieldRef fixed = Text("x");
  ASSERT_TRUE(views.AddRange(RangeFixed, {fixed}));
  Field("ITM:A").SetText("y");
  fixed.SetText("y");
  EXPECT_FALSE(views.RefreshRange());

  // Current value: the last component's value in the buffer.
  runtime::FieldRef group = Text("x");
  runtime::FieldRef name = Text("apple");
  ASSERT_TRUE(views.AddRange(RangeCurrent, {group, name}));
  Field("ITM:A").SetText("x");
  Field("ITM:B").SetText("apple");
  EXPECT_FALSE(views.RefreshRange());
  Field("ITM:A").SetText("y");  // not the last component
  EXPECT_FALSE(views.RefreshRange());
  ASSERT_TRUE(views.AddRange(RangeCurrent, {group}));
  Field("ITM:A").SetText("y");
  views.Open();
  EXPECT_TRUE(views.RefreshRange());
  EXPECT_EQ(group.ClippedText(), "y");
  EXPECT_EQ(Read(views), (Rows{"y/apple", "y/kiwi"}));  // rebuilt and given to the view
  EXPECT_FALSE(views.RefreshRange());

  // Between: a new low takes both sources, a new high only itself.
  runtime::FieldRef low = Text("b");
  runtime::FieldRef high = Text("m");
  ASSERT_TRUE(views.AddRange({Text("x")}, low, high));
  EXPECT_FALSE(views.RefreshRange());
  high.SetText("d");
  EXPECT_TRUE(views.RefreshRange());
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND ITM:B >= 'b' AND ITM:B <= 'd'");
  EXPECT_EQ(Read(views), (Rows{"x/banana", "x/cherry"}));
  low.SetText("c");
  high.SetText("n");
  EXPECT_TRUE(views.RefreshRange());
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND ITM:B >= 'c' AND ITM:B <= 'n'");
  high.SetText("z");
  low.SetText("c");
  EXPECT_TRUE(views.RefreshRange());
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x' AND ITM:B >= 'c' AND ITM:B <= 'z'");
  EXPECT_FALSE(views.RefreshRange());

  // Related: any change of the related values since the last refresh.
  runtime::FieldRef parent = Text("x");
  ASSERT_TRUE(views.AddRange(RangeRelated, {parent}));
  EXPECT_FALSE(views.RefreshRange());
  parent.SetText("y");
  EXPECT_TRUE(views.RefreshRange());
  EXPECT_EQ(Read(views), (Rows{"y/apple", "y/kiwi"}));
  EXPECT_FALSE(views.RefreshRange());
  EXPECT_EQ(Captions(), std::vector<std::string>{});
}

TEST_F(ViewManagerTest, ValidateRecordSkipsAndStopsReadingBothWays) {
  JudgingViewManager& views = NewViews<JudgingViewManager>();
  ASSERT_TRUE(views.AddRange(RangeFixed, {Text("x")}));
  views.Reset();
  EXPECT_EQ(views.Next(), SeverityOk);
  EXPECT_EQ(Field("ITM:B").ClippedText(), "apple");
  EXPECT_EQ(views.Next(), SeverityNotify);  // banana skipped, stopped at cherry; mango and more follow
  EXPECT_EQ(Field("ITM:B").ClippedText(), "cherry");

  views.Reset();
  Rows backwards;
  while (views.Previous() == SeverityOk) backwards.push_back(std::string(Field("ITM:B").ClippedText()));
  EXPECT_EQ(backwards, (Rows{"zebra", "o'hara", "mango"}));
}

TEST_F(ViewManagerTest, SetSortReportsWhetherTheOrderChanged) {
  ViewManager& views = NewViews();
  EXPECT_FALSE(views.SetSort(1));
  EXPECT_FALSE(views.SetSort(0));  // 0 means the first
  EXPECT_TRUE(views.SetSort(2));
  EXPECT_FALSE(views.SetSort(2));
  EXPECT_FALSE(views.SetSort(9));
  // The caseless key reads the upper-case group among the lower-case one.
  EXPECT_EQ(Read(views),
            (Rows{"x/apple", "x/banana", "x/cherry", "X/kiwi", "x/mango", "x/o'hara", "x/zebra", "y/apple", "y/kiwi"}));
  EXPECT_TRUE(views.SetSort(0));
  views.Close();
  EXPECT_EQ(Read(views), kAll);
}

TEST_F(ViewManagerTest, FreeElementIsTheFirstComponentTheRangeLeavesFree) {
  struct Case {
    const char* what;
    std::function<void(ViewManager&)> set;
    std::size_t position;
    std::string name;
  };
  const std::vector<Case> cases = {
      {"no range", [](ViewManager&) {}, 1, "ITM:A"},
      {"first fixed", [&](ViewManager& v) { v.AddRange(RangeFixed, {Text("x")}); }, 2, "ITM:B"},
      {"all fixed",
       [&](ViewManager& v) {
         v.AddRange(RangeFixed, {Text("x"), Text("b")});
       },
       0, ""},
      {"first between", [&](ViewManager& v) { v.AddRange({}, Text("a"), Text("b")); }, 1, "ITM:A"},
      {"second between", [&](ViewManager& v) { v.AddRange({Text("x")}, Text("a"), Text("b")); }, 2, "ITM:B"},
      {"caseless",
       [&](ViewManager& v) {
         v.SetSort(2);
         v.AddRange(RangeFixed, {Text("x")});
       },
       2, "UPPER(ITM:B)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ViewManager& views = NewViews();
    c.set(views);
    EXPECT_EQ(views.FreeElementPosition(), c.position);
    EXPECT_EQ(views.FreeElementName(), c.name);
  }

  // A range the key cannot hold is refused and leaves the order as it was.
  ViewManager& views = NewViews();
  ASSERT_TRUE(views.AddRange(RangeFixed, {Text("x")}));
  EXPECT_FALSE(views.AddRange(RangeFixed, {Text("x"), Text("b"), Text("c")}));
  EXPECT_FALSE(views.AddRange({Text("x"), Text("b")}, Text("c"), Text("d")));
  EXPECT_EQ(views.FilterText(), "ITM:A = 'x'");
  EXPECT_EQ(views.FreeElementPosition(), 2u);

  // Record order has no key and so no free element.
  const std::size_t recordOrder = views.AddSortOrder(0);
  EXPECT_EQ(recordOrder, 4u);
  EXPECT_EQ(views.FreeElementPosition(), 0u);
  EXPECT_FALSE(views.AddRange(RangeFixed, {Text("x")}));
}

TEST_F(ViewManagerTest, RefusedFiltersAreShownAndTheViewReadsUnfiltered) {
  std::string huge = "ITM:N > 0";
  while (huge.size() <= 5000) huge += " AND ITM:N > 0";  // valid, but longer than a filter may be
  const std::vector<std::string> refused = {
      "(ITM:N > 1",       "ITM:A = 'x",           "NOSUCH(ITM:A) = 'x'", "ITM:NOPE = 1",
      "SUB(ITM:A) = 'x'", "UPPER(ITM:A,1) = 'X'", "ITM:A = 'x')",        huge,
  };
  for (const std::string& text : refused) {
    SCOPED_TRACE(text.substr(0, 40));
    boxes.Reset();
    boxes.Script(ButtonOk);
    ViewManager& views = NewViews();
    views.SetStandardFilter(text);
    EXPECT_EQ(Read(views), kAll);
    EXPECT_FALSE(view->IsFiltered());
    EXPECT_EQ(Captions(), std::vector<std::string>{"View Open Error"});
    EXPECT_EQ(haltCode, -1);
    // A sound filter is taken again afterwards.
    views.SetStandardFilter("ITM:A = 'y'");
    views.ApplyFilter();
    EXPECT_EQ(Read(views), (Rows{"y/apple", "y/kiwi"}));
    views.Close();
  }
}

TEST_F(ViewManagerTest, RefusedOrderIsShownAndTheViewReadsInItsLastOrder) {
  ViewManager& views = NewViews();
  EXPECT_EQ(Read(views), kAll);
  views.Close();
  views.SetOrder("ITM:NOPE,ITM:B  ");
  boxes.Script(ButtonOk);
  EXPECT_EQ(Read(views), kAll);
  EXPECT_EQ(Captions(), std::vector<std::string>{"View Open Error"});
  EXPECT_EQ(haltCode, -1);
}

TEST_F(ViewManagerTest, ReadErrorsOtherThanTheEndAreFatal) {
  ViewManager& views = NewViews();
  boxes.Script(ButtonOk);
  EXPECT_EQ(views.Next(), SeverityFatal);  // never opened
  EXPECT_EQ(Captions(), std::vector<std::string>{"Record Retrieval Error"});
  views.Open();
  ASSERT_TRUE(views.AddRange(RangeFixed, {Text("y"), Text("kiwi")}));
  views.ApplyFilter();
  EXPECT_EQ(views.Next(), SeverityOk);
  EXPECT_EQ(views.Next(), SeverityNotify);
  EXPECT_EQ(Captions().size(), 1u);
}

TEST_F(ViewManagerTest, PrimeRecordFillsTheRangeAndNumbersTheRecord) {
  ViewManager& views = NewViews();
  ASSERT_TRUE(views.AddRange(RangeFixed, {Text("y")}));
  Field("ITM:B").SetText("left over");
  ASSERT_EQ(views.PrimeRecord(false), SeverityOk);
  EXPECT_EQ(Field("ITM:A").ClippedText(), "y");
  EXPECT_EQ(Field("ITM:B").ClippedText(), "");
  EXPECT_EQ(Field("ITM:N").Get().AsInteger(), 3);  // after y's 1 and 2
  EXPECT_EQ(file->Records(), 10);                  // added in advance for its number
  ASSERT_EQ(files.Insert(), SeverityOk);

  // Between: only the fixed components are set; a kept buffer stays.
  ASSERT_TRUE(views.AddRange({Text("x")}, Text("b"), Text("m")));
  file->ClearBuffer();
  Field("ITM:B").SetText("pear");
  Field("ITM:NOTE").SetText("kept");
  ASSERT_EQ(views.PrimeRecord(true), SeverityOk);
  EXPECT_EQ(Field("ITM:A").ClippedText(), "x");
  EXPECT_EQ(Field("ITM:B").ClippedText(), "pear");
  EXPECT_EQ(Field("ITM:NOTE").ClippedText(), "kept");
  EXPECT_EQ(Field("ITM:N").Get().AsInteger(), 7);
  EXPECT_EQ(file->Records(), 11);
}

TEST_F(ViewManagerTest, InitUsesTheViewsFilesThroughTheirManagers) {
  FileManager lazy;
  auto other = runtime::DataFile::Make(runtime::Driver::Keyed, ItemLayout(), dir.File("OTHER"));
  lazy.Init(*other, errors);
  lazy.AddKey(AbKey, "ITM:Abkey", 0);
  RelationManager otherRelations;
  otherRelations.Init(lazy, false);
  runtime::View otherView(*other);

  // Never opened: the file manager's own message ends the program.
  boxes.Script(ButtonOk);
  ViewManager early;
  early.Init(otherView, otherRelations);
  EXPECT_NE(haltCode, -1);
  EXPECT_FALSE(other->IsOpen());
  early.Kill();

  haltCode = -1;
  ASSERT_EQ(lazy.Open(), SeverityOk);
  EXPECT_FALSE(other->IsOpen());
  ViewManager views;
  views.Init(otherView, otherRelations);
  EXPECT_TRUE(other->IsOpen());
  views.AddSortOrder(AbKey);
  views.Reset();
  EXPECT_EQ(views.Next(), SeverityNotify);  // created empty
  EXPECT_EQ(haltCode, -1);
  views.Close();
  views.Kill();
  views.Kill();
  otherRelations.Kill();
}

}  // namespace
