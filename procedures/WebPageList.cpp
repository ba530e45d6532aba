#include "procedures/WebPageList.h"

#include <cstdio>
#include <memory>

#include "app/DataFiles.h"
#include "process/BackendPrinter.h"
#include "process/LegacyMessages.h"
#include "process/ReportDisplayStrings.h"
#include "process/ReportRun.h"
#include "runtime/reports/Report.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Directory.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"
#include "runtime/views/View.h"
#include "window/Globals.h"

namespace marlinden {

namespace {

using runtime::ReportLayout;
using runtime::ui::ButtonCancel;
using runtime::ui::ButtonIgnore;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonYes;
using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;
using runtime::ui::EventCode;
using runtime::ui::LoopAction;

constexpr std::int32_t kRecordsPerEvent = 25;
constexpr std::uint32_t kQuestionIcon = static_cast<std::uint32_t>(runtime::ui::Icon::Question);

ReportLayout::Item Text(std::string text, runtime::ReportBox box, runtime::ReportFont font = {},
                        runtime::TextAlign align = runtime::TextAlign::Left) {
  return {ReportLayout::Item::Source::Literal, std::move(text), 0, std::move(font), box, align};
}

ReportLayout::Item ValueAt(std::size_t value, runtime::ReportBox box,
                           runtime::TextAlign align = runtime::TextAlign::Left) {
  return {ReportLayout::Item::Source::Value, "", value, {}, box, align};
}

runtime::ui::WindowDescription ProgressDescription() {
  runtime::ui::WindowDescription d;
  d.name = "WebPageListProgress";
  d.title = "Progress...";
  d.rect = {0, 0, 142, 66};
  d.font = {"MS Sans Serif", 8};
  d.timerHundredths = 1;
  const auto control = runtime::ui::DescribeControl;
  d.controls = {
      control(ControlKind::String, "", {4, 2, 132, 10}),        control(ControlKind::Progress, "", {4, 14, 132, 12}),
      control(ControlKind::String, "", {4, 28, 132, 10}),       control(ControlKind::String, "", {4, 38, 132, 10}),
      control(ControlKind::Button, "Cancel", {48, 50, 45, 14}),
  };
  return d;
}

std::string RunLine() {
  const runtime::CivilDate date = runtime::CivilFromDate(runtime::Today());
  const std::int32_t minutes = runtime::Clock() / 6000;
  const int hour = minutes / 60;
  char text[64];
  std::snprintf(text, sizeof text, "Run: %u/%u/%02d  %d:%02d %s", date.month, date.day, date.year % 100,
                hour % 12 == 0 ? 12 : hour % 12, minutes % 60, hour < 12 ? "AM" : "PM");
  return text;
}

}  // namespace

ReportLayout WebPageListLayout() {
  ReportLayout layout;
  const runtime::ReportFont title{"Arial", 14, true};
  const runtime::ReportFont bold{"Arial", 10, true};
  layout.pageHeader.height = 1000;
  layout.pageHeader.items = {
      Text("Web Page List", {0, 0, 7500, 320}, title, runtime::TextAlign::Center),
      ValueAt(0, {0, 400, 4500, 200}),
      {ReportLayout::Item::Source::PageNumber, "Page: %d", 0, {}, {5500, 400, 2000, 200}, runtime::TextAlign::Right},
      Text("Web Address", {0, 700, 7500, 200}, bold),
  };
  layout.pageHeader.lines = {{0, 920, 7500, 920, 10}};
  ReportLayout::Band detail;
  detail.height = 200;
  detail.items = {ValueAt(0, {0, 0, 7500, 200})};
  ReportLayout::Band total;
  total.height = 450;
  total.items = {Text("Total Number Of Web Pages Listed", {0, 200, 4500, 200}, bold),
                 ValueAt(0, {4600, 200, 2900, 200}, runtime::TextAlign::Right)};
  total.lines = {{0, 100, 7500, 100, 10}};
  layout.bands = {detail, total};
  return layout;
}

std::uint8_t WebPageList(const WebPageListOptions& options, bool* printFailed) {
  LoadDisplayStrings("REPORTS.INI", "Do you wish to PREVIEW this Report?", "Preview", "");
  const runtime::FixedText<128> savedDirectory(runtime::ShortPath(runtime::CurrentDirectory()));
  PrinterCopies = 1;
  runtime::ui::SetCursor(runtime::ui::Cursor::Normal);

  BackendPrinter printer;
  printer.title = "Web Page List";
  printer.pdfFile = options.pdfFile;
  printer.printerName = options.printerName;
  runtime::Report report(WebPageListLayout(), &printer);
  ReportRun run(report);
  run.previewIni.Set("REPORTS.INI");

  if (options.askPreview) {
    const std::uint32_t answer =
        AskBarredMessage(DisplayStrings.AskPrvwDialogTitle.Clipped(), DisplayStrings.AskPrvwDialogText.Clipped(),
                         kQuestionIcon, ButtonYes | ButtonNo | ButtonCancel, ButtonYes);
    if (answer != ButtonYes && answer != ButtonNo) {
      ResponseCode = ResponseCancelled;
      return ResponseCode;
    }
    run.preview = answer == ButtonYes;
  }
  const std::uint8_t savedRequest = RequestCode;
  run.response = ResponseCancelled;
  RequestCode = 0;
  ResponseCode = 0;

  runtime::DataFile& file = BookmarkStore();
  const bool openedHere = OpenOrRecoverFile(file, true, false, 0, true) == runtime::NoError;
  const std::int64_t toProcess = file.Records();
  std::int32_t perEvent = options.recordsPerEvent > 0 ? options.recordsPerEvent : kRecordsPerEvent;
  std::int64_t processed = 0;
  int percent = 0;
  int shownPercent = -1;
  std::int64_t listed = 0;

  runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  std::unique_ptr<runtime::ui::Window> window = runtime::ui::Window::Open(ProgressDescription());
  const std::string pctText = DisplayStrings.ProgWinPctText.Clipped();
  window->SetText(ReportPercentText, "  0" + pctText);
  window->SetTitle(run.preview ? DisplayStrings.ProgWinTitlePrvw.Clipped() : DisplayStrings.ProgWinTitlePrnt.Clipped());
  window->SetText(ReportUserText, DisplayStrings.ProgWinUsrText.Clipped());
  (void)file.SendOption("QUICKSCAN=on");
  report.SetHeaderValues({RunLine()});
  report.copies = options.copies;

  std::unique_ptr<runtime::View> view;
  auto readRecord = [&] {
    if (view == nullptr) return false;
    const std::int32_t code = view->Next();
    if (code != runtime::NoError) {
      if (code != runtime::NoRecord) LegacyWarning(35, "Marlinden");
      return false;
    }
    ++processed;
    if (percent < 100) {
      percent = toProcess > 0 ? static_cast<int>(std::min<std::int64_t>(processed * 100 / toProcess, 100)) : 100;
      char text[8];
      std::snprintf(text, sizeof text, "%3d", percent);
      window->SetText(ReportPercentText, text + pctText);
      if (auto* bar = window->Find(ReportProgressBar)) bar->SetValue(percent);
      if (percent != shownPercent) {
        shownPercent = percent;
        window->Display();
      }
    }
    return true;
  };
  auto url = [&] { return std::string(file.Record().Field(WebUrl).ClippedText()); };
  auto printDetail = [&] {
    if (report.PrintBand(WebPageListDetail, {url()})) ++listed;
  };
  bool cancelRequested = false;

  runtime::ui::RunEventLoop(*window, [&](const runtime::ui::Event& event) {
    if (runtime::ui::LastKeyCode() == runtime::ui::KeyCode::Esc) {
      runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
      window->Post(EventCode::Accepted, ReportCancel);
      return LoopAction::Cycle;
    }
    switch (event.code) {
      case EventCode::OpenWindow: {
        view = std::make_unique<runtime::View>(file);
        if (view->SetOrder("UPPER(WEB:URL)") != runtime::NoError || view->SetFilter("") != runtime::NoError ||
            view->Open(66) != runtime::NoError) {
          LegacyWarning(36, "");
        }
        if (!readRecord()) {
          window->Post(EventCode::CloseWindow);
        } else {
          run.OpenReportForOutput();
        }
        return LoopAction::Cycle;
      }
      case EventCode::Timer:
        for (std::int32_t i = 0; i < perEvent; ++i) {
          printDetail();
          if (!readRecord()) {
            run.response = ResponseCompleted;
            window->SetTimer(0);
            window->Post(EventCode::CloseWindow);
            break;
          }
          run.response = ResponseCancelled;
        }
        return LoopAction::Cycle;
      case EventCode::Accepted:
        if (event.control != ReportCancel) return LoopAction::CarryOn;
        if (AskBarredMessage(DisplayStrings.CancelAreYouSureTitle.Clipped(),
                             DisplayStrings.CancelAreYouSureText.Clipped(), kQuestionIcon, ButtonYes | ButtonNo,
                             ButtonNo) != ButtonYes)
          return LoopAction::Cycle;
        cancelRequested = true;
        perEvent = 1;
        if (run.preview && (!run.List().Empty() || report.PageNumber() > 0)) {
          const std::uint32_t answer = AskBarredMessage(DisplayStrings.CancelPrvwPartialTitle.Clipped(),
                                                        DisplayStrings.CancelPrvwPartialText.Clipped(), kQuestionIcon,
                                                        ButtonYes | ButtonNo | ButtonIgnore, ButtonNo);
          if (answer == ButtonYes) {
            run.response = ResponseCompleted;
            run.partialPreview = true;
          } else if (answer == ButtonNo) {
            run.response = ResponseCancelled;
          } else {
            if (answer == ButtonIgnore) cancelRequested = false;
            return LoopAction::Cycle;
          }
        } else {
          run.response = ResponseCancelled;
        }
        window->SetTimer(0);
        window->Post(EventCode::CloseWindow);
        return LoopAction::Cycle;
      default:
        return LoopAction::CarryOn;
    }
  });

  (void)file.SendOption("QUICKSCAN=off");
  // The total stands after the last detail line, also in a partial preview.
  if (run.opened && (run.response == ResponseCompleted || run.partialPreview))
    (void)report.PrintBand(WebPageListTotal, {std::to_string(listed)});
  window->Close();
  run.FinishReport(runtime::ui::LastKeyCode() == runtime::ui::KeyCode::Esc);
  run.CloseReport();
  if (printFailed != nullptr) *printFailed = run.printFailed;

  runtime::ui::SetCursor(runtime::ui::Cursor::Normal);
  if (view != nullptr) (void)view->Close();
  if (openedHere) (void)file.Close();
  ResponseCode = run.response != 0 ? run.response : ResponseCancelled;
  RequestCode = savedRequest;
  const std::string current = runtime::ShortPath(runtime::CurrentDirectory());
  if (runtime::UpperAscii(runtime::Clip(current)) != runtime::UpperAscii(savedDirectory.Clipped()))
    (void)runtime::SetCurrentDirectory(savedDirectory.Clipped());
  return ResponseCode;
}

}  // namespace marlinden
