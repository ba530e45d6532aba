// The printer a report prints on: pages are kept as page-image files and
// handed to the backend's print (the system's printer, a named printer or a
// PDF file) when the job ends, which makes the copies once. A job the backend
// could not print ends false, so it never counts as printed.
// Thread: the report's runtime thread.
#pragma once

#include <string>

#include "runtime/reports/PageImageList.h"
#include "runtime/reports/PageSink.h"

namespace marlinden {

class BackendPrinter : public runtime::PageSink {
 public:
  bool MakesCopies() const override { return true; }
  [[nodiscard]] bool Begin(std::int32_t copies, bool collate) override;
  [[nodiscard]] bool TakePage(const runtime::PageImage& page) override;
  [[nodiscard]] bool End() override;
  void Abort() override { pages_.Clear(); }

  std::string title;
  std::string printerName;  // empty: the system's choice
  std::string pdfFile;      // non-empty: write this PDF file

 private:
  runtime::PageImageList pages_;
  std::int32_t copies_ = 1;
  bool collate_ = false;
  bool ok_ = true;
};

}  // namespace marlinden
