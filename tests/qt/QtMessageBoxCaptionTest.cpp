// A message box with a short text is still wide enough for its caption,
// which the window manager would otherwise cut in its title bar.
#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <atomic>

#include "qt/QtFixture.h"
#include "runtime/ui/Dialogs.h"

namespace runtime::qt {
namespace {

QMessageBox* OpenMessageBox() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

class QtMessageBoxCaptionTest : public testing::QtFixture {};

TEST_F(QtMessageBoxCaptionTest, AShortTextsBoxLeavesRoomForItsCaptionAndTheTitleBarsButtons) {
  std::atomic<std::uint32_t> answer{0};
  Start([&] {
    answer = ui::AskMessage({"Internet Mail", "Mail Send OK!", ui::Icon::Asterisk, ui::ButtonOk, ui::ButtonOk});
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = OpenMessageBox()) != nullptr; }));
  EXPECT_EQ(box->windowTitle(), "Internet Mail");
  EXPECT_EQ(box->icon(), QMessageBox::Information);
  QFont bold = box->font();
  bold.setBold(true);
  // A title bar's icon and three buttons take about 100 pixels.
  EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(box->windowTitle()) + 100);
  box->button(QMessageBox::Ok)->click();
  ASSERT_TRUE(PumpUntil([&] { return answer.load() != 0; }));
  EXPECT_EQ(answer.load(), static_cast<std::uint32_t>(ui::ButtonOk));
}

}  // namespace
}  // namespace runtime::qt
