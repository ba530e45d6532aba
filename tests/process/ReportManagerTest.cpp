// The report manager driving a printed report over a text file, headless:
// each record prints a detail band; with a preview the pages land in the
// preview queue and a completed run shows them (or prints them unseen),
// then the queue is emptied and its page-image files are gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "process/PrintPreview.h"
#include "process/ProcessManager.h"
#include "process/ProgressWindowForTests.h"
#include "process/ReportManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/reports/PageSink.h"
#include "runtime/reports/Report.h"
#include "runtime/system/Clock.h"
#include "runtime/views/View.h"
#include "support/FailOnHalt.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace marlinden {
namespace {

using runtime::ReportLayout;
using runtime::ui::PreviewAnswer;
using runtime::ui::WindowId;

constexpr std::int32_t kCancel = progress_test::kProgressCancel;
constexpr std::int32_t kTimer = progress_test::kProgressTimer;

// Four lines a page under a header with the page number.
ReportLayout Layout() {
  ReportLayout layout;
  layout.pageWidth = 3000;
  layout.pageHeight = 2000;
  layout.leftMargin = layout.topMargin = layout.rightMargin = layout.bottomMargin = 100;
  layout.pageHeader.height = 200;
  layout.pageHeader.items = {{ReportLayout::Item::Source::PageNumber, "Page %d", 0, {}, {0, 0, 2800, 200}}};
  ReportLayout::Band detail;
  detail.height = 400;
  detail.items = {{ReportLayout::Item::Source::Value, "", 0, {}, {0, 0, 2800, 200}}};
  layout.bands = {detail};
  return layout;
}

// The printer: keeps the texts of every page it took in a job that ended.
class RecordingPrinter : public runtime::PageSink {
 public:
  bool MakesCopies() const override { return true; }
  bool Begin(std::int32_t, bool) override {
    job_.clear();
    return true;
  }
  bool TakePage(const runtime::PageImage& page) override {
    job_.push_back(page.Texts());
    return true;
  }
  bool End() override {
    if (fails) return false;
    printed.insert(printed.end(), job_.begin(), job_.end());
    return true;
  }
  void Abort() override { job_.clear(); }

  bool fails = false;
  std::vector<std::vector<std::string>> printed;

 private:
  std::vector<std::vector<std::string>> job_;
};

// Prints each line as a detail band; `cost` hundredths of test clock each.
class LineReport : public ProcessManager {
 public:
  LineReport(runtime::TestClock& clock, runtime::Report& report) : clock_(clock), report_(report) {}
  Severity TakeRecord() override {
    const Severity base = ProcessManager::TakeRecord();
    EXPECT_TRUE(report_.PrintBand(0, {std::string(PRIMARY->ME->FILE->Record().Field(1).ClippedText())}));
    clock_.AdvanceHundredths(cost);
    return base;
  }
  std::int64_t cost = 0;
  int kills = 0;
  void Kill() override {
    ++kills;
    ProcessManager::Kill();
  }

 private:
  runtime::TestClock& clock_;
  runtime::Report& report_;
};

class ReportWindow : public ReportManager {
 public:
  ReportWindow(RelationManager& relation, ErrorManager& errors, LineReport& process, runtime::Report& report,
               PrintPreview* preview)
      : relation_(relation), errors_(errors), process_(process), report_(report), preview_(preview) {}

  Severity Init() override {
    if (const Severity base = WindowManager::Init(); base != SeverityOk) return base;
    FIRSTFIELD = 1;
    ERRORS = &errors_;
    if (relation_.Open() != SeverityOk) return SeverityNotify;
    OpenWindow(progress_test::ProgressWindow("Generating Report"));
    OPENED = 1;
    view_ = std::make_unique<runtime::View>(*relation_.ME->FILE);
    process_.Init(*view_, relation_, 3, 0, nullptr);
    process_.AddSortOrder(0);
    ReportManager::Init(process_, &report_, preview_);
    if (configure) configure(*this);
    AddItem(kCancel, ResponseCancelled);
    return SeverityOk;
  }
  // The queue's files as they stand when the run ends (the last page is
  // still open then).
  void EndReport() override {
    if (PREVIEWQUEUE != nullptr) queued = PREVIEWQUEUE->Names();
    ReportManager::EndReport();
  }
  Severity TakeCloseEvent() override {
    if (PREVIEWQUEUE != nullptr && queued.empty()) queued = PREVIEWQUEUE->Names();
    return ReportManager::TakeCloseEvent();
  }
  Severity Kill() override {
    if (const Severity base = ReportManager::Kill(); base != SeverityOk) return base;
    (void)relation_.Close();
    view_.reset();
    CloseWindow();
    return SeverityOk;
  }

  std::function<void(ReportWindow&)> configure;
  std::vector<std::string> queued;

 private:
  RelationManager& relation_;
  ErrorManager& errors_;
  LineReport& process_;
  runtime::Report& report_;
  PrintPreview* preview_;
  std::unique_ptr<runtime::View> view_;
};

class ReportManagerTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    errors.Init();
  }
  void TearDown() override {
    WindowFixture::TearDown();
    files.Kill();
    errors.Kill();
  }

  // Runs the report over n lines; cancelAfterTicks > 0 presses Cancel after
  // that many timer events.
  void Run(int n, bool withPreview, std::function<void(ReportWindow&)> configure = {}, int cancelAfterTicks = 0) {
    {
      std::ofstream out(dir.File("lines.txt"), std::ios::binary);
      for (int i = 1; i <= n; ++i) out << "line" << i << "\n";
    }
    file = runtime::DataFile::Make(runtime::Driver::Ascii,
                                   runtime::RecordLayout::Builder("Lines", "LIN").String("TEXT", 40).Build(),
                                   dir.File("lines.txt"));
    files.Init(*file, errors);
    relation.Init(files, false);
    WindowId done = runtime::ui::kNoWindow;
    WindowFixture::Start([&, withPreview, configure] {
      ReportWindow window(relation, errors, process, report, withPreview ? &preview : nullptr);
      window.configure = configure;
      response = window.Run();
      queued = window.queued;
      queueAfterKill = window.PREVIEWQUEUE.get();
      secondKill = window.ReportManager::Kill();
      relation.Kill();
      auto idle = runtime::ui::Window::Open(runtime::ui::testing::Form("done", 0));
      done = idle->Id();
      runtime::ui::RunEventLoop(*idle, [](const runtime::ui::Event&) { return runtime::ui::LoopAction::CarryOn; });
    });
    const WindowId id = driver.WaitForWindow(1);
    for (int tick = 1;; ++tick) {
      driver.AdvanceClock(clock, kTimer);
      driver.WaitIdle(1);
      if (!driver.WithWindow(id, [](runtime::ui::Window&) {})) break;
      if (tick == cancelAfterTicks) driver.Click(id, kCancel);
    }
    ASSERT_TRUE(driver.WaitIdle(1));
    WindowId idle = runtime::ui::kNoWindow;
    {
      runtime::LockedSection locked;
      idle = done;
    }
    driver.Post(idle, runtime::ui::EventCode::CloseWindow);
    ASSERT_TRUE(driver.WaitForThreadEnd(1));
  }

  static std::vector<std::vector<std::string>> Pages(int lines) {
    std::vector<std::vector<std::string>> pages;
    for (int i = 1; i <= lines; ++i) {
      if ((i - 1) % 4 == 0) pages.push_back({"Page " + std::to_string(pages.size() + 1)});
      pages.back().push_back("line" + std::to_string(i));
    }
    return pages;
  }

  void ExpectQueueGone() {
    ASSERT_FALSE(queued.empty());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(queued.front()).parent_path()))
        << "the queue's folder and every page image in it are gone";
    EXPECT_EQ(queueAfterKill, nullptr);
    EXPECT_EQ(preview.QUEUE, nullptr) << "the preview was killed";
    EXPECT_EQ(secondKill, SeverityNotify);
    EXPECT_EQ(process.kills, 1) << "a second Kill leaves the process alone";
  }

  runtime::TestClock clock{20000, 100};
  runtime::ScopedTimeSource timeSource{clock};
  testing_support::TempDir dir;
  ErrorManager errors;
  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  RelationManager relation;
  RecordingPrinter printer;
  runtime::Report report{Layout(), &printer};
  LineReport process{clock, report};
  PrintPreview preview;
  std::uint8_t response = 0;
  std::vector<std::string> queued;
  runtime::PageImageList* queueAfterKill = nullptr;
  Severity secondKill = SeverityOk;
  testing_support::FailOnHalt failOnHalt;
};

TEST_F(ReportManagerTest, ACompletedRunShowsItsPagesAndPrintsThemWhenThePreviewSaysSo) {
  const struct {
    PreviewAnswer answer;
    std::int16_t zoom;
    bool printed;
  } cases[] = {{PreviewAnswer::Cancel, 0, false}, {PreviewAnswer::Print, 150, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zoom);
    printer.printed.clear();
    process.kills = 0;
    backend.ScriptPreviewAnswer(c.answer);
    Run(10, true, [&](ReportWindow& w) { w.ZOOM = c.zoom; });
    EXPECT_EQ(response, ResponseCompleted);
    const auto previews = backend.PreviewRequests();
    ASSERT_FALSE(previews.empty());
    ASSERT_EQ(previews.back().pages.size(), 3u) << "the last page was ended";
    EXPECT_EQ(std::vector<std::string>(previews.back().pages.begin(), previews.back().pages.begin() + 2), queued);
    EXPECT_EQ(previews.back().zoom, c.zoom);
    EXPECT_EQ(printer.printed, c.printed ? Pages(10) : std::vector<std::vector<std::string>>{});
    ExpectQueueGone();
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }
}

TEST_F(ReportManagerTest, SkipPreviewPrintsEveryPageWithoutShowingThem) {
  Run(9, true, [](ReportWindow& w) { w.SKIPPREVIEW = 1; });
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_TRUE(backend.PreviewRequests().empty());
  EXPECT_EQ(printer.printed, Pages(9));
  EXPECT_EQ(queued.size(), 2u);
  ExpectQueueGone();
}

TEST_F(ReportManagerTest, ACancelledRunShowsAndPrintsNothingAndLeavesNoPageImage) {
  process.cost = 1;  // 64 records in the first timer event
  Run(200, true, {}, 1);
  EXPECT_EQ(response, ResponseCancelled);
  EXPECT_TRUE(backend.PreviewRequests().empty());
  EXPECT_TRUE(printer.printed.empty());
  EXPECT_EQ(queued.size(), 15u) << "the pages finished before the cancel were queued";
  ExpectQueueGone();
}

TEST_F(ReportManagerTest, WithoutAPreviewThePagesGoStraightToThePrinter) {
  Run(5, false);
  EXPECT_EQ(response, ResponseCompleted);
  EXPECT_TRUE(backend.PreviewRequests().empty());
  EXPECT_EQ(printer.printed, Pages(5));
  EXPECT_TRUE(queued.empty());
  EXPECT_EQ(secondKill, SeverityNotify);
}

TEST_F(ReportManagerTest, AFailedPrintIsToldAndNotCountedAsPrinted) {
  printer.fails = true;
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  Run(5, true, [](ReportWindow& w) { w.SKIPPREVIEW = 1; });
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Print Error");
  EXPECT_TRUE(printer.printed.empty());
  EXPECT_EQ(report.PagesPrinted(), 0);
  ExpectQueueGone();
}

TEST(ReportManagerKillTest, KillWithoutAProcessDoesNothing) {
  ReportManager manager;
  EXPECT_EQ(manager.Kill(), SeverityNotify);
}

}  // namespace
}  // namespace marlinden
