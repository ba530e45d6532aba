#include "main/cli/PrintingBackend.h"

#include <QGuiApplication>
#include <QPrinterInfo>
#include <iostream>
#include <memory>

#include "qt/PagePrinting.h"

namespace marlinden::cli {

void PrepareForPrinting() {
  static int argc = 1;
  static char name[] = "marlinden-cli";
  static char* argv[] = {name, nullptr};
  if (QGuiApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

bool PrintingBackend::Print(const runtime::ui::PrintRequest& request) {
  (void)HeadlessBackend::Print(request);
  if (QGuiApplication::instance() == nullptr) return false;
  if (request.pdfFile.empty() && request.printerName.empty() && QPrinterInfo::defaultPrinter().isNull()) {
    std::cerr << "marlinden-cli print: no printer is installed; name a PDF file with --pdf FILE\n";
    return false;
  }
  return runtime::qt::PrintPages(request, nullptr);
}

}  // namespace marlinden::cli
