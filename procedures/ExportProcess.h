// The export's batch process: writes every bookmark into a bookmark HTML
// file that browsers import (escaped, UTF-8, one whole line per bookmark,
// its dates and its note): those without a folder at the top as they are
// read, then the folder tree its details file holds, nested as browsers
// write it, the toolbar folder marked as theirs. The details are read when
// the run starts; the lines of bookmarks in folders wait in memory, grouped
// by folder, until the end of the run.
// The lines go to a temporary file beside the target, which replaces the
// target only when the run ends without a write failure (a cancelled run
// still gives a well-formed file); after a failure the previous file stays
// as it was. The target is the path handed over when the user pressed
// "OK", whatever happens meanwhile; once replaced, it is kept
// as the last export's path (RecentFiles.h). One export runs at a time.
// Thread: the export's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/DataFiles.h"
#include "errors/Severity.h"
#include "procedures/BatchProgress.h"
#include "procedures/BookmarkHtml.h"
#include "process/ProcessManager.h"

namespace marlinden {

// Why target may not be written by the export ("" when it may): empty, a
// folder, in a folder that does not exist, or one of the program's own
// data or INI files.
std::string ExportTargetProblem(const std::string& target);

// Whether something (a file, a folder, a link) is at target already.
bool ExportTargetExists(const std::string& target);

// The temporary file an export to target writes first.
std::string ExportTemporaryPath(const std::string& target);

class ExportLineProcess : public ProcessManager {
 public:
  Severity TakeRecord() override;
  void UpdateDisplay() override;
  // Starts a run on an export record of recordSize bytes.
  void StartRun(std::size_t recordSize) { padded_ = recordSize; }
  // Appends line (shorter than a record) to the export file; false
  // (reported) when it failed.
  bool Write(const std::string& line);
  // Reads every bookmark's details; false when they could not be read.
  bool ReadDetails();
  // Writes the folders and the bookmarks in them: sibling folders in the
  // order their first bookmark was added (a browser's toolbar first), the
  // bookmarks of a folder in the order they were added.
  void WriteFolders();

  bool FAILED = false;       // a write failed: the target is not replaced
  std::int64_t WRITTEN = 0;  // bookmarks written

 private:
  // What the export needs of a bookmark's details record.
  struct Details {
    std::size_t folder = 0;  // index in folders_; 0: none
    std::uint32_t added = 0;
    std::uint32_t modified = 0;
  };
  // A folder and the lines of its bookmarks, each bookmark's after its
  // number: numbers follow the order bookmarks were added in, which for an
  // imported file is the order its folders and links stood in.
  struct Group {
    TreePath path;
    std::vector<std::pair<std::int64_t, std::string>> lines;  // number, lines (each ending in '\n')
    std::int64_t bookmarks = 0;
  };

  std::size_t padded_ = 0;                             // bytes of the export record that may not be spaces
  std::unordered_map<std::int64_t, Details> details_;  // by bookmark number
  std::vector<Group> folders_;                         // [0]: no folder
};

class ExportProgressWindow : public BatchProgressWindow {
 public:
  explicit ExportProgressWindow(std::string target);
  Severity Init() override;
  Severity Kill() override;

 private:
  // Ends the run: the temporary file replaces the target, or is removed.
  void Finish();

  const std::string target_;
  std::string temporary_;
  std::optional<TransferFileBinding> exportFile_;  // while the run holds the one-export mark
  ExportLineProcess process_;
  bool running_ = false;  // this window holds the one-export-at-a-time mark
};

// The export process procedure for target; leaves its result in
// ResponseCode.
void ExportProcess(const std::string& target);

// Bookmark lines the last export wrote, and whether it failed (the target
// was then left as it was). Guarded by the runtime lock.
extern std::int64_t LastExportLines;
extern bool LastExportFailed;

// Whether an export is running (on any thread).
bool ExportRunning();

}  // namespace marlinden
