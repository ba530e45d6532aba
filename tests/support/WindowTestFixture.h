// A fixture for window-layer tests: a headless backend, a program run and a
// test driver, with every unanswered question and every watchdog timeout
// failing the test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/headless/HeadlessBackend.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"
#include "testing/TestDriver.h"

namespace runtime::ui::testing {

// A window of n entries followed by an OK button (control n + 1).
inline WindowDescription Form(std::string name, int entries = 2) {
  WindowDescription d;
  d.name = name;
  d.title = std::move(name);
  d.rect = {10, 10, 200, 100};
  for (int i = 0; i < entries; ++i) {
    ControlDescription c;
    c.kind = ControlKind::Entry;
    c.rect = {10, 10 + 14 * i, 80, 12};
    c.picture = "@s20";
    d.controls.push_back(c);
  }
  ControlDescription ok;
  ok.kind = ControlKind::Button;
  ok.text = "OK";
  d.controls.push_back(ok);
  return d;
}

template <typename Backend = HeadlessBackend>
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.OnUnscripted(
        [](std::string_view kind, std::string_view what) { ADD_FAILURE() << "unscripted " << kind << ": " << what; });
    driver.OnTimeout([](std::string_view what) { ADD_FAILURE() << "watchdog: waited too long for " << what; });
    program = std::make_unique<Program>(backend);
  }

  void TearDown() override {
    if (!program->WaitForEnd(std::chrono::seconds(10))) {
      ADD_FAILURE() << "the program did not end";
      std::abort();  // threads still running would outlive the fixture
    }
    program.reset();
  }

  // Starts thread 1 with main.
  void Start(std::function<void()> main) { ASSERT_TRUE(program->Start(std::move(main))); }

  Backend backend;
  TestDriver driver{std::chrono::seconds(10)};
  std::unique_ptr<Program> program;
};

}  // namespace runtime::ui::testing
