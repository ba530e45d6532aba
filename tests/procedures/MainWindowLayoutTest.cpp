// The main window's place and layout on a screen of a given size: centred
// at the first start, a saved place off the screen brought back onto it, and
// an enlarged window's list columns sharing the extra width while the
// buttons keep their size.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/StartUp.h"
#include "procedures/MainWindow.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::HeadlessBackend;
using runtime::ui::Rect;

constexpr Rect kScreen{0, 0, 1280, 800};

// The frame's edges in the headless backend's pixels.
struct Edges {
  std::int64_t left, top, right, bottom;
};
Edges FrameOf(const Rect& r) {
  return {std::int64_t{r.x} * HeadlessBackend::kCharWidth / 4 - HeadlessBackend::kFrameBorder,
          std::int64_t{r.y} * HeadlessBackend::kCharHeight / 8 - HeadlessBackend::kTitleBar,
          std::int64_t{r.x + r.width} * HeadlessBackend::kCharWidth / 4 + HeadlessBackend::kFrameBorder,
          std::int64_t{r.y + r.height} * HeadlessBackend::kCharHeight / 8 + HeadlessBackend::kFrameBorder};
}

class MainWindowLayoutTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void StartProgram() {
    backend.SetScreens({kScreen});
    Start([] { (void)RunProgram([] { MainBookmarkWindow(); }); });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }
  Rect Place() {
    Rect place;
    driver.WithWindow(id, [&](runtime::ui::Window& w) { place = w.Position(); });
    return place;
  }
  void Close() {
    driver.Click(id, MainCloseButton);
    ASSERT_TRUE(program->WaitForEnd(10s));
  }

  testing_support::TempCurrentDirectory cwd;
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
};

TEST_F(MainWindowLayoutTest, AtTheFirstStartTheWindowIsCentredWithItsTitleBarOnTheScreen) {
  StartProgram();
  const Edges f = FrameOf(Place());
  EXPECT_GE(f.top, 0);
  EXPECT_LE(std::llabs(f.left - (kScreen.width - f.right)), 2);
  EXPECT_LE(std::llabs(f.top - (kScreen.height - f.bottom)), 2);
  Close();
}

TEST_F(MainWindowLayoutTest, APlaceSavedOffTheScreenIsBroughtBackOntoIt) {
  std::ofstream("marlinden.INI") << "[Main]\nMaximize=No\nXPos=2400\nYPos=-40\nHeight=214\nWidth=372\n";
  StartProgram();
  const Edges f = FrameOf(Place());
  EXPECT_GE(f.left, 0);
  EXPECT_GE(f.top, 0);
  EXPECT_LE(f.right, kScreen.width);
  EXPECT_LE(f.bottom, kScreen.height);
  Close();
}

TEST_F(MainWindowLayoutTest, EnlargedTheListsColumnsShareTheWidthAndTheButtonsKeepTheirSize) {
  StartProgram();
  std::vector<std::int32_t> before, after;
  Rect list, listAfter, button, buttonAfter;
  auto read = [&](std::vector<std::int32_t>& widths, Rect& listRect, Rect& buttonRect) {
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      widths.clear();
      for (const auto& column : w.Find(MainList)->Properties().columns) widths.push_back(column.width);
      listRect = w.Find(MainList)->Position();
      buttonRect = w.Find(MainCloseButton)->Position();
    });
  };
  read(before, list, button);
  const Rect place = Place();
  runtime::ui::EventData data;
  data.windowRect = Rect{place.x, place.y, place.width * 2, place.height * 3 / 2};
  driver.Post(id, EventCode::Sized, 0, data);
  ASSERT_TRUE(driver.WaitIdle(1));
  read(after, listAfter, buttonAfter);

  ASSERT_EQ(before.size(), 2u);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(listAfter.width, list.width + place.width) << "the list keeps its margins";
  EXPECT_EQ(listAfter.height, list.height + place.height / 2);
  EXPECT_GT(after[0], before[0] * 19 / 10) << "the URL column takes its share";
  EXPECT_NEAR(double(after[0]) / after[1], double(before[0]) / before[1], 0.02);
  EXPECT_EQ(buttonAfter.width, button.width);
  EXPECT_EQ(buttonAfter.height, button.height);
  EXPECT_EQ(place.width * 2 - (buttonAfter.x + buttonAfter.width), place.width - (button.x + button.width))
      << "Close stays by the right edge";
  Close();
}

}  // namespace
}  // namespace marlinden
