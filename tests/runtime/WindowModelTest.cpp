#include <gtest/gtest.h>

#include <limits>

#include "runtime/ui/Cursor.h"
#include "runtime/values/Value.h"
#include "support/WindowTestFixture.h"

namespace runtime::ui {
namespace {

class WindowModelTest : public testing::WindowFixture<> {
 protected:
  // Opens description on thread 1, runs f on it, and closes it.
  void WithOpened(const WindowDescription& description, std::function<void(Window&)> f) {
    Start([description, f] {
      auto window = Window::Open(description);
      f(*window);
    });
    program->WaitForEnd();
  }
};

TEST_F(WindowModelTest, NonsenseDescriptionsOpenClampedWhereTheyPointedAndRefuseTextForNumbers) {
  constexpr int kHuge = std::numeric_limits<int>::max();
  struct Case {
    Rect given;
    Rect opened;
  };
  const Case cases[] = {
      {{10, 20, 30, 40}, {10, 20, 30, 40}},
      {{-50, -60, 30, 40}, {-50, -60, 30, 40}},
      {{kHuge, -kHuge, kHuge, -5}, {kMaxCoordinate, kMinCoordinate, kMaxExtent, 0}},
      {{0, 0, -1, -kHuge}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    WindowDescription d = testing::Form("nonsense", 1);
    d.rect = c.given;
    d.controls[0].rect = c.given;
    d.minWidth = -3;
    d.maxWidth = 90;
    d.maxHeight = -7;
    d.controls[0].transparent = true;
    d.controls[0].noResize = true;
    WindowView shown;
    auto program2 = std::make_unique<Program>(backend);
    ASSERT_TRUE(program2->Start([&] {
      auto window = Window::Open(d);
      EXPECT_EQ(window->Position(), c.opened);
      EXPECT_EQ(window->Find(1)->Position(), c.opened);
      EXPECT_FALSE(window->Set(Property::X, runtime::Value::Text("abc")));
      EXPECT_FALSE(window->Find(1)->Set(Property::Width, runtime::Value::Text("")));
      EXPECT_TRUE(window->Find(1)->Set(Property::Width, runtime::Value::Text(" 12")));
      EXPECT_EQ(window->Position(), c.opened) << "a refused value changes nothing";
      EXPECT_EQ(window->Find(1)->Position().width, 12);
      shown = *backend.Shown(window->Id());
    }));
    program2->WaitForEnd();
    EXPECT_EQ(shown.rect, c.opened);
    EXPECT_EQ(shown.controls.at(0).properties.rect, c.opened);
    EXPECT_EQ(shown.minWidth, 0);
    EXPECT_EQ(shown.maxWidth, 90);
    EXPECT_EQ(shown.maxHeight, 0);
    EXPECT_TRUE(shown.controls.at(0).properties.transparent);
    EXPECT_TRUE(shown.controls.at(0).properties.noResize);
  }
}

TEST_F(WindowModelTest, ControlsAreNumberedInDeclarationOrderAroundFixedNumbers) {
  WindowDescription d;
  d.name = "numbers";
  for (std::int32_t fixed : {0, 2000, 0, 3, 0, 2000}) {
    ControlDescription c;
    c.kind = ControlKind::Button;
    c.fixedNumber = fixed;
    c.parentIndex = fixed == 3 ? 1 : -1;
    d.controls.push_back(c);
  }
  WithOpened(d, [&](Window& w) {
    EXPECT_EQ(w.ControlNumbers(), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 2000}));
    EXPECT_EQ(w.Find(3)->Parent(), 2000);
    EXPECT_EQ(w.CreateControl(ControlKind::Entry), 6) << "run-time controls skip the toolbar range";
    EXPECT_TRUE(w.DestroyControl(6));
    EXPECT_FALSE(w.DestroyControl(6));
    const std::int32_t made = w.CreateControl(ControlKind::Entry, 2);
    EXPECT_EQ(made, 6);
    EXPECT_EQ(w.Find(made)->Parent(), 2);
    EXPECT_TRUE(backend.ShownControl(w.Id(), made).has_value());
  });
}

TEST_F(WindowModelTest, AlertSlotsHoldKeysPerControl) {
  WithOpened(testing::Form("alerts"), [](Window& w) {
    Control& entry = *w.Find(1);
    entry.Alert(1, KeyCode::Tab);
    entry.Alert(2, KeyCode::ShiftTab);
    entry.Alert(255, KeyCode::F1);
    entry.Alert(256, KeyCode::Esc);  // no such slot
    entry.Alert(0, KeyCode::Esc);
    EXPECT_EQ(entry.AlertSlot(KeyCode::ShiftTab), 2u);
    EXPECT_EQ(entry.AlertSlot(KeyCode::F1), 255u);
    EXPECT_EQ(entry.AlertSlot(KeyCode::Esc), 0u);
    EXPECT_EQ(w.Find(2)->AlertSlot(KeyCode::Tab), 0u);
    entry.Unalert(1);
    EXPECT_EQ(entry.AlertSlot(KeyCode::Tab), 0u);
  });
}

TEST_F(WindowModelTest, TheFrameworksBusyCursorReachesTheBackendAndComesBack) {
  WithOpened(testing::Form("cursor"), [](Window&) {
    const CursorId before = GetCursor();
    SetCursor(CursorBusy);
    EXPECT_EQ(GetCursor(), CursorBusy);
    SetCursor(before);
  });
  EXPECT_EQ(backend.Cursors(), (std::vector<Cursor>{Cursor::Busy, Cursor::Normal}));
}

}  // namespace
}  // namespace runtime::ui
