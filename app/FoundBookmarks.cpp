#include "app/FoundBookmarks.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "app/DataFiles.h"
#include "runtime/files/RecordBuffer.h"
#include "runtime/system/RuntimeError.h"

namespace marlinden {
namespace {

// A number as text that sorts as the number does.
std::string SortableNumber(std::int64_t number) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(static_cast<std::uint64_t>(number) ^ (1ULL << 63)));
  return text;
}

}  // namespace

FoundBookmarks::FoundBookmarks(runtime::DataFile& bookmarks)
    : DataFile(bookmarks.DriverKind(), bookmarks.Layout(), bookmarks.DiskName()), bookmarks_(bookmarks) {}

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
  const runtime::KeyDesc& desc = Layout().Key(key);
  runtime::RecordBuffer& record = bookmarks_.Record();
  for (const runtime::KeyComponentDesc& component : desc.components) {
    const runtime::FieldRef field = record.Field(component.field);
    if (!field.IsText()) {
      values.push_back(SortableNumber(field.Get().AsInteger()));
      continue;
    }
    std::string text(field.ClippedText());
    // The letter case the key ignores: the ASCII letters, as the keyed files do.
    if (desc.noCase) {
      for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
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
    rows_.push_back({KeyValues(key), number, bookmarks_.Position(key)});
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
    const std::int32_t code = bookmarks_.Reget(rows_[static_cast<std::size_t>(at)].position);
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

void FoundBookmarks::CursorAtCurrent() {
  if (!Listed() || !ordered_) return;
  const auto found = rowOf_.find(bookmarks_.Record().Field(WebNum).Get().AsInteger());
  if (found == rowOf_.end()) return;
  const auto at = static_cast<std::ptrdiff_t>(found->second);
  nextRow_ = at + 1;
  previousRow_ = at - 1;
}

std::int32_t FoundBookmarks::Next() {
  if (!Listed()) return Narrowed() ? ReadWalking(true) : bookmarks_.Next();
  Order(order_);
  return ReadListed(true);
}

std::int32_t FoundBookmarks::Previous() {
  if (!Listed()) return Narrowed() ? ReadWalking(false) : bookmarks_.Previous();
  Order(order_);
  return ReadListed(false);
}

// --- Positioning ---------------------------------------------------------------------

std::int32_t FoundBookmarks::SetOrder(std::size_t key) {
  order_ = key;
  if (!Listed()) return bookmarks_.SetOrder(key);
  if (key > Layout().KeyCount()) return runtime::SetError(runtime::BadParameter);
  Order(key);
  nextRow_ = 0;
  previousRow_ = static_cast<std::ptrdiff_t>(rows_.size()) - 1;
  return runtime::SetError(runtime::NoError);
}

std::int32_t FoundBookmarks::SetOrderAtBuffer(std::size_t key) {
  order_ = key;
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
  if (bookmarks_.SetOrderAtPosition(key, position) != runtime::NoError) return runtime::LastErrorCode();
  const std::int32_t read = bookmarks_.Next();
  if (read != runtime::NoError && read != runtime::NoRecord) return read;
  CursorAt(read == runtime::NoRecord ? static_cast<std::ptrdiff_t>(rows_.size())
                                     : RowsBefore(bookmarks_.Record().Field(WebNum).Get().AsInteger()));
  return runtime::SetError(runtime::NoError);
}

std::string FoundBookmarks::Position(std::size_t key) { return bookmarks_.Position(key); }

std::int32_t FoundBookmarks::Get(std::size_t key) {
  const std::int32_t code = bookmarks_.Get(key);
  if (code == runtime::NoError) CursorAtCurrent();
  return code;
}

std::int32_t FoundBookmarks::GetAt(std::string_view position) {
  const std::int32_t code = bookmarks_.GetAt(position);
  if (code == runtime::NoError && !position.empty()) CursorAtCurrent();
  return code;
}

std::int32_t FoundBookmarks::Reget(std::string_view position) {
  const std::int32_t code = bookmarks_.Reget(position);
  if (code == runtime::NoError) CursorAtCurrent();
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
