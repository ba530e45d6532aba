// The KEYED driver over a PostgreSQL server: the same records, keys, holds
// and transactions as KeyedFile, kept in tables every machine reaches. One
// connection per station (per KeyedServerFile object).
//
// Tables: `marlinden_meta` (the layout version of these tables; a database
// of another version is refused), `marlinden_files` (one row per keyed file:
// its name, number, layout and key signatures) and one table `k_<name>` per
// file, <name> being the disk name's last part in lower case. Its columns
// follow KeyedSchema: id (an identity, never given twice), version, f1..fN,
// m1..mM; texts compare byte-wise (collation "C"), a case-insensitive key
// orders lower(text), which folds ASCII letters only, as the local file.
//
// Stations meet in the server's advisory locks, which end with the
// connection that took them: a held record is an exclusive session lock on
// (file number, record); open modes are shared locks on markers; a
// transaction takes the file's transaction lock, so transactions of one
// file follow one another as on the local file. Reads carry, per row,
// whether another connection holds it, so a batch read ahead costs one
// round trip. A lost connection fails the operation with a clear message;
// the next one connects again (a transaction under way is lost: every
// operation fails until it is committed or rolled back, so nothing of it is
// written outside it).
//
// During a quick scan ("QUICKSCAN=on") inside a transaction, plain adds are
// queued rather than run: they go to the server ahead of the next statement,
// in its round trip, and at the latest with the commit. Such an add leaves
// no current record. One that fails (a UNIQUE key taken, say) fails the
// commit, which rolls the transaction back, and "QUICKSCAN=off" tells it.
// Used under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/files/drivers/KeyedCursor.h"
#include "runtime/files/drivers/KeyedSchema.h"
#include "runtime/files/drivers/PgConnection.h"

namespace runtime {

class KeyedServerFile final : public DataFile {
 public:
  KeyedServerFile(RecordLayout layout, std::string diskName, std::string connection);
  ~KeyedServerFile() override;

  // The layout version of the server's tables this driver reads.
  static constexpr const char* kTablesVersion = "1";

  std::int32_t Open(std::uint8_t mode) override;
  std::int32_t Create() override;
  std::int32_t Close() override;
  std::int32_t BuildKeys() override;
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
  // One statement: the number is the highest in its group plus one, taken
  // as the row is inserted.
  bool NumbersOnAdd() override { return true; }
  std::int32_t AddNumbered(std::size_t key, std::size_t component) override;
  // Numbers from one above the highest stored, in the rows' order, less
  // the rows a stored record's unique key keeps out.
  std::int32_t AddNumberedRows(std::size_t key, std::vector<RecordBuffer>& rows,
                               std::vector<NumberedRow>& added) override;
  std::vector<std::int64_t> UpcomingValues(std::size_t field, bool forward, std::size_t limit) override;
  std::int32_t ReadAheadKeys(std::size_t key, const std::vector<std::int64_t>& values) override;
  std::int32_t Put() override;
  std::int32_t Delete() override;
  bool Duplicate(std::size_t key) override;

  std::int64_t Records() override;
  std::int64_t Bytes() override;
  std::string Position(std::size_t key) override;

  std::int32_t BeginTransaction(int lockWaitSeconds) override;
  std::int32_t Commit() override;
  std::int32_t Rollback() override;
  bool SupportsTransactions() const override { return true; }

  // The file's name on the server (its table is "k_" + name).
  std::string ServerName() const;

 protected:
  // Off: sends the queued adds; whether they were all stored.
  std::int32_t QuickScanChanged() override;

 private:
  // What the catalogue says of this file.
  struct Entry {
    bool found = false;
    std::int32_t number = 0;
    std::string layout;
    std::string keys;
  };

  std::string Table() const { return "\"k_" + ServerName() + "\""; }
  std::string IndexName(std::size_t key) const { return "k_" + ServerName() + "_key" + std::to_string(key); }

  // --- Connection and catalogue ---------------------------------------------
  // Connects (when not connected) and checks the tables' version, making
  // the catalogue in an empty database.
  [[nodiscard]] std::int32_t Connect();
  [[nodiscard]] std::int32_t CheckCatalogue();
  [[nodiscard]] std::int32_t FindEntry(Entry& entry);
  // Connected, at the file and with this station's markers again after a
  // lost connection; fails while a lost transaction is not ended.
  [[nodiscard]] std::int32_t Reach();
  [[nodiscard]] std::int32_t LostTransaction();
  // Connects and finds the file for an operation on the closed file.
  [[nodiscard]] std::int32_t ReachClosed(Entry& entry);
  void Disconnect();
  [[nodiscard]] std::int32_t JoinStations(std::uint8_t mode, int waitSeconds);
  // Markers another connection has on this file.
  [[nodiscard]] std::int32_t OthersMarkers(std::vector<int>& markers);
  [[nodiscard]] std::int32_t RebuildKeys();
  // Runs sql statements in one transaction, rolled back on failure.
  [[nodiscard]] std::int32_t InTransaction(const std::string& sql);
  void RollbackQuietly();

  // --- SQL ------------------------------------------------------------------
  std::string CreateSql() const;
  std::string CreateIndexSql(std::size_t key) const;
  std::string HeldSql() const;
  std::string SelectList(RowColumns columns, std::size_t key) const;
  // The component's column as its index orders it, of the row named by
  // prefix ("s." say) when not empty.
  std::string Column(const KeyDesc& key, const KeyComponentDesc& component, std::string_view prefix = {}) const;
  std::string Parameter(const KeyDesc& key, const KeyComponentDesc& component, std::size_t number) const;
  std::string OrderBy(std::size_t key, ScanDirection direction) const;
  std::string AfterCondition(std::size_t key, ScanDirection direction) const;
  std::string EqualCondition(std::size_t key) const;
  std::string NumberedInsertSql(std::size_t key, std::size_t component) const;
  std::string NumberedRowsSql(std::size_t key) const;
  // The statements by slot: fixed ones, per key, the numbered inserts per
  // (key, component), then the numbered row inserts per key.
  std::size_t NumberedSlot(std::size_t key, std::size_t component) const;
  std::size_t NumberedRowsSlot(std::size_t key) const;
  std::size_t SlotCount() const;
  // The most components a key of the layout has (at least 1).
  std::size_t MostComponents() const;
  std::string StatementSql(std::size_t slot) const;
  // The name of slot's statement, prepared on the connection (empty and
  // the error set when it cannot be).
  std::string PreparedSlot(std::size_t slot);
  PgResult RunSlot(std::size_t slot, const PgParams& params);

  // --- Values ---------------------------------------------------------------
  [[nodiscard]] std::int32_t BindField(PgParams& params, const FieldDesc& field, const std::uint8_t* record) const;
  // Every field but skipped (0: none), then, with memos, the buffer's memos.
  [[nodiscard]] std::int32_t BindFields(PgParams& params, const std::uint8_t* record, std::size_t skipped = 0) const;
  void BindMemos(PgParams& params, const RecordBuffer& record) const;
  [[nodiscard]] std::int32_t BindKey(PgParams& params, std::size_t key, const std::uint8_t* record) const;
  // 0, or the first field whose stored value the layout cannot hold.
  std::size_t StoreFields(const PGresult* result, int row, int first, std::uint8_t* record) const;

  // --- Reading --------------------------------------------------------------
  [[nodiscard]] std::int32_t Read(ScanDirection direction);
  [[nodiscard]] std::int32_t Fill(ScanDirection direction, RowColumns columns);
  // Row row of result (fields and, with memos, memos) becomes the current
  // record; RecordNotFound past its rows.
  [[nodiscard]] std::int32_t ReadSingle(const PGresult* result, int row, bool memos);
  // Serves a Get by key from the records read ahead by key; false when the
  // buffer's value was not among them.
  bool GetReadAhead(std::size_t key, bool skipMemos, std::int32_t& code);
  void DropReadAhead();
  [[nodiscard]] std::int32_t Deliver(std::int64_t rowid, std::int64_t version, bool heldByOther,
                                     const std::uint8_t* record, const std::string* memos, bool skipMemos);
  [[nodiscard]] std::int32_t ReadByRowid(std::string_view position);
  [[nodiscard]] std::int32_t DamagedRecord(std::int64_t rowid, std::size_t field);

  // --- Writing --------------------------------------------------------------
  [[nodiscard]] std::int32_t CheckWritable();
  // The buffer, added as the insert's result tells (its id, and the number
  // into field numberField when not 0), becomes the current record.
  [[nodiscard]] std::int32_t Added(const PGresult* result, std::size_t numberField);
  [[nodiscard]] std::int32_t CheckKeyValues() const;
  [[nodiscard]] std::int32_t WriteCurrent();
  [[nodiscard]] std::int32_t DeleteCurrent();
  // Why a put or delete of the current record wrote nothing.
  [[nodiscard]] std::int32_t NothingWritten();
  [[nodiscard]] std::int32_t RefreshCurrentVersion();
  bool HoldsRecord(std::int64_t rowid) const;
  void ResetState();

  const std::string connection_;
  KeyedSchema schema_;
  PgConnection db_;
  std::int32_t number_ = 0;  // the file's number in the catalogue, while reached
  std::vector<bool> prepared_;
  std::vector<std::int64_t> holds_;  // records this station holds
  KeyedCursor cursor_;
  KeyedCurrent current_;
  bool inTransaction_ = false;
  bool transactionLost_ = false;
  // Records read ahead by key readAheadKey_ (ReadAheadKeys): the result,
  // and the row of each value not served yet.
  std::size_t readAheadKey_ = 0;
  PgResult readAhead_;
  std::unordered_map<std::int64_t, int> readAheadRows_;
};

}  // namespace runtime
