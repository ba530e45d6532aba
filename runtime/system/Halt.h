// Ends the program at once with an exit code and a text. Tests replace the
// handler to observe a halt instead of ending the test process.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace runtime {

using HaltHandler = std::function<void(int exitCode, std::string_view text)>;

// Calls the installed handler; the default one writes a non-empty text to
// standard error and exits the process. Returns only when a test handler
// returns.
void Halt(int exitCode, std::string_view text);

// Installs handler (an empty one restores the default); returns the old one.
HaltHandler SetHaltHandler(HaltHandler handler);

}  // namespace runtime
