// The bookmark file is per-thread: a second runtime thread reading every
// bookmark (as the export does) never moves or overwrites the record the
// first thread is editing, though the two take turns under the runtime lock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/RuntimeThread.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using runtime::ui::Event;
using runtime::ui::EventCode;
using runtime::ui::LoopAction;
using runtime::ui::Window;
using runtime::ui::WindowId;

constexpr EventCode kScan = runtime::ui::ProgramEvent(1);   // thread 2 reads a few records
constexpr EventCode kCheck = runtime::ui::ProgramEvent(2);  // thread 1 looks at its record
constexpr EventCode kSave = runtime::ui::ProgramEvent(3);   // thread 1 writes it

constexpr int kBookmarks = 30;
constexpr int kEdited = 7;

runtime::RecordBuffer& Web() { return BookmarkStore().Record(); }

std::string Url(int n) { return "http://site/" + std::to_string(n); }

class PerThreadFilesTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Runs a window on the calling runtime thread until it closes, handing
  // every program event to take.
  static void RunWindow(const std::string& name, const std::function<void(EventCode)>& take) {
    auto window = Window::Open(runtime::ui::testing::Form(name));
    RunEventLoop(*window, [&](const Event& e) {
      if (runtime::ui::IsProgramEvent(e.code)) take(e.code);
      return LoopAction::CarryOn;
    });
  }

  static void ExpectEdited(const char* when) {
    EXPECT_EQ(Web().Field(WebUrl).ClippedText(), Url(kEdited) + "/edited") << when;
    EXPECT_EQ(Web().Field(WebDescription).ClippedText(), "edited on thread 1") << when;
    EXPECT_EQ(Web().Memo(WebNotes), "notes of thread 1") << when;
  }

  testing_support::TempCurrentDirectory cwd;
};

TEST_F(PerThreadFilesTest, AScanOnAnotherThreadLeavesTheEditedRecordAsEdited) {
  std::vector<std::string> scanned;
  std::atomic<bool> scanDone{false};
  Severity saved = SeverityFatal;
  Start([&] {
    (void)RunProgram([&] {
      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
      for (int n = 1; n <= kBookmarks; ++n) {
        Web().Clear();
        Web().Field(WebUrl).SetText(Url(n));
        Web().Field(WebDescription).SetText("page " + std::to_string(n));
        ASSERT_EQ(BookmarkStoreManager->Insert(), SeverityOk);
      }
      Web().Clear();
      Web().Field(WebUrl).SetText(Url(kEdited));
      ASSERT_EQ(BookmarkStoreManager->Fetch(WebNameKey), SeverityOk);
      // Edited in the buffer, not written yet: the form is still open.
      Web().Field(WebUrl).SetText(Url(kEdited) + "/edited");
      Web().Field(WebDescription).SetText("edited on thread 1");
      Web().SetMemo(WebNotes, "notes of thread 1");

      ASSERT_EQ(runtime::ui::StartThread(
                    [&] {
                      EXPECT_EQ(Web().Field(WebUrl).ClippedText(), "") << "a new thread starts with a clear record";
                      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
                      ASSERT_EQ(BookmarkStoreManager->UseFile(), SeverityOk);
                      ASSERT_EQ(BookmarkStore().SetOrder(WebNumKey), runtime::NoError);
                      RunWindow("scan", [&](EventCode code) {
                        if (code != kScan) return;
                        for (int i = 0; i < 4 && !scanDone; ++i) {
                          if (BookmarkStoreManager->TryNext() != SeverityOk) {
                            scanDone = BookmarkStoreManager->AtEnd();
                            break;
                          }
                          scanned.emplace_back(Web().Field(WebUrl).ClippedText());
                        }
                      });
                      EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
                    },
                    25000),
                2);
      RunWindow("form", [&](EventCode code) {
        if (code == kCheck) ExpectEdited("while thread 2 scans");
        if (code == kSave) saved = BookmarkStoreManager->Update();
      });
      EXPECT_EQ(BookmarkStoreRelations->Close(), SeverityOk);
    });
  });
  const WindowId form = driver.WaitForWindow(1);
  const WindowId scan = driver.WaitForWindow(2);
  while (!scanDone) {
    driver.Post(scan, kScan);
    ASSERT_TRUE(driver.WaitIdle(2));
    driver.Post(form, kCheck);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  driver.Post(scan, EventCode::CloseWindow);
  ASSERT_TRUE(driver.WaitForThreadEnd(2));
  driver.Post(form, kSave);
  ASSERT_TRUE(driver.WaitIdle(1));
  driver.Post(form, EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));

  EXPECT_EQ(saved, SeverityOk);
  ASSERT_EQ(scanned.size(), static_cast<std::size_t>(kBookmarks)) << "the scan read every record once";
  for (int n = 1; n <= kBookmarks; ++n) EXPECT_EQ(scanned[n - 1], Url(n));

  // The file holds the record exactly as edited, and every other as added.
  auto check = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), cwd.Dir().File("MARLINDEN"));
  ASSERT_EQ(check->Open(runtime::AccessRead | runtime::ShareDenyNone), runtime::NoError);
  ASSERT_EQ(check->SetOrder(WebNumKey), runtime::NoError);
  int n = 0;
  while (check->Next() == runtime::NoError) {
    ++n;
    runtime::RecordBuffer& r = check->Record();
    if (n == kEdited) {
      EXPECT_EQ(r.Field(WebUrl).ClippedText(), Url(kEdited) + "/edited");
      EXPECT_EQ(r.Field(WebDescription).ClippedText(), "edited on thread 1");
      EXPECT_EQ(r.Memo(WebNotes), "notes of thread 1");
    } else {
      EXPECT_EQ(r.Field(WebUrl).ClippedText(), Url(n));
    }
  }
  EXPECT_EQ(n, kBookmarks);
}

}  // namespace
}  // namespace marlinden
