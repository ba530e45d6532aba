// The "Find Duplicates" window: the finding in a progress window whose bar
// moves with each step and whose Cancel shows nothing; then one bookmark a
// row with its group and the one kept marked; "Keep This One" moves the
// mark, "Merge Group" keeps that one and deletes the rest of its group, and
// a collection without duplicates is told so instead of shown an empty list.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/BatchProgress.h"
#include "procedures/FindDuplicates.h"
#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/EventLoop.h"
#include "support/BatchClock.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// The groups of kGrouped, as the list shows them: the first bookmark of
// each group in address order, the oldest (here: the first stored) first.
const std::vector<testing_support::StoredBookmark> kGrouped = {{"http://a.example/x", "A one"},
                                                               {"https://www.a.example/x/", "A two"},
                                                               {"http://b.example/", "B one"},
                                                               {"http://B.example/#top", "B two"},
                                                               {"http://c.example/", "C alone"}};
const Texts kGroupedAddresses = {"http://a.example/x", "https://www.a.example/x/", "http://b.example/",
                                 "http://B.example/#top"};

class FindDuplicatesWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Stores bookmarks, runs the procedure times (reading bookmarksPerStep
  // bookmarks a timer event), and keeps the addresses left.
  void Open(const std::vector<testing_support::StoredBookmark>& bookmarks, std::size_t bookmarksPerStep = 2,
            int times = 1) {
    Start([this, bookmarks, bookmarksPerStep, times] {
      (void)RunProgram([this, bookmarks, bookmarksPerStep, times] {
        testing_support::StoreBookmarks(bookmarks);
        for (int i = 0; i < times; ++i) FindDuplicates(bookmarksPerStep);
        ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
        (void)BookmarkStore().SetOrder(WebNameKey);
        while (BookmarkStore().Next() == runtime::NoError) {
          left.emplace_back(BookmarkStore().Record().Field(WebUrl).ClippedText());
        }
        (void)BookmarkStoreRelations->Close();
      });
    });
  }
  // One timer event of window: the clock moves on, and an event of no
  // meaning wakes the window's loop, which then finds its timer due.
  void Tick(runtime::ui::WindowId window) {
    clock.Advance(10'000);
    driver.Post(window, runtime::ui::ProgramEvent(1));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  bool IsOpen(runtime::ui::WindowId window) {
    return driver.WithWindow(window, [](runtime::ui::Window&) {});
  }
  // Ticks the progress window until the finding ends; the window that
  // follows it is then the newest of thread 1.
  void FinishFinding(runtime::ui::WindowId progress) {
    for (int ticks = 0; ticks < 100 && IsOpen(progress); ++ticks) Tick(progress);
    ASSERT_FALSE(IsOpen(progress)) << "the finding did not end";
  }
  // The groups window, after the progress window that comes first.
  runtime::ui::WindowId WaitForGroups() {
    const runtime::ui::WindowId progress = driver.WaitForWindow(1);
    if (progress == runtime::ui::kNoWindow) return progress;
    FinishFinding(progress);
    return driver.WaitForWindow(1);
  }
  void Select(std::int32_t row) {
    runtime::ui::EventData data;
    data.selectedRow = row;
    driver.Post(id, runtime::ui::EventCode::NewSelection, DuplicatesList, std::move(data));
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  void Click(std::int32_t button) {
    driver.Click(id, button);
    ASSERT_TRUE(driver.WaitIdle(1));
  }

  // Timer events come only when a test ticks.
  testing_support::BatchClock clock;
  runtime::ScopedTimeSource timeSource{clock};
  testing_support::TempCurrentDirectory cwd;
  runtime::ui::WindowId id = runtime::ui::kNoWindow;
  Texts left;
};

TEST_F(FindDuplicatesWindowTest, TheUserKeepsOneOfAGroupAndMergesTheRestIntoIt) {
  Open(kGrouped);
  id = WaitForGroups();
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 0), (Texts{"1", "1", "2", "2"}));
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 1), (Texts{kKeptMark, "", kKeptMark, ""})) << "the oldest kept";
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 2), kGroupedAddresses);

  Select(2);
  Click(DuplicatesKeep);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 1), (Texts{"", kKeptMark, kKeptMark, ""}));
  Click(DuplicatesMergeGroup);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 2), (Texts{"http://b.example/", "http://B.example/#top"}))
      << "the merged group leaves the list";
  driver.PressKey(id, DuplicatesList, runtime::ui::KeyCode::Esc);
  ASSERT_TRUE(program->WaitForEnd(30s));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (Texts{"http://B.example/#top", "http://b.example/", "http://c.example/", "https://www.a.example/x/"}))
      << "the group not merged stays whole";
}

TEST_F(FindDuplicatesWindowTest, ACollectionWithoutDuplicatesIsToldSo) {
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest&) {});
  Open({{"http://a.example/", "A"}, {"http://a.example/b", "B"}}, 100);
  const runtime::ui::WindowId progress = driver.WaitForWindow(1);
  ASSERT_NE(progress, runtime::ui::kNoWindow);
  Tick(progress);  // reads both
  // The sort finds no hashes that meet: the finding ends, is told, and the
  // program with it, so there is no idle loop to wait for.
  clock.Advance(10'000);
  driver.Post(progress, runtime::ui::ProgramEvent(1));
  ASSERT_TRUE(program->WaitForEnd(30s));
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(kNoDuplicates), std::string::npos) << boxes[0].text;
  EXPECT_EQ(left.size(), 2u);
}

TEST_F(FindDuplicatesWindowTest, TheProgressWindowShowsTheFindingAndTheGroupsFollow) {
  Open(kGrouped, 2);
  const runtime::ui::WindowId progress = driver.WaitForWindow(1);
  ASSERT_NE(progress, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.Properties(progress, ProgressTextLine).text, kFindingDuplicatesLine);
  EXPECT_EQ(driver.Properties(progress, ProgressBar).value, 0);
  EXPECT_EQ(driver.Properties(progress, ProgressCancel).text, "Cancel");

  // Five bookmarks, two a step: the bar moves and the finding goes on.
  std::int32_t before = 0;
  for (int step = 0; step < 2; ++step) {
    Tick(progress);
    ASSERT_TRUE(IsOpen(progress)) << "step " << step;
    const std::int32_t now = driver.Properties(progress, ProgressBar).value;
    EXPECT_GT(now, before) << "step " << step;
    EXPECT_LT(now, 100) << "step " << step;
    EXPECT_EQ(driver.Text(progress, ProgressPercent), std::to_string(now) + "% Completed");
    before = now;
  }
  FinishFinding(progress);
  id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 0), (Texts{"1", "1", "2", "2"}));
  EXPECT_EQ(driver.ColumnTexts(id, DuplicatesList, 2), kGroupedAddresses);
  EXPECT_EQ(backend.WindowsCreated(), 2) << "the progress window, then the groups";
  driver.Click(id, DuplicatesClose);
  ASSERT_TRUE(program->WaitForEnd(30s));
  EXPECT_EQ(left.size(), kGrouped.size());
}

// Cancel, Escape and a close by the window's frame each end the finding
// half-way: no groups window, no message, every bookmark still there.
TEST_F(FindDuplicatesWindowTest, AFindingStoppedHalfWayShowsNothingAndChangesNothing) {
  const std::vector<std::function<void(runtime::ui::WindowId)>> stops = {
      [this](runtime::ui::WindowId progress) { driver.Click(progress, ProgressCancel); },
      [this](runtime::ui::WindowId progress) {
        // Escape reaches the control that has the keyboard: Cancel.
        std::int32_t focus = 0;
        driver.WithWindow(progress, [&focus](runtime::ui::Window& window) { focus = window.Focus(); });
        EXPECT_EQ(focus, ProgressCancel);
        driver.PressKey(progress, focus, runtime::ui::KeyCode::Esc);
      },
      [this](runtime::ui::WindowId progress) { driver.Post(progress, runtime::ui::EventCode::CloseWindow); },
  };
  Open(kGrouped, 2, static_cast<int>(stops.size()));
  for (std::size_t i = 0; i < stops.size(); ++i) {
    const runtime::ui::WindowId progress = driver.WaitForWindow(1);
    ASSERT_NE(progress, runtime::ui::kNoWindow) << "stop " << i;
    Tick(progress);
    ASSERT_TRUE(IsOpen(progress)) << "stop " << i << ": the finding is under way";
    stops[i](progress);
    ASSERT_TRUE(driver.WaitForClose(progress)) << "stop " << i;
  }
  ASSERT_TRUE(program->WaitForEnd(30s));
  EXPECT_EQ(backend.WindowsCreated(), static_cast<std::int32_t>(stops.size())) << "only the progress windows";
  EXPECT_TRUE(backend.MessageBoxRequests().empty());
  EXPECT_EQ(left.size(), kGrouped.size());
}

}  // namespace
}  // namespace marlinden
