// Opens the print preview on a Web Page List of sample addresses (one long
// enough to be cut at the page's edge) on the Qt backend: for screenshots
// (tools/preview_screenshot.sh) and for looking at the preview by hand.
#include <string>

#include "procedures/WebPageList.h"
#include "qt/RunQtProgram.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/reports/Report.h"
#include "runtime/ui/Dialogs.h"

int main(int argc, char** argv) {
  return runtime::qt::RunQtProgram(argc, argv, [] {
    runtime::PageImageList pages;
    runtime::Report report(marlinden::WebPageListLayout());
    report.Open();
    report.DirectTo(&pages);
    report.SetHeaderValues({"Run: 12/7/26  2:05 PM"});
    const int count = 120;
    for (int i = 0; i < count; ++i) {
      std::string url = "https://www.example" + std::to_string(1000 + i) + ".org/";
      if (i == 3) url += "a/very/long/path/" + std::string(200, 'x');
      (void)report.PrintBand(marlinden::WebPageListDetail, {url});
    }
    (void)report.PrintBand(marlinden::WebPageListTotal, {std::to_string(count)});
    (void)report.Close();
    (void)runtime::ui::Preview("Web Page List", pages.Names());
  });
}
