#include "runtime/platform/Sound.h"

#include <filesystem>
#include <system_error>

#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"

namespace runtime::platform {

void PlaySoundAsync(const std::string& file) {
  std::error_code error;
  if (file.empty() || !std::filesystem::is_regular_file(file, error)) return;
  // An absolute path cannot be taken for one of the player's options.
  const std::string path = std::filesystem::absolute(file, error).string();
  if (error) return;
  for (const std::string& player : CurrentDesktopPrograms().soundPlayers) {
    if (StartProgram(player, {path})) return;
  }
}

}  // namespace runtime::platform
