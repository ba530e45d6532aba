// marlinden-cli's bookmark commands: import (then the clean-up), export,
// list, search, count and the link check, running the window program's procedures on the headless
// backend in the data folder.
#pragma once

#include <memory>

#include "main/cli/CliCommand.h"

namespace marlinden::cli {

// Exit status of an export whose file could not be written, and of an
// import that stopped early because the bookmarks could not be saved.
inline constexpr int kExitIoError = 74;
// Exit status of an import of a file that holds no bookmarks.
inline constexpr int kExitDataError = 65;
// Exit status of a search that found no bookmark.
inline constexpr int kExitNothingFound = 1;

std::unique_ptr<CliCommand> MakeImportCommand();
std::unique_ptr<CliCommand> MakeExportCommand();
std::unique_ptr<CliCommand> MakeListCommand();
std::unique_ptr<CliCommand> MakeSearchCommand();
std::unique_ptr<CliCommand> MakeCountCommand();
std::unique_ptr<CliCommand> MakeCheckCommand();

}  // namespace marlinden::cli
