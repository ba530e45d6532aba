// The Web Page List end to end on the headless backend over a real bookmark
// file in a temporary data folder: the pages previewed and printed are read
// back from their page images. Runs driven one timer event at a time charge
// the test clock for the work of each batch, so the batches fit the time
// slice as on a real clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/WebPageList.h"
#include "procedures/WebPageListTestBackend.h"
#include "runtime/files/DataFile.h"
#include "runtime/reports/PageImage.h"
#include "runtime/system/Clock.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/KeyCode.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::PageImage;
using runtime::ui::ButtonCancel;
using runtime::ui::ButtonIgnore;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonOk;
using runtime::ui::ButtonYes;
using runtime::ui::PreviewAnswer;

// The report's time slice, in hundredths (the report manager's default).
constexpr std::int64_t kTimeSlice = 100;

// Reads the pages of every preview and print while their files exist.
class PageReadingBackend : public testing_support::WebPageListTestBackend {
 public:
  PreviewAnswer ShowPreview(const runtime::ui::PreviewRequest& request) override {
    Read(request.pages, previewed);
    return WebPageListTestBackend::ShowPreview(request);
  }
  bool Print(const runtime::ui::PrintRequest& request) override {
    Read(request.pages, printed);
    printedCopies = request.copies;
    return WebPageListTestBackend::Print(request);
  }
  std::vector<PageImage> previewed;
  std::vector<PageImage> printed;
  std::uint32_t printedCopies = 0;
  std::vector<std::string> names;

 private:
  void Read(const std::vector<std::string>& pages, std::vector<PageImage>& into) {
    std::lock_guard lock(mutex_);
    for (const std::string& name : pages) {
      names.push_back(name);
      PageImage page;
      EXPECT_TRUE(page.Load(name)) << name;
      into.push_back(page);
    }
  }
  std::mutex mutex_;
};

class WebPageListTest : public runtime::ui::testing::WindowFixture<PageReadingBackend> {
 protected:
  // n bookmarks whose URLs sort case-insensitively as "site0000..".
  // They are stored last first, so the report's order is not the file's.
  std::vector<std::string> Store(int n) {
    std::vector<std::string> urls;
    for (int i = 0; i < n; ++i) {
      char url[64];
      std::snprintf(url, sizeof url, i % 2 ? "HTTP://SITE%04d.example/" : "http://site%04d.example/", i);
      urls.push_back(url);
    }
    testing_support::WriteBookmarkFile(BookmarkLayout(), {urls.rbegin(), urls.rend()});
    return urls;
  }

  std::uint8_t Run(const WebPageListOptions& options = {}) {
    std::uint8_t response = 0;
    Start([&] { RunProgram([&] { response = WebPageList(options); }); });
    EXPECT_TRUE(program->WaitForEnd(60s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    return response;
  }

  // The texts of the pages after the header (title, run, page, heading).
  static std::vector<std::string> Body(const std::vector<PageImage>& pages) {
    std::vector<std::string> body;
    for (std::size_t p = 0; p < pages.size(); ++p) {
      const std::vector<std::string> texts = pages[p].Texts();
      EXPECT_GE(texts.size(), 4u);
      EXPECT_EQ(texts.at(0), "Web Page List");
      EXPECT_EQ(texts.at(1).rfind("Run: ", 0), 0u) << texts.at(1);
      EXPECT_EQ(texts.at(2), "Page: " + std::to_string(p + 1));
      EXPECT_EQ(texts.at(3), "Web Address");
      body.insert(body.end(), texts.begin() + 4, texts.end());
    }
    return body;
  }

  static std::vector<std::string> Expected(const std::vector<std::string>& urls) {
    std::vector<std::string> body = urls;
    body.push_back("Total Number Of Web Pages Listed");
    body.push_back(std::to_string(urls.size()));
    return body;
  }

  testing_support::TempCurrentDirectory cwd;
};

TEST_F(WebPageListTest, PreviewShowsEveryAddressInUrlOrderWithTheTotalAfterTheLastLine) {
  const std::vector<std::string> urls = Store(26);
  backend.MessageBoxes().Script(ButtonYes);
  backend.ScriptPreviewAnswer(PreviewAnswer::Cancel);
  EXPECT_EQ(Run(), ResponseCompleted);
  ASSERT_EQ(backend.previewed.size(), 1u);
  EXPECT_EQ(Body(backend.previewed), Expected(urls));
  EXPECT_TRUE(backend.printed.empty());
  for (const std::string& name : backend.names) EXPECT_FALSE(std::filesystem::exists(name)) << name;
}

TEST_F(WebPageListTest, PrintFromThePreviewPrintsThePreviewedPagesOnce) {
  const std::vector<std::string> urls = Store(60);
  backend.MessageBoxes().Script(ButtonYes);
  backend.ScriptPreviewAnswer(PreviewAnswer::Print);
  EXPECT_EQ(Run(), ResponseCompleted);
  ASSERT_GT(backend.previewed.size(), 1u);
  EXPECT_EQ(backend.printed.size(), backend.previewed.size());
  EXPECT_EQ(Body(backend.printed), Expected(urls));
  EXPECT_EQ(backend.printedCopies, 1u);
}

TEST_F(WebPageListTest, ThePrintPathGivesManyPagesEachWithItsHeader) {
  const std::vector<std::string> urls = Store(1200);
  backend.MessageBoxes().Script(ButtonNo);
  EXPECT_EQ(Run(), ResponseCompleted);
  EXPECT_TRUE(backend.previewed.empty());
  EXPECT_GT(backend.printed.size(), 20u);
  EXPECT_EQ(Body(backend.printed), Expected(urls));
  for (const std::string& name : backend.names) EXPECT_FALSE(std::filesystem::exists(name)) << name;
}

TEST_F(WebPageListTest, CancellingTheQuestionOrAnEmptyCollectionPrintsNothing) {
  Store(0);
  struct Case {
    std::uint32_t answer;
    std::string note;  // empty: none
  };
  for (const Case& c :
       {Case{ButtonCancel, ""}, Case{ButtonYes, "Nothing to Preview."}, Case{ButtonNo, "Nothing to Print."}}) {
    SCOPED_TRACE(c.answer);
    backend.MessageBoxes().Reset();
    backend.MessageBoxes().Script(c.answer);
    if (!c.note.empty()) backend.MessageBoxes().Script(ButtonOk);
    EXPECT_EQ(Run(), ResponseCancelled);
    const auto boxes = backend.MessageBoxes().Requests();
    ASSERT_EQ(boxes.size(), c.note.empty() ? 1u : 2u);
    EXPECT_EQ(boxes[0].text, "Do you wish to PREVIEW this Report?");
    if (!c.note.empty()) {
      EXPECT_EQ(boxes[1].caption, "NOTE...");
      EXPECT_EQ(boxes[1].text, c.note);
    }
  }
  EXPECT_TRUE(backend.previewed.empty());
  EXPECT_TRUE(backend.printed.empty());
}

TEST_F(WebPageListTest, WithoutTheQuestionTheRunPrintsToTheNamedPdf) {
  const std::vector<std::string> urls = Store(3);
  WebPageListOptions options;
  options.askPreview = false;
  options.pdfFile = "out.pdf";
  options.copies = 2;
  EXPECT_EQ(Run(options), ResponseCompleted);
  EXPECT_TRUE(backend.MessageBoxes().Requests().empty());
  const auto prints = backend.PrintRequests();
  ASSERT_EQ(prints.size(), 1u);
  EXPECT_EQ(prints[0].pdfFile, "out.pdf");
  EXPECT_EQ(prints[0].copies, 2u) << "the copies asked are the printer's to make";
  EXPECT_EQ(Body(backend.printed), Expected(urls));
}

// Each shown percentage (ten records) costs two hundredths: a timer event
// prints until half the slice has passed, the next one twice as many, and
// the window shows every percentage as it is reached, within a batch too. A
// cancel then previews exactly the lines printed, under whole pages.
TEST_F(WebPageListTest, EachTimerEventPrintsForHalfTheSliceWhileThePercentageMoves) {
  constexpr int kBookmarks = 1000;
  const std::vector<std::string> urls = Store(kBookmarks);
  backend.MessageBoxes().Script(ButtonYes);                              // preview
  for (int i = 0; i < 2; ++i) backend.MessageBoxes().Script(ButtonYes);  // sure; the pages so far
  backend.ScriptPreviewAnswer(PreviewAnswer::Cancel);
  runtime::TestClock clock(runtime::DateFromCivil(2026, 12, 7), 9 * 360000);
  runtime::ScopedTimeSource time(clock);
  backend.CostPercentages(clock, 2);
  Start([&] { RunProgram([&] { (void)WebPageList(); }); });
  const runtime::ui::WindowId progress = driver.WaitForWindow(1);
  EXPECT_EQ(driver.Text(progress, ReportPercentText), "  0% Completed");  // the first record read
  std::vector<int> percents;
  for (int tick = 0; tick < 2; ++tick) {
    const std::int64_t before = clock.SteadyMicros();
    driver.AdvanceClock(clock, 1);
    ASSERT_TRUE(driver.WaitIdle(1));
    const std::int64_t spent = (clock.SteadyMicros() - before) / 10'000 - 1;
    EXPECT_GE(2 * spent, kTimeSlice) << "tick " << tick;
    percents.push_back(std::stoi(driver.Text(progress, ReportPercentText)));
  }
  ASSERT_LT(percents[1], 100) << "the run must still be going";
  EXPECT_GT(percents[1] - percents[0], percents[0]) << "the second batch grew";
  driver.Click(progress, ReportCancel);
  ASSERT_TRUE(driver.WaitForClose(progress));
  ASSERT_TRUE(program->WaitForEnd(30s));
  program.reset();
  program = std::make_unique<runtime::ui::Program>(backend);

  std::vector<std::string> shown;
  for (int percent = 0; percent <= percents[1]; ++percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%3d%% Completed", percent);
    shown.push_back(text);
  }
  EXPECT_EQ(backend.ShownPercentages(), shown);
  const std::vector<std::string> body = Body(backend.previewed);
  ASSERT_GE(body.size(), 2u);
  const std::size_t lines = body.size() - 2;
  EXPECT_EQ(body, Expected({urls.begin(), urls.begin() + static_cast<std::ptrdiff_t>(lines)}));
  // The record after the last line printed has been read and counted.
  EXPECT_EQ(static_cast<int>((lines + 1) * 100 / kBookmarks), percents[1]);
  EXPECT_EQ(backend.previewed[0].Texts().at(1), "Run: 12/7/26  9:00 AM");
  for (const std::string& name : backend.names) EXPECT_FALSE(std::filesystem::exists(name)) << name;
}

// A run driven step by step: each Tick is one timer event of the progress
// window; the user's Cancel (or Esc) comes between events. Every record read
// costs a tenth of the slice, so an event prints 8 records (1, 1, 2 and 4)
// before half the slice has passed.
TEST_F(WebPageListTest, CancelAndEscAtEachStageWithEveryAnswer) {
  constexpr int kLinesPerEvent = 8;
  enum class Input { Click, Esc };
  struct Case {
    const char* name;
    std::uint32_t previewAnswer;  // Yes: preview, No: print
    int ticksBefore;              // timer events before the cancel
    Input input;
    std::vector<std::uint32_t> answers;  // to "are you sure", then to the partial question
    int ticksAfter;                      // timer events after the answers
    std::uint8_t response;
    int previewedLines;  // detail lines previewed; -1: no preview
  };
  const std::vector<Case> cases = {
      {"esc before any page", ButtonYes, 0, Input::Esc, {ButtonYes}, 0, ResponseCancelled, -1},
      {"cancel before any page, print", ButtonNo, 0, Input::Click, {ButtonYes}, 0, ResponseCancelled, -1},
      // 20 records left: three more events of 8, 8 and 4.
      {"cancel answered no", ButtonYes, 1, Input::Click, {ButtonNo}, 3, ResponseCompleted, 28},
      {"partial preview", ButtonYes, 1, Input::Click, {ButtonYes, ButtonYes}, 0, ResponseCompleted, kLinesPerEvent},
      {"partial preview by esc",
       ButtonYes,
       1,
       Input::Esc,
       {ButtonYes, ButtonYes},
       0,
       ResponseCompleted,
       kLinesPerEvent},
      {"no partial preview", ButtonYes, 1, Input::Click, {ButtonYes, ButtonNo}, 0, ResponseCancelled, -1},
      // Withdrawn: the batches start again from one record and grow back.
      {"withdrawn", ButtonYes, 1, Input::Click, {ButtonYes, ButtonIgnore}, 3, ResponseCompleted, 28},
      {"cancelled print with pages", ButtonNo, 1, Input::Click, {ButtonYes}, 0, ResponseCancelled, -1},
  };
  const std::vector<std::string> urls = Store(28);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    backend.previewed.clear();
    backend.printed.clear();
    backend.MessageBoxes().Reset();
    backend.MessageBoxes().Script(c.previewAnswer);
    for (std::uint32_t answer : c.answers) backend.MessageBoxes().Script(answer);
    if (c.previewedLines >= 0) backend.ScriptPreviewAnswer(PreviewAnswer::Cancel);
    runtime::TestClock clock(runtime::DateFromCivil(2026, 12, 7), 14 * 360000 + 5 * 6000);
    runtime::ScopedTimeSource time(clock);
    backend.CostPercentages(clock, kTimeSlice / 10);
    std::uint8_t response = 0;
    Start([&] { RunProgram([&] { response = WebPageList(); }); });
    const runtime::ui::WindowId progress = driver.WaitForWindow(1);
    ASSERT_NE(progress, runtime::ui::kNoWindow);
    for (int i = 0; i < c.ticksBefore; ++i) {
      driver.AdvanceClock(clock, 1);
      ASSERT_TRUE(driver.WaitIdle(1));
    }
    if (c.input == Input::Esc) {
      driver.PressKey(progress, 0, runtime::ui::KeyCode::Esc);
    } else {
      driver.Click(progress, ReportCancel);
    }
    // The run goes on only when it has timer events left to take.
    if (c.ticksAfter == 0) {
      ASSERT_TRUE(driver.WaitForClose(progress));
    } else {
      ASSERT_TRUE(driver.WaitIdle(1));
    }
    for (int i = 0; i < c.ticksAfter; ++i) {
      driver.AdvanceClock(clock, 1);
      if (i + 1 < c.ticksAfter) {
        ASSERT_TRUE(driver.WaitIdle(1));
        EXPECT_TRUE(driver.WithWindow(progress, [](runtime::ui::Window&) {}));  // still running
      }
    }
    ASSERT_TRUE(driver.WaitForClose(progress));
    ASSERT_TRUE(program->WaitForEnd(30s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
    EXPECT_EQ(response, c.response);
    EXPECT_EQ(backend.MessageBoxes().Unanswered(), 0u);
    EXPECT_EQ(backend.Unanswered(), 0u);
    EXPECT_TRUE(backend.printed.empty());
    if (c.previewedLines < 0) {
      EXPECT_TRUE(backend.previewed.empty());
    } else {
      const std::vector<std::string> lines(urls.begin(), urls.begin() + c.previewedLines);
      EXPECT_EQ(Body(backend.previewed), Expected(lines));
      EXPECT_EQ(backend.previewed.at(0).Texts().at(1), "Run: 12/7/26  2:05 PM");
    }
    for (const std::string& name : backend.names) EXPECT_FALSE(std::filesystem::exists(name)) << name;
  }
}

}  // namespace
}  // namespace marlinden
