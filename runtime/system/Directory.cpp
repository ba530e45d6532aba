#include "runtime/system/Directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "runtime/system/Clock.h"
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

DirectoryEntry EntryFor(const std::string& name, const struct stat& info) {
  DirectoryEntry entry;
  entry.name = name;
  const bool isDirectory = S_ISDIR(info.st_mode);
  entry.size = isDirectory ? 0 : static_cast<std::int64_t>(info.st_size);
  if (isDirectory) entry.attributes |= AttributeDirectory;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) entry.attributes |= AttributeReadOnly;
  if (name.starts_with('.')) entry.attributes |= AttributeHidden;
  tm local{};
  ::localtime_r(&info.st_mtim.tv_sec, &local);
  entry.date = DateFromCivil(local.tm_year + 1900, static_cast<std::uint32_t>(local.tm_mon + 1),
                             static_cast<std::uint32_t>(local.tm_mday));
  entry.time = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 100 +
               static_cast<std::int32_t>(info.st_mtim.tv_nsec / 10'000'000) + 1;
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
  struct stat info {};
  if (mask.find_first_of("*?") == std::string::npos && !mask.empty() &&
      ::stat(std::string(pattern).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    directory = pattern;
    mask = "*";
  }
  if (mask.empty()) mask = "*";

  DIR* handle = ::opendir(directory.c_str());
  if (handle == nullptr) return PathFailure(errno);
  while (const dirent* item = ::readdir(handle)) {
    const std::string name = item->d_name;
    if (name == "." || name == ".." || !MatchesMask(name, mask)) continue;
    const std::string path = directory + "/" + name;
    if (::stat(path.c_str(), &info) != 0 && ::lstat(path.c_str(), &info) != 0) continue;  // vanished meanwhile
    entries.push_back(EntryFor(name, info));
  }
  ::closedir(handle);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return SetError(NoError);
}

std::string ShortPath(std::string_view path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path.empty() ? "." : std::filesystem::path(path), error);
  if (error) return std::string(path);
  std::string normal = absolute.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string CurrentDirectory() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string() : current.string();
}

std::int32_t SetCurrentDirectory(std::string_view path) {
  if (path.empty()) return SetError(PathNotFound);
  if (::chdir(std::string(path).c_str()) != 0) return PathFailure(errno);
  return SetError(NoError);
}

}  // namespace runtime
