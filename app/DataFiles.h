// The program's data files, declared once: the keyed record files (the
// bookmarks, their folders and dates, their link checks, the find's index
// of their words, and the e-mail form's last settings) and the two bookmark HTML transfer files, with their record
// layouts, keys, drivers and names, and the settings their file managers start with. The runtime files are made on
// first use and live for the whole process; every procedure reaches them through the global file and relation managers
// (Globals.h). Call under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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

// --- BookmarkDetailsStore: "FOLDERS", KEYED, prefix FOL ----------------------
// Beside the bookmarks, one record per bookmark number: the folder path it
// was imported with, whether one of those folders was a browser's toolbar,
// and its dates. Opened, locked and committed with the bookmark file (its
// relation manager is the bookmarks' related file; a deleted bookmark's
// record goes with it). A record whose number no bookmark has is never
// read: whatever gives a bookmark a number writes that number's record.
enum BookmarkDetailsField : std::size_t { FolNum = 1, FolPath, FolToolbar, FolAdded, FolModified };
enum BookmarkDetailsKey : std::size_t { FolNumKey = 1 };
inline constexpr std::uint32_t kFolderPathWidth = 1000;

// --- LinkCheckStore: "LINKS", KEYED, prefix LNK -------------------------------
// Beside the bookmarks, one record per bookmark number whose link was last
// checked: the address checked (a result for another address than the
// bookmark's own is stale and never shown), what the check found and when.
// Opened with the bookmark file; a deleted bookmark's record goes with it.
enum LinkCheckField : std::size_t {
  LnkNum = 1,
  LnkUrl,
  LnkStatus,
  LnkCode,
  LnkLocation,
  LnkPermanent,
  LnkError,
  LnkChecked,
};
enum LinkCheckKey : std::size_t { LnkNumKey = 1 };
inline constexpr std::uint32_t kLinkLocationWidth = 1000;
inline constexpr std::uint32_t kLinkErrorWidth = 200;

// --- BookmarkWordsStore: "WORDS", KEYED, prefix WRD ---------------------------
// Beside the bookmarks, the find's index: one record per distinct word of a
// bookmark (SearchIndex.h says which words), the word cut to
// kSearchWordWidth bytes. Read by word for the find, by number to keep a
// bookmark's words in step. Opened with the bookmark file; a deleted
// bookmark's words go with it. Holds at least every word of every stored
// bookmark: a word no longer true is only a candidate the find drops.
enum BookmarkWordsField : std::size_t { WrdWord = 1, WrdNum };
enum BookmarkWordsKey : std::size_t { WrdWordKey = 1, WrdNumKey };
inline constexpr std::uint32_t kSearchWordWidth = 40;

// --- FolderOrderStore: "ORDER", KEYED, prefix ORD -----------------------------
// Beside the bookmarks, one record per bookmark number: the text its folder
// path and description sort by (FolderOrder.h), so the list can be read by
// folder and then description. Written with the bookmark in the same
// transaction; a deleted bookmark's record goes with it. A record whose
// number no bookmark has is passed over.
enum FolderOrderField : std::size_t { OrdNum = 1, OrdSort };
enum FolderOrderKey : std::size_t { OrdNumKey = 1, OrdSortKey };
inline constexpr std::uint32_t kFolderOrderWidth = 1000;

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
// The import reads the file's raw bytes a piece at a time (RecordText): its
// records are kImportPieceBytes long, the last one padded with spaces.
// An export record holds a whole line: the longest bookmark line, with every
// character of the address and description escaped, and the longest line of
// a note or a folder heading (whose '&' and '<' grow at most threefold),
// stay below this width.
enum TransferField : std::size_t { ExpBookmark = 1, HtmBookmark = 1 };
inline constexpr std::uint32_t kExportLineWidth = 4096;
inline constexpr std::uint32_t kImportPieceBytes = 256 * 1024;

runtime::RecordLayout BookmarkLayout();
runtime::RecordLayout BookmarkDetailsLayout();
runtime::RecordLayout LinkCheckLayout();
runtime::RecordLayout BookmarkWordsLayout();
runtime::RecordLayout FolderOrderLayout();
// The bookmark file's layout as the list reads it (FoundBookmarks.h): the
// bookmark file's fields and keys, then one more key, the folder order
// (kListedFolderKey), over a field of its own the bookmark file lacks.
runtime::RecordLayout ListedBookmarkLayout();
enum ListedBookmarkKey : std::size_t { kListedFolderKey = WebDescKey + 1 };
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
runtime::DataFile& BookmarkDetailsStore();
runtime::DataFile& LinkCheckStore();
runtime::DataFile& BookmarkWordsStore();
runtime::DataFile& FolderOrderStore();
// A station of its own on the folder order file, for a reader whose order
// nothing else on its thread may move (FoundBookmarks.h); made closed.
std::unique_ptr<runtime::DataFile> MakeFolderOrderReader();
runtime::DataFile& MailSettingsStore();
runtime::DataFile& BookmarkExportFile();  // ASCII
runtime::DataFile& BookmarkImportFile();  // DOS

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
void InitBookmarkDetailsStoreManager(FileManager& manager, ErrorManager& errors);
void InitLinkCheckStoreManager(FileManager& manager, ErrorManager& errors);
void InitBookmarkWordsStoreManager(FileManager& manager, ErrorManager& errors);
void InitFolderOrderStoreManager(FileManager& manager, ErrorManager& errors);
void InitMailSettingsStoreManager(FileManager& manager, ErrorManager& errors);
void InitBookmarkExportFileManager(FileManager& manager, ErrorManager& errors);
void InitBookmarkImportFileManager(FileManager& manager, ErrorManager& errors);

}  // namespace marlinden
