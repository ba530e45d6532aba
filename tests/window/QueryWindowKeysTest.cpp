// The "Example values" window as a user meets it: operator buttons that say
// what they compare with and explain themselves, Enter for OK (the value
// still being typed included) and Escape for Cancel, and the caseless marker
// over letters beyond A to Z.
#include <gtest/gtest.h>

#include <string>

#include "QueryTestSupport.h"
#include "runtime/expressions/Expression.h"
#include "runtime/values/FieldBindings.h"
#include "window/QueryManager.h"
#include "window/QueryWindow.h"

namespace marlinden {
namespace {

using runtime::ui::KeyCode;

using testing::QueryWindowFixture;
using QueryWindowKeysTest = QueryWindowFixture;

TEST_F(QueryWindowKeysTest, EnterPressesOkWithTheValueBeingTypedAndEscapeCancels) {
  const runtime::ui::WindowId first = AskTwice("WEB:URL", "<>ftp://x");
  ASSERT_NE(first, runtime::ui::kNoWindow);
  // Every operator button and entry says what it does.
  for (const std::int32_t op : {3, 6}) {
    EXPECT_EQ(driver.Properties(first, op).tip, kQueryOperatorTip) << op;
    EXPECT_GE(driver.Properties(first, op).rect.width, 16) << op;
  }
  EXPECT_EQ(driver.Properties(first, 5).tip, kQueryEntryTip);
  EXPECT_EQ(driver.Text(first, 3), "<>");
  // Typed but not yet accepted (the cursor is still in the entry), then Enter.
  driver.SetText(first, 5, "^*rose");
  driver.PressKey(first, 5, KeyCode::Enter);
  ASSERT_TRUE(driver.WaitForClose(first));

  const runtime::ui::WindowId second = driver.WaitForWindow(1);
  ASSERT_NE(second, runtime::ui::kNoWindow);
  driver.SetText(second, 2, "changed");
  driver.PressKey(second, 3, KeyCode::Esc);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(firstResult, SeverityNotify) << "Enter";
  EXPECT_EQ(afterFirst, "<>ftp://x|=^*rose");
  EXPECT_EQ(secondResult, SeverityOk) << "Escape";
  EXPECT_EQ(afterSecond, afterFirst);
}

TEST(QueryCaselessTest, TheMarkerIgnoresCaseForEveryLetter) {
  runtime::BindingScope scope;
  char name[40];
  scope.Bind("NAME", name, runtime::FieldType::String, sizeof name);
  auto setName = [&name](std::string_view text) {
    const std::string padded = text.size() < sizeof name
                                   ? std::string(text) + std::string(sizeof name - text.size(), ' ')
                                   : std::string(text.substr(0, sizeof name));
    std::copy(padded.begin(), padded.end(), name);
  };
  const struct {
    const char* example;
    const char* row;
    bool selects;
  } cases[] = {
      {"^*ZÜRICH", "Café Zürich", true}, {"^*ZÜRICH", "Zurich", false},     {"^zürich*", "ZÜRICH See", true},
      {"^*αθήνα", "ΑΘΉΝΑ 2004", true},   {"^москва", "МОСКВА", true},       {"^москва", "МОСКВА-2", false},
      {"^łódź*", "ŁÓDŹ Kaliska", true},  {"^*straße", "Hauptstraße", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.example) + " on " + c.row);
    QueryWindow w;
    QueryManager q;
    q.Init(w);
    q.AddField("NAME", "Name", "@s40");
    q.SetLimit("NAME", "", "", c.example);
    const auto filter = runtime::Expression::Compile(q.GetFilter());
    ASSERT_NE(filter, nullptr) << q.GetFilter();
    setName(c.row);
    EXPECT_EQ(filter->IsTrue(), c.selects) << q.GetFilter();
  }
}

}  // namespace
}  // namespace marlinden
