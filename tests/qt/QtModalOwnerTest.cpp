// On the Qt backend: a window held by a modal window of its thread is
// disabled for real (its widgets take no clicks) and enabled again when the
// modal window closes, the keyboard back on the control that had it; an entry takes no more bytes of UTF-8 than its
// picture allows, a paste included; a maximised window brought back to the
// front from the tray is maximised again.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "qt/QtFixture.h"
#include "qt/WindowFrame.h"

namespace runtime::qt {
namespace {

using testing::Control;
using ui::ControlKind;

// An entry (1) of "@s255" and a button (2).
ui::WindowDescription EntryForm(std::string name) {
  ui::WindowDescription d;
  d.name = name;
  d.title = std::move(name);
  d.rect = {10, 10, 200, 60};
  ui::ControlDescription entry = Control(ControlKind::Entry, "", {4, 4, 150, 12});
  entry.picture = "@s255";
  d.controls.push_back(entry);
  d.controls.push_back(Control(ControlKind::Button, "Open", {4, 24, 50, 14}));
  return d;
}

class QtModalOwnerTest : public testing::QtFixture {};

TEST_F(QtModalOwnerTest, TheOwnerIsDisabledWhileTheModalWindowIsOpen) {
  Start([&] {
    RunWindow(EntryForm("owner"), [&](ui::Window&, const ui::Event& e) {
      if (e.code == ui::EventCode::Accepted && e.control == 2) RunWindow(EntryForm("modal"));
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* owner = WaitForWindows(1);
  ASSERT_NE(owner, nullptr);
  EXPECT_TRUE(owner->Frame()->isEnabled());
  owner->ControlWidget(1)->setFocus();
  qobject_cast<QAbstractButton*>(owner->ControlWidget(2))->click();
  QtWindow* modal = WaitForWindows(2);
  ASSERT_NE(modal, nullptr);
  EXPECT_FALSE(owner->Frame()->isEnabled());
  EXPECT_FALSE(owner->ControlWidget(2)->isEnabled()) << "its widgets look disabled and take no clicks";
  EXPECT_TRUE(modal->Frame()->isEnabled());
  ASSERT_NE(modal->Frame()->windowHandle(), nullptr);
  EXPECT_EQ(modal->Frame()->windowHandle()->transientParent(), owner->Frame()->windowHandle())
      << "the desktop keeps the modal window above its owner";
  // The desktop keeps only a dialog above the window it is transient for.
  EXPECT_EQ(modal->Frame()->windowHandle()->type(), Qt::Dialog);

  ui::PostInput(ui::Event{ui::EventCode::CloseWindow, 0, backend.Windows().back(), {}});
  EXPECT_TRUE(PumpUntil([&] { return owner->Frame()->isEnabled(); })) << "enabled again when the modal window closes";
  EXPECT_EQ(owner->Frame()->focusWidget(), owner->ControlWidget(1)) << "the keyboard is back where it was";
  EXPECT_EQ(backend.Windows().size(), 1u);
  CloseWindows();
}

TEST_F(QtModalOwnerTest, APasteIntoAnEntryIsCutToTheBytesItsPictureHolds) {
  Start([&] { RunWindow(EntryForm("entry")); });
  QtWindow* window = WaitForWindows(1);
  ASSERT_NE(window, nullptr);
  auto* entry = qobject_cast<QLineEdit*>(window->ControlWidget(1));
  ASSERT_NE(entry, nullptr);

  // 200 "é" are 200 UTF-16 units but 400 bytes: 127 of them fit 255 bytes.
  QApplication::clipboard()->setText(QString(200, QChar(0x00E9)));
  entry->setFocus();
  entry->paste();
  EXPECT_EQ(entry->text(), QString(127, QChar(0x00E9)));
  EXPECT_EQ(entry->text().toUtf8().size(), 254);

  // Typed into the middle of a full entry: the typed character goes, the
  // rest stays.
  entry->setText(QString(255, QLatin1Char('a')));
  entry->setCursorPosition(10);
  QTest::keyClicks(entry, "b");
  EXPECT_EQ(entry->text(), QString(255, QLatin1Char('a')));

  entry->clear();
  QApplication::clipboard()->setText(QString(443, QLatin1Char('x')));
  entry->paste();
  EXPECT_EQ(entry->text(), QString(255, QLatin1Char('x')));
  QTest::keyClick(entry, Qt::Key_Return);
  const auto typed = WaitFor(ui::EventCode::Accepted, 1);
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->modelText, std::string(255, 'x'));
  CloseWindows();
}

TEST_F(QtModalOwnerTest, AMaximisedWindowMinimisedHiddenAndBroughtBackIsMaximised) {
  int clicks = 0;
  Start([&] {
    RunWindow(EntryForm("main"), [&](ui::Window& w, const ui::Event& e) {
      if (e.code != ui::EventCode::Accepted || e.control != 2) return ui::LoopAction::CarryOn;
      if (++clicks == 1) {
        w.SetState(ui::WindowState::Maximised);
      } else {
        // Back from the tray, as the main window does it.
        w.Unhide();
        w.SetState(w.StateBeforeIconised());
        w.BringToFront();
      }
      return ui::LoopAction::CarryOn;
    });
  });
  QtWindow* window = WaitForWindows(1);
  ASSERT_NE(window, nullptr);
  WindowFrame* frame = window->Frame();
  qobject_cast<QAbstractButton*>(window->ControlWidget(2))->click();
  ASSERT_TRUE(PumpUntil([&] { return frame->isMaximized(); }));
  // The user minimises it; the program hides it (in the tray).
  frame->showMinimized();
  ASSERT_TRUE(WaitFor(ui::EventCode::Iconised, 0));
  frame->hide();
  ui::PostInput(ui::Event{ui::EventCode::Accepted, 2, backend.Windows().front(), {}});
  const bool back = PumpUntil([&] { return frame->isVisible() && frame->isMaximized(); });
  ASSERT_TRUE(back) << frame->isVisible() << " " << int(frame->windowState());
  EXPECT_FALSE(frame->isMinimized());
  CloseWindows();
}

}  // namespace
}  // namespace runtime::qt
