// The Web Page List's run on its progress window, headless: the check-open
// of the bookmark file done when the window starts, and the program's end
// arriving while the report is being generated.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/WebPageList.h"
#include "procedures/WebPageListTestBackend.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Halt.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::ButtonYes;
using runtime::ui::PreviewAnswer;

// The bookmark layout without its description key: a file made with it
// holds fewer keys than the program declares.
runtime::RecordLayout LayoutWithoutDescriptionKey() {
  using runtime::FieldType;
  return runtime::RecordLayout::Builder("MARLINDEN", "WEB")
      .Field("NUM", FieldType::Int32)
      .String("URL", 255)
      .String("DESCRIPTION", 250)
      .Field("NOTEFIELD", FieldType::UInt8)
      .Memo("NOTES", 1000)
      .Key("NUMKEY", {{1}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Key("NAMEKEY", {{2}}, runtime::KeyUnique | runtime::KeyNoCase)
      .Build();
}

class WebPageListRunTest : public runtime::ui::testing::WindowFixture<testing_support::WebPageListTestBackend> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    previousHalt_ = runtime::SetHaltHandler([](int, std::string_view text) { ADD_FAILURE() << "halted: " << text; });
  }
  void TearDown() override {
    WindowFixture::TearDown();
    runtime::SetHaltHandler(previousHalt_);
  }

  // n bookmarks in a keyed file MARLINDEN of layout.
  static void Store(runtime::RecordLayout layout, int n) {
    std::vector<std::string> urls;
    for (int i = 0; i < n; ++i) {
      char url[64];
      std::snprintf(url, sizeof url, "http://site%04d.example/", i);
      urls.push_back(url);
    }
    testing_support::WriteBookmarkFile(std::move(layout), urls);
  }

  // Starts the report on thread 1 and returns its progress window.
  runtime::ui::WindowId StartReport() {
    Start([this] { RunProgram([this] { response = WebPageList(); }); });
    return driver.WaitForWindow(1);
  }

  void WaitForTheEnd() {
    ASSERT_TRUE(program->WaitForEnd(30s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  testing_support::TempCurrentDirectory cwd;
  std::uint8_t response = 0;

 private:
  runtime::HaltHandler previousHalt_;
};

TEST_F(WebPageListRunTest, AFileWithAMissingKeyIsRebuiltAfterTheInvalidKeyQuestionAndThenListed) {
  Store(LayoutWithoutDescriptionKey(), 3);
  backend.MessageBoxes().Script(ButtonYes);  // preview
  backend.MessageBoxes().Script(ButtonYes);  // rebuild the key
  backend.ScriptPreviewAnswer(PreviewAnswer::Cancel);
  Start([this] { RunProgram([this] { response = WebPageList(); }); });
  WaitForTheEnd();
  EXPECT_EQ(response, ResponseCompleted);
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].caption, "Invalid Key");
  EXPECT_EQ(boxes[1].text, "MARLINDEN key file is invalid.  Do you want to rebuild the key?");
  ASSERT_EQ(backend.PreviewRequests().size(), 1u);
  EXPECT_EQ(backend.PreviewRequests()[0].pages.size(), 1u);
  auto reopened = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), "MARLINDEN");
  EXPECT_EQ(reopened->Open(66), 0) << "the keys were rebuilt for good";
}

// The program's end closes the progress window between two batches (each
// record read costs a tenth of the time slice, so the first prints a few):
// the run counts as cancelled, nothing is previewed or printed and no
// question is left waiting.
TEST_F(WebPageListRunTest, TheProgramsEndDuringGenerationPreviewsAndPrintsNothing) {
  Store(BookmarkLayout(), 60);
  for (std::uint32_t preview : {runtime::ui::ButtonYes, runtime::ui::ButtonNo}) {
    SCOPED_TRACE(preview);
    backend.MessageBoxes().Reset();
    backend.MessageBoxes().Script(preview);
    runtime::TestClock clock(runtime::DateFromCivil(2026, 12, 7), 9 * 360000);
    runtime::ScopedTimeSource time(clock);
    backend.CostPercentages(clock, 10);
    const runtime::ui::WindowId progress = StartReport();
    ASSERT_NE(progress, runtime::ui::kNoWindow);
    driver.AdvanceClock(clock, 1);
    ASSERT_TRUE(driver.WaitIdle(1));
    driver.Post(progress, runtime::ui::EventCode::CloseDown);
    ASSERT_TRUE(driver.WaitForClose(progress));
    WaitForTheEnd();
    EXPECT_EQ(response, ResponseCancelled);
    EXPECT_EQ(backend.MessageBoxRequests().size(), 1u) << "only the preview question";
    EXPECT_TRUE(backend.PreviewRequests().empty());
    EXPECT_TRUE(backend.PrintRequests().empty());
  }
}

}  // namespace
}  // namespace marlinden
