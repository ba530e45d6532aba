#include "runtime/platform/ProgramFile.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "runtime/system/Directory.h"

namespace runtime::platform {

std::string ProgramFileName() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return self.filename().string();
}

std::int32_t ProgramFileDate() {
  const std::string name = ProgramFileName();
  // A name with wildcard characters would match other files.
  if (name.empty() || name.find_first_of("*?") != std::string::npos) return 0;
  // The whole folder is listed and filtered, because a pattern naming a
  // folder would list that folder's contents instead. Names compare as the
  // runtime's masks do, without regard to letter case.
  std::vector<DirectoryEntry> entries;
  if (ListDirectory("*", entries) != 0) return 0;
  std::int32_t date = 0;
  for (const DirectoryEntry& entry : entries) {
    if (MatchesMask(entry.name, name)) date = entry.date;
  }
  return date;
}

}  // namespace runtime::platform
