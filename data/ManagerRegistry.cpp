#include "data/ManagerRegistry.h"

#include <mutex>

#include "runtime/files/DataFile.h"
#include "runtime/queue/Queue.h"

namespace marlinden {

namespace {
struct RegistryEntry {
  std::int32_t FILELABEL = 0;
  FileManager* FILEMANAGER = nullptr;
};

std::mutex registryMutex;
runtime::Queue<RegistryEntry>& Registry() {
  static runtime::Queue<RegistryEntry> registry;
  return registry;
}

// Position of the entry for fileLabel, 0 when there is none.
std::size_t PositionOf(std::int32_t fileLabel) {
  auto matches = [&](const RegistryEntry& entry) { return entry.FILELABEL == fileLabel; };
  return Registry().Find(matches) != nullptr ? Registry().Pointer() : 0;
}
}  // namespace

void ManagerRegistry::Register(std::int32_t fileLabel, FileManager& manager) {
  std::lock_guard lock(registryMutex);
  if (std::size_t at = PositionOf(fileLabel); at != 0) {
    Registry().Get(at)->FILEMANAGER = &manager;
    return;
  }
  Registry().AddSorted(RegistryEntry{fileLabel, &manager},
                       [](const RegistryEntry& a, const RegistryEntry& b) { return a.FILELABEL < b.FILELABEL; });
}

void ManagerRegistry::Unregister(std::int32_t fileLabel) {
  std::lock_guard lock(registryMutex);
  if (std::size_t at = PositionOf(fileLabel); at != 0) Registry().Delete(at);
}

FileManager* ManagerRegistry::FindManager(const runtime::DataFile& file) {
  std::lock_guard lock(registryMutex);
  const std::size_t at = PositionOf(file.Label());
  return at == 0 ? nullptr : Registry().Get(at)->FILEMANAGER;
}

std::size_t ManagerRegistry::Count() {
  std::lock_guard lock(registryMutex);
  return Registry().Records();
}

}  // namespace marlinden
