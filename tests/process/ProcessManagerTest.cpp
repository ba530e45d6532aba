// The process manager and its progress window over a real text file, driven
// headless with a test clock: each record's work advances the clock, so the
// adaptive batch size, the time slice, the deferred window, the progress
// display, message 22 and cancelling between batches are all observable.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "errors/ErrorManager.h"
#include "process/ProcessManager.h"
#include "process/ProgressWindowForTests.h"
#include "process/ReportManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/Clock.h"
#include "runtime/views/View.h"
#include "support/FailOnHalt.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "testing/TestClock.h"

namespace marlinden {
namespace {

using runtime::ui::WindowId;

constexpr std::int32_t kBar = progress_test::kProgressBar;
constexpr std::int32_t kPercent = progress_test::kProgressPercent;
constexpr std::int32_t kCancel = progress_test::kProgressCancel;
constexpr std::int32_t kTimer = progress_test::kProgressTimer;

// Takes each line, costing the test clock `cost` hundredths; a script may
// answer differently for chosen calls.
class LineProcess : public ProcessManager {
 public:
  explicit LineProcess(runtime::TestClock& clock) : clock_(clock) {}
  Severity TakeRecord() override {
    const Severity base = ProcessManager::TakeRecord();
    taken.push_back(std::string(PRIMARY->ME->FILE->Record().Field(1).ClippedText()));
    clock_.AdvanceHundredths(cost);
    if (answer) return answer(static_cast<int>(taken.size()));
    return base;
  }
  std::int64_t cost = 0;
  std::function<Severity(int call)> answer;
  std::vector<std::string> taken;

 private:
  runtime::TestClock& clock_;
};

class Progress : public ReportManager {
 public:
  Progress(RelationManager& relation, ErrorManager& errors, LineProcess& process, std::int32_t estimate)
      : relation_(relation), errors_(errors), process_(process), estimate_(estimate) {}

  Severity Init() override {
    if (const Severity base = WindowManager::Init(); base != SeverityOk) return base;
    FIRSTFIELD = 1;
    ERRORS = &errors_;
    if (relation_.Open() != SeverityOk) return SeverityNotify;
    filesOpen_ = true;
    OpenWindow(progress_test::ProgressWindow("Progress..."));
    OPENED = 1;
    view_ = std::make_unique<runtime::View>(*relation_.ME->FILE);
    process_.Init(*view_, relation_, kPercent, estimate_, &percentile);
    process_.PROGRESSBAR = kBar;
    process_.AddSortOrder(0);
    GetWindow()->SetText(kPercent, "0% Completed");
    ReportManager::Init(process_);
    if (configure) configure(*this);
    AddItem(kCancel, ResponseCancelled);
    return SeverityOk;
  }

  Severity Kill() override {
    if (const Severity base = ReportManager::Kill(); base != SeverityOk) return base;
    if (filesOpen_) (void)relation_.Close();
    view_.reset();
    CloseWindow();
    return SeverityOk;
  }

  std::uint8_t percentile = 0;
  std::function<void(Progress&)> configure;

 private:
  RelationManager& relation_;
  ErrorManager& errors_;
  LineProcess& process_;
  std::int32_t estimate_;
  std::unique_ptr<runtime::View> view_;
  bool filesOpen_ = false;
};

class ProcessManagerTest : public runtime::ui::testing::WindowFixture<> {
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

  // A text file of n numbered lines.
  void MakeLines(int n) {
    std::ofstream out(dir.File("lines.txt"), std::ios::binary);
    for (int i = 1; i <= n; ++i) out << "line" << i << "\n";
  }

  // Runs the progress window on thread 1; returns its id once idle.
  WindowId Start(std::int32_t estimate, std::function<void(Progress&)> configure = {}) {
    file = runtime::DataFile::Make(runtime::Driver::Ascii,
                                   runtime::RecordLayout::Builder("Lines", "LIN").String("TEXT", 40).Build(),
                                   dir.File("lines.txt"));
    files.Init(*file, errors);
    relation.Init(files, false);
    WindowFixture::Start([this, estimate, configure] {
      Progress progress(relation, errors, process, estimate);
      progress.configure = configure;
      window = &progress;
      response = progress.Run();
      window = nullptr;
      relation.Kill();
      // The thread stays idle in a window of its own, so a test can wait for
      // it whether or not the progress window is still open.
      auto done = runtime::ui::Window::Open(runtime::ui::testing::Form("done", 0));
      doneWindow = done->Id();
      runtime::ui::RunEventLoop(*done, [](const runtime::ui::Event&) { return runtime::ui::LoopAction::CarryOn; });
    });
    return driver.WaitForWindow(1);
  }

  // Waits for the progress window's end and ends the thread.
  void Finish() {
    ASSERT_TRUE(driver.WaitIdle(1));
    WindowId done = runtime::ui::kNoWindow;
    {
      runtime::LockedSection locked;
      done = doneWindow;
    }
    ASSERT_NE(done, runtime::ui::kNoWindow);
    driver.Post(done, runtime::ui::EventCode::CloseWindow);
    ASSERT_TRUE(driver.WaitForThreadEnd(1));
  }

  // One timer event of the progress window; true while it stays open.
  bool Tick(WindowId id) {
    driver.AdvanceClock(clock, kTimer);
    driver.WaitIdle(1);
    return driver.WithWindow(id, [](runtime::ui::Window&) {});
  }

  std::int32_t Processed() {
    std::int32_t n = 0;
    runtime::LockedSection locked;
    if (window != nullptr) n = window->PROCESS->RECORDSPROCESSED;
    return n;
  }
  std::int32_t PerCycle() {
    runtime::LockedSection locked;
    return window != nullptr ? window->RECORDSPERCYCLE : 0;
  }

  runtime::TestClock clock{20000, 100};
  runtime::ScopedTimeSource timeSource{clock};
  testing_support::TempDir dir;
  ErrorManager errors;
  std::unique_ptr<runtime::DataFile> file;
  FileManager files;
  RelationManager relation;
  LineProcess process{clock};
  Progress* window = nullptr;                    // guarded by the runtime lock
  WindowId doneWindow = runtime::ui::kNoWindow;  // guarded by the runtime lock
  std::uint8_t response = 0;
  testing_support::FailOnHalt failOnHalt;
};

TEST(ProcessPercentageTest, NeverOverflowsGoesNegativeOrDividesByZero) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::int64_t processed, expected;
    int percent;
  } cases[] = {
      {0, 0, 0},   {5, 0, 0},    {5, -3, 0},           {-1, 5, 0},     {1, 3, 33},
      {3, 3, 100}, {10, 3, 100}, {kMax - 1, kMax, 99}, {kMax, 1, 100}, {1, kMax, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProcessManager::Percentage(c.processed, c.expected), c.percent) << c.processed << "/" << c.expected;
  }
}

TEST_F(ProcessManagerTest, EmptyFileShowsMessage22OnceAndEndsCancelled) {
  MakeLines(0);
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  Start(0);
  Finish();
  EXPECT_TRUE(process.taken.empty());
  EXPECT_EQ(response, ResponseCancelled);
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "No Records");
  EXPECT_EQ(boxes[0].text, "There are no records available to process.");
}

TEST_F(ProcessManagerTest, OneRecordIsTakenOnceAndCompletes) {
  MakeLines(1);
  const WindowId id = Start(1);
  while (Tick(id)) {
  }
  Finish();
  EXPECT_EQ(process.taken, std::vector<std::string>{"line1"});
  EXPECT_EQ(response, ResponseCompleted);
}

TEST_F(ProcessManagerTest, BatchDoublesUntilHalfASliceThenHalvesAfterAnOverrun) {
  MakeLines(1000);
  process.cost = 1;  // a hundredth per record: half a slice is 50 records
  const WindowId id = Start(1000);
  ASSERT_TRUE(Tick(id));
  // 1 + 1 + 2 + 4 + ... records until 64 have taken 64 hundredths.
  EXPECT_EQ(process.taken.size(), 64u);
  EXPECT_EQ(PerCycle(), 128);
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken.size(), 64u + 128u);
  EXPECT_EQ(PerCycle(), 128);  // 128 hundredths: no doubling, no halving
  process.cost = 3;            // 384 hundredths: more than one and a half slices
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken.size(), 64u + 128u + 128u);
  EXPECT_EQ(PerCycle(), 64);
  driver.Click(id, kCancel);
  Finish();
}

TEST_F(ProcessManagerTest, ASlowSingleRecordKeepsTheBatchAtOne) {
  MakeLines(5);
  process.cost = 200;
  const WindowId id = Start(5);
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken.size(), 1u);
  EXPECT_EQ(PerCycle(), 1);
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken.size(), 2u);
  EXPECT_EQ(PerCycle(), 1);
  driver.Click(id, kCancel);
  Finish();
}

TEST_F(ProcessManagerTest, AWallClockSteppedBackDoesNotStretchTheSlice) {
  MakeLines(1000);
  process.cost = 1;
  process.answer = [this](int) {
    clock.Set(20000, 0);  // the time of day jumps back to midnight on every record
    return SeverityOk;
  };
  const WindowId id = Start(1000);
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken.size(), 64u);
  driver.Click(id, kCancel);
  Finish();
}

TEST_F(ProcessManagerTest, CancelBetweenBatchesKeepsWhatWasDoneAndTakesNoMore) {
  MakeLines(1000);
  process.cost = 1;
  const WindowId id = Start(1000);
  ASSERT_TRUE(Tick(id));
  const std::size_t done = process.taken.size();
  driver.Click(id, kCancel);
  Finish();
  EXPECT_EQ(process.taken.size(), done);
  EXPECT_EQ(response, ResponseCancelled);
}

TEST_F(ProcessManagerTest, NotifyOffersTheSameRecordOnTheNextTimerEvent) {
  MakeLines(3);
  process.answer = [](int call) { return call == 2 ? SeverityNotify : SeverityOk; };
  const WindowId id = Start(3);
  ASSERT_TRUE(Tick(id));
  EXPECT_EQ(process.taken, (std::vector<std::string>{"line1", "line2"}));
  while (Tick(id)) {
  }
  Finish();
  EXPECT_EQ(process.taken, (std::vector<std::string>{"line1", "line2", "line2", "line3"}));
  EXPECT_EQ(response, ResponseCompleted);
}

TEST_F(ProcessManagerTest, FatalStopsTheRunAtThatRecord) {
  MakeLines(10);
  process.answer = [](int call) { return call == 4 ? SeverityFatal : SeverityOk; };
  const WindowId id = Start(10);
  while (Tick(id)) {
  }
  Finish();
  EXPECT_EQ(process.taken.size(), 4u);
  EXPECT_NE(response, ResponseCompleted);
}

TEST_F(ProcessManagerTest, PercentageSticksAt100WhenTheEstimateIsLow) {
  MakeLines(40);
  std::uint8_t seen = 0;
  std::string text;
  process.answer = [&](int call) {
    if (call == 40) {
      seen = *process.PERCENTILE;
      text = process.WINDOW->Text(kPercent);
    }
    return SeverityOk;
  };
  const WindowId id = Start(10);
  while (Tick(id)) {
  }
  Finish();
  EXPECT_EQ(seen, 100);
  EXPECT_EQ(text, "100% Complete");
  EXPECT_EQ(response, ResponseCompleted);
}

TEST_F(ProcessManagerTest, ZeroEstimateBecomesTheRecordCountAndTheBarFollows) {
  MakeLines(4);
  std::vector<int> percents;
  std::vector<int> bar;
  process.answer = [&](int) {
    percents.push_back(*process.PERCENTILE);
    bar.push_back(process.WINDOW->Find(kBar)->Value());
    return SeverityOk;
  };
  const WindowId id = Start(0);
  while (Tick(id)) {
  }
  Finish();
  EXPECT_EQ(percents, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(bar, percents);
}

TEST_F(ProcessManagerTest, DeferredWindowStaysHiddenUntilItsTimeHasPassed) {
  MakeLines(1000);
  process.cost = 60;  // each batch is one record of more than half a slice
  bool hiddenAtStart = false;
  const WindowId id = Start(1000, [](Progress& p) { p.DEFERWINDOW = 2; });
  driver.WithWindow(id, [&](runtime::ui::Window& w) { hiddenAtStart = w.Hidden(); });
  EXPECT_TRUE(hiddenAtStart);
  bool hidden = false;
  ASSERT_TRUE(Tick(id));  // 0.1 s after Ask
  driver.WithWindow(id, [&](runtime::ui::Window& w) { hidden = w.Hidden(); });
  EXPECT_TRUE(hidden);
  driver.AdvanceClock(clock, 200);
  driver.WaitIdle(1);
  driver.WithWindow(id, [&](runtime::ui::Window& w) { hidden = w.Hidden(); });
  EXPECT_FALSE(hidden);
  driver.Click(id, kCancel);
  Finish();
}

}  // namespace
}  // namespace marlinden
