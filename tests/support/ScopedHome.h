// HOME pointed at another folder for as long as it lives (the program finds
// the user's home folder there), and put back afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace testing_support {

class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) {
    if (const char* old = std::getenv("HOME")) previous_ = old;
    ::setenv("HOME", home.c_str(), 1);
  }
  ~ScopedHome() {
    if (previous_) {
      ::setenv("HOME", previous_->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace testing_support
