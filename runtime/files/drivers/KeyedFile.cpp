#include "runtime/files/drivers/KeyedFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "runtime/files/drivers/Drivers.h"
#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/files/drivers/KeyedServerFile.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
constexpr int kBusyTimeoutMs = 5000;  // ordinary writes wait this long for another station
// The first batch after a repositioning, which often reads one row, is 8;
// 8 << 6 reaches the quick scan's 512.
constexpr KeyedCursor::Limits kBatches{8, 64, 512, 6};
// Every station and runtime thread has its own connection. SQLite's own
// page cache saves little over the system's file cache for a browse's
// rows, which in a large file each sit on a table page of their own; what
// it must hold are the upper levels of the table and of the indexes. At a
// million rows these outgrow 1 MB, and a browse that has counted its rows
// (reading every page once) then reads them from the system again for
// each page; 4 MB keeps them and the memory of a program over a large
// file within twice that over a small one.
constexpr const char* kConnectionPragmas = "PRAGMA synchronous=NORMAL; PRAGMA cache_size=-4096";

// Statement slots: fixed ones first, then kPerKey per order (0 = record order).
enum FixedSlot : std::size_t { kInsert, kUpdate, kDelete, kVersion, kByRowid, kByRowidNoMemos, kCount, kFixedSlots };
enum KeySlot : std::size_t {
  kFirst = 0,
  kAfter = kScanVariants,
  kGroup = 2 * kScanVariants,
  kEqual = 3 * kScanVariants,
  kDuplicate = kEqual + 2,
  kPerKey
};

std::size_t ScanSlot(std::size_t base, std::size_t key, ScanDirection direction, RowColumns columns) {
  return kFixedSlots + key * kPerKey + base + ScanVariant(direction, columns);
}

}  // namespace

std::unique_ptr<DataFile> MakeKeyedFile(RecordLayout layout, std::string diskName) {
  if (std::string server = KeyedServer(); !server.empty()) {
    return std::make_unique<KeyedServerFile>(std::move(layout), std::move(diskName), std::move(server));
  }
  return std::make_unique<KeyedFile>(std::move(layout), std::move(diskName));
}

KeyedFile::KeyedFile(RecordLayout layout, std::string diskName)
    : DataFile(Driver::Keyed, std::move(layout), std::move(diskName)),
      schema_(Layout()),
      cursor_(schema_, kBatches, std::to_string(SQLITE_CORRUPT)) {}

KeyedFile::~KeyedFile() { Disconnect(); }

// --- Opening and closing ------------------------------------------------------

std::int32_t KeyedFile::CheckDiskFile(bool forWrite) {
  if (Disk().CheckExisting(forWrite) != NoError) return LastErrorCode();
  return Disk().CheckHeader(shorterThanHeader_);
}

std::int32_t KeyedFile::Connect(bool writable, bool keepOnKeysInvalid) {
  int flags = 0;
  const std::string name = Disk().OpenName(writable, flags);
  sqlite3* raw = nullptr;
  const KeyedDiskFile::Companions before = Disk().CompanionsPresent();
  const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  SqliteConnection db(raw);
  if (rc != SQLITE_OK) return SqliteError(db.get(), rc);
  sqlite3_extended_result_codes(db.get(), 1);
  // Until the file is known to be ours, closing must not checkpoint a
  // foreign write-ahead log into it.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  SetBusyWait(db.get(), kBusyTimeoutMs);
  db_ = std::move(db);
  std::int32_t valid = Validate();
  // A file shorter than its header's page count is what a crash in the
  // middle of a checkpoint leaves while the write-ahead log still holds the
  // pages: SQLite judges it, with the log.
  if ((valid == NoError || valid == KeysInvalid) && shorterThanHeader_ && QuickCheck() != NoError) {
    valid = LastErrorCode();
  }
  if (valid != NoError && !(valid == KeysInvalid && keepOnKeysInvalid)) {
    const RuntimeError error = LastError();
    db_.reset();
    // A refused file is left as it was found, without the empty log SQLite
    // made beside it.
    if (!station_->OthersPresent()) Disk().RemoveEmptyCompanions(before);
    return SetError(error.code, error.driverCode, error.driverText);
  }
  if (writable) sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  if (SqliteExec(db_.get(), kConnectionPragmas) != NoError) {
    db_.reset();
    return LastErrorCode();
  }
  return SetError(valid);
}

std::int32_t KeyedFile::QuickCheck() {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), "PRAGMA quick_check(1)", -1, &raw, nullptr);
  SqliteStatement check(raw);
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  rc = sqlite3_step(check.get());
  if (rc != SQLITE_ROW) return SqliteError(db_.get(), rc);
  const std::string_view result = ColumnText(check.get(), 0);
  if (result == "ok") return SetError(NoError);
  return SetError(DriverFailure, std::to_string(SQLITE_CORRUPT), "database file is truncated: " + std::string(result));
}

std::int32_t KeyedFile::Validate() {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), "SELECT name, value FROM keyed_meta", -1, &raw, nullptr);
  SqliteStatement meta(raw);
  if (rc == SQLITE_ERROR) return SetError(LayoutMismatch, std::to_string(rc), sqlite3_errmsg(db_.get()));
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  std::string format, layout, keys;
  while ((rc = sqlite3_step(meta.get())) == SQLITE_ROW) {
    // A damaged file may hold NULL anywhere: it reads as an empty text.
    const std::string_view name = ColumnText(meta.get(), 0);
    std::string value(ColumnText(meta.get(), 1));
    if (name == "format") format = std::move(value);
    if (name == "layout") layout = std::move(value);
    if (name == "keys") keys = std::move(value);
  }
  if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  if (format != KeyedSchema::kFormatMarker) return SetError(LayoutMismatch, "", "not a keyed data file");
  if (layout != schema_.LayoutSignature()) {
    return SetError(LayoutMismatch, "", "the file's fields differ from the declared layout");
  }
  // Every declared column must be there, or every read would fail.
  const std::string columns = schema_.ByRowidSql(true);
  rc = sqlite3_prepare_v2(db_.get(), columns.c_str(), -1, &raw, nullptr);
  SqliteStatement select(raw);
  if (rc == SQLITE_ERROR) return SetError(LayoutMismatch, std::to_string(rc), sqlite3_errmsg(db_.get()));
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  if (keys != schema_.KeysSignature())
    return SetError(KeysInvalid, "", "the file's keys differ from the declared keys");
  rc = sqlite3_prepare_v2(db_.get(), "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'records'", -1,
                          &raw, nullptr);
  SqliteStatement indexes(raw);
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  std::size_t found = 0;
  while ((rc = sqlite3_step(indexes.get())) == SQLITE_ROW) {
    const std::string_view name = ColumnText(indexes.get(), 0);
    for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) {
      if (name == KeyedSchema::IndexName(k)) ++found;
    }
  }
  if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  if (found != Layout().KeyCount()) return SetError(KeysInvalid, "", "an index of the file is missing");
  return SetError(NoError);
}

std::int32_t KeyedFile::Open(std::uint8_t mode) {
  if (open_) return SetError(AlreadyOpen);
  const int waitSeconds = std::exchange(recoverSeconds_, 0);
  const bool writable = (mode & 0x0F) != AccessRead;
  if (writable) Disk().RemoveAbandonedCreations();
  if (CheckDiskFile(writable) != NoError) return LastErrorCode();
  std::unique_ptr<KeyedStation> station;
  if (KeyedStation::Join(LockPath(), mode, waitSeconds, station) != NoError) return LastErrorCode();
  station_ = std::move(station);
  if (Connect(writable, false) != NoError) {
    const RuntimeError error = LastError();
    Disconnect();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  mode_ = mode;
  ResetState();
  open_ = true;
  return SetError(NoError);
}

std::int32_t KeyedFile::Create() {
  if (open_) return SetError(AccessDenied, "", DbPath() + " already exists");
  return Disk().Create(schema_);
}

void KeyedFile::Disconnect() {
  statements_.clear();
  if (db_ && inTransaction_) (void)SqliteExec(db_.get(), "ROLLBACK");
  inTransaction_ = false;
  db_.reset();
  station_.reset();  // drops every lock of this station
  held_ = false;
}

std::int32_t KeyedFile::Close() {
  if (!open_) return SetError(FileNotOpen);
  Disconnect();
  open_ = false;
  return SetError(NoError);
}

void KeyedFile::ResetState() {
  statements_.clear();
  order_ = 0;
  cursor_.Reset();
  current_ = KeyedCurrent{};
  current_.record.assign(Layout().RecordSize(), ' ');
  held_ = false;
  watched_ = false;
  inTransaction_ = false;
}

std::int32_t KeyedFile::RebuildKeys() {
  std::string sql = "BEGIN IMMEDIATE;";
  {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(
        db_.get(), "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'records' AND sql IS NOT NULL",
        -1, &raw, nullptr);
    SqliteStatement indexes(raw);
    if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
    int step;
    while ((step = sqlite3_step(indexes.get())) == SQLITE_ROW) {
      sql += "DROP INDEX \"";
      sql += ColumnText(indexes.get(), 0);
      sql += "\";";
    }
    if (step != SQLITE_DONE) return SqliteError(db_.get(), step);
  }
  for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) sql += schema_.CreateIndexSql(k) + ";";
  if (SqliteExec(db_.get(), sql.c_str()) != NoError) {
    const RuntimeError error = LastError();
    if (sqlite3_get_autocommit(db_.get()) == 0) (void)SqliteExec(db_.get(), "ROLLBACK");
    return SetError(error.code, error.driverCode, error.driverText);
  }
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), "UPDATE keyed_meta SET value = ?1 WHERE name = 'keys'", -1, &raw, nullptr);
  SqliteStatement update(raw);
  const std::string keys = schema_.KeysSignature();
  if (rc == SQLITE_OK) {
    sqlite3_bind_text(update.get(), 1, keys.data(), static_cast<int>(keys.size()), SQLITE_STATIC);
    rc = sqlite3_step(update.get());
  }
  if (rc != SQLITE_DONE && rc != SQLITE_OK) {
    SqliteError(db_.get(), rc);
    const RuntimeError error = LastError();
    (void)SqliteExec(db_.get(), "ROLLBACK");
    return SetError(error.code, error.driverCode, error.driverText);
  }
  return SqliteExec(db_.get(), "COMMIT");
}

std::int32_t KeyedFile::BuildKeys() {
  if (open_) {
    if (IsReadOnly()) return SetError(AccessDenied);
    if (inTransaction_) return SetError(FileLocked, "", "a transaction is active");
    statements_.clear();
    cursor_.Reposition();
    return RebuildKeys();
  }
  if (CheckDiskFile(true) != NoError) return LastErrorCode();
  std::unique_ptr<KeyedStation> station;
  if (KeyedStation::Join(LockPath(), AccessReadWrite | ShareDenyNone, 0, station) != NoError) return LastErrorCode();
  station_ = std::move(station);
  std::int32_t code = Connect(true, true);
  if (code == NoError || code == KeysInvalid) code = RebuildKeys();
  const RuntimeError error = LastError();
  Disconnect();
  return SetError(code, error.driverCode, error.driverText);
}

std::int32_t KeyedFile::Remove() {
  if (open_) return SetError(AccessDenied, "", "the file is open");
  if (CheckDiskFile(true) != NoError) return LastErrorCode();
  std::unique_ptr<KeyedStation> station;
  if (KeyedStation::Join(LockPath(), AccessReadWrite | ShareDenyAll, 0, station) != NoError) return LastErrorCode();
  if (station->OthersPresent()) return SetError(AccessDenied, "", "another station has the file open");
  station_ = std::move(station);
  // Only a keyed file (even one whose keys need rebuilding) is removed.
  const std::int32_t code = Connect(false, true);
  const RuntimeError error = LastError();
  Disconnect();
  if (code != NoError && code != KeysInvalid) return SetError(code, error.driverCode, error.driverText);
  return Disk().Remove(LockPath());
}

// --- Statements -----------------------------------------------------------------

std::string KeyedFile::StatementSql(std::size_t slot) const {
  switch (slot) {
    case kInsert:
      return schema_.InsertSql();
    case kUpdate:
      return schema_.UpdateSql();
    case kDelete:
      return "DELETE FROM records WHERE id = ?1";
    case kVersion:
      return "SELECT version FROM records WHERE id = ?1";
    case kByRowid:
      return schema_.ByRowidSql(true);
    case kByRowidNoMemos:
      return schema_.ByRowidSql(false);
    case kCount:
      return "SELECT count(*) FROM records";
    default:
      break;
  }
  const std::size_t key = (slot - kFixedSlots) / kPerKey;
  const std::size_t kind = (slot - kFixedSlots) % kPerKey;
  const RowColumns columns = VariantColumns(kind);
  const ScanDirection direction = VariantDirection(kind);
  if (kind < kAfter) return schema_.FirstSql(key, direction, columns);
  if (kind < kGroup) return schema_.AfterSql(key, direction, columns);
  if (kind < kEqual) return schema_.GroupSql(key, direction, columns);
  if (kind < kDuplicate) return schema_.EqualSql(key, kind == kEqual + 1);
  return schema_.DuplicateSql(key);
}

sqlite3_stmt* KeyedFile::Statement(std::size_t slot) {
  if (statements_.empty()) statements_.resize(kFixedSlots + (Layout().KeyCount() + 1) * kPerKey);
  SqliteStatement& statement = statements_[slot];
  if (!statement) {
    const std::string sql = StatementSql(slot);
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v3(db_.get(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &raw, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(raw);
      SqliteError(db_.get(), rc);
      return nullptr;
    }
    statement.reset(raw);
  }
  return statement.get();
}

// --- Positioning ------------------------------------------------------------------

std::int32_t KeyedFile::SetOrder(std::size_t key) {
  if (!open_) return SetError(FileNotOpen);
  if (key > Layout().KeyCount()) return SetError(BadParameter);
  order_ = key;
  cursor_.ToEnds();
  return SetError(NoError);
}

std::int32_t KeyedFile::SetOrderAtBuffer(std::size_t key) {
  if (key == 0) return SetOrder(0);
  if (SetOrder(key) != NoError) return LastErrorCode();
  cursor_.AtValues(Record().Data());
  return SetError(NoError);
}

std::int32_t KeyedFile::SetOrderAtPosition(std::size_t key, std::string_view position) {
  if (!open_) return SetError(FileNotOpen);
  if (key > Layout().KeyCount() || position.size() < kPositionRowid) return SetError(BadParameter);
  const std::int64_t rowid = DecodeRowid(position);
  const std::size_t keyBytes = key == 0 ? 0 : schema_.KeyBytes(key);
  if (position.size() == kPositionRowid + keyBytes) {
    if (key != 0) schema_.RestoreKey(key, position.data() + kPositionRowid, cursor_.KeyValues());
  } else if (position.size() == kPositionRowid) {
    // A record-order position used with a key: the key values come from
    // the record itself, which must still exist.
    sqlite3_stmt* statement = Statement(kByRowidNoMemos);
    if (statement == nullptr) return LastErrorCode();
    StatementReset reset(statement);
    sqlite3_bind_int64(statement, 1, rowid);
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) return SetError(RecordNotFound);
    if (rc != SQLITE_ROW) return SqliteError(db_.get(), rc);
    std::vector<std::uint8_t> values(Layout().RecordSize());
    if (const std::size_t bad = schema_.StoreFields(statement, 2, values.data())) return DamagedRecord(rowid, bad);
    std::memcpy(cursor_.KeyValues(), values.data(), values.size());
  } else {
    return SetError(BadParameter);
  }
  order_ = key;
  cursor_.AtRecord(rowid);
  return SetError(NoError);
}

// --- Reading ----------------------------------------------------------------------

std::int32_t KeyedFile::Next() { return Read(ScanDirection::Forward); }
std::int32_t KeyedFile::Previous() { return Read(ScanDirection::Backward); }

std::int32_t KeyedFile::Read(ScanDirection direction) {
  const RowColumns columns = ColumnsToRead(keysOnly_, order_, TakeSkipMemos());
  if (!open_) return SetError(FileNotOpen);
  KeyedCursor::Batch& batch = cursor_.Rows();
  return cursor_.Read(
      order_, direction, columns, [this](ScanDirection way, RowColumns taken) { return Fill(way, taken); },
      [&](std::size_t row) {
        return Deliver(
            batch.rowids[row], batch.versions[row], batch.records.data() + row * Layout().RecordSize(),
            batch.columns == RowColumns::FieldsAndMemos ? batch.memoTexts.data() + row * Layout().MemoCount() : nullptr,
            columns != RowColumns::FieldsAndMemos);
      });
}

// Reads ahead from the cursor. In key order that is the rest of the group
// of records with the cursor's key values (by record number), then the
// records with later keys: two index ranges that SQLite starts exactly.
std::int32_t KeyedFile::Fill(ScanDirection direction, RowColumns columns) {
  // Rows in a large file each sit on a table page of their own: a browse's
  // page reads few past what it shows.
  const std::size_t limit = cursor_.StartFill(direction, columns, quickScan_);
  const KeyedCursor::Batch& batch = cursor_.Rows();
  const std::int64_t bound = cursor_.Bound(direction);
  if (cursor_.AtEnds()) return FillFrom(ScanSlot(kFirst, order_, direction, columns), false, bound, limit);
  if (order_ == 0) return FillFrom(ScanSlot(kAfter, 0, direction, columns), false, bound, limit);
  if (FillFrom(ScanSlot(kGroup, order_, direction, columns), true, bound, limit) != NoError) return LastErrorCode();
  if (batch.count == limit || batch.cut) return SetError(NoError);
  return FillFrom(ScanSlot(kAfter, order_, direction, columns), true, 0, limit);
}

std::int32_t KeyedFile::FillFrom(std::size_t slot, bool bindKey, std::int64_t rowid, std::size_t limit) {
  KeyedCursor::Batch& batch = cursor_.Rows();
  sqlite3_stmt* statement = Statement(slot);
  if (statement == nullptr) return LastErrorCode();
  StatementReset reset(statement);
  int parameter = 1;
  if (bindKey) parameter = schema_.BindKey(statement, 1, order_, cursor_.KeyValues());
  const std::size_t kind = (slot - kFixedSlots) % kPerKey;
  if (kind >= kGroup || (order_ == 0 && kind >= kAfter)) sqlite3_bind_int64(statement, parameter++, rowid);
  sqlite3_bind_int64(statement, parameter, static_cast<std::int64_t>(limit - batch.count));

  const std::size_t recordSize = Layout().RecordSize();
  const std::size_t memoCount = Layout().MemoCount();
  const int firstMemo = 2 + static_cast<int>(Layout().FieldCount());
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    const std::size_t row = batch.count;
    batch.rowids[row] = sqlite3_column_int64(statement, 0);
    batch.versions[row] = sqlite3_column_int64(statement, 1);
    if (const std::size_t bad = schema_.StoreFields(statement, 2, batch.records.data() + row * recordSize)) {
      // The rows before it are delivered; the next fill starts with it.
      batch.cut = true;
      if (row > 0) return SetError(NoError);
      return DamagedRecord(batch.rowids[row], bad);
    }
    if (batch.columns == RowColumns::FieldsAndMemos) {
      for (std::size_t m = 0; m < memoCount; ++m) {
        const int column = firstMemo + static_cast<int>(m);
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        batch.memoTexts[row * memoCount + m].assign(text != nullptr ? text : "",
                                                    static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      }
    }
    ++batch.count;
  }
  if (rc != SQLITE_DONE) {
    batch.count = 0;
    return SqliteError(db_.get(), rc);
  }
  return SetError(NoError);
}

// Makes the row the current record, unless another station holds it: then
// the read position still moves onto it (so the next read goes past it) and
// the buffer is left alone.
std::int32_t KeyedFile::Deliver(std::int64_t rowid, std::int64_t version, const std::uint8_t* record,
                                const std::string* memos, bool skipMemos) {
  cursor_.MoveTo(record, rowid);
  if (station_->HeldByOther(rowid)) return SetError(RecordHeld);
  cursor_.Copy(Record(), current_, rowid, version, record, memos, skipMemos);
  held_ = station_->HoldsRecord(rowid);
  return SetError(NoError);
}

std::int32_t KeyedFile::ReadSingle(sqlite3_stmt* statement, bool memos) {
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return SetError(RecordNotFound);
  if (rc != SQLITE_ROW) return SqliteError(db_.get(), rc);
  // The row goes through the batch storage (slot 0), which is dropped anyway.
  cursor_.Reposition();
  KeyedCursor::Batch& batch = cursor_.Rows();
  const std::size_t memoCount = Layout().MemoCount();
  if (batch.rowids.empty()) {
    batch.rowids.resize(1);
    batch.versions.resize(1);
    batch.records.resize(Layout().RecordSize());
    batch.memoTexts.resize(memoCount);
  }
  if (const std::size_t bad = schema_.StoreFields(statement, 2, batch.records.data())) {
    return DamagedRecord(sqlite3_column_int64(statement, 0), bad);
  }
  if (memos) {
    const int first = 2 + static_cast<int>(Layout().FieldCount());
    for (std::size_t m = 0; m < memoCount; ++m) {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, first + static_cast<int>(m)));
      batch.memoTexts[m].assign(text != nullptr ? text : "",
                                static_cast<std::size_t>(sqlite3_column_bytes(statement, first + static_cast<int>(m))));
    }
  }
  return Deliver(sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1), batch.records.data(),
                 memos ? batch.memoTexts.data() : nullptr, !memos);
}

std::int32_t KeyedFile::DamagedRecord(std::int64_t rowid, std::size_t field) {
  return SetError(
      DriverFailure, std::to_string(SQLITE_CORRUPT),
      "record " + std::to_string(rowid) + ": " + Layout().Field(field).label + " holds a value the layout cannot hold");
}

std::int32_t KeyedFile::Get(std::size_t key) {
  const bool skipMemos = TakeSkipMemos();
  if (!open_) return SetError(FileNotOpen);
  if (key == 0 || key > Layout().KeyCount()) return SetError(BadParameter);
  sqlite3_stmt* statement = Statement(kFixedSlots + key * kPerKey + kEqual + (skipMemos ? 0 : 1));
  if (statement == nullptr) return LastErrorCode();
  StatementReset reset(statement);
  schema_.BindKey(statement, 1, key, Record().Data());
  return ReadSingle(statement, !skipMemos);
}

std::int32_t KeyedFile::ReadByRowid(std::string_view position) {
  const bool skipMemos = TakeSkipMemos();
  if (!open_) return SetError(FileNotOpen);
  if (position.size() < kPositionRowid) return SetError(BadParameter);
  sqlite3_stmt* statement = Statement(skipMemos ? kByRowidNoMemos : kByRowid);
  if (statement == nullptr) return LastErrorCode();
  StatementReset reset(statement);
  sqlite3_bind_int64(statement, 1, DecodeRowid(position));
  const std::int32_t code = ReadSingle(statement, !skipMemos);
  // A put or delete that follows a failed read never acts on the record
  // read before; one held by another station is refused as held.
  current_.AfterReadByRowid(code, DecodeRowid(position), held_);
  return code;
}

std::int32_t KeyedFile::GetAt(std::string_view position) {
  if (position.empty()) {
    (void)TakeSkipMemos();
    if (!open_) return SetError(FileNotOpen);
    current_.rowid = 0;
    held_ = false;
    return SetError(NoError);
  }
  return ReadByRowid(position);
}

std::int32_t KeyedFile::Reget(std::string_view position) { return ReadByRowid(position); }

// --- Holding and watching -----------------------------------------------------------

std::int32_t KeyedFile::Hold() {
  if (!open_) return SetError(FileNotOpen);
  if (current_.rowid == 0) return SetError(RecordNotFound);
  cursor_.Reposition();
  const std::int32_t code = station_->Hold(current_.rowid);
  if (code == NoError) held_ = true;
  return SetError(code);
}

std::int32_t KeyedFile::Release() {
  if (!open_) return SetError(FileNotOpen);
  station_->ReleaseAll();
  held_ = false;
  return SetError(NoError);
}

std::int32_t KeyedFile::Watch() {
  if (!open_) return SetError(FileNotOpen);
  watched_ = true;
  return SetError(NoError);
}

// --- Writing ------------------------------------------------------------------------

std::int32_t KeyedFile::CheckWritable() const {
  if (!open_) return SetError(FileNotOpen);
  if (IsReadOnly()) return SetError(AccessDenied, "", "the file is open read-only");
  return SetError(NoError);
}

std::int32_t KeyedFile::CheckKeyValues() const {
  if (schema_.HasNanKey(Record().Data())) return SetError(BadParameter, "", "a key value is not a number");
  return SetError(NoError);
}

std::int32_t KeyedFile::Add() {
  if (CheckWritable() != NoError || CheckKeyValues() != NoError) return LastErrorCode();
  sqlite3_stmt* statement = Statement(kInsert);
  if (statement == nullptr) return LastErrorCode();
  cursor_.Reposition();
  StatementReset reset(statement);
  const RecordBuffer& buffer = Record();
  int parameter = schema_.BindFields(statement, 1, buffer.Data());
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) {
    const std::string& memo = buffer.Memo(m);
    sqlite3_bind_text(statement, parameter++, memo.data(), static_cast<int>(memo.size()), SQLITE_STATIC);
  }
  const int rc = sqlite3_step(statement);
  if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  const std::int64_t rowid = sqlite3_last_insert_rowid(db_.get());
  current_.rowid = rowid;
  current_.version = 1;
  current_.memosRead = true;
  std::memcpy(current_.record.data(), buffer.Data(), current_.record.size());
  cursor_.MoveTo(buffer.Data(), rowid);
  held_ = false;
  return SetError(NoError);
}

std::int32_t KeyedFile::Put() {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (current_.rowid == 0) return SetError(RecordNotFound);
  if (CheckKeyValues() != NoError) return LastErrorCode();
  return UnderWriteLock(&KeyedFile::WriteCurrent);
}

std::int32_t KeyedFile::Delete() {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (current_.rowid == 0) return SetError(RecordNotFound);
  return UnderWriteLock(&KeyedFile::DeleteCurrent);
}

// A record already held elsewhere is refused at once; otherwise the holds
// are checked again once the write lock is taken, since another station
// may hold the record while this one waits for the lock.
std::int32_t KeyedFile::UnderWriteLock(std::int32_t (KeyedFile::*write)()) {
  if (station_->HeldByOther(current_.rowid)) return SetError(RecordHeld);
  const bool own = !inTransaction_;
  if (own && SqliteExec(db_.get(), "BEGIN IMMEDIATE") != NoError) return LastErrorCode();
  const std::int32_t code = station_->HeldByOther(current_.rowid) ? SetError(RecordHeld) : (this->*write)();
  if (!own) return code;
  if (code == NoError && SqliteExec(db_.get(), "COMMIT") == NoError) return NoError;
  const RuntimeError error = LastError();
  (void)SqliteExec(db_.get(), "ROLLBACK");
  // A put whose commit failed counted on a version that was not stored.
  if (code == NoError) (void)RefreshCurrentVersion();
  return SetError(error.code, error.driverCode, error.driverText);
}

std::int32_t KeyedFile::WriteCurrent() {
  sqlite3_stmt* statement = Statement(kUpdate);
  if (statement == nullptr) return LastErrorCode();
  cursor_.Reposition();
  {
    StatementReset reset(statement);
    const RecordBuffer& buffer = Record();
    int parameter = schema_.BindFields(statement, 1, buffer.Data());
    for (std::size_t m = 1; m <= Layout().MemoCount(); ++m, ++parameter) {
      const std::string& memo = buffer.Memo(m);
      if (!current_.memosRead && memo.empty()) {
        sqlite3_bind_null(statement, parameter);  // not read, so not changed
      } else {
        sqlite3_bind_text(statement, parameter, memo.data(), static_cast<int>(memo.size()), SQLITE_STATIC);
      }
    }
    sqlite3_bind_int64(statement, parameter++, current_.rowid);
    sqlite3_bind_int64(statement, parameter, current_.version);
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  }
  if (sqlite3_changes(db_.get()) == 1) {
    ++current_.version;
    std::memcpy(current_.record.data(), Record().Data(), current_.record.size());
    return SetError(NoError);
  }
  // Nothing written: another station changed or deleted the record.
  sqlite3_stmt* version = Statement(kVersion);
  if (version == nullptr) return LastErrorCode();
  StatementReset reset(version);
  sqlite3_bind_int64(version, 1, current_.rowid);
  const int rc = sqlite3_step(version);
  if (rc == SQLITE_ROW) return SetError(ChangedByOther);
  if (rc == SQLITE_DONE) return SetError(RecordNotFound);
  return SqliteError(db_.get(), rc);
}

std::int32_t KeyedFile::DeleteCurrent() {
  sqlite3_stmt* statement = Statement(kDelete);
  if (statement == nullptr) return LastErrorCode();
  // The read position stays on the deleted record's values, so the next
  // read goes on with the record that followed it; the records read ahead
  // all follow it and stay as they were.
  StatementReset reset(statement);
  sqlite3_bind_int64(statement, 1, current_.rowid);
  const int rc = sqlite3_step(statement);
  if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  const bool deleted = sqlite3_changes(db_.get()) == 1;
  current_.rowid = 0;
  held_ = false;
  return SetError(deleted ? NoError : RecordNotFound);
}

bool KeyedFile::Duplicate(std::size_t key) {
  if (!open_ || key == 0 || key > Layout().KeyCount()) return false;
  const KeyDesc& desc = Layout().Key(key);
  if (!desc.unique && !desc.primary) return false;
  sqlite3_stmt* statement = Statement(kFixedSlots + key * kPerKey + kDuplicate);
  if (statement == nullptr) return false;
  StatementReset reset(statement);
  const int parameter = schema_.BindKey(statement, 1, key, Record().Data());
  sqlite3_bind_int64(statement, parameter, current_.rowid);
  return sqlite3_step(statement) == SQLITE_ROW;
}

// --- Properties ---------------------------------------------------------------------

std::int64_t KeyedFile::Records() {
  if (!open_) {
    SetError(FileNotOpen);
    return 0;
  }
  sqlite3_stmt* statement = Statement(kCount);
  if (statement == nullptr) return 0;
  StatementReset reset(statement);
  const int rc = sqlite3_step(statement);
  if (rc != SQLITE_ROW) {
    SqliteError(db_.get(), rc);
    return 0;
  }
  SetError(NoError);
  return sqlite3_column_int64(statement, 0);
}

// The records' logical size, as a file of fixed-length records would have:
// callers estimate record counts from it, which the database's pages do not
// give.
std::int64_t KeyedFile::Bytes() {
  if (!open_) {
    SetError(FileNotOpen);
    return 0;
  }
  const std::int64_t records = Records();
  if (LastErrorCode() != NoError) return 0;
  return records * static_cast<std::int64_t>(Layout().RecordSize());
}

std::string KeyedFile::Position(std::size_t key) { return open_ ? current_.Position(schema_, key) : std::string(); }

// --- Transactions -------------------------------------------------------------------

std::int32_t KeyedFile::BeginTransaction(int lockWaitSeconds) {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (inTransaction_) return SetError(BadParameter, "", "a transaction is already active");
  cursor_.Reposition();
  SetBusyWait(db_.get(), std::max(lockWaitSeconds, 0) * 1000);
  const std::int32_t code = SqliteExec(db_.get(), "BEGIN IMMEDIATE");
  SetBusyWait(db_.get(), kBusyTimeoutMs);
  if (code == NoError) inTransaction_ = true;
  return code;
}

std::int32_t KeyedFile::Commit() {
  if (!open_) return SetError(FileNotOpen);
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  // What was read ahead inside the transaction is what the commit keeps.
  if (SqliteExec(db_.get(), "COMMIT") != NoError) return LastErrorCode();
  inTransaction_ = false;
  return SetError(NoError);
}

std::int32_t KeyedFile::Rollback() {
  if (!open_) return SetError(FileNotOpen);
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  cursor_.Reposition();
  inTransaction_ = false;
  if (SqliteExec(db_.get(), "ROLLBACK") != NoError) return LastErrorCode();
  return RefreshCurrentVersion();
}

std::int32_t KeyedFile::RefreshCurrentVersion() {
  // A rolled-back put leaves the stored version as it was before, and a
  // rolled-back add leaves no record at all: the current record must follow,
  // or the next put would be refused as changed by another station.
  if (current_.rowid == 0) return SetError(NoError);
  sqlite3_stmt* version = Statement(kVersion);
  if (version == nullptr) return LastErrorCode();
  StatementReset reset(version);
  sqlite3_bind_int64(version, 1, current_.rowid);
  const int rc = sqlite3_step(version);
  if (rc == SQLITE_ROW) {
    current_.version = sqlite3_column_int64(version, 0);
  } else if (rc == SQLITE_DONE) {
    current_.rowid = 0;
  } else {
    return SqliteError(db_.get(), rc);
  }
  return SetError(NoError);
}

}  // namespace runtime
