// The files and folders the user last worked with, and the widths the user
// gave a window's list columns, kept across runs in an INI file of their own
// in the data folder (DataFolder.h), apart from the window positions and the
// favourite. Call under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marlinden {

inline constexpr const char* kRecentFilesIniFile = "recent.INI";
inline constexpr const char* kRecentFilesSection = "Recent";
inline constexpr const char* kLastExportKey = "LastExport";
inline constexpr const char* kImportFolderKey = "ImportFolder";
inline constexpr const char* kExportFolderKey = "ExportFolder";
inline constexpr const char* kColumnWidthsSection = "Columns";

// The path the last export wrote; empty when none is kept.
std::string ReadLastExport();

// Keeps path as the last export's. Returns 0 or the runtime's error code of
// the failed write.
[[nodiscard]] std::int32_t WriteLastExport(std::string_view path);

// The file choosers that remember where the user last chose a file.
enum class FileChooser : std::uint8_t { Import, Export };

// The folder chooser starts in: the one a file was last chosen in there,
// while it is still a folder, else the user's home folder (empty without
// one). Never the data folder, which holds the program's own files.
std::string ChooserStartFolder(FileChooser chooser);

// Keeps the folder of chosen (a file's path) as the one chooser starts in
// next time. Returns 0 or the runtime's error code of the failed write.
[[nodiscard]] std::int32_t KeepChooserFolder(FileChooser chooser, std::string_view chosen);

// The widths (dialog units, one per column) last kept for the list of the
// window whose place is kept under section; empty when none are kept or
// what is kept is not a list of widths.
std::vector<std::int32_t> ReadColumnWidths(std::string_view section);

// Keeps widths as the list's of section's window. Returns 0 or the
// runtime's error code of the failed write.
[[nodiscard]] std::int32_t KeepColumnWidths(std::string_view section, const std::vector<std::int32_t>& widths);

}  // namespace marlinden
