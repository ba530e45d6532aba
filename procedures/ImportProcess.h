// The import's batch process: reads the bookmark HTML file, or the
// browser's own store (BrowserStores.h), it is handed a piece at a time
// (BookmarkReader) and adds one bookmark for every link
// whose address is not stored yet (letter case aside), with its notes, and
// its folder path and dates in the details file, in a progress window that
// can be cancelled. Each timer event's batch is one transaction over both
// files, so they hold whole batches after a crash and a second run
// completes the import without duplicates; an address stored already keeps
// what it has. The clean-up runs when it ends.
// Thread: the calling runtime thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/DataFiles.h"
#include "app/NewBookmarks.h"
#include "errors/Severity.h"
#include "procedures/BatchProgress.h"
#include "procedures/BookmarkReader.h"
#include "process/ProcessManager.h"

namespace marlinden {

// What the last import did, for a summary. Every link read lands in one of
// added, skipped, notWeb and tooLong; added counts only bookmarks whose
// batch was committed.
struct ImportFigures {
  std::int64_t lines = 0;                 // lines read (a database: its bookmarks read)
  std::int64_t links = 0;                 // links found on them
  std::int64_t added = 0;                 // bookmarks added and saved
  std::int64_t skipped = 0;               // links whose address was stored already
  std::int64_t notWeb = 0;                // left out: neither a web nor an FTP address
  std::int64_t tooLong = 0;               // left out: an address longer than a bookmark holds
  std::int64_t notesCut = 0;              // added with their notes cut to what a bookmark holds
  std::int64_t lookAlikes = 0;            // added, of a page stored already under another spelling
  std::vector<std::string> firstTooLong;  // the first kTooLongNamed of them
  std::int64_t removed = 0;               // records the clean-up removed
  std::string failure;                    // why the import stopped early ("" when it did not)
  bool cancelled = false;                 // the user cancelled it: the batches saved before stay
  bool noBookmarks = false;               // the file held no link at all: nothing was changed
};
extern ImportFigures LastImportFigures;

// How many of the addresses left out as too long the summary names.
inline constexpr std::size_t kTooLongNamed = 3;

// The summary of figures, one "what: count" line each, as the window and
// the command-line companion show it.
std::string ImportSummary(const ImportFigures& figures);

// Links taken from one piece of the file before the batch yields to the
// window, so a piece full of short links still repaints and cancels.
inline constexpr int kLinksPerTurn = 2000;

class ImportPieceProcess : public ProcessManager {
 public:
  // Reads the file of size bytes through reader.
  void Start(std::unique_ptr<BookmarkSource> reader, std::int64_t size);
  Severity TakeRecord() override;
  void UpdateDisplay() override;
  // The batch's additions were saved, or rolled back with it.
  void BatchSaved() {
    LastImportFigures.added += std::exchange(batchAdded_, 0);
    LastImportFigures.notesCut += std::exchange(batchNotesCut_, 0);
  }
  void BatchLost() { batchAdded_ = batchNotesCut_ = 0; }
  // An insert failed: the run ends after this batch, which is rolled back.
  bool FAILED = false;

 private:
  // Whether link's address can be stored: counted as left out if not.
  bool Keeps(const BookmarkEntry& link);
  // Adds the turn's bookmarks whose addresses are not stored yet; false
  // when one could not be read or added (told, and the failure noted).
  bool AddTurn(const std::vector<NewBookmark>& turn);

  std::unique_ptr<BookmarkSource> reader_;
  std::int64_t size_ = 0;        // the file's bytes when the import began
  std::int64_t read_ = 0;        // bytes handed to the reader
  bool pieceRead_ = false;       // the current piece was handed over; its links are being taken
  std::int64_t batchAdded_ = 0;  // added in the batch not yet committed
  std::int64_t batchNotesCut_ = 0;
};

class ImportProgressWindow : public BatchProgressWindow {
 public:
  explicit ImportProgressWindow(std::string path);
  Severity Init() override;
  Severity Kill() override;
  Severity TakeWindowEvent() override;

  // The highest bookmark number before the import: the clean-up looks only
  // at records numbered above it.
  std::int64_t HIGHESTBEFORE = 0;

 private:
  const std::string path_;
  std::optional<TransferFileBinding> importFile_;  // while the file is open
  ImportPieceProcess process_;
};

// The import process procedure for the file at path; leaves its result in
// ResponseCode and its figures in LastImportFigures. Runs the clean-up
// afterwards over what it added (also when cancelled); a file without any
// link changes nothing and is told as such.
void ImportProcess(const std::string& path);

}  // namespace marlinden
