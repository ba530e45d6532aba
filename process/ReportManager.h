// The progress window of a batch process: a window manager that, on every
// timer event of its window, lets the ProcessManager take a batch of records
// sized so that one batch takes about half a time slice. Work happens only
// inside timer events, so the window repaints and its Cancel button works
// between batches. Used here without a printed report or preview.
//
// The time slice is measured on the runtime's monotonic clock: a wall clock
// stepped back, or midnight, never stalls a run.
//
// Thread: the runtime thread of the progress window, holding the runtime
// lock.
#pragma once

#include <cstdint>

#include "errors/Severity.h"
#include "process/ProcessManager.h"
#include "window/WindowManager.h"

namespace marlinden {

class ReportManager : public WindowManager {
 public:
  // Stores the process (borrowed; it must outlive Kill) and gives it the
  // window opened by the procedure's Init; RECORDSPERCYCLE = 1,
  // TIMESLICE = 100. The window manager's own Init has run already.
  void Init(ProcessManager& process);

  // --- WindowManager operations it replaces -------------------------------------
  void Ask() override;
  void Open() override;
  Severity Kill() override;
  Severity TakeCloseEvent() override;
  Severity TakeWindowEvent() override;

  // --- Its own operations -----------------------------------------------------
  // Nothing to finish without a printed report.
  virtual void EndReport();
  // The next record, counted: SeverityOk; at the end SeverityNotify after at
  // least one record ("completed"), else SeverityFatal ("cancelled"); a read
  // error SeverityFatal ("cancelled"). In those cases a close is posted.
  virtual Severity NextRecord();
  // Starts the run: the process's Reset and the first record.
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
  ProcessManager* PROCESS = nullptr;  // borrowed
  std::int32_t RECORDSPERCYCLE = 1;
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
};

}  // namespace marlinden
