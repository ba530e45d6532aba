#include "process/BackendPrinter.h"

#include "runtime/ui/Dialogs.h"

namespace marlinden {

bool BackendPrinter::Begin(std::int32_t copies, bool collate) {
  pages_.Clear();
  copies_ = copies;
  collate_ = collate;
  ok_ = true;
  return true;
}

bool BackendPrinter::TakePage(const runtime::PageImage& page) {
  if (!pages_.Add(page)) ok_ = false;
  return ok_;
}

bool BackendPrinter::End() {
  runtime::ui::PrintRequest request;
  request.title = title;
  request.pages = pages_.Names();
  request.copies = static_cast<std::uint32_t>(copies_ < 1 ? 1 : copies_);
  request.collate = collate_;
  request.printerName = printerName;
  request.pdfFile = pdfFile;
  const bool printed = ok_ && !request.pages.empty() && runtime::ui::Print(request);
  pages_.Clear();
  return printed;
}

}  // namespace marlinden
