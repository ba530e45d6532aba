#include "runtime/files/drivers/PgConnection.h"

#include <array>

#include "runtime/files/drivers/KeyedServer.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
constexpr const char* kConnectTimeoutSeconds = "10";

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
  return Checked(PQexec(conn_, sql.c_str())) ? NoError : LastErrorCode();
}

PgResult PgConnection::Query(const std::string& sql, const PgParams& params) {
  if (conn_ == nullptr) {
    Error(nullptr);
    return nullptr;
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
  const std::vector<const char*> values = params.Pointers();
  return Checked(PQexecPrepared(conn_, name.c_str(), params.Count(), values.data(), nullptr, nullptr, 0));
}

}  // namespace runtime
