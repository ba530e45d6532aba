#include "main/cli/BookmarkCommands.h"

#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "main/cli/CommandLineAnswers.h"
#include "procedures/BatchProgress.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportProcess.h"
#include "runtime/system/RuntimeError.h"
#include "window/Globals.h"

namespace marlinden::cli {
namespace {

// Draws the batches' progress as a bar on standard error, only when it is
// a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err) : err_(err), active_(::isatty(STDERR_FILENO) == 1) {
    if (!active_) return;
    BatchProgressListen = [this](std::string_view line, int percent) { Draw(line, percent); };
  }
  ~ProgressBar() {
    if (!active_) return;
    BatchProgressListen = nullptr;
    if (drawn_) err_ << "\n";
  }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

 private:
  void Draw(std::string_view line, int percent) {
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    if (drawn_ && line != line_) err_ << "\n";
    line_ = std::string(line);
    err_ << "\r" << line << " [" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << percent << "%" << std::flush;
    drawn_ = true;
  }

  std::ostream& err_;
  const bool active_;
  bool drawn_ = false;
  std::string line_;
};

// FILE [--yes]: the file is resolved against the folder the user is in.
int ParseFileAndYes(const char* name, std::span<const std::string> args, std::ostream& err, std::string& file,
                    bool& yes) {
  for (const std::string& arg : args) {
    if (arg == "--yes") {
      yes = true;
    } else if (arg.starts_with("--") || !file.empty()) {
      err << "marlinden-cli " << name << ": unexpected argument " << arg << "\n";
      return kExitUsage;
    } else {
      file = std::filesystem::absolute(arg).string();
    }
  }
  if (file.empty()) {
    err << "marlinden-cli " << name << ": name the bookmark file\n";
    return kExitUsage;
  }
  return kExitOk;
}

class ImportCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    return ParseFileAndYes("import", args, err, file_, yes_);
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    if (const std::string problem = ImportFileProblem(file_); !problem.empty()) {
      err << "marlinden-cli: Import Bookmarks: " << problem << "\n";
      return kExitNoInput;
    }
    CommandLineAnswers answers(yes_ ? Answer::Yes : Answer::No, err);
    {
      ProgressBar bar(err);
      ImportProcess(file_);
    }
    const ImportFigures& figures = LastImportFigures;
    if (figures.noBookmarks) return kExitDataError;
    out << ImportSummary(figures);
    return figures.failure.empty() ? kExitOk : kExitIoError;
  }

 private:
  std::string file_;
  bool yes_ = false;
};

class ExportCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    return ParseFileAndYes("export", args, err, file_, yes_);
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    if (const std::string problem = ExportTargetProblem(file_); !problem.empty()) {
      err << "marlinden-cli: Export Bookmarks: " << problem << "\n";
      return kExitCannotCreate;
    }
    if (!yes_ && ExportTargetExists(file_)) {
      err << "marlinden-cli: Export Bookmarks: " << file_ << " already exists; give --yes to replace it.\n";
      return kExitCannotCreate;
    }
    CommandLineAnswers answers(yes_ ? Answer::Yes : Answer::No, err);
    {
      ProgressBar bar(err);
      ExportProcess(file_);
    }
    if (LastExportFailed) return kExitIoError;
    out << "bookmarks exported: " << LastExportLines << "\n";
    return kExitOk;
  }

 private:
  std::string file_;
  bool yes_ = false;
};

class ListCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    if (args.empty()) return kExitOk;
    err << "marlinden-cli list: takes no arguments\n";
    return kExitUsage;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      runtime::DataFile& file = BookmarkStore();
      (void)file.SetOrder(WebNameKey);
      while (file.Next() == runtime::NoError) {
        out << file.Record().Field(WebUrl).ClippedText() << '\t' << file.Record().Field(WebDescription).ClippedText()
            << '\n';
      }
      return kExitOk;
    });
  }
};

class CountCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    if (args.empty()) return kExitOk;
    err << "marlinden-cli count: takes no arguments\n";
    return kExitUsage;
  }
  int Execute(std::ostream& out, std::ostream& err) override {
    return WithBookmarkFile(err, [&] {
      out << BookmarkStore().Records() << '\n';
      return kExitOk;
    });
  }
};

}  // namespace

std::unique_ptr<CliCommand> MakeImportCommand() { return std::make_unique<ImportCommand>(); }
std::unique_ptr<CliCommand> MakeExportCommand() { return std::make_unique<ExportCommand>(); }
std::unique_ptr<CliCommand> MakeListCommand() { return std::make_unique<ListCommand>(); }
std::unique_ptr<CliCommand> MakeCountCommand() { return std::make_unique<CountCommand>(); }

}  // namespace marlinden::cli
