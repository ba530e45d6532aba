// The command-line companion's backend: headless, except that printing is
// real, through Qt's print support on the calling thread (a PDF file or a
// named or default printer). Without a PDF file and without any printer it
// says so on standard error and the print fails. Its windows are seen by
// nobody, so their places are not kept.
#pragma once

#include "runtime/headless/HeadlessBackend.h"

namespace marlinden::cli {

class PrintingBackend : public runtime::ui::HeadlessBackend {
 public:
  bool Print(const runtime::ui::PrintRequest& request) override;
  bool ShowsWindows() const override { return false; }
};

// Makes the Qt application printing needs (offscreen unless a platform is
// named); call on the main thread before the runtime starts.
void PrepareForPrinting();

}  // namespace marlinden::cli
