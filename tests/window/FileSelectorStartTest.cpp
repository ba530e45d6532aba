// Where the file selector asks the dialog to start: in DEFAULTDIRECTORY when
// set (with DEFAULTFILE in it), whatever the current directory is.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/FileSelector.h"

namespace marlinden {
namespace {

namespace fs = std::filesystem;

class FileSelectorStartTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  std::string StartOf(const std::string& directory, const std::string& file) {
    FileSelector selector;
    selector.Init();
    selector.DEFAULTDIRECTORY = directory;
    selector.DEFAULTFILE = file;
    backend.ScriptFileChoice("");
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    Start([&] { (void)selector.Ask(KeepDirectory::Yes); });
    EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
    const auto requests = backend.FileDialogRequests();
    return requests.empty() ? "(no dialog)" : requests.back().initialPath;
  }

  testing_support::TempDir dir;
};

TEST_F(FileSelectorStartTest, TheDialogStartsInTheDefaultDirectory) {
  const std::string folder = dir.Path().string();
  EXPECT_EQ(StartOf(folder, ""), folder);
  EXPECT_EQ(StartOf(folder, "marks.html"), (dir.Path() / "marks.html").string());
  EXPECT_EQ(StartOf("", "marks.html"), "marks.html");
  EXPECT_EQ(StartOf("", ""), "");
}

}  // namespace
}  // namespace marlinden
