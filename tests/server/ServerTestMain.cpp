// The keyed driver's suite and the server's own tests, over one PostgreSQL
// server started for the run (PgTestServer) and stopped at its end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <iostream>

#include "tests/server/ServerTestSupport.h"

namespace testing_support {

PgTestServer*& TestServer() {
  static PgTestServer* server = nullptr;
  return server;
}

}  // namespace testing_support

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testing_support::PgTestServer server;
  if (!server.Ok()) {
    std::cerr << "cannot start the test database server: " << server.Failure() << "\n";
    return 1;
  }
  testing_support::TestServer() = &server;
  ::setenv(testing_support::kTestDatabaseVariable, server.Connection().c_str(), 1);
  return RUN_ALL_TESTS();
}
