// The server of the run (ServerTestMain.cpp), for tests that stop it or
// reach it directly, and a fixture that gives each test a schema of its own
// on it as the keyed files' server.
#pragma once

#include <string>

#include "runtime/files/drivers/KeyedServer.h"
#include "support/MessageTest.h"
#include "support/PgTestServer.h"
#include "support/TempDir.h"

namespace testing_support {

PgTestServer*& TestServer();

// Keyed files made during the test live in a schema of their own, dropped
// at its end; messages are answered from the test's script.
class ServerSchemaTest : public MessageTest {
 protected:
  void SetUp() override {
    base_ = TestServer()->Connection();
    connection_ = MakeTestSchema(base_, schema_);
    runtime::SetKeyedServer(connection_);
  }
  void TearDown() override {
    runtime::SetCreationHook({});
    runtime::SetKeyedServer("");
    DropTestSchema(base_, schema_);
  }
  // The first value of sql's first row, run in the test's schema.
  std::string Value(const std::string& sql) const {
    std::string value;
    EXPECT_EQ(PgExec(connection_, sql, &value), "");
    return value;
  }
  // Whether one connection of the driver waits for a lock on the server.
  bool DriverWaitsForALock() const {
    std::string count;
    return PgExec(base_,
                  "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'marlinden' AND wait_event_type = "
                  "'Lock'",
                  &count)
               .empty() &&
           count == "1";
  }

  TempDir dir_;
  std::string base_, connection_, schema_;
};

}  // namespace testing_support
