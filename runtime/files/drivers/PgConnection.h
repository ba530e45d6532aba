// The server driver's connection to PostgreSQL (libpq): owning handles,
// parameter lists in text form, and the mapping of the server's results onto
// the runtime's error codes. A lost connection is told as such; the owner
// connects again before its next operation. Used under the runtime lock.
#pragma once

#include <libpq-fe.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/system/RuntimeError.h"

namespace runtime {

struct PgResultClear {
  void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, PgResultClear>;

// Statement parameters in text form; a null is SQL NULL.
class PgParams {
 public:
  void Add(std::string value) {
    values_.push_back(std::move(value));
    nulls_.push_back(false);
  }
  void Add(std::int64_t value) { Add(std::to_string(value)); }
  void AddNull() {
    values_.emplace_back();
    nulls_.push_back(true);
  }
  void Clear() {
    values_.clear();
    nulls_.clear();
  }
  int Count() const { return static_cast<int>(values_.size()); }
  const std::string& Value(int i) const { return values_[static_cast<std::size_t>(i)]; }
  bool IsNull(int i) const { return nulls_[static_cast<std::size_t>(i)]; }
  // Pointers into the values, valid until the next change.
  std::vector<const char*> Pointers() const;

 private:
  std::vector<std::string> values_;
  std::vector<bool> nulls_;
};

class PgConnection {
 public:
  // Deferred rows queued at most: they go in one statement (a batch's
  // words, say), and the queue's memory stays bounded.
  static constexpr std::size_t kDeferredRows = 32768;

  PgConnection() = default;
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Connects to the server connection names (see KeyedServer.h); on failure
  // DriverFailure with libpq's reason and the connection shown without its
  // password.
  [[nodiscard]] std::int32_t Connect(std::string_view connection);
  void Disconnect();
  bool Connected() const;

  // Runs sql (one or more statements, no parameters); the runtime error.
  [[nodiscard]] std::int32_t Exec(const std::string& sql);
  // Runs sql with parameters; nullptr and the runtime error set on failure.
  PgResult Query(const std::string& sql, const PgParams& params);
  // The statement named name, prepared on this connection by Prepare.
  [[nodiscard]] std::int32_t Prepare(const std::string& name, const std::string& sql);
  PgResult Run(const std::string& name, const PgParams& params);

  // Deferred inserts: rows for the prepared insert name, which takes each
  // column as an array (one element per row) and answers a row per row it
  // stored (none for a row whose unique key is taken). The rows are queued,
  // and sent as one statement ahead of the next statement, in its round
  // trip (a pipeline), or by Flush. The first failure of queued rows is kept
  // (DeferredFailure) until DropDeferred; one that failed on the server
  // also fails the statement it went with. Returns the runtime error of a
  // flush that had to run first (a full queue, another statement).
  [[nodiscard]] std::int32_t Defer(const std::string& name, PgParams row);
  // Sends what is queued; the first failure of queued rows, kept.
  [[nodiscard]] std::int32_t Flush();
  // Records the kept failure as the runtime error; returns its code.
  std::int32_t DeferredFailure() const;
  // Forgets the queue and the kept failure (the transaction is rolled back).
  void DropDeferred();

  // Records the runtime error for a failed result (null: the connection's):
  // unique violation DuplicateKey, lock not available or deadlock
  // FileLocked, no privilege or a read-only server AccessDenied, a missing
  // table FileNotFound, anything else DriverFailure. Returns the code.
  std::int32_t Error(const PGresult* result);

  PGconn* Handle() const { return conn_; }

 private:
  // The statement a pipeline carries after the queue: prepared (name) or
  // text with parameters.
  struct Final {
    const std::string* name = nullptr;
    const std::string* sql = nullptr;
    const PgParams* params = nullptr;
  };

  PgResult Checked(PGresult* raw);
  // Sends the queue and then final (when not null) in one pipeline. False
  // when the pipeline itself failed (the connection is dropped, the error
  // set); else result is final's, or nullptr with its error set.
  bool Pipelined(const Final* final, PgResult& result);
  // Takes the queued rows' result (rows of them): a failure is kept.
  void TakeDeferredResult(const PGresult* result, std::size_t rows);
  std::string Scrubbed(std::string text) const;

  PGconn* conn_ = nullptr;
  std::string password_;  // taken out of every text shown
  std::string shown_;     // the connection, without its password
  std::string deferredName_;
  std::vector<PgParams> deferred_;
  bool failed_ = false;  // queued rows failed
  RuntimeError failure_;
};

// One column of rows as an array literal, one element per row.
std::string PgArray(const std::vector<PgParams>& rows, int column);

// Whether a result column is SQL NULL, and its text.
inline std::string_view PgText(const PGresult* result, int row, int column) {
  return {PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column))};
}

}  // namespace runtime
