// A fatal message halts the program in order: the program runs in a child
// process on the Qt backend (offscreen), a runtime thread raises a fatal
// message while thread 1 waits in its window, its user answers the box, and
// the process ends with status 0, thread 1 closed down, the bookmark file
// closed and whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"
#include "support/BookmarkLayout.h"
#include "support/TempDir.h"

extern char** environ;

namespace runtime::qt {
namespace {

// Runs program with one argument, its standard output to outputPath; the
// exit status (-1 when it did not end by itself within the timeout).
int RunChild(const std::string& program, const std::string& argument, const std::string& outputPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string name = program;
  std::string arg = argument;
  char* argv[] = {name.data(), arg.data(), nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  // Wait for its end as an event, under a watchdog.
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd ended{pidfd, POLLIN, 0};
    const int ready = poll(&ended, 1, 30'000);
    close(pidfd);
    if (ready == 0) kill(pid, SIGKILL);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(QtFatalHaltTest, AFatalMessageOnARuntimeThreadEndsTheProgramInOrderWithStatusZero) {
  testing_support::TempDir dir;
  const std::string output = dir.File("output.txt");
  EXPECT_EQ(RunChild(MARLINDEN_FATAL_HALT_PROGRAM, dir.Path().string(), output), 0);

  std::ifstream in(output);
  std::stringstream text;
  text << in.rdbuf();
  const std::string said = text.str();
  EXPECT_NE(said.find("box: File Access Error"), std::string::npos) << said;
  EXPECT_NE(said.find("main window closed"), std::string::npos) << "thread 1 was closed down: " << said;
  EXPECT_EQ(said.find("returned from a fatal message"), std::string::npos) << said;
  EXPECT_EQ(said.find("ended without a halt"), std::string::npos) << said;

  // No station is left on the file, and what was added is there.
  auto file = DataFile::Make(Driver::Keyed, testing_support::BookmarkLayout(), dir.File("MARLINDEN"));
  ASSERT_EQ(file->Open(AccessReadWrite | ShareDenyAll), NoError) << LastError().driverText;
  EXPECT_EQ(file->Records(), 1);
  ASSERT_EQ(file->SetOrder(0), NoError);
  ASSERT_EQ(file->Next(), NoError);
  EXPECT_EQ(file->Record().Field("URL").ClippedText(), "http://kept/");
  EXPECT_EQ(file->Close(), NoError);
}

}  // namespace
}  // namespace runtime::qt
