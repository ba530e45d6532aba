// The global list from each runtime file (by its label) to its file manager,
// kept sorted by label. Views use it to open every file they read.
// Thread-safe.
#pragma once

#include <cstdint>

namespace runtime {
class DataFile;
}

namespace marlinden {

class FileManager;

class ManagerRegistry {
 public:
  static void Register(std::int32_t fileLabel, FileManager& manager);
  static void Unregister(std::int32_t fileLabel);
  // The manager of file, or nullptr when none is registered.
  static FileManager* FindManager(const runtime::DataFile& file);
  static std::size_t Count();
};

}  // namespace marlinden
