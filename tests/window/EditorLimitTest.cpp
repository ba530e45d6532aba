// The in-place editor takes no more than its field holds: 255 bytes of the
// address, 250 of the description, at whole UTF-8 characters, so what the
// editor shows is what is stored. The same rule holds for every entry with
// a string picture.
#include <gtest/gtest.h>

#include <string>

#include "BrowseTestSupport.h"

namespace marlinden::testing {
namespace {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;

// Bytes of UTF-8, multi-byte characters included.
std::string Repeat(const std::string& character, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += character;
  return text;
}

class EditorLimitTest : public BrowseFixture {
 protected:
  std::int32_t Editor() {
    std::int32_t editor = 0;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      for (std::int32_t number : w.ControlNumbers()) {
        const runtime::ui::Control* c = w.Find(number);
        if (c->Properties().placement.list == kList && !c->Hidden()) editor = number;
      }
    });
    return editor;
  }
  // What the user typed or pasted into the editor, as a backend reports it.
  void Paste(const std::string& text) {
    const std::int32_t editor = Editor();
    ASSERT_NE(editor, 0) << "no cell is being edited";
    driver.Type(id, editor, text);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Press(KeyCode key) {
    runtime::ui::EventData data;
    data.key = key;
    Post(EventCode::AlertKey, Editor(), std::move(data));
  }
  std::string EditorText() { return driver.Text(id, Editor()); }
  std::string ShownEditorText() {
    const auto shown = backend.ShownControl(id, Editor());
    return shown ? shown->properties.text : "(not shown)";
  }
  std::string Cell(std::int32_t row, std::size_t column) {
    std::string text;
    driver.WithWindow(id, [&](runtime::ui::Window& w) { text = w.Find(kList)->Source()->Row(row)[column].text; });
    return text;
  }
};

TEST_F(EditorLimitTest, TheEditorKeepsWhatItsFieldHoldsAtWholeCharactersAndShowsIt) {
  Open(2, [](BrowseWindow& w) { w.browse.ENTERACTION = w.browse.TABACTION = 1; });
  Key(KeyCode::CtrlEnter);
  EXPECT_EQ(driver.Properties(id, Editor()).picture, "@s255") << "the picture comes from the field";

  const std::string address = "http://long.example/" + std::string(423, 'a');  // 443 characters
  Paste(address);
  EXPECT_EQ(EditorText(), address.substr(0, 255));
  EXPECT_EQ(ShownEditorText(), address.substr(0, 255)) << "the user sees what is kept";

  Press(KeyCode::Tab);
  EXPECT_EQ(driver.Properties(id, Editor()).picture, "@s250");
  // 1 + 200 * 2 bytes: the 125th "é" would end at byte 251, so it goes whole.
  const std::string description = "a" + Repeat("\xC3\xA9", 200);
  Paste(description);
  EXPECT_EQ(EditorText(), description.substr(0, 249));
  EXPECT_EQ(ShownEditorText(), description.substr(0, 249));
  // Three- and four-byte characters: never cut inside one.
  Paste(Repeat("\xE2\x82\xAC", 83) + Repeat("\xF0\x9F\x94\x96", 5));  // 249 + 20 bytes
  EXPECT_EQ(EditorText(), Repeat("\xE2\x82\xAC", 83));
  Paste(description);

  Press(KeyCode::Enter);
  EXPECT_EQ(Editor(), 0) << "the row ended and was saved";
  EXPECT_EQ(Cell(1, 0), address.substr(0, 255));
  EXPECT_EQ(Cell(1, 1), description.substr(0, 249));
}

TEST_F(EditorLimitTest, AnyEntryWithAStringPictureTakesNoMoreThanItHolds) {
  Start([] {
    auto window = runtime::ui::Window::Open(runtime::ui::testing::Form("form"));  // two "@s20" entries
    runtime::ui::RunEventLoop(*window, [](const runtime::ui::Event&) { return runtime::ui::LoopAction::CarryOn; });
  });
  id = driver.WaitForWindow(1);
  driver.Type(id, 1, std::string(30, 'x'));
  driver.Type(id, 2, Repeat("\xC3\xA9", 9) + "abc");  // 21 bytes
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, 1), std::string(20, 'x'));
  EXPECT_EQ(driver.Text(id, 2), Repeat("\xC3\xA9", 9) + "ab");
  EXPECT_EQ(backend.ShownControl(id, 1)->properties.text, std::string(20, 'x'));
  driver.Type(id, 1, "short");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(id, 1), "short");
  driver.Post(id, EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  id = runtime::ui::kNoWindow;
}

}  // namespace
}  // namespace marlinden::testing
