// The KEYED driver: records in an SQLite database named diskName + ".db",
// one station per KeyedFile object. See KeyedSchema.h for the tables and
// KeyedStation.h for how stations share the file.
//
// The database runs in WAL mode with synchronous=NORMAL: a committed change
// is in the write-ahead log before the call returns, so it survives a crash
// of the program (SIGKILL included); a power loss may lose the last
// transactions but never leaves a half-written record.
//
// Reading: the driver remembers the last record read (its key values and
// record number) and reads on from there with one indexed lookup, so
// deleting the record just read, or changing the order, never disturbs a
// sequential read. Rows are read ahead in small batches; any write through
// this station, any repositioning and Hold drop the batch.
//
// Current record: the last one read or added. Put and Delete without one
// answer RecordNotFound. Used under the runtime lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedCursor.h"
#include "runtime/files/drivers/KeyedDiskFile.h"
#include "runtime/files/drivers/KeyedSchema.h"
#include "runtime/files/drivers/KeyedSqlite.h"
#include "runtime/files/drivers/KeyedStation.h"

namespace runtime {

class KeyedFile final : public DataFile {
 public:
  KeyedFile(RecordLayout layout, std::string diskName);
  ~KeyedFile() override;

  // Opening: FileNotFound for a missing file, PathNotFound for a missing
  // directory, AccessDenied for a sharing conflict or write access to a
  // read-only file or directory, LayoutMismatch for a database that is not a
  // keyed file of this layout, KeysInvalid when its keys differ from the
  // declared ones, DriverFailure for a damaged file. A file that is not
  // valid is never written to.
  std::int32_t Open(std::uint8_t mode) override;
  // Atomic: see KeyedDiskFile::Create.
  std::int32_t Create() override;
  std::int32_t Close() override;
  // Drops and recreates the indexes and stores the declared keys.
  std::int32_t BuildKeys() override;
  // Requires the file closed here and by every other station (else
  // AccessDenied); refuses a file that is not a keyed file.
  std::int32_t Remove() override;

  std::int32_t SetOrder(std::size_t key) override;
  std::int32_t SetOrderAtBuffer(std::size_t key) override;
  std::int32_t SetOrderAtPosition(std::size_t key, std::string_view position) override;

  std::int32_t Next() override;
  std::int32_t Previous() override;
  std::int32_t Get(std::size_t key) override;
  std::int32_t GetAt(std::string_view position) override;
  std::int32_t Reget(std::string_view position) override;

  std::int32_t Hold() override;
  std::int32_t Release() override;
  std::int32_t Watch() override;

  std::int32_t Add() override;
  // Writes only while the stored record still has the version read
  // (ChangedByOther otherwise, RecordNotFound when it was deleted). Memos
  // not read (SkipMemosOnNextRead) and left empty keep their stored text.
  std::int32_t Put() override;
  std::int32_t Delete() override;
  bool Duplicate(std::size_t key) override;

  std::int64_t Records() override;
  // Records() times the record length; FileNotOpen while closed.
  std::int64_t Bytes() override;
  // Record number (8 bytes) followed by the stored bytes of key's components.
  std::string Position(std::size_t key) override;

  std::int32_t BeginTransaction(int lockWaitSeconds) override;
  std::int32_t Commit() override;
  std::int32_t Rollback() override;
  bool SupportsTransactions() const override { return true; }

 private:
  std::string DbPath() const { return DiskName() + ".db"; }
  std::string LockPath() const { return DiskName() + ".lck"; }
  KeyedDiskFile Disk() const { return KeyedDiskFile(DbPath()); }

  // The database file exists, may be opened so and is one SQLite may open.
  [[nodiscard]] std::int32_t CheckDiskFile(bool forWrite);
  // Opens and validates the database into db_. KeysInvalid leaves db_ open
  // when keepOnKeysInvalid (for BuildKeys).
  [[nodiscard]] std::int32_t Connect(bool writable, bool keepOnKeysInvalid);
  [[nodiscard]] std::int32_t Validate();
  // SQLite's own check of the pages, through the write-ahead log.
  [[nodiscard]] std::int32_t QuickCheck();
  [[nodiscard]] std::int32_t RebuildKeys();
  void Disconnect();

  sqlite3_stmt* Statement(std::size_t slot);
  std::string StatementSql(std::size_t slot) const;

  [[nodiscard]] std::int32_t Read(ScanDirection direction);
  [[nodiscard]] std::int32_t Fill(ScanDirection direction, RowColumns columns);
  // Appends the rows of statement slot to the batch, up to limit in all.
  [[nodiscard]] std::int32_t FillFrom(std::size_t slot, bool bindKey, std::int64_t rowid, std::size_t limit);
  [[nodiscard]] std::int32_t ReadSingle(sqlite3_stmt* statement, bool memos);
  [[nodiscard]] std::int32_t Deliver(std::int64_t rowid, std::int64_t version, const std::uint8_t* record,
                                     const std::string* memos, bool skipMemos);
  [[nodiscard]] std::int32_t ReadByRowid(std::string_view position);
  // DriverFailure for a stored value of field that the layout cannot hold.
  [[nodiscard]] std::int32_t DamagedRecord(std::int64_t rowid, std::size_t field);
  [[nodiscard]] std::int32_t CheckWritable() const;
  // BadParameter for a real key value that is not a number: SQLite would
  // store NULL, which key order cannot place.
  [[nodiscard]] std::int32_t CheckKeyValues() const;
  // Runs write (WriteCurrent or DeleteCurrent) on the current record under
  // the file's write lock, unless another station holds the record.
  [[nodiscard]] std::int32_t UnderWriteLock(std::int32_t (KeyedFile::*write)());
  [[nodiscard]] std::int32_t WriteCurrent();
  [[nodiscard]] std::int32_t DeleteCurrent();
  // Takes the current record's version from the file again (after a
  // rollback); forgets the record when it is gone.
  [[nodiscard]] std::int32_t RefreshCurrentVersion();
  void ResetState();

  KeyedSchema schema_;
  // Valid while open.
  SqliteConnection db_;
  std::unique_ptr<KeyedStation> station_;
  std::vector<SqliteStatement> statements_;  // by slot, prepared on first use
  KeyedCursor cursor_;
  KeyedCurrent current_;
  bool inTransaction_ = false;
  bool shorterThanHeader_ = false;  // found by the last CheckDiskFile
};

}  // namespace runtime
