#include "process/ReportManager.h"

#include <limits>

#include "errors/MessageIds.h"
#include "process/ReportRun.h"
#include "runtime/system/Clock.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/EventCode.h"

namespace marlinden {

using runtime::ui::EventCode;

std::int64_t ReportManager::Now() { return runtime::CurrentTimeSource().SteadyMicros() / 10'000; }

void ReportManager::Init(ProcessManager& process, runtime::Report* report, PrintPreview* preview) {
  PROCESS = &process;
  REPORT = report;
  PREVIEW = preview;
  if (PREVIEW != nullptr) {
    PREVIEWQUEUE = std::make_unique<runtime::PageImageList>();
    PREVIEW->Init(*PREVIEWQUEUE);
  }
  PROCESS->WINDOW = GetWindow();
  RECORDSPERCYCLE = 1;
  TIMESLICE = 100;
}

void ReportManager::Ask() {
  if (DEFERWINDOW != 0) {
    if (WAITCURSOR) runtime::ui::SetCursor(runtime::ui::CursorBusy);
    STARTTIME = Now();
    if (runtime::ui::Window* window = GetWindow()) window->Hide();
  }
  WindowManager::Ask();
}

void ReportManager::Open() {
  WindowManager::Open();
  if (!DEFEROPENREPORT) (void)OpenReport();
}

Severity ReportManager::OpenReport() {
  PROCESS->Reset();
  const Severity result = NextRecord();
  DEFEROPENREPORT = 0;
  if (result != SeverityOk) {
    TakeNoRecords();
    return result;
  }
  OPENFAILED = 0;
  if (REPORT != nullptr) {
    if (!REPORT->IsOpen()) REPORT->Open();
    if (PREVIEW != nullptr) REPORT->DirectTo(PREVIEWQUEUE.get());
  }
  return result;
}

Severity ReportManager::NextRecord() {
  const Severity read = PROCESS->ReadNext(CountRecord::Yes);
  if (read == SeverityOk) return SeverityOk;
  PostClose();
  if (read == SeverityNotify && PROCESS->RECORDSPROCESSED != 0) {
    RESPONSE = ResponseCompleted;
    return SeverityNotify;
  }
  RESPONSE = ResponseCancelled;
  return SeverityFatal;
}

void ReportManager::TakeNoRecords() {
  if (ERRORS != nullptr) (void)ERRORS->Raise(MsgNoRecords);
  OPENFAILED = 1;
}

void ReportManager::EndReport() {
  if (PREVIEW == nullptr || REPORT == nullptr || RESPONSE != ResponseCompleted) return;
  (void)REPORT->EndPage();
  if (SKIPPREVIEW || PREVIEW->Display(ZOOM)) {
    REPORT->SendListToPrinter();
    // The marked pages are printed from the queue, so before it is emptied.
    CloseReport();
  }
  PREVIEWQUEUE->Clear();
}

void ReportManager::CloseReport() {
  if (REPORT != nullptr && REPORT->IsOpen() && !REPORT->Close()) TellPrintFailed();
}

Severity ReportManager::TakeWindowEvent() {
  if (ThisEvent().code != EventCode::Timer) return WindowManager::TakeWindowEvent();
  if (DEFEROPENREPORT) (void)OpenReport();
  if (OPENFAILED) return SeverityFatal;
  const BatchEnd end = TakeBatch();
  // The next timer counts from the end of this batch, so the window has its
  // own time between batches however long one took (a stopped timer stays
  // stopped).
  if (runtime::ui::Window* window = GetWindow()) window->SetTimer(window->Timer());
  if (end == BatchEnd::Early) return SeverityNotify;
  return WindowManager::TakeWindowEvent();
}

ReportManager::BatchEnd ReportManager::TakeBatch() {
  std::int64_t taken = 0;
  const std::int64_t t0 = Now();
  if (DEFERWINDOW != 0 && t0 - STARTTIME > static_cast<std::int64_t>(DEFERWINDOW) * 100) {
    if (runtime::ui::Window* window = GetWindow()) window->Unhide();
    if (WAITCURSOR) runtime::ui::SetCursor(runtime::ui::CursorDefault);
    DEFERWINDOW = 0;
  }
  for (;;) {
    while (taken < RECORDSPERCYCLE) {
      const Severity result = PROCESS->TakeRecord();
      if (result == SeverityFatal) {
        StopTimer();
        PostClose();
        return BatchEnd::Early;
      }
      if (result == SeverityNotify) return BatchEnd::Early;
      if (NextRecord() != SeverityOk) {
        StopTimer();
        return BatchEnd::Early;
      }
      ++taken;
    }
    const std::int64_t elapsed = Now() - t0;
    if (5 * elapsed < 4 * static_cast<std::int64_t>(TIMESLICE) &&
        RECORDSPERCYCLE <= std::numeric_limits<std::int32_t>::max() / 2) {
      RECORDSPERCYCLE *= 2;
    }
    if (2 * elapsed < TIMESLICE) continue;
    if (2 * elapsed > 3 * static_cast<std::int64_t>(TIMESLICE) && RECORDSPERCYCLE > 1) RECORDSPERCYCLE /= 2;
    return BatchEnd::Normal;
  }
}

Severity ReportManager::TakeCloseEvent() {
  const EventCode code = ThisEvent().code;
  if (code != EventCode::CloseWindow) return SeverityOk;
  if (WAITCURSOR) runtime::ui::SetCursor(runtime::ui::CursorDefault);
  if (!KEEPVISIBLE) {
    if (runtime::ui::Window* window = GetWindow()) window->Hide();
  }
  EndReport();
  CloseReport();
  // After a cancel too, no page image outlives the run.
  if (PREVIEWQUEUE != nullptr) PREVIEWQUEUE->Clear();
  return SeverityOk;
}

Severity ReportManager::Kill() {
  if (DEAD || PROCESS == nullptr) return SeverityNotify;
  // The report outlives the queue: it must not keep writing into it.
  if (REPORT != nullptr && PREVIEWQUEUE != nullptr && REPORT->Directed() == PREVIEWQUEUE.get())
    REPORT->DirectTo(nullptr);
  PREVIEWQUEUE.reset();
  if (PREVIEW != nullptr) PREVIEW->Kill();
  PROCESS->Kill();
  return WindowManager::Kill();
}

void ReportManager::StopTimer() {
  if (runtime::ui::Window* window = GetWindow()) window->SetTimer(0);
}

void ReportManager::PostClose() {
  if (runtime::ui::Window* window = GetWindow()) window->Post(EventCode::CloseWindow);
}

}  // namespace marlinden
