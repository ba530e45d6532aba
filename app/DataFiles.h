// The program's data files, declared once: the two keyed record files (the
// bookmarks and the e-mail form's last settings) and the two bookmark HTML
// transfer files, with their record layouts, keys, drivers and names, and
// the settings their file managers start with. The runtime files are made
// on first use and live for the whole process; every procedure reaches them
// through the global file and relation managers (Globals.h).
// Call under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/FileManager.h"
#include "errors/ErrorManager.h"
#include "runtime/files/DataFile.h"
#include "runtime/files/RecordLayout.h"
#include "runtime/text/FixedText.h"

namespace marlinden {

// --- BookmarkStore: "MARLINDEN", KEYED, 510-byte records, prefix WEB ---------
enum BookmarkField : std::size_t { WebNum = 1, WebUrl, WebDescription, WebNoteField };
enum BookmarkMemo : std::size_t { WebNotes = 1 };
enum BookmarkKey : std::size_t { WebNumKey = 1, WebNameKey, WebDescKey };
inline constexpr std::uint32_t kBookmarkRecordSize = 510;
inline constexpr std::uint32_t kUrlWidth = 255;

// --- MailSettingsStore: "EMAIL", KEYED, 1325-byte records, prefix EMA --------
enum MailSettingsField : std::size_t {
  EmaSenderEmail = 1,
  EmaSenderName,
  EmaReceiverEmail,
  EmaReceiverName,
  EmaSmtp,
  EmaSubject,
};
enum MailSettingsMemo : std::size_t { EmaMessage = 1 };
inline constexpr std::uint32_t kMailSettingsRecordSize = 1325;

// --- The transfer files: one line per record ----------------------------------
// The import reads each whole line (RecordText); its record keeps 255 bytes.
// An export record holds a whole line: the longest bookmark line, with every
// character of the address and description escaped, stays below this width.
enum TransferField : std::size_t { ExpBookmark = 1, HtmBookmark = 1 };
inline constexpr std::uint32_t kExportLineWidth = 4096;

runtime::RecordLayout BookmarkLayout();
runtime::RecordLayout MailSettingsLayout();
runtime::RecordLayout ExportLayout();  // prefix EXP
runtime::RecordLayout ImportLayout();  // prefix HTM

// The declared disk name of both transfer files, read each time one of them
// opens (a relative path is taken in the data folder, DataFolder.h, like
// every data file). The import and the export never hand their file over
// through it: each names its file for its run with TransferFileBinding.
extern runtime::FixedText<255> TransferFileName;

// The runtime files, each with its record buffer. The two keyed files are
// per-thread (each runtime thread has its own record, position and state);
// the transfer files are shared, one thread using them at a time.
runtime::DataFile& BookmarkStore();
runtime::DataFile& MailSettingsStore();
runtime::DataFile& BookmarkExportFile();  // ASCII
runtime::DataFile& BookmarkImportFile();  // BASIC

// Points a transfer file at path (taken as it stands) for the life of a run,
// with shownName in its manager's messages, and back at TransferFileName, as declared, afterwards.
// Thread: the run's runtime thread, holding the runtime lock.
class TransferFileBinding {
 public:
  TransferFileBinding(runtime::DataFile& file, FileManager& manager, std::string path, std::string_view shownName);
  ~TransferFileBinding();
  TransferFileBinding(const TransferFileBinding&) = delete;
  TransferFileBinding& operator=(const TransferFileBinding&) = delete;

 private:
  runtime::DataFile& file_;
  FileManager& manager_;
  const std::string path_;
  runtime::FixedText<255> shownName_;
};

// Initialise a file manager for its file with the program's settings (name
// shown in messages, create when missing, read/write deny-none access, lazy
// open, lock recovery, keys). errors is borrowed for the manager's life.
void InitBookmarkStoreManager(FileManager& manager, ErrorManager& errors);
void InitMailSettingsStoreManager(FileManager& manager, ErrorManager& errors);
void InitBookmarkExportFileManager(FileManager& manager, ErrorManager& errors);
void InitBookmarkImportFileManager(FileManager& manager, ErrorManager& errors);

}  // namespace marlinden
