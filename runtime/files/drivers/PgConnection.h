// The server driver's connection to PostgreSQL (libpq): owning handles,
// parameter lists in text form, and the mapping of the server's results onto
// the runtime's error codes. A lost connection is told as such; the owner
// connects again before its next operation. Used under the runtime lock.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // Pointers into the values, valid until the next change.
  std::vector<const char*> Pointers() const;

 private:
  std::vector<std::string> values_;
  std::vector<bool> nulls_;
};

class PgConnection {
 public:
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

  // Records the runtime error for a failed result (null: the connection's):
  // unique violation DuplicateKey, lock not available or deadlock
  // FileLocked, no privilege or a read-only server AccessDenied, a missing
  // table FileNotFound, anything else DriverFailure. Returns the code.
  std::int32_t Error(const PGresult* result);

  PGconn* Handle() const { return conn_; }

 private:
  PgResult Checked(PGresult* raw);
  std::string Scrubbed(std::string text) const;

  PGconn* conn_ = nullptr;
  std::string password_;  // taken out of every text shown
  std::string shown_;     // the connection, without its password
};

// Whether a result column is SQL NULL, and its text.
inline std::string_view PgText(const PGresult* result, int row, int column) {
  return {PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column))};
}

}  // namespace runtime
