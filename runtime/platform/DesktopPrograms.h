// The desktop programs the platform layer hands work to: the page opener,
// the default-browser queries and the sound players, with where desktop
// entries are looked up. Replaceable as a whole, so tests can put fake
// programs in their place. Any thread; the settings are copied under a mutex.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace runtime::platform {

struct DesktopPrograms {
  // Opens an address: run as `opener ADDRESS`.
  std::string opener = "xdg-open";
  // Run as `settingsQuery get default-web-browser`; prints a desktop entry
  // id.
  std::string settingsQuery = "xdg-settings";
  // Run as `mimeQuery query default x-scheme-handler/https` when the first
  // query gives nothing.
  std::string mimeQuery = "xdg-mime";
  // How long each query may take before it is stopped.
  std::chrono::milliseconds queryTimeout{3000};
  // Tried in order as `player FILE`; the first that starts plays the sound.
  std::vector<std::string> soundPlayers = {"pw-play", "paplay", "aplay"};
  // Folders holding desktop entries; empty = the XDG data folders'
  // "applications" folders ($XDG_DATA_HOME, then $XDG_DATA_DIRS).
  std::vector<std::string> applicationDirs;
};

// The programs in use.
DesktopPrograms CurrentDesktopPrograms();
// Replaces them; returns the previous ones.
DesktopPrograms SetDesktopPrograms(DesktopPrograms programs);

// Replaces the programs for its lifetime (tests).
class ScopedDesktopPrograms {
 public:
  explicit ScopedDesktopPrograms(DesktopPrograms programs) : previous_(SetDesktopPrograms(std::move(programs))) {}
  ~ScopedDesktopPrograms() { SetDesktopPrograms(std::move(previous_)); }
  ScopedDesktopPrograms(const ScopedDesktopPrograms&) = delete;
  ScopedDesktopPrograms& operator=(const ScopedDesktopPrograms&) = delete;

 private:
  DesktopPrograms previous_;
};

}  // namespace runtime::platform
