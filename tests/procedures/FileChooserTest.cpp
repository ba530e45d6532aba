// The import's and the export's file dialogs: the file types they offer and
// the folder they start in (the one a file was last chosen in, kept across
// runs, else the home folder, never the data folder).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/AppTestSupport.h"
#include "app/RecentFiles.h"
#include "app/StartUp.h"
#include "procedures/ExportBookmarks.h"
#include "procedures/ImportBookmarks.h"
#include "support/ScopedHome.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing_support::ScopedHome;

class FileChooserTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Opens the procedure's window, presses its lookup button once for each
  // scripted answer, then its Cancel; returns the entry's text at the end.
  std::string Choose(void (*procedure)(), std::int32_t lookup, std::int32_t entry, std::int32_t cancel,
                     const std::vector<std::string>& answers, const std::optional<std::string>& typed = {}) {
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    Start([procedure] { RunProgram(procedure); });
    const runtime::ui::WindowId window = driver.WaitForWindow(1);
    if (typed) driver.Type(window, entry, *typed);
    for (const std::string& answer : answers) {
      backend.ScriptFileChoice(answer);
      driver.Click(window, lookup);
      EXPECT_TRUE(driver.WaitIdle(1));
    }
    const std::string text = driver.Text(window, entry);
    driver.Click(window, cancel);
    EXPECT_TRUE(program->WaitForEnd(30s));
    return text;
  }

  std::string StartedIn(std::size_t request) const {
    const auto requests = backend.FileDialogRequests();
    return request < requests.size() ? requests[request].initialPath : "(no dialog)";
  }

  void KeepInRecent(const char* key, const std::string& value) {
    std::ofstream(cwd.Dir().File(kRecentFilesIniFile)) << "[" << kRecentFilesSection << "]\n"
                                                       << key << "=" << value << "\n";
  }

  testing_support::TempCurrentDirectory cwd;  // the data folder
  testing_support::TempDir home;
  ScopedHome scopedHome{home.Path().string()};
};

TEST_F(FileChooserTest, TheImportOffersBookmarkFilesAndStartsWhereAFileWasLastChosen) {
  const fs::path saved = home.Path() / "Saved";
  fs::create_directory(saved);
  Choose(ImportBookmarks, ImportLookup, ImportEntry, ImportCancel, {(saved / "Marks.HTML").string(), ""});
  const auto requests = backend.FileDialogRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].masksText,
            "Bookmark files|*.html;*.htm|Browsers' bookmark stores|Bookmarks;places.sqlite|All Files|*.*");
  ASSERT_FALSE(requests[0].masks.empty());
  EXPECT_EQ(requests[0].masks[0], (runtime::ui::FileMask{"Bookmark files", "*.html;*.htm"}));
  EXPECT_EQ(requests[0].initialPath, home.Path().string()) << "nothing kept: the home folder";
  EXPECT_EQ(requests[1].initialPath, saved.string()) << "the folder just chosen in";

  // Kept across runs; a cancelled dialog keeps it too.
  Choose(ImportBookmarks, ImportLookup, ImportEntry, ImportCancel, {""});
  EXPECT_EQ(StartedIn(2), saved.string());

  // A kept folder that is gone, or the data folder, gives the home folder.
  fs::remove(saved);
  Choose(ImportBookmarks, ImportLookup, ImportEntry, ImportCancel, {""});
  EXPECT_EQ(StartedIn(3), home.Path().string());
  KeepInRecent(kImportFolderKey, cwd.Dir().Path().string());
  Choose(ImportBookmarks, ImportLookup, ImportEntry, ImportCancel, {""});
  EXPECT_EQ(StartedIn(4), home.Path().string());
}

TEST_F(FileChooserTest, TheExportProposesAnHtmlNameInTheFolderLastChosen) {
  const fs::path saved = home.Path() / "Saved";
  fs::create_directory(saved);
  // The proposal at first is bookmarks.html at home; a name chosen without
  // an ending gets ".html" and keeps its letter case.
  EXPECT_EQ(Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {(saved / "MyMarks").string()}),
            (saved / "MyMarks.html").string());
  ASSERT_EQ(backend.FileDialogRequests().size(), 1u);
  EXPECT_EQ(backend.FileDialogRequests()[0].masksText, "Bookmark files|*.html;*.htm");
  EXPECT_EQ(StartedIn(0), home.File("bookmarks.html"));

  // The next run proposes bookmarks.html in the folder chosen in; a name
  // typed without a folder, or in a folder that is not there, starts the
  // dialog there with that name.
  EXPECT_EQ(Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {""}),
            (saved / "bookmarks.html").string());
  EXPECT_EQ(StartedIn(1), (saved / "bookmarks.html").string());
  Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {""}, "list.htm");
  EXPECT_EQ(StartedIn(2), (saved / "list.htm").string());
  Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {""}, (home.Path() / "gone" / "x.html").string());
  EXPECT_EQ(StartedIn(3), (saved / "x.html").string());
  // A name in an existing folder starts the dialog on that name.
  Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {""}, home.File("other.html"));
  EXPECT_EQ(StartedIn(4), home.File("other.html"));
}

TEST_F(FileChooserTest, TheDataFolderIsNeverWhereAChooserStarts) {
  KeepInRecent(kExportFolderKey, cwd.Dir().Path().string());
  EXPECT_EQ(Choose(ExportBookmarks, ExportLookup, ExportEntry, ExportCancel, {""}, "list.htm"), "list.htm");
  EXPECT_EQ(StartedIn(0), home.File("list.htm"));
}

// Escape in the import's and the export's windows is their Cancel: the
// window closes without a file dialog or a message.
TEST_F(FileChooserTest, EscapeClosesTheImportAndTheExportWindow) {
  for (void (*procedure)() : {&ImportBookmarks, &ExportBookmarks}) {
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    Start([procedure] { RunProgram(procedure); });
    const runtime::ui::WindowId window = driver.WaitForWindow(1);
    driver.PressKey(window, procedure == &ImportBookmarks ? ImportEntry : ExportEntry, runtime::ui::KeyCode::Esc);
    EXPECT_TRUE(program->WaitForEnd(30s));
  }
  EXPECT_EQ(backend.FileDialogRequests().size(), 0u);
  EXPECT_EQ(backend.MessageBoxRequests().size(), 0u);
}

}  // namespace
}  // namespace marlinden
