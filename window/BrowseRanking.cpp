// Where the browse's rows stand among the view's rows. The thumb of a list
// that holds one page cannot be placed from key values (a step table puts
// every address that starts alike at one place), so the view's rows are
// counted once per order and filter: after a load, in slices the browse
// posts to its own window (the first page shows at once, the user's events
// come between slices), marking every stride-th row (BrowseRanks). With
// the table, a drag to p shows the first kept position from rank p percent
// of the rows on, and the thumb shows the highlighted row's rank: Fetch
// moves the page's top rank with each row it reads, and a page built afresh
// finds it from a marked row on the page or by reading on to the next one. A drag
// before the counting ended finishes it first; until then the thumb is
// placed as it was without ranks (the step table's estimate, or the ends).
//
// The counting reads through the browse's own view and record buffer: the
// buffer is put back after each slice, and every read of the page
// repositions the view anyway. A nested loop on the window (an edit in
// place) takes no slice; the counting goes on when the browse next reloads
// or finishes a request. Changes made through the browse, and forced
// reloads, start every order's count over.
#include <algorithm>
#include <string>

#include "runtime/files/RecordBuffer.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Cursor.h"
#include "window/BrowseManager.h"

namespace marlinden {

using runtime::ui::EventCode;

BrowseRanks* BrowseManager::Ranks() {
  SortOrder* order = Order();
  if (order == nullptr || ORDER == nullptr) return nullptr;
  const std::size_t n = ORDER->Pointer();
  if (ranks_.size() <= n) ranks_.resize(n + 1);
  std::string identity = std::to_string(dataGeneration_) + '\n' + order->ORDER + '\n' + FilterText();
  BrowseRanks& table = ranks_[n];
  if (table.Identity() != identity) {
    table.Start(std::move(identity));
    topRank_ = -1;
    PostRankSlice();
  }
  return &table;
}

void BrowseManager::DataChanged() {
  ++dataGeneration_;
  for (BrowseRanks& table : ranks_) table.Clear();
  topRank_ = -1;
}

void BrowseManager::KeepRanking() {
  const std::int32_t posted = rankToken_;
  // A table started over has posted its first slice already.
  if (const BrowseRanks* table = Ranks(); table != nullptr && table->Building() && rankToken_ == posted) {
    PostRankSlice();
  }
}

void BrowseManager::PostRankSlice() {
  runtime::ui::Window* window = Win();
  if (window == nullptr) return;
  runtime::ui::EventData data;
  data.row = LISTCONTROL;
  data.value = ++rankToken_;
  window->Post(kRankSliceEvent, 0, std::move(data));
}

void BrowseManager::TakeRankSlice(const runtime::ui::Event& event) {
  if (event.data.row != LISTCONTROL || event.data.value != rankToken_) return;
  // A hidden list or one waiting for its load counts on when it is loaded.
  if (LOADED == 0 || LOADPENDING == 1 || (ACTIVEINVISIBLE == 0 && !ListVisible())) return;
  BrowseRanks* table = Ranks();
  if (table == nullptr || !table->Building()) return;
  ReadRanks(*table, RankSliceRows());
  if (table->Building()) {
    KeepRanking();
    return;
  }
  UpdateThumb();
  if (runtime::ui::Window* window = Win()) window->Display(LISTCONTROL);
}

void BrowseManager::ReadRanks(BrowseRanks& table, std::int64_t rows) {
  runtime::SavedRecordBuffer saved(PRIMARY->ME->FILE->Record());
  Open();
  const std::string anchor = table.LastPosition();
  if (anchor.empty()) {
    ViewManager::Reset();
  } else if (VIEW->ResetToPosition(anchor) != runtime::NoError) {
    table.Abandon();
    return;
  }
  bool first = true;
  while (rows > 0) {
    const Severity read = ViewManager::Next();
    if (read == SeverityNotify) {
      table.Finish();
      return;
    }
    if (read != SeverityOk) {
      table.Abandon();
      return;
    }
    const std::string position = VIEW->Position();
    // Going on from the last row counted reads that row again first.
    if (std::exchange(first, false) && !anchor.empty() && position == anchor) continue;
    table.Add(position);
    --rows;
  }
}

BrowseRanks* BrowseManager::CountedRanks() {
  BrowseRanks* table = Ranks();
  if (table == nullptr) return nullptr;
  if (table->Building()) {
    runtime::ui::BusyCursor busy;
    while (table->Building()) ReadRanks(*table, kRankSliceRows);
  }
  return table->Ready() ? table : nullptr;
}

std::int64_t BrowseManager::FindTopRank(const BrowseRanks& table) {
  const std::int32_t rows = Rows();
  for (std::int32_t row = 1; row <= rows; ++row) {
    if (const auto rank = table.RankOf(LISTQUEUE->PositionOf(static_cast<std::size_t>(row)))) return *rank - (row - 1);
  }
  // No marked row on the page: the next one after it is at most a stride on.
  runtime::SavedRecordBuffer saved(PRIMARY->ME->FILE->Record());
  Open();
  const std::string& anchor = LISTQUEUE->PositionOf(static_cast<std::size_t>(rows));
  if (VIEW->ResetToPosition(anchor) != runtime::NoError) return -1;
  std::int64_t after = 0;  // rows read past the page's last row
  bool first = true;
  while (after <= table.Stride()) {
    const Severity read = ViewManager::Next();
    if (read == SeverityNotify) return table.Rows() - 1 - after - (rows - 1);
    if (read != SeverityOk) return -1;
    const std::string position = VIEW->Position();
    if (std::exchange(first, false) && position == anchor) continue;
    ++after;
    if (const auto rank = table.RankOf(position)) return *rank - after - (rows - 1);
  }
  return -1;
}

std::optional<std::int32_t> BrowseManager::RankedThumb() {
  if (ORDER == nullptr || ranks_.size() <= ORDER->Pointer() || Rows() == 0) return std::nullopt;
  BrowseRanks* table = Ranks();
  if (table == nullptr || !table->Ready()) return std::nullopt;
  if (topRank_ < 0 || LISTQUEUE->PositionOf(1) != topPosition_) {
    topRank_ = FindTopRank(*table);
    if (topRank_ < 0) {
      // The rows are not where they were counted (another station changed
      // them): they are counted again.
      table->Start(table->Identity());
      PostRankSlice();
      return std::nullopt;
    }
    topPosition_ = LISTQUEUE->PositionOf(1);
  }
  return RankPercent(topRank_ + Choice() - 1, table->Rows());
}

void BrowseManager::DragToRank(std::int32_t p) {
  const BrowseRanks* table = CountedRanks();
  if (table == nullptr || table->Rows() == 0) return;
  const BrowseRanks::Sample target = table->AtOrAfter(RankAtPercent(p, table->Rows()));
  Open();
  if (VIEW->ResetToPosition(target.position) != runtime::NoError) ResetToRow(target.position);
  ResetQueue(ResetFromPosition);
  PostNewSelection();
  ResetLocator();
  UpdateWindow();
}

}  // namespace marlinden
