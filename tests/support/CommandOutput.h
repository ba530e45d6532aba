// Runs a shell command and collects what it writes to standard output and
// its exit status, for tests of the command-line program and of PDF files
// read back with pdftotext.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_support {

struct CommandResult {
  std::string out;
  int status = -1;  // the exit status; -1 when the command did not exit
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string CommandOutput(const std::string& command) { return RunCommand(command).out; }

}  // namespace testing_support
