// Small SQLite helpers of the keyed driver: owning handles, statement resets
// and the mapping of SQLite's results onto the runtime's error codes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace runtime {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteConnection = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Resets a statement when the scope ends, so that no read transaction stays
// open between runtime calls (it would pin an old snapshot of the file).
class StatementReset {
 public:
  explicit StatementReset(sqlite3_stmt* statement) : statement_(statement) {}
  ~StatementReset() { sqlite3_reset(statement_); }
  StatementReset(const StatementReset&) = delete;
  StatementReset& operator=(const StatementReset&) = delete;

 private:
  sqlite3_stmt* statement_;
};

// A result column as text; empty for NULL (sqlite3_column_text's null).
inline std::string_view ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

// Records the runtime error for SQLite result rc (an extended code) with
// SQLite's code and text as the driver's: unique constraint DuplicateKey,
// busy or locked FileLocked, read-only AccessDenied, anything else
// DriverFailure. Returns the code.
std::int32_t SqliteError(sqlite3* db, int rc);

// Makes statements of db that find the file locked by another station wait
// for it up to milliseconds of runtime-clock time, through the wait service
// (the runtime lock is released meanwhile), then fail with SQLITE_BUSY.
// The connection must not be used by another runtime thread meanwhile: a
// waiting statement keeps the connection's own mutex.
void SetBusyWait(sqlite3* db, int milliseconds);

// Runs SQL without results; the runtime error on failure.
[[nodiscard]] std::int32_t SqliteExec(sqlite3* db, const char* sql);

}  // namespace runtime
