// The batch reader of the process manager: a view manager that counts the
// records it reads, keeps the percentage done for a progress bar and a
// "% Complete" text, and offers TakeRecord, the per-record hook each batch
// procedure overrides. The progress window that drives it is ReportManager.
//
// Thread: the runtime thread of the progress window, holding the runtime
// lock.
#pragma once

#include <cstdint>
#include <memory>

#include "data/RelationManager.h"
#include "data/ViewManager.h"
#include "errors/Severity.h"
#include "runtime/queue/Queue.h"
#include "runtime/ui/Window.h"
#include "runtime/views/View.h"

namespace marlinden {

enum class CountRecord : std::uint8_t { No, Yes };

class ProcessManager : public ViewManager {
 public:
  struct ChildEntry {
    ViewManager* CHILD = nullptr;  // borrowed
  };

  // view and primary as ViewManager::Init; textControl shows the percentage
  // text, estimate is the expected record count (0: the primary file's
  // record count at Reset), percentile (borrowed, may be null) receives the
  // percentage and is set to 0. The caller then adds its sort order.
  void Init(runtime::View& view, RelationManager& primary, std::int32_t textControl, std::int32_t estimate,
            std::uint8_t* percentile);

  // --- Virtual operations ---------------------------------------------------
  void Kill() override;
  void Reset() override;
  // SeverityOk with a record in the buffers, SeverityNotify at the end,
  // SeverityFatal on a read error (reported by the file manager). With
  // CountRecord::Yes a record read is counted and the progress updated.
  virtual Severity ReadNext(CountRecord count);
  // Once per record. SeverityOk: go on; SeverityNotify: end this batch and
  // offer the same record again on the next timer event; SeverityFatal:
  // stop the run. The base does nothing.
  virtual Severity TakeRecord();

  // Shows the percentage in the text control and the progress bar; called
  // when the whole percentage changes.
  virtual void UpdateDisplay();

  // The whole percentage of processed out of expected: 0 without an
  // estimate, never above 100, never negative.
  static std::uint8_t Percentage(std::int64_t processed, std::int64_t expected);

  // --- Fields -----------------------------------------------------------------
  std::uint8_t CHILDREAD = 0;
  std::unique_ptr<runtime::Queue<ChildEntry>> CHILDREN;  // stays empty in this program
  std::uint8_t* PERCENTILE = nullptr;                    // borrowed; the procedure's progress value
  std::int32_t PTEXT = 0;
  std::int32_t PROGRESSBAR = 0;  // control showing PERCENTILE, 0 = none
  std::int32_t RECORDSPROCESSED = 0;
  std::int32_t RECORDSTOPROCESS = 0;
  runtime::ui::Window* WINDOW = nullptr;  // borrowed; the progress window, set by ReportManager::Init

 private:
  ViewManager& Reader();
  Severity ReadCurrent();
};

}  // namespace marlinden
