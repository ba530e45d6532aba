#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdio>
#include <string>

#include "qt/PagePrinting.h"
#include "qt/PageRenderer.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/reports/Report.h"
#include "support/CommandOutput.h"
#include "support/TempDir.h"

namespace {

using runtime::PageImage;
using runtime::PageImageList;
using runtime::Report;
using runtime::ReportLayout;

using testing_support::CommandOutput;

ReportLayout Layout() {
  ReportLayout layout;
  layout.pageHeader.height = 400;
  layout.pageHeader.items.push_back(
      {ReportLayout::Item::Source::Literal, "Heading Text", 0, {"Arial", 14, true}, {0, 0, 7500, 300}});
  layout.pageHeader.items.push_back(
      {ReportLayout::Item::Source::PageNumber, "Sheet %d", 0, {}, {0, 0, 7500, 300}, runtime::TextAlign::Right});
  ReportLayout::Band detail;
  detail.height = 2000;  // four details per page
  detail.items.push_back({ReportLayout::Item::Source::Value, "", 0, {}, {0, 0, 7500, 200}});
  layout.bands.push_back(detail);
  return layout;
}

void FillList(PageImageList& list, int lines) {
  Report report(Layout());
  report.Open();
  report.DirectTo(&list);
  for (int i = 1; i <= lines; ++i) ASSERT_TRUE(report.PrintBand(0, {"entry" + std::to_string(i)}));
  ASSERT_TRUE(report.Close());
}

TEST(QtPagePrintingTest, APdfHoldsEveryPageWithItsTextAndMakesCopiesOnce) {
  testing_support::TempDir dir;
  PageImageList list;
  FillList(list, 7);
  ASSERT_EQ(list.Count(), 2u);
  for (const int copies : {1, 2}) {
    runtime::ui::PrintRequest request;
    request.title = "Test";
    request.pages = list.Names();
    request.copies = static_cast<std::uint32_t>(copies);
    request.collate = true;
    request.pdfFile = dir.File("out" + std::to_string(copies) + ".pdf");
    ASSERT_TRUE(runtime::qt::PrintPages(request, nullptr));
    const std::string text = CommandOutput("pdftotext -layout '" + request.pdfFile + "' -");
    std::size_t sheets = 0;
    for (char c : text) sheets += c == '\f';
    EXPECT_EQ(sheets, 2u * static_cast<std::size_t>(copies)) << text;
    for (const char* expected : {"Heading Text", "Sheet 1", "Sheet 2", "entry1", "entry5", "entry7"})
      EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_LT(text.find("entry4"), text.find("Sheet 2"));
    EXPECT_GT(text.find("entry5"), text.find("Sheet 2"));
  }
}

TEST(QtPagePrintingTest, AnUnreadablePageOrUnknownPrinterFailsThePrint) {
  testing_support::TempDir dir;
  runtime::ui::PrintRequest request;
  request.pages = {dir.File("missing.pg")};
  request.pdfFile = dir.File("out.pdf");
  EXPECT_FALSE(runtime::qt::PrintPages(request, nullptr));
  request.pdfFile.clear();
  request.printerName = "no such printer here";
  EXPECT_FALSE(runtime::qt::PrintPages(request, nullptr));
}

TEST(QtPagePrintingTest, TextIsCutAtTheEdgeOfItsBox) {
  PageImage page;
  page.width = 1000;
  page.height = 1000;
  page.runs.push_back({{"Arial", 72, true}, {0, 0, 300, 500}, runtime::TextAlign::Left, true, "WWWWWWWWWW"});
  QImage image(200, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    runtime::qt::DrawPage(page, painter, QRectF(0, 0, 200, 200));
  }
  auto inkIn = [&](int x0, int x1) {
    int ink = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = x0; x < x1; ++x) ink += qGray(image.pixel(x, y)) < 128;
    return ink;
  };
  EXPECT_GT(inkIn(0, 60), 0);    // drawn inside its box (0..60 pixels)
  EXPECT_EQ(inkIn(61, 200), 0);  // and nothing past it
}

}  // namespace
