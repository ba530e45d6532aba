#include <array>

#include "main/cli/BookmarkCommands.h"
#include "main/cli/CliCommand.h"
#include "main/cli/DuplicatesCommand.h"
#include "main/cli/EditCommands.h"
#include "main/cli/MailCommand.h"
#include "main/cli/PrintCommand.h"

namespace marlinden::cli {

std::span<const CommandEntry> Commands() {
  static constexpr std::array commands{
      CommandEntry{"import", "FILE [--yes]",
                   "import a browser's bookmark file, then remove what is neither a web nor an FTP address",
                   &MakeImportCommand},
      CommandEntry{"export", "FILE [--yes]",
                   "write every bookmark into a bookmark file browsers import; an existing FILE is replaced only "
                   "with --yes",
                   &MakeExportCommand},
      CommandEntry{"list", "[--json] [--link-problems] [--by-folder]",
                   "one bookmark a line, in address order: address, a tab, description; with --json an object of "
                   "url, description, folder, added, modified, notes and link (the last check's status); with "
                   "--link-problems only the bookmarks whose last check found them dead or moved; with "
                   "--by-folder in the folder tab's order (by folder, then description)",
                   &MakeListCommand},
      CommandEntry{"search", "WORD... [--json]",
                   "the bookmarks with every WORD as the start of a word of their address, description, notes or "
                   "folder names (in any letter case, accents ignored), printed as list prints them; exit 1 when "
                   "none",
                   &MakeSearchCommand},
      CommandEntry{"count", "", "the number of bookmarks", &MakeCountCommand},
      CommandEntry{"check", "[--json] [--timeout SECONDS]",
                   "ask for every web address (HEAD, else GET; redirects followed) and keep what was found; one "
                   "line a link: status (ok, redirect, dead, error), HTTP code, address, and the new address or "
                   "the error",
                   &MakeCheckCommand},
      CommandEntry{"duplicates", "[--merge --yes]",
                   "the bookmarks that name one page under different spellings (http or https, www., letter case "
                   "of the host, a default port, a trailing /, the #fragment, tracking parameters), one bookmark a "
                   "line as list prints it, the oldest of a group first, groups apart by an empty line; with "
                   "--merge --yes each group's others are merged into its oldest (notes appended) and deleted",
                   &MakeDuplicatesCommand},
      CommandEntry{"add", "URL [--description TEXT] [--notes TEXT] [--folder NAME]...",
                   "add one bookmark, in the folder the --folder names give from the top down; an address stored "
                   "already (in any letter case) is refused",
                   &MakeAddCommand},
      CommandEntry{"change", "URL [--description TEXT] [--notes TEXT] [--folder NAME]... [--no-folder]",
                   "change the bookmark stored under the address (in any letter case): its description, notes, or "
                   "folder (the --folder names from the top down; --no-folder: none)",
                   &MakeChangeCommand},
      CommandEntry{"delete", "URL", "delete the bookmark stored under the address (in any letter case)",
                   &MakeDeleteCommand},
      CommandEntry{"mail",
                   "--server HOST[:PORT] --from ADDR --to ADDR [--to-name NAME] [--subject TEXT] [--body-file FILE] "
                   "[--attach FILE]",
                   "send one e-mail, with an attached file if given", &MakeMailCommand},
      CommandEntry{"print", "[--pdf FILE] [--printer NAME] [--copies N]",
                   "print the Web Page List (every address in address order) to a PDF file or a printer",
                   &MakePrintCommand},
  };
  return commands;
}

}  // namespace marlinden::cli
