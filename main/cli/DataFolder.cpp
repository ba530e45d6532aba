#include "main/cli/DataFolder.h"

#include <cstdlib>
#include <system_error>

namespace marlinden::cli {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace

std::optional<std::filesystem::path> DataFolder(const std::optional<std::string>& option) {
  if (option && !option->empty()) return std::filesystem::path(*option);
  if (auto data = Variable(kDataVariable)) return std::filesystem::path(*data);
  // A relative XDG_DATA_HOME is invalid and ignored, as the convention says.
  if (auto xdg = Variable("XDG_DATA_HOME"); xdg && std::filesystem::path(*xdg).is_absolute()) {
    return std::filesystem::path(*xdg) / "marlinden";
  }
  if (auto home = Variable("HOME")) return std::filesystem::path(*home) / ".local" / "share" / "marlinden";
  return std::nullopt;
}

bool EnterDataFolder(const std::filesystem::path& folder, std::ostream& err) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) std::filesystem::current_path(folder, error);
  if (error) {
    err << "marlinden-cli: cannot use the data folder " << folder.string() << ": " << error.message() << "\n";
    return false;
  }
  return true;
}

}  // namespace marlinden::cli
