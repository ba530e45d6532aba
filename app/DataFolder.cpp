#include "app/DataFolder.h"

#include <cstdlib>

#include "runtime/system/Directory.h"

namespace marlinden {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::string resolveFolder;  // where names resolve; empty while the program is not started

}  // namespace

std::optional<std::filesystem::path> DataFolder(const std::optional<std::string>& option) {
  if (option && !option->empty()) return std::filesystem::path(*option);
  if (auto data = Variable(kDataVariable)) return std::filesystem::path(*data);
  if (auto xdg = Variable("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
    return std::filesystem::path(*xdg) / "marlinden";
  }
  if (auto home = Variable("HOME")) return std::filesystem::path(*home) / ".local" / "share" / "marlinden";
  return std::nullopt;
}

std::error_code EnterDataFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) std::filesystem::current_path(folder, error);
  return error;
}

std::string DataFolderError(const std::optional<std::filesystem::path>& folder, std::error_code error) {
  if (!folder) return "Error: (no home folder) creating the data folder; set " + std::string(kDataVariable) + ".";
  return "Error: (" + error.message() + ") creating " + folder->string() + ".";
}

void FixDataFolder() { resolveFolder = runtime::CurrentDirectory(); }

void ForgetDataFolder() { resolveFolder.clear(); }

std::string DataFolderPath(std::string_view name) {
  if (resolveFolder.empty() || name.empty() || name.front() == '/') return std::string(name);
  std::string path = resolveFolder;
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace marlinden
