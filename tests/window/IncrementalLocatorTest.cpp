// The incremental locator on a live window: keys typed on a list (plain
// letters, multi-byte characters, Backspace, Space, keys that type nothing)
// and the entry-control form, each checked against the free element it
// writes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/files/RecordBuffer.h"
#include "runtime/ui/EventLoop.h"
#include "support/BookmarkLayout.h"
#include "support/WindowTestFixture.h"
#include "window/IncrementalLocator.h"

namespace marlinden {
namespace {

using runtime::ui::EventCode;
using runtime::ui::KeyCode;

constexpr std::int32_t kList = 1;
constexpr std::int32_t kEntry = 2;

runtime::ui::WindowDescription LocatorWindow() {
  runtime::ui::WindowDescription d;
  d.name = d.title = "locate";
  d.rect = {0, 0, 200, 120};
  runtime::ui::ControlDescription list;
  list.kind = runtime::ui::ControlKind::List;
  list.rect = {0, 0, 150, 80};
  d.controls.push_back(list);
  runtime::ui::ControlDescription entry;
  entry.kind = runtime::ui::ControlKind::Entry;
  entry.rect = {0, 90, 80, 12};
  d.controls.push_back(entry);
  return d;
}

class IncrementalLocatorTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Runs the window on thread 1 with a locator on WEB:URL (with the entry
  // control when withEntry); every key and accepted entry goes to it.
  void Run(bool withEntry) {
    Start([this, withEntry] {
      runtime::RecordBuffer record(layout);
      auto window = runtime::ui::Window::Open(LocatorWindow());
      IncrementalLocator locator;
      locator.Init(withEntry ? kEntry : 0, record.Field("WEB:URL"), 1, nullptr);
      locator.SetAlerts(kList);
      alerts = window->Find(kList)->Properties().alerts;
      runtime::ui::RunEventLoop(*window, [&](const runtime::ui::Event& e) {
        if (e.code == EventCode::AlertKey) taken.push_back(locator.TakeKey());
        if (e.code == EventCode::Accepted && e.control == kEntry) taken.push_back(locator.TakeAccepted());
        if (e.code == EventCode::Accepted && e.control == kList) locator.Reset();
        shadow = locator.SHADOW;
        element = std::string(record.Field("WEB:URL").ClippedText());
        return runtime::ui::LoopAction::CarryOn;
      });
      locator.Kill();
    });
    id = driver.WaitForWindow(1);
  }

  void Key(KeyCode key, std::string text = {}) {
    runtime::ui::EventData data;
    data.key = key;
    data.keyText = std::move(text);
    driver.Post(id, EventCode::AlertKey, kList, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }

  void Close() {
    driver.Post(id, EventCode::CloseWindow);
    ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  }

  runtime::RecordLayout layout = testing_support::BookmarkLayout();
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
  std::array<KeyCode, runtime::ui::kAlertSlots> alerts{};
  std::vector<int> taken;
  std::string shadow;
  std::string element;
};

TEST_F(IncrementalLocatorTest, TypedKeysBuildTheTextAndBackspaceTakesOneBack) {
  Run(false);
  EXPECT_EQ(alerts[kBackspaceAlertSlot - 1], KeyCode::Backspace);
  EXPECT_EQ(alerts[kSpaceAlertSlot - 1], KeyCode::Space);
  Key(runtime::ui::Letter('G'));
  Key(runtime::ui::Letter('O'), "O");
  EXPECT_EQ(shadow, "gO") << "a key's own text wins over its key code";
  Key(KeyCode::Space);
  Key(runtime::ui::Digit(7));
  EXPECT_EQ(element, "gO 7");
  Key(KeyCode::F1);
  Key(KeyCode::Ctrl | runtime::ui::Letter('C'));
  Key(KeyCode::Backspace);
  Key(KeyCode::Backspace);
  EXPECT_EQ(shadow, "gO");
  EXPECT_EQ(element, "gO");
  EXPECT_EQ(taken, (std::vector<int>{1, 1, 1, 1, 0, 0, 1, 1})) << "keys that type nothing are not taken";
  driver.Post(id, EventCode::Accepted, kList);  // resets
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(shadow, "");
  EXPECT_EQ(element, "");
  Key(KeyCode::Backspace);
  EXPECT_EQ(shadow, "") << "Backspace on nothing";
  Close();
}

TEST_F(IncrementalLocatorTest, MultiByteCharactersAreCutAndTakenBackWhole) {
  Run(false);
  const std::string e = "\xC3\xA9";               // two bytes
  const std::string rocket = "\xF0\x9F\x9A\x80";  // four bytes
  Key(runtime::ui::Letter('A'), "a");
  for (int i = 0; i < 25; ++i) Key(runtime::ui::Letter('E'), e);
  EXPECT_EQ(shadow.size(), 39u) << "1 + 19 whole characters of two bytes";
  Key(KeyCode::Backspace);
  EXPECT_EQ(shadow.size(), 37u);
  Key(KeyCode::Backspace);
  Key(runtime::ui::Letter('X'), rocket);
  EXPECT_EQ(shadow.size(), 39u);
  EXPECT_EQ(shadow.substr(35), rocket);
  Key(runtime::ui::Letter('X'), rocket);
  EXPECT_EQ(shadow.substr(35), rocket) << "a character that does not fit is left out whole";
  Key(KeyCode::Backspace);
  EXPECT_EQ(shadow.size(), 35u) << "Backspace takes the four bytes back together";
  std::string upper = "a";
  for (int i = 0; i < 17; ++i) upper += "\xC3\x89";
  EXPECT_EQ(element, upper) << "the caseless locator seeks from the capitals, the lowest spelling outside ASCII";
  Close();
}

TEST_F(IncrementalLocatorTest, TheEntryControlFormTakesTheAcceptedText) {
  Run(true);
  driver.Type(id, kEntry, "http://example.com");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(element, "http://example.com");
  driver.Type(id, kEntry, "");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(taken, (std::vector<int>{1, 0})) << "an empty entry locates nothing";
  Key(runtime::ui::Letter('Q'));
  EXPECT_EQ(driver.Text(id, kEntry), "q") << "the entry shows the typed text";
  Close();
}

}  // namespace
}  // namespace marlinden
