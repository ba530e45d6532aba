#include "process/ReportRun.h"

#include <algorithm>
#include <cmath>

#include "process/LegacyMessages.h"
#include "process/ReportDisplayStrings.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/MessageBox.h"
#include "window/Globals.h"

namespace marlinden {

std::int32_t PrinterCopies = 1;

namespace {
constexpr std::int32_t kCopiesProperty = 0x7B03;
}  // namespace

std::uint16_t SUPPORTED(std::int32_t) { return 1; }

void ASSGNPGOFPG(runtime::PageImageList& list) {
  const std::size_t count = list.Count();
  for (std::size_t i = 0; i < count; ++i) {
    runtime::PageImage page;
    if (!page.Load(list.Name(i))) continue;
    runtime::PageImage::TextRun run;
    run.box = {0, page.height - 400, page.width - 500, 200};
    run.align = runtime::TextAlign::Right;
    run.text = "Page " + std::to_string(i + 1) + " of " + std::to_string(count);
    page.runs.push_back(run);
    (void)page.Save(list.Name(i));
  }
}

std::uint8_t PRINTPREVIEW(runtime::PageImageList& list, std::int16_t, runtime::Report&, std::string_view) {
  return runtime::ui::Preview("Print Preview", list.Names()) == runtime::ui::PreviewAnswer::Print ? 1 : 0;
}

void HANDLECOPIES(runtime::PageImageList& list, std::int32_t copies) { list.copies = copies < 1 ? 1 : copies; }

void TellPrintFailed() {
  AskBarredMessage("Print Error", "The report could not be printed.",
                   static_cast<std::uint32_t>(runtime::ui::Icon::Exclamation), runtime::ui::ButtonOk,
                   runtime::ui::ButtonOk);
}

bool ReportRun::NeedsList() const {
  return (report_.copies > 1 && SUPPORTED(kCopiesProperty) != 1) || report_.collate || pageOfPages;
}

void ReportRun::Note(const std::string& title, const std::string& text) {
  AskBarredMessage(title, text, static_cast<std::uint32_t>(runtime::ui::Icon::Exclamation), runtime::ui::ButtonOk,
                   runtime::ui::ButtonOk);
}

void ReportRun::OpenReportForOutput() {
  PrinterCopies = 1;
  if (!opened) {
    report_.Open();
    opened = true;
    // Opening a report hands the printer the copies the report asks for, so
    // the copies asked of the run survive the check below.
    PrinterCopies = std::max(report_.copies, 1);
  }
  if (PrinterCopies != report_.copies) report_.copies = PrinterCopies;
  savedCopies = report_.copies;
  if (report_.collate) report_.copies = 1;
  if (preview || NeedsList()) report_.DirectTo(&list_);
}

void ReportRun::FinishReport(bool escPressed) {
  if (preview) {
    if ((response == ResponseCompleted && !escPressed) || partialPreview) {
      (void)report_.EndPage();
      if (list_.Empty()) {
        Note(DisplayStrings.NothingToPrvwTitle.Clipped(), DisplayStrings.NothingToPrvwText.Clipped());
      } else {
        if (pageOfPages) ASSGNPGOFPG(list_);
        report_.copies = static_cast<std::int32_t>(std::lround(savedCopies));
        ResponseCode = PRINTPREVIEW(list_, 100, report_, "REPORTS.INI");
        if (ResponseCode == 1) {
          const std::int32_t printerSaved = PrinterCopies;
          PrinterCopies = report_.copies;
          HANDLECOPIES(list_, report_.copies);
          report_.SendListToPrinter();
          PrinterCopies = printerSaved;
        }
      }
      ResponseCode = response;
    } else if (!opened) {
      Note(DisplayStrings.NothingToPrvwTitle.Clipped(), DisplayStrings.NothingToPrvwText.Clipped());
    }
    return;
  }
  if (!opened) {
    Note(DisplayStrings.NothingToPrntTitle.Clipped(), DisplayStrings.NothingToPrntText.Clipped());
  } else if (escPressed || response != ResponseCompleted) {
    // A cancelled print run prints nothing, whatever was made so far.
    list_.Clear();
    report_.Discard();
  } else if (NeedsList()) {
    (void)report_.EndPage();
    if (list_.Empty()) {
      Note(DisplayStrings.NothingToPrntTitle.Clipped(), DisplayStrings.NothingToPrntText.Clipped());
    } else {
      if (pageOfPages) ASSGNPGOFPG(list_);
      savedCopies = PrinterCopies;
      report_.copies = PrinterCopies;
      HANDLECOPIES(list_, report_.collate ? static_cast<std::int32_t>(std::lround(savedCopies)) : report_.copies);
      list_.collate = report_.collate;
      report_.SendListToPrinter();
    }
  }
}

void ReportRun::CloseReport() {
  if (report_.IsOpen() && !report_.Close()) {
    printFailed = true;
    TellPrintFailed();
  }
  list_.Clear();
}

}  // namespace marlinden
