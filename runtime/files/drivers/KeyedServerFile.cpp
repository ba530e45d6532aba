#include "runtime/files/drivers/KeyedServerFile.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/Wait.h"
#include "runtime/text/FixedText.h"

namespace runtime {

namespace {
// A round trip costs more than a few rows over the network: a browse page
// comes in the first batch of 48, and a read that goes on grows to 2,048
// rows a round trip (4,096 in a quick scan), where the rows' own cost, not
// the round trips', sets the pace.
constexpr KeyedCursor::Limits kBatches{48, 2048, 4096, 7};
constexpr std::size_t kNameLimit = 40;  // leaves room in PostgreSQL's 63-byte names
constexpr auto kLockPoll = std::chrono::milliseconds(10);

// Advisory lock keys (two 32-bit halves). Records: (number, record);
// markers: (kMarkers | number, marker); the transaction lock and the open
// gate: (kTransaction | number, 0) and (kMarkers | number, 0); the
// catalogue: kCatalogue.
constexpr std::int32_t kMarkers = 0x40000000;
constexpr std::int32_t kTransaction = 0x20000000;
constexpr const char* kCatalogueLock = "SELECT pg_advisory_xact_lock(1296189000)";
enum Marker : int { kPresent = 1, kReading, kWriting, kDeniesRead, kDeniesWrite };

enum FixedSlot : std::size_t {
  kInsert,
  kInsertRows,
  kUpdate,
  kDelete,
  kVersion,
  kByRowid,
  kByRowidNoMemos,
  kCount,
  kFixedSlots
};
enum KeySlot : std::size_t {
  kFirst = 0,
  kAfter = kScanVariants,
  kEqual = 2 * kScanVariants,
  kDuplicate = kEqual + 2,
  kReadAhead,
  kPerKey
};

std::size_t ScanSlot(std::size_t base, std::size_t key, ScanDirection direction, RowColumns columns) {
  return kFixedSlots + key * kPerKey + base + ScanVariant(direction, columns);
}

// The 32-bit half of a record's lock key; records beyond 32 bits share
// keys, so a hold of one may keep off another.
std::int32_t HoldKey(std::int64_t rowid) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>((rowid ^ (rowid >> 32)) & 0xFFFFFFFF));
}
constexpr const char* kHoldKeySql = "((id # (id >> 32)) & 4294967295)";

std::string FieldColumn(std::size_t field) { return "f" + std::to_string(field); }
// The array type a column of the type is sent as, one element per row.
const char* ArrayType(FieldType type) {
  return IsText(type) ? "::text[]" : type == FieldType::Real ? "::double precision[]" : "::bigint[]";
}
std::string MemoColumn(std::size_t memo) { return "m" + std::to_string(memo); }

bool ParseInteger(std::string_view text, std::int64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string RealText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

bool IsTrue(const PGresult* result, int row, int column) { return PgText(result, row, column) == "t"; }
}  // namespace

KeyedServerFile::KeyedServerFile(RecordLayout layout, std::string diskName, std::string connection)
    : DataFile(Driver::Keyed, std::move(layout), std::move(diskName)),
      connection_(std::move(connection)),
      schema_(Layout()),
      cursor_(schema_, kBatches, "order") {}

KeyedServerFile::~KeyedServerFile() { Disconnect(); }

std::string KeyedServerFile::ServerName() const {
  std::string disk = DiskName();
  const std::size_t slash = disk.find_last_of('/');
  if (slash != std::string::npos) disk.erase(0, slash + 1);
  std::string name;
  for (const char c : disk) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    name += ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) ? lower : '_';
    if (name.size() == kNameLimit) break;
  }
  return name;
}

// --- Connection and catalogue ---------------------------------------------------

std::int32_t KeyedServerFile::Connect() {
  if (db_.Connected()) return SetError(NoError);
  prepared_.clear();
  if (db_.Connect(connection_) != NoError) return LastErrorCode();
  if (CheckCatalogue() != NoError) {
    const RuntimeError error = LastError();
    db_.Disconnect();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::CheckCatalogue() {
  const std::string versionSql = "SELECT value FROM marlinden_meta WHERE name = 'layout version'";
  PgResult version = db_.Query(versionSql, {});
  if (!version && LastError().driverCode == "42P01") {
    // An empty database: its first connection makes the tables. Connections
    // meeting here wait for each other on the catalogue lock.
    const std::string create =
        std::string("BEGIN;") + kCatalogueLock +
        ";CREATE TABLE IF NOT EXISTS marlinden_meta(name text PRIMARY KEY, value text NOT NULL);"
        "INSERT INTO marlinden_meta VALUES('layout version', '" +
        kTablesVersion +
        "') ON CONFLICT DO NOTHING;"
        "CREATE TABLE IF NOT EXISTS marlinden_files(name text PRIMARY KEY, number serial UNIQUE, "
        "layout text NOT NULL, keys text NOT NULL);COMMIT";
    if (db_.Exec(create) != NoError) {
      const RuntimeError error = LastError();
      RollbackQuietly();
      return SetError(error.code, error.driverCode, "cannot make the tables on the server: " + error.driverText);
    }
    version = db_.Query(versionSql, {});
  }
  if (!version) return LastErrorCode();
  const std::string found = PQntuples(version.get()) == 1 ? std::string(PgText(version.get(), 0, 0)) : "";
  if (found != kTablesVersion) {
    return SetError(LayoutMismatch, "version",
                    "the database was made by another version of the program (its tables have layout version " +
                        (found.empty() ? std::string("none") : found) + "; this program reads layout version " +
                        kTablesVersion + "): use a database of its own for this version");
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::FindEntry(Entry& entry) {
  PgParams params;
  params.Add(ServerName());
  PgResult result = db_.Query("SELECT number, layout, keys FROM marlinden_files WHERE name = $1", params);
  if (!result) return LastErrorCode();
  entry = Entry{};
  if (PQntuples(result.get()) == 1) {
    entry.found = true;
    std::int64_t number = 0;
    (void)ParseInteger(PgText(result.get(), 0, 0), number);
    entry.number = static_cast<std::int32_t>(number);
    entry.layout = PgText(result.get(), 0, 1);
    entry.keys = PgText(result.get(), 0, 2);
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::LostTransaction() {
  return SetError(DriverFailure, "connection",
                  "the connection to the database server was lost during a transaction, which the server rolled "
                  "back: roll it back here too");
}

std::int32_t KeyedServerFile::Reach() {
  if (db_.Connected()) return transactionLost_ ? LostTransaction() : SetError(NoError);
  // What the lost session held is gone with it.
  holds_.clear();
  held_ = false;
  cursor_.Reposition();
  if (inTransaction_) {
    inTransaction_ = false;
    transactionLost_ = true;
  }
  if (Connect() != NoError) return LastErrorCode();
  Entry entry;
  if (FindEntry(entry) != NoError) return LastErrorCode();
  if (!entry.found) {
    db_.Disconnect();
    return SetError(FileNotFound, "", ServerName() + " is no longer on the server");
  }
  number_ = entry.number;
  if (JoinStations(mode_, 0) != NoError) {
    const RuntimeError error = LastError();
    db_.Disconnect();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  return transactionLost_ ? LostTransaction() : SetError(NoError);
}

std::int32_t KeyedServerFile::ReachClosed(Entry& entry) {
  if (Connect() != NoError) return LastErrorCode();
  if (FindEntry(entry) != NoError) {
    const RuntimeError error = LastError();
    Disconnect();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  if (!entry.found) {
    Disconnect();
    return SetError(FileNotFound, "", ServerName() + " is not on the server");
  }
  number_ = entry.number;
  return SetError(NoError);
}

void KeyedServerFile::Disconnect() {
  // The server drops a closed session's locks only once its process has
  // ended, after the close returns: they are let go of here first, so the
  // other stations find the file and its records free as soon as it is
  // closed. Whatever was under way is rolled back.
  db_.DropDeferred();
  if (db_.Connected())
    (void)db_.Exec(inTransaction_ ? "ROLLBACK;SELECT pg_advisory_unlock_all()" : "SELECT pg_advisory_unlock_all()");
  db_.Disconnect();
  prepared_.clear();
  holds_.clear();
  inTransaction_ = false;
  transactionLost_ = false;
  held_ = false;
}

void KeyedServerFile::RollbackQuietly() {
  db_.DropDeferred();
  if (db_.Connected() && PQtransactionStatus(db_.Handle()) != PQTRANS_IDLE) {
    const RuntimeError error = LastError();
    (void)db_.Exec("ROLLBACK");
    SetError(error.code, error.driverCode, error.driverText);
  }
}

std::int32_t KeyedServerFile::InTransaction(const std::string& sql) {
  if (db_.Exec("BEGIN;" + sql + ";COMMIT") == NoError) return NoError;
  RollbackQuietly();
  return LastErrorCode();
}

std::int32_t KeyedServerFile::OthersMarkers(std::vector<int>& markers) {
  PgParams params;
  params.Add(static_cast<std::int64_t>(kMarkers | number_));
  PgResult result = db_.Query(
      "SELECT DISTINCT objid::bigint FROM pg_locks WHERE locktype = 'advisory' AND database = (SELECT oid FROM "
      "pg_database WHERE datname = current_database()) AND classid = $1::bigint::oid AND objsubid = 2 AND objid <> 0 "
      "AND granted AND pid <> pg_backend_pid()",
      params);
  if (!result) return LastErrorCode();
  markers.clear();
  for (int row = 0; row < PQntuples(result.get()); ++row) {
    std::int64_t marker = 0;
    if (ParseInteger(PgText(result.get(), row, 0), marker)) markers.push_back(static_cast<int>(marker));
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::JoinStations(std::uint8_t mode, int waitSeconds) {
  const std::uint8_t access = mode & 0x0F, share = mode & 0xF0;
  const bool reads = access == AccessRead || access == AccessReadWrite;
  const bool writes = access == AccessWrite || access == AccessReadWrite;
  const bool deniesRead = share == ShareDenyAll || share == ShareDenyRead;
  const bool deniesWrite = share == ShareDenyAll || share == ShareDenyWrite;
  std::string wanted = "{" + std::to_string(kPresent);
  if (reads) wanted += "," + std::to_string(kReading);
  if (writes) wanted += "," + std::to_string(kWriting);
  if (deniesRead) wanted += "," + std::to_string(kDeniesRead);
  if (deniesWrite) wanted += "," + std::to_string(kDeniesWrite);
  wanted += "}";
  const std::string gate = std::to_string(kMarkers | number_);
  const WaitDeadline deadline{std::chrono::seconds(waitSeconds)};
  for (;;) {
    // Openers pass the file's gate one at a time, so two of them never both
    // find the other absent.
    if (db_.Exec("BEGIN;SELECT pg_advisory_xact_lock(" + gate + ", 0)") != NoError) {
      RollbackQuietly();
      return LastErrorCode();
    }
    std::vector<int> others;
    if (OthersMarkers(others) != NoError) {
      RollbackQuietly();
      return LastErrorCode();
    }
    auto has = [&](int marker) { return std::find(others.begin(), others.end(), marker) != others.end(); };
    const bool conflict = (reads && has(kDeniesRead)) || (writes && has(kDeniesWrite)) ||
                          (deniesRead && has(kReading)) || (deniesWrite && has(kWriting));
    std::string sql =
        conflict ? "" : "SELECT pg_advisory_lock_shared(" + gate + ", m) FROM unnest('" + wanted + "'::int[]) m;";
    if (db_.Exec(sql + "COMMIT") != NoError) {
      RollbackQuietly();
      return LastErrorCode();
    }
    if (!conflict) return SetError(NoError);
    // The runtime lock is released while waiting: other runtime threads go on.
    if (!WaitPauseBefore(deadline, kLockPoll)) {
      return SetError(AccessDenied, "",
                      "another station has " + ServerName() + " open in a mode that excludes this one");
    }
  }
}

// --- Opening and closing ------------------------------------------------------

std::int32_t KeyedServerFile::Open(std::uint8_t mode) {
  if (open_) return SetError(AlreadyOpen);
  const int waitSeconds = std::exchange(recoverSeconds_, 0);
  Entry entry;
  if (ReachClosed(entry) != NoError) return LastErrorCode();
  std::int32_t code = NoError;
  if (entry.layout != schema_.LayoutSignature()) {
    code = SetError(LayoutMismatch, "", "the file's fields on the server differ from the declared layout");
  } else if (entry.keys != schema_.KeysSignature()) {
    code = SetError(KeysInvalid, "", "the file's keys on the server differ from the declared keys");
  } else {
    code = JoinStations(mode, waitSeconds);
  }
  if (code != NoError) {
    const RuntimeError error = LastError();
    Disconnect();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  mode_ = mode;
  ResetState();
  open_ = true;
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Create() {
  if (open_) return SetError(AccessDenied, "", ServerName() + " already exists");
  if (Connect() != NoError) return LastErrorCode();
  PgParams params;
  params.Add(ServerName());
  params.Add(schema_.LayoutSignature());
  params.Add(schema_.KeysSignature());
  std::int32_t code = db_.Exec(std::string("BEGIN;") + kCatalogueLock);
  PgResult added;
  if (code == NoError) {
    added = db_.Query(
        "INSERT INTO marlinden_files(name, layout, keys) VALUES($1, $2, $3) ON CONFLICT DO NOTHING "
        "RETURNING number",
        params);
    code = LastErrorCode();
  }
  if (code == NoError && PQntuples(added.get()) == 0) {
    code = SetError(AccessDenied, "", ServerName() + " already exists on the server");
  }
  if (code == NoError) {
    std::string sql = CreateSql();
    for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) sql += ";" + CreateIndexSql(k);
    code = db_.Exec(sql);
  }
  if (code == NoError) {
    if (const std::function<void()> hook = TakeCreationHook()) hook();
    code = db_.Exec("COMMIT");
  }
  if (code != NoError) RollbackQuietly();
  const RuntimeError error = LastError();
  Disconnect();
  return SetError(code, error.driverCode, error.driverText);
}

std::int32_t KeyedServerFile::Close() {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  Disconnect();
  open_ = false;
  return SetError(NoError);
}

void KeyedServerFile::ResetState() {
  DropReadAhead();
  prepared_.clear();
  order_ = 0;
  cursor_.Reset();
  current_ = KeyedCurrent{};
  current_.record.assign(Layout().RecordSize(), ' ');
  held_ = false;
  watched_ = false;
  inTransaction_ = false;
  transactionLost_ = false;
}

std::int32_t KeyedServerFile::RebuildKeys() {
  PgParams params;
  params.Add("k_" + ServerName());
  params.Add("k_" + ServerName() + "_key%");
  PgResult indexes = db_.Query(
      "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema() AND tablename = $1 AND indexname LIKE $2",
      params);
  if (!indexes) return LastErrorCode();
  std::string sql;
  for (int row = 0; row < PQntuples(indexes.get()); ++row) {
    sql += "DROP INDEX \"" + std::string(PgText(indexes.get(), row, 0)) + "\";";
  }
  for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) sql += CreateIndexSql(k) + ";";
  char* keys = PQescapeLiteral(db_.Handle(), schema_.KeysSignature().c_str(), schema_.KeysSignature().size());
  char* name = PQescapeLiteral(db_.Handle(), ServerName().c_str(), ServerName().size());
  sql += "UPDATE marlinden_files SET keys = " + std::string(keys) + " WHERE name = " + name;
  PQfreemem(keys);
  PQfreemem(name);
  prepared_.clear();
  return InTransaction(sql);
}

std::int32_t KeyedServerFile::BuildKeys() {
  if (open_) {
    if (IsReadOnly()) return SetError(AccessDenied);
    if (inTransaction_) return SetError(FileLocked, "", "a transaction is active");
    if (Reach() != NoError) return LastErrorCode();
    cursor_.Reposition();
    // The prepared statements of this connection name the old indexes' plans.
    (void)db_.Exec("DEALLOCATE ALL");
    return RebuildKeys();
  }
  Entry entry;
  if (ReachClosed(entry) != NoError) return LastErrorCode();
  std::int32_t code =
      entry.layout == schema_.LayoutSignature()
          ? RebuildKeys()
          : SetError(LayoutMismatch, "", "the file's fields on the server differ from the declared layout");
  const RuntimeError error = LastError();
  Disconnect();
  return SetError(code, error.driverCode, error.driverText);
}

std::int32_t KeyedServerFile::Remove() {
  if (open_) return SetError(AccessDenied, "", "the file is open");
  Entry entry;
  if (ReachClosed(entry) != NoError) return LastErrorCode();
  std::int32_t code = db_.Exec("BEGIN;SELECT pg_advisory_xact_lock(" + std::to_string(kMarkers | number_) + ", 0)");
  std::vector<int> others;
  if (code == NoError) code = OthersMarkers(others);
  if (code == NoError && std::find(others.begin(), others.end(), kPresent) != others.end()) {
    code = SetError(AccessDenied, "", "another station has the file open");
  }
  if (code == NoError) {
    char* name = PQescapeLiteral(db_.Handle(), ServerName().c_str(), ServerName().size());
    code = db_.Exec("DROP TABLE " + Table() + ";DELETE FROM marlinden_files WHERE name = " + name + ";COMMIT");
    PQfreemem(name);
  }
  if (code != NoError) RollbackQuietly();
  const RuntimeError error = LastError();
  Disconnect();
  return SetError(code, error.driverCode, error.driverText);
}

// --- SQL ------------------------------------------------------------------------

std::string KeyedServerFile::CreateSql() const {
  std::string sql =
      "CREATE TABLE " + Table() + "(id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, version bigint NOT NULL";
  for (std::size_t f = 1; f <= Layout().FieldCount(); ++f) {
    const FieldType type = Layout().Field(f).type;
    const char* sqlType = IsText(type)              ? "text COLLATE \"C\" NOT NULL"
                          : type == FieldType::Real ? "double precision NOT NULL"
                                                    : "bigint NOT NULL";
    sql += ", " + FieldColumn(f) + " " + sqlType;
  }
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) sql += ", " + MemoColumn(m) + " text NOT NULL DEFAULT ''";
  return sql + ")";
}

// A unique key's index is over its components (it keeps them unique); any
// other key's ends in the record number, which orders equal keys.
std::string KeyedServerFile::CreateIndexSql(std::size_t key) const {
  const KeyDesc& desc = Layout().Key(key);
  const bool unique = desc.unique || desc.primary;
  std::string sql =
      std::string(unique ? "CREATE UNIQUE INDEX \"" : "CREATE INDEX \"") + IndexName(key) + "\" ON " + Table() + "(";
  for (std::size_t c = 0; c < desc.components.size(); ++c) {
    if (c > 0) sql += ", ";
    sql += "(" + Column(desc, desc.components[c]) + ")";
    if (desc.components[c].order == Order::Descending) sql += " DESC";
  }
  if (!unique) sql += ", id";
  return sql + ")";
}

std::string KeyedServerFile::HeldSql() const {
  return std::string(kHoldKeySql) +
         " = ANY(ARRAY(SELECT objid::bigint FROM pg_locks WHERE locktype = 'advisory' AND database = (SELECT oid FROM "
         "pg_database WHERE datname = current_database()) AND classid = " +
         std::to_string(number_) + " AND objsubid = 2 AND granted AND pid <> pg_backend_pid()))";
}

std::string KeyedServerFile::SelectList(RowColumns columns, std::size_t key) const {
  const bool keyFields = columns == RowColumns::KeyFields && key != 0;
  std::string list = (keyFields ? "id, 0, " : "id, version, ") + HeldSql() + ", " + schema_.FieldList(columns, key);
  if (columns == RowColumns::FieldsAndMemos) {
    for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) list += ", " + MemoColumn(m);
  }
  return list;
}

std::string KeyedServerFile::Column(const KeyDesc& key, const KeyComponentDesc& component,
                                    std::string_view prefix) const {
  const std::string column = std::string(prefix) + FieldColumn(component.field);
  if (key.noCase && IsText(Layout().Field(component.field).type)) return "lower(" + column + ")";
  return column;
}

std::string KeyedServerFile::Parameter(const KeyDesc& key, const KeyComponentDesc& component,
                                       std::size_t number) const {
  const FieldType type = Layout().Field(component.field).type;
  const std::string parameter = "$" + std::to_string(number);
  if (IsText(type)) return key.noCase ? "lower(" + parameter + "::text)" : parameter + "::text";
  return parameter + (type == FieldType::Real ? "::double precision" : "::bigint");
}

std::string KeyedServerFile::OrderBy(std::size_t key, ScanDirection direction) const {
  const bool backward = direction == ScanDirection::Backward;
  std::string order;
  if (key != 0) {
    const KeyDesc& desc = Layout().Key(key);
    for (const KeyComponentDesc& component : desc.components) {
      const bool descending = (component.order == Order::Descending) != backward;
      if (!order.empty()) order += ", ";
      order += Column(desc, component) + (descending ? " DESC" : "");
    }
    if (desc.unique || desc.primary) return order;
    order += ", ";
  }
  return order + (backward ? "id DESC" : "id");
}

// Rows after ($1..$n, record $n+1) in the scan's order. A key whose
// components all go one way is one row comparison, which the index range
// starts at exactly; otherwise the expanded form behind a bound on the
// first component.
std::string KeyedServerFile::AfterCondition(std::size_t key, ScanDirection direction) const {
  const bool backward = direction == ScanDirection::Backward;
  const char* idOp = backward ? " < " : " > ";
  if (key == 0) return std::string("id") + idOp + "$1";
  const KeyDesc& desc = Layout().Key(key);
  const std::size_t n = desc.components.size();
  const std::string idParameter = "$" + std::to_string(n + 1) + "::bigint";
  bool uniform = true;
  for (const KeyComponentDesc& component : desc.components) uniform = uniform && component.order == Order::Ascending;
  auto op = [&](std::size_t c) {
    return std::string((desc.components[c].order == Order::Descending) != backward ? " <" : " >");
  };
  std::string columns, parameters;
  for (std::size_t c = 0; c < n; ++c) {
    columns += (c > 0 ? ", " : "") + Column(desc, desc.components[c]);
    parameters += (c > 0 ? ", " : "") + Parameter(desc, desc.components[c], c + 1);
  }
  const bool unique = desc.unique || desc.primary;
  if (uniform && !unique) return "(" + columns + ", id)" + idOp + "(" + parameters + ", " + idParameter + ")";
  if (uniform) {
    const std::string left = "(" + columns + ")", right = "(" + parameters + ")";
    return left + op(0) + "= " + right + " AND (" + left + op(0) + " " + right + " OR id" + idOp + idParameter + ")";
  }
  std::string condition =
      Column(desc, desc.components[0]) + op(0) + "= " + Parameter(desc, desc.components[0], 1) + " AND (";
  std::string closing = ")";
  for (std::size_t c = 0; c < n; ++c) {
    const std::string column = Column(desc, desc.components[c]);
    const std::string parameter = Parameter(desc, desc.components[c], c + 1);
    condition += column + op(c) + " " + parameter + " OR (" + column + " = " + parameter + " AND ";
    closing += ")";
  }
  return condition + "id" + idOp + idParameter + closing;
}

std::string KeyedServerFile::EqualCondition(std::size_t key) const {
  const KeyDesc& desc = Layout().Key(key);
  std::string condition;
  for (std::size_t c = 0; c < desc.components.size(); ++c) {
    if (c > 0) condition += " AND ";
    condition += Column(desc, desc.components[c]) + " = " + Parameter(desc, desc.components[c], c + 1);
  }
  return condition;
}

std::size_t KeyedServerFile::NumberedSlot(std::size_t key, std::size_t component) const {
  return kFixedSlots + (Layout().KeyCount() + 1) * kPerKey + (key - 1) * MostComponents() + component - 1;
}

std::size_t KeyedServerFile::MostComponents() const {
  std::size_t most = 1;
  for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) most = std::max(most, Layout().Key(k).components.size());
  return most;
}

std::size_t KeyedServerFile::NumberedRowsSlot(std::size_t key) const {
  return NumberedSlot(Layout().KeyCount() + 1, 1) + key - 1;
}

std::size_t KeyedServerFile::SlotCount() const { return NumberedRowsSlot(Layout().KeyCount() + 1); }

// The number is one more than the highest of its group, read in the insert
// itself; the field's own parameter is left out, the others follow in field
// order. Two stations taking one number at once: the second inserts
// nothing (a unique numbered key) and numbers again.
std::string KeyedServerFile::NumberedInsertSql(std::size_t key, std::size_t component) const {
  const KeyDesc& desc = Layout().Key(key);
  const std::size_t numberField = desc.components[component - 1].field;
  const std::size_t fields = Layout().FieldCount(), memos = Layout().MemoCount();
  auto parameterOf = [&](std::size_t field) { return field < numberField ? field : field - 1; };
  const std::string number = FieldColumn(numberField);
  const std::string highest =
      Layout().Field(numberField).type == FieldType::Real ? "floor(max(" + number + "))" : "max(" + number + ")";
  std::string group;
  for (std::size_t c = 0; c + 1 < component; ++c) {
    group += std::string(group.empty() ? " WHERE " : " AND ") + Column(desc, desc.components[c]) + " = " +
             Parameter(desc, desc.components[c], parameterOf(desc.components[c].field));
  }
  std::string columns = "version", values = "1";
  for (std::size_t f = 1; f <= fields; ++f) {
    columns += ", " + FieldColumn(f);
    values += f == numberField ? ", (SELECT coalesce(" + highest + ", 0) + 1 FROM " + Table() + group + ")"
                               : ", $" + std::to_string(parameterOf(f));
  }
  for (std::size_t m = 1; m <= memos; ++m) {
    columns += ", " + MemoColumn(m);
    values += ", $" + std::to_string(fields - 1 + m);
  }
  return "INSERT INTO " + Table() + "(" + columns + ") VALUES(" + values + ") ON CONFLICT DO NOTHING RETURNING id, " +
         number;
}

// The rows come as arrays, one per field but the number and per memo, in
// that order. Those a stored record's unique key keeps out are left out
// before numbering, so numbers stay dense; the insert skips any other
// taken key (an earlier row's, another station's). Answers id, number and
// place (1-based) of each row stored, and a null number for each kept out.
std::string KeyedServerFile::NumberedRowsSql(std::size_t key) const {
  const std::size_t numberField = Layout().Key(key).components.front().field;
  const std::string number = FieldColumn(numberField);
  std::string arrays, names, columns = "version", values = "1";
  std::size_t parameter = 0;
  for (std::size_t f = 1; f <= Layout().FieldCount(); ++f) {
    columns += ", " + FieldColumn(f);
    if (f == numberField) {
      values += ", (SELECT b FROM base) + r.n";
      continue;
    }
    values += ", r." + FieldColumn(f);
    ++parameter;
    arrays += (parameter == 1 ? "$" : ", $") + std::to_string(parameter) + ArrayType(Layout().Field(f).type);
    names += FieldColumn(f) + ", ";
  }
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) {
    columns += ", " + MemoColumn(m);
    values += ", r." + MemoColumn(m);
    ++parameter;
    arrays += ", $" + std::to_string(parameter) + "::text[]";
    names += MemoColumn(m) + ", ";
  }
  std::string free;
  for (std::size_t k = 1; k <= Layout().KeyCount(); ++k) {
    const KeyDesc& desc = Layout().Key(k);
    const bool numbered = std::any_of(desc.components.begin(), desc.components.end(),
                                      [numberField](const KeyComponentDesc& c) { return c.field == numberField; });
    if (!(desc.unique || desc.primary) || numbered) continue;
    std::string match;
    for (const KeyComponentDesc& component : desc.components) {
      match += (match.empty() ? "" : " AND ") + Column(desc, component, "s.") + " = " + Column(desc, component, "u.");
    }
    free += " AND NOT EXISTS (SELECT 1 FROM " + Table() + " s WHERE " + match + ")";
  }
  const std::string highest =
      Layout().Field(numberField).type == FieldType::Real ? "floor(max(" + number + "))" : "max(" + number + ")";
  return "WITH base AS (SELECT coalesce(" + highest + ", 0) AS b FROM " + Table() +
         "), given AS (SELECT * FROM unnest(" + arrays + ") WITH ORDINALITY AS u(" + names +
         "ord)), rows AS (SELECT u.*, row_number() OVER (ORDER BY u.ord) AS n "
         "FROM given u WHERE TRUE" +
         free + "), added AS (INSERT INTO " + Table() + "(" + columns + ") SELECT " + values +
         " FROM rows r ORDER BY r.ord ON CONFLICT DO NOTHING RETURNING id, " + number + ") SELECT a.id, a." + number +
         ", r.ord FROM added a JOIN rows r ON a." + number +
         " = (SELECT b FROM base) + r.n UNION ALL SELECT NULL, NULL, g.ord FROM given g WHERE g.ord NOT IN (SELECT ord "
         "FROM rows)";
}

std::string KeyedServerFile::StatementSql(std::size_t slot) const {
  const std::string table = Table();
  const std::size_t fields = Layout().FieldCount(), memos = Layout().MemoCount();
  if (const std::size_t first = NumberedRowsSlot(1); slot >= first) return NumberedRowsSql(slot - first + 1);
  if (const std::size_t first = NumberedSlot(1, 1); slot >= first) {
    const std::size_t most = MostComponents();
    return NumberedInsertSql((slot - first) / most + 1, (slot - first) % most + 1);
  }
  switch (slot) {
    case kInsert: {
      std::string columns = "version", values = "1";
      for (std::size_t f = 1; f <= fields; ++f) {
        columns += ", " + FieldColumn(f);
        values += ", $" + std::to_string(f);
      }
      for (std::size_t m = 1; m <= memos; ++m) {
        columns += ", " + MemoColumn(m);
        values += ", $" + std::to_string(fields + m);
      }
      // A key taken already answers no row, and leaves a transaction usable.
      return "INSERT INTO " + table + "(" + columns + ") VALUES(" + values + ") ON CONFLICT DO NOTHING RETURNING id";
    }
    case kInsertRows: {
      // The rows queued by deferred adds, each column an array.
      std::string columns = "version", arrays;
      for (std::size_t f = 1; f <= fields; ++f) {
        const FieldType type = Layout().Field(f).type;
        columns += ", " + FieldColumn(f);
        arrays += (f > 1 ? ", $" : "$") + std::to_string(f) + ArrayType(type);
      }
      for (std::size_t m = 1; m <= memos; ++m) {
        columns += ", " + MemoColumn(m);
        arrays += ", $" + std::to_string(fields + m) + "::text[]";
      }
      return "INSERT INTO " + table + "(" + columns + ") SELECT 1, * FROM unnest(" + arrays +
             ") ON CONFLICT DO NOTHING RETURNING id";
    }
    case kUpdate: {
      std::string sql = "UPDATE " + table + " SET version = version + 1";
      for (std::size_t f = 1; f <= fields; ++f) sql += ", " + FieldColumn(f) + " = $" + std::to_string(f);
      for (std::size_t m = 1; m <= memos; ++m) {
        sql += ", " + MemoColumn(m) + " = coalesce($" + std::to_string(fields + m) + ", " + MemoColumn(m) + ")";
      }
      return sql + " WHERE id = $" + std::to_string(fields + memos + 1) + " AND version = $" +
             std::to_string(fields + memos + 2) + " AND NOT " + HeldSql() + " RETURNING version";
    }
    case kDelete:
      return "DELETE FROM " + table + " WHERE id = $1 AND NOT " + HeldSql() + " RETURNING id";
    case kVersion:
      return "SELECT version, " + HeldSql() + " FROM " + table + " WHERE id = $1";
    case kByRowid:
      return "SELECT " + SelectList(RowColumns::FieldsAndMemos, 0) + " FROM " + table + " WHERE id = $1";
    case kByRowidNoMemos:
      return "SELECT " + SelectList(RowColumns::Fields, 0) + " FROM " + table + " WHERE id = $1";
    case kCount:
      return "SELECT count(*) FROM " + table;
    default:
      break;
  }
  const std::size_t key = (slot - kFixedSlots) / kPerKey;
  const std::size_t kind = (slot - kFixedSlots) % kPerKey;
  const RowColumns columns = VariantColumns(kind);
  const ScanDirection direction = VariantDirection(kind);
  const std::size_t n = key == 0 ? 0 : Layout().Key(key).components.size();
  if (kind < kAfter) {
    return "SELECT " + SelectList(columns, key) + " FROM " + table + " ORDER BY " + OrderBy(key, direction) +
           " LIMIT $1";
  }
  if (kind < kEqual) {
    return "SELECT " + SelectList(columns, key) + " FROM " + table + " WHERE " + AfterCondition(key, direction) +
           " ORDER BY " + OrderBy(key, direction) + " LIMIT $" + std::to_string(key == 0 ? 2 : n + 2);
  }
  if (kind < kDuplicate) {
    const RowColumns single = kind == kEqual + 1 ? RowColumns::FieldsAndMemos : RowColumns::Fields;
    return "SELECT " + SelectList(single, key) + " FROM " + table + " WHERE " + EqualCondition(key) + " ORDER BY " +
           OrderBy(key, ScanDirection::Forward) + " LIMIT 1";
  }
  if (kind == kDuplicate) {
    return "SELECT 1 FROM " + table + " WHERE " + EqualCondition(key) + " AND id <> $" + std::to_string(n + 1) +
           "::bigint LIMIT 1";
  }
  const KeyDesc& desc = Layout().Key(key);
  return "SELECT " + SelectList(RowColumns::FieldsAndMemos, key) + " FROM " + table + " WHERE " +
         Column(desc, desc.components.front()) + " = ANY($1::bigint[])";
}

std::string KeyedServerFile::PreparedSlot(std::size_t slot) {
  if (prepared_.empty()) prepared_.resize(SlotCount(), false);
  std::string name = "k" + std::to_string(slot);
  if (!prepared_[slot]) {
    if (db_.Prepare(name, StatementSql(slot)) != NoError) return {};
    prepared_[slot] = true;
  }
  return name;
}

PgResult KeyedServerFile::RunSlot(std::size_t slot, const PgParams& params) {
  const std::string name = PreparedSlot(slot);
  if (name.empty()) return nullptr;
  return db_.Run(name, params);
}

// --- Values ---------------------------------------------------------------------

std::int32_t KeyedServerFile::BindField(PgParams& params, const FieldDesc& field, const std::uint8_t* record) const {
  const std::uint8_t* at = record + field.offset;
  if (IsText(field.type)) {
    const std::string_view text = Clip(std::string_view(reinterpret_cast<const char*>(at), field.size));
    // The server's texts cannot hold a NUL byte: refused rather than cut.
    if (text.find('\0') != std::string_view::npos) {
      return SetError(BadParameter, "", field.label + " holds a NUL byte, which the database server cannot store");
    }
    params.Add(std::string(text));
  } else if (field.type == FieldType::Real) {
    double value;
    std::memcpy(&value, at, sizeof value);
    params.Add(RealText(value));
  } else {
    params.Add(KeyedSchema::IntegerField(field, record));
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::BindFields(PgParams& params, const std::uint8_t* record, std::size_t skipped) const {
  for (std::size_t f = 1; f <= Layout().FieldCount(); ++f) {
    if (f != skipped && BindField(params, Layout().Field(f), record) != NoError) return LastErrorCode();
  }
  return SetError(NoError);
}

void KeyedServerFile::BindMemos(PgParams& params, const RecordBuffer& record) const {
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) params.Add(record.Memo(m));
}

std::int32_t KeyedServerFile::BindKey(PgParams& params, std::size_t key, const std::uint8_t* record) const {
  for (const KeyComponentDesc& component : Layout().Key(key).components) {
    if (BindField(params, Layout().Field(component.field), record) != NoError) return LastErrorCode();
  }
  return SetError(NoError);
}

std::size_t KeyedServerFile::StoreFields(const PGresult* result, int row, int first, std::uint8_t* record) const {
  int column = first;
  for (std::size_t f = 1; f <= Layout().FieldCount(); ++f, ++column) {
    const FieldDesc& field = Layout().Field(f);
    std::uint8_t* at = record + field.offset;
    if (PQgetisnull(result, row, column)) return f;
    const std::string_view text = PgText(result, row, column);
    if (IsText(field.type)) {
      if (text.size() > field.size || (!text.empty() && text.back() == ' ')) return f;
      if (!text.empty()) std::memcpy(at, text.data(), text.size());
      std::memset(at + text.size(), ' ', field.size - text.size());
    } else if (field.type == FieldType::Real) {
      const std::string copy(text);
      char* end = nullptr;
      const double value = std::strtod(copy.c_str(), &end);
      if (end == copy.c_str() || *end != '\0') return f;
      std::memcpy(at, &value, sizeof value);
    } else {
      std::int64_t value = 0;
      if (!ParseInteger(text, value) || !KeyedSchema::StoreIntegerField(field, value, record)) return f;
    }
  }
  return 0;
}

// --- Positioning ------------------------------------------------------------------

std::int32_t KeyedServerFile::SetOrder(std::size_t key) {
  if (!open_) return SetError(FileNotOpen);
  if (key > Layout().KeyCount()) return SetError(BadParameter);
  order_ = key;
  cursor_.ToEnds();
  return SetError(NoError);
}

std::int32_t KeyedServerFile::SetOrderAtBuffer(std::size_t key) {
  if (key == 0) return SetOrder(0);
  if (SetOrder(key) != NoError) return LastErrorCode();
  cursor_.AtValues(Record().Data());
  return SetError(NoError);
}

std::int32_t KeyedServerFile::SetOrderAtPosition(std::size_t key, std::string_view position) {
  if (!open_) return SetError(FileNotOpen);
  if (key > Layout().KeyCount() || position.size() < kPositionRowid) return SetError(BadParameter);
  const std::int64_t rowid = DecodeRowid(position);
  const std::size_t keyBytes = key == 0 ? 0 : schema_.KeyBytes(key);
  if (position.size() == kPositionRowid + keyBytes) {
    if (key != 0) schema_.RestoreKey(key, position.data() + kPositionRowid, cursor_.KeyValues());
  } else if (position.size() == kPositionRowid) {
    // A record-order position used with a key: the key values come from
    // the record itself, which must still exist.
    if (Reach() != NoError) return LastErrorCode();
    PgParams params;
    params.Add(rowid);
    PgResult result = RunSlot(kByRowidNoMemos, params);
    if (!result) return LastErrorCode();
    if (PQntuples(result.get()) == 0) return SetError(RecordNotFound);
    std::vector<std::uint8_t> values(Layout().RecordSize());
    if (const std::size_t bad = StoreFields(result.get(), 0, 3, values.data())) return DamagedRecord(rowid, bad);
    std::memcpy(cursor_.KeyValues(), values.data(), values.size());
  } else {
    return SetError(BadParameter);
  }
  order_ = key;
  cursor_.AtRecord(rowid);
  return SetError(NoError);
}

// --- Reading ----------------------------------------------------------------------

std::int32_t KeyedServerFile::Next() { return Read(ScanDirection::Forward); }
std::int32_t KeyedServerFile::Previous() { return Read(ScanDirection::Backward); }

std::int32_t KeyedServerFile::Read(ScanDirection direction) {
  const RowColumns columns = ColumnsToRead(keysOnly_, order_, TakeSkipMemos());
  if (!open_) return SetError(FileNotOpen);
  KeyedCursor::Batch& batch = cursor_.Rows();
  return cursor_.Read(
      order_, direction, columns, [this](ScanDirection way, RowColumns taken) { return Fill(way, taken); },
      [&](std::size_t row) {
        return Deliver(
            batch.rowids[row], batch.versions[row], batch.held[row] != 0,
            batch.records.data() + row * Layout().RecordSize(),
            batch.columns == RowColumns::FieldsAndMemos ? batch.memoTexts.data() + row * Layout().MemoCount() : nullptr,
            columns != RowColumns::FieldsAndMemos);
      });
}

std::int32_t KeyedServerFile::Fill(ScanDirection direction, RowColumns columns) {
  if (Reach() != NoError) return LastErrorCode();
  const std::size_t limit = cursor_.StartFill(direction, columns, quickScan_);
  KeyedCursor::Batch& batch = cursor_.Rows();
  PgParams params;
  std::size_t slot;
  if (cursor_.AtEnds()) {
    slot = ScanSlot(kFirst, order_, direction, columns);
  } else {
    slot = ScanSlot(kAfter, order_, direction, columns);
    if (order_ != 0 && BindKey(params, order_, cursor_.KeyValues()) != NoError) return LastErrorCode();
    params.Add(cursor_.Bound(direction));
  }
  params.Add(static_cast<std::int64_t>(limit));
  PgResult result = RunSlot(slot, params);
  if (!result) return LastErrorCode();
  const int rows = PQntuples(result.get());
  const std::size_t recordSize = Layout().RecordSize();
  const std::size_t memoCount = Layout().MemoCount();
  const int firstMemo = 3 + static_cast<int>(Layout().FieldCount());
  for (int row = 0; row < rows; ++row) {
    const std::size_t r = batch.count;
    std::int64_t value = 0;
    (void)ParseInteger(PgText(result.get(), row, 0), value);
    batch.rowids[r] = value;
    (void)ParseInteger(PgText(result.get(), row, 1), value);
    batch.versions[r] = value;
    batch.held[r] = IsTrue(result.get(), row, 2) ? 1 : 0;
    if (const std::size_t bad = StoreFields(result.get(), row, 3, batch.records.data() + r * recordSize)) {
      batch.cut = true;
      if (r > 0) return SetError(NoError);
      return DamagedRecord(batch.rowids[r], bad);
    }
    if (columns == RowColumns::FieldsAndMemos) {
      for (std::size_t m = 0; m < memoCount; ++m) {
        batch.memoTexts[r * memoCount + m] = PgText(result.get(), row, firstMemo + static_cast<int>(m));
      }
    }
    ++batch.count;
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Deliver(std::int64_t rowid, std::int64_t version, bool heldByOther,
                                      const std::uint8_t* record, const std::string* memos, bool skipMemos) {
  cursor_.MoveTo(record, rowid);
  if (heldByOther) return SetError(RecordHeld);
  cursor_.Copy(Record(), current_, rowid, version, record, memos, skipMemos);
  held_ = HoldsRecord(rowid);
  return SetError(NoError);
}

std::int32_t KeyedServerFile::ReadSingle(const PGresult* result, int row, bool memos) {
  if (PQntuples(result) <= row) return SetError(RecordNotFound);
  cursor_.Reposition();
  const std::size_t memoCount = Layout().MemoCount();
  std::vector<std::uint8_t> record(Layout().RecordSize());
  std::int64_t rowid = 0, version = 0;
  (void)ParseInteger(PgText(result, row, 0), rowid);
  (void)ParseInteger(PgText(result, row, 1), version);
  if (const std::size_t bad = StoreFields(result, row, 3, record.data())) return DamagedRecord(rowid, bad);
  std::vector<std::string> texts(memoCount);
  if (memos) {
    const int first = 3 + static_cast<int>(Layout().FieldCount());
    for (std::size_t m = 0; m < memoCount; ++m) texts[m] = PgText(result, row, first + static_cast<int>(m));
  }
  return Deliver(rowid, version, IsTrue(result, row, 2), record.data(), memos ? texts.data() : nullptr, !memos);
}

std::int32_t KeyedServerFile::DamagedRecord(std::int64_t rowid, std::size_t field) {
  return SetError(
      DriverFailure, "value",
      "record " + std::to_string(rowid) + ": " + Layout().Field(field).label + " holds a value the layout cannot hold");
}

std::int32_t KeyedServerFile::Get(std::size_t key) {
  const bool skipMemos = TakeSkipMemos();
  if (!open_) return SetError(FileNotOpen);
  if (key == 0 || key > Layout().KeyCount()) return SetError(BadParameter);
  if (std::int32_t code = NoError; GetReadAhead(key, skipMemos, code)) return code;
  if (Reach() != NoError) return LastErrorCode();
  PgParams params;
  if (BindKey(params, key, Record().Data()) != NoError) return LastErrorCode();
  PgResult result = RunSlot(kFixedSlots + key * kPerKey + kEqual + (skipMemos ? 0 : 1), params);
  if (!result) return LastErrorCode();
  return ReadSingle(result.get(), 0, !skipMemos);
}

std::vector<std::int64_t> KeyedServerFile::UpcomingValues(std::size_t field, bool forward, std::size_t limit) {
  return cursor_.AheadValues(field, forward ? ScanDirection::Forward : ScanDirection::Backward, limit);
}

std::int32_t KeyedServerFile::ReadAheadKeys(std::size_t key, const std::vector<std::int64_t>& values) {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  if (key == 0 || key > Layout().KeyCount() || Layout().Key(key).components.size() != 1 ||
      IsText(Layout().Field(Layout().Key(key).components.front().field).type)) {
    return SetError(BadParameter, "", "the key is not one integer component");
  }
  if (values.empty()) return SetError(NoError);
  if (Reach() != NoError) return LastErrorCode();
  std::string array = "{";
  for (const std::int64_t value : values) array += (array.size() > 1 ? "," : "") + std::to_string(value);
  PgParams params;
  params.Add(array + "}");
  PgResult result = RunSlot(kFixedSlots + key * kPerKey + kReadAhead, params);
  if (!result) return LastErrorCode();
  const int first = 3 + static_cast<int>(Layout().Key(key).components.front().field) - 1;
  for (int row = 0; row < PQntuples(result.get()); ++row) {
    std::int64_t value = 0;
    if (ParseInteger(PgText(result.get(), row, first), value)) readAheadRows_.emplace(value, row);
  }
  readAheadKey_ = key;
  readAhead_ = std::move(result);
  return SetError(NoError);
}

bool KeyedServerFile::GetReadAhead(std::size_t key, bool skipMemos, std::int32_t& code) {
  if (key != readAheadKey_ || !readAhead_) return false;
  const FieldDesc& field = Layout().Field(Layout().Key(key).components.front().field);
  const auto found = readAheadRows_.find(KeyedSchema::IntegerField(field, Record().Data()));
  if (found == readAheadRows_.end()) return false;
  const int row = found->second;
  readAheadRows_.erase(found);
  code = ReadSingle(readAhead_.get(), row, !skipMemos);
  return true;
}

void KeyedServerFile::DropReadAhead() {
  readAheadKey_ = 0;
  readAhead_.reset();
  readAheadRows_.clear();
}

std::int32_t KeyedServerFile::ReadByRowid(std::string_view position) {
  const bool skipMemos = TakeSkipMemos();
  if (!open_) return SetError(FileNotOpen);
  if (position.size() < kPositionRowid) return SetError(BadParameter);
  std::int32_t code = Reach();
  if (code == NoError) {
    PgParams params;
    params.Add(DecodeRowid(position));
    PgResult result = RunSlot(skipMemos ? kByRowidNoMemos : kByRowid, params);
    code = result ? ReadSingle(result.get(), 0, !skipMemos) : LastErrorCode();
  }
  current_.AfterReadByRowid(code, DecodeRowid(position), held_);
  return code;
}

std::int32_t KeyedServerFile::GetAt(std::string_view position) {
  if (position.empty()) {
    (void)TakeSkipMemos();
    if (!open_) return SetError(FileNotOpen);
    current_.rowid = 0;
    held_ = false;
    return SetError(NoError);
  }
  return ReadByRowid(position);
}

std::int32_t KeyedServerFile::Reget(std::string_view position) { return ReadByRowid(position); }

// --- Holding and watching -----------------------------------------------------------

bool KeyedServerFile::HoldsRecord(std::int64_t rowid) const {
  return std::find(holds_.begin(), holds_.end(), rowid) != holds_.end();
}

std::int32_t KeyedServerFile::Hold() {
  if (!open_) return SetError(FileNotOpen);
  if (current_.rowid == 0) return SetError(RecordNotFound);
  cursor_.Reposition();
  if (HoldsRecord(current_.rowid)) {
    held_ = true;
    return SetError(NoError);
  }
  if (Reach() != NoError) return LastErrorCode();
  PgParams params;
  params.Add(static_cast<std::int64_t>(number_));
  params.Add(static_cast<std::int64_t>(HoldKey(current_.rowid)));
  PgResult result = db_.Query("SELECT pg_try_advisory_lock($1::int, $2::int)", params);
  if (!result) return LastErrorCode();
  if (!IsTrue(result.get(), 0, 0)) return SetError(RecordHeld);
  holds_.push_back(current_.rowid);
  held_ = true;
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Release() {
  if (!open_) return SetError(FileNotOpen);
  held_ = false;
  if (holds_.empty()) return SetError(NoError);
  if (!db_.Connected()) {
    holds_.clear();  // gone with the session
    return SetError(NoError);
  }
  std::string keys = "{";
  for (const std::int64_t rowid : holds_) keys += (keys.size() > 1 ? "," : "") + std::to_string(HoldKey(rowid));
  PgParams params;
  params.Add(static_cast<std::int64_t>(number_));
  params.Add(keys + "}");
  holds_.clear();
  return db_.Query("SELECT pg_advisory_unlock($1::int, k) FROM unnest($2::int[]) k", params) ? NoError
                                                                                             : LastErrorCode();
}

std::int32_t KeyedServerFile::Watch() {
  if (!open_) return SetError(FileNotOpen);
  watched_ = true;
  return SetError(NoError);
}

// --- Writing ------------------------------------------------------------------------

std::int32_t KeyedServerFile::CheckWritable() {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  if (IsReadOnly()) return SetError(AccessDenied, "", "the file is open read-only");
  return Reach();
}

std::int32_t KeyedServerFile::CheckKeyValues() const {
  if (schema_.HasNanKey(Record().Data())) return SetError(BadParameter, "", "a key value is not a number");
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Add() {
  if (CheckKeyValues() != NoError || CheckWritable() != NoError) return LastErrorCode();
  cursor_.Reposition();
  PgParams params;
  if (BindFields(params, Record().Data()) != NoError) return LastErrorCode();
  BindMemos(params, Record());
  if (quickScan_ && inTransaction_) {
    const std::string name = PreparedSlot(kInsertRows);
    if (name.empty() || db_.Defer(name, std::move(params)) != NoError) return LastErrorCode();
    current_.rowid = 0;
    held_ = false;
    return SetError(NoError);
  }
  PgResult result = RunSlot(kInsert, params);
  if (!result) return LastErrorCode();
  return Added(result.get(), 0);
}

std::int32_t KeyedServerFile::QuickScanChanged() {
  if (quickScan_) return SetError(NoError);
  return db_.Flush();
}

std::int32_t KeyedServerFile::AddNumbered(std::size_t key, std::size_t component) {
  if (key == 0 || key > Layout().KeyCount() || component == 0 || component > Layout().Key(key).components.size()) {
    return SetError(BadParameter);
  }
  if (CheckKeyValues() != NoError || CheckWritable() != NoError) return LastErrorCode();
  cursor_.Reposition();
  const std::size_t numberField = Layout().Key(key).components[component - 1].field;
  PgParams params;
  if (BindFields(params, Record().Data(), numberField) != NoError) return LastErrorCode();
  BindMemos(params, Record());
  PgResult result = RunSlot(NumberedSlot(key, component), params);
  if (!result) return LastErrorCode();
  return Added(result.get(), numberField);
}

std::int32_t KeyedServerFile::AddNumberedRows(std::size_t key, std::vector<RecordBuffer>& rows,
                                              std::vector<NumberedRow>& added) {
  if (key == 0 || key > Layout().KeyCount() ||
      IsText(Layout().Field(Layout().Key(key).components.front().field).type)) {
    return SetError(BadParameter, "", "the key's first component is not a number");
  }
  added.assign(rows.size(), NumberedRow{});
  if (CheckWritable() != NoError) return LastErrorCode();
  if (rows.empty()) return SetError(NoError);
  const std::size_t numberField = Layout().Key(key).components.front().field;
  std::vector<PgParams> bound(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const RecordBuffer& row = rows[r];
    if (row.Size() != Layout().RecordSize() || row.Layout().MemoCount() != Layout().MemoCount()) {
      return SetError(BadParameter, "", "a row is not a record of this file");
    }
    if (schema_.HasNanKey(row.Data())) return SetError(BadParameter, "", "a key value is not a number");
    if (BindFields(bound[r], row.Data(), numberField) != NoError) return LastErrorCode();
    BindMemos(bound[r], row);
  }
  PgParams columns;
  for (int column = 0; column < bound.front().Count(); ++column) columns.Add(PgArray(bound, column));
  cursor_.Reposition();
  current_.rowid = 0;
  held_ = false;
  PgResult result = RunSlot(NumberedRowsSlot(key), columns);
  if (!result) return LastErrorCode();
  for (int row = 0; row < PQntuples(result.get()); ++row) {
    std::int64_t number = 0, place = 0;
    (void)ParseInteger(PgText(result.get(), row, 2), place);
    if (place < 1 || static_cast<std::size_t>(place) > rows.size()) continue;
    NumberedRow& outcome = added[static_cast<std::size_t>(place - 1)];
    if (PQgetisnull(result.get(), row, 1)) {
      outcome.keyStored = true;
      continue;
    }
    (void)ParseInteger(PgText(result.get(), row, 1), number);
    outcome.number = number;
    rows[static_cast<std::size_t>(place - 1)].Field(numberField).SetInteger(number);
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Added(const PGresult* result, std::size_t numberField) {
  if (PQntuples(result) == 0)
    return SetError(DuplicateKey, "23505", "the value of a UNIQUE key is taken by another record");
  std::int64_t rowid = 0;
  (void)ParseInteger(PgText(result, 0, 0), rowid);
  RecordBuffer& buffer = Record();
  if (numberField != 0) {
    std::int64_t number = 0;
    (void)ParseInteger(PgText(result, 0, 1), number);
    buffer.Field(numberField).SetInteger(number);
  }
  current_.rowid = rowid;
  current_.version = 1;
  current_.memosRead = true;
  std::memcpy(current_.record.data(), buffer.Data(), current_.record.size());
  cursor_.MoveTo(buffer.Data(), rowid);
  held_ = HoldsRecord(rowid);
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Put() {
  if (!open_) return SetError(FileNotOpen);
  if (IsReadOnly()) return SetError(AccessDenied, "", "the file is open read-only");
  if (current_.rowid == 0) return SetError(RecordNotFound);
  if (CheckKeyValues() != NoError || CheckWritable() != NoError) return LastErrorCode();
  if (!inTransaction_) return WriteCurrent();
  // A failed statement would end the whole transaction on the server; on
  // the local file it fails alone.
  if (db_.Exec("SAVEPOINT keyed_write") != NoError) return LastErrorCode();
  const std::int32_t code = WriteCurrent();
  const RuntimeError error = LastError();
  (void)db_.Exec(code == NoError ? "RELEASE SAVEPOINT keyed_write" : "ROLLBACK TO SAVEPOINT keyed_write");
  return SetError(code, error.driverCode, error.driverText);
}

std::int32_t KeyedServerFile::Delete() {
  if (!open_) return SetError(FileNotOpen);
  if (IsReadOnly()) return SetError(AccessDenied, "", "the file is open read-only");
  if (current_.rowid == 0) return SetError(RecordNotFound);
  if (CheckWritable() != NoError) return LastErrorCode();
  return DeleteCurrent();
}

std::int32_t KeyedServerFile::WriteCurrent() {
  cursor_.Reposition();
  const RecordBuffer& buffer = Record();
  PgParams params;
  if (BindFields(params, buffer.Data()) != NoError) return LastErrorCode();
  for (std::size_t m = 1; m <= Layout().MemoCount(); ++m) {
    const std::string& memo = buffer.Memo(m);
    if (!current_.memosRead && memo.empty()) {
      params.AddNull();  // not read, so not changed
    } else {
      params.Add(memo);
    }
  }
  params.Add(current_.rowid);
  params.Add(current_.version);
  PgResult result = RunSlot(kUpdate, params);
  if (!result) return LastErrorCode();
  if (PQntuples(result.get()) == 1) {
    ++current_.version;
    std::memcpy(current_.record.data(), buffer.Data(), current_.record.size());
    return SetError(NoError);
  }
  return NothingWritten();
}

std::int32_t KeyedServerFile::DeleteCurrent() {
  PgParams params;
  params.Add(current_.rowid);
  PgResult result = RunSlot(kDelete, params);
  if (!result) return LastErrorCode();
  if (PQntuples(result.get()) == 0) return NothingWritten();
  // The read position stays on the deleted record's values, so the next
  // read goes on with the record that followed it.
  current_.rowid = 0;
  held_ = false;
  return SetError(NoError);
}

std::int32_t KeyedServerFile::NothingWritten() {
  PgParams params;
  params.Add(current_.rowid);
  PgResult result = RunSlot(kVersion, params);
  if (!result) return LastErrorCode();
  if (PQntuples(result.get()) == 0) {
    current_.rowid = 0;
    held_ = false;
    return SetError(RecordNotFound);
  }
  return SetError(IsTrue(result.get(), 0, 1) ? RecordHeld : ChangedByOther);
}

bool KeyedServerFile::Duplicate(std::size_t key) {
  if (!open_ || key == 0 || key > Layout().KeyCount()) return false;
  const KeyDesc& desc = Layout().Key(key);
  if (!desc.unique && !desc.primary) return false;
  if (Reach() != NoError) return false;
  PgParams params;
  if (BindKey(params, key, Record().Data()) != NoError) return false;
  params.Add(current_.rowid);
  PgResult result = RunSlot(kFixedSlots + key * kPerKey + kDuplicate, params);
  return result && PQntuples(result.get()) > 0;
}

// --- Properties ---------------------------------------------------------------------

std::int64_t KeyedServerFile::Records() {
  if (!open_) {
    SetError(FileNotOpen);
    return 0;
  }
  if (Reach() != NoError) return 0;
  PgResult result = RunSlot(kCount, {});
  if (!result) return 0;
  std::int64_t count = 0;
  (void)ParseInteger(PgText(result.get(), 0, 0), count);
  SetError(NoError);
  return count;
}

std::int64_t KeyedServerFile::Bytes() {
  if (!open_) {
    SetError(FileNotOpen);
    return 0;
  }
  const std::int64_t records = Records();
  if (LastErrorCode() != NoError) return 0;
  return records * static_cast<std::int64_t>(Layout().RecordSize());
}

std::string KeyedServerFile::Position(std::size_t key) {
  return open_ ? current_.Position(schema_, key) : std::string();
}

// --- Transactions -------------------------------------------------------------------

std::int32_t KeyedServerFile::BeginTransaction(int lockWaitSeconds) {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  if (IsReadOnly()) return SetError(AccessDenied, "", "the file is open read-only");
  if (inTransaction_) return SetError(BadParameter, "", "a transaction is already active");
  if (CheckWritable() != NoError) return LastErrorCode();
  cursor_.Reposition();
  if (db_.Exec("BEGIN") != NoError) return LastErrorCode();
  const std::string take = "SELECT pg_try_advisory_xact_lock(" + std::to_string(kTransaction | number_) + ", 0)";
  const WaitDeadline deadline{std::chrono::seconds(std::max(lockWaitSeconds, 0))};
  for (;;) {
    PgResult result = db_.Query(take, {});
    if (!result) {
      RollbackQuietly();
      return LastErrorCode();
    }
    if (IsTrue(result.get(), 0, 0)) break;
    // The runtime lock is released while waiting: other runtime threads go on.
    if (!WaitPauseBefore(deadline, kLockPoll)) {
      RollbackQuietly();
      return SetError(FileLocked, "", "another station's transaction on " + ServerName() + " goes on");
    }
  }
  inTransaction_ = true;
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Commit() {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  if (Reach() != NoError) {
    transactionLost_ = false;
    return LastErrorCode();
  }
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  inTransaction_ = false;
  // The queued adds go first; one that failed fails the whole transaction.
  if (db_.Flush() != NoError) {
    const RuntimeError error = LastError();
    RollbackQuietly();
    (void)RefreshCurrentVersion();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  // A statement that failed on the server ended the transaction there: its
  // COMMIT would only roll back.
  if (PQtransactionStatus(db_.Handle()) == PQTRANS_INERROR) {
    (void)db_.Exec("ROLLBACK");
    (void)RefreshCurrentVersion();
    return SetError(DriverFailure, "25P02", "a statement of the transaction failed: the transaction was rolled back");
  }
  if (db_.Exec("COMMIT") != NoError) {
    const RuntimeError error = LastError();
    RollbackQuietly();
    return SetError(error.code, error.driverCode, error.driverText);
  }
  return SetError(NoError);
}

std::int32_t KeyedServerFile::Rollback() {
  DropReadAhead();
  if (!open_) return SetError(FileNotOpen);
  cursor_.Reposition();
  if (transactionLost_ || (inTransaction_ && !db_.Connected())) {
    // The server rolled it back when the connection was lost.
    inTransaction_ = transactionLost_ = false;
    current_.rowid = 0;
    return SetError(NoError);
  }
  if (!inTransaction_) return SetError(BadParameter, "", "no transaction is active");
  inTransaction_ = false;
  db_.DropDeferred();
  if (db_.Exec("ROLLBACK") != NoError) return LastErrorCode();
  return RefreshCurrentVersion();
}

std::int32_t KeyedServerFile::RefreshCurrentVersion() {
  if (current_.rowid == 0) return SetError(NoError);
  PgParams params;
  params.Add(current_.rowid);
  PgResult result = RunSlot(kVersion, params);
  if (!result) return LastErrorCode();
  if (PQntuples(result.get()) == 0) {
    current_.rowid = 0;
  } else {
    (void)ParseInteger(PgText(result.get(), 0, 0), current_.version);
  }
  return SetError(NoError);
}

}  // namespace runtime
