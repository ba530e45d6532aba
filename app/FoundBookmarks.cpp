#include "app/FoundBookmarks.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "app/DataFiles.h"
#include "app/FolderOrder.h"
#include "app/Globals.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/CaseFolding.h"

namespace marlinden {
namespace {

// A number as text that sorts as the number does.
std::string SortableNumber(std::int64_t number) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(static_cast<std::uint64_t>(number) ^ (1ULL << 63)));
  return text;
}

// A position in the folder order: the length of the bookmark's record
// position, that position, then its order record's position.
std::string FolderPosition(std::string_view bookmark, std::string_view order) {
  std::string position(1, static_cast<char>(bookmark.size()));
  position += bookmark;
  position += order;
  return position;
}

std::string_view BookmarkPart(std::string_view position) {
  if (position.empty()) return position;
  const std::size_t size = static_cast<unsigned char>(position[0]);
  return position.substr(1, std::min(size, position.size() - 1));
}

std::string_view OrderPart(std::string_view position) {
  if (position.empty()) return position;
  const std::size_t skipped = 1 + static_cast<std::size_t>(static_cast<unsigned char>(position[0]));
  return skipped >= position.size() ? std::string_view() : position.substr(skipped);
}

}  // namespace

FoundBookmarks::FoundBookmarks(runtime::DataFile& bookmarks)
    : DataFile(bookmarks.DriverKind(), ListedBookmarkLayout(), bookmarks.DiskName()), bookmarks_(bookmarks) {}

void FoundBookmarks::Replan() {
  plan_ = PlanFind(typed_);
  if (only_) {
    // The bound's bookmarks are the candidates (those the words' index
    // gave too, when it gave some); each still has to have the words.
    std::vector<std::int64_t> numbers;
    if (plan_.bounded) {
      std::set_intersection(only_->begin(), only_->end(), plan_.numbers.begin(), plan_.numbers.end(),
                            std::back_inserter(numbers));
    } else {
      numbers = *only_;
    }
    plan_.kind = FindPlan::Kind::Numbers;
    plan_.numbers = std::move(numbers);
    plan_.bounded = true;
  }
  rows_.clear();
  rowOf_.clear();
  ordered_ = false;
  CursorAt(0);
}

// --- Ordering the matches ------------------------------------------------------------

std::vector<std::string> FoundBookmarks::KeyValues(std::size_t key) {
  std::vector<std::string> values;
  if (key == 0) return values;
  if (key == kListedFolderKey) {
    const bool stored = FetchFolderOrder(bookmarks_.Record().Field(WebNum).Get().AsInteger());
    values.emplace_back(stored ? FolderOrderStore().Record().Field(OrdSort).ClippedText() : std::string_view());
    return values;
  }
  const runtime::KeyDesc& desc = Layout().Key(key);
  runtime::RecordBuffer& record = bookmarks_.Record();
  for (const runtime::KeyComponentDesc& component : desc.components) {
    const runtime::FieldRef field = record.Field(component.field);
    if (!field.IsText()) {
      values.push_back(SortableNumber(field.Get().AsInteger()));
      continue;
    }
    std::string text(field.ClippedText());
    if (desc.noCase) runtime::FoldKeyCase(text);
    values.push_back(std::move(text));
  }
  return values;
}

bool FoundBookmarks::Before(const std::vector<std::string>& a, std::int64_t aNumber, const Row& b) const {
  const std::vector<runtime::KeyComponentDesc>& components =
      rowsKey_ == 0 ? std::vector<runtime::KeyComponentDesc>{} : Layout().Key(rowsKey_).components;
  for (std::size_t i = 0; i < a.size() && i < b.values.size(); ++i) {
    if (a[i] == b.values[i]) continue;
    const bool less = a[i] < b.values[i];
    return components[i].order == runtime::Order::Descending ? !less : less;
  }
  return aNumber < b.number;
}

void FoundBookmarks::Order(std::size_t key) {
  if (!Listed() || (ordered_ && rowsKey_ == key)) return;
  runtime::SavedRecordBuffer kept(bookmarks_.Record());
  rowsKey_ = key;
  rows_.clear();
  for (const std::int64_t number : plan_.numbers) {
    bookmarks_.Record().Clear();
    bookmarks_.Record().Field(WebNum).SetInteger(number);
    if (bookmarks_.Get(WebNumKey) != runtime::NoError) continue;
    rows_.push_back({KeyValues(key), number, Position(key)});
  }
  std::sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) { return Before(a.values, a.number, b); });
  rowOf_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) rowOf_[rows_[i].number] = i;
  ordered_ = true;
  CursorAt(0);
}

std::ptrdiff_t FoundBookmarks::RowsBefore(std::int64_t number) {
  const std::vector<std::string> values = KeyValues(rowsKey_);
  const auto at = std::partition_point(rows_.begin(), rows_.end(), [&](const Row& row) {
    return !Before(values, number, row) && !(row.values == values && row.number == number);
  });
  return at - rows_.begin();
}

void FoundBookmarks::CursorAt(std::ptrdiff_t next) {
  nextRow_ = next;
  previousRow_ = next - 1;
}

// --- Reading -----------------------------------------------------------------------------

std::int32_t FoundBookmarks::ReadListed(bool forward) {
  const auto rows = static_cast<std::ptrdiff_t>(rows_.size());
  for (;;) {
    const std::ptrdiff_t at = forward ? nextRow_ : previousRow_;
    if (at < 0 || at >= rows) {
      // At an end: reading the other way reads the end row.
      CursorAt(forward ? rows : 0);
      return runtime::SetError(runtime::NoRecord);
    }
    nextRow_ = at + 1;
    previousRow_ = at - 1;
    const std::int32_t code = RegetBookmark(rows_[static_cast<std::size_t>(at)].position);
    if (code == runtime::RecordNotFound) continue;  // deleted by another station since
    // A candidate whose words changed since the index was read is no match.
    if (code == runtime::NoError && !BookmarkHasWords(plan_.words)) continue;
    return code;
  }
}

std::int32_t FoundBookmarks::ReadWalking(bool forward) {
  for (;;) {
    const std::int32_t code = forward ? bookmarks_.Next() : bookmarks_.Previous();
    if (code != runtime::NoError || BookmarkMatches(plan_)) return code;
  }
}

runtime::DataFile* FoundBookmarks::FolderWalk() {
  if (folderWalk_ != nullptr && folderWalk_->IsOpen()) return folderWalk_.get();
  // The bookmark file's manager opens the order file with it (and makes it first).
  if (FolderOrderStoreManager->UseFile() != SeverityOk) return nullptr;
  if (folderWalk_ == nullptr) folderWalk_ = MakeFolderOrderReader();
  if (folderWalk_->Open(runtime::AccessRead | runtime::ShareDenyNone) != runtime::NoError) return nullptr;
  return folderWalk_.get();
}

std::int32_t FoundBookmarks::ReadFolderOrder(bool forward) {
  runtime::DataFile* walk = FolderWalk();
  if (walk == nullptr) return runtime::SetError(runtime::FileNotOpen);
  for (;;) {
    const std::int32_t code = forward ? walk->Next() : walk->Previous();
    if (code != runtime::NoError) return code;
    const std::int64_t number = walk->Record().Field(OrdNum).Get().AsInteger();
    if (number <= 0) continue;  // the mark that the order is complete
    ReadAheadBookmarks(*walk, number, forward);
    bookmarks_.Record().Clear();
    bookmarks_.Record().Field(WebNum).SetInteger(number);
    const std::int32_t read = bookmarks_.Get(WebNumKey);
    if (read == runtime::RecordNotFound) continue;
    if (read != runtime::NoError) return read;
    if (Narrowed() && !BookmarkMatches(plan_)) continue;
    return runtime::SetError(runtime::NoError);
  }
}

void FoundBookmarks::ReadAheadBookmarks(runtime::DataFile& walk, std::int64_t number, bool forward) {
  if (readAhead_.erase(number) != 0) return;
  std::vector<std::int64_t> numbers = walk.UpcomingValues(OrdNum, forward, kBookmarksReadAhead - 1);
  numbers.insert(numbers.begin(), number);
  readAhead_.clear();
  if (bookmarks_.ReadAheadKeys(WebNumKey, numbers) != runtime::NoError) return;
  readAhead_.insert(numbers.begin() + 1, numbers.end());
}

void FoundBookmarks::FolderWalkAtCurrent() {
  if (!FolderOrdered() || Listed()) return;
  runtime::DataFile* walk = FolderWalk();
  if (walk == nullptr || !FetchFolderOrder(bookmarks_.Record().Field(WebNum).Get().AsInteger())) return;
  if (walk->SetOrderAtPosition(OrdSortKey, FolderOrderStore().Position(OrdSortKey)) == runtime::NoError) {
    (void)walk->Next();
  }
}

void FoundBookmarks::CursorAtCurrent() {
  if (!Listed() || !ordered_) return;
  const auto found = rowOf_.find(bookmarks_.Record().Field(WebNum).Get().AsInteger());
  if (found == rowOf_.end()) return;
  const auto at = static_cast<std::ptrdiff_t>(found->second);
  nextRow_ = at + 1;
  previousRow_ = at - 1;
}

std::int32_t FoundBookmarks::Next() {
  if (Listed()) {
    Order(order_);
    return ReadListed(true);
  }
  if (FolderOrdered()) return ReadFolderOrder(true);
  return Narrowed() ? ReadWalking(true) : bookmarks_.Next();
}

std::int32_t FoundBookmarks::Previous() {
  if (Listed()) {
    Order(order_);
    return ReadListed(false);
  }
  if (FolderOrdered()) return ReadFolderOrder(false);
  return Narrowed() ? ReadWalking(false) : bookmarks_.Previous();
}

// --- Positioning ---------------------------------------------------------------------

std::int32_t FoundBookmarks::SetOrder(std::size_t key) {
  order_ = key;
  if (!Listed() && FolderOrdered()) {
    runtime::DataFile* walk = FolderWalk();
    return walk == nullptr ? runtime::SetError(runtime::FileNotOpen) : walk->SetOrder(OrdSortKey);
  }
  if (!Listed()) return bookmarks_.SetOrder(key);
  if (key > Layout().KeyCount()) return runtime::SetError(runtime::BadParameter);
  Order(key);
  nextRow_ = 0;
  previousRow_ = static_cast<std::ptrdiff_t>(rows_.size()) - 1;
  return runtime::SetError(runtime::NoError);
}

std::int32_t FoundBookmarks::SetOrderAtBuffer(std::size_t key) {
  order_ = key;
  if (!Listed() && FolderOrdered()) {
    // The order has no values of its own in the buffer: at the buffer's
    // bookmark, else at the start.
    runtime::DataFile* walk = FolderWalk();
    if (walk == nullptr) return runtime::SetError(runtime::FileNotOpen);
    if (!FetchFolderOrder(bookmarks_.Record().Field(WebNum).Get().AsInteger())) return walk->SetOrder(OrdSortKey);
    return walk->SetOrderAtPosition(OrdSortKey, FolderOrderStore().Position(OrdSortKey));
  }
  if (!Listed()) return bookmarks_.SetOrderAtBuffer(key);
  if (key == 0 || key > Layout().KeyCount()) return runtime::SetError(runtime::BadParameter);
  Order(key);
  // Next reads the first row whose key is at least the buffer's, Previous
  // the last whose key is at most it.
  nextRow_ = RowsBefore(INT64_MIN);
  previousRow_ = RowsBefore(INT64_MAX) - 1;
  return runtime::SetError(runtime::NoError);
}

std::int32_t FoundBookmarks::SetOrderAtPosition(std::size_t key, std::string_view position) {
  order_ = key;
  if (!Listed() && FolderOrdered()) {
    runtime::DataFile* walk = FolderWalk();
    if (walk == nullptr) return runtime::SetError(runtime::FileNotOpen);
    const std::string_view order = OrderPart(position);
    return order.empty() ? walk->SetOrder(OrdSortKey) : walk->SetOrderAtPosition(OrdSortKey, order);
  }
  if (!Listed()) return bookmarks_.SetOrderAtPosition(key, position);
  if (key > Layout().KeyCount()) return runtime::SetError(runtime::BadParameter);
  Order(key);
  const auto row = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return r.position == position; });
  if (row != rows_.end()) {
    CursorAt(row - rows_.begin());
    return runtime::SetError(runtime::NoError);
  }
  // Not a match (any more): the rows from where it stands in the order on.
  runtime::SavedRecordBuffer kept(bookmarks_.Record());
  if (key == kListedFolderKey) {
    // The folder order stands where the bookmark's order record does; a
    // bookmark deleted since: the start.
    CursorAt(RegetBookmark(position) == runtime::NoError
                 ? RowsBefore(bookmarks_.Record().Field(WebNum).Get().AsInteger())
                 : 0);
    return runtime::SetError(runtime::NoError);
  }
  if (bookmarks_.SetOrderAtPosition(key, position) != runtime::NoError) return runtime::LastErrorCode();
  const std::int32_t read = bookmarks_.Next();
  if (read != runtime::NoError && read != runtime::NoRecord) return read;
  CursorAt(read == runtime::NoRecord ? static_cast<std::ptrdiff_t>(rows_.size())
                                     : RowsBefore(bookmarks_.Record().Field(WebNum).Get().AsInteger()));
  return runtime::SetError(runtime::NoError);
}

std::string FoundBookmarks::Position(std::size_t key) {
  if (key != kListedFolderKey) return bookmarks_.Position(key);
  const std::string bookmark = bookmarks_.Position(0);
  if (bookmark.empty()) return bookmark;
  // Read afresh: the record the walk read may be older than a change made since.
  const bool stored = FetchFolderOrder(bookmarks_.Record().Field(WebNum).Get().AsInteger());
  return FolderPosition(bookmark, stored ? FolderOrderStore().Position(OrdSortKey) : std::string());
}

std::int32_t FoundBookmarks::RegetBookmark(std::string_view position) {
  return bookmarks_.Reget(FolderOrdered() ? BookmarkPart(position) : position);
}

std::int32_t FoundBookmarks::Get(std::size_t key) {
  const std::int32_t code = bookmarks_.Get(key);
  if (code == runtime::NoError) {
    CursorAtCurrent();
    FolderWalkAtCurrent();
  }
  return code;
}

std::int32_t FoundBookmarks::GetAt(std::string_view position) {
  const std::int32_t code = bookmarks_.GetAt(FolderOrdered() ? BookmarkPart(position) : position);
  if (code == runtime::NoError && !position.empty()) {
    CursorAtCurrent();
    FolderWalkAtCurrent();
  }
  return code;
}

std::int32_t FoundBookmarks::Reget(std::string_view position) {
  const std::int32_t code = RegetBookmark(position);
  if (code == runtime::NoError) {
    CursorAtCurrent();
    FolderWalkAtCurrent();
  }
  return code;
}

// --- Passed straight on ------------------------------------------------------------------

std::int32_t FoundBookmarks::Open(std::uint8_t mode) {
  if (!bookmarks_.IsOpen()) {
    if (bookmarks_.Open(mode) != runtime::NoError) return runtime::LastErrorCode();
    openedBookmarks_ = true;
  }
  open_ = true;
  mode_ = bookmarks_.Mode();
  return runtime::SetError(runtime::NoError);
}

std::int32_t FoundBookmarks::Close() {
  open_ = false;
  if (folderWalk_ != nullptr && folderWalk_->IsOpen()) (void)folderWalk_->Close();
  if (!std::exchange(openedBookmarks_, false)) return runtime::SetError(runtime::NoError);
  return bookmarks_.Close();
}

std::int32_t FoundBookmarks::Create() { return bookmarks_.Create(); }
std::int32_t FoundBookmarks::BuildKeys() { return bookmarks_.BuildKeys(); }
std::int32_t FoundBookmarks::Remove() { return bookmarks_.Remove(); }
std::int32_t FoundBookmarks::Hold() { return bookmarks_.Hold(); }
std::int32_t FoundBookmarks::Release() { return bookmarks_.Release(); }
std::int32_t FoundBookmarks::Watch() { return bookmarks_.Watch(); }
std::int32_t FoundBookmarks::Add() { return bookmarks_.Add(); }
std::int32_t FoundBookmarks::Put() { return bookmarks_.Put(); }
std::int32_t FoundBookmarks::Delete() { return bookmarks_.Delete(); }
bool FoundBookmarks::Duplicate(std::size_t key) { return bookmarks_.Duplicate(key); }
std::int64_t FoundBookmarks::Records() { return bookmarks_.Records(); }
std::int64_t FoundBookmarks::Bytes() { return bookmarks_.Bytes(); }
bool FoundBookmarks::SupportsTransactions() const { return bookmarks_.SupportsTransactions(); }
std::int32_t FoundBookmarks::BeginTransaction(int lockWaitSeconds) {
  return bookmarks_.BeginTransaction(lockWaitSeconds);
}
std::int32_t FoundBookmarks::Commit() { return bookmarks_.Commit(); }
std::int32_t FoundBookmarks::Rollback() { return bookmarks_.Rollback(); }

std::int32_t FoundBookmarks::DriverOption(std::string_view name, std::string_view value) {
  return bookmarks_.SendOption(std::string(name) + "=" + std::string(value));
}

std::int32_t FoundBookmarks::QuickScanChanged() {
  return bookmarks_.SendOption(quickScan_ ? "QUICKSCAN=on" : "QUICKSCAN=off");
}

}  // namespace marlinden
