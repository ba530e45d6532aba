// The resizer: every anchor and size rule on one axis pair (a table), then
// windows resized headless under each application strategy, with parents,
// restoring, pure moves, minimising, a window not yet shown, the order of
// moves, exempt controls, automatic transparency and the size limits.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/ui/Window.h"
#include "support/WindowTestFixture.h"
#include "window/Resizer.h"
#include "window/WindowManager.h"

namespace marlinden {
namespace {

using runtime::ui::ControlKind;
using runtime::ui::Rect;

struct CalcCase {
  const char* what;
  std::uint16_t positional;
  std::uint16_t resize;
  Rect parentOld;
  Rect parentNew;
  Rect snapshot;
  Rect expected;
};

TEST(ResizerCalcTest, AnchorsAndSizeRules) {
  const Rect old{0, 0, 100, 100};
  const Rect wider{0, 0, 200, 150};
  const std::uint16_t lockBoth = ResizeLockWidth | ResizeLockHeight;
  const std::vector<CalcCase> cases = {
      {"proportional", 0x000, 0, old, wider, {10, 20, 30, 10}, {20, 30, 60, 15}},
      {"fixed", 0x101, 0, old, wider, {10, 20, 30, 10}, {10, 20, 60, 15}},
      {"right and bottom, locked", 0x202, lockBoth, old, wider, {10, 20, 30, 10}, {110, 70, 30, 10}},
      {"right and bottom, scaled", 0x202, 0, old, wider, {10, 20, 30, 10}, {20, 30, 60, 15}},
      {"left and top", 0x303, 0, old, wider, {10, 20, 30, 10}, {10, 20, 60, 15}},
      {"centre, locked", 0x404, lockBoth, old, wider, {10, 20, 30, 10}, {60, 45, 30, 10}},
      {"centre, scaled", 0x404, 0, old, wider, {10, 20, 30, 10}, {20, 30, 60, 15}},
      {"nearest the left and top", 0x505, lockBoth, old, wider, {10, 20, 30, 10}, {10, 20, 30, 10}},
      {"nearest the right and bottom", 0x505, lockBoth, old, wider, {60, 70, 30, 10}, {160, 120, 30, 10}},
      {"nearest on a tie goes right", 0x505, lockBoth, old, wider, {35, 45, 30, 10}, {135, 95, 30, 10}},
      {"constant right and bottom",
       0x303,
       ResizeConstantRight | ResizeConstantBottom,
       old,
       wider,
       {10, 20, 30, 10},
       {10, 20, 130, 60}},
      {"constant right never negative",
       0x303,
       ResizeConstantRight | ResizeConstantBottom,
       old,
       {0, 0, 20, 20},
       {10, 20, 30, 10},
       {10, 20, 0, 0}},
      {"a parent of no size scales by 1", 0x000, 0, {0, 0, 0, 0}, wider, {10, 20, 30, 10}, {10, 20, 30, 10}},
      {"a parent that moved", 0x000, 0, {50, 40, 100, 100}, {60, 50, 200, 150}, {60, 60, 30, 10}, {80, 80, 60, 15}},
      {"a third, four digits kept",
       0x000,
       0,
       {0, 0, 300, 300},
       {0, 0, 100, 100},
       {299, 299, 299, 299},
       {100, 100, 100, 100}},
      {"shrunk to nothing", 0x000, 0, old, {0, 0, 0, 0}, {10, 20, 30, 10}, {0, 0, 0, 0}},
  };
  Resizer resizer;
  for (const CalcCase& c : cases) {
    Resizer::ControlEntry entry;
    entry.POSITIONALSTRATEGY = c.positional;
    entry.RESIZESTRATEGY = c.resize;
    EXPECT_EQ(resizer.CalcControlPosition(entry, c.parentOld, c.parentNew, c.snapshot), c.expected) << c.what;
  }
}

constexpr std::int32_t kEntry = 1;
constexpr std::int32_t kButton = 2;
constexpr std::int32_t kSheet = 3;
constexpr std::int32_t kTab = 4;
constexpr std::int32_t kList = 5;
constexpr std::int32_t kRegionA = 6;
constexpr std::int32_t kRegionB = 7;

runtime::ui::WindowDescription Layout(Rect window = {0, 0, 200, 100}) {
  runtime::ui::WindowDescription d;
  d.name = "resized";
  d.rect = window;
  auto add = [&d](ControlKind kind, Rect rect, std::int32_t parentIndex = -1) {
    runtime::ui::ControlDescription c;
    c.kind = kind;
    c.rect = rect;
    c.parentIndex = parentIndex;
    d.controls.push_back(c);
  };
  add(ControlKind::Entry, {10, 10, 50, 12});
  add(ControlKind::Button, {150, 80, 40, 14});
  add(ControlKind::Sheet, {5, 30, 120, 40});
  add(ControlKind::Tab, {5, 30, 120, 40}, 2);
  add(ControlKind::List, {10, 40, 100, 20}, 3);
  add(ControlKind::Region, {130, 10, 20, 20});
  add(ControlKind::Region, {130, 10, 20, 20});
  return d;
}

class ResizerTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Runs body on a runtime thread with the window open and a resizer set up
  // with strategy.
  void WithResizer(std::uint8_t strategy, const std::function<void(runtime::ui::Window&, Resizer&)>& body,
                   Rect window = {0, 0, 200, 100}) {
    WithResizerOver(Layout(window), strategy, SnapshotLimit::None, body);
  }
  void WithResizerOver(const runtime::ui::WindowDescription& description, std::uint8_t strategy, SnapshotLimit maximum,
                       const std::function<void(runtime::ui::Window&, Resizer&)>& body) {
    Start([&] {
      auto w = runtime::ui::Window::Open(description);
      Resizer resizer;
      resizer.Init(*w, strategy, SnapshotLimit::Limit, maximum);
      body(*w, resizer);
      resizer.Kill();
    });
    ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  }

  static void SizeTo(runtime::ui::Window& w, Resizer& resizer, std::int32_t width, std::int32_t height,
                     std::int32_t x = 0) {
    w.SetPosition({x, 0, width, height});
    resizer.Resize();
  }
  static Rect At(runtime::ui::Window& w, std::int32_t control) { return w.Find(control)->Position(); }
};

TEST_F(ResizerTest, StrategyZeroScalesAndComesBackExactly) {
  WithResizer(StrategyScaleEverything, [this](runtime::ui::Window& w, Resizer& resizer) {
    w.Flush();
    const auto shown = backend.Shown(w.Id());
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->frame, runtime::ui::Frame::Resizable);
    EXPECT_EQ(shown->minWidth, 200);
    EXPECT_EQ(shown->minHeight, 100);
    EXPECT_EQ(shown->maxWidth, 0);
    EXPECT_EQ(shown->maxHeight, 0);

    SizeTo(w, resizer, 400, 100);
    EXPECT_EQ(At(w, kEntry), (Rect{20, 10, 100, 12}));
    EXPECT_EQ(At(w, kList), (Rect{20, 40, 200, 20}));  // tabs are no control of their own here
    SizeTo(w, resizer, 333, 77);
    SizeTo(w, resizer, 200, 100);
    for (const std::int32_t c : {kEntry, kButton, kSheet, kList, kRegionA, kRegionB}) {
      EXPECT_EQ(At(w, c), resizer.CONTROLQUEUE->Find([c](const Resizer::ControlEntry& e) { return e.ID == c; })->POS)
          << c;
    }
    // A pure move changes nothing.
    w.Flush();
    const std::int32_t updates = backend.ControlUpdates();
    SizeTo(w, resizer, 200, 100, 50);
    w.Flush();
    EXPECT_TRUE(resizer.RESIZELIST->Empty());
    EXPECT_EQ(backend.ControlUpdates(), updates);
    // Minimised: nothing moves, and restoring starts from the last size.
    SizeTo(w, resizer, 400, 200);
    SizeTo(w, resizer, 0, 0);
    EXPECT_EQ(At(w, kEntry), (Rect{20, 20, 100, 24}));
    SizeTo(w, resizer, 400, 200);
    EXPECT_EQ(At(w, kEntry), (Rect{20, 20, 100, 24}));
  });
}

TEST_F(ResizerTest, StrategyOneKeepsButtonsAtTheirNearestEdges) {
  WithResizer(StrategyKeepControlSizes, [](runtime::ui::Window& w, Resizer& resizer) {
    SizeTo(w, resizer, 400, 150);
    EXPECT_EQ(At(w, kButton), (Rect{350, 130, 40, 14}));  // 10 from the right, 6 from the bottom, same size
    EXPECT_EQ(At(w, kEntry), (Rect{20, 15, 100, 12}));    // height locked
  });
}

TEST_F(ResizerTest, StrategyTwoStretchesContainersAndTheirChildren) {
  WithResizer(StrategyFollowParents, [](runtime::ui::Window& w, Resizer& resizer) {
    EXPECT_EQ(resizer.GetParentControl(kList), kSheet);  // through its tab
    EXPECT_EQ(resizer.GetParentControl(kSheet), 0);
    // Two regions on one spot: one holds the other, never each other.
    const std::int32_t a = resizer.GetParentControl(kRegionA);
    const std::int32_t b = resizer.GetParentControl(kRegionB);
    EXPECT_TRUE((a == 0 && b == kRegionA) || (a == kRegionB && b == 0)) << a << " " << b;
    SizeTo(w, resizer, 400, 150);
    EXPECT_EQ(At(w, kSheet), (Rect{5, 30, 320, 90}));
    EXPECT_EQ(At(w, kList), (Rect{10, 40, 300, 70}));
    EXPECT_EQ(At(w, kEntry), (Rect{20, 10, 100, 12}));
    EXPECT_EQ(At(w, kButton), (Rect{350, 130, 40, 14}));
    const Rect regionA = At(w, kRegionA);
    EXPECT_EQ(regionA, (Rect{130, 10, 220, 70}));  // stretched to keep its right and bottom gaps
    EXPECT_EQ(At(w, kRegionB), regionA);
  });
}

TEST_F(ResizerTest, AWindowNotYetShownScalesByOne) {
  WithResizer(StrategyScaleEverything,
              [](runtime::ui::Window& w, Resizer& resizer) {
                SizeTo(w, resizer, 200, 100);
                EXPECT_EQ(At(w, kEntry), (Rect{10, 10, 50, 12}));
                EXPECT_EQ(At(w, kButton), (Rect{150, 80, 40, 14}));
              },
              {0, 0, 0, 0});
}

TEST_F(ResizerTest, WithoutDeferredMovesTheFarControlsMoveFirstWhenGrowing) {
  WithResizer(StrategyScaleEverything, [](runtime::ui::Window& w, Resizer& resizer) {
    resizer.DEFERMOVES = false;
    auto order = [&resizer] {
      std::vector<std::int64_t> priorities;
      for (const auto& move : *resizer.RESIZELIST) priorities.push_back(move.PRIORITY);
      return priorities;
    };
    SizeTo(w, resizer, 400, 200);
    const auto grown = order();
    ASSERT_FALSE(grown.empty());
    EXPECT_TRUE(std::is_sorted(grown.rbegin(), grown.rend()));
    EXPECT_EQ(grown.front(), 300LL * 300 + 160 * 160);  // the button, at (300, 160)
    SizeTo(w, resizer, 300, 200);                       // only narrower: by x, nearest first
    const auto shrunk = order();
    EXPECT_TRUE(std::is_sorted(shrunk.begin(), shrunk.end()));
    EXPECT_EQ(shrunk.back(), 225);
  });
}

TEST_F(ResizerTest, RestoreSnapShotPutsEverythingBack) {
  WithResizer(StrategyScaleEverything, [](runtime::ui::Window& w, Resizer& resizer) {
    SizeTo(w, resizer, 400, 200);
    w.SetState(runtime::ui::WindowState::Maximised);
    resizer.RestoreSnapShot();
    EXPECT_EQ(w.State(), runtime::ui::WindowState::Normal);
    EXPECT_EQ(w.Position().width, 200);
    EXPECT_EQ(At(w, kButton), (Rect{150, 80, 40, 14}));
    // A new snapshot makes the current layout the reference.
    SizeTo(w, resizer, 400, 100);
    resizer.SnapShot();
    SizeTo(w, resizer, 800, 100);
    EXPECT_EQ(At(w, kEntry), (Rect{40, 10, 200, 12}));
  });
}

TEST_F(ResizerTest, SetMaximumMakesTheSnapshotSizeTheLargest) {
  WithResizerOver(Layout({0, 0, 240, 120}), StrategyScaleEverything, SnapshotLimit::Limit,
                  [this](runtime::ui::Window& w, Resizer&) {
                    w.Flush();
                    const auto shown = backend.Shown(w.Id());
                    ASSERT_TRUE(shown.has_value());
                    EXPECT_EQ(shown->maxWidth, 240);
                    EXPECT_EQ(shown->maxHeight, 120);
                    EXPECT_EQ(shown->minWidth, 240);
                  });
}

TEST_F(ResizerTest, ExemptControlsAreNeitherQueuedNorMoved) {
  runtime::ui::WindowDescription d = Layout();
  d.controls[kButton - 1].noResize = true;
  WithResizerOver(d, StrategyFollowParents, SnapshotLimit::None, [](runtime::ui::Window& w, Resizer& resizer) {
    auto queued = [&resizer](std::int32_t c) {
      return resizer.CONTROLQUEUE->Find([c](const Resizer::ControlEntry& e) { return e.ID == c; }) != nullptr;
    };
    EXPECT_FALSE(queued(kButton));
    EXPECT_TRUE(queued(kEntry));
    // Marked after the snapshot: a new snapshot only refreshes what is queued.
    w.Find(kEntry)->SetNoResize(true);
    resizer.SnapShot();
    EXPECT_TRUE(queued(kEntry));
    SizeTo(w, resizer, 400, 150);
    EXPECT_EQ(At(w, kButton), (Rect{150, 80, 40, 14}));
    EXPECT_EQ(At(w, kEntry), (Rect{20, 10, 100, 12}));
    for (const auto& move : *resizer.RESIZELIST) EXPECT_NE(move.CONTROLID, kButton);
  });
}

TEST_F(ResizerTest, AutoTransparencyOnTheFirstResizeAfterASnapshot) {
  using runtime::ui::DescribeControl;
  runtime::ui::WindowDescription d = Layout();
  const auto first = static_cast<std::int32_t>(d.controls.size()) + 1;
  for (const ControlKind kind : {ControlKind::String, ControlKind::LinkText, ControlKind::Image, ControlKind::Prompt,
                                 ControlKind::Entry, ControlKind::Group, ControlKind::Button}) {
    d.controls.push_back(DescribeControl(kind, "x", {10, 85, 20, 10}));
  }
  const std::vector<bool> statics = {true, true, true, true, false, false, false};
  Start([&] {
    for (const bool automatic : {false, true}) {
      auto w = runtime::ui::Window::Open(d);
      Resizer resizer;
      resizer.Init(*w, StrategyScaleEverything, SnapshotLimit::Limit, SnapshotLimit::None);
      resizer.AUTOTRANSPARENT = automatic;
      auto transparent = [&] {
        std::vector<bool> shown;
        for (std::size_t i = 0; i < statics.size(); ++i) {
          shown.push_back(w->Find(first + static_cast<std::int32_t>(i))->Transparent());
        }
        return shown;
      };
      const std::vector<bool> none(statics.size(), false);
      SizeTo(*w, resizer, 200, 100, 30);  // a pure move is no resize
      EXPECT_EQ(transparent(), none);
      SizeTo(*w, resizer, 300, 100);
      EXPECT_EQ(transparent(), automatic ? statics : none) << automatic;
      w->Flush();
      EXPECT_EQ(backend.ShownControl(w->Id(), first)->properties.transparent, automatic);
      // Only the first resize after a snapshot: one made opaque stays so
      // until the next snapshot.
      w->Find(first)->SetTransparent(false);
      SizeTo(*w, resizer, 350, 120);
      EXPECT_FALSE(w->Find(first)->Transparent());
      resizer.SnapShot();
      SizeTo(*w, resizer, 400, 120);
      EXPECT_EQ(w->Find(first)->Transparent(), automatic);
      resizer.Kill();
    }
  });
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
}

// A window manager hands every sized event of its window to its resizer.
class ResizedForm : public WindowManager {
 public:
  Severity Init() override {
    const Severity base = WindowManager::Init();
    if (base != SeverityOk) return base;
    resizer.Init(OpenWindow(Layout()), StrategyScaleEverything, SnapshotLimit::Limit, SnapshotLimit::None);
    AddItem(resizer);
    return SeverityOk;
  }
  Severity Kill() override {
    const Severity base = WindowManager::Kill();
    CloseWindow();
    return base;
  }
  Resizer resizer;
};

TEST_F(ResizerTest, TheWindowManagerResizesOnEverySizedEvent) {
  ResizedForm form;
  Start([&form] { (void)form.Run(); });
  const runtime::ui::WindowId id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  runtime::ui::EventData data;
  data.windowRect = Rect{0, 0, 400, 100};
  driver.Post(id, runtime::ui::EventCode::Sized, 0, data);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Properties(id, kEntry).rect, (Rect{20, 10, 100, 12}));
  driver.Post(id, runtime::ui::EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  EXPECT_FALSE(form.resizer.CONTROLQUEUE);  // killed with the window manager
}

}  // namespace
}  // namespace marlinden
