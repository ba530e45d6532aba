#include "support/PgTestServer.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace testing_support {
namespace {

// The highest installed server version's programs.
std::string ServerBin() {
  if (const char* bin = std::getenv("MARLINDEN_PG_BIN"); bin != nullptr && *bin != '\0') return bin;
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
    if (std::filesystem::exists(entry.path() / "bin" / "initdb")) found.push_back((entry.path() / "bin").string());
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return std::stoi(std::filesystem::path(a).parent_path().filename().string()) <
           std::stoi(std::filesystem::path(b).parent_path().filename().string());
  });
  return found.empty() ? std::string() : found.back();
}

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(s);
  return port;
}

}  // namespace

PgTestServer::PgTestServer() : bin_(ServerBin()) {
  if (bin_.empty()) {
    failure_ = "no PostgreSQL server programs under /usr/lib/postgresql (package postgresql)";
    return;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "marlinden-pg-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    failure_ = "cannot make a temporary folder";
    return;
  }
  dir_ = pattern;
  if (::geteuid() == 0) {
    const passwd* user = ::getpwnam("postgres");
    if (user == nullptr || ::chown(dir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
      failure_ = "running as root, but there is no user postgres to run the server as";
      return;
    }
  }
  if (!Run("'" + bin_ + "/initdb' -D '" + dir_ + "/data' -A trust -U marlinden -E UTF8 --locale=C --no-sync")) {
    failure_ = "initdb failed: see " + dir_ + "/initdb.log";
    return;
  }
  port_ = FreePort();
  if (!Start()) return;
  std::string ignored;
  const std::string made = PgExec("host=127.0.0.1 port=" + std::to_string(port_) + " user=marlinden dbname=postgres",
                                  "CREATE DATABASE marlinden", &ignored);
  if (!made.empty()) failure_ = "cannot make the test database: " + made;
}

PgTestServer::~PgTestServer() {
  if (running_) Stop();
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

bool PgTestServer::Run(const std::string& command) const {
  const std::string log = " >>'" + dir_ + "/initdb.log' 2>&1";
  const std::string as = ::geteuid() == 0 ? "runuser -u postgres -- " : "";
  return std::system((as + command + log).c_str()) == 0;
}

bool PgTestServer::Start() {
  const std::string options = "-c listen_addresses=127.0.0.1 -p " + std::to_string(port_) +
                              " -c unix_socket_directories= -c fsync=off -c max_connections=60";
  running_ = Run("'" + bin_ + "/pg_ctl' -D '" + dir_ + "/data' -l '" + dir_ + "/server.log' -w -t 120 -o '" + options +
                 "' start");
  if (!running_) failure_ = "the server did not start: see " + dir_ + "/server.log";
  return running_;
}

bool PgTestServer::Stop() {
  const bool stopped = Run("'" + bin_ + "/pg_ctl' -D '" + dir_ + "/data' -m fast -w -t 120 stop");
  if (stopped) running_ = false;
  return stopped;
}

std::string PgTestServer::Connection() const {
  return "host=127.0.0.1 port=" + std::to_string(port_) + " user=marlinden dbname=marlinden";
}

std::string PgExec(const std::string& connection, const std::string& sql, std::string* result) {
  PGconn* conn = PQconnectdb(connection.c_str());
  std::string error;
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
  } else {
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    PGresult* answer = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(answer);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      error = PQresultErrorMessage(answer);
    } else if (result != nullptr) {
      *result = PQntuples(answer) > 0 && PQnfields(answer) > 0 ? PQgetvalue(answer, 0, 0) : "";
    }
    PQclear(answer);
  }
  PQfinish(conn);
  return error;
}

std::string MakeTestSchema(const std::string& connection, std::string& schema) {
  static std::atomic<int> counter{0};
  schema = "t_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
  (void)PgExec(connection, "CREATE SCHEMA " + schema);
  return connection + " options='-csearch_path=" + schema + "'";
}

void DropTestSchema(const std::string& connection, const std::string& schema) {
  (void)PgExec(connection, "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
}

}  // namespace testing_support
