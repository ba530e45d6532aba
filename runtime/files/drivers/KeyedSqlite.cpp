#include "runtime/files/drivers/KeyedSqlite.h"

#include <string>

#include "runtime/system/RuntimeError.h"

namespace runtime {

std::int32_t SqliteError(sqlite3* db, int rc) {
  std::int32_t code = DriverFailure;
  switch (rc & 0xFF) {
    case SQLITE_CONSTRAINT:
      if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) code = DuplicateKey;
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = FileLocked;
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      code = AccessDenied;
      break;
    default:
      break;
  }
  // sqlite3_errmsg describes the connection's last failure, which is rc's.
  const char* text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  return SetError(code, std::to_string(rc), text);
}

std::int32_t SqliteExec(sqlite3* db, const char* sql) {
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? SetError(NoError) : SqliteError(db, rc);
}

}  // namespace runtime
