// The main window's place and layout on a screen of a given size: centred
// at the first start, a saved place off the screen brought back onto it, and
// an enlarged window's list columns sharing the extra width while the
// buttons keep their size, and the column widths the user dragged kept
// across a resize and the next start.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/RecentFiles.h"
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
  std::vector<std::int32_t> ColumnWidths() {
    std::vector<std::int32_t> widths;
    driver.WithWindow(id, [&](runtime::ui::Window& w) {
      for (const auto& column : w.Find(MainList)->Properties().columns) widths.push_back(column.width);
    });
    return widths;
  }
  void Resize(Rect place) {
    runtime::ui::EventData data;
    data.windowRect = place;
    driver.Post(id, EventCode::Sized, 0, data);
    ASSERT_TRUE(driver.WaitIdle(1));
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
  // The next start, on the same backend and files.
  void Restart() {
    program.reset();  // uninstalls the backend before the next run installs it
    program = std::make_unique<runtime::ui::Program>(backend);
    StartProgram();
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

  ASSERT_EQ(before.size(), 3u);
  ASSERT_EQ(after.size(), 3u);
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

TEST_F(MainWindowLayoutTest, ColumnWidthsTheUserDraggedSurviveAResizeAndTheNextStart) {
  StartProgram();
  const std::vector<std::int32_t> designed = ColumnWidths();
  ASSERT_EQ(designed.size(), 3u);
  const std::vector<std::int32_t> dragged{designed[0] + 60, designed[1] - 40, designed[2] - 20};
  backend.SetUserColumnWidths(id, MainList, dragged);
  const Rect place = Place();
  Resize({place.x, place.y, place.width * 3 / 2, place.height});
  const std::vector<std::int32_t> widened = ColumnWidths();
  ASSERT_EQ(widened.size(), 3u);
  EXPECT_NEAR(double(widened[0]) / widened[1], double(dragged[0]) / dragged[1], 0.03)
      << "the columns share the extra width in the user's proportions, not the designed ones";
  EXPECT_GT(widened[0], dragged[0]);
  Close();

  Restart();
  EXPECT_EQ(ColumnWidths(), widened) << "kept with the window's place";
  EXPECT_EQ(Place().width, place.width * 3 / 2);
  // Dragged and closed at once: the close itself takes the widths.
  const std::vector<std::int32_t> dragged2{widened[0] - 50, widened[1] + 30, widened[2] + 20};
  backend.SetUserColumnWidths(id, MainList, dragged2);
  Close();
  Restart();
  EXPECT_EQ(ColumnWidths(), dragged2);
  Close();
}

TEST_F(MainWindowLayoutTest, KeptWidthsThatAreNotOnePositiveWidthAColumnAreIgnored) {
  StartProgram();
  const std::vector<std::int32_t> designed = ColumnWidths();
  Close();
  for (const char* kept :
       {"300,40", "300,40,40,40", "300,x,40", "0,40,40", "300,,40", "-5,40,40", "99999999999,40,40"}) {
    std::ofstream(kRecentFilesIniFile) << "[" << kColumnWidthsSection << "]\n"
                                       << kMainIniSection << "=" << kept << "\n";
    Restart();
    EXPECT_EQ(ColumnWidths(), designed) << kept;
    Close();
  }
}

}  // namespace
}  // namespace marlinden
