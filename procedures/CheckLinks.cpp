#include "procedures/CheckLinks.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "mail/SmtpLibrary.h"
#include "procedures/LinkProblems.h"
#include "procedures/ProcedureStart.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

// What a timer event gives the transfers; the rest of the slice is the
// window's.
constexpr std::chrono::milliseconds kPollBudget{40};
// Seconds a batch of results waits for another station's write lock.
constexpr int kLockWaitSeconds = 5;
constexpr const char* kLine = "Checking Links";

std::string Counted(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void ShowInformation(std::string_view caption, std::string_view text) {
  runtime::ui::MessageBoxRequest request;
  request.caption = std::string(caption);
  request.text = std::string(text);
  request.icon = runtime::ui::Icon::Asterisk;
  (void)runtime::ui::AskMessage(request);
}

}  // namespace

LinkCheckFigures LastLinkCheckFigures;
LinkCheckListener LinkCheckListen;

std::string LinkCheckSummary(const LinkCheckFigures& figures) {
  return std::string(figures.cancelled ? "Cancelled after " : "Checked ") + Counted(figures.checked, "link", "links") +
         ": " + std::to_string(figures.ok) + " ok, " + std::to_string(figures.moved) + " moved, " +
         std::to_string(figures.dead) + " dead, " + std::to_string(figures.errors) + " could not be reached.";
}

Severity CheckLinksWindow::Init() {
  if (const Severity result = StartProcedure(*this, ProgressCancel); result != SeverityOk) return result;
  LastLinkCheckFigures = {};
  if (BookmarkStoreRelations->Open() != SeverityOk || LinkCheckStoreManager->UseFile() != SeverityOk) {
    LastLinkCheckFigures.failed = true;
    return SeverityNotify;
  }
  filesOpen_ = true;

  links::LinkCheckOptions options;
  options.timeout = settings_.timeout;
  options.resolve = settings_.resolve;
  // Certificates are verified as the mail verifies them.
  std::optional<std::string> authorities = ExtraMailAuthorities();
  if (!authorities) {
    ShowFileProblem(kCheckLinksCaption, std::string("The certificate file named by ") + kMailCaFileVariable +
                                            " cannot be read: " + std::getenv(kMailCaFileVariable));
    LastLinkCheckFigures.failed = true;
    return SeverityNotify;
  }
  options.extraAuthorities = std::move(*authorities);
  checker_ = links::LinkChecker::Create(std::move(options));
  total_ = BookmarkStore().Records();
  view_ = std::make_unique<runtime::View>(BookmarkStore());
  if (checker_ == nullptr || view_->Open(0) != runtime::NoError ||
      !checker_->Start([this] { return NextBookmark(); }, total_)) {
    LastLinkCheckFigures.failed = true;
    return SeverityNotify;
  }

  runtime::ui::Window& window = OpenWindow(ProgressWindowDescription(kCheckLinksSection));
  OPENED = 1;
  GlobalIni.RestoreWindow(kCheckLinksSection, window, runtime::ui::Frame::Fixed);
  window.SetTitle(kCheckLinksCaption);
  window.SetText(ProgressTextLine, kLine);
  ShowProgress();
  PressOnEscape(ProgressCancel);
  SetAlerts();
  return SeverityOk;
}

std::optional<links::LinkRequest> CheckLinksWindow::NextBookmark() {
  if (view_->Next() != runtime::NoError) return std::nullopt;
  runtime::RecordBuffer& record = BookmarkStore().Record();
  links::LinkRequest request;
  request.id = static_cast<std::uint64_t>(record.Field(WebNum).Get().AsInteger());
  request.url = std::string(record.Field(WebUrl).ClippedText());
  return request;
}

bool CheckLinksWindow::Keep(const std::vector<links::LinkResult>& results) {
  if (results.empty()) return true;
  const bool inTransaction = runtime::EnlistInTransaction(LinkCheckStore()) == runtime::NoError &&
                             runtime::BeginTransaction(kLockWaitSeconds) == runtime::NoError;
  bool kept = true;
  LinkCheckFigures& figures = LastLinkCheckFigures;
  for (const links::LinkResult& result : results) {
    if (result.status == links::LinkStatus::NotChecked) continue;
    ++figures.checked;
    switch (result.status) {
      case links::LinkStatus::Ok:
        ++figures.ok;
        break;
      case links::LinkStatus::Redirect:
        ++figures.moved;
        break;
      case links::LinkStatus::Dead:
        ++figures.dead;
        break;
      default:
        ++figures.errors;
        break;
    }
    const auto number = static_cast<std::int64_t>(result.id);
    kept = WriteLinkResult(number, result) == SeverityOk && kept;
    if (LinkCheckListen) LinkCheckListen(number, result);
  }
  if (inTransaction) {
    if (!kept) {
      (void)runtime::RollbackTransaction();
      return false;
    }
    return runtime::CommitTransaction() == runtime::NoError;
  }
  return kept;
}

void CheckLinksWindow::ShowProgress() {
  const links::LinkCheckProgress progress = checker_->Progress();
  const std::int64_t total = std::max<std::int64_t>(total_, 1);
  const auto percent = static_cast<std::int32_t>(std::clamp<std::int64_t>(progress.finished * 100 / total, 0, 100));
  if (percent == percent_) return;
  percent_ = percent;
  runtime::ui::Window& window = *GetWindow();
  window.Find(ProgressBar)->SetValue(percent);
  window.SetText(ProgressPercent, std::to_string(percent) + "% Completed");
  TellBatchProgress(kLine, percent);
}

void CheckLinksWindow::End(bool cancelled) {
  if (ended_) return;
  ended_ = true;
  if (cancelled) {
    checker_->Cancel();
    LastLinkCheckFigures.cancelled = true;
  }
  SetResponse(cancelled ? ResponseCancelled : ResponseCompleted);
  if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
}

Severity CheckLinksWindow::TakeWindowEvent() {
  if (ThisEvent().code != runtime::ui::EventCode::Timer || ended_) return WindowManager::TakeWindowEvent();
  if (!Keep(checker_->Poll(kPollBudget))) {
    LastLinkCheckFigures.failed = true;
    ShowFileProblem(kCheckLinksCaption,
                    "The last results could not be saved: " + std::string(runtime::LastError().text) + ".");
    End(true);
    return SeverityOk;
  }
  ShowProgress();
  if (checker_->Done()) End(false);
  return SeverityOk;
}

Severity CheckLinksWindow::TakeAccepted() {
  if (ThisEvent().control == ProgressCancel) {
    End(true);
    return SeverityOk;
  }
  return WindowManager::TakeAccepted();
}

Severity CheckLinksWindow::TakeCloseEvent() {
  // Closed before the end: what was checked so far is kept.
  if (!ended_) {
    ended_ = true;
    checker_->Cancel();
    LastLinkCheckFigures.cancelled = true;
    SetResponse(ResponseCancelled);
  }
  return WindowManager::TakeCloseEvent();
}

Severity CheckLinksWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (checker_ != nullptr) checker_->Cancel();
  view_.reset();
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    filesOpen_ = false;
  }
  if (OPENED && GetWindow() != nullptr) {
    (void)GlobalIni.SaveWindow(kCheckLinksSection, *GetWindow(), runtime::ui::Frame::Fixed);
  }
  CloseWindow();
  return SeverityOk;
}

void CheckLinks(const LinkCheckSettings& settings) {
  {
    CheckLinksWindow window(settings);
    ResponseCode = window.Run();
  }
  const LinkCheckFigures& figures = LastLinkCheckFigures;
  if (figures.failed && figures.checked == 0) {
    ShowFileProblem(kCheckLinksCaption, "The links could not be checked: " + std::string(runtime::LastError().text));
    return;
  }
  if (figures.moved + figures.dead + figures.errors == 0 || !settings.offerProblems) {
    ShowInformation(kCheckLinksCaption, LinkCheckSummary(figures));
    return;
  }
  runtime::ui::MessageBoxRequest request;
  request.caption = kCheckLinksCaption;
  request.text = LinkCheckSummary(figures) + "\n\nShow the dead and moved links?";
  request.icon = runtime::ui::Icon::Question;
  request.buttons = runtime::ui::ButtonYes | runtime::ui::ButtonNo;
  request.defaultButton = runtime::ui::ButtonYes;
  if (runtime::ui::AskMessage(request) == runtime::ui::ButtonYes) ShowLinkProblems(ReadLinkProblems());
}

}  // namespace marlinden
