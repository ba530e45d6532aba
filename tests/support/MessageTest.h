// A base for the tests of layers that show messages: message boxes are
// answered from the test's script (one without an answer fails the test),
// a halt is recorded instead of ending the test process, and the captions
// shown so far read as one list.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/system/Halt.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace testing_support {

class MessageTest : public ::testing::Test {
 protected:
  MessageTest() {
    boxes.OnUnscripted([](const runtime::ui::MessageBoxRequest& r) {
      ADD_FAILURE() << "unscripted box \"" << r.caption << "\": " << r.text;
    });
    previousHalt_ = runtime::SetHaltHandler([this](int code, std::string_view text) {
      haltCode = code;
      haltText = std::string(text);
    });
  }
  ~MessageTest() override { runtime::SetHaltHandler(previousHalt_); }

  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& request : boxes.Requests()) captions.push_back(request.caption);
    return captions;
  }

  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  int haltCode = -1;  // the exit code of the last halt; -1 while there was none
  std::string haltText;

 private:
  runtime::HaltHandler previousHalt_;
};

}  // namespace testing_support
