#include "app/DataFolder.h"

#include "runtime/system/Directory.h"

namespace marlinden {
namespace {
std::string folder;  // empty while the program is not started
}  // namespace

void FixDataFolder() { folder = runtime::CurrentDirectory(); }

void ForgetDataFolder() { folder.clear(); }

std::string DataFolderPath(std::string_view name) {
  if (folder.empty() || name.empty() || name.front() == '/') return std::string(name);
  std::string path = folder;
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace marlinden
