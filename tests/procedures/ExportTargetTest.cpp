// Where the export writes: the name the "Save As" window proposes (the last
// export's, else bookmarks.html at home, never the file just imported), the
// question before an existing file is replaced, the companion's refusal of
// an existing file without --yes, and a run over a bookmark file that
// cannot be opened, which leaves the target alone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/RecentFiles.h"
#include "app/StartUp.h"
#include "procedures/ExportBookmarks.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportProcess.h"
#include "runtime/system/Halt.h"
#include "support/CliTest.h"
#include "support/ScopedHome.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

using testing_support::ScopedHome;

class ExportTargetTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void RunMain(const std::function<void()>& body) {
    Start([body] { RunProgram(body); });
    ASSERT_TRUE(program->WaitForEnd(60s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  // Imports the one-bookmark file, then opens the export window with the
  // import's name still in TransferFileName, as after an import in the same
  // run; returns the window's proposal and cancels.
  std::string ProposalAfterImport() {
    const std::string imported = Path("browser.html");
    WriteBytes(imported, "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
    RunMain([&] { ImportProcess(imported); });
    Start([imported] {
      RunProgram([imported] {
        TransferFileName.Set(imported);
        ExportBookmarks();
      });
    });
    const runtime::ui::WindowId window = driver.WaitForWindow(1);
    const std::string proposal = driver.Text(window, ExportEntry);
    driver.Click(window, ExportCancel);
    EXPECT_TRUE(program->WaitForEnd(30s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    return proposal;
  }

  // Opens the export window with target typed in and presses OK.
  runtime::ui::WindowId OkOn(const std::string& target) {
    Start([] { RunProgram([] { ExportBookmarks(); }); });
    const runtime::ui::WindowId window = driver.WaitForWindow(1);
    driver.Type(window, ExportEntry, target);
    driver.Click(window, ExportOk);
    return window;
  }

  std::string Path(const std::string& name) const { return cwd.Dir().File(name); }

  testing_support::TempCurrentDirectory cwd;
  testing_support::TempDir home;
  ScopedHome scopedHome{home.Path().string()};
};

TEST_F(ExportTargetTest, TheWindowProposesTheLastExportElseHomeNeverTheImportedFile) {
  EXPECT_EQ(ProposalAfterImport(), home.File("bookmarks.html"));

  const std::string exported = Path("exported.htm");
  OkOn(exported);
  ASSERT_TRUE(program->WaitForEnd(30s));
  program.reset();
  program = std::make_unique<runtime::ui::Program>(backend);
  ASSERT_NE(ReadBytes(exported).find("https://kept.example/"), std::string::npos);
  // Kept in a file of its own, and across runs.
  EXPECT_NE(ReadBytes(Path(kRecentFilesIniFile)).find(exported), std::string::npos);
  EXPECT_EQ(ReadBytes(Path(kWindowIniFile)).find(exported), std::string::npos);
  EXPECT_EQ(ProposalAfterImport(), exported);
}

TEST_F(ExportTargetTest, AnExistingFileIsReplacedOnlyAfterYes) {
  RunMain([this] {
    WriteBytes(Path("one.htm"), "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
    ImportProcess(Path("one.htm"));
  });
  const std::string target = Path("browser.html");
  const std::string previous = "<DT><H3>Folder</H3>\n<DT><A HREF=\"https://x.example/\" ICON=\"data:..\">X</A>\n";
  WriteBytes(target, previous);

  backend.MessageBoxes().Script(runtime::ui::ButtonNo);
  const runtime::ui::WindowId window = OkOn(target);
  ASSERT_TRUE(driver.WaitIdle(1));
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Export Bookmarks");
  EXPECT_EQ(boxes[0].text, target + " already exists. Do you want to replace it?");
  EXPECT_EQ(boxes[0].icon, runtime::ui::Icon::Question);
  EXPECT_EQ(boxes[0].buttons, runtime::ui::ButtonYes | runtime::ui::ButtonNo);
  EXPECT_EQ(ReadBytes(target), previous);
  // The window stays, the entry selected for another name.
  std::int32_t focus = 0;
  ASSERT_TRUE(driver.WithWindow(window, [&](runtime::ui::Window& w) { focus = w.Focus(); }));
  EXPECT_EQ(focus, ExportEntry);
  EXPECT_EQ(driver.Text(window, ExportEntry), target);

  backend.MessageBoxes().Script(runtime::ui::ButtonYes);
  driver.Click(window, ExportOk);
  ASSERT_TRUE(program->WaitForEnd(30s));
  EXPECT_EQ(backend.MessageBoxRequests().size(), 2u);
  EXPECT_NE(ReadBytes(target).find("<DT><A HREF=\"https://kept.example/\">Kept</A>"), std::string::npos);
}

// The save dialog is not asked to confirm (it would ask about the name
// before ".html" is added), so OK asks once, about the name it writes.
TEST_F(ExportTargetTest, AFileChosenInTheDialogIsAskedAboutOnce) {
  WriteBytes(Path("chosen.html"), "previous\n");
  backend.ScriptFileChoice(Path("chosen"));
  backend.MessageBoxes().Script(runtime::ui::ButtonNo);
  Start([] { RunProgram([] { ExportBookmarks(); }); });
  const runtime::ui::WindowId window = driver.WaitForWindow(1);
  driver.Click(window, ExportLookup);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.FileDialogRequests().size(), 1u);
  EXPECT_EQ(backend.FileDialogRequests()[0].flags & runtime::ui::ConfirmOverwrite, 0u);
  EXPECT_EQ(backend.FileDialogRequests()[0].initialPath, home.File("bookmarks.html"));
  driver.Click(window, ExportOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].text, Path("chosen.html") + " already exists. Do you want to replace it?");
  EXPECT_EQ(ReadBytes(Path("chosen.html")), "previous\n");
  driver.Click(window, ExportCancel);
}

// A dialog cancelled keeps the proposal instead of emptying the entry.
TEST_F(ExportTargetTest, ACancelledDialogKeepsTheProposal) {
  backend.ScriptFileChoice("");
  Start([] { RunProgram([] { ExportBookmarks(); }); });
  const runtime::ui::WindowId window = driver.WaitForWindow(1);
  driver.Click(window, ExportLookup);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(window, ExportEntry), home.File("bookmarks.html"));
  driver.Click(window, ExportCancel);
}

// A bookmark file that cannot be opened is told once; the run wrote
// nothing, so there is nothing to put in the target's place.
TEST_F(ExportTargetTest, ABookmarkFileThatCannotBeOpenedGivesOneMessageAndKeepsTheTarget) {
  WriteBytes(Path("MARLINDEN.db"), "these are not bookmarks");
  const std::string target = Path("out.htm");
  WriteBytes(target, "previous contents\n");
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  std::vector<std::string> halts;
  const runtime::HaltHandler previous =
      runtime::SetHaltHandler([&halts](int, std::string_view text) { halts.emplace_back(text); });
  RunMain([&] { ExportProcess(target); });
  runtime::SetHaltHandler(previous);
  EXPECT_EQ(halts, std::vector<std::string>{"File Access Error"});
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "File Access Error");
  EXPECT_EQ(ReadBytes(target), "previous contents\n");
  EXPECT_FALSE(std::filesystem::exists(ExportTemporaryPath(target)));
  EXPECT_EQ(ReadBytes(Path("MARLINDEN.db")), "these are not bookmarks");
}

// After a run the export file is named as declared again: a relative name
// is taken in the data folder, whatever the current directory is then.
TEST_F(ExportTargetTest, AfterARunTheExportFileNamesARelativeNameInTheDataFolder) {
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);  // "No Records"
  std::string diskName;
  RunMain([&] {
    ExportProcess(Path("first.htm"));
    TransferFileName.Set("relative.htm");
    diskName = BookmarkExportFile().DiskName();
  });
  EXPECT_EQ(diskName, Path("relative.htm"));
}

// marlinden-cli export over a file that is there already.
class CliExportTargetTest : public testing_support::CliTest {};

TEST_F(CliExportTargetTest, AnExistingFileIsReplacedOnlyWithYes) {
  WriteBytes(dir.File("in.htm"), "<DT><A HREF=\"https://b.example/\">Bee</A>\n");
  ASSERT_EQ(Cli("import " + dir.File("in.htm")).status, 0);
  const std::string target = dir.File("browser.html");
  WriteBytes(target, "a browser's own file\n");

  const auto refused = Cli("export " + target);
  EXPECT_EQ(refused.status, 73);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(Err(), "marlinden-cli: Export Bookmarks: " + target + " already exists; give --yes to replace it.\n");
  EXPECT_EQ(ReadBytes(target), "a browser's own file\n");

  const auto replaced = Cli("export " + target + " --yes");
  EXPECT_EQ(replaced.status, 0);
  EXPECT_EQ(replaced.out, "bookmarks exported: 1\n");
  EXPECT_NE(ReadBytes(target).find("https://b.example/"), std::string::npos);
}

}  // namespace
}  // namespace marlinden
