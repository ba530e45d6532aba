// The batches' progress drawn as a bar on standard error, only when it is a
// terminal: while a ProgressBar lives it listens to TellBatchProgress.
// Thread: the runtime's thread 1, holding the runtime lock.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace marlinden::cli {

class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

 private:
  void Draw(std::string_view line, int percent);

  std::ostream& err_;
  const bool active_;
  bool drawn_ = false;
  std::string line_;
};

}  // namespace marlinden::cli
