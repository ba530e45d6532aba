// Directory services of the runtime's platform layer: listing the files
// that match a wildcard mask, the short form of a path and the current
// directory. The current directory is the process's, shared by all threads;
// call under the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

enum FileAttribute : std::uint8_t {
  AttributeReadOnly = 0x01,  // nobody may write it
  AttributeHidden = 0x02,    // its name starts with a dot
  AttributeDirectory = 0x10,
};

struct DirectoryEntry {
  std::string name;             // the name within the directory
  std::int32_t date = 0;        // last change, a runtime date (days since 1970-01-01, local)
  std::int32_t time = 0;        // last change, a runtime time (hundredths since midnight + 1)
  std::int64_t size = 0;        // bytes (0 for directories)
  std::uint8_t attributes = 0;  // FileAttribute bits
};

// The entries of a directory whose names match a mask, sorted by name:
// pattern is a directory path and a mask ("/data/*.htm", "*.*"); a pattern
// naming a directory lists all of it. Masks use '*' and '?', ignore ASCII
// letter case, and "*.*" (or any "name.*") also matches names without a dot.
// "." and ".." are left out. Returns 0, PathNotFound or AccessDenied (also
// left as the runtime's error).
[[nodiscard]] std::int32_t ListDirectory(std::string_view pattern, std::vector<DirectoryEntry>& entries);
bool MatchesMask(std::string_view name, std::string_view mask);

// The short form of a path. This platform has no separate short names, so it
// is the path itself, made absolute and normalised ("a/../b/" -> "/cwd/b").
std::string ShortPath(std::string_view path);
std::string CurrentDirectory();
// Returns 0, PathNotFound or AccessDenied (also left as the runtime's error).
[[nodiscard]] std::int32_t SetCurrentDirectory(std::string_view path);

}  // namespace runtime
