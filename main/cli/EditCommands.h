// marlinden-cli's commands that change the collection one bookmark at a
// time, by the rules the main window keeps: add (a new bookmark, numbered
// as the window numbers it), change (the description, notes or folder of
// the bookmark stored under an address, letter case aside, saved as a row
// edited in place) and delete (that bookmark). A refusal (a blank, too long or stored
// address; a delete of an address not stored) is said on standard error
// and ends with kExitRefused.
#pragma once

#include <memory>

#include "main/cli/CliCommand.h"

namespace marlinden::cli {

inline constexpr int kExitRefused = 1;

std::unique_ptr<CliCommand> MakeAddCommand();
std::unique_ptr<CliCommand> MakeChangeCommand();
std::unique_ptr<CliCommand> MakeDeleteCommand();

}  // namespace marlinden::cli
