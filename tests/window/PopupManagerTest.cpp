// Popup menus: names, marks, the menu text checked against the runtime's own
// parser (numbering, nesting, icons, texts holding the menu's own
// characters), Ask with mirrored buttons over the headless backend, and the
// toolbox on its own thread posting back to the list's thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/system/Clock.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/PopupMenuText.h"
#include "runtime/ui/RuntimeThread.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"
#include "window/PopupManager.h"

namespace marlinden {
namespace {

using runtime::ui::ControlKind;
using runtime::ui::EventCode;
using runtime::ui::MenuItemKind;

// The full-width forms the menu shows for '|', '{' and '}'.
std::string Shown(std::string text) {
  std::string out;
  for (const char c : text) {
    out += c == '|' ? "\xEF\xBD\x9C" : c == '{' ? "\xEF\xBD\x9B" : c == '}' ? "\xEF\xBD\x9D" : std::string(1, c);
  }
  return out;
}

TEST(PopupManagerTest, NamesAreMadeFromTextAndKeptUnique) {
  PopupManager popup;
  popup.Init();
  const std::vector<std::pair<std::string, std::string>> cases = {{"&Insert", "Insert"},
                                                                  {"Go to web page!", "Gotowebpage"},
                                                                  {"X", "X"},
                                                                  {"X", "X1"},
                                                                  {"X", "X2"},
                                                                  {"-", "Separator"},
                                                                  {"-", "Separator1"},
                                                                  {"snake_case 9", "snake_case9"},
                                                                  {"|{}", "Item"},
                                                                  {"caf\xC3\xA9 bar", "cafbar"}};
  for (const auto& [text, name] : cases) EXPECT_EQ(popup.AddItem(text), name) << text;
  EXPECT_EQ(popup.FindItem("&Insert"), 1u);
  EXPECT_EQ(popup.FindItem("X1"), 4u);
  EXPECT_EQ(popup.FindItem("nothing"), 0u);
}

TEST(PopupManagerTest, LeadingMarksAreTakenOffTheText) {
  PopupManager popup;
  popup.Init();
  popup.AddItem("~+Bold");
  popup.AddItem("-Italic");
  popup.AddItem("-");
  const PopupItem& bold = *popup.POPUPITEMS->Get(1);
  EXPECT_EQ(bold.TEXT, "Bold");
  EXPECT_EQ(bold.DISABLED, 1);
  EXPECT_EQ(bold.CHECK, 1);
  EXPECT_EQ(popup.POPUPITEMS->Get(2)->CHECK, 2);
  EXPECT_EQ(popup.POPUPITEMS->Get(2)->TEXT, "Italic");
  EXPECT_EQ(popup.POPUPITEMS->Get(3)->TEXT, "-");  // a separator keeps its hyphen
  EXPECT_EQ(popup.BuildMenu(), "~+Bold|-Italic|-");
}

TEST(PopupManagerTest, ItemsGoAfterTheNamedItemAtItsDepth) {
  PopupManager popup;
  popup.Init();
  popup.AddItem("A");
  popup.AddItem("C");
  popup.AddItem("Sub", "SubName", "A", 2);
  popup.AddItem("Sub2", "Sub2", "SubName", 0);  // follows Sub at its depth
  popup.AddItem("D", "D", "missing", 0);        // at the end, at the last item's depth
  std::vector<std::string> order;
  for (const PopupItem& item : *popup.POPUPITEMS) order.push_back(item.NAME + ":" + std::to_string(item.DEPTH));
  EXPECT_EQ(order, (std::vector<std::string>{"A:1", "SubName:2", "Sub2:2", "C:1", "D:1"}));
  EXPECT_EQ(popup.BuildMenu(), "A{Sub|Sub2}C|D");
  EXPECT_EQ(popup.GetItemName(1), "SubName");  // A heads the submenu
  EXPECT_EQ(popup.GetItemName(4), "D");
  EXPECT_EQ(popup.GetItemName(5), "");
  EXPECT_EQ(popup.GetItemName(0), "");
}

// Every menu below goes through the runtime's parser: the parsed choosable
// items must be exactly the items GetItemName numbers, with their texts as
// written, whatever characters the texts hold.
TEST(PopupManagerTest, MenuTextsParseBackToTheItemsAndTheirNumbers) {
  struct Item {
    std::string text;
    std::uint16_t depth;
  };
  const std::vector<std::vector<Item>> menus = {
      {{"Plain", 1}, {"a|b", 1}, {"{x}", 1}, {"}", 1}, {"{", 1}, {"Last", 1}},
      {{"Top", 1}, {"One", 2}, {"Two", 3}, {"Three", 4}, {"Back", 1}, {"After", 1}},
      {{"Head", 1}, {"Deep", 3}, {"Up", 1}},  // a jump of two levels opens one
      {{"-", 1}, {"UnderSeparator", 2}, {"Next", 1}},
      {{"x", 1}, {"x", 1}},
      {{"~tilde", 1}},
      {{"Fav ~+- [1] | {2}", 1}, {"http://a.b/?q=a|b&c={d}", 2}, {"- dash", 2}, {"+plus", 1}},
      {{"A", 17}, {"B", 18}, {"C", 1}},
      {{"Head", 1}, {"-", 2}, {"Tail", 1}},
  };
  for (std::size_t m = 0; m < menus.size(); ++m) {
    PopupManager popup;
    popup.Init();
    for (const Item& item : menus[m]) {
      // The general form takes marks off; texts meant literally go in by
      // name and text, then have their text set as the caller wants it.
      const std::string name = popup.AddItem("Item", "Item", {}, item.depth);
      popup.POPUPITEMS->Get(popup.FindItem(name))->TEXT = item.text;
    }
    const std::string menu = popup.BuildMenu();
    const auto parsed = runtime::ui::ParsePopupMenu(menu);
    std::int32_t expected = 0;
    for (std::int32_t n = 1; !popup.GetItemName(n).empty(); ++n) expected = n;
    EXPECT_EQ(runtime::ui::ChoosableItems(parsed), expected) << "menu " << m << ": " << menu;
    for (const auto& shown : parsed) {
      if (shown.number == 0) continue;
      const PopupItem& item = *popup.POPUPITEMS->Get(popup.FindItem(popup.GetItemName(shown.number)));
      EXPECT_EQ(shown.text, Shown(item.TEXT)) << "menu " << m << " item " << shown.number << ": " << menu;
      EXPECT_TRUE(shown.enabled);
      EXPECT_EQ(shown.check, runtime::ui::MenuCheck::None);
    }
  }
}

TEST(PopupManagerTest, NestedSubmenusCloseOneBracePerLevel) {
  PopupManager popup;
  popup.Init();
  popup.AddItem("A", "A", {}, 1);
  popup.AddItem("B", "B", {}, 2);
  popup.AddItem("C", "C", {}, 3);
  popup.AddItem("D", "D", {}, 1);
  EXPECT_EQ(popup.BuildMenu(), "A{B{C}}D");
  const auto parsed = runtime::ui::ParsePopupMenu(popup.BuildMenu());
  ASSERT_EQ(parsed.size(), 4u);
  EXPECT_EQ(parsed[3].depth, 1u);
  EXPECT_EQ(parsed[3].number, 2);
}

TEST(PopupManagerTest, OneIconGivesEveryItemButSeparatorsAnAttributeGroup) {
  PopupManager popup;
  popup.Init();
  popup.AddItem("Open");
  popup.AddItem("-");
  popup.AddItem("Save");
  popup.POPUPITEMS->Get(3)->ICON = "save.ico";
  EXPECT_EQ(popup.BuildMenu(), "[]Open|-|[icon(~save.ico)]Save");
  const auto parsed = runtime::ui::ParsePopupMenu(popup.BuildMenu());
  ASSERT_EQ(parsed.size(), 3u);
  EXPECT_EQ(parsed[1].kind, MenuItemKind::Separator);
  EXPECT_EQ(parsed[2].icon, "save.ico");
  EXPECT_EQ(parsed[2].text, "Save");
}

TEST(PopupManagerTest, MenuStopsAtWholeItemsWithinItsLimit) {
  PopupManager popup;
  popup.Init();
  for (int i = 0; i < 20; ++i) popup.AddItem(std::string(1000, 'a'));
  const std::string menu = popup.BuildMenu();
  EXPECT_LE(menu.size(), 10000u);
  EXPECT_EQ(runtime::ui::ChoosableItems(runtime::ui::ParsePopupMenu(menu)), 9);
}

// --- On a runtime thread, over the headless backend ---------------------------------------

constexpr std::int32_t kInsert = 1;
constexpr std::int32_t kDelete = 2;
constexpr std::int32_t kList = 3;

runtime::ui::WindowDescription ListWindow() {
  runtime::ui::WindowDescription d;
  d.name = "list";
  d.title = "list";
  d.rect = {10, 10, 200, 100};
  for (const char* text : {"&Insert", "&Delete"}) {
    runtime::ui::ControlDescription button;
    button.kind = ControlKind::Button;
    button.text = text;
    d.controls.push_back(button);
  }
  runtime::ui::ControlDescription list;
  list.kind = ControlKind::List;
  d.controls.push_back(list);
  return d;
}

// The first event the window takes, or an empty event when it closes first.
runtime::ui::Event NextEvent(runtime::ui::Window& window) {
  runtime::ui::Event taken;
  runtime::ui::RunEventLoop(window, [&](const runtime::ui::Event& event) {
    taken = event;
    return runtime::ui::LoopAction::Break;
  });
  return taken;
}

class PopupManagerWindowTest : public runtime::ui::testing::WindowFixture<> {};

TEST_F(PopupManagerWindowTest, AskShowsMirroredButtonsAndPostsTheChoice) {
  backend.ScriptPopupChoice(2);
  backend.ScriptPopupChoice(0);
  std::string chosen, dismissed;
  runtime::ui::Event posted, afterDismiss;
  runtime::ui::KeyCode keyAfterChoice = runtime::ui::KeyCode::None;
  Start([&] {
    auto window = runtime::ui::Window::Open(ListWindow());
    (void)NextEvent(*window);  // OpenWindow
    window->Disable(kDelete);
    PopupManager popup;
    popup.Init();
    popup.AddItemMimic("!&Insert", "&Insert", kInsert);
    popup.AddItemMimic("!&Delete", "&Delete", kDelete);
    popup.AddItemEvent("Top", EventCode::ScrollTop, kList);
    runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::MouseRightUp);
    chosen = popup.Ask({5, 6});
    keyAfterChoice = runtime::ui::LastKeyCode();
    posted = NextEvent(*window);
    dismissed = popup.Ask();
    window->Post(EventCode::Timer);
    afterDismiss = NextEvent(*window);
    popup.Kill();
  });
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_EQ(chosen, "Delete");
  EXPECT_EQ(posted.code, EventCode::Accepted);
  EXPECT_EQ(posted.control, kDelete);
  EXPECT_EQ(keyAfterChoice, runtime::ui::KeyCode::None);
  EXPECT_EQ(dismissed, "");
  EXPECT_EQ(afterDismiss.code, EventCode::Timer);  // nothing was posted before it
  const auto requests = backend.PopupRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "&Insert|~&Delete|Top");
  ASSERT_TRUE(requests[0].at.has_value());
  EXPECT_EQ(requests[0].at->x, 5);
  EXPECT_FALSE(requests[1].at.has_value());
}

TEST_F(PopupManagerWindowTest, ToolboxRunsOnItsOwnThreadAndPostsBackToTheList) {
  runtime::TestClock clock(20000, 0);
  runtime::ScopedTimeSource source(clock);
  backend.ScriptPopupChoice(0);
  std::vector<runtime::ui::Event> taken;
  Start([&] {
    auto window = runtime::ui::Window::Open(ListWindow());
    PopupManager popup;
    popup.Init();
    popup.AddItemMimic("!&Insert", "&Insert", kInsert);
    popup.AddItem("-");
    popup.AddItemMimic("!&Delete", "&Delete", kDelete);
    popup.AddItemEvent("Top", EventCode::ScrollTop, kList);
    popup.SetToolbox("Top", 0);
    runtime::ui::RunEventLoop(*window, [&](const runtime::ui::Event& event) {
      if (event.code == EventCode::OpenWindow) {
        popup.Toolbox("Browse Actions");
        popup.Toolbox("Browse Actions");  // already open: nothing more
      }
      if (event.code == EventCode::Accepted) {
        taken.push_back(event);
        // A right click on the list while the toolbox is open shows the menu.
        EXPECT_EQ(popup.Ask(), "");
        popup.Kill();  // closes the toolbox and waits for its thread
        EXPECT_EQ(popup.INTOOLBOX, 0);
        return runtime::ui::LoopAction::Break;
      }
      return runtime::ui::LoopAction::CarryOn;
    });
  });
  const runtime::ui::WindowId toolbox = driver.WaitForWindow(2);
  ASSERT_NE(toolbox, runtime::ui::kNoWindow);
  const auto shown = backend.Shown(toolbox);
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->title, "Browse Actions");
  std::vector<std::string> texts;
  driver.WithWindow(toolbox, [&](runtime::ui::Window& w) {
    for (const std::int32_t n : w.ControlNumbers()) texts.push_back(w.Text(n));
  });
  EXPECT_EQ(texts, (std::vector<std::string>{"&Insert", "&Delete"}));  // the separator and "Top" are not on it
  // On its timer the toolbox follows the buttons it mirrors.
  const runtime::ui::WindowId list = driver.WaitForWindow(1);
  driver.WithWindow(list, [](runtime::ui::Window& w) {
    w.SetText(kInsert, "&Add");
    w.Disable(kDelete);
  });
  EXPECT_TRUE(driver.Properties(toolbox, 2).enabled);
  driver.AdvanceClock(clock, 50);
  ASSERT_TRUE(driver.WaitIdle(2));
  EXPECT_EQ(driver.Text(toolbox, 1), "&Add");
  EXPECT_FALSE(driver.Properties(toolbox, 2).enabled);
  driver.WithWindow(list, [](runtime::ui::Window& w) { w.Enable(kDelete); });
  driver.AdvanceClock(clock, 50);
  ASSERT_TRUE(driver.WaitIdle(2));
  driver.Click(toolbox, 2);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].control, kDelete);  // the second button stands for the third item
  EXPECT_EQ(backend.PopupRequests().size(), 1u);
}

}  // namespace
}  // namespace marlinden
