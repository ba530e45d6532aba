#include "procedures/CleanUp.h"

#include <cstdint>
#include <string>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "procedures/BatchProgress.h"
#include "procedures/ImportProcess.h"
#include "procedures/ProcedureStart.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {

namespace {

constexpr const char* kSection = "CleanUp";

}  // namespace

bool KeepsAddress(std::string_view url) {
  const std::string prefix = runtime::UpperAscii(url.substr(0, 3));
  return prefix == "HTT" || prefix == "FTP";
}

void CleanUpProcess::UpdateDisplay() {
  ProcessManager::UpdateDisplay();
  TellBatchProgress("Clean Up Import", PERCENTILE != nullptr ? *PERCENTILE : 0);
}

Severity CleanUpProcess::TakeRecord() {
  const Severity result = ProcessManager::TakeRecord();
  runtime::DataFile& store = BookmarkStore();
  // Deleted straight in the file: the next read goes on after it. A failed
  // delete leaves the record, and the run goes on.
  runtime::RecordBuffer& web = store.Record();
  const std::int64_t number = web.Field(WebNum).Get().AsInteger();
  if (number > highestBefore_ && !KeepsAddress(web.Field(WebUrl).ClippedText()) && store.Delete() == runtime::NoError) {
    ++LastImportFigures.removed;
    // Its details and folder order go with it, in the same batch.
    (void)DeleteBookmarkDetails(number);
    (void)DeleteFolderOrder(number);
  }
  return result;
}

CleanUpWindow::CleanUpWindow(std::int64_t highestBefore) : BatchProgressWindow(kSection), process_(highestBefore) {}

Severity CleanUpWindow::Init() {
  if (const Severity result = StartProcedure(*this, ProgressCancel); result != SeverityOk) return result;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  filesOpen_ = true;
  (void)BookmarkStoreManager->UseFile();

  OpenProgressWindow();
  StartBatches(process_, BookmarkStore(), *BookmarkStoreRelations, kBookmarkRecordSize, "Clean Up Import");
  return SeverityOk;
}

Severity CleanUpWindow::TakeWindowEvent() {
  if (ThisEvent().code != runtime::ui::EventCode::Timer || !filesOpen_) return ReportManager::TakeWindowEvent();
  BookmarkFilesTransaction batch(CommitOrder::BookmarksFirst);
  const Severity result = ReportManager::TakeWindowEvent();
  if (batch.Commit()) return result;
  ShowFileProblem("Clean Up Import", "The last deletions could not be saved: " + runtime::LastError().text + ".");
  RESPONSE = ResponseCancelled;
  return SeverityFatal;
}

Severity CleanUpWindow::Kill() {
  if (const Severity result = ReportManager::Kill(); result != SeverityOk) return result;
  view_.reset();
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    filesOpen_ = false;
  }
  CloseProgressWindow();
  return SeverityOk;
}

void CleanUp(std::int64_t highestBefore) {
  CleanUpWindow window(highestBefore);
  ResponseCode = window.Run();
}

}  // namespace marlinden
