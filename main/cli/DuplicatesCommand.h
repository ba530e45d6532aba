// marlinden-cli duplicates: the groups of bookmarks that name one page
// under different spellings, and their merge into the oldest of each.
#pragma once

#include <memory>

#include "main/cli/CliCommand.h"

namespace marlinden::cli {

std::unique_ptr<CliCommand> MakeDuplicatesCommand();

}  // namespace marlinden::cli
