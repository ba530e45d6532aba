#include "main/cli/PrintCommand.h"

#include <filesystem>

#include "main/cli/PrintingBackend.h"
#include "procedures/WebPageList.h"
#include "window/Globals.h"

namespace marlinden::cli {
namespace {

constexpr int kExitNotPrinted = 1;
constexpr std::int32_t kRecordsPerEvent = 2000;

class PrintCommand : public CliCommand {
 public:
  int Parse(std::span<const std::string> args, std::ostream& err) override {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& option = args[i];
      if (option != "--pdf" && option != "--printer" && option != "--copies") {
        err << "marlinden-cli print: unknown option " << option << "\n";
        return kExitUsage;
      }
      if (i + 1 == args.size()) {
        err << "marlinden-cli print: " << option << " needs a value\n";
        return kExitUsage;
      }
      const std::string& value = args[++i];
      if (option == "--pdf") {
        options_.pdfFile = std::filesystem::absolute(value).string();
      } else if (option == "--printer") {
        options_.printerName = value;
      } else {
        char* end = nullptr;
        const long copies = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || copies < 1 || copies > 999) {
          err << "marlinden-cli print: --copies takes a number from 1 to 999\n";
          return kExitUsage;
        }
        options_.copies = static_cast<std::int32_t>(copies);
      }
    }
    options_.askPreview = false;
    // No window to keep responsive: bigger batches, fewer timer waits.
    options_.recordsPerEvent = kRecordsPerEvent;
    PrepareForPrinting();
    return kExitOk;
  }

  int Execute(std::ostream& out, std::ostream& err) override {
    bool failed = false;
    const std::uint8_t response = WebPageList(options_, &failed);
    if (failed) {
      err << "marlinden-cli print: the report could not be printed\n";
      return kExitNotPrinted;
    }
    if (response != ResponseCompleted) return kExitNotPrinted;
    if (!options_.pdfFile.empty()) out << options_.pdfFile << "\n";
    return kExitOk;
  }

 private:
  WebPageListOptions options_;
};

}  // namespace

std::unique_ptr<CliCommand> MakePrintCommand() { return std::make_unique<PrintCommand>(); }

}  // namespace marlinden::cli
