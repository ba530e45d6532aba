// The server of the run (ServerTestMain.cpp), for tests that stop it or
// reach it directly.
#pragma once

#include "support/PgTestServer.h"

namespace testing_support {

PgTestServer*& TestServer();

}  // namespace testing_support
