// The lines of a message box's text as a backend shows them: a vertical bar
// starts a new line, and so does a carriage return (alone or before a line
// feed). Any thread.
#pragma once

#include <string>
#include <string_view>

namespace runtime::ui {

// The text with each line break made one '\n'.
std::string MessageBoxLines(std::string_view text);

}  // namespace runtime::ui
