#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/reports/PageImage.h"
#include "runtime/reports/PageImageList.h"
#include "runtime/reports/Report.h"
#include "support/TempDir.h"

namespace {

using runtime::PageImage;
using runtime::PageImageList;
using runtime::Report;
using runtime::ReportLayout;

// A printer that records the pages it is given.
class RecordingPrinter : public runtime::PageSink {
 public:
  bool MakesCopies() const override { return makesCopies; }
  bool Begin(std::int32_t copies, bool) override {
    ++jobs;
    jobCopies = copies;
    return !failBegin;
  }
  bool TakePage(const PageImage& page) override {
    pages.push_back(page.Texts());
    return true;
  }
  bool End() override { return !failEnd; }
  void Abort() override { ++aborted; }

  bool makesCopies = false;
  bool failBegin = false;
  bool failEnd = false;
  int jobs = 0;
  int aborted = 0;
  std::int32_t jobCopies = 0;
  std::vector<std::vector<std::string>> pages;
};

// Page 1100 high with margins 100: a 300 header leaves room for 3 details
// of 200 (300 + 3 x 200 = 900 of the 900 printable).
ReportLayout SmallLayout() {
  ReportLayout layout;
  layout.pageWidth = 1000;
  layout.pageHeight = 1100;
  layout.leftMargin = layout.topMargin = layout.rightMargin = layout.bottomMargin = 100;
  layout.pageHeader.height = 300;
  layout.pageHeader.items.push_back({ReportLayout::Item::Source::Literal, "Title", 0, {}, {0, 0, 800, 150}});
  layout.pageHeader.items.push_back({ReportLayout::Item::Source::PageNumber, "Page %d", 0, {}, {0, 150, 800, 150}});
  ReportLayout::Band detail;
  detail.height = 200;
  detail.items.push_back({ReportLayout::Item::Source::Value, "", 0, {}, {0, 0, 5000, 200}});
  layout.bands.push_back(detail);
  return layout;
}

std::vector<std::string> Line(int n) { return {"line " + std::to_string(n)}; }

std::vector<PageImage> ReadList(const PageImageList& list) {
  std::vector<PageImage> pages;
  for (const std::string& name : list.Names()) {
    PageImage page;
    EXPECT_TRUE(page.Load(name)) << name;
    pages.push_back(page);
  }
  return pages;
}

TEST(ReportTest, BreaksPagesRepeatsTheHeaderAndClosingKeepsTheLastPage) {
  PageImageList list;
  Report report(SmallLayout());
  report.Open();
  report.DirectTo(&list);
  for (int i = 1; i <= 7; ++i) ASSERT_TRUE(report.PrintBand(0, Line(i)));
  EXPECT_EQ(list.Count(), 2u);  // the third page is still being filled
  ASSERT_TRUE(report.Close());
  const std::vector<PageImage> pages = ReadList(list);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].Texts(), (std::vector<std::string>{"Title", "Page 1", "line 1", "line 2", "line 3"}));
  EXPECT_EQ(pages[1].Texts(), (std::vector<std::string>{"Title", "Page 2", "line 4", "line 5", "line 6"}));
  EXPECT_EQ(pages[2].Texts(), (std::vector<std::string>{"Title", "Page 3", "line 7"}));
  for (const PageImage& page : pages)
    for (const PageImage::TextRun& run : page.runs) EXPECT_LE(run.box.Bottom(), 1000);
}

TEST(ReportTest, ABoxWiderThanThePageIsCutAtTheRightMargin) {
  PageImageList list;
  Report report(SmallLayout());
  report.Open();
  report.DirectTo(&list);
  ASSERT_TRUE(report.PrintBand(0, {std::string(400, 'w')}));
  ASSERT_TRUE(report.Close());
  const PageImage page = ReadList(list).at(0);
  const PageImage::TextRun& detail = page.runs.back();
  EXPECT_EQ(detail.box.x, 100);
  EXPECT_EQ(detail.box.Right(), 900);
  EXPECT_TRUE(detail.clip);
}

TEST(ReportTest, NothingPrintedGivesNoPageAndUnknownBandsAreRefused) {
  PageImageList list;
  Report report(SmallLayout());
  EXPECT_FALSE(report.PrintBand(0, Line(1)));  // not open
  report.Open();
  report.DirectTo(&list);
  EXPECT_FALSE(report.PrintBand(5, Line(1)));
  ASSERT_TRUE(report.EndPage());
  ASSERT_TRUE(report.Close());
  EXPECT_TRUE(list.Empty());
}

TEST(ReportTest, DirectPagesGoToThePrinterAsTheyAreMade) {
  RecordingPrinter printer;
  printer.makesCopies = true;
  Report report(SmallLayout(), &printer);
  report.copies = 2;
  report.Open();
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(report.PrintBand(0, Line(i)));
  EXPECT_EQ(printer.pages.size(), 1u);
  ASSERT_TRUE(report.Close());
  EXPECT_EQ(printer.pages.size(), 2u);
  EXPECT_EQ(printer.jobCopies, 2);
  EXPECT_EQ(report.PagesPrinted(), 2);
}

TEST(ReportTest, ADiscardedReportPrintsNothing) {
  RecordingPrinter printer;
  Report report(SmallLayout(), &printer);
  report.Open();
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(report.PrintBand(0, Line(i)));
  report.Discard();
  EXPECT_EQ(printer.aborted, 1);
  EXPECT_FALSE(report.IsOpen());
  EXPECT_EQ(report.PagesPrinted(), 0);
}

TEST(ReportTest, CopiesAreMadeOnceByThePrinterOrByRepeatingPages) {
  struct Case {
    bool makesCopies;
    bool collate;
    std::int32_t jobCopies;
    std::vector<std::string> order;  // second text of each page sent
  };
  const std::vector<Case> cases = {
      {true, false, 2, {"Page 1", "Page 2"}},
      {true, true, 2, {"Page 1", "Page 2"}},
      {false, false, 1, {"Page 1", "Page 1", "Page 2", "Page 2"}},
      {false, true, 1, {"Page 1", "Page 2", "Page 1", "Page 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.makesCopies << c.collate);
    RecordingPrinter printer;
    printer.makesCopies = c.makesCopies;
    PageImageList list;
    Report report(SmallLayout(), &printer);
    report.Open();
    report.DirectTo(&list);
    for (int i = 1; i <= 4; ++i) ASSERT_TRUE(report.PrintBand(0, Line(i)));
    list.copies = 2;
    list.collate = c.collate;
    report.SendListToPrinter();
    ASSERT_TRUE(report.Close());
    EXPECT_EQ(printer.jobs, 1);
    EXPECT_EQ(printer.jobCopies, c.jobCopies);
    std::vector<std::string> order;
    for (const auto& page : printer.pages) order.push_back(page.at(1));
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(report.PagesPrinted(), static_cast<std::int32_t>(c.order.size()));
  }
}

TEST(ReportTest, AFailedPrintIsReportedAndNotCounted) {
  for (const bool failBegin : {true, false}) {
    RecordingPrinter printer;
    printer.failBegin = failBegin;
    printer.failEnd = !failBegin;
    PageImageList list;
    Report report(SmallLayout(), &printer);
    report.Open();
    report.DirectTo(&list);
    ASSERT_TRUE(report.PrintBand(0, Line(1)));
    report.SendListToPrinter();
    EXPECT_FALSE(report.Close());
    EXPECT_EQ(report.PagesPrinted(), 0);
  }
  Report unprinted(SmallLayout());
  PageImageList list;
  unprinted.Open();
  unprinted.DirectTo(&list);
  ASSERT_TRUE(unprinted.PrintBand(0, Line(1)));
  unprinted.SendListToPrinter();
  EXPECT_FALSE(unprinted.Close());  // marked for a printer there is not
}

TEST(PageImageListTest, PagesLiveInAPrivateFolderWithShortNamesAndGoWhenEmptied) {
  std::filesystem::path folder;
  {
    PageImageList list;
    PageImage page;
    page.runs.push_back({});
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(list.Add(page));
    folder = std::filesystem::path(list.Name(0)).parent_path();
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const std::string& name : list.Names()) {
      EXPECT_LE(name.size(), PageImageList::kNameSize);
      EXPECT_TRUE(std::filesystem::exists(name));
    }
    const std::vector<std::string> names = list.Names();
    list.Clear();
    EXPECT_TRUE(list.Empty());
    for (const std::string& name : names) EXPECT_FALSE(std::filesystem::exists(name));
    ASSERT_TRUE(list.Add(page));
    EXPECT_EQ(std::find(names.begin(), names.end(), list.Name(0)), names.end());  // never reused
  }
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(PageImageTest, RoundTripsAnyTextAndRefusesDamagedFiles) {
  testing_support::TempDir dir;
  PageImage page;
  page.width = 1234;
  page.runs.push_back({{"Liberation Sans", 14, true}, {1, 2, 3, 4}, runtime::TextAlign::Right, false, "a: b\nc 9:x"});
  page.runs.push_back({{}, {5, 6, 7, 8}, runtime::TextAlign::Left, true, ""});
  page.lines.push_back({1, 2, 3, 4, 5});
  page.boxes.push_back({9, 8, 7, 6});
  const std::string path = dir.File("p.pg");
  ASSERT_TRUE(page.Save(path));
  PageImage back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.width, 1234);
  ASSERT_EQ(back.runs.size(), 2u);
  EXPECT_EQ(back.runs[0].font, page.runs[0].font);
  EXPECT_EQ(back.runs[0].box, page.runs[0].box);
  EXPECT_EQ(back.runs[0].align, runtime::TextAlign::Right);
  EXPECT_FALSE(back.runs[0].clip);
  EXPECT_EQ(back.Texts(), page.Texts());
  EXPECT_EQ(back.lines.size(), 1u);
  EXPECT_EQ(back.boxes.at(0), page.boxes[0]);

  std::string whole;
  {
    std::ifstream in(path, std::ios::binary);
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const std::string& damaged :
       {whole.substr(0, whole.size() - 3), std::string("MLPAGE 1\n10 10\nT 1 2\nE\n"), std::string("something else")}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    PageImage read;
    EXPECT_FALSE(read.Load(path)) << damaged;
    EXPECT_TRUE(read.runs.empty());
  }
  EXPECT_FALSE(back.Load(dir.File("missing.pg")));
}

}  // namespace
