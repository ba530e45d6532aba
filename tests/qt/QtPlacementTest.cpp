// On the Qt backend: a window opens centred on the screen's available area
// with its whole frame on the screen, and one larger than the screen is cut
// to it (the offscreen platform reports a screen of its own size).
#include <QGuiApplication>
#include <QScreen>

#include "qt/QtFixture.h"

namespace runtime::qt {
namespace {

using testing::Control;
using ui::ControlKind;

ui::WindowDescription Sized(std::string name, std::int32_t width, std::int32_t height) {
  ui::WindowDescription d;
  d.name = name;
  d.title = std::move(name);
  d.rect = {0, 0, width, height};
  d.frame = ui::Frame::Resizable;
  d.controls.push_back(Control(ControlKind::Button, "OK", {4, 4, 50, 14}));
  return d;
}

class QtPlacementTest : public testing::QtFixture {};

QRect Available() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

TEST_F(QtPlacementTest, AWindowOpensCentredOnTheScreenWithItsFrameOnIt) {
  const QRect available = Available();
  ASSERT_FALSE(available.isEmpty());
  Start([&] { RunWindow(Sized("small", 200, 100)); });
  QtWindow* small = WaitForWindows(1);
  ASSERT_NE(small, nullptr);
  const QRect shown = small->Frame()->geometry();
  EXPECT_TRUE(available.contains(small->Frame()->frameGeometry())) << "the frame lies on the screen";
  const int slack = small->Units().AverageCharWidth() + small->Units().CharHeight();
  EXPECT_LE(std::abs(shown.center().x() - available.center().x()), slack);
  EXPECT_LE(std::abs(shown.center().y() - available.center().y()), 2 * slack) << "the title bar sits above";
  CloseWindows();
}

TEST_F(QtPlacementTest, AWindowLargerThanTheScreenIsCutToIt) {
  const QRect available = Available();
  ASSERT_FALSE(available.isEmpty());
  Start([&] { RunWindow(Sized("large", 4000, 4000)); });
  QtWindow* large = WaitForWindows(1);
  ASSERT_NE(large, nullptr);
  EXPECT_TRUE(available.contains(large->Frame()->geometry()));
  EXPECT_GT(large->Frame()->geometry().height(), available.height() / 2);
  CloseWindows();
}

}  // namespace
}  // namespace runtime::qt
