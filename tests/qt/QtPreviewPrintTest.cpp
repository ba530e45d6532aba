// The Web Page List printed the way its user prints it: the preview
// question answered Yes, the report generated behind its progress window,
// the preview window's Print button pressed, Qt's own print dialog set to
// write a PDF file and accepted. The PDF is read back with pdftotext.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/WebPageList.h"
#include "qt/QtFixture.h"
#include "runtime/files/DataFile.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/ui/Dialogs.h"
#include "support/CommandOutput.h"
#include "window/Globals.h"

namespace runtime::qt {
namespace {

using testing_support::CommandOutput;

template <typename T>
T* Shown(const char* objectName = nullptr) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* found = qobject_cast<T*>(widget);
    if (found == nullptr || !found->isVisible()) continue;
    if (objectName == nullptr || found->objectName() == QLatin1String(objectName)) return found;
  }
  return nullptr;
}

// n bookmarks stored in reverse, their addresses in mixed case; returns
// them in the report's order (case-insensitive URL order).
std::vector<std::string> StoreBookmarks(int n) {
  auto file = DataFile::Make(Driver::Keyed, marlinden::BookmarkLayout(), "MARLINDEN");
  EXPECT_EQ(file->Create(), 0);
  EXPECT_EQ(file->Open(66), 0);
  std::vector<std::string> urls;
  for (int i = n - 1; i >= 0; --i) {
    char url[64];
    std::snprintf(url, sizeof url, i % 2 ? "HTTP://SITE%04d.example/" : "http://site%04d.example/", i);
    file->Record().Clear();
    file->Record().Field(marlinden::WebNum).Set(Value::Integer(i + 1));
    file->Record().Field(marlinden::WebUrl).SetText(url);
    EXPECT_EQ(file->Add(), 0);
    urls.insert(urls.begin(), url);
  }
  (void)file->Close();
  return urls;
}

// The print dialog's user: writes a PDF file named file and presses Print.
// Runs inside the dialog's own event loop, from a zero-delay timer that
// looks again until the dialog is the active modal window.
void AnswerPrintDialog(const QString& file, bool& answered) {
  QTimer::singleShot(0, [file, &answered] {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return AnswerPrintDialog(file, answered);
    auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    if (printers == nullptr || name == nullptr) {
      ADD_FAILURE() << "the print dialog has no printer list or file name";
      dialog->reject();
      return;
    }
    const int pdf = printers->findText(QPrintDialog::tr("Print to File (PDF)"));  // its own entry, after any printer
    EXPECT_GE(pdf, 0) << "the print dialog offers no PDF file";
    printers->setCurrentIndex(pdf);
    name->setText(file);
    answered = true;
    dialog->accept();  // as its Print button does
  });
}

class QtPreviewPrintTest : public testing::QtFixture {
 protected:
  testing_support::TempCurrentDirectory cwd;
};

TEST_F(QtPreviewPrintTest, ThePreviewsPrintButtonWritesTheWholeReportToThePdfChosenInThePrintDialog) {
  const std::vector<std::string> urls = StoreBookmarks(60);  // two pages of addresses
  const std::string pdf = cwd.Dir().File("printed.pdf");
  std::uint8_t response = 0;
  Start([&] { marlinden::RunProgram([&] { response = marlinden::WebPageList(); }); });

  QMessageBox* question = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (question = Shown<QMessageBox>()) != nullptr; }));
  EXPECT_EQ(question->windowTitle(), "Preview");
  question->button(QMessageBox::Yes)->click();

  QDialog* preview = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (preview = Shown<QDialog>("PrintPreview")) != nullptr; }));
  auto* print = preview->findChild<QPushButton*>(QStringLiteral("print"));
  ASSERT_NE(print, nullptr);
  bool answered = false;
  AnswerPrintDialog(QString::fromStdString(pdf), answered);
  print->click();
  EXPECT_TRUE(answered);
  ASSERT_TRUE(PumpUntil([&] { return program->WaitForEnd(std::chrono::milliseconds(0)); }));
  EXPECT_EQ(response, marlinden::ResponseCompleted);

  ASSERT_TRUE(std::filesystem::exists(pdf));
  const std::string text = CommandOutput("pdftotext -layout '" + pdf + "' -");
  std::vector<std::string> pages;
  for (std::size_t start = 0, end = 0; (end = text.find('\f', start)) != std::string::npos; start = end + 1)
    pages.push_back(text.substr(start, end - start));
  ASSERT_EQ(pages.size(), 2u) << text;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const std::string& page = pages[p];
    const std::size_t title = page.find("Web Page List");
    const std::size_t run = page.find("Run: ");
    const std::size_t number = page.find("Page: " + std::to_string(p + 1));
    const std::size_t heading = page.find("Web Address");
    EXPECT_NE(title, std::string::npos) << page;
    EXPECT_NE(run, std::string::npos) << page;
    EXPECT_NE(number, std::string::npos) << page;
    EXPECT_NE(heading, std::string::npos) << page;
    EXPECT_LT(title, run);
    EXPECT_LT(run, heading);
    EXPECT_LT(heading, page.find("://")) << "the heading stands above the addresses";
  }
  std::size_t at = 0;
  for (const std::string& url : urls) {
    const std::size_t found = text.find(url, at);
    ASSERT_NE(found, std::string::npos) << url << " missing or out of order";
    at = found + url.size();
  }
  const std::size_t total = text.find("Total Number Of Web Pages Listed", at);
  ASSERT_NE(total, std::string::npos) << "the total stands after the last address";
  EXPECT_NE(text.find("60", total), std::string::npos);
  EXPECT_EQ(text.find("Total Number", total + 1), std::string::npos) << "one total";
}

TEST_F(QtPreviewPrintTest, APreviewOpensAtTheZoomAskedOrFittedToItsWidth) {
  PageImageList list;
  PageImage page;
  page.runs.push_back({{}, {500, 500, 3000, 200}, TextAlign::Left, true, "zoomed"});
  ASSERT_TRUE(list.Add(page));
  Start([&] {
    for (const std::int16_t zoom : {150, 0}) (void)ui::Preview("Print Preview", list.Names(), zoom);
  });
  for (const bool custom : {true, false}) {
    QDialog* preview = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (preview = Shown<QDialog>("PrintPreview")) != nullptr; }));
    auto* pages = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(pages, nullptr);
    if (custom) {
      EXPECT_EQ(pages->zoomMode(), QPrintPreviewWidget::CustomZoom);
      EXPECT_DOUBLE_EQ(pages->zoomFactor(), 1.5);
    } else {
      EXPECT_EQ(pages->zoomMode(), QPrintPreviewWidget::FitToWidth);
    }
    preview->findChild<QPushButton*>(QStringLiteral("close"))->click();
    ASSERT_TRUE(PumpUntil([&] { return Shown<QDialog>("PrintPreview") != preview; }));
  }
}

}  // namespace
}  // namespace runtime::qt
