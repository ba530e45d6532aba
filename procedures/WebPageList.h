// The "Web Page List" report: every bookmark's address in URL order, one per
// line, under a page header (title, run date and time, page number, column
// heading) with the count of listed addresses after the last line. It asks
// whether to preview, prints in batches that fill the progress window's time
// slice while the window shows the percentage and can be cancelled, and
// finishes through the preview or the printer. The main window and its tray
// menu start it; the command-line companion runs it on the print path.
//
// The progress window is a ReportManager like the batch procedures' (one
// handler per event: Open reads the first record and opens the report, each
// timer event prints a batch sized to the time slice, TakeAccepted confirms
// a cancel); the percentage is shown as it changes, within a batch too. The
// report is opened and finished by a ReportRun, the report procedure's own
// steps, and the bookmark file is opened and read with the legacy check-open
// and messages.
// Thread: the calling runtime thread, holding the runtime lock (the progress
// window runs modally).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "errors/Severity.h"
#include "process/BackendPrinter.h"
#include "process/ProcessManager.h"
#include "process/ReportManager.h"
#include "process/ReportRun.h"
#include "runtime/files/DataFile.h"
#include "runtime/reports/Report.h"
#include "runtime/reports/ReportLayout.h"
#include "runtime/views/View.h"

namespace marlinden {

struct WebPageListOptions {
  bool askPreview = true;   // false: the print path without the question
  std::string pdfFile;      // print to this PDF file instead of a printer
  std::string printerName;  // print on this printer (empty: the system's choice)
  std::int32_t copies = 1;
  // Records the first timer event takes before it looks at the time; from
  // then on each batch grows or shrinks to fill the time slice. A run
  // without a user to answer (the command line) may start bigger.
  std::int32_t recordsPerEvent = 1;
};

// The progress window's controls, numbered in declaration order.
enum WebPageListControl : std::int32_t {
  ReportProgressTitle = 1,
  ReportProgressBar,
  ReportUserText,
  ReportPercentText,
  ReportCancel,
};

// Bands of the report's layout.
enum WebPageListBand : std::size_t { WebPageListDetail = 0, WebPageListTotal = 1 };

runtime::ReportLayout WebPageListLayout();

// Reads the bookmarks in URL order from its own view of the bookmark file
// and prints one detail line per record. The file is the report's, opened
// with the legacy check-open, so the view-manager part stays unused: a view
// that cannot be set up is told as legacy message 36, a failed read as
// message 35, and either ends the run as the end of the records does.
class WebPageListProcess : public ProcessManager {
 public:
  // file and report are borrowed and must outlive Kill.
  WebPageListProcess(runtime::DataFile& file, runtime::Report& report) : file_(file), report_(report) {}

  void Kill() override;
  // Opens a new view over the file in URL order; RECORDSPROCESSED = 0.
  void Reset() override;
  // SeverityOk with a record in the buffer, else SeverityNotify.
  Severity ReadNext(CountRecord count) override;
  // Prints the current record's detail line.
  Severity TakeRecord() override;
  // The percentage right-aligned in three places and "ProgWinPctText"; the
  // window is redisplayed when the percentage changed.
  void UpdateDisplay() override;

  std::int64_t Listed() const { return listed_; }

 private:
  runtime::DataFile& file_;
  runtime::Report& report_;
  std::unique_ptr<runtime::View> view_;
  std::int64_t listed_ = 0;  // detail lines printed
  int shownPercent_ = -1;
};

// The report's progress window and the run it drives.
class WebPageListWindow : public ReportManager {
 public:
  // preview: the user chose to preview (else the run prints).
  WebPageListWindow(const WebPageListOptions& options, bool preview);

  // Opens the bookmark file and the progress window and sets the batches up.
  Severity Init() override;
  // Ends the run (the total line, the preview or print), then closes the
  // view and the bookmark file when this run opened it.
  Severity Kill() override;
  // Esc acts as the Cancel button.
  Severity TakeEvent() override;
  // Cancel: confirmed, and during a preview with pages the partial preview
  // offered.
  Severity TakeAccepted() override;
  // The first record read opens the report for output; without one, the
  // finishing steps tell "Nothing to ..." instead of message 22.
  Severity OpenReport() override;
  void TakeNoRecords() override;

  bool PrintFailed() const { return run_.printFailed; }

 private:
  void CloseProgress();
  void Finish();

  const WebPageListOptions options_;
  BackendPrinter printer_;
  runtime::Report report_;
  ReportRun run_;
  runtime::DataFile& file_;
  WebPageListProcess process_;
  std::uint8_t percentile_ = 0;
  bool openedHere_ = false;  // this run opened the bookmark file
};

// Runs the report; leaves the response in ResponseCode and returns it.
// Also tells whether a print failed (printFailed may be null).
std::uint8_t WebPageList(const WebPageListOptions& options = {}, bool* printFailed = nullptr);

}  // namespace marlinden
