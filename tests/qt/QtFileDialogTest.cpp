#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "qt/QtFixture.h"
#include "runtime/ui/Dialogs.h"
#include "support/TempDir.h"

namespace runtime::qt {
namespace {

QFileDialog* OpenFileDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog != nullptr && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

class QtFileDialogTest : public testing::QtFixture {
 protected:
  // Asks for a file on thread 1; answer holds the path once it returned.
  void Ask(std::uint32_t flags) {
    Start([this, flags] {
      const std::string chosen = ui::FileDialog(ui::FileDialogMode::Save, "Export Bookmarks", dir.File("bookmarks.htm"),
                                                "HTML files|*.htm;*.html|All|*.*", flags);
      std::lock_guard lock(mutex);
      answer = chosen;
      answered = true;
    });
  }
  bool Answered() {
    std::lock_guard lock(mutex);
    return answered;
  }

  testing_support::TempDir dir;
  std::mutex mutex;
  std::string answer;  // guarded by mutex
  bool answered = false;
};

TEST_F(QtFileDialogTest, TheChosenPathComesBackAndKeepDirectoryLeavesTheCurrentDirectory) {
  const QString before = QDir::currentPath();
  Ask(ui::KeepDirectory);
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (dialog = OpenFileDialog()) != nullptr; }));
  EXPECT_EQ(dialog->windowTitle(), "Export Bookmarks");
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  ASSERT_EQ(dialog->nameFilters().size(), 2);
  EXPECT_TRUE(dialog->nameFilters().front().startsWith("HTML files"));
  EXPECT_EQ(QFileInfo(dialog->selectedFiles().value(0)).fileName(), "bookmarks.htm");
  static_cast<QDialog*>(dialog)->accept();  // as the dialog's own Save button does
  ASSERT_TRUE(PumpUntil([&] { return Answered(); }));
  EXPECT_EQ(std::filesystem::path(answer), std::filesystem::path(dir.File("bookmarks.htm")));
  EXPECT_EQ(QDir::currentPath(), before);
  ASSERT_TRUE(PumpUntil([&] { return program->WaitForEnd(std::chrono::milliseconds(0)); }));
}

TEST_F(QtFileDialogTest, ACancelledDialogAnswersAnEmptyPath) {
  Ask(ui::KeepDirectory);
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (dialog = OpenFileDialog()) != nullptr; }));
  dialog->reject();
  ASSERT_TRUE(PumpUntil([&] { return Answered(); }));
  EXPECT_EQ(answer, "");
  ASSERT_TRUE(PumpUntil([&] { return program->WaitForEnd(std::chrono::milliseconds(0)); }));
}

}  // namespace
}  // namespace runtime::qt
