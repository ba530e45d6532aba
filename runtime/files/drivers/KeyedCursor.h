// Where the keyed drivers (the local file and the server's) read next, and
// the rows they read ahead: the order-independent half of reading. The
// cursor remembers the key values and record number of the last record
// read, so the next read starts after it with one indexed lookup; rows are
// read ahead in batches that double after each repositioning up to a cap.
// The driver fills a batch from its database and delivers rows through
// Read. Positions are the record number (8 bytes), then the key's stored
// bytes. Used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/RecordBuffer.h"
#include "runtime/files/drivers/KeyedSchema.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

inline constexpr std::size_t kPositionRowid = sizeof(std::int64_t);

std::string EncodeRowid(std::int64_t rowid);
// Requires: position holds at least kPositionRowid bytes.
std::int64_t DecodeRowid(std::string_view position);

// What a read in order takes: with keysOnly (the "KEYSONLY=on" option) and
// a key order, the key's fields alone; else every field, with the memos
// unless they are skipped.
inline RowColumns ColumnsToRead(bool keysOnly, std::size_t order, bool skipMemos) {
  if (keysOnly && order != 0) return RowColumns::KeyFields;
  return skipMemos ? RowColumns::Fields : RowColumns::FieldsAndMemos;
}

// The statements of a scan come in variants: the columns taken, in each
// direction.
inline constexpr std::size_t kColumnKinds = 3;
inline constexpr std::size_t kScanVariants = 2 * kColumnKinds;
inline std::size_t ScanVariant(ScanDirection direction, RowColumns columns) {
  return (direction == ScanDirection::Backward ? kColumnKinds : 0) + static_cast<std::size_t>(columns);
}
inline ScanDirection VariantDirection(std::size_t variant) {
  return variant % kScanVariants >= kColumnKinds ? ScanDirection::Backward : ScanDirection::Forward;
}
inline RowColumns VariantColumns(std::size_t variant) { return static_cast<RowColumns>(variant % kColumnKinds); }

// The current record as stored.
struct KeyedCurrent {
  std::int64_t rowid = 0;  // 0: none
  std::int64_t version = 0;
  bool memosRead = true;
  std::vector<std::uint8_t> record;

  // After a read by record number at rowid answered code: a record held by
  // another station becomes the current one unread (a put after the hold
  // ends as changed, its version being unknown); a record gone or
  // unreadable leaves none. held is the driver's flag for the current one.
  void AfterReadByRowid(std::int32_t code, std::int64_t rowid, bool& held);
  // The position of the current record in order key (0 = record order);
  // empty without one.
  std::string Position(const KeyedSchema& schema, std::size_t key) const;
};

class KeyedCursor {
 public:
  // Rows read ahead: first after a repositioning, doubled up to batch
  // (quickScan during a quick scan) in at most maxDoublings steps.
  struct Limits {
    std::size_t first;
    std::size_t batch;
    std::size_t quickScan;
    int maxDoublings;
  };
  // Rows read ahead in one direction from the cursor, by index.
  struct Batch {
    ScanDirection direction = ScanDirection::Forward;
    RowColumns columns = RowColumns::Fields;
    std::size_t count = 0;
    std::size_t next = 0;
    bool cut = false;  // stopped before a damaged row
    std::vector<std::int64_t> rowids;
    std::vector<std::int64_t> versions;
    std::vector<char> held;  // held by another station, where the driver reads it with the row
    std::vector<std::uint8_t> records;
    std::vector<std::string> memoTexts;
  };

  // outOfPlaceCode: the driver code of a row read out of its order.
  KeyedCursor(const KeyedSchema& schema, Limits limits, std::string outOfPlaceCode);

  // At both ends of the order, with no batch.
  void Reset();
  // Drops the batch; the next batch starts small again.
  void Reposition() {
    batch_.count = batch_.next = 0;
    fills_ = 0;
  }
  // At both ends: Next reads the first record, Previous the last.
  void ToEnds();
  // At the key values of record: Next reads the first record whose key is
  // >= them, Previous the last whose key is <= them.
  void AtValues(const std::uint8_t* record);
  // At record rowid, whose key values are in KeyValues(): Next reads it.
  void AtRecord(std::int64_t rowid);
  // Just past the row read (rowid, its bytes record) in either direction.
  void MoveTo(const std::uint8_t* record, std::int64_t rowid);

  bool AtEnds() const { return atEnds_; }
  std::uint8_t* KeyValues() { return record_.data(); }
  const std::uint8_t* KeyValues() const { return record_.data(); }
  // The record number the next read in direction starts after.
  std::int64_t Bound(ScanDirection direction) const {
    return direction == ScanDirection::Forward ? forward_ : backward_;
  }

  // Empties the batch for rows in direction and makes room for them; the
  // number of rows to read (one for every field without memos: such reads
  // look up single records).
  std::size_t StartFill(ScanDirection direction, RowColumns columns, bool quickScan);
  Batch& Rows() { return batch_; }
  // The values of integer field in the rows read ahead that the next reads
  // in direction deliver, in order, at most limit of them.
  std::vector<std::int64_t> AheadValues(std::size_t field, ScanDirection direction, std::size_t limit) const;

  // Reads the next row in direction of order taking columns: from the
  // batch, else after fill(direction, columns) filled it; deliver(row)
  // makes batch row row the current record. NoRecord at the end of the order.
  template <typename Fill, typename DeliverRow>
  std::int32_t Read(std::size_t order, ScanDirection direction, RowColumns columns, Fill&& fill, DeliverRow&& deliver);

  // Copies row (its bytes record, memos or none) into buffer and current.
  void Copy(RecordBuffer& buffer, KeyedCurrent& current, std::int64_t rowid, std::int64_t version,
            const std::uint8_t* record, const std::string* memos, bool skipMemos) const;

 private:
  // Whether the row comes after the cursor in the order and direction.
  bool ComesAfter(std::size_t order, ScanDirection direction, std::int64_t rowid, const std::uint8_t* record) const;
  // Past the end of the order in direction: going back reads the last
  // record (and at the start, going on reads the first) again.
  void PassedEnd(ScanDirection direction);

  const KeyedSchema& schema_;
  const Limits limits_;
  const std::string outOfPlaceCode_;
  bool atEnds_ = true;
  std::vector<std::uint8_t> record_;  // key values, as record bytes
  std::int64_t forward_ = 0;
  std::int64_t backward_ = 0;
  Batch batch_;
  int fills_ = 0;  // batches read since the last repositioning
};

template <typename Fill, typename DeliverRow>
std::int32_t KeyedCursor::Read(std::size_t order, ScanDirection direction, RowColumns columns, Fill&& fill,
                               DeliverRow&& deliver) {
  const bool usable = batch_.next < batch_.count && batch_.direction == direction && batch_.columns >= columns;
  if (!usable) {
    if (fill(direction, columns) != NoError) return LastErrorCode();
    if (batch_.count == 0) {
      PassedEnd(direction);
      return SetError(NoRecord);
    }
  }
  const std::size_t row = batch_.next;
  const std::uint8_t* record = batch_.records.data() + row * schema_.Layout().RecordSize();
  // Each record read must come after the cursor in the order. One that does
  // not (an index that no longer matches its table) would make the reading
  // go round for ever.
  if (!atEnds_ && !ComesAfter(order, direction, batch_.rowids[row], record)) {
    batch_.count = 0;
    return SetError(DriverFailure, outOfPlaceCode_,
                    "record " + std::to_string(batch_.rowids[row]) + " is out of place in the order");
  }
  ++batch_.next;
  return deliver(row);
}

}  // namespace runtime
