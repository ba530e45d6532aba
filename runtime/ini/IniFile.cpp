#include "runtime/ini/IniFile.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <optional>
#include <system_error>
#include <vector>

#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/FixedText.h"

namespace runtime {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b, CaseMode::Insensitive) == 0;
}

// One line of the file and what it means.
struct Line {
  enum class Kind : std::uint8_t { Other, Section, Key };
  std::string_view body;  // without the line end
  std::string_view end;   // "\n", "\r\n" or "" for a last line without one
  Kind kind = Kind::Other;
  std::string_view name;       // section or key name
  std::size_t valueStart = 0;  // Key: where the value begins in body
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < content.size()) {
    const std::size_t newline = content.find('\n', at);
    Line line;
    if (newline == std::string_view::npos) {
      line.body = content.substr(at);
      at = content.size();
    } else {
      line.body = content.substr(at, newline - at);
      line.end = content.substr(newline, 1);
      if (!line.body.empty() && line.body.back() == '\r') {
        line.body.remove_suffix(1);
        line.end = content.substr(newline - 1, 2);
      }
      at = newline + 1;
    }
    std::string_view text = line.body;
    if (lines.empty() && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const std::string_view trimmed = Trim(text);
    if (trimmed.starts_with('[')) {
      const std::size_t close = trimmed.find(']');
      line.kind = Line::Kind::Section;
      line.name = Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#') {
      const std::size_t equals = line.body.find('=');
      if (equals != std::string_view::npos) {
        line.kind = Line::Kind::Key;
        line.name = Trim(line.body.substr(0, equals));
        if (lines.empty() && line.name.starts_with(kByteOrderMark)) line.name.remove_prefix(kByteOrderMark.size());
        line.valueStart = line.body.find_first_not_of(" \t", equals + 1);
        if (line.valueStart == std::string_view::npos) line.valueStart = line.body.size();
      }
    }
    lines.push_back(line);
  }
  return lines;
}

// Index of the first line holding key in a section named section.
std::optional<std::size_t> FindKey(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == Line::Kind::Section) inSection = SameName(lines[i].name, section);
    if (inSection && lines[i].kind == Line::Kind::Key && SameName(lines[i].name, key)) return i;
  }
  return std::nullopt;
}

// Reads the whole file: true with the content (empty for a missing file),
// false with errno when it exists but cannot be read.
bool ReadFile(const std::string& path, std::string& content, int& error) {
  content.clear();
  FileSystem& files = CurrentFileSystem();
  int fd = -1;
  error = files.Open(path, FileAccess::Read, FileCreation::Existing, fd);
  if (error != 0) return error == ENOENT;
  char buffer[16 * 1024];
  for (;;) {
    std::size_t got = 0;
    error = files.Read(fd, static_cast<std::int64_t>(content.size()), buffer, sizeof buffer, got);
    if (error != 0 || got == 0) break;
    content.append(buffer, got);
  }
  (void)files.Close(fd);
  return error == 0;
}

std::int32_t WriteFailure(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return SetError(AccessDenied);
    case ENOENT:
    case ENOTDIR:
      return SetError(PathNotFound);
    default:
      return SetError(DriverFailure, std::to_string(error), std::error_code(error, std::generic_category()).message());
  }
}

// Replaces the file at path by content: a new file in the same directory,
// flushed to disk, then renamed over the old one. Returns 0 or errno; on
// failure the old file is untouched and the new one removed.
int ReplaceFile(std::string path, std::string_view content) {
  FileSystem& files = CurrentFileSystem();
  // Write through a symbolic link rather than replacing the link.
  FileInfo info;
  if (files.Stat(path, LinkHandling::NoFollow, info) == 0 && info.IsLink()) {
    std::string target;
    if (files.RealPath(path, target) == 0) path = target;
  }
  const bool exists = files.Stat(path, LinkHandling::Follow, info) == 0;
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);

  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = directory + "/." + name + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int error = files.Open(temporary, FileAccess::Write, FileCreation::CreateNew, fd);
    if (error != 0 && error != EEXIST) return error;
  }
  if (fd < 0) return EEXIST;

  int error = 0;
  if (exists) error = files.SetPermissions(fd, info.mode);
  if (error == 0) error = WriteFully(fd, 0, content);
  if (error == 0) error = files.Sync(fd);
  if (const int closed = files.Close(fd); error == 0) error = closed;
  if (error == 0) error = files.Rename(temporary, path);
  if (error != 0) {
    (void)files.Unlink(temporary);
    return error;
  }
  // Make the rename itself durable; the new content is in place either way.
  (void)files.SyncDirectory(directory);
  return 0;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string IniFile::Read(std::string_view section, std::string_view key, std::string_view fallback) const {
  std::string content;
  int error = 0;
  if (!ReadFile(path_, content, error)) return std::string(fallback);
  const std::vector<Line> lines = SplitLines(content);
  const std::optional<std::size_t> found = FindKey(lines, Trim(section), Trim(key));
  if (!found) return std::string(fallback);
  const Line& line = lines[*found];
  return std::string(Trim(line.body.substr(line.valueStart)));
}

std::int64_t IniFile::ReadInt(std::string_view section, std::string_view key, std::int64_t fallback) const {
  const std::string value = Read(section, key);
  std::string_view digits = value;
  if (digits.starts_with('+')) {
    digits.remove_prefix(1);
    if (digits.starts_with('-')) return fallback;
  }
  std::int64_t number = 0;
  const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (status != std::errc() || end != digits.data() + digits.size()) return fallback;
  return number;
}

std::int32_t IniFile::Write(std::string_view section, std::string_view key, std::string_view value) const {
  section = Trim(section);
  key = Trim(key);
  value = Trim(value);
  if (key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
      section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos || key[0] == '[' ||
      key[0] == ';' || key[0] == '#') {
    return SetError(BadParameter);
  }

  std::string content;
  int error = 0;
  // A file that exists but cannot be read is never overwritten.
  if (!ReadFile(path_, content, error)) return WriteFailure(error);
  const std::vector<Line> lines = SplitLines(content);
  std::string_view lineEnd = "\n";
  for (const Line& line : lines) {
    if (!line.end.empty()) {
      lineEnd = line.end;
      break;
    }
  }

  std::string updated;
  updated.reserve(content.size() + section.size() + key.size() + value.size() + 8);
  const auto keyLine = [&] { return std::string(key) + "=" + std::string(value); };

  if (const std::optional<std::size_t> found = FindKey(lines, section, key)) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      if (i == *found) {
        updated.append(line.body.substr(0, line.valueStart)).append(value).append(line.end);
      } else {
        updated.append(line.body).append(line.end);
      }
    }
  } else {
    // After the last non-blank line of the first section of that name, or
    // a new section at the end of the file.
    std::optional<std::size_t> insertAfter;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].kind == Line::Kind::Section) {
        if (insertAfter && inSection) break;
        inSection = SameName(lines[i].name, section);
      }
      if (inSection && !Trim(lines[i].body).empty()) insertAfter = i;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const Line& line = lines[i];
      updated.append(line.body);
      if (line.end.empty() && (insertAfter == i || (!insertAfter && i + 1 == lines.size()))) {
        // A last line ending in a lone CR keeps it as its own: "\n" alone
        // would make it a CR LF line end.
        updated.append(line.body.ends_with('\r') ? "\r\n" : lineEnd);
      } else {
        updated.append(line.end);
      }
      if (insertAfter == i) updated.append(keyLine()).append(lineEnd);
    }
    if (!insertAfter) {
      updated.append("[").append(section).append("]").append(lineEnd);
      updated.append(keyLine()).append(lineEnd);
    }
  }

  if (updated == content) return SetError(NoError);
  if (const int failure = ReplaceFile(path_, updated)) return WriteFailure(failure);
  return SetError(NoError);
}

}  // namespace runtime
