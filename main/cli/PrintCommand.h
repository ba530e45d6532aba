// marlinden-cli print: runs the Web Page List on the print path (no preview
// question) for the data folder's collection, to a PDF file or a printer.
// An empty collection says "Nothing to Print." on standard error and ends
// with a non-zero status; so does a print that failed.
#pragma once

#include <memory>

#include "main/cli/CliCommand.h"

namespace marlinden::cli {

std::unique_ptr<CliCommand> MakePrintCommand();

}  // namespace marlinden::cli
