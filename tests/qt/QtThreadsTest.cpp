#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <atomic>

#include "qt/QtFixture.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {
namespace {

using testing::Control;
using ui::ControlKind;

ui::WindowDescription WithButton(std::string name) {
  ui::WindowDescription d;
  d.name = name;
  d.title = std::move(name);
  d.rect = {10, 10, 120, 60};
  d.controls.push_back(Control(ControlKind::Button, "Ask", {10, 10, 50, 14}));
  return d;
}

QMessageBox* OpenMessageBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

class QtThreadsTest : public testing::QtFixture {
 protected:
  QtWindow* WindowOfThread(std::int32_t thread) {
    for (ui::WindowId id : backend.Windows()) {
      if (backend.Find(id)->Thread() == thread) return backend.Find(id);
    }
    return nullptr;
  }
  void Click(QtWindow* window, std::int32_t control) {
    qobject_cast<QAbstractButton*>(window->ControlWidget(control))->click();
  }
};

TEST_F(QtThreadsTest, TwoRuntimeThreadsEachGetTheirOwnWindowsEvents) {
  Start([&] {
    ui::StartThread([&] { RunWindow(WithButton("second")); }, 25000);
    RunWindow(WithButton("first"));
  });
  ASSERT_TRUE(WaitForWindows(2));
  Click(WindowOfThread(2), 1);
  Click(WindowOfThread(1), 1);
  EXPECT_TRUE(WaitFor(ui::EventCode::Accepted, 1, 1));
  EXPECT_TRUE(WaitFor(ui::EventCode::Accepted, 1, 2));
  EXPECT_EQ(WindowOfThread(2)->Frame()->windowTitle(), "second");
  CloseWindows();
}

TEST_F(QtThreadsTest, AMessageBoxReturnsTheButtonWhileAnotherThreadsWindowGoesOn) {
  std::atomic<std::uint32_t> answer{0};
  Start([&] {
    ui::StartThread([&] { RunWindow(WithButton("other")); }, 0);
    RunWindow(WithButton("asking"), [&](ui::Window&, const ui::Event& e) {
      if (e.code == ui::EventCode::Accepted) {
        answer = ui::AskMessage(
            {"Delete", "Delete this bookmark?", ui::Icon::Question, ui::ButtonYes | ui::ButtonNo, ui::ButtonYes});
      }
      return ui::LoopAction::CarryOn;
    });
  });
  ASSERT_TRUE(WaitForWindows(2));
  Click(WindowOfThread(1), 1);
  QMessageBox* box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox()) != nullptr; }));
  EXPECT_EQ(box->text(), "Delete this bookmark?");
  EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Yes));

  Click(WindowOfThread(2), 1);  // the other thread is not held up by the question
  EXPECT_TRUE(WaitFor(ui::EventCode::Accepted, 1, 2));
  EXPECT_EQ(answer.load(), 0u);

  QTimer::singleShot(0, [] {
    if (QMessageBox* open = OpenMessageBox()) open->button(QMessageBox::No)->click();
  });
  EXPECT_TRUE(PumpUntil([&] { return answer.load() != 0; }));
  EXPECT_EQ(answer.load(), static_cast<std::uint32_t>(ui::ButtonNo));
  CloseWindows();
}

TEST_F(QtThreadsTest, APopupMenuReturnsTheChosenItemsNumberAcrossSubmenus) {
  std::atomic<std::int32_t> chosen{-1};
  Start([&] {
    RunWindow(WithButton("menu"), [&](ui::Window&, const ui::Event& e) {
      if (e.code == ui::EventCode::Accepted)
        chosen = ui::PopupMenu("Open|-|~Disabled|More{Sub one|Sub two}|Last", {5, 5});
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows();
  ASSERT_NE(window, nullptr);
  Click(window, 1);
  QMenu* menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; }));
  QMenu* sub = nullptr;
  for (QAction* action : menu->actions()) {
    if (action->menu() != nullptr) sub = action->menu();
  }
  ASSERT_NE(sub, nullptr);
  EXPECT_FALSE(menu->actions().at(2)->isEnabled());
  sub->actions().at(1)->trigger();  // "Sub two": items 1 Open, 2 Disabled, 3 Sub one, 4 Sub two
  menu->hide();
  EXPECT_TRUE(PumpUntil([&] { return chosen.load() != -1; }));
  EXPECT_EQ(chosen.load(), 4);
  CloseWindows();
}

TEST_F(QtThreadsTest, AQuestionStillOpenWhenTheProgramEndsIsDismissed) {
  std::atomic<std::uint32_t> answer{0};
  Start([&] {
    ui::StartThread(
        [&] {
          answer = ui::AskMessage(
              {"Left open", "Nobody answers", ui::Icon::None, ui::ButtonOk | ui::ButtonCancel, ui::ButtonOk});
        },
        0);
    RunWindow(WithButton("main"));
  });
  ASSERT_TRUE(WaitForWindows());
  ASSERT_TRUE(PumpUntil([] { return OpenMessageBox() != nullptr; }));
  CloseWindows();  // thread 1 ends: the program ends with the box still open
  EXPECT_TRUE(PumpUntil([&] { return answer.load() != 0; }));
  EXPECT_EQ(answer.load(), static_cast<std::uint32_t>(ui::ButtonCancel));
}

}  // namespace
}  // namespace runtime::qt
