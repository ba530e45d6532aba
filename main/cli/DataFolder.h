// The data folder the command-line program keeps its files in: the folder
// given with --data, else $MARLINDEN_DATA, else $XDG_DATA_HOME/marlinden,
// else ~/.local/share/marlinden. It is created when missing and made the
// current directory, since the data files live in the current directory.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace marlinden::cli {

inline constexpr const char* kDataVariable = "MARLINDEN_DATA";

// The folder to use; nothing when none can be named (no option, no
// variables and no home folder).
std::optional<std::filesystem::path> DataFolder(const std::optional<std::string>& option);

// Creates folder when missing and makes it the current directory; false
// after writing why to err.
[[nodiscard]] bool EnterDataFolder(const std::filesystem::path& folder, std::ostream& err);

}  // namespace marlinden::cli
