// One command of marlinden-cli ("mail", and later "import", "export",
// "list", "count", "print"). A command first takes its arguments (before the
// data folder becomes the current directory, so relative paths given on the
// command line are resolved against the folder the user started in), then
// runs on the runtime's thread 1 after start-up, holding the runtime lock.
#pragma once

#include <memory>
#include <ostream>
#include <span>
#include <string>

namespace marlinden::cli {

// Exit statuses shared by every command (a command may add its own below 64).
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 64;         // wrong arguments
inline constexpr int kExitNoInput = 66;       // a named input file cannot be read
inline constexpr int kExitCannotCreate = 73;  // the data folder cannot be made or entered
inline constexpr int kExitSoftware = 70;      // the runtime could not start, or a fatal message ended the run

class CliCommand {
 public:
  virtual ~CliCommand() = default;
  // Takes the arguments after the command's name; kExitOk, or an exit
  // status after writing what is wrong to err.
  [[nodiscard]] virtual int Parse(std::span<const std::string> args, std::ostream& err) = 0;
  // Does the work; returns the exit status.
  [[nodiscard]] virtual int Execute(std::ostream& out, std::ostream& err) = 0;
};

// A command as the dispatcher knows it.
struct CommandEntry {
  const char* name;
  const char* usage;    // the arguments, as --help shows them
  const char* summary;  // one line
  std::unique_ptr<CliCommand> (*make)();
};

// Every command, in the order --help lists them.
std::span<const CommandEntry> Commands();

}  // namespace marlinden::cli
