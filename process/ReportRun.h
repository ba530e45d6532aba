// One run of a printed report from the report procedure's side: whether it
// previews, whether the report was opened, how the run ended, the copies;
// and the two steps every report shares: opening the report so its pages
// land in the page-image list when they must, and finishing the run through
// the preview or the printer with the "nothing to" notes. The preview
// library's calls (SUPPORTED, ASSGNPGOFPG, PRINTPREVIEW, HANDLECOPIES) are
// here too.
// Thread: the report's runtime thread.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/reports/PageImageList.h"
#include "runtime/reports/Report.h"
#include "runtime/text/FixedText.h"

namespace marlinden {

// The printer's copy count (a printer property the report reads and sets).
extern std::int32_t PrinterCopies;

// 1: the printer makes copies itself (true of every printer the backend
// prints on: it makes each copy once).
std::uint16_t SUPPORTED(std::int32_t property);
// Writes "Page n of m" at the foot of every listed page.
void ASSGNPGOFPG(runtime::PageImageList& list);
// Shows the listed pages; 1 when the user asked to print them.
std::uint8_t PRINTPREVIEW(runtime::PageImageList& list, std::int16_t zoom, runtime::Report& report,
                          std::string_view iniName);
// Prepares the list so printing it yields copies copies.
void HANDLECOPIES(runtime::PageImageList& list, std::int32_t copies);
// Tells the user that a report could not be printed.
void TellPrintFailed();

class ReportRun {
 public:
  explicit ReportRun(runtime::Report& report) : report_(report) {}

  void OpenReportForOutput();
  // After the report's event loop; escPressed: the last key was Esc.
  void FinishReport(bool escPressed);
  // Closes the report (printing what was marked or generated; a failed
  // print is told to the user) and empties the list.
  void CloseReport();

  runtime::PageImageList& List() { return list_; }

  bool preview = false;
  bool opened = false;
  std::uint8_t response = 0;  // ResponseCompleted or ResponseCancelled
  bool partialPreview = false;
  double savedCopies = 1;
  bool pageOfPages = false;
  bool previewOption = false;
  runtime::FixedText<64> previewIni;
  bool printFailed = false;

 private:
  bool NeedsList() const;
  void Note(const std::string& title, const std::string& text);

  runtime::Report& report_;
  runtime::PageImageList list_;
};

}  // namespace marlinden
