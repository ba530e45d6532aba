#include "app/RecentFiles.h"

#include <cstdlib>
#include <filesystem>
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

}  // namespace marlinden
