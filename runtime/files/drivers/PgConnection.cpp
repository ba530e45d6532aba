#include "runtime/files/drivers/PgConnection.h"

#include <array>

#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
constexpr const char* kConnectTimeoutSeconds = "10";

}  // namespace

std::string PgArray(const std::vector<PgParams>& rows, int column) {
  std::string array = "{";
  for (const PgParams& row : rows) {
    if (array.size() > 1) array += ',';
    if (row.IsNull(column)) {
      array += "NULL";
      continue;
    }
    array += '"';
    for (const char c : row.Value(column)) {
      if (c == '"' || c == '\\') array += '\\';
      array += c;
    }
    array += '"';
  }
  return array + "}";
}

namespace {

// The password libpq would use from the connection string itself, so that
// it can be taken out of any text shown.
std::string PasswordOf(const std::string& connection) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.c_str(), &error);
  PQfreemem(error);
  std::string password;
  if (options == nullptr) return password;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (std::string_view(option->keyword) == "password" && option->val != nullptr) password = option->val;
  }
  PQconninfoFree(options);
  return password;
}
}  // namespace

std::vector<const char*> PgParams::Pointers() const {
  std::vector<const char*> pointers(values_.size());
  for (std::size_t i = 0; i < values_.size(); ++i) pointers[i] = nulls_[i] ? nullptr : values_[i].c_str();
  return pointers;
}

PgConnection::~PgConnection() { Disconnect(); }

std::int32_t PgConnection::Connect(std::string_view connection) {
  Disconnect();
  const std::string conninfo = ServerConnectionString(connection);
  password_ = PasswordOf(conninfo);
  shown_ = RedactedConnection(connection);
  // Later keywords override earlier ones: the defaults come first, so the
  // connection string's own values win.
  const std::array<const char*, 4> keywords{"connect_timeout", "application_name", "dbname", nullptr};
  const std::array<const char*, 4> values{kConnectTimeoutSeconds, "marlinden", conninfo.c_str(), nullptr};
  conn_ = PQconnectdbParams(keywords.data(), values.data(), 1);
  if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) {
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    return SetError(NoError);
  }
  const std::string reason = conn_ != nullptr ? Scrubbed(PQerrorMessage(conn_)) : "out of memory";
  Disconnect();
  return SetError(DriverFailure, "connect", "cannot connect to the database server " + shown_ + ": " + reason);
}

void PgConnection::Disconnect() {
  if (conn_ != nullptr) PQfinish(conn_);
  conn_ = nullptr;
  DropDeferred();
}

bool PgConnection::Connected() const { return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK; }

std::string PgConnection::Scrubbed(std::string text) const {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (password_.empty()) return text;
  for (std::size_t at = text.find(password_); at != std::string::npos; at = text.find(password_, at)) {
    text.replace(at, password_.size(), "***");
  }
  return text;
}

std::int32_t PgConnection::Error(const PGresult* result) {
  if (conn_ == nullptr) return SetError(DriverFailure, "connect", "not connected to the database server");
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const std::string message = Scrubbed(result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
  if (PQstatus(conn_) != CONNECTION_OK) {
    return SetError(DriverFailure, state != nullptr ? state : "connection",
                    "the connection to the database server " + shown_ + " was lost: " + message);
  }
  const std::string_view code = state != nullptr ? state : "";
  std::int32_t mapped = DriverFailure;
  if (code == "23505") {
    mapped = DuplicateKey;
  } else if (code == "55P03" || code == "40P01" || code == "40001") {
    mapped = FileLocked;
  } else if (code == "42501" || code == "25006") {
    mapped = AccessDenied;
  } else if (code == "42P01") {
    mapped = FileNotFound;
  }
  return SetError(mapped, code, message);
}

PgResult PgConnection::Checked(PGresult* raw) {
  PgResult result(raw);
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    SetError(NoError);
    return result;
  }
  Error(result.get());
  return nullptr;
}

std::int32_t PgConnection::Exec(const std::string& sql) {
  if (conn_ == nullptr) return Error(nullptr);
  // Several statements in one text cannot go in a pipeline: the queue goes
  // first, on its own.
  PgResult none;
  if (!deferred_.empty() && !Pipelined(nullptr, none)) return LastErrorCode();
  return Checked(PQexec(conn_, sql.c_str())) ? NoError : LastErrorCode();
}

PgResult PgConnection::Query(const std::string& sql, const PgParams& params) {
  if (conn_ == nullptr) {
    Error(nullptr);
    return nullptr;
  }
  if (!deferred_.empty()) {
    PgResult result;
    const Final final{nullptr, &sql, &params};
    return Pipelined(&final, result) ? std::move(result) : nullptr;
  }
  const std::vector<const char*> values = params.Pointers();
  return Checked(PQexecParams(conn_, sql.c_str(), params.Count(), nullptr, values.data(), nullptr, nullptr, 0));
}

std::int32_t PgConnection::Prepare(const std::string& name, const std::string& sql) {
  if (conn_ == nullptr) return Error(nullptr);
  return Checked(PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr)) ? NoError : LastErrorCode();
}

PgResult PgConnection::Run(const std::string& name, const PgParams& params) {
  if (conn_ == nullptr) {
    Error(nullptr);
    return nullptr;
  }
  if (!deferred_.empty()) {
    PgResult result;
    const Final final{&name, nullptr, &params};
    return Pipelined(&final, result) ? std::move(result) : nullptr;
  }
  const std::vector<const char*> values = params.Pointers();
  return Checked(PQexecPrepared(conn_, name.c_str(), params.Count(), values.data(), nullptr, nullptr, 0));
}

// --- Deferred inserts -------------------------------------------------------------

std::int32_t PgConnection::Defer(const std::string& name, PgParams row) {
  if (conn_ == nullptr) return Error(nullptr);
  if (!deferred_.empty() && (deferred_.size() >= kDeferredRows || name != deferredName_)) {
    PgResult none;
    if (!Pipelined(nullptr, none)) return LastErrorCode();
  }
  deferredName_ = name;
  deferred_.push_back(std::move(row));
  return SetError(NoError);
}

std::int32_t PgConnection::Flush() {
  if (conn_ == nullptr) return deferred_.empty() && !failed_ ? SetError(NoError) : Error(nullptr);
  PgResult none;
  if (!deferred_.empty() && !Pipelined(nullptr, none)) return LastErrorCode();
  return failed_ ? DeferredFailure() : SetError(NoError);
}

std::int32_t PgConnection::DeferredFailure() const {
  return SetError(failure_.code, failure_.driverCode, failure_.driverText);
}

void PgConnection::DropDeferred() {
  deferred_.clear();
  failed_ = false;
  failure_ = RuntimeError{};
}

void PgConnection::TakeDeferredResult(const PGresult* result, std::size_t rows) {
  const ExecStatusType status = PQresultStatus(result);
  if (failed_) return;
  if (status == PGRES_TUPLES_OK && static_cast<std::size_t>(PQntuples(result)) == rows) return;
  if (status == PGRES_TUPLES_OK) {
    SetError(DuplicateKey, "23505",
             "a record added in this transaction was not stored: the value of a UNIQUE key is taken by another "
             "record");
  } else {
    Error(result);
  }
  failed_ = true;
  failure_ = LastError();
}

bool PgConnection::Pipelined(const Final* final, PgResult& result) {
  result.reset();
  std::vector<PgParams> rows;
  rows.swap(deferred_);
  auto broken = [this]() {
    Error(nullptr);
    const RuntimeError error = LastError();
    // A pipeline left half read cannot be used again: the connection goes,
    // and with it the transaction, which the owner learns as a lost one.
    if (conn_ != nullptr) PQfinish(conn_);
    conn_ = nullptr;
    SetError(error.code, error.driverCode.empty() ? "connection" : error.driverCode,
             error.driverText + " (the connection was closed)");
    return false;
  };
  if (PQenterPipelineMode(conn_) != 1) return broken();
  bool sent = true;
  if (!rows.empty()) {
    PgParams columns;
    for (int column = 0; column < rows.front().Count(); ++column) columns.Add(PgArray(rows, column));
    const std::vector<const char*> values = columns.Pointers();
    sent = PQsendQueryPrepared(conn_, deferredName_.c_str(), columns.Count(), values.data(), nullptr, nullptr, 0) == 1;
  }
  if (final != nullptr) {
    const std::vector<const char*> values = final->params->Pointers();
    sent = sent && (final->name != nullptr ? PQsendQueryPrepared(conn_, final->name->c_str(), final->params->Count(),
                                                                 values.data(), nullptr, nullptr, 0)
                                           : PQsendQueryParams(conn_, final->sql->c_str(), final->params->Count(),
                                                               nullptr, values.data(), nullptr, nullptr, 0)) == 1;
  }
  if (!sent || PQpipelineSync(conn_) != 1) return broken();
  // Each statement answers one result and a null that ends it.
  const std::size_t queued = rows.empty() ? 0 : 1;
  const std::size_t statements = queued + (final != nullptr ? 1 : 0);
  for (std::size_t i = 0; i < statements; ++i) {
    PgResult answer(PQgetResult(conn_));
    if (!answer) return broken();
    while (PQstatus(conn_) == CONNECTION_OK) {
      PGresult* more = PQgetResult(conn_);
      if (more == nullptr) break;
      PQclear(more);
    }
    if (i < queued) {
      TakeDeferredResult(answer.get(), rows.size());
    } else if (PQresultStatus(answer.get()) == PGRES_PIPELINE_ABORTED) {
      (void)DeferredFailure();
    } else {
      result = Checked(answer.release());
    }
  }
  PgResult sync(PQgetResult(conn_));
  if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC || PQexitPipelineMode(conn_) != 1) return broken();
  if (final == nullptr || result) {
    SetError(NoError);
  } else if (PQstatus(conn_) != CONNECTION_OK) {
    return broken();
  }
  return true;
}

}  // namespace runtime
