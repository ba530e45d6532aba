// Start-up and shutdown of the program. Start-up checks the runtime's
// interface version, fixes the data folder (the current directory, see
// DataFolder.h), chooses the database server when one is set
// (DatabaseSetting), clears the globals and record buffers, then
// initialises the error manager, the INI manager and the six data files'
// managers (the details file related to the bookmarks); no file is opened (each opens on first use). Shutdown kills
// them again in the same order. Run on runtime thread 1 (the Qt backend's
// or a test's program), holding the runtime lock.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/platform/InterfaceVersion.h"

namespace marlinden {

enum class StartUpResult : std::uint8_t { Started, WrongRuntime };

// Start-up; with WrongRuntime (runtimeVersion is not the version the
// program was built for) nothing has been done.
[[nodiscard]] StartUpResult StartUp(std::uint32_t runtimeVersion);

// Kills the managers of BookmarkStore, BookmarkDetailsStore, MailSettingsStore,
// BookmarkExportFile and BookmarkImportFile in that order (each file
// manager first, its reference cleared, then the relation manager and its
// reference), closes any of their files still open, then kills the error
// manager. Does nothing when start-up has not run.
void ShutDown();

// The whole run: start-up, mainProcedure, then every other runtime thread
// closed down and waited for, then shutdown. A halt (a fatal message) on any
// runtime thread runs the same shutdown (runtime::ui::HaltProgram). Returns
// the exit code, which is 0 in every case (a wrong runtime ends silently).
int RunProgram(const std::function<void()>& mainProcedure, std::uint32_t runtimeVersion = runtime::InterfaceVersion());

}  // namespace marlinden
