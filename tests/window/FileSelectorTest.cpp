// The file selector: the mask list it builds, what it asks the runtime's
// file dialog, and the current directory around a dialog in which the user
// navigated elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/ui/DialogRequests.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/FileSelector.h"

namespace marlinden {
namespace {

namespace fs = std::filesystem;

TEST(FileSelectorMasksTest, MaskListsAreBuiltFromClippedPairs) {
  struct Step {
    bool set;  // SetMask rather than AddMask
    std::string description;
    std::string pattern;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::string masks;
  };
  const std::vector<Case> cases = {
      {"import", {{true, "HTML files", "*.htm"}, {false, "All Files", "*.*"}}, "HTML files|*.htm|All Files|*.*"},
      {"e-mail attachment",
       {{true, "All Files (*.*)", "*.*"},
        {false, "Zip files (*.zip)", "*.zip"},
        {false, "Excel Files (*.xls)", "*.xls"},
        {false, "Word Files (*.doc)", "*.doc"}},
       "All Files (*.*)|*.*|Zip files (*.zip)|*.zip|Excel Files (*.xls)|*.xls|Word Files (*.doc)|*.doc"},
      {"trailing spaces", {{true, "Text   ", "*.txt  "}, {false, "Log ", "*.log "}}, "Text|*.txt|Log|*.log"},
      {"first piece kept as given", {{true, "Text ", "*.txt "}}, "Text|*.txt "},
      {"empty pieces add nothing", {{true, "", ""}, {false, "A", "*.a"}, {false, "  ", ""}}, "A|*.a"},
      {"set replaces", {{true, "A", "*.a"}, {true, "B", "*.b"}}, "B|*.b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FileSelector selector;
    selector.Init();
    for (const Step& step : c.steps) {
      if (step.set) {
        selector.SetMask(step.description, step.pattern);
      } else {
        selector.AddMask(step.description, step.pattern);
      }
    }
    EXPECT_EQ(selector.MASKSTRING, c.masks);
  }
}

TEST(FileSelectorMasksTest, ALongMaskListIsCutTo254Characters) {
  FileSelector selector;
  selector.Init();
  std::string all;
  for (int i = 0; i < 30; ++i) {
    selector.AddMask("Description", "*.abc");
    all += (all.empty() ? "" : "|") + std::string("Description|*.abc");
  }
  EXPECT_EQ(selector.MASKSTRING, all.substr(0, 254));
}

// A dialog in which the user navigates to another directory before choosing.
class NavigatingBackend : public runtime::ui::HeadlessBackend {
 public:
  std::string ShowFileDialog(const runtime::ui::FileDialogRequest& request) override {
    shownIn = fs::current_path();
    if (!navigateTo.empty()) fs::current_path(navigateTo);
    return HeadlessBackend::ShowFileDialog(request);
  }
  fs::path navigateTo;
  fs::path shownIn;
};

class FileSelectorTest : public runtime::ui::testing::WindowFixture<NavigatingBackend> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    original = fs::current_path();
    for (const char* name : {"start", "default", "elsewhere"}) fs::create_directory(dir.Path() / name);
    fs::current_path(dir.Path() / "start");
    selector.Init();
  }
  void TearDown() override {
    WindowFixture::TearDown();
    fs::current_path(original);
  }

  // Asks on runtime thread 1; returns the answer.
  std::string AskOnRuntimeThread(KeepDirectory keep) {
    std::string answer;
    Start([&] { answer = selector.Ask(keep); });
    EXPECT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
    return answer;
  }

  testing_support::TempDir dir;
  fs::path original;
  FileSelector selector;
};

TEST_F(FileSelectorTest, WithoutMasksTheDialogOffersAllFiles) {
  backend.ScriptFileChoice("/data/bookmarks.htm");
  selector.DEFAULTFILE = "bookmarks.htm";
  EXPECT_EQ(AskOnRuntimeThread(KeepDirectory::No), "/data/bookmarks.htm");
  const auto requests = backend.FileDialogRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].masksText, "All Files|*.*");
  EXPECT_EQ(requests[0].title, "Select A File");
  EXPECT_EQ(requests[0].initialPath, "bookmarks.htm");
  EXPECT_EQ(requests[0].mode, runtime::ui::FileDialogMode::Open);
}

TEST_F(FileSelectorTest, ACancelledDialogAnswersEmpty) {
  backend.ScriptFileChoice("");
  selector.SetMask("HTML files", "*.htm");
  selector.FLAGS = SelectorSave | SelectorLongNames;
  EXPECT_EQ(AskOnRuntimeThread(KeepDirectory::No), "");
  ASSERT_EQ(backend.FileDialogRequests().size(), 1u);
  EXPECT_EQ(backend.FileDialogRequests()[0].masksText, "HTML files|*.htm");
  EXPECT_EQ(backend.FileDialogRequests()[0].mode, runtime::ui::FileDialogMode::Save);
}

TEST_F(FileSelectorTest, KeepingTheDirectoryUndoesTheUsersNavigation) {
  backend.ScriptFileChoice("chosen.htm");
  backend.navigateTo = dir.Path() / "elsewhere";
  selector.DEFAULTDIRECTORY = (dir.Path() / "default").string();
  AskOnRuntimeThread(KeepDirectory::Yes);
  EXPECT_EQ(backend.shownIn, dir.Path() / "default") << "the dialog opens in the default directory";
  EXPECT_EQ(fs::current_path(), dir.Path() / "start");
  EXPECT_EQ(selector.SAVEPATH, (dir.Path() / "start").string());
  ASSERT_EQ(backend.FileDialogRequests().size(), 1u);
  EXPECT_NE(backend.FileDialogRequests()[0].flags & runtime::ui::KeepDirectory, 0u);
}

TEST_F(FileSelectorTest, WithoutKeepingTheDirectoryTheNavigationStays) {
  backend.ScriptFileChoice("chosen.htm");
  backend.navigateTo = dir.Path() / "elsewhere";
  AskOnRuntimeThread(KeepDirectory::No);
  EXPECT_EQ(backend.shownIn, dir.Path() / "start");
  EXPECT_EQ(fs::current_path(), dir.Path() / "elsewhere");
}

}  // namespace
}  // namespace marlinden
