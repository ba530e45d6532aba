// The data folder both programs keep their files in, and the names resolved
// against it.
//
// Where it is: a folder given on the command line, else $MARLINDEN_DATA,
// else $XDG_DATA_HOME/marlinden, else ~/.local/share/marlinden. At start it
// is created when missing and made the current directory, since the data
// files live in the current directory (DataFolder, EnterDataFolder: before
// start-up, on the process's first thread).
//
// Start-up then fixes the current directory as the folder every data file
// and INI file name is resolved against when used, so a file dialog that
// changes the process's current directory (while the runtime lock is
// released, so another thread may be opening a file) never moves a data
// file (FixDataFolder, DataFolderPath: under the runtime lock).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace marlinden {

inline constexpr const char* kDataVariable = "MARLINDEN_DATA";

// The database server that keeps the keyed files (the bookmarks, their
// folders and link checks, the e-mail form's settings) instead of the local
// files: a libpq connection string, or a service name. Chosen by the
// command line's option (SetDatabaseOption), else $MARLINDEN_DATABASE, else
// the first line of kDatabaseSettingFile in the data folder; none of them
// leaves the local files. A password belongs in libpq's password file, not
// here: none is ever shown.
inline constexpr const char* kDatabaseVariable = "MARLINDEN_DATABASE";
inline constexpr const char* kDatabaseSettingFile = "database.conf";
void SetDatabaseOption(std::optional<std::string> connection);
// The chosen connection string; empty for the local files. Reads the
// setting file in the current directory (the data folder, before start-up).
std::string DatabaseSetting();
// The setting file's connection string in the data folder; empty for none.
std::string StoredDatabaseSetting();
// Whether a connection string carries a password (a "password=" keyword or
// one after the user in a URI), which must not be kept in the setting.
bool HoldsPassword(std::string_view connection);
// Keeps connection as the setting file's line (a blank one removes the
// file), written whole beside it and renamed into place; false when it could
// not be written.
bool KeepDatabaseSetting(std::string_view connection);

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

// Start-up: the current directory becomes the folder names resolve against.
void FixDataFolder();
// Shutdown: names are left as they are again until the next start-up.
void ForgetDataFolder();

// name resolved against the data folder: a relative name becomes a path in
// it; an absolute or empty name, or any name before start-up, stays as it is.
std::string DataFolderPath(std::string_view name);

}  // namespace marlinden
