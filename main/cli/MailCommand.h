// marlinden-cli mail: sends one message through the mail sender, as the
// e-mail form does, without a form and without touching the mail settings
// file. The exit status is the sender's result code (0 when sent); on
// failure its text goes to standard error.
#pragma once

#include <memory>

#include "main/cli/CliCommand.h"

namespace marlinden::cli {

std::unique_ptr<CliCommand> MakeMailCommand();

}  // namespace marlinden::cli
