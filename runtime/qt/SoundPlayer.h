// The platform's sound player: starts playing a sound file in a player
// process of its own and returns at once. Without a player, or when it
// fails, nothing happens. Any thread.
#pragma once

#include <string>

namespace runtime::qt {

void StartSoundPlayer(const std::string& file);

}  // namespace runtime::qt
