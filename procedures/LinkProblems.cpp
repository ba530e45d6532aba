#include "procedures/LinkProblems.h"

#include <algorithm>
#include <utility>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "procedures/BatchProgress.h"
#include "procedures/ProcedureStart.h"
#include "runtime/platform/OpenPage.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using links::LinkStatus;
using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

void Tell(std::string_view text) { ShowFileProblem(kLinkProblemsTitle, text); }

// Reads bookmark number into the bookmark file's buffer; false when it is
// gone or no longer has address url.
bool FetchBookmark(std::int64_t number, std::string_view url) {
  return FetchBookmarkNumber(number) && BookmarkStore().Record().Field(WebUrl).ClippedText() == url;
}

}  // namespace

std::vector<LinkProblem> ReadLinkProblems() {
  std::vector<LinkProblem> problems;
  if (BookmarkStoreRelations->Open() != SeverityOk) return problems;
  std::vector<std::int64_t> numbers;
  runtime::DataFile& results = LinkCheckStore();
  if (LinkCheckStoreManager->UseFile() == SeverityOk && results.SetOrder(LnkNumKey) == runtime::NoError) {
    while (results.Next() == runtime::NoError) {
      runtime::RecordBuffer& record = results.Record();
      if (record.Field(LnkStatus).ClippedText() == links::LinkStatusName(LinkStatus::Ok)) continue;
      numbers.push_back(record.Field(LnkNum).Get().AsInteger());
    }
  }
  for (const std::int64_t number : numbers) {
    if (!FetchBookmarkNumber(number)) continue;
    runtime::RecordBuffer& web = BookmarkStore().Record();
    const std::string url(web.Field(WebUrl).ClippedText());
    const std::string description(web.Field(WebDescription).ClippedText());
    if (auto result = ReadLinkResult(number, url)) problems.push_back({number, description, std::move(*result)});
  }
  (void)BookmarkStoreRelations->Close();
  return problems;
}

std::string ProblemStatus(const links::LinkResult& result) {
  switch (result.status) {
    case LinkStatus::Redirect:
      return result.permanent ? "moved" : "moved (for now)";
    case LinkStatus::Dead:
      return "dead " + std::to_string(result.code);
    default:
      return "error";
  }
}

std::string ProblemDetail(const links::LinkResult& result) {
  if (result.status == LinkStatus::Redirect) return result.location;
  if (result.status == LinkStatus::Dead) return "the server answered " + std::to_string(result.code);
  return result.error;
}

runtime::ui::WindowDescription LinkProblemsDescription() {
  runtime::ui::WindowDescription d;
  d.name = "linkproblems";
  d.title = kLinkProblemsTitle;
  d.rect = {0, 0, 400, 182};
  d.font = {"MS Sans Serif", 8};
  ControlDescription list = runtime::ui::DescribeControl(ControlKind::List, "", {4, 4, 392, 152});
  list.columns = {ResizableColumn("Found", 56), ResizableColumn("Address", 180),
                  ResizableColumn("New address or reason", 150)};
  list.paging = runtime::ui::ListPaging::Self;
  ControlDescription use = runtime::ui::DescribeControl(ControlKind::Button, "&Use New Address", {4, 162, 74, 14});
  use.tip = "Give the bookmark the address its link moved to";
  ControlDescription go = runtime::ui::DescribeControl(ControlKind::Button, "&Go To Web Page", {82, 162, 74, 14});
  go.icon = "Web2.ico";
  ControlDescription del = runtime::ui::DescribeControl(ControlKind::Button, "&Delete", {160, 162, 50, 14});
  del.icon = "Delete.ico";
  ControlDescription close = runtime::ui::DescribeControl(ControlKind::Button, "Close", {346, 162, 50, 14});
  close.icon = "Exit2.ico";
  d.controls = {list, use, go, del, close};
  return d;
}

Severity LinkProblemsWindow::Init() {
  if (const Severity result = StartProcedure(*this, ProblemsList); result != SeverityOk) return result;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  filesOpen_ = true;
  runtime::ui::Window& window = OpenWindow(LinkProblemsDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow("linkproblems", window, runtime::ui::Frame::Fixed);
  window.Find(ProblemsList)->SetListSource(this);
  window.Find(ProblemsList)->SetSelectedRow(problems_.empty() ? 0 : 1);
  ShowButtons();
  PressOnEscape(ProblemsClose);
  SetAlerts();
  return SeverityOk;
}

Severity LinkProblemsWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    filesOpen_ = false;
  }
  if (OPENED && GetWindow() != nullptr) {
    GetWindow()->Find(ProblemsList)->SetListSource(nullptr);
    (void)GlobalIni.SaveWindow("linkproblems", *GetWindow(), runtime::ui::Frame::Fixed);
  }
  CloseWindow();
  return SeverityOk;
}

runtime::ui::ListRow LinkProblemsWindow::Row(std::size_t row) const {
  const LinkProblem& problem = problems_[row - 1];
  runtime::ui::ListRow cells(3);
  cells[0].text = ProblemStatus(problem.result);
  cells[1].text = problem.result.url;
  cells[2].text = ProblemDetail(problem.result);
  return cells;
}

const LinkProblem* LinkProblemsWindow::Highlighted() const {
  const runtime::ui::Window* window = GetWindow();
  if (window == nullptr || problems_.empty()) return nullptr;
  const std::int32_t row = window->Find(ProblemsList)->SelectedRow();
  if (row < 1 || static_cast<std::size_t>(row) > problems_.size()) return nullptr;
  return &problems_[static_cast<std::size_t>(row) - 1];
}

void LinkProblemsWindow::ShowButtons() {
  runtime::ui::Window& window = *GetWindow();
  const LinkProblem* problem = Highlighted();
  const bool moved = problem != nullptr && problem->result.status == LinkStatus::Redirect;
  moved ? window.Enable(ProblemsUseNewAddress) : window.Disable(ProblemsUseNewAddress);
  for (const std::int32_t button : {ProblemsGoToPage, ProblemsDelete}) {
    problem != nullptr ? window.Enable(button) : window.Disable(button);
  }
}

void LinkProblemsWindow::Drop() {
  runtime::ui::Window& window = *GetWindow();
  runtime::ui::Control& list = *window.Find(ProblemsList);
  const auto row = static_cast<std::size_t>(list.SelectedRow());
  problems_.erase(problems_.begin() + static_cast<std::ptrdiff_t>(row - 1));
  list.SetSelectedRow(problems_.empty() ? 0 : static_cast<std::int32_t>(std::min(row, problems_.size())));
  window.Display(ProblemsList);
  ShowButtons();
}

void LinkProblemsWindow::UseNewAddress() {
  const LinkProblem* problem = Highlighted();
  if (problem == nullptr || problem->result.status != LinkStatus::Redirect) return;
  const links::LinkResult& found = problem->result;
  if (found.location.size() > kUrlWidth) {
    Tell("The new address is longer than " + std::to_string(kUrlWidth) + " characters, so the bookmark keeps its own.");
    return;
  }
  if (!FetchBookmark(problem->number, found.url)) {
    Tell("The bookmark " + found.url + " has been changed or deleted since its link was checked.");
    Drop();
    return;
  }
  BookmarkStore().Record().Field(WebUrl).SetText(found.location);
  // The managers tell the user why a change cannot be saved (the address
  // stored already, another station's change).
  if (BookmarkStoreRelations->Update(false) != SeverityOk) return;
  links::LinkResult now = found;
  now.url = found.location;
  now.status = LinkStatus::Ok;
  now.location.clear();
  (void)WriteLinkResult(problem->number, now);
  Drop();
}

void LinkProblemsWindow::DeleteBookmark() {
  const LinkProblem* problem = Highlighted();
  if (problem == nullptr) return;
  if (!FetchBookmark(problem->number, problem->result.url)) {
    Drop();
    return;
  }
  if (BookmarkStoreRelations->Delete(true) == SeverityOk) Drop();
}

Severity LinkProblemsWindow::TakeAccepted() {
  switch (ThisEvent().control) {
    case ProblemsUseNewAddress:
      UseNewAddress();
      break;
    case ProblemsGoToPage:
      if (const LinkProblem* problem = Highlighted()) runtime::platform::OpenPage(problem->result.url);
      break;
    case ProblemsDelete:
      DeleteBookmark();
      break;
    case ProblemsClose:
      if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
      break;
    default:
      break;
  }
  return WindowManager::TakeAccepted();
}

Severity LinkProblemsWindow::TakeNewSelection() {
  if (ThisEvent().control == ProblemsList) ShowButtons();
  return WindowManager::TakeNewSelection();
}

void ShowLinkProblems(std::vector<LinkProblem> problems) {
  if (problems.empty()) return;
  LinkProblemsWindow window(std::move(problems));
  (void)window.Run();
}

void TellNoLinkProblems() { Tell(kNoLinkProblems); }

void ShowLinkProblemsOrTellNone() {
  std::vector<LinkProblem> problems = ReadLinkProblems();
  if (problems.empty()) {
    TellNoLinkProblems();
    return;
  }
  ShowLinkProblems(std::move(problems));
}

}  // namespace marlinden
