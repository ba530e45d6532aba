// The report service: a report opened on a layout lays its bands out on
// pages, starting a new page (with the page header) when a band does not fit
// above the bottom margin. A finished page goes to the page-image list when
// the output is directed there, otherwise straight to the printer as it is
// made. Closing ends a non-empty current page first, then sends the listed
// pages to the printer when they were marked for it, making the copies once:
// by the printer when it makes copies itself, else by repeating pages.
//
// Thread: the report's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/reports/PageImage.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/reports/PageSink.h"
#include "runtime/reports/ReportLayout.h"

namespace runtime {

class Report {
 public:
  // printer (borrowed, may be null: pages not listed are then dropped).
  explicit Report(ReportLayout layout, PageSink* printer = nullptr);

  void Open();
  bool IsOpen() const { return open_; }
  // Pages made from now on go to list (borrowed); null: to the printer.
  void DirectTo(PageImageList* list) { list_ = list; }
  PageImageList* Directed() const { return list_; }

  // Values shown by the page header's value items on the pages to come.
  void SetHeaderValues(std::vector<std::string> values) { headerValues_ = std::move(values); }
  // Lays out band (an index into the layout's bands) with values; false
  // when the report is not open, the band is unknown, or a page could not be
  // stored or printed.
  [[nodiscard]] bool PrintBand(std::size_t band, const std::vector<std::string>& values);
  // Ends the current page when anything is on it.
  [[nodiscard]] bool EndPage();
  // The listed pages are to be sent to the printer when the report closes.
  void SendListToPrinter() { sendList_ = true; }
  // Ends a non-empty page, prints what was marked or generated; false when
  // printing failed. Does not empty the list.
  [[nodiscard]] bool Close();
  // Closes without printing anything: the current page and a job begun on
  // the printer are dropped.
  void Discard();

  std::int32_t PageNumber() const { return pageNumber_; }
  // Pages the printer accepted in a job that ended well.
  std::int32_t PagesPrinted() const { return printed_; }
  const ReportLayout& Layout() const { return layout_; }

  std::int32_t copies = 1;
  bool collate = false;

 private:
  void StartPage();
  void Place(const ReportLayout::Band& band, const std::vector<std::string>& values, std::int32_t top);
  bool Emit();
  bool PrintList();

  ReportLayout layout_;
  PageSink* printer_;
  PageImageList* list_ = nullptr;
  std::vector<std::string> headerValues_;
  PageImage page_;
  bool pageOpen_ = false;
  bool open_ = false;
  bool sendList_ = false;
  bool directJob_ = false;  // a job on the printer was begun for direct pages
  bool failed_ = false;
  std::int32_t y_ = 0;
  std::int32_t pageNumber_ = 0;
  std::int32_t directPages_ = 0;
  std::int32_t printed_ = 0;
};

}  // namespace runtime
