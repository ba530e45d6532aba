#include "procedures/ImportProcess.h"

#include <cstdint>
#include <string>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "procedures/BatchProgress.h"
#include "procedures/BookmarkHtml.h"
#include "procedures/CleanUp.h"
#include "procedures/ProcedureStart.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {

ImportFigures LastImportFigures;

namespace {

constexpr const char* kImportCaption = "Import Bookmarks";
constexpr const char* kSection = "importit";

}  // namespace

// --- The line process -------------------------------------------------------------

void ImportLineProcess::UpdateDisplay() {
  ProcessManager::UpdateDisplay();
  TellBatchProgress("Importing bookmarks", PERCENTILE != nullptr ? *PERCENTILE : 0);
}

Severity ImportLineProcess::TakeRecord() {
  const Severity result = ProcessManager::TakeRecord();
  const std::string_view line = BookmarkImportFile().RecordText();
  if (lineAt_ == 0) ++LastImportFigures.lines;
  BookmarkLink link;
  int taken = 0;
  while (NextAnchor(line, lineAt_, link)) {
    if (link.url.empty()) continue;
    runtime::RecordBuffer& web = BookmarkStore().Record();
    web.Clear();
    web.Field(WebUrl).SetText(link.url);
    web.Field(WebDescription).SetText(link.description);
    ++LastImportFigures.links;
    AddBookmark();
    if (++taken == kLinksPerTurn && lineAt_ < line.size()) return SeverityNotify;
  }
  lineAt_ = 0;
  return result;
}

void ImportLineProcess::AddBookmark() {
  FileManager& store = *BookmarkStoreManager;
  const std::string url(store.FILE->Record().Field(WebUrl).ClippedText());
  const std::string description(store.FILE->Record().Field(WebDescription).ClippedText());
  (void)store.TryFetch(WebNameKey);
  if (runtime::LastErrorCode() != runtime::RecordNotFound) {
    ++LastImportFigures.skipped;
    return;
  }
  // A miss may leave the buffer anywhere: the record is set up again.
  runtime::RecordBuffer& web = store.FILE->Record();
  web.Clear();
  web.Field(WebUrl).SetText(url);
  web.Field(WebDescription).SetText(description);
  if (store.Insert() == SeverityOk) ++LastImportFigures.added;
}

// --- The progress window ----------------------------------------------------------

ImportProgressWindow::ImportProgressWindow() : BatchProgressWindow(kSection) {}

Severity ImportProgressWindow::Init() {
  if (const Severity result = StartProcedure(*this, 1); result != SeverityOk) return result;
  LastImportFigures = {};

  // A missing, empty or unreadable name is told plainly; nothing is opened,
  // and the file is never created.
  if (const std::string problem = ImportFileProblem(TransferFileName.Clipped()); !problem.empty()) {
    ShowFileProblem(kImportCaption, problem);
    return SeverityNotify;
  }
  BookmarkImportFileManager->CREATE = 0;
  BookmarkImportFileManager->OPENMODE = runtime::AccessRead | runtime::ShareDenyNone;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  if (BookmarkImportFileRelations->Open() != SeverityOk) {
    (void)BookmarkStoreRelations->Close();
    return SeverityNotify;
  }
  filesOpen_ = true;
  // Opened now, so the first batch already runs in a transaction.
  (void)BookmarkStoreManager->UseFile();
  (void)BookmarkImportFileManager->UseFile();

  OpenProgressWindow();
  StartBatches(process_, BookmarkImportFile(), *BookmarkImportFileRelations, 255, "");
  return SeverityOk;
}

Severity ImportProgressWindow::TakeWindowEvent() {
  if (ThisEvent().code != runtime::ui::EventCode::Timer || !filesOpen_) return ReportManager::TakeWindowEvent();
  return TakeBatchInTransaction(
      [this] { return ReportManager::TakeWindowEvent(); }, kImportCaption,
      "The bookmarks of the last batch could not be saved: ", ". Import the file again to complete it.", RESPONSE);
}

Severity ImportProgressWindow::Kill() {
  if (const Severity result = ReportManager::Kill(); result != SeverityOk) return result;
  view_.reset();
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    (void)BookmarkImportFileRelations->Close();
    filesOpen_ = false;
  }
  CloseProgressWindow();
  return SeverityOk;
}

void ImportProcess() {
  std::uint8_t response = ResponseCancelled;
  bool started = false;
  {
    ImportProgressWindow window;
    response = window.Run();
    started = window.OPENED != 0;
  }
  // The clean-up also follows a cancelled import: what was added stays.
  if (started) CleanUp();
  ResponseCode = response;
}

}  // namespace marlinden
