#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/ui/Placement.h"
#include "support/WindowTestFixture.h"

namespace runtime::ui {
namespace {

using testing::Form;

// A window's frame in the headless backend's pixels.
struct Frame {
  std::int64_t left, top, right, bottom;
};

Frame FrameOf(const Rect& r) {
  using B = HeadlessBackend;
  return {std::int64_t{r.x} * B::kCharWidth / 4 - B::kFrameBorder,
          std::int64_t{r.y} * B::kCharHeight / 8 - B::kTitleBar,
          std::int64_t{r.x + r.width} * B::kCharWidth / 4 + B::kFrameBorder,
          std::int64_t{r.y + r.height} * B::kCharHeight / 8 + B::kFrameBorder};
}

void ExpectFrameOnScreen(const Rect& window, const Rect& screen) {
  const Frame f = FrameOf(window);
  EXPECT_GE(f.left, screen.x);
  EXPECT_GE(f.top, screen.y);
  EXPECT_LE(f.right, screen.x + screen.width);
  EXPECT_LE(f.bottom, screen.y + screen.height);
}

// The frame's margins to the screen's edges agree within a dialog unit.
void ExpectFrameCentredOn(const Rect& window, const Rect& screen) {
  const Frame f = FrameOf(window);
  EXPECT_LE(std::llabs((f.left - screen.x) - (screen.x + screen.width - f.right)), 2 * HeadlessBackend::kCharWidth / 4);
  EXPECT_LE(std::llabs((f.top - screen.y) - (screen.y + screen.height - f.bottom)),
            2 * HeadlessBackend::kCharHeight / 8);
}

WindowDescription Sized(std::string name, std::int32_t width, std::int32_t height) {
  WindowDescription d = Form(std::move(name));
  d.rect = {0, 0, width, height};
  return d;
}

class WindowPlacementTest : public testing::WindowFixture<>, public ::testing::WithParamInterface<Rect> {};

TEST_P(WindowPlacementTest, TheFirstWindowOpensCentredOnTheScreenAndAWindowItOpensCentredOverIt) {
  const Rect screen = GetParam();
  backend.SetScreens({screen});
  Start([&, screen] {
    auto main = Window::Open(Sized("main", 372, 214));
    ExpectFrameCentredOn(main->Position(), screen);
    ExpectFrameOnScreen(main->Position(), screen);
    EXPECT_EQ(main->Position().width, 372);
    EXPECT_EQ(main->Position().height, 214);

    main->SetPosition({20, 30, 372, 214});
    auto about = Window::Open(Sized("about", 220, 150));
    const Rect m = main->Position(), a = about->Position();
    EXPECT_LE(std::abs((a.x + a.width / 2) - (m.x + m.width / 2)), 1);
    EXPECT_LE(std::abs((a.y + a.height / 2) - (m.y + m.height / 2)), 1);
    ExpectFrameOnScreen(a, screen);
  });
}

TEST_P(WindowPlacementTest, AWindowLargerThanTheScreenIsShrunkToIt) {
  const Rect screen = GetParam();
  backend.SetScreens({screen});
  Start([&, screen] {
    auto preview = Window::Open(Sized("preview", 760, 900));
    ExpectFrameOnScreen(preview->Position(), screen);
    EXPECT_LT(preview->Position().height, 900);
    EXPECT_GT(FrameOf(preview->Position()).bottom - FrameOf(preview->Position()).top, screen.height - 8);
  });
}

TEST_P(WindowPlacementTest, ASavedPlaceOffEveryScreenIsMovedBackOntoOne) {
  const Rect screen = GetParam();
  backend.SetScreens({screen});
  Start([&, screen] {
    auto main = Window::Open(Sized("main", 372, 214));
    // Saved on a second monitor to the right, since removed.
    main->SetPosition({2000, 100, 372, 214});
    ExpectFrameOnScreen(main->Position(), screen);
    EXPECT_EQ(main->Position().y, 100);
    // Saved above the screen: the title bar would be out of reach.
    main->SetPosition({100, -20, 372, 214});
    ExpectFrameOnScreen(main->Position(), screen);
    EXPECT_EQ(main->Position().x, 100);
    // Saved on a larger screen: the size is cut to this one.
    main->SetPosition({0, 0, 4000, 3000});
    ExpectFrameOnScreen(main->Position(), screen);
    EXPECT_GT(main->Position().width, 372);
  });
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowPlacementTest, ::testing::Values(Rect{0, 0, 1280, 800}, Rect{0, 0, 1024, 768}));

class WindowPlacementThreadsTest : public testing::WindowFixture<> {};

TEST_F(WindowPlacementThreadsTest, AWindowOfAnotherThreadOpensCentredOverTheMainWindow) {
  backend.SetScreens({{0, 0, 1280, 800}});
  Rect main, second;
  Start([&] {
    auto window = Window::Open(Sized("main", 372, 214));
    window->SetPosition({30, 40, 372, 214});
    main = window->Position();
    StartThread(
        [&] {
          auto email = Window::Open(Sized("email", 270, 200));
          second = email->Position();
        },
        25000);
    RunEventLoop(*window, [&](const Event&) { return LoopAction::CarryOn; });
  });
  const WindowId mainId = driver.WaitForWindow(1);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.Post(mainId, EventCode::CloseWindow);
  program->WaitForEnd();
  EXPECT_LE(std::abs((second.x + second.width / 2) - (main.x + main.width / 2)), 1);
  EXPECT_LE(std::abs((second.y + second.height / 2) - (main.y + main.height / 2)), 1);
}

TEST_F(WindowPlacementThreadsTest, WithoutAKnownScreenAWindowStaysWhereItsDescriptionPutsIt) {
  Start([&] {
    auto window = Window::Open(Form("plain"));
    EXPECT_EQ(window->Position(), (Rect{10, 10, 200, 100}));
    window->SetPosition({-50, 5000, 9000, 100});
    EXPECT_EQ(window->Position(), (Rect{-50, 5000, 9000, 100}));
  });
}

TEST(PlacementTest, APlaceIsKeptOnTheScreenItOverlapsMostAndOnThePrimaryWhenOnNone) {
  const std::vector<Rect> areas{{0, 0, 800, 500}, {800, 0, 600, 400}};
  EXPECT_EQ(KeptOnScreens({700, 100, 300, 100}, areas), (Rect{800, 100, 300, 100}));
  EXPECT_EQ(KeptOnScreens({600, 450, 300, 100}, areas), (Rect{500, 400, 300, 100}));
  EXPECT_EQ(KeptOnScreens({3000, 3000, 300, 100}, areas), (Rect{500, 400, 300, 100}));
  EXPECT_EQ(KeptOnScreens({900, 50, 900, 900}, areas), (Rect{800, 0, 600, 400}));
  EXPECT_EQ(CentredOver({0, 0, 100, 50}, {10, 20, 300, 150}), (Rect{110, 70, 100, 50}));
}

}  // namespace
}  // namespace runtime::ui
