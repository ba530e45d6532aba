#include "runtime/files/drivers/KeyedSqlite.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/system/RuntimeError.h"
#include "runtime/system/Wait.h"

namespace runtime {

namespace {

constexpr auto kBusyPoll = std::chrono::milliseconds(10);

// SQLite calls this while a statement finds the file busy; count is 0 on
// the first call of each busy spell. The time allowed travels in the
// handler's argument, the spell's deadline in the thread (one statement
// runs on a thread at a time).
int BusyWait(void* milliseconds, int count) {
  thread_local std::optional<WaitDeadline> deadline;
  if (count == 0) deadline.emplace(std::chrono::milliseconds(reinterpret_cast<std::intptr_t>(milliseconds)));
  return WaitPauseBefore(*deadline, kBusyPoll) ? 1 : 0;
}

}  // namespace

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

void SetBusyWait(sqlite3* db, int milliseconds) {
  sqlite3_busy_handler(db, BusyWait, reinterpret_cast<void*>(static_cast<std::intptr_t>(std::max(milliseconds, 0))));
}

std::int32_t SqliteExec(sqlite3* db, const char* sql) {
  const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? SetError(NoError) : SqliteError(db, rc);
}

}  // namespace runtime
