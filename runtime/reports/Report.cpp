#include "runtime/reports/Report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace runtime {

namespace {

std::string PageNumberText(const std::string& format, std::int32_t page) {
  char text[32];
  std::snprintf(text, sizeof text, format.empty() ? "%d" : format.c_str(), page);
  return text;
}

}  // namespace

Report::Report(ReportLayout layout, PageSink* printer) : layout_(std::move(layout)), printer_(printer) {}

void Report::Open() {
  open_ = true;
  pageOpen_ = false;
  sendList_ = false;
  directJob_ = false;
  failed_ = false;
  pageNumber_ = 0;
  directPages_ = 0;
  printed_ = 0;
}

void Report::StartPage() {
  page_ = PageImage{};
  page_.width = layout_.pageWidth;
  page_.height = layout_.pageHeight;
  pageOpen_ = true;
  ++pageNumber_;
  y_ = layout_.topMargin;
  Place(layout_.pageHeader, headerValues_, y_);
  y_ += layout_.pageHeader.height;
}

void Report::Place(const ReportLayout::Band& band, const std::vector<std::string>& values, std::int32_t top) {
  const std::int32_t left = layout_.leftMargin;
  const std::int32_t right = layout_.pageWidth - layout_.rightMargin;
  for (const ReportLayout::Item& item : band.items) {
    PageImage::TextRun run;
    run.font = item.font;
    run.align = item.align;
    run.box = {left + item.box.x, top + item.box.y, item.box.width, item.box.height};
    // Nothing is drawn past the right margin: the box is cut at the page's
    // printable edge.
    run.box.width = std::max(0, std::min(run.box.Right(), right) - run.box.x);
    switch (item.source) {
      case ReportLayout::Item::Source::Literal:
        run.text = item.text;
        break;
      case ReportLayout::Item::Source::Value:
        run.text = item.value < values.size() ? values[item.value] : std::string();
        break;
      case ReportLayout::Item::Source::PageNumber:
        run.text = PageNumberText(item.text, pageNumber_);
        break;
    }
    page_.runs.push_back(std::move(run));
  }
  for (PageImage::Line line : band.lines) {
    line.x1 += left;
    line.x2 += left;
    line.y1 += top;
    line.y2 += top;
    page_.lines.push_back(line);
  }
}

bool Report::PrintBand(std::size_t band, const std::vector<std::string>& values) {
  if (!open_ || band >= layout_.bands.size()) return false;
  const ReportLayout::Band& layout = layout_.bands[band];
  const std::int32_t bottom = layout_.pageHeight - layout_.bottomMargin;
  if (pageOpen_ && y_ + layout.height > bottom && !EndPage()) return false;
  if (!pageOpen_) StartPage();
  Place(layout, values, y_);
  y_ += layout.height;
  return !failed_;
}

bool Report::EndPage() {
  if (!pageOpen_) return !failed_;
  pageOpen_ = false;
  if (!Emit()) failed_ = true;
  page_ = PageImage{};
  return !failed_;
}

bool Report::Emit() {
  if (list_ != nullptr) return list_->Add(page_);
  if (printer_ == nullptr) return true;
  if (!directJob_) {
    directJob_ = true;
    if (!printer_->Begin(std::max(copies, 1), collate)) return false;
  }
  if (!printer_->TakePage(page_)) return false;
  ++directPages_;
  return true;
}

bool Report::PrintList() {
  if (list_ == nullptr || list_->Empty()) return true;
  if (printer_ == nullptr) return false;
  const std::int32_t wanted = std::max(list_->copies, 1);
  const bool byPrinter = printer_->MakesCopies();
  const std::int32_t repeats = byPrinter ? 1 : wanted;
  if (!printer_->Begin(byPrinter ? wanted : 1, list_->collate)) return false;
  std::int32_t sent = 0;
  PageImage page;
  auto send = [&](const std::string& name) {
    if (!page.Load(name) || !printer_->TakePage(page)) return false;
    ++sent;
    return true;
  };
  bool ok = true;
  if (list_->collate) {
    for (std::int32_t copy = 0; ok && copy < repeats; ++copy)
      for (const std::string& name : list_->Names())
        if (ok) ok = send(name);
  } else {
    for (const std::string& name : list_->Names())
      for (std::int32_t copy = 0; ok && copy < repeats; ++copy) ok = send(name);
  }
  if (!printer_->End() || !ok) return false;
  printed_ += sent;
  return true;
}

bool Report::Close() {
  if (!open_) return !failed_;
  bool ok = EndPage();
  if (directJob_) {
    directJob_ = false;
    if (printer_->End() && ok)
      printed_ += directPages_;
    else
      ok = false;
  }
  if (ok && sendList_) ok = PrintList();
  sendList_ = false;
  open_ = false;
  return ok;
}

void Report::Discard() {
  if (directJob_) printer_->Abort();
  directJob_ = false;
  pageOpen_ = false;
  sendList_ = false;
  open_ = false;
  page_ = PageImage{};
}

}  // namespace runtime
