#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <mutex>
#include <optional>

#include "qt/QtFixture.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {
namespace {

using testing::Control;
using ui::ControlKind;

class QtWindowTest : public testing::QtFixture {
 protected:
  static ui::WindowDescription Sample() {
    ui::WindowDescription d;
    d.name = "sample";
    d.title = "Bookmarks";
    d.rect = {20, 30, 200, 100};
    d.frame = ui::Frame::Resizable;
    d.controls.push_back(Control(ControlKind::Prompt, "&Name:", {4, 6, 30, 10}));              // 1
    d.controls.push_back(Control(ControlKind::Entry, "", {40, 4, 80, 12}));                    // 2
    d.controls.push_back(Control(ControlKind::Button, "&Go", {130, 4, 50, 14}));               // 3
    d.controls.push_back(Control(ControlKind::LinkText, "www.example.org", {4, 30, 90, 10}));  // 4
    d.controls.push_back(Control(ControlKind::Progress, "", {4, 50, 100, 8}));                 // 5
    d.controls.push_back(Control(ControlKind::MenuItem, "&Exit", {}));                         // 6
    d.controls[1].picture = "@s5";
    d.controls[0].fontSize = 16;
    return d;
  }

  // Pixels of a horizontal or vertical dialog-unit length in font, computed
  // from the font's metrics independently of the backend.
  static int Px(int units, int base, int per) { return (units * base + per / 2) / per; }
};

TEST_F(QtWindowTest, OpensAWidgetWithTitleGeometryFromDialogUnitsAndItsControls) {
  // The window opens where the runtime places it on the screen.
  std::mutex mutex;
  std::optional<ui::Rect> placed;
  Start([&] {
    RunWindow(Sample(), [&](ui::Window& w, const ui::Event& e) {
      if (e.code == ui::EventCode::OpenWindow) {
        std::lock_guard lock(mutex);
        placed = w.Position();
      }
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  WindowFrame* frame = window->Frame();
  ASSERT_TRUE(PumpUntil([&] { return frame->isVisible(); }));
  EXPECT_EQ(frame->windowTitle(), "Bookmarks");

  const QFontMetrics metrics(frame->font());
  const int charWidth =
      (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
  const int charHeight = metrics.height();
  ASSERT_TRUE(PumpUntil([&] {
    std::lock_guard lock(mutex);
    return placed.has_value();
  }));
  EXPECT_EQ(frame->geometry().topLeft(), QPoint(Px(placed->x, charWidth, 4), Px(placed->y, charHeight, 8)));
  EXPECT_EQ(frame->ClientArea()->size(), QSize(Px(200, charWidth, 4), Px(100, charHeight, 8)));

  auto* button = qobject_cast<QPushButton*>(window->ControlWidget(3));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "&Go");
  EXPECT_EQ(button->geometry(),
            QRect(Px(130, charWidth, 4), Px(4, charHeight, 8), Px(50, charWidth, 4), Px(14, charHeight, 8)));
  auto* prompt = qobject_cast<QLabel*>(window->ControlWidget(1));
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(prompt->font().pointSize(), 16) << "a control's own size";
  EXPECT_EQ(prompt->font().family(), frame->font().family()) << "in the window's face";
  auto* entry = qobject_cast<QLineEdit*>(window->ControlWidget(2));
  ASSERT_NE(entry, nullptr);
  // The prompt's mnemonic takes the keyboard to the entry after it.
  EXPECT_EQ(prompt->text(), "&Name:");
  EXPECT_EQ(prompt->buddy(), entry);
  EXPECT_EQ(entry->maxLength(), 5);
  EXPECT_EQ(entry->font().pointSize(), frame->font().pointSize()) << "the window's size without one";
  ASSERT_NE(qobject_cast<QProgressBar*>(window->ControlWidget(5)), nullptr);
  ASSERT_NE(window->ControlWidget(4), nullptr);
  EXPECT_EQ(window->ControlWidget(4)->cursor().shape(), Qt::PointingHandCursor);
  ASSERT_NE(frame->menuWidget(), nullptr);
  const auto actions = frame->menuBar()->actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions.front()->text(), "&Exit");
  CloseWindows();
}

TEST_F(QtWindowTest, ClickingAButtonOrAMenuItemReachesTheRuntimeThreadAsAccepted) {
  Start([&] { RunWindow(Sample()); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  qobject_cast<QAbstractButton*>(window->ControlWidget(3))->click();
  const auto clicked = WaitFor(ui::EventCode::Accepted, 3);
  ASSERT_TRUE(clicked);
  EXPECT_EQ(clicked->thread, 1);
  window->Frame()->menuBar()->actions().front()->trigger();
  EXPECT_TRUE(WaitFor(ui::EventCode::Accepted, 6));
  CloseWindows();
}

TEST_F(QtWindowTest, TypedTextArrivesWithTheAcceptedEventAndReachesTheModel) {
  Start([&] { RunWindow(Sample()); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* entry = qobject_cast<QLineEdit*>(window->ControlWidget(2));
  QTest::keyClicks(entry, "hello world");  // the picture allows 5 characters
  QTest::keyClick(entry, Qt::Key_Return);
  const auto typed = WaitFor(ui::EventCode::Accepted, 2);
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->event.data.text, "hello");
  EXPECT_EQ(typed->modelText, "hello");
  EXPECT_TRUE(log.All(ui::EventCode::NewSelection, 2).empty()) << "an ordinary entry reports when it is left";
  CloseWindows();
}

TEST_F(QtWindowTest, AnEntryThatReportsEditsPostsEachEditWhereverTheCursorIs) {
  ui::WindowDescription d = Sample();
  d.controls[1].reportsEdits = true;
  Start([&] { RunWindow(d); });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  auto* entry = qobject_cast<QLineEdit*>(window->ControlWidget(2));
  QTest::keyClick(entry, Qt::Key_A);
  entry->setCursorPosition(0);
  QTest::keyClick(entry, Qt::Key_B);
  QTest::keyClick(entry, Qt::Key_Return);
  ASSERT_TRUE(WaitFor(ui::EventCode::Accepted, 2));
  std::vector<std::string> edits;
  for (const auto& taken : log.All(ui::EventCode::NewSelection, 2)) edits.push_back(taken.event.data.text.value_or(""));
  EXPECT_EQ(edits, (std::vector<std::string>{"a", "ba"}));
  EXPECT_EQ(log.All(ui::EventCode::NewSelection, 2).back().modelText, "ba");
  CloseWindows();
}

TEST_F(QtWindowTest, TheCloseButtonAsksTheRuntimeAndARefusedCloseKeepsTheWindow) {
  int closes = 0;
  Start([&] {
    RunWindow(Sample(), [&](ui::Window&, const ui::Event& e) {
      if (e.code != ui::EventCode::CloseWindow) return ui::LoopAction::CarryOn;
      return ++closes == 1 ? ui::LoopAction::Cycle : ui::LoopAction::CarryOn;  // refuse the first
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  const ui::WindowId id = backend.Windows().front();
  window->Frame()->close();
  ASSERT_TRUE(WaitFor(ui::EventCode::CloseWindow, 0));
  // Events are taken in order: once a later click is taken, the refused
  // close has been handled completely.
  qobject_cast<QAbstractButton*>(window->ControlWidget(3))->click();
  ASSERT_TRUE(WaitFor(ui::EventCode::Accepted, 3));
  EXPECT_NE(backend.Find(id), nullptr);
  EXPECT_TRUE(window->Frame()->isVisible());
  window->Frame()->close();
  EXPECT_TRUE(PumpUntil([&] { return backend.Find(id) == nullptr; }));
}

// The model's maximum size bounds the frame (and the size it opens at); a
// transparent control leaves its background unfilled, colour or not.
TEST_F(QtWindowTest, AMaximumSizeAndTransparencyReachTheWidgets) {
  constexpr ui::Colour kYellow = 0x00FFFF;
  Start([&] {
    RunWindow(Sample(), [](ui::Window& w, const ui::Event& e) {
      if (e.code == ui::EventCode::OpenWindow) {
        w.SetMaximumSize(150, 80);
        w.Find(1)->SetColours(ui::kNoColour, kYellow);
        w.Find(1)->SetTransparent(true);
        w.Find(4)->SetColours(ui::kNoColour, kYellow);
      }
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  WindowFrame* frame = window->Frame();
  const DialogUnits& units = window->Units();
  const QSize maximum(units.XToPixels(150), units.YToPixels(80) + frame->ClientTop());
  // Control 4, the last changed, is filled once the change has arrived.
  ASSERT_TRUE(PumpUntil([&] {
    return frame->isVisible() && frame->maximumSize() == maximum && window->ControlWidget(4)->autoFillBackground();
  }));
  EXPECT_LE(frame->width(), maximum.width());
  EXPECT_LE(frame->height(), maximum.height());
  EXPECT_FALSE(window->ControlWidget(1)->autoFillBackground());
  CloseWindows();
}

TEST_F(QtWindowTest, NonsenseGeometryStillOpensWhereTheClampedDescriptionPutsIt) {
  ui::WindowDescription far = Sample();
  far.rect = {-50000, 90000, 0, -20};       // clamped to the coordinate range; natural size
  far.controls[2].rect = {-10, -10, 0, 0};  // the button at its natural size
  ui::WindowDescription huge = Sample();
  huge.rect = {0, 0, 1'000'000, 1'000'000};
  Start([&] {
    ui::StartThread([&] { RunWindow(huge); }, 0);
    RunWindow(far);
  });
  ASSERT_TRUE(WaitForWindows(2));
  QtWindow* farShown = nullptr;
  QtWindow* hugeShown = nullptr;
  for (ui::WindowId id : backend.Windows()) {
    QtWindow* w = backend.Find(id);
    (w->Thread() == 1 ? farShown : hugeShown) = w;
  }
  ASSERT_TRUE(farShown && hugeShown);
  const DialogUnits& units = farShown->Units();
  // Within a unit: the window system may nudge a window this far out.
  EXPECT_NEAR(farShown->Frame()->geometry().x(), units.XToPixels(ui::kMinCoordinate), units.XToPixels(1));
  EXPECT_NEAR(farShown->Frame()->geometry().y(), units.YToPixels(ui::kMaxCoordinate), units.YToPixels(1));
  EXPECT_GT(farShown->Frame()->ClientArea()->height(), 0);
  QWidget* button = farShown->ControlWidget(3);
  EXPECT_EQ(button->pos(), QPoint(units.XToPixels(-10), units.YToPixels(-10)));
  EXPECT_FALSE(button->size().isEmpty());
  // Never larger than the screen.
  const QSize screen = QGuiApplication::primaryScreen()->availableVirtualSize();
  EXPECT_LE(hugeShown->Frame()->width(), screen.width());
  EXPECT_LE(hugeShown->Frame()->height(), screen.height());
  EXPECT_TRUE(hugeShown->Frame()->isVisible());
  CloseWindows();
}

}  // namespace
}  // namespace runtime::qt
