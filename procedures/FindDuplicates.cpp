#include "procedures/FindDuplicates.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "app/Globals.h"
#include "procedures/BatchProgress.h"
#include "procedures/ProcedureStart.h"
#include "runtime/ui/Cursor.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

void Tell(std::string_view text) { ShowFileProblem(kFindDuplicatesTitle, text); }

std::string AddedText(std::uint32_t added) {
  if (added == 0) return "";
  const std::time_t seconds = added;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return text;
}

}  // namespace

runtime::ui::WindowDescription FindDuplicatesDescription() {
  runtime::ui::WindowDescription d;
  d.name = "findduplicates";
  d.title = kFindDuplicatesTitle;
  d.rect = {0, 0, 420, 200};
  d.font = {"MS Sans Serif", 8};
  ControlDescription list = runtime::ui::DescribeControl(ControlKind::List, "", {4, 4, 412, 170});
  list.columns = {ResizableColumn("Group", 26), ResizableColumn("Keep", 24), ResizableColumn("Address", 190),
                  ResizableColumn("Description", 110), ResizableColumn("Added", 44)};
  list.paging = runtime::ui::ListPaging::Self;
  ControlDescription keep = runtime::ui::DescribeControl(ControlKind::Button, "&Keep This One", {4, 180, 64, 14});
  keep.tip = "Keep the highlighted bookmark when its group is merged";
  ControlDescription group = runtime::ui::DescribeControl(ControlKind::Button, "&Merge Group", {72, 180, 64, 14});
  group.tip = "Append the others' notes to the kept bookmark and delete the others";
  ControlDescription all = runtime::ui::DescribeControl(ControlKind::Button, "Merge &All", {140, 180, 64, 14});
  all.tip = "Merge every group into the bookmark it keeps";
  ControlDescription close = runtime::ui::DescribeControl(ControlKind::Button, "Close", {366, 180, 50, 14});
  close.icon = "Exit2.ico";
  d.controls = {list, keep, group, all, close};
  return d;
}

// --- The finding ---------------------------------------------------------------

Severity FindingDuplicatesWindow::Init() {
  // Cancel has the keyboard, so Escape and Space reach it at once.
  if (const Severity result = StartProcedure(*this, ProgressCancel); result != SeverityOk) return result;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  filesOpen_ = true;
  // The file manager said why a file cannot be read.
  if (BookmarkStoreManager->UseFile() != SeverityOk) return SeverityNotify;
  runtime::ui::Window& window = OpenWindow(ProgressWindowDescription(kFindingDuplicatesSection));
  OPENED = 1;
  GlobalIni.RestoreWindow(kFindingDuplicatesSection, window, runtime::ui::Frame::Fixed);
  window.SetTitle(kFindDuplicatesTitle);
  window.SetText(ProgressTextLine, kFindingDuplicatesLine);
  ShowProgress();
  PressOnEscape(ProgressCancel);
  SetAlerts();
  return SeverityOk;
}

void FindingDuplicatesWindow::ShowProgress() {
  const int percent = finder_.Percent();
  if (percent == percent_) return;
  percent_ = percent;
  runtime::ui::Window& window = *GetWindow();
  window.Find(ProgressBar)->SetValue(percent);
  window.SetText(ProgressPercent, std::to_string(percent) + "% Completed");
  TellBatchProgress(kFindingDuplicatesLine, percent);
}

void FindingDuplicatesWindow::End(std::uint8_t response) {
  if (ended_) return;
  ended_ = true;
  SetResponse(response);
  if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
}

Severity FindingDuplicatesWindow::TakeWindowEvent() {
  if (ThisEvent().code != runtime::ui::EventCode::Timer || ended_) return WindowManager::TakeWindowEvent();
  finder_.Step();
  ShowProgress();
  if (finder_.Done()) {
    End(ResponseCompleted);
    return SeverityOk;
  }
  // The next step waits a whole interval from the end of this one, so the
  // window has its own time between steps.
  runtime::ui::Window& window = *GetWindow();
  window.SetTimer(window.Timer());
  return SeverityOk;
}

Severity FindingDuplicatesWindow::TakeAccepted() {
  if (ThisEvent().control == ProgressCancel) {
    End(ResponseCancelled);
    return SeverityOk;
  }
  return WindowManager::TakeAccepted();
}

Severity FindingDuplicatesWindow::TakeCloseEvent() {
  // Closed before the end: nothing was found.
  if (!ended_) End(ResponseCancelled);
  return WindowManager::TakeCloseEvent();
}

Severity FindingDuplicatesWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    filesOpen_ = false;
  }
  if (OPENED && GetWindow() != nullptr) {
    (void)GlobalIni.SaveWindow(kFindingDuplicatesSection, *GetWindow(), runtime::ui::Frame::Fixed);
  }
  CloseWindow();
  return SeverityOk;
}

// --- The groups ------------------------------------------------------------------

FindDuplicatesWindow::FindDuplicatesWindow(std::vector<DuplicateGroup> found) {
  for (DuplicateGroup& group : found) groups_.push_back({std::move(group), 0});
}

Severity FindDuplicatesWindow::Init() {
  if (const Severity result = StartProcedure(*this, DuplicatesList); result != SeverityOk) return result;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  filesOpen_ = true;
  LayOut();
  runtime::ui::Window& window = OpenWindow(FindDuplicatesDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow("findduplicates", window, runtime::ui::Frame::Fixed);
  window.Find(DuplicatesList)->SetListSource(this);
  window.Find(DuplicatesList)->SetSelectedRow(rows_.empty() ? 0 : 1);
  ShowButtons();
  PressOnEscape(DuplicatesClose);
  SetAlerts();
  return SeverityOk;
}

Severity FindDuplicatesWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    filesOpen_ = false;
  }
  if (OPENED && GetWindow() != nullptr) {
    GetWindow()->Find(DuplicatesList)->SetListSource(nullptr);
    (void)GlobalIni.SaveWindow("findduplicates", *GetWindow(), runtime::ui::Frame::Fixed);
  }
  CloseWindow();
  return SeverityOk;
}

void FindDuplicatesWindow::LayOut() {
  rows_.clear();
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    for (std::size_t m = 0; m < groups_[g].bookmarks.size(); ++m) rows_.push_back({g, m});
  }
}

runtime::ui::ListRow FindDuplicatesWindow::Row(std::size_t row) const {
  const Place& place = rows_[row - 1];
  const Group& group = groups_[place.group];
  const DuplicateBookmark& bookmark = group.bookmarks[place.member];
  runtime::ui::ListRow cells(5);
  cells[0].text = std::to_string(place.group + 1);
  cells[1].text = place.member == group.keep ? kKeptMark : "";
  cells[2].text = bookmark.url;
  cells[3].text = bookmark.description;
  cells[4].text = AddedText(bookmark.added);
  return cells;
}

const FindDuplicatesWindow::Place* FindDuplicatesWindow::Highlighted() const {
  const runtime::ui::Window* window = GetWindow();
  if (window == nullptr || rows_.empty()) return nullptr;
  const std::int32_t row = window->Find(DuplicatesList)->SelectedRow();
  if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) return nullptr;
  return &rows_[static_cast<std::size_t>(row) - 1];
}

void FindDuplicatesWindow::ShowButtons() {
  runtime::ui::Window& window = *GetWindow();
  const Place* place = Highlighted();
  for (const std::int32_t button : {DuplicatesKeep, DuplicatesMergeGroup}) {
    place != nullptr ? window.Enable(button) : window.Disable(button);
  }
  groups_.empty() ? window.Disable(DuplicatesMergeAll) : window.Enable(DuplicatesMergeAll);
}

void FindDuplicatesWindow::Refresh(std::size_t row) {
  LayOut();
  runtime::ui::Window& window = *GetWindow();
  runtime::ui::Control& list = *window.Find(DuplicatesList);
  list.SetSelectedRow(rows_.empty() ? 0 : static_cast<std::int32_t>(std::clamp<std::size_t>(row, 1, rows_.size())));
  window.Display(DuplicatesList);
  ShowButtons();
}

void FindDuplicatesWindow::Merge(std::size_t group) {
  const MergeOutcome outcome = MergeDuplicates(groups_[group].bookmarks, groups_[group].keep);
  if (outcome.failed) return;  // the managers said why; the group stays
  groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(group));
  if (outcome.left > 0) {
    Tell(std::to_string(outcome.left) +
         " of the group's bookmarks were kept: their notes do not fit beside the kept one's, or they were changed "
         "meanwhile.");
  }
}

void FindDuplicatesWindow::MergeAll() {
  runtime::ui::BusyCursor busy;
  std::size_t left = 0;
  for (std::size_t g = groups_.size(); g-- > 0;) {
    const MergeOutcome outcome = MergeDuplicates(groups_[g].bookmarks, groups_[g].keep);
    if (outcome.failed) continue;
    left += outcome.left;
    groups_.erase(groups_.begin() + static_cast<std::ptrdiff_t>(g));
  }
  if (left > 0) {
    Tell(std::to_string(left) +
         " bookmarks were kept beside their group's: their notes do not fit beside the kept one's, or they were "
         "changed meanwhile.");
  }
}

Severity FindDuplicatesWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  const Place* place = Highlighted();
  const auto row =
      static_cast<std::size_t>(GetWindow() != nullptr ? GetWindow()->Find(DuplicatesList)->SelectedRow() : 0);
  switch (control) {
    case DuplicatesKeep:
      if (place != nullptr) {
        groups_[place->group].keep = place->member;
        Refresh(row);
      }
      break;
    case DuplicatesMergeGroup:
      if (place != nullptr) {
        Merge(place->group);
        Refresh(row);
      }
      break;
    case DuplicatesMergeAll:
      MergeAll();
      Refresh(1);
      break;
    case DuplicatesClose:
      if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
      break;
    default:
      break;
  }
  return WindowManager::TakeAccepted();
}

Severity FindDuplicatesWindow::TakeNewSelection() {
  if (ThisEvent().control == DuplicatesList) ShowButtons();
  return WindowManager::TakeNewSelection();
}

void FindDuplicates(std::size_t bookmarksPerStep) {
  std::vector<DuplicateGroup> found;
  {
    FindingDuplicatesWindow finding(bookmarksPerStep);
    if (finding.Run() != ResponseCompleted) return;
    found = finding.TakeGroups();
  }
  if (found.empty()) {
    Tell(kNoDuplicates);
    return;
  }
  FindDuplicatesWindow window(std::move(found));
  (void)window.Run();
}

}  // namespace marlinden
