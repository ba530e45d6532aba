// The import's batch process: reads the bookmark HTML file named by
// TransferFileName line by line and adds one bookmark for every link whose
// address is not stored yet (letter case aside), in a progress window that
// can be cancelled. Each timer event's batch is one transaction, so the
// file holds whole batches after a crash and a second run completes the
// import without duplicates. The clean-up runs when it ends.
// Thread: the calling runtime thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "errors/Severity.h"
#include "procedures/BatchProgress.h"
#include "process/ProcessManager.h"

namespace marlinden {

// What the last import did, for a summary.
struct ImportFigures {
  std::int64_t lines = 0;    // lines read
  std::int64_t links = 0;    // links found on them
  std::int64_t added = 0;    // bookmarks added
  std::int64_t skipped = 0;  // links whose address was stored already
  std::int64_t removed = 0;  // records the clean-up removed
};
extern ImportFigures LastImportFigures;

// Links taken from one line before the batch yields to the window, so a
// file written on a single line still repaints and cancels.
inline constexpr int kLinksPerTurn = 2000;

class ImportLineProcess : public ProcessManager {
 public:
  Severity TakeRecord() override;
  void UpdateDisplay() override;

 private:
  // Adds the link in the bookmark buffer unless its address is stored.
  void AddBookmark();

  std::size_t lineAt_ = 0;  // where the current line's next link is looked for
};

class ImportProgressWindow : public BatchProgressWindow {
 public:
  ImportProgressWindow();
  Severity Init() override;
  Severity Kill() override;
  Severity TakeWindowEvent() override;

 private:
  ImportLineProcess process_;
};

// The import process procedure; leaves its result in ResponseCode. Runs the
// clean-up afterwards (also when cancelled).
void ImportProcess();

}  // namespace marlinden
