// marlinden-cli: the command-line companion of the window program. It runs
// the same code on the headless backend: global options, then one command
// (see Commands()), which runs on the runtime's thread 1 after start-up in
// the data folder. Questions the code would ask a user are answered with
// their default and written to standard error.
#include <iostream>
#include <string>
#include <vector>

#include "app/DataFolder.h"
#include "app/StartUp.h"
#include "main/cli/CliCommand.h"
#include "main/cli/PrintingBackend.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/system/Halt.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/RuntimeThread.h"

namespace marlinden::cli {
namespace {

constexpr const char* kVersion = "3.0";

void PrintHelp(std::ostream& out) {
  out << "Usage: marlinden-cli [--data DIR] [--database CONNECTION] COMMAND [OPTIONS]\n"
         "       marlinden-cli --help | --version\n\n"
         "Options:\n"
         "  --data DIR   the data folder (default: $MARLINDEN_DATA, else $XDG_DATA_HOME/marlinden,\n"
         "               else ~/.local/share/marlinden); created when missing\n"
         "  --database CONNECTION\n"
         "               keep the collection on a PostgreSQL server: a libpq connection string\n"
         "               (postgresql://user@host:port/dbname?sslmode=verify-full) or a service name\n"
         "               (default: $MARLINDEN_DATABASE, else the first line of database.conf in the\n"
         "               data folder, else the local files)\n"
         "  --help       show this text\n"
         "  --version    show the version\n\n"
         "Commands:\n";
  for (const CommandEntry& command : Commands()) {
    out << "  " << command.name << " " << command.usage << "\n      " << command.summary << "\n";
  }
  out << "\nEnvironment:\n"
         "  MARLINDEN_MAIL_CA_FILE   a PEM file of certificate authorities trusted for mail servers\n"
         "                           and by the link check, besides the system's\n";
}

const CommandEntry* FindCommand(const std::string& name) {
  for (const CommandEntry& command : Commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// Runs command on the headless backend's thread 1 after start-up.
int RunCommand(CliCommand& command) {
  PrintingBackend backend;
  backend.OnUnscripted([](std::string_view kind, std::string_view what) {
    std::cerr << "marlinden-cli: " << kind << ": " << what << "\n";
  });
  backend.MessageBoxes().OnUnscripted([](const runtime::ui::MessageBoxRequest& request) {
    std::cerr << "marlinden-cli: " << (request.caption.empty() ? "" : request.caption + ": ") << request.text << "\n";
  });
  // A fatal message ends the run in order (other threads closed down, the
  // files closed) and, unlike the window program, with a failure status.
  const runtime::HaltHandler previous = runtime::SetHaltHandler([](int exitCode, std::string_view text) {
    if (!text.empty()) std::cerr << "marlinden-cli: " << text << "\n";
    runtime::ui::HaltProgram(exitCode == 0 ? kExitSoftware : exitCode);
  });
  int status = kExitOk;
  runtime::ui::Program program(backend);
  if (!program.Start([&] { (void)RunProgram([&] { status = command.Execute(std::cout, std::cerr); }); })) {
    std::cerr << "marlinden-cli: cannot start the runtime\n";
    return kExitSoftware;
  }
  program.WaitForEnd();
  runtime::SetHaltHandler(previous);
  return status;
}

int Run(const std::vector<std::string>& args) {
  std::optional<std::string> data;
  std::size_t i = 0;
  for (; i < args.size() && args[i].starts_with("--"); ++i) {
    if (args[i] == "--help") {
      PrintHelp(std::cout);
      return kExitOk;
    }
    if (args[i] == "--version") {
      std::cout << "marlinden-cli " << kVersion << "\n";
      return kExitOk;
    }
    if (args[i] == "--data" && i + 1 < args.size()) {
      data = args[++i];
      continue;
    }
    if (args[i] == "--database" && i + 1 < args.size()) {
      SetDatabaseOption(args[++i]);
      continue;
    }
    std::cerr << "marlinden-cli: unknown option " << args[i] << " (see --help)\n";
    return kExitUsage;
  }
  if (i == args.size()) {
    PrintHelp(std::cerr);
    return kExitUsage;
  }
  const CommandEntry* entry = FindCommand(args[i]);
  if (entry == nullptr) {
    std::cerr << "marlinden-cli: unknown command " << args[i] << " (see --help)\n";
    return kExitUsage;
  }
  const std::vector<std::string> commandArgs(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  if (!commandArgs.empty() && commandArgs[0] == "--help") {
    std::cout << "Usage: marlinden-cli [--data DIR] " << entry->name << " " << entry->usage << "\n  " << entry->summary
              << "\n";
    return kExitOk;
  }
  std::unique_ptr<CliCommand> command = entry->make();
  if (const int parsed = command->Parse(commandArgs, std::cerr); parsed != kExitOk) return parsed;

  const std::optional<std::filesystem::path> folder = DataFolder(data);
  if (!folder) {
    std::cerr << "marlinden-cli: no data folder: give --data or set " << kDataVariable << "\n";
    return kExitCannotCreate;
  }
  if (const std::error_code error = EnterDataFolder(*folder)) {
    std::cerr << "marlinden-cli: cannot use the data folder " << folder->string() << ": " << error.message() << "\n";
    return kExitCannotCreate;
  }
  return RunCommand(*command);
}

}  // namespace
}  // namespace marlinden::cli

int main(int argc, char** argv) { return marlinden::cli::Run(std::vector<std::string>(argv + 1, argv + argc)); }
