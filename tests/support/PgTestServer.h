// A PostgreSQL server of the system's packages for the tests: initdb into a
// temporary folder (as the unprivileged user "postgres" when the tests run
// as root, since the server refuses root), listening on 127.0.0.1 at a free
// port with no unix socket, stopped and removed at the end. Start and Stop
// wait on pg_ctl, which returns once the server accepts connections or has
// ended.
#pragma once

#include <string>

namespace testing_support {

class PgTestServer {
 public:
  // Makes and starts the server; Ok() tells whether it runs, Failure() why not.
  PgTestServer();
  ~PgTestServer();
  PgTestServer(const PgTestServer&) = delete;
  PgTestServer& operator=(const PgTestServer&) = delete;

  bool Ok() const { return failure_.empty(); }
  const std::string& Failure() const { return failure_; }
  // key=value connection string of its database "marlinden".
  std::string Connection() const;
  int Port() const { return port_; }

  // Stops the server (fast: connections are ended) and starts it again at
  // the same port and folder.
  bool Stop();
  bool Start();

 private:
  bool Run(const std::string& command) const;

  std::string dir_;
  std::string bin_;
  int port_ = 0;
  bool running_ = false;
  std::string failure_;
};

// The test server the process uses; its connection string is in the
// environment variable MARLINDEN_TEST_DATABASE for the keyed driver's suite.
inline constexpr const char* kTestDatabaseVariable = "MARLINDEN_TEST_DATABASE";

// Runs sql on the server the connection names; the server's error text, or
// empty on success. result, when given, receives the first value of the
// first row.
std::string PgExec(const std::string& connection, const std::string& sql, std::string* result = nullptr);

// A schema of its own for one test: the connection string that uses it.
// Dropped again with DropTestSchema.
std::string MakeTestSchema(const std::string& connection, std::string& schema);
void DropTestSchema(const std::string& connection, const std::string& schema);

}  // namespace testing_support
