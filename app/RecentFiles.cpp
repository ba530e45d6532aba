#include "app/RecentFiles.h"

#include "app/DataFolder.h"
#include "runtime/ini/IniFile.h"

namespace marlinden {
namespace {

runtime::IniFile RecentFiles() { return runtime::IniFile(DataFolderPath(kRecentFilesIniFile)); }

}  // namespace

std::string ReadLastExport() { return RecentFiles().Read(kRecentFilesSection, kLastExportKey, ""); }

std::int32_t WriteLastExport(std::string_view path) {
  return RecentFiles().Write(kRecentFilesSection, kLastExportKey, path);
}

}  // namespace marlinden
