// The clean-up after an import: removes from the bookmark file every record
// whose address does not begin with "HTT" or "FTP" (any letter case),
// deleting each such record directly as the sequential read passes it, in a
// progress window that can be cancelled. Thread: the calling runtime
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
  Severity TakeRecord() override;
  void UpdateDisplay() override;
};

class CleanUpWindow : public BatchProgressWindow {
 public:
  CleanUpWindow();
  Severity Init() override;
  Severity Kill() override;
  Severity TakeWindowEvent() override;

 private:
  CleanUpProcess process_;
};

// The clean-up procedure; leaves its result in ResponseCode and counts the
// records it removed in LastImportFigures.
void CleanUp();

}  // namespace marlinden
