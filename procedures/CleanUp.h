// The clean-up after an import: removes from the bookmark file every record
// the import added whose address does not begin with "HTT" or "FTP" (any
// letter case), deleting each such record directly as the sequential read
// passes it, in a progress window that can be cancelled. Records stored
// before the import, such as those typed by hand, are never touched. Thread: the calling runtime
// thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string_view>

#include "errors/Severity.h"
#include "procedures/BatchProgress.h"
#include "process/ProcessManager.h"

namespace marlinden {

// Whether the clean-up keeps a record with this address: its first three
// characters are "HTT" or "FTP" in any letter case.
bool KeepsAddress(std::string_view url);

class CleanUpProcess : public ProcessManager {
 public:
  explicit CleanUpProcess(std::int64_t highestBefore) : highestBefore_(highestBefore) {}
  Severity TakeRecord() override;
  void UpdateDisplay() override;

 private:
  const std::int64_t highestBefore_;  // records numbered up to it are not the import's
};

class CleanUpWindow : public BatchProgressWindow {
 public:
  explicit CleanUpWindow(std::int64_t highestBefore);
  Severity Init() override;
  Severity Kill() override;
  Severity TakeWindowEvent() override;

 private:
  CleanUpProcess process_;
};

// The clean-up procedure over the records numbered above highestBefore (the
// highest number before the import); leaves its result in ResponseCode and
// counts the records it removed in LastImportFigures.
void CleanUp(std::int64_t highestBefore);

}  // namespace marlinden
