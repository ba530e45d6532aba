// The progress window of a batch process: a window manager that, on every
// timer event of its window, lets the ProcessManager take a batch of records
// sized so that one batch takes about half a time slice. Work happens only
// inside timer events, so the window repaints and its Cancel button works
// between batches. The batch procedures use it without a printed report or
// preview. With a report, OpenReport opens it; with a preview too, the
// report's pages land in PREVIEWQUEUE, and a completed run ends by showing
// them (or, with SKIPPREVIEW, printing them without a look) and emptying the
// queue, which deletes the page-image files.
//
// The time slice is measured on the runtime's monotonic clock: a wall clock
// stepped back, or midnight, never stalls a run.
//
// Thread: the runtime thread of the progress window, holding the runtime
// lock.
#pragma once

#include <cstdint>
#include <memory>

#include "errors/Severity.h"
#include "process/PrintPreview.h"
#include "process/ProcessManager.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/reports/Report.h"
#include "window/WindowManager.h"

namespace marlinden {

class ReportManager : public WindowManager {
 public:
  // Stores the process, report and preview (all borrowed; they must outlive
  // Kill) and gives the process the window opened by the procedure's Init;
  // with a preview, creates PREVIEWQUEUE and hands it to the preview;
  // RECORDSPERCYCLE = 1, TIMESLICE = 100. The window manager's own Init has
  // run already.
  void Init(ProcessManager& process, runtime::Report* report = nullptr, PrintPreview* preview = nullptr);

  // --- WindowManager operations it replaces -------------------------------------
  void Ask() override;
  void Open() override;
  Severity Kill() override;
  Severity TakeCloseEvent() override;
  Severity TakeWindowEvent() override;

  // --- Its own operations -----------------------------------------------------
  // With a preview and a completed run: ends the report's last page, then
  // marks the pages for the printer when SKIPPREVIEW is set or the preview
  // (shown with ZOOM when non-zero) asked to print, and prints them by
  // closing the report; finally empties PREVIEWQUEUE. Nothing otherwise.
  virtual void EndReport();
  // The next record, counted: SeverityOk; at the end SeverityNotify after at
  // least one record ("completed"), else SeverityFatal ("cancelled"); a read
  // error SeverityFatal ("cancelled"). In those cases a close is posted.
  virtual Severity NextRecord();
  // Starts the run: the process's Reset and the first record; with a first
  // record, opens REPORT and directs its pages into PREVIEWQUEUE when there
  // is a preview.
  virtual Severity OpenReport();
  // Message 22 ("No Records"), then OPENFAILED.
  virtual void TakeNoRecords();

  // Hundredths of a second on the runtime's monotonic clock.
  static std::int64_t Now();

  // --- Fields -------------------------------------------------------------------
  std::uint8_t DEFEROPENREPORT = 0;
  std::uint16_t DEFERWINDOW = 0;  // seconds the window stays hidden, 0 = shown at once
  std::uint8_t KEEPVISIBLE = 0;
  std::uint8_t OPENFAILED = 0;
  PrintPreview* PREVIEW = nullptr;                       // borrowed, optional
  std::unique_ptr<runtime::PageImageList> PREVIEWQUEUE;  // only with PREVIEW
  ProcessManager* PROCESS = nullptr;                     // borrowed
  std::int32_t RECORDSPERCYCLE = 1;
  runtime::Report* REPORT = nullptr;  // borrowed, optional
  std::uint8_t SKIPPREVIEW = 0;
  std::int64_t STARTTIME = 0;  // Now() when Ask began (with DEFERWINDOW)
  std::uint16_t TIMESLICE = 100;
  std::uint8_t WAITCURSOR = 0;
  std::int16_t ZOOM = 0;

 private:
  enum class BatchEnd : std::uint8_t { Normal, Early };
  // The records of one timer event.
  BatchEnd TakeBatch();
  void StopTimer();
  void PostClose();
  // Closes an open REPORT, printing what was marked or generated; a failed
  // print is told to the user.
  void CloseReport();
};

}  // namespace marlinden
