// Query by example: the filter rules (a table), every filter compiled and
// evaluated by the real expression language over nasty values, the 5000-byte
// limit, and the "Example values" window driven headless.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "QueryTestSupport.h"
#include "runtime/expressions/Expression.h"
#include "runtime/values/FieldBindings.h"
#include "support/WindowTestFixture.h"
#include "window/QueryManager.h"
#include "window/QueryWindow.h"

namespace marlinden {
namespace {

struct FilterCase {
  const char* name;
  const char* picture;
  const char* low;
  const char* middle;
  const char* high;
  const char* filter;
};

class QueryManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { query.Init(window); }
  QueryWindow window;
  QueryManager query;
};

TEST_F(QueryManagerTest, FilterRules) {
  const std::vector<FilterCase> cases = {
      {"NAME", "@s20", "", "rose", "", "(NAME = 'rose')"},
      {"NAME", "@s20", "", "*rose", "", "(INSTRING('rose',NAME,1,1) <> 0)"},
      {"NAME", "@s20", "", "=rose*", "", "(SUB(NAME,1,4) = 'rose')"},
      {"NAME", "@s20", "", "rose*", "", "(SUB(NAME,1,4) = 'rose')"},  // an empty operator compares for equality
      {"NAME", "@s20", "", "~rose*", "", "(SUB(NAME,1,4) ~= 'rose')"},
      {"NAME", "@s20", "", ">rose*", "", "(SUB(NAME,1,4) > 'rose')"},
      {"NAME", "@s20", "", "O'Brien", "", "(NAME = 'O''Brien')"},
      {"NAME", "@s20", "", ">rose", "", "(NAME >= 'rose')"},
      {"NAME", "@s20", "", "<rose", "", "(NAME <= 'rose')"},
      {"NAME", "@s20", "", "~rose", "", "(NAME ~= 'rose')"},
      {"NAME", "@s20", "", "<>rose", "", "(NAME <> 'rose')"},
      {"NAME", "@s20", "", ">=rose", "", "(NAME >= 'rose')"},
      {"NAME", "@s20", "", "=>=<rose", "", "(NAME ><= 'rose')"},
      {"NAME", "@s20", "", "=", "", "(NAME = '')"},
      {"NAME", "@s20", "", "^rose", "", "(UPPER(NAME) = 'ROSE')"},
      {"UPPER(NAME)", "@s20", "", "^rose", "", "(UPPER(NAME) = 'ROSE')"},
      {"UPPER(NAME)", "@s20", "", "rose", "", "(UPPER(NAME) = 'ROSE')"},
      {"NAME", "@s20", "", "^*rose", "", "(INSTRING('ROSE',UPPER(NAME),1,1) <> 0)"},
      {"NAME", "@s20", "caf\xC3\xA9", "", "", "(NAME > 'caf\xC3\xA9')"},
      {"NAME", "@s20", "c", "c", "", "(NAME >= 'c')"},
      {"NAME", "@s20", "=c", "", "", "(NAME >= 'c')"},
      {"NAME", "@s20", "=c", "=c", "", "(NAME >= 'c')"},
      {"NAME", "@s20", "b", "", "d", "(NAME > 'b') AND (NAME < 'd')"},
      {"NAME", "@s20", "", "ignored", "=d", "(NAME <= 'd')"},
      {"NUM", "@n9", "", "5", "", "(NUM = 5)"},
      {"NUM", "@n9", "", ">-5.5", "", "(NUM >= -5.5)"},
      {"NUM", "@n9", "", "abc", "", "(NUM = 'abc')"},
      {"NUM", "@n9", "", "1 OR 1", "", "(NUM = '1 OR 1')"},
      {"NUM", "@n9", "2", "", "9", "(NUM > 2) AND (NUM < 9)"},
      {"NUM", "", "", "5", "", "(NUM = '5')"},  // no picture is a text picture
      {"NAME", "@s20", "", "", "", ""},
  };
  for (const FilterCase& c : cases) {
    QueryManager q;
    QueryWindow w;
    q.Init(w);
    q.AddField(c.name, "Title", c.picture);
    q.SetLimit(c.name, c.low, c.high, c.middle);
    EXPECT_EQ(q.GetFilter(), c.filter) << c.name << " low=" << c.low << " middle=" << c.middle << " high=" << c.high;
  }
}

TEST_F(QueryManagerTest, ColumnsAreJoinedAndTheCaselessNameIsKept) {
  query.AddField("NAME", "Name", "@s20");
  query.AddField("DESCR", "Description", "s20");
  query.SetLimit("NAME", "", "", "^rose");
  query.SetLimit("DESCR", "", "", "*red");
  EXPECT_EQ(query.GetFilter(), "(UPPER(NAME) = 'ROSE') AND (INSTRING('red',DESCR,1,1) <> 0)");
  EXPECT_EQ(query.FIELDS->Get(1)->NAME, "UPPER(NAME)");
  EXPECT_EQ(query.FIELDS->Get(2)->PICTURE, "S20");
  // Later filters use the stored name, and a second marker is taken off as
  // the first was, so asking again finds what the first query found.
  query.SetLimit("UPPER(NAME)", "", "", "^tulip");
  query.ClearLimits("DESCR");
  EXPECT_EQ(query.GetFilter(), "(UPPER(NAME) = 'TULIP')");
  query.SetLimit("UPPER(NAME)", "", "", "tulip");
  EXPECT_EQ(query.GetFilter(), "(UPPER(NAME) = 'TULIP')") << "caseless from then on";
  query.ClearLimits();
  EXPECT_EQ(query.GetFilter(), "");
}

TEST_F(QueryManagerTest, SetLimitKeepsWhatItIsTold) {
  query.AddField("NAME", "Name", "");
  query.SetLimit("NAME", "a", "z", "m");
  query.SetLimit("NAME", "b", "y", "n", KeepLow | KeepMiddle);
  const QueryField& field = *query.FIELDS->Get(1);
  EXPECT_EQ(field.PICTURE, "S255");
  EXPECT_EQ(field.LOW, "a");
  EXPECT_EQ(field.HIGH, "y");
  EXPECT_EQ(field.MIDDLE, "m");
  query.SetLimit("OTHER", "x", "x", "x");  // not a field of the query: nothing happens
  EXPECT_EQ(query.FIELDS->Records(), 1u);
}

TEST_F(QueryManagerTest, ValuesAreCutAtWholeCharacters) {
  query.AddField("NAME", "Name", "@s20");
  std::string value(498, 'a');
  value += "\xC3\xA9";  // a two-byte character across the 499-byte limit
  query.SetLimit("NAME", "", "", value);
  EXPECT_EQ(query.FIELDS->Get(1)->MIDDLE, std::string(498, 'a'));
}

TEST(QueryCombineTest, OperatorsMergeWithTheValuesOwnPrefix) {
  const std::vector<std::array<const char*, 3>> cases = {
      {">", "=5", ">=5"},   {"=", "<5", "<=5"},      {"=", "5", "=5"}, {"<>", "x", "<>x"}, {"=", "~x", "~=x"},
      {">=", ">=x", ">=x"}, {"=", "=<>~y", "<>~=y"}, {"", "", ""},     {"<=", "", "<="},   {"=", "a=b", "=a=b"},
  };
  for (const auto& [op, value, combined] : cases) EXPECT_EQ(QueryManager::Combine(op, value), combined) << op << value;
}

TEST(QueryWindowTest, OperatorButtonCycles) {
  const std::vector<std::array<const char*, 2>> cases = {{"", "="},  {"=", ">="}, {">=", "<="}, {"<=", "<>"},
                                                         {"<>", ""}, {"~", "~"},  {"  ", "="}};
  for (const auto& [from, to] : cases) EXPECT_EQ(QueryWindow::NextOperator(from), to) << from;
}

// Every filter the query gives must compile and select what it says. Values
// full of quotes, wildcards, operators and the language's own words go into
// every column; each filter is compiled against bound fields and evaluated.
TEST(QueryFilterLanguageTest, EveryFilterCompilesAndSelects) {
  runtime::BindingScope scope;
  char url[255];
  char description[250];
  std::int32_t number = 0;
  scope.Bind("WEB:URL", url, runtime::FieldType::String, sizeof url);
  scope.Bind("WEB:DESCRIPTION", description, runtime::FieldType::String, sizeof description);
  scope.Bind("WEB:NUM", &number, runtime::FieldType::Int32);
  auto setRow = [&](std::string_view u, std::string_view d, std::int32_t n) {
    runtime::StoreFixed(url, u);
    runtime::StoreFixed(description, d);
    number = n;
  };

  const std::vector<std::string> values = {
      "O'Brien", "'",   "''",   "*",    "**",         "*'*", "a*",  "*a", "=",  "<>",    "~",      "~*",
      ">=<~",    "^",   "^'*",  "^*x*", "x) OR (1=1", "AND", "NOT", "5",  "-5", "1.5.5", "UPPER(", "caf\xC3\xA9*",
      "|{}",     "==5", "<<>>", "%",    "\\",
  };
  for (const std::string& a : values) {
    for (const std::string& b : values) {
      QueryWindow w;
      QueryManager q;
      q.Init(w);
      q.AddField("WEB:URL", "URL", "@s255");
      q.AddField("UPPER(WEB:DESCRIPTION)", "Description", "@s250");
      q.AddField("WEB:NUM", "Number", "@n9");
      q.SetLimit("WEB:URL", "", "", a);
      q.SetLimit("UPPER(WEB:DESCRIPTION)", b, a, b);
      q.SetLimit("WEB:NUM", "", "", b);
      const std::string filter = q.GetFilter();
      std::string error;
      EXPECT_NE(runtime::Expression::Compile(filter, &error), nullptr) << filter << ": " << error;
    }
  }

  // And they select the rows they describe.
  struct Selection {
    const char* url;
    bool selects;
  };
  QueryWindow w;
  QueryManager q;
  q.Init(w);
  q.AddField("WEB:URL", "URL", "@s255");
  const std::vector<std::pair<std::string, std::vector<Selection>>> selections = {
      {"*o'b", {{"http://o'brien.ie", true}, {"http://obrien.ie", false}}},
      {"http://a*", {{"http://a.com", true}, {"http://b.com", false}}},
      {">http://m", {{"http://m", true}, {"http://z", true}, {"http://a", false}}},
      {"~http://m", {{"http://m", false}, {"http://z", true}}},
      {"http://caf\xC3\xA9*", {{"http://caf\xC3\xA9.fr", true}, {"http://cafe.fr", false}}},
      // Last: the caseless marker turns the entry's expression into UPPER(WEB:URL).
      {"^HTTP://A*", {{"http://a.com", true}, {"Http://A.org", true}, {"ftp://a", false}}},
  };
  for (const auto& [example, rows] : selections) {
    q.SetLimit("WEB:URL", "", "", example);
    const std::string filter = q.GetFilter();
    auto compiled = runtime::Expression::Compile(filter);
    ASSERT_NE(compiled, nullptr) << filter;
    for (const Selection& row : rows) {
      setRow(row.url, "", 0);
      EXPECT_EQ(compiled->IsTrue(), row.selects) << filter << " on " << row.url;
    }
  }
}

TEST(QueryFilterLimitTest, ConditionsThatDoNotFitAreLeftOutWhole) {
  runtime::BindingScope scope;
  char url[255];
  scope.Bind("U", url, runtime::FieldType::String, sizeof url);
  QueryWindow w;
  QueryManager q;
  q.Init(w);
  for (int i = 0; i < 12; ++i) {
    q.AddField("U", "U", "@s255");
  }
  // Quotes double inside the literal: each condition is over 900 bytes.
  for (QueryField& field : *q.FIELDS) field.MIDDLE = std::string(450, '\'');
  const std::string filter = q.GetFilter();
  EXPECT_LE(filter.size(), 5000u);
  EXPECT_GT(filter.size(), 4000u);
  EXPECT_NE(runtime::Expression::Compile(filter), nullptr);
}

// --- The window -----------------------------------------------------------------------------

using QueryWindowRunTest = testing::QueryWindowFixture;

TEST_F(QueryWindowRunTest, OkStoresOperatorsAndValuesCancelKeepsThem) {
  const runtime::ui::WindowId first = AskTwice("WEB:DESCRIPTION", ">=red");
  ASSERT_NE(first, runtime::ui::kNoWindow);
  // Layout: a = "Description:" (12 characters, 48 units), b = 40 characters
  // (160), operator buttons 16 wide so that ">=" shows whole.
  const std::vector<std::pair<std::int32_t, runtime::ui::Rect>> layout = {
      {1, {10, 10, 48, 10}},  {2, {68, 10, 160, 10}}, {3, {232, 10, 16, 10}},   {4, {10, 24, 48, 10}},
      {5, {68, 24, 160, 10}}, {6, {232, 24, 16, 10}}, {1000, {32, 46, 40, 14}}, {1001, {185, 46, 40, 14}},
  };
  for (const auto& [control, rect] : layout) EXPECT_EQ(driver.Properties(first, control).rect, rect) << control;
  const auto shown = backend.Shown(first);
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->title, "Example values");
  EXPECT_EQ(shown->rect.width, 258);
  EXPECT_EQ(shown->rect.height, 66);
  EXPECT_EQ(shown->focus, 2);
  EXPECT_EQ(driver.Text(first, 1), "URL:");
  EXPECT_EQ(driver.Text(first, 5), "red");
  EXPECT_EQ(driver.Text(first, 6), ">=");
  EXPECT_EQ(driver.Text(first, 3), "");

  driver.Type(first, 2, "=http://a*");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(first, 3), "=");
  driver.Click(first, 3);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(first, 3), ">=");
  driver.Type(first, 5, "");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(first, 6), "");
  driver.Click(first, kQueryOk);
  ASSERT_TRUE(driver.WaitForClose(first));

  const runtime::ui::WindowId second = driver.WaitForWindow(1);
  ASSERT_NE(second, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.Text(second, 2), "http://a*");
  EXPECT_EQ(driver.Text(second, 3), ">=");
  driver.Type(second, 2, "changed");
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.Click(second, kQueryCancel);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(firstResult, SeverityNotify) << "OK";
  EXPECT_EQ(afterFirst, ">=http://a*|");
  EXPECT_EQ(secondResult, SeverityOk) << "Cancel";
  EXPECT_EQ(afterSecond, afterFirst);
}

}  // namespace
}  // namespace marlinden
