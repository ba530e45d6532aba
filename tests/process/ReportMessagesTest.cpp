// The report's display strings and its legacy messages and check-open, with
// scripted message boxes and a halt that is observed instead of ending.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "process/LegacyMessages.h"
#include "process/ReportDisplayStrings.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/Directory.h"
#include "runtime/system/Halt.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "support/TempDir.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;

class ReportMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = runtime::SetHaltHandler([this](int code, std::string_view text) {
      haltCode = code;
      haltText = std::string(text);
    });
  }
  void TearDown() override { runtime::SetHaltHandler(previous_); }

  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  testing_support::TempDir dir;
  std::optional<int> haltCode;
  std::string haltText;

 private:
  runtime::HaltHandler previous_;
};

TEST_F(ReportMessagesTest, DisplayStringsTakeTheirDefaultsOrTheIniValues) {
  LoadDisplayStrings(dir.File("REPORTS.INI"), "Do you wish to PREVIEW this Report?", "Preview", "");
  EXPECT_EQ(DisplayStrings.ProgWinTitlePrvw.Clipped(), "Generating Report");
  EXPECT_EQ(DisplayStrings.ProgWinTitlePrnt.Clipped(), "Printing Report");
  EXPECT_EQ(DisplayStrings.ProgWinPctText.Clipped(), "% Completed");
  EXPECT_EQ(DisplayStrings.AskPrvwDialogTitle.Clipped(), "Preview");
  EXPECT_EQ(DisplayStrings.AskPrvwDialogText.Clipped(), "Do you wish to PREVIEW this Report?");
  EXPECT_EQ(DisplayStrings.CancelPrvwPartialText.Clipped(),
            "Report Cancellation Requested!||Preview Report generated so far?");
  EXPECT_EQ(DisplayStrings.NoDfltPrtrText.Clipped().size(), 218u);
  EXPECT_EQ(DisplayStrings.NothingToPrvwText.Clipped(), "Nothing to Preview.");
  EXPECT_EQ(DisplayStrings.NothingToPrntText.Clipped(), "Nothing to Print.");
  EXPECT_EQ(DisplayStrings.NothingToPrntTitle.Clipped(), "NOTE...");
  EXPECT_EQ(DisplayStrings.DynLblErrText2.Clipped(), "||Does not support paper type:");

  std::ofstream(dir.File("REPORTS.INI")) << "[Display Strings 2.0]\nNothingToPrvwText=Nichts.\n";
  LoadDisplayStrings(dir.File("REPORTS.INI") + "   ", "q", "t", "user");
  EXPECT_EQ(DisplayStrings.NothingToPrvwText.Clipped(), "Nichts.");
  EXPECT_EQ(DisplayStrings.ProgWinUsrText.Clipped(), "user");

  // An empty name reads WIN.INI in the current directory.
  const std::string before = runtime::CurrentDirectory();
  ASSERT_EQ(runtime::SetCurrentDirectory(dir.Path().string()), 0);
  std::ofstream(dir.File("WIN.INI")) << "[DISPLAY STRINGS 2.0]\nNothingToPrntText=From win.\n";
  LoadDisplayStrings("  ", "q", "t", "");
  EXPECT_EQ(DisplayStrings.NothingToPrntText.Clipped(), "From win.");
  ASSERT_EQ(runtime::SetCurrentDirectory(before), 0);
}

TEST_F(ReportMessagesTest, EveryLegacyMessageSaysWhatItShouldAndEndsWhenItShould) {
  struct Case {
    std::int32_t id;
    std::uint32_t answer;
    std::string title;
    std::string text;
    std::int32_t result;
    std::string halt;  // empty: the program goes on
  };
  const std::string d = "File Not Found (2)";
  const std::vector<Case> cases = {
      {1, ButtonOk, "Invalid File", "Error: (" + d + ") accessing Marlinden.  Press OK to end this application.", 0,
       "Invalid File!"},
      {2, ButtonYes, "Invalid Key", "Marlinden key file is invalid.  Do you want to rebuild the key?", 2, ""},
      {2, ButtonNo, "Invalid Key", "Marlinden key file is invalid.  Do you want to rebuild the key?", 0,
       "Invalid Key!"},
      {3, ButtonOk, "Key Rebuild Error",
       "Error: (" + d + ") repairing key for Marlinden.  Press OK to end this application.", 0,
       "Error Rebuilding Key!"},
      {4, ButtonOk, "File Creation Error", "Error: (" + d + ") creating Marlinden.  Press OK to end this application.",
       0, "File Creation Error!"},
      {5, ButtonOk, "File Creation Error",
       "Error: (" + d + ") opening created file:Marlinden.  Press OK to end this application.", 0,
       "File Creation Error!"},
      {30, ButtonOk, "File Access Error", "File (Marlinden) could not be opened.  Error: " + d + ".", 1, ""},
      {35, ButtonOk, "Record Retrieval Error",
       "Error: (" + d + ") attempting to access a record from the Marlinden file.  Returning to previous window.", 0,
       ""},
      {36, ButtonOk, "View Open Error",
       "Error: (" + d + ") attempting to open the current VIEW. Filter and Range Limits ignored.", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    boxes.Reset();
    haltCode.reset();
    boxes.Script(c.answer);
    runtime::SetError(runtime::FileNotFound);
    const std::string error = runtime::LastError().text;
    std::string text = c.text;
    if (const auto at = text.find("File Not Found"); at != std::string::npos) text.replace(at, 14, error);
    EXPECT_EQ(LegacyWarning(c.id, "Marlinden   "), c.result);
    const auto requests = boxes.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].caption, c.title);
    EXPECT_EQ(requests[0].text, text);
    EXPECT_EQ(haltCode.has_value(), !c.halt.empty());
    if (!c.halt.empty()) {
      EXPECT_NE(*haltCode, 0);
      EXPECT_EQ(haltText, c.halt);
    }
  }
  runtime::SetError(runtime::DriverFailure, "1234", "disk on fire  ");
  EXPECT_EQ(LegacyErrorDescription(), "disk on fire (1234)");
}

TEST_F(ReportMessagesTest, CheckOpenCreatesAMissingFileAndGoesOnWhenAlreadyOpen) {
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir.File("MARL"));
  EXPECT_EQ(OpenOrRecoverFile(*file, true, false, 0, true), runtime::NoError);
  EXPECT_TRUE(file->IsOpen());
  EXPECT_EQ(file->Records(), 0);
  EXPECT_EQ(OpenOrRecoverFile(*file, true, false, 0, true), runtime::AlreadyOpen);
  EXPECT_TRUE(boxes.Requests().empty());
  (void)file->Close();

  // Missing and not to be created: message 4 ends the program.
  auto other = runtime::DataFile::Make(runtime::Driver::Keyed, testing_support::BookmarkLayout(), dir.File("OTHER"));
  boxes.Script(ButtonOk);
  EXPECT_EQ(OpenOrRecoverFile(*other, false, false, 0, true), runtime::FileNotFound);
  ASSERT_TRUE(haltCode.has_value());
  EXPECT_EQ(haltText, "File Creation Error!");
  // With no-create nothing is made; the pending error is shown as message 30.
  haltCode.reset();
  boxes.Script(ButtonOk);
  EXPECT_EQ(OpenOrRecoverFile(*other, true, true, 0, true), runtime::FileNotFound);
  EXPECT_EQ(boxes.Requests().back().caption, "File Access Error");
  EXPECT_EQ(haltText, "Disk Error");
}

}  // namespace
}  // namespace marlinden
