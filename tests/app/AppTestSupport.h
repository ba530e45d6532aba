// Helpers for the application's tests: a temporary current directory.
#pragma once

#include <filesystem>

#include "support/TempDir.h"

namespace testing_support {

// Makes a fresh temporary folder the current directory for its lifetime.
class TempCurrentDirectory {
 public:
  TempCurrentDirectory() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.Path()); }
  ~TempCurrentDirectory() { std::filesystem::current_path(previous_); }
  TempCurrentDirectory(const TempCurrentDirectory&) = delete;
  TempCurrentDirectory& operator=(const TempCurrentDirectory&) = delete;

  const TempDir& Dir() const { return dir_; }
  bool Empty() const { return std::filesystem::is_empty(dir_.Path()); }

 private:
  std::filesystem::path previous_;
  TempDir dir_;
};

}  // namespace testing_support
