// The data folder both programs keep their files in: a folder given on the
// command line, else $MARLINDEN_DATA, else $XDG_DATA_HOME/marlinden, else
// ~/.local/share/marlinden. At start it is created when missing and made the
// current directory, since the data files live in the current directory.
// Call before start-up, on the process's first thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace marlinden {

inline constexpr const char* kDataVariable = "MARLINDEN_DATA";

// The folder to use; nothing when none can be named (no option, no
// variables and no home folder). An empty option counts as none; a relative
// $XDG_DATA_HOME is ignored, as the convention says.
std::optional<std::filesystem::path> DataFolder(const std::optional<std::string>& option = std::nullopt);

// Creates folder (and its parents) when missing and makes it the current
// directory; the error when either fails (the current directory is then
// unchanged).
[[nodiscard]] std::error_code EnterDataFolder(const std::filesystem::path& folder);

// The message for a data folder that cannot be used, worded as the file
// manager words a file it cannot create; folder nothing: none was named.
inline constexpr const char* kDataFolderErrorTitle = "File Creation Error";
std::string DataFolderError(const std::optional<std::filesystem::path>& folder, std::error_code error);

}  // namespace marlinden
