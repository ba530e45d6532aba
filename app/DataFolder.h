// The folder the program's data files and INI files live in: the current
// directory at start-up, fixed once then. Every data file and INI file name
// is resolved against it when used, so a file dialog that changes the
// process's current directory (while the runtime lock is released, so
// another thread may be opening a file) never moves a data file.
// Call under the runtime lock.
#pragma once

#include <string>
#include <string_view>

namespace marlinden {

// Start-up: the current directory becomes the data folder.
void FixDataFolder();
// Shutdown: names are left as they are again until the next start-up.
void ForgetDataFolder();

// name resolved against the data folder: a relative name becomes a path in
// it; an absolute or empty name, or any name before start-up, stays as it is.
std::string DataFolderPath(std::string_view name);

}  // namespace marlinden
