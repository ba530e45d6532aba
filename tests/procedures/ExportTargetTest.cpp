// Where the export writes, and what it leaves: a run over a bookmark file
// that cannot be opened leaves the target alone.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/StartUp.h"
#include "procedures/ExportProcess.h"
#include "runtime/system/Halt.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class ExportTargetTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void RunMain(const std::function<void()>& body) {
    Start([body] { RunProgram(body); });
    ASSERT_TRUE(program->WaitForEnd(60s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  std::string Path(const std::string& name) const { return cwd.Dir().File(name); }

  testing_support::TempCurrentDirectory cwd;
};

// A bookmark file that cannot be opened is told once; the run wrote
// nothing, so there is nothing to put in the target's place.
TEST_F(ExportTargetTest, ABookmarkFileThatCannotBeOpenedGivesOneMessageAndKeepsTheTarget) {
  WriteBytes(Path("MARLINDEN.db"), "these are not bookmarks");
  const std::string target = Path("out.htm");
  WriteBytes(target, "previous contents\n");
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  std::vector<std::string> halts;
  const runtime::HaltHandler previous =
      runtime::SetHaltHandler([&halts](int, std::string_view text) { halts.emplace_back(text); });
  RunMain([&] { ExportProcess(target); });
  runtime::SetHaltHandler(previous);
  EXPECT_EQ(halts, std::vector<std::string>{"File Access Error"});
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "File Access Error");
  EXPECT_EQ(ReadBytes(target), "previous contents\n");
  EXPECT_FALSE(std::filesystem::exists(ExportTemporaryPath(target)));
  EXPECT_EQ(ReadBytes(Path("MARLINDEN.db")), "these are not bookmarks");
}

}  // namespace
}  // namespace marlinden
