#include "support/TempDir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <system_error>

namespace testing_support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "marlinden-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  // Tests may leave read-only files and folders behind; make them writable
  // so they can be removed.
  std::error_code error;
  chmod(path_.c_str(), 0700);
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    chmod(it->path().c_str(), 0700);
  }
  std::filesystem::remove_all(path_, error);
}

}  // namespace testing_support
