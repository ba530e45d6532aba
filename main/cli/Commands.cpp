#include <array>

#include "main/cli/CliCommand.h"
#include "main/cli/MailCommand.h"

namespace marlinden::cli {

std::span<const CommandEntry> Commands() {
  static constexpr std::array commands{
      CommandEntry{"mail",
                   "--server HOST[:PORT] --from ADDR --to ADDR [--to-name NAME] [--subject TEXT] [--body-file FILE] "
                   "[--attach FILE]",
                   "send one e-mail, with an attached file if given", &MakeMailCommand},
  };
  return commands;
}

}  // namespace marlinden::cli
