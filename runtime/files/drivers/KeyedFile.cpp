#include "runtime/files/drivers/KeyedFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "runtime/files/drivers/Drivers.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
constexpr int kBusyTimeoutMs = 5000;    // ordinary writes wait this long for another station
constexpr std::size_t kFirstBatch = 8;  // after a repositioning, which often reads one row
constexpr std::size_t kBatch = 64;
constexpr std::size_t kQuickScanBatch = 512;
constexpr std::size_t kPositionRowid = sizeof(std::int64_t);

// Statement slots: fixed ones first, then kPerKey per order (0 = record order).
enum FixedSlot : std::size_t { kInsert, kUpdate, kDelete, kVersion, kByRowid, kByRowidNoMemos, kCount, kFixedSlots };
enum KeySlot : std::size_t { kFirst = 0, kAfter = 4, kGroup = 8, kEqual = 12, kDuplicate = 14, kPerKey = 15 };

std::size_t ScanSlot(std::size_t base, std::size_t key, ScanDirection direction, bool memos) {
  return kFixedSlots + key * kPerKey + base + (direction == ScanDirection::Backward ? 2 : 0) + (memos ? 1 : 0);
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::int32_t ErrnoError(int error, const std::string& what) {
  std::int32_t code = DriverFailure;
  if (error == EACCES || error == EPERM || error == EROFS || error == EEXIST) code = AccessDenied;
  if (error == ENOENT || error == ENOTDIR) code = PathNotFound;
  return SetError(code, std::to_string(error), what + ": " + std::strerror(error));
}

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

// "file:" URI of a path, for opening a database that nobody can change.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      uri += hex;
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

std::uint32_t BigEndian32(const unsigned char* at) {
  return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}
}  // namespace

std::unique_ptr<DataFile> MakeKeyedFile(RecordLayout layout, std::string diskName) {
  return std::make_unique<KeyedFile>(std::move(layout), std::move(diskName));
}

KeyedFile::KeyedFile(RecordLayout layout, std::string diskName)
    : DataFile(Driver::Keyed, std::move(layout), std::move(diskName)), schema_(Layout()) {}

KeyedFile::~KeyedFile() { Disconnect(); }

// --- Opening and closing ------------------------------------------------------

std::int32_t KeyedFile::CheckExisting(bool forWrite) const {
  const std::string path = DbPath();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT) {
      struct stat dir {};
      if (::stat(DirectoryOf(path).c_str(), &dir) == 0 && S_ISDIR(dir.st_mode)) return SetError(FileNotFound);
      return SetError(PathNotFound);
    }
    return ErrnoError(error, path);
  }
  if (!S_ISREG(info.st_mode)) return SetError(AccessDenied, "", path + " is not a regular file");
  // Write access needs the file and its directory (for the write-ahead log).
  if (forWrite && (::access(path.c_str(), W_OK) != 0 || ::access(DirectoryOf(path).c_str(), W_OK) != 0)) {
    return ErrnoError(errno, path);
  }
  return SetError(NoError);
}

// Reads the database header before SQLite touches the file: SQLite would take
// an empty file for a new database, and would roll back a hot journal of a
// foreign one. Our files are always in WAL mode.
std::int32_t KeyedFile::CheckHeader() const {
  const std::string path = DbPath();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoError(errno, path);
  unsigned char header[100];
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  struct stat info {};
  const bool statted = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0) {
    return SetError(DriverFailure, std::to_string(SQLITE_NOTADB), "file is not a database");
  }
  if (header[18] != 2 || header[19] != 2) {
    return SetError(LayoutMismatch, "", "not a keyed data file (the database is not in WAL mode)");
  }
  // A truncated file: the header's page count is trusted only while its
  // change counter matches the version-valid-for number.
  const std::uint32_t pageSize = header[16] == 0 && header[17] == 1 ? 65536u : (header[16] << 8u) | header[17];
  const std::uint32_t pages = BigEndian32(header + 28);
  if (statted && pages != 0 && BigEndian32(header + 24) == BigEndian32(header + 92) &&
      static_cast<std::uint64_t>(info.st_size) < std::uint64_t{pages} * pageSize) {
    return SetError(DriverFailure, std::to_string(SQLITE_CORRUPT), "database file is truncated");
  }
  return SetError(NoError);
}

std::int32_t KeyedFile::Connect(bool writable, bool keepOnKeysInvalid) {
  const std::string path = DbPath();
  std::string name = path;
  int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE | (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
  // In a read-only directory a WAL database without its -wal and -shm files
  // cannot be read normally; nobody can change it there, so it is immutable.
  if (!writable && ::access(DirectoryOf(path).c_str(), W_OK) != 0 && !Exists(path + "-wal")) {
    name = ImmutableUri(path);
    flags |= SQLITE_OPEN_URI;
  }
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  SqliteConnection db(raw);
  if (rc != SQLITE_OK) return SqliteError(db.get(), rc);
  sqlite3_extended_result_codes(db.get(), 1);
  // Until the file is known to be ours, closing must not checkpoint a
  // foreign write-ahead log into it.
  sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  SetBusyWait(db.get(), kBusyTimeoutMs);
  db_ = std::move(db);
  const std::int32_t valid = Validate();
  if (valid != NoError && !(valid == KeysInvalid && keepOnKeysInvalid)) {
    db_.reset();
    return SetError(valid, LastError().driverCode, LastError().driverText);
  }
  if (writable) sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  if (SqliteExec(db_.get(), "PRAGMA synchronous=NORMAL") != NoError) {
    db_.reset();
    return LastErrorCode();
  }
  return SetError(valid);
}

std::int32_t KeyedFile::Validate() {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db_.get(), "SELECT name, value FROM keyed_meta", -1, &raw, nullptr);
  SqliteStatement meta(raw);
  if (rc == SQLITE_ERROR) return SetError(LayoutMismatch, std::to_string(rc), sqlite3_errmsg(db_.get()));
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  std::string format, layout, keys;
  while ((rc = sqlite3_step(meta.get())) == SQLITE_ROW) {
    const std::string_view name = reinterpret_cast<const char*>(sqlite3_column_text(meta.get(), 0));
    std::string value(reinterpret_cast<const char*>(sqlite3_column_text(meta.get(), 1)),
                      static_cast<std::size_t>(sqlite3_column_bytes(meta.get(), 1)));
    if (name == "format") format = std::move(value);
    if (name == "layout") layout = std::move(value);
    if (name == "keys") keys = std::move(value);
  }
  if (rc != SQLITE_DONE) return SqliteError(db_.get(), rc);
  if (format != KeyedSchema::kFormatMarker) return SetError(LayoutMismatch, "", "not a keyed data file");
  if (layout != schema_.LayoutSignature()) {
    return SetError(LayoutMismatch, "", "the file's fields differ from the declared layout");
  }
  if (keys != schema_.KeysSignature())
    return SetError(KeysInvalid, "", "the file's keys differ from the declared keys");
  rc = sqlite3_prepare_v2(db_.get(), "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'records'", -1,
                          &raw, nullptr);
  SqliteStatement indexes(raw);
  if (rc != SQLITE_OK) return SqliteError(db_.get(), rc);
  std::size_t found = 0;
  while ((rc = sqlite3_step(indexes.get())) == SQLITE_ROW) {
    const std::string_view name = reinterpret_cast<const char*>(sqlite3_column_text(indexes.get(), 0));
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
  if (CheckExisting(writable) != NoError) return LastErrorCode();
  if (CheckHeader() != NoError) return LastErrorCode();
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
  const std::string path = DbPath();
  if (open_ || Exists(path)) return SetError(AccessDenied, "", path + " already exists");
  std::string temporary = path + "-new-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return ErrnoError(errno, path);
  ::close(fd);
  auto discard = [&temporary] {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((temporary + suffix).c_str());
  };
  {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
      SqliteError(db.get(), rc);
      discard();
      return LastErrorCode();
    }
    std::string sql = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; BEGIN; " + schema_.CreateTablesSql();
    for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) sql += schema_.CreateIndexSql(k) + ";";
    sql += "INSERT INTO keyed_meta VALUES('format', '" + std::string(KeyedSchema::kFormatMarker) + "');COMMIT;";
    sqlite3_stmt* raw_insert = nullptr;
    std::int32_t code = SqliteExec(db.get(), sql.c_str());
    if (code == NoError) {
      // Signatures hold labels, so they are bound rather than spliced in.
      int step = sqlite3_prepare_v2(db.get(), "INSERT INTO keyed_meta VALUES('layout', ?1), ('keys', ?2)", -1,
                                    &raw_insert, nullptr);
      SqliteStatement insert(raw_insert);
      const std::string layout = schema_.LayoutSignature(), keys = schema_.KeysSignature();
      if (step == SQLITE_OK) {
        sqlite3_bind_text(insert.get(), 1, layout.data(), static_cast<int>(layout.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert.get(), 2, keys.data(), static_cast<int>(keys.size()), SQLITE_STATIC);
        step = sqlite3_step(insert.get());
      }
      if (step != SQLITE_DONE && step != SQLITE_OK) code = SqliteError(db.get(), step);
    }
    if (code != NoError) {
      const RuntimeError error = LastError();
      db.reset();
      discard();
      return SetError(error.code, error.driverCode, error.driverText);
    }
    // Closing checkpoints the log into the file and removes it.
    const int closed = sqlite3_close(db.release());
    if (closed != SQLITE_OK) {
      discard();
      return SqliteError(nullptr, closed);
    }
  }
  const int sync = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (sync >= 0) {
    (void)::fsync(sync);
    ::close(sync);
  }
  // Into place without replacing a file another station created meanwhile.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
      discard();
      return ErrnoError(error, path);
    }
    const int linked = ::link(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
    discard();
    if (linked != 0) return ErrnoError(linked, path);
  }
  const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return SetError(NoError);
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
  cursor_ = Cursor{};
  cursor_.record.assign(Layout().RecordSize(), ' ');
  current_ = Current{};
  current_.record.assign(Layout().RecordSize(), ' ');
  Reposition();
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
      sql += reinterpret_cast<const char*>(sqlite3_column_text(indexes.get(), 0));
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
    Reposition();
    return RebuildKeys();
  }
  if (CheckExisting(true) != NoError || CheckHeader() != NoError) return LastErrorCode();
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
  if (CheckExisting(true) != NoError || CheckHeader() != NoError) return LastErrorCode();
  std::unique_ptr<KeyedStation> station;
  if (KeyedStation::Join(LockPath(), AccessReadWrite | ShareDenyAll, 0, station) != NoError) return LastErrorCode();
  if (station->OthersPresent()) return SetError(AccessDenied, "", "another station has the file open");
  station_ = std::move(station);
  // Only a keyed file (even one whose keys need rebuilding) is removed.
  const std::int32_t code = Connect(false, true);
  const RuntimeError error = LastError();
  Disconnect();
  if (code != NoError && code != KeysInvalid) return SetError(code, error.driverCode, error.driverText);
  const std::string path = DbPath();
  if (::unlink(path.c_str()) != 0) return ErrnoError(errno, path);
  for (const char* suffix : {"-wal", "-shm"}) ::unlink((path + suffix).c_str());
  ::unlink(LockPath().c_str());
  return SetError(NoError);
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
  const bool memos = kind % 2 == 1;
  const ScanDirection direction = (kind % 4) >= 2 ? ScanDirection::Backward : ScanDirection::Forward;
  if (kind < kAfter) return schema_.FirstSql(key, direction, memos);
  if (kind < kGroup) return schema_.AfterSql(key, direction, memos);
  if (kind < kEqual) return schema_.GroupSql(key, direction, memos);
  if (kind < kDuplicate) return schema_.EqualSql(key, memos);
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
  cursor_.atEnds = true;
  Reposition();
  return SetError(NoError);
}

std::int32_t KeyedFile::SetOrderAtBuffer(std::size_t key) {
  if (key == 0) return SetOrder(0);
  if (SetOrder(key) != NoError) return LastErrorCode();
  std::memcpy(cursor_.record.data(), Record().Data(), cursor_.record.size());
  cursor_.atEnds = false;
  // Next: the first key >= the values; Previous: the last key <= them.
  cursor_.forward = std::numeric_limits<std::int64_t>::min();
  cursor_.backward = std::numeric_limits<std::int64_t>::max();
  return SetError(NoError);
}

std::int32_t KeyedFile::SetOrderAtPosition(std::size_t key, std::string_view position) {
  if (!open_) return SetError(FileNotOpen);
  if (key > Layout().KeyCount() || position.size() < kPositionRowid) return SetError(BadParameter);
  const std::int64_t rowid = DecodeRowid(position);
  const std::size_t keyBytes = key == 0 ? 0 : schema_.KeyBytes(key);
  if (position.size() == kPositionRowid + keyBytes) {
    if (key != 0) schema_.RestoreKey(key, position.data() + kPositionRowid, cursor_.record.data());
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
    schema_.StoreFields(statement, 2, cursor_.record.data());
  } else {
    return SetError(BadParameter);
  }
  order_ = key;
  Reposition();
  cursor_.atEnds = false;
  cursor_.forward = rowid - 1;  // Next reads the record itself when it is there
  cursor_.backward = rowid;
  return SetError(NoError);
}

void KeyedFile::MoveCursorTo(const std::uint8_t* record, std::int64_t rowid) {
  std::memcpy(cursor_.record.data(), record, cursor_.record.size());
  cursor_.atEnds = false;
  cursor_.forward = cursor_.backward = rowid;
}

// --- Reading ----------------------------------------------------------------------

std::int32_t KeyedFile::Next() { return Read(ScanDirection::Forward); }
std::int32_t KeyedFile::Previous() { return Read(ScanDirection::Backward); }

std::int32_t KeyedFile::Read(ScanDirection direction) {
  const bool skipMemos = TakeSkipMemos();
  if (!open_) return SetError(FileNotOpen);
  const bool usable = batch_.next < batch_.count && batch_.direction == direction && (batch_.memos || skipMemos);
  if (!usable) {
    if (Fill(direction, !skipMemos) != NoError) return LastErrorCode();
    if (batch_.count == 0) {
      // At the end: going back reads the last record (and at the start,
      // going on reads the first) again.
      if (!cursor_.atEnds) {
        if (direction == ScanDirection::Forward) {
          cursor_.backward = cursor_.forward + 1;
        } else {
          cursor_.forward = cursor_.backward - 1;
        }
      }
      return SetError(NoRecord);
    }
  }
  const std::size_t row = batch_.next++;
  const std::size_t memoCount = Layout().MemoCount();
  return Deliver(batch_.rowids[row], batch_.versions[row], batch_.records.data() + row * Layout().RecordSize(),
                 batch_.memos ? batch_.memoTexts.data() + row * memoCount : nullptr, skipMemos);
}

// Reads ahead from the cursor. In key order that is the rest of the group
// of records with the cursor's key values (by record number), then the
// records with later keys: two index ranges that SQLite starts exactly.
std::int32_t KeyedFile::Fill(ScanDirection direction, bool memos) {
  const std::size_t limit = !memos ? 1 : fills_ == 0 ? kFirstBatch : quickScan_ ? kQuickScanBatch : kBatch;
  const std::size_t recordSize = Layout().RecordSize();
  const std::size_t memoCount = Layout().MemoCount();
  if (batch_.rowids.size() < limit) {
    batch_.rowids.resize(limit);
    batch_.versions.resize(limit);
    batch_.records.resize(limit * recordSize);
    batch_.memoTexts.resize(limit * memoCount);
  }
  batch_.direction = direction;
  batch_.memos = memos;
  batch_.count = batch_.next = 0;
  ++fills_;
  const std::int64_t bound = direction == ScanDirection::Forward ? cursor_.forward : cursor_.backward;
  if (cursor_.atEnds) return FillFrom(ScanSlot(kFirst, order_, direction, memos), false, bound, limit);
  if (order_ == 0) return FillFrom(ScanSlot(kAfter, 0, direction, memos), false, bound, limit);
  if (FillFrom(ScanSlot(kGroup, order_, direction, memos), true, bound, limit) != NoError) return LastErrorCode();
  if (batch_.count == limit) return SetError(NoError);
  return FillFrom(ScanSlot(kAfter, order_, direction, memos), true, 0, limit);
}

std::int32_t KeyedFile::FillFrom(std::size_t slot, bool bindKey, std::int64_t rowid, std::size_t limit) {
  sqlite3_stmt* statement = Statement(slot);
  if (statement == nullptr) return LastErrorCode();
  StatementReset reset(statement);
  int parameter = 1;
  if (bindKey) parameter = schema_.BindKey(statement, 1, order_, cursor_.record.data());
  const std::size_t kind = (slot - kFixedSlots) % kPerKey;
  if (kind >= kGroup || (order_ == 0 && kind >= kAfter)) sqlite3_bind_int64(statement, parameter++, rowid);
  sqlite3_bind_int64(statement, parameter, static_cast<std::int64_t>(limit - batch_.count));

  const std::size_t recordSize = Layout().RecordSize();
  const std::size_t memoCount = Layout().MemoCount();
  const int firstMemo = 2 + static_cast<int>(Layout().FieldCount());
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    const std::size_t row = batch_.count;
    batch_.rowids[row] = sqlite3_column_int64(statement, 0);
    batch_.versions[row] = sqlite3_column_int64(statement, 1);
    schema_.StoreFields(statement, 2, batch_.records.data() + row * recordSize);
    if (batch_.memos) {
      for (std::size_t m = 0; m < memoCount; ++m) {
        const int column = firstMemo + static_cast<int>(m);
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        batch_.memoTexts[row * memoCount + m].assign(text != nullptr ? text : "",
                                                     static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      }
    }
    ++batch_.count;
  }
  if (rc != SQLITE_DONE) {
    batch_.count = 0;
    return SqliteError(db_.get(), rc);
  }
  return SetError(NoError);
}

// Makes the row the current record, unless another station holds it: then
// the read position still moves onto it (so the next read goes past it) and
// the buffer is left alone.
std::int32_t KeyedFile::Deliver(std::int64_t rowid, std::int64_t version, const std::uint8_t* record,
                                const std::string* memos, bool skipMemos) {
  MoveCursorTo(record, rowid);
  if (station_->HeldByOther(rowid)) return SetError(RecordHeld);
  RecordBuffer& buffer = Record();
  std::memcpy(buffer.Data(), record, buffer.Size());
  std::memcpy(current_.record.data(), record, current_.record.size());
  const bool withMemos = memos != nullptr && !skipMemos;
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) {
    if (withMemos) {
      buffer.SetMemo(m, memos[m - 1]);
    } else if (!buffer.Memo(m).empty()) {
      buffer.SetMemo(m, {});
    }
  }
  current_.rowid = rowid;
  current_.version = version;
  current_.memosRead = withMemos;
  held_ = station_->HoldsRecord(rowid);
  return SetError(NoError);
}

std::int32_t KeyedFile::ReadSingle(sqlite3_stmt* statement, bool memos) {
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return SetError(RecordNotFound);
  if (rc != SQLITE_ROW) return SqliteError(db_.get(), rc);
  // The row goes through the batch storage (slot 0), which is dropped anyway.
  Reposition();
  const std::size_t memoCount = Layout().MemoCount();
  if (batch_.rowids.empty()) {
    batch_.rowids.resize(1);
    batch_.versions.resize(1);
    batch_.records.resize(Layout().RecordSize());
    batch_.memoTexts.resize(memoCount);
  }
  schema_.StoreFields(statement, 2, batch_.records.data());
  if (memos) {
    const int first = 2 + static_cast<int>(Layout().FieldCount());
    for (std::size_t m = 0; m < memoCount; ++m) {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, first + static_cast<int>(m)));
      batch_.memoTexts[m].assign(text != nullptr ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(
                                                                  statement, first + static_cast<int>(m))));
    }
  }
  return Deliver(sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1), batch_.records.data(),
                 memos ? batch_.memoTexts.data() : nullptr, !memos);
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
  return ReadSingle(statement, !skipMemos);
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
  Reposition();
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

std::int32_t KeyedFile::Add() {
  if (CheckWritable() != NoError) return LastErrorCode();
  sqlite3_stmt* statement = Statement(kInsert);
  if (statement == nullptr) return LastErrorCode();
  Reposition();
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
  MoveCursorTo(buffer.Data(), rowid);
  held_ = false;
  return SetError(NoError);
}

std::int32_t KeyedFile::Put() {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (current_.rowid == 0) return SetError(RecordNotFound);
  if (station_->HeldByOther(current_.rowid)) return SetError(RecordHeld);
  sqlite3_stmt* statement = Statement(kUpdate);
  if (statement == nullptr) return LastErrorCode();
  Reposition();
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

std::int32_t KeyedFile::Delete() {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (current_.rowid == 0) return SetError(RecordNotFound);
  if (station_->HeldByOther(current_.rowid)) return SetError(RecordHeld);
  sqlite3_stmt* statement = Statement(kDelete);
  if (statement == nullptr) return LastErrorCode();
  // The read position stays on the deleted record's values, so the next
  // read goes on with the record that followed it.
  Reposition();
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

std::int64_t KeyedFile::Bytes() {
  if (open_) {
    // Pages of the database, including changes still in the write-ahead log.
    sqlite3_int64 pages = 0, pageSize = 0;
    for (auto [pragma, out] : {std::pair{"PRAGMA page_count", &pages}, std::pair{"PRAGMA page_size", &pageSize}}) {
      sqlite3_stmt* raw = nullptr;
      if (sqlite3_prepare_v2(db_.get(), pragma, -1, &raw, nullptr) != SQLITE_OK) continue;
      SqliteStatement statement(raw);
      if (sqlite3_step(statement.get()) == SQLITE_ROW) *out = sqlite3_column_int64(statement.get(), 0);
    }
    SetError(NoError);
    return pages * pageSize;
  }
  struct stat info {};
  if (::stat(DbPath().c_str(), &info) != 0) {
    ErrnoError(errno, DbPath());
    return 0;
  }
  SetError(NoError);
  return info.st_size;
}

std::string KeyedFile::Position(std::size_t key) {
  if (!open_ || current_.rowid == 0 || key > Layout().KeyCount()) return {};
  std::string position = EncodeRowid(current_.rowid);
  if (key != 0) schema_.CopyKey(key, current_.record.data(), position);
  return position;
}

// --- Transactions -------------------------------------------------------------------

std::int32_t KeyedFile::BeginTransaction(int lockWaitSeconds) {
  if (CheckWritable() != NoError) return LastErrorCode();
  if (inTransaction_) return SetError(BadParameter, "", "a transaction is already active");
  Reposition();
  SetBusyWait(db_.get(), std::max(lockWaitSeconds, 0) * 1000);
  const std::int32_t code = SqliteExec(db_.get(), "BEGIN IMMEDIATE");
  SetBusyWait(db_.get(), kBusyTimeoutMs);
  if (code == NoError) inTransaction_ = true;
  return code;
}

std::int32_t KeyedFile::Commit() {
  if (!open_) return SetError(FileNotOpen);
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  Reposition();
  if (SqliteExec(db_.get(), "COMMIT") != NoError) return LastErrorCode();
  inTransaction_ = false;
  return SetError(NoError);
}

std::int32_t KeyedFile::Rollback() {
  if (!open_) return SetError(FileNotOpen);
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  Reposition();
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
