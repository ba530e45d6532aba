// The print preview's page keys on the Qt backend: Home and End go to the
// first and the last page wherever the focus is in the preview window, and
// Page Up, Page Down, Previous and Next step one page from there, the page
// line following.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <string>

#include "qt/QtFixture.h"
#include "runtime/reports/PageImage.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/ui/Dialogs.h"

namespace runtime::qt {
namespace {

QDialog* ShownPreview() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(widget);
    if (dialog != nullptr && dialog->isVisible() && dialog->objectName() == QLatin1String("PrintPreview"))
      return dialog;
  }
  return nullptr;
}

class QtPreviewKeysTest : public testing::QtFixture {};

TEST_F(QtPreviewKeysTest, HomeEndAndThePageKeysTurnPagesWhereverTheFocusIs) {
  constexpr int kPages = 5;
  PageImageList list;
  for (int i = 1; i <= kPages; ++i) {
    PageImage page;
    page.runs.push_back({{}, {500, 500, 3000, 200}, TextAlign::Left, false, "page " + std::to_string(i)});
    ASSERT_TRUE(list.Add(page));
  }
  Start([&] { (void)ui::Preview("Print Preview", list.Names()); });
  QDialog* preview = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (preview = ShownPreview()) != nullptr; }));
  auto* pages = preview->findChild<QPrintPreviewWidget*>();
  auto* line = preview->findChild<QLabel*>(QStringLiteral("page"));
  auto* previous = preview->findChild<QPushButton*>(QStringLiteral("previous"));
  auto* next = preview->findChild<QPushButton*>(QStringLiteral("next"));
  ASSERT_TRUE(pages != nullptr && line != nullptr && previous != nullptr && next != nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowActive(preview));
  ASSERT_TRUE(PumpUntil([&] { return pages->pageCount() == kPages; }));

  const auto at = [&](int page) {
    EXPECT_EQ(pages->currentPage(), page);
    EXPECT_EQ(line->text().toStdString(), "Page " + std::to_string(page) + " of " + std::to_string(kPages));
  };
  for (QWidget* focus : {static_cast<QWidget*>(pages), static_cast<QWidget*>(next)}) {
    SCOPED_TRACE(focus->metaObject()->className());
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_End);
    at(kPages);
    next->click();  // already the last page
    at(kPages);
    previous->click();
    at(kPages - 1);
    QTest::keyClick(focus, Qt::Key_Home);
    at(1);
    previous->click();  // already the first page
    at(1);
    next->click();
    at(2);
    QTest::keyClick(focus, Qt::Key_PageDown);
    at(3);
    QTest::keyClick(focus, Qt::Key_PageUp);
    QTest::keyClick(focus, Qt::Key_PageUp);
    at(1);
    QTest::keyClick(focus, Qt::Key_PageUp);  // already the first page
    at(1);
  }
  preview->findChild<QPushButton*>(QStringLiteral("close"))->click();
  ASSERT_TRUE(PumpUntil([&] { return ShownPreview() == nullptr; }));
}

}  // namespace
}  // namespace runtime::qt
