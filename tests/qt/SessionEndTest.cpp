// The session's end and SIGTERM close every window the ordinary way: each
// window's loop takes the close-down event, so the program ends through its
// own shutdown instead of being killed.
#include <csignal>

#include "qt/QtFixture.h"
#include "qt/SessionEnd.h"
#include "runtime/ui/RuntimeThread.h"

namespace runtime::qt {
namespace {

ui::WindowDescription Plain(std::string name) {
  ui::WindowDescription d;
  d.name = name;
  d.title = std::move(name);
  d.rect = {10, 10, 120, 60};
  return d;
}

class SessionEndTest : public testing::QtFixture {};

TEST_F(SessionEndTest, SigtermClosesDownEveryWindowOfEveryThread) {
  SessionEnd sessionEnd(backend);
  Start([&] {
    ui::StartThread([&] { RunWindow(Plain("second")); }, 25000);
    RunWindow(Plain("first"));
  });
  ASSERT_NE(WaitForWindows(2), nullptr);
  ASSERT_EQ(std::raise(SIGTERM), 0);
  EXPECT_TRUE(PumpUntil([&] { return program->WaitForEnd(std::chrono::milliseconds(0)); }));
  EXPECT_TRUE(log.Find(ui::EventCode::CloseDown, 0, 1).has_value());
  EXPECT_TRUE(log.Find(ui::EventCode::CloseDown, 0, 2).has_value());
}

}  // namespace
}  // namespace runtime::qt
