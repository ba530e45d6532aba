#include "procedures/WebPageList.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include "app/DataFiles.h"
#include "process/LegacyMessages.h"
#include "process/ReportDisplayStrings.h"
#include "runtime/system/Clock.h"
#include "runtime/system/Directory.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventCode.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/MessageBox.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"
#include "window/Globals.h"

namespace marlinden {

namespace {

using runtime::ReportLayout;
using runtime::ui::ButtonCancel;
using runtime::ui::ButtonIgnore;
using runtime::ui::ButtonNo;
using runtime::ui::ButtonYes;
using runtime::ui::ControlKind;
using runtime::ui::EventCode;

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

// --- The process ----------------------------------------------------------------

void WebPageListProcess::Reset() {
  RECORDSPROCESSED = 0;
  if (view_ != nullptr) (void)view_->Close();
  view_ = std::make_unique<runtime::View>(file_);
  if (view_->SetOrder("UPPER(WEB:URL)") != runtime::NoError || view_->SetFilter("") != runtime::NoError ||
      view_->Open(66) != runtime::NoError) {
    LegacyWarning(36, "");
  }
}

Severity WebPageListProcess::ReadNext(CountRecord count) {
  if (view_ == nullptr) return SeverityNotify;
  const std::int32_t code = view_->Next();
  if (code != runtime::NoError) {
    if (code != runtime::NoRecord) LegacyWarning(35, "Marlinden");
    return SeverityNotify;
  }
  if (count == CountRecord::No) return SeverityOk;
  if (RECORDSPROCESSED < std::numeric_limits<std::int32_t>::max()) ++RECORDSPROCESSED;
  if (PERCENTILE != nullptr && *PERCENTILE < 100) {
    *PERCENTILE = RECORDSTOPROCESS > 0 ? Percentage(RECORDSPROCESSED, RECORDSTOPROCESS) : 100;
    UpdateDisplay();
  }
  return SeverityOk;
}

void WebPageListProcess::UpdateDisplay() {
  const int percent = PERCENTILE != nullptr ? *PERCENTILE : 0;
  if (WINDOW == nullptr || percent == shownPercent_) return;
  shownPercent_ = percent;
  char text[8];
  std::snprintf(text, sizeof text, "%3d", percent);
  WINDOW->SetText(PTEXT, text + DisplayStrings.ProgWinPctText.Clipped());
  if (runtime::ui::Control* bar = WINDOW->Find(PROGRESSBAR)) bar->SetValue(percent);
  WINDOW->Display();
}

Severity WebPageListProcess::TakeRecord() {
  const Severity result = ProcessManager::TakeRecord();
  if (report_.PrintBand(WebPageListDetail, {std::string(file_.Record().Field(WebUrl).ClippedText())})) ++listed_;
  return result;
}

void WebPageListProcess::Kill() {
  if (view_ != nullptr) (void)view_->Close();
  view_.reset();
  ProcessManager::Kill();
}

// --- The progress window ------------------------------------------------------------

WebPageListWindow::WebPageListWindow(const WebPageListOptions& options, bool preview)
    : options_(options),
      report_(WebPageListLayout(), &printer_),
      run_(report_),
      file_(BookmarkStore()),
      process_(file_, report_) {
  printer_.title = "Web Page List";
  printer_.pdfFile = options_.pdfFile;
  printer_.printerName = options_.printerName;
  run_.previewIni.Set("REPORTS.INI");
  run_.preview = preview;
}

Severity WebPageListWindow::Init() {
  (void)WindowManager::Init();
  openedHere_ = OpenOrRecoverFile(file_, true, false, 0, true) == runtime::NoError;
  process_.RECORDSTOPROCESS =
      static_cast<std::int32_t>(std::clamp<std::int64_t>(file_.Records(), 0, std::numeric_limits<std::int32_t>::max()));
  process_.PTEXT = ReportPercentText;
  process_.PROGRESSBAR = ReportProgressBar;
  process_.PERCENTILE = &percentile_;

  runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  runtime::ui::Window& window = OpenWindow(ProgressDescription());
  window.SetText(ReportPercentText, "  0" + DisplayStrings.ProgWinPctText.Clipped());
  window.SetTitle(run_.preview ? DisplayStrings.ProgWinTitlePrvw.Clipped() : DisplayStrings.ProgWinTitlePrnt.Clipped());
  window.SetText(ReportUserText, DisplayStrings.ProgWinUsrText.Clipped());

  ReportManager::Init(process_);
  // The window closes where the run ends, after the event loop.
  KEEPVISIBLE = 1;
  // Each timer event prints as many records as half the time slice allows
  // (the report manager doubles and halves the count), so the run pays for
  // a timer wait only between batches of that length.
  RECORDSPERCYCLE = std::max(options_.recordsPerEvent, 1);

  (void)file_.SendOption("QUICKSCAN=on");
  report_.SetHeaderValues({RunLine()});
  report_.copies = options_.copies;
  return SeverityOk;
}

Severity WebPageListWindow::OpenReport() {
  const Severity result = ReportManager::OpenReport();
  if (result == SeverityOk) run_.OpenReportForOutput();
  return result;
}

void WebPageListWindow::TakeNoRecords() { OPENFAILED = 1; }

Severity WebPageListWindow::TakeEvent() {
  if (runtime::ui::LastKeyCode() != runtime::ui::KeyCode::Esc) return ReportManager::TakeEvent();
  runtime::ui::SetLastKeyCode(runtime::ui::KeyCode::None);
  if (runtime::ui::Window* window = GetWindow()) window->Post(EventCode::Accepted, ReportCancel);
  return SeverityNotify;
}

Severity WebPageListWindow::TakeAccepted() {
  if (ThisEvent().control != ReportCancel) return ReportManager::TakeAccepted();
  if (AskBarredMessage(DisplayStrings.CancelAreYouSureTitle.Clipped(), DisplayStrings.CancelAreYouSureText.Clipped(),
                       kQuestionIcon, ButtonYes | ButtonNo, ButtonNo) != ButtonYes)
    return SeverityNotify;
  // A cancel the user withdraws goes on with batches that start again from
  // one record and grow back to the time slice.
  RECORDSPERCYCLE = 1;
  if (run_.preview && (!run_.List().Empty() || report_.PageNumber() > 0)) {
    const std::uint32_t answer = AskBarredMessage(DisplayStrings.CancelPrvwPartialTitle.Clipped(),
                                                  DisplayStrings.CancelPrvwPartialText.Clipped(), kQuestionIcon,
                                                  ButtonYes | ButtonNo | ButtonIgnore, ButtonNo);
    if (answer == ButtonYes) {
      RESPONSE = ResponseCompleted;
      run_.partialPreview = true;
    } else if (answer == ButtonNo) {
      RESPONSE = ResponseCancelled;
    } else {
      return SeverityNotify;
    }
  } else {
    RESPONSE = ResponseCancelled;
  }
  if (runtime::ui::Window* window = GetWindow()) {
    window->SetTimer(0);
    window->Post(EventCode::CloseWindow);
  }
  return SeverityNotify;
}

void WebPageListWindow::Finish() {
  (void)file_.SendOption("QUICKSCAN=off");
  run_.response = RESPONSE != ResponseNone ? RESPONSE : ResponseCancelled;
  // The total stands after the last detail line, also in a partial preview.
  if (run_.opened && (run_.response == ResponseCompleted || run_.partialPreview))
    (void)report_.PrintBand(WebPageListTotal, {std::to_string(process_.Listed())});
  CloseWindow();
  run_.FinishReport(runtime::ui::LastKeyCode() == runtime::ui::KeyCode::Esc);
  run_.CloseReport();
  runtime::ui::SetCursor(runtime::ui::Cursor::Normal);
}

Severity WebPageListWindow::Kill() {
  if (DEAD || PROCESS == nullptr) return SeverityNotify;
  Finish();
  const Severity result = ReportManager::Kill();
  if (openedHere_) (void)file_.Close();
  return result;
}

// --- The procedure ---------------------------------------------------------------------

std::uint8_t WebPageList(const WebPageListOptions& options, bool* printFailed) {
  LoadDisplayStrings("REPORTS.INI", "Do you wish to PREVIEW this Report?", "Preview", "");
  const runtime::FixedText<128> savedDirectory(runtime::ShortPath(runtime::CurrentDirectory()));
  PrinterCopies = 1;
  runtime::ui::SetCursor(runtime::ui::Cursor::Normal);

  bool preview = false;
  if (options.askPreview) {
    const std::uint32_t answer =
        AskBarredMessage(DisplayStrings.AskPrvwDialogTitle.Clipped(), DisplayStrings.AskPrvwDialogText.Clipped(),
                         kQuestionIcon, ButtonYes | ButtonNo | ButtonCancel, ButtonYes);
    if (answer != ButtonYes && answer != ButtonNo) {
      ResponseCode = ResponseCancelled;
      return ResponseCode;
    }
    preview = answer == ButtonYes;
  }
  const std::uint8_t savedRequest = RequestCode;
  RequestCode = 0;
  ResponseCode = 0;

  WebPageListWindow window(options, preview);
  const std::uint8_t response = window.Run();
  if (printFailed != nullptr) *printFailed = window.PrintFailed();

  ResponseCode = response;
  RequestCode = savedRequest;
  const std::string current = runtime::ShortPath(runtime::CurrentDirectory());
  if (runtime::UpperAscii(runtime::Clip(current)) != runtime::UpperAscii(savedDirectory.Clipped()))
    (void)runtime::SetCurrentDirectory(savedDirectory.Clipped());
  return ResponseCode;
}

}  // namespace marlinden
