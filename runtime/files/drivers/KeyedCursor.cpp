#include "runtime/files/drivers/KeyedCursor.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace runtime {

namespace {
// rowid + step, held at the ends of the range.
std::int64_t Saturated(std::int64_t rowid, int step) {
  if (step > 0 && rowid == std::numeric_limits<std::int64_t>::max()) return rowid;
  if (step < 0 && rowid == std::numeric_limits<std::int64_t>::min()) return rowid;
  return rowid + step;
}
}  // namespace

std::string EncodeRowid(std::int64_t rowid) {
  std::string bytes(kPositionRowid, '\0');
  std::memcpy(bytes.data(), &rowid, kPositionRowid);
  return bytes;
}

std::int64_t DecodeRowid(std::string_view position) {
  std::int64_t rowid = 0;
  std::memcpy(&rowid, position.data(), kPositionRowid);
  return rowid;
}

void KeyedCurrent::AfterReadByRowid(std::int32_t code, std::int64_t read, bool& held) {
  if (code == RecordHeld) {
    rowid = read;
    version = 0;
    held = false;
  } else if (code != NoError) {
    rowid = 0;
    held = false;
  }
}

std::string KeyedCurrent::Position(const KeyedSchema& schema, std::size_t key) const {
  if (rowid == 0 || key > schema.Layout().KeyCount()) return {};
  std::string position = EncodeRowid(rowid);
  if (key != 0) schema.CopyKey(key, record.data(), position);
  return position;
}

KeyedCursor::KeyedCursor(const KeyedSchema& schema, Limits limits, std::string outOfPlaceCode)
    : schema_(schema), limits_(limits), outOfPlaceCode_(std::move(outOfPlaceCode)) {}

void KeyedCursor::Reset() {
  atEnds_ = true;
  record_.assign(schema_.Layout().RecordSize(), ' ');
  forward_ = backward_ = 0;
  Reposition();
}

void KeyedCursor::ToEnds() {
  atEnds_ = true;
  Reposition();
}

void KeyedCursor::AtValues(const std::uint8_t* record) {
  Reposition();
  std::memcpy(record_.data(), record, record_.size());
  atEnds_ = false;
  forward_ = std::numeric_limits<std::int64_t>::min();
  backward_ = std::numeric_limits<std::int64_t>::max();
}

void KeyedCursor::AtRecord(std::int64_t rowid) {
  Reposition();
  atEnds_ = false;
  forward_ = Saturated(rowid, -1);  // Next reads the record itself when it is there
  backward_ = rowid;
}

void KeyedCursor::MoveTo(const std::uint8_t* record, std::int64_t rowid) {
  std::memcpy(record_.data(), record, record_.size());
  atEnds_ = false;
  forward_ = backward_ = rowid;
}

std::size_t KeyedCursor::StartFill(ScanDirection direction, RowColumns columns, bool quickScan) {
  // Each batch after a repositioning doubles, up to the cap: a page of a
  // browse (a few dozen rows from a new place) reads few rows past what it
  // shows, while a long scan soon reads whole batches.
  const std::size_t cap = quickScan ? limits_.quickScan : limits_.batch;
  const std::size_t limit =
      columns == RowColumns::Fields ? 1 : std::min(cap, limits_.first << std::min(fills_, limits_.maxDoublings));
  const std::size_t recordSize = schema_.Layout().RecordSize();
  const std::size_t memoCount = schema_.Layout().MemoCount();
  if (batch_.rowids.size() < limit) {
    batch_.rowids.resize(limit);
    batch_.versions.resize(limit);
    batch_.held.resize(limit);
    batch_.records.resize(limit * recordSize);
    batch_.memoTexts.resize(limit * memoCount);
  }
  batch_.direction = direction;
  batch_.columns = columns;
  batch_.count = batch_.next = 0;
  batch_.cut = false;
  ++fills_;
  return limit;
}

bool KeyedCursor::ComesAfter(std::size_t order, ScanDirection direction, std::int64_t rowid,
                             const std::uint8_t* record) const {
  const bool forward = direction == ScanDirection::Forward;
  int comparison = schema_.CompareKey(order, record, record_.data());
  if (comparison == 0) {
    const std::int64_t bound = Bound(direction);
    comparison = rowid < bound ? -1 : rowid > bound ? 1 : 0;
  }
  return forward ? comparison > 0 : comparison < 0;
}

void KeyedCursor::PassedEnd(ScanDirection direction) {
  if (atEnds_) return;
  // At the limits of the record numbers the same comes from the ends.
  if (direction == ScanDirection::Forward) {
    backward_ = Saturated(forward_, 1);
    if (forward_ == std::numeric_limits<std::int64_t>::max()) atEnds_ = true;
  } else {
    forward_ = Saturated(backward_, -1);
    if (backward_ == std::numeric_limits<std::int64_t>::min()) atEnds_ = true;
  }
}

void KeyedCursor::Copy(RecordBuffer& buffer, KeyedCurrent& current, std::int64_t rowid, std::int64_t version,
                       const std::uint8_t* record, const std::string* memos, bool skipMemos) const {
  std::memcpy(buffer.Data(), record, buffer.Size());
  std::memcpy(current.record.data(), record, current.record.size());
  const bool withMemos = memos != nullptr && !skipMemos;
  for (std::size_t m = 1; m <= schema_.Layout().MemoCount(); ++m) {
    if (withMemos) {
      buffer.SetMemo(m, memos[m - 1]);
    } else if (!buffer.Memo(m).empty()) {
      buffer.SetMemo(m, {});
    }
  }
  current.rowid = rowid;
  current.version = version;
  current.memosRead = withMemos;
}

std::vector<std::int64_t> KeyedCursor::AheadValues(std::size_t field, ScanDirection direction,
                                                   std::size_t limit) const {
  std::vector<std::int64_t> values;
  if (batch_.direction != direction || field == 0 || field > schema_.Layout().FieldCount()) return values;
  const FieldDesc& desc = schema_.Layout().Field(field);
  const std::size_t recordSize = schema_.Layout().RecordSize();
  for (std::size_t row = batch_.next; row < batch_.count && values.size() < limit; ++row) {
    values.push_back(KeyedSchema::IntegerField(desc, batch_.records.data() + row * recordSize));
  }
  return values;
}

}  // namespace runtime
