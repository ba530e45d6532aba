#include "app/RecentFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/DataFolder.h"
#include "runtime/ini/IniFile.h"

namespace marlinden {
namespace {

namespace fs = std::filesystem;

runtime::IniFile RecentFiles() { return runtime::IniFile(DataFolderPath(kRecentFilesIniFile)); }

const char* FolderKey(FileChooser chooser) {
  return chooser == FileChooser::Import ? kImportFolderKey : kExportFolderKey;
}

bool IsDataFolder(const fs::path& folder) {
  const fs::path data = fs::path(DataFolderPath(kRecentFilesIniFile)).parent_path();
  std::error_code error;
  return !data.empty() && fs::equivalent(folder, data, error);
}

}  // namespace

std::string ReadLastExport() { return RecentFiles().Read(kRecentFilesSection, kLastExportKey, ""); }

std::int32_t WriteLastExport(std::string_view path) {
  return RecentFiles().Write(kRecentFilesSection, kLastExportKey, path);
}

std::string ChooserStartFolder(FileChooser chooser) {
  const fs::path last(RecentFiles().Read(kRecentFilesSection, FolderKey(chooser), ""));
  std::error_code error;
  if (last.is_absolute() && fs::is_directory(last, error) && !IsDataFolder(last)) return last.string();
  const char* home = std::getenv("HOME");
  return home != nullptr ? std::string(home) : std::string();
}

std::int32_t KeepChooserFolder(FileChooser chooser, std::string_view chosen) {
  const fs::path folder = fs::path(chosen).parent_path();
  return RecentFiles().Write(kRecentFilesSection, FolderKey(chooser), folder.string());
}

std::vector<std::int32_t> ReadColumnWidths(std::string_view section) {
  // No column is wider than a list can be.
  constexpr long kWidest = 32767;
  const std::string kept = RecentFiles().Read(kColumnWidthsSection, section, "");
  std::vector<std::int32_t> widths;
  std::size_t start = 0;
  while (start < kept.size()) {
    const std::size_t comma = std::min(kept.find(',', start), kept.size());
    const std::string item = kept.substr(start, comma - start);
    char* end = nullptr;
    const long width = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || width < 1 || width > kWidest) return {};
    widths.push_back(static_cast<std::int32_t>(width));
    start = comma + 1;
  }
  return widths;
}

std::int32_t KeepColumnWidths(std::string_view section, const std::vector<std::int32_t>& widths) {
  std::string kept;
  for (const std::int32_t width : widths) kept += (kept.empty() ? "" : ",") + std::to_string(width);
  return RecentFiles().Write(kColumnWidthsSection, section, kept);
}

}  // namespace marlinden
