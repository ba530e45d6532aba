// The "Web Page List" report: every bookmark's address in URL order, one per
// line, under a page header (title, run date and time, page number, column
// heading) with the count of listed addresses after the last line. It asks
// whether to preview, prints in batches of 25 records per timer event while
// a progress window shows the percentage and can be cancelled, and finishes
// through the preview or the printer. The main window and its tray menu
// start it; the command-line companion runs it on the print path.
// Thread: the calling runtime thread, holding the runtime lock (it runs its
// own event loop, modally).
#pragma once

#include <cstdint>
#include <string>

#include "runtime/reports/ReportLayout.h"

namespace marlinden {

struct WebPageListOptions {
  bool askPreview = true;   // false: the print path without the question
  std::string pdfFile;      // print to this PDF file instead of a printer
  std::string printerName;  // print on this printer (empty: the system's choice)
  std::int32_t copies = 1;
  // Records per timer event. 25 keeps the progress window responsive; a run
  // without a user to answer (the command line) may take more at a time.
  std::int32_t recordsPerEvent = 25;
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

// Runs the report; leaves the response in ResponseCode and returns it.
// Also tells whether a print failed (printFailed may be null).
std::uint8_t WebPageList(const WebPageListOptions& options = {}, bool* printFailed = nullptr);

}  // namespace marlinden
