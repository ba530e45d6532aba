// A fixture for tests that run marlinden-cli as a user does: each call runs
// the built program (MARLINDEN_CLI) on the test's own data folder, keeps
// what it writes to standard error for Err, and returns its output and exit
// status.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/CommandOutput.h"
#include "support/TempDir.h"

namespace testing_support {

class CliTest : public ::testing::Test {
 protected:
  CommandResult Cli(const std::string& args) {
    return RunCommand(std::string(MARLINDEN_CLI) + " --data " + dir.File("data") + " " + args + " 2>" +
                      dir.File("err"));
  }
  // What the last call wrote to standard error.
  std::string Err() const {
    std::ifstream in(dir.File("err"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir;
};

}  // namespace testing_support
