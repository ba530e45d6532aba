// Starting other programs without a shell: each argument reaches the program
// exactly as given, as one argument, so no text can ever run a command. The
// program is looked up on PATH. The child gets standard input from /dev/null,
// default signal handling, and none of this process's other descriptors
// (open data files stay private). Any thread.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace runtime::platform {

// Starts program with args and returns at once; false when it could not be
// started (not found, not executable). The child is reaped in the background
// when it ends, so none is left behind as a zombie.
bool StartProgram(const std::string& program, const std::vector<std::string>& args);

// Waits until every program StartProgram started has ended; false when
// timeout passed first. For tests, which must know a child has done its work.
bool WaitForStartedPrograms(std::chrono::milliseconds timeout);

struct CapturedOutput {
  bool started = false;
  bool timedOut = false;  // stopped because it took longer than allowed
  int exitStatus = -1;    // the exit code; -1 when it did not exit normally
  std::string output;     // standard output, at most kMaxCapturedBytes
};

inline constexpr std::size_t kMaxCapturedBytes = 64 * 1024;

// Runs program with args and collects its standard output (its standard
// error is discarded). A program still running after timeout (runtime-clock
// time) is killed. Blocks the caller for at most about timeout, waiting
// through the wait service (the runtime lock is released meanwhile).
CapturedOutput CaptureOutput(const std::string& program, const std::vector<std::string>& args,
                             std::chrono::milliseconds timeout);

}  // namespace runtime::platform
