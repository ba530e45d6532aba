// A fixture member for tests whose code must never halt: while it lives, a
// halt (a fatal message ending the program) fails the test instead of
// ending the test program.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "runtime/system/Halt.h"

namespace testing_support {

class FailOnHalt {
 public:
  FailOnHalt()
      : previous_(runtime::SetHaltHandler([](int, std::string_view text) { ADD_FAILURE() << "halted: " << text; })) {}
  ~FailOnHalt() { runtime::SetHaltHandler(previous_); }
  FailOnHalt(const FailOnHalt&) = delete;
  FailOnHalt& operator=(const FailOnHalt&) = delete;

 private:
  runtime::HaltHandler previous_;
};

}  // namespace testing_support
