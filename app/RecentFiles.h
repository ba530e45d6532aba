// The files the user last worked on, kept across runs in an INI file of
// their own in the data folder (DataFolder.h), apart from the window
// positions and the favourite. Call under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlinden {

inline constexpr const char* kRecentFilesIniFile = "recent.INI";
inline constexpr const char* kRecentFilesSection = "Recent";
inline constexpr const char* kLastExportKey = "LastExport";

// The path the last export wrote; empty when none is kept.
std::string ReadLastExport();

// Keeps path as the last export's. Returns 0 or the runtime's error code of
// the failed write.
[[nodiscard]] std::int32_t WriteLastExport(std::string_view path);

}  // namespace marlinden
