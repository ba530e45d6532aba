// The preview object of a class-based report: it is handed the report
// manager's page-image list and shows the listed pages in the preview
// window, whose Print button asks for the printer.
// Thread: the report's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/reports/PageImageList.h"

namespace marlinden {

class PrintPreview {
 public:
  // The list whose pages Display shows (borrowed; kept until Kill).
  void Init(runtime::PageImageList& queue) { QUEUE = &queue; }
  // Shows the list's pages; zoom in percent, 0 for the window's fit to
  // width. True when the user asked to print them; false without a list or
  // pages.
  bool Display(std::int16_t zoom = 0);
  // Forgets the list.
  void Kill() { QUEUE = nullptr; }

  runtime::PageImageList* QUEUE = nullptr;  // borrowed
  std::string TITLE = "Print Preview";
};

}  // namespace marlinden
