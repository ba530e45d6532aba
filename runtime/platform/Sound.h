// Playing a sound file in the background. Any thread.
#pragma once

#include <string>

namespace runtime::platform {

// Starts the first of DesktopPrograms::soundPlayers that can be started on
// the file and returns at once. Does nothing, silently, when the file does
// not exist or no player can be started. The player is reaped in the
// background.
void PlaySoundAsync(const std::string& file);

}  // namespace runtime::platform
