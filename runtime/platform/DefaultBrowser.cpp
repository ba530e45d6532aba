#include "runtime/platform/DefaultBrowser.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"
#include "runtime/text/FixedText.h"

namespace runtime::platform {
namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::uintmax_t kMaxEntryBytes = 1024 * 1024;

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The words of an Exec value: blank-separated, double quotes group, and a
// backslash takes the next character literally.
std::vector<std::string> ExecWords(std::string_view exec) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (c == '\\' && i + 1 < exec.size()) {
      word += exec[++i];
      inWord = true;
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::vector<std::string> DefaultApplicationDirs() {
  std::vector<std::string> dirs;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && *dataHome != '\0') {
    dirs.push_back(std::string(dataHome) + "/applications");
  } else if (home != nullptr && *home != '\0') {
    dirs.push_back(std::string(home) + "/.local/share/applications");
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share";
  std::stringstream parts(list);
  for (std::string dir; std::getline(parts, dir, ':');) {
    if (!dir.empty()) dirs.push_back(dir + "/applications");
  }
  return dirs;
}

std::string ReadSmallFile(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > kMaxEntryBytes) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The desktop's setting first; without one (a desktop it does not know,
// or no setting), the program the desktop opens web addresses with.
std::string QueryDefaultId(const DesktopPrograms& programs) {
  const auto idFrom = [](const CapturedOutput& answer) {
    return answer.exitStatus == 0 ? DesktopIdFromOutput(answer.output) : std::string();
  };
  std::string id = idFrom(CaptureOutput(programs.settingsQuery, {"get", "default-web-browser"}, programs.queryTimeout));
  if (!id.empty()) return id;
  return idFrom(
      CaptureOutput(programs.mimeQuery, {"query", "default", "x-scheme-handler/https"}, programs.queryTimeout));
}

// The value of key in the [Desktop Entry] group; nothing when it is not
// there.
std::optional<std::string_view> EntryValue(std::string_view text, std::string_view key) {
  bool inMainGroup = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const auto equals = line.find('=');
    if (equals != std::string_view::npos && Trim(line.substr(0, equals)) == key) return Trim(line.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace

std::string DesktopIdFromOutput(std::string_view output) {
  const std::string_view line = Trim(output.substr(0, output.find('\n')));
  if (line.size() <= kDesktopSuffix.size() || !line.ends_with(kDesktopSuffix) ||
      line.find_first_of("/ ") != std::string_view::npos) {
    return {};
  }
  for (const char c : line) {
    if (static_cast<unsigned char>(c) < 0x20) return {};
  }
  return std::string(line);
}

std::string ProgramFromDesktopEntry(std::string_view text) {
  const std::optional<std::string_view> exec = EntryValue(text, "Exec");
  if (!exec) return {};
  std::vector<std::string> words = ExecWords(*exec);
  std::size_t first = 0;
  if (first < words.size() && words[first] == "env") {
    ++first;
    while (first < words.size() && words[first].find('=') != std::string::npos) ++first;
  }
  if (first >= words.size()) return {};
  return std::filesystem::path(words[first]).filename().string();
}

std::string NameFromDesktopEntry(std::string_view text) {
  return std::string(EntryValue(text, "Name").value_or(std::string_view()));
}

std::string FindDesktopEntry(std::string_view id, const std::vector<std::string>& applicationDirs) {
  // Candidates: the id itself, then with its leading dashes turned into
  // folder separators one by one ("kde-org-app.desktop" -> "kde/org-app...").
  std::vector<std::string> candidates{std::string(id)};
  std::string path(id);
  for (std::size_t dash = path.find('-'); dash != std::string::npos; dash = path.find('-', dash + 1)) {
    path[dash] = '/';
    candidates.push_back(path);
  }
  for (const std::string& dir : applicationDirs) {
    for (const std::string& candidate : candidates) {
      const std::string full = dir + "/" + candidate;
      std::error_code error;
      if (std::filesystem::is_regular_file(full, error)) return full;
    }
  }
  return {};
}

std::string DefaultBrowser() {
  const DesktopPrograms programs = CurrentDesktopPrograms();
  const std::string id = QueryDefaultId(programs);
  if (id.empty()) return {};

  const std::vector<std::string> dirs =
      programs.applicationDirs.empty() ? DefaultApplicationDirs() : programs.applicationDirs;
  std::string name;
  if (const std::string entry = FindDesktopEntry(id, dirs); !entry.empty()) {
    const std::string text = ReadSmallFile(entry);
    name = NameFromDesktopEntry(text);
    if (name.empty()) name = ProgramFromDesktopEntry(text);
  }
  if (name.empty()) {
    name = id;
    if (name.size() > kDesktopSuffix.size() && name.ends_with(kDesktopSuffix)) {
      name.resize(name.size() - kDesktopSuffix.size());
    }
  }
  return std::string(CutToWidth(name, kBrowserNameWidth));
}

}  // namespace runtime::platform
