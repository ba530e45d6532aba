#include "runtime/system/Directory.h"

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "runtime/system/Clock.h"
#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {

std::int32_t PathFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
      return SetError(PathNotFound);
    case EACCES:
    case EPERM:
      return SetError(AccessDenied);
    default:
      return SetError(DriverFailure, std::to_string(error), std::error_code(error, std::generic_category()).message());
  }
}

char Folded(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool Glob(std::string_view name, std::string_view mask) {
  // Iterative wildcard match with one backtrack point per '*'.
  std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Folded(mask[m]) == Folded(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

DirectoryEntry EntryFor(const std::string& name, const FileInfo& info) {
  DirectoryEntry entry;
  entry.name = name;
  const bool isDirectory = info.IsDirectory();
  entry.size = isDirectory ? 0 : info.size;
  if (isDirectory) entry.attributes |= AttributeDirectory;
  if (!info.AnyoneMayWrite()) entry.attributes |= AttributeReadOnly;
  if (name.starts_with('.')) entry.attributes |= AttributeHidden;
  tm local{};
  const time_t changed = static_cast<time_t>(info.changedSeconds);
  ::localtime_r(&changed, &local);
  entry.date = DateFromCivil(local.tm_year + 1900, static_cast<std::uint32_t>(local.tm_mon + 1),
                             static_cast<std::uint32_t>(local.tm_mday));
  entry.time = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 100 +
               static_cast<std::int32_t>(info.changedNanoseconds / 10'000'000) + 1;
  return entry;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (Glob(name, mask)) return true;
  // "name.*" also matches "name", the way such masks have always worked.
  return mask.ends_with(".*") && name.find('.') == std::string_view::npos &&
         Glob(name, mask.substr(0, mask.size() - 2));
}

std::int32_t ListDirectory(std::string_view pattern, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  std::string directory;
  std::string mask;
  const std::size_t slash = pattern.rfind('/');
  if (slash == std::string_view::npos) {
    directory = ".";
    mask = pattern;
  } else {
    directory = slash == 0 ? "/" : std::string(pattern.substr(0, slash));
    mask = pattern.substr(slash + 1);
  }
  FileSystem& files = CurrentFileSystem();
  FileInfo info;
  if (mask.find_first_of("*?") == std::string::npos && !mask.empty() &&
      files.Stat(std::string(pattern), LinkHandling::Follow, info) == 0 && info.IsDirectory()) {
    directory = pattern;
    mask = "*";
  }
  if (mask.empty()) mask = "*";

  std::vector<std::string> names;
  if (const int error = files.ListNames(directory, names)) return PathFailure(error);
  for (const std::string& name : names) {
    if (!MatchesMask(name, mask)) continue;
    const std::string path = directory + "/" + name;
    // A dangling link is listed as itself; a name gone meanwhile is left out.
    if (files.Stat(path, LinkHandling::Follow, info) != 0 && files.Stat(path, LinkHandling::NoFollow, info) != 0) {
      continue;
    }
    entries.push_back(EntryFor(name, info));
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return SetError(NoError);
}

std::string ShortPath(std::string_view path) {
  std::filesystem::path absolute = path.empty() ? "." : std::filesystem::path(path);
  if (absolute.is_relative()) {
    const std::string current = CurrentDirectory();
    if (current.empty()) return std::string(path);
    absolute = std::filesystem::path(current) / absolute;
  }
  std::string normal = absolute.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string CurrentDirectory() {
  std::string current;
  return CurrentFileSystem().CurrentDirectory(current) == 0 ? current : std::string();
}

std::int32_t SetCurrentDirectory(std::string_view path) {
  if (path.empty()) return SetError(PathNotFound);
  if (const int error = CurrentFileSystem().ChangeDirectory(std::string(path))) return PathFailure(error);
  return SetError(NoError);
}

}  // namespace runtime
