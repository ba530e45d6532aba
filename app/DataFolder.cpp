#include "app/DataFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "runtime/system/Directory.h"

namespace marlinden {
namespace {

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::string resolveFolder;  // where names resolve; empty while the program is not started
std::optional<std::string> databaseOption;

std::string Trimmed(std::string text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && space(text[start])) ++start;
  return text.substr(start);
}

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

void SetDatabaseOption(std::optional<std::string> connection) { databaseOption = std::move(connection); }

std::string DatabaseSetting() {
  if (databaseOption) return Trimmed(*databaseOption);
  if (auto variable = Variable(kDatabaseVariable)) return Trimmed(*variable);
  std::ifstream in(kDatabaseSettingFile);
  std::string line;
  if (in && std::getline(in, line)) return Trimmed(line);
  return {};
}

std::string StoredDatabaseSetting() {
  std::ifstream in(DataFolderPath(kDatabaseSettingFile));
  std::string line;
  if (in && std::getline(in, line)) return Trimmed(line);
  return {};
}

bool HoldsPassword(std::string_view connection) {
  std::string lower(connection);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find("password") != std::string::npos) return true;
  const std::size_t scheme = lower.find("://");
  if (scheme == std::string::npos) return false;
  const std::size_t at = lower.find('@', scheme + 3);
  const std::size_t slash = lower.find('/', scheme + 3);
  return at != std::string::npos && (slash == std::string::npos || at < slash) &&
         lower.substr(scheme + 3, at - scheme - 3).find(':') != std::string::npos;
}

bool KeepDatabaseSetting(std::string_view connection) {
  const std::string path = DataFolderPath(kDatabaseSettingFile);
  const std::string line = Trimmed(std::string(connection));
  std::error_code error;
  if (line.empty()) {
    std::filesystem::remove(path, error);
    return !error;
  }
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << line << '\n';
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, error);
  if (!error) return true;
  std::filesystem::remove(temporary, error);
  return false;
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
