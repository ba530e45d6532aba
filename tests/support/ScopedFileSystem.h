// Puts a file system (a FaultyFileSystem) in place for one test's lifetime
// and the previous one back afterwards.
#pragma once

#include "runtime/system/FileSystem.h"

namespace testing_support {

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(runtime::FileSystem& fileSystem) : previous_(runtime::SetFileSystem(&fileSystem)) {}
  ~ScopedFileSystem() { runtime::SetFileSystem(previous_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  runtime::FileSystem* previous_;
};

}  // namespace testing_support
