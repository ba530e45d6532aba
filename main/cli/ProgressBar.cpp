#include "main/cli/ProgressBar.h"

#include <unistd.h>

#include "procedures/BatchProgress.h"

namespace marlinden::cli {

ProgressBar::ProgressBar(std::ostream& err) : err_(err), active_(::isatty(STDERR_FILENO) == 1) {
  if (!active_) return;
  BatchProgressListen = [this](std::string_view line, int percent) { Draw(line, percent); };
}

ProgressBar::~ProgressBar() {
  if (!active_) return;
  BatchProgressListen = nullptr;
  if (drawn_) err_ << "\n";
}

void ProgressBar::Draw(std::string_view line, int percent) {
  constexpr int kWidth = 40;
  const int filled = percent * kWidth / 100;
  if (drawn_ && line != line_) err_ << "\n";
  line_ = std::string(line);
  err_ << "\r" << line << " [" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << percent << "%" << std::flush;
  drawn_ = true;
}

}  // namespace marlinden::cli
