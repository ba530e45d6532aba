#include "runtime/ui/MessageText.h"

namespace runtime::ui {

std::string MessageBoxLines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '|') {
      lines += '\n';
    } else if (c == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += c;
    }
  }
  return lines;
}

}  // namespace runtime::ui
