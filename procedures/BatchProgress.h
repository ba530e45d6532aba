// What the three batch procedures (import, clean-up, export) share: their
// progress window, a transaction per timer event's batch on the bookmark
// file, and the plain messages they give about the files they are handed.
// Thread: the procedure's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "errors/Severity.h"
#include "process/ProcessManager.h"
#include "process/ReportManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/ui/Window.h"
#include "runtime/ui/WindowDescription.h"
#include "runtime/views/View.h"

namespace marlinden {

// The progress window's controls, numbered in declaration order.
enum ProgressControl : std::int32_t {
  ProgressTextLine = 1,
  ProgressBar,
  ProgressPercent,  // the percentage text
  ProgressCancel,
};

// A progress window named name (its INI section), title "Progress...".
runtime::ui::WindowDescription ProgressWindowDescription(std::string name);

// The progress window of a batch procedure, with what the three share: it
// opens and closes the window where its INI section keeps it, and sets the
// procedure's process up to read a file in record order.
class BatchProgressWindow : public ReportManager {
 protected:
  explicit BatchProgressWindow(const char* section) : section_(section) {}

  // Opens the progress window, placed where the INI section keeps it.
  runtime::ui::Window& OpenProgressWindow();
  // Sets process up over file in record order: the record count estimated
  // from the file's size in bytes, the bar, the title and the texts, line on
  // the text line; then the report manager, the Cancel button, a quick scan
  // of file and the alerts. view_ holds the view the process reads.
  void StartBatches(ProcessManager& process, runtime::DataFile& file, RelationManager& relations,
                    std::int64_t recordSize, std::string_view line);
  // Saves the window's place in the INI section and closes it.
  void CloseProgressWindow();

  std::unique_ptr<runtime::View> view_;
  bool filesOpen_ = false;

 private:
  const char* const section_;
  std::uint8_t percentile_ = 0;
};

// Told of every change of a batch's whole percentage, with the progress
// window's text line (the command-line companion draws a bar from it).
// Empty when nobody listens. Guarded by the runtime lock.
using BatchProgressListener = std::function<void(std::string_view line, int percent)>;
extern BatchProgressListener BatchProgressListen;
void TellBatchProgress(std::string_view line, int percent);

// Shows a message the user must acknowledge (OK), with a warning icon.
void ShowFileProblem(std::string_view caption, std::string_view text);

// Why path cannot be read as an import file ("" when it can): missing,
// a folder, not a regular file (a pipe, a device), empty, or unreadable.
std::string ImportFileProblem(std::string_view path);

// Runs a timer event's batch (take) inside one transaction on the bookmark
// file. When the batch cannot be committed the user is told (caption, and
// failure followed by the runtime's reason and then after), response becomes
// ResponseCancelled and the result SeverityFatal, which ends the window.
Severity TakeBatchInTransaction(const std::function<Severity()>& take, std::string_view caption,
                                std::string_view failure, std::string_view after, std::uint8_t& response);

// Holds one transaction on the bookmark file for a timer event's batch:
// begun when made (work goes on without one when another station keeps
// the file locked), committed by Commit. A batch cut short by a crash is
// rolled back as a whole, so the file always holds whole batches.
class BatchTransaction {
 public:
  BatchTransaction();
  ~BatchTransaction();
  BatchTransaction(const BatchTransaction&) = delete;
  BatchTransaction& operator=(const BatchTransaction&) = delete;

  // False when the batch could not be committed (it was rolled back).
  [[nodiscard]] bool Commit();
  // Whether the batch runs in the transaction: without one each write was
  // saved on its own.
  bool Active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace marlinden
