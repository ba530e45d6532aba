#include "procedures/ImportProcess.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/FreshNumbers.h"
#include "app/Globals.h"
#include "app/NewBookmarks.h"
#include "procedures/BatchProgress.h"
#include "procedures/BookmarkReader.h"
#include "procedures/BrowserStores.h"
#include "procedures/CleanUp.h"
#include "procedures/Duplicates.h"
#include "procedures/ProcedureStart.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/text/CaseFolding.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {

ImportFigures LastImportFigures;

namespace {

constexpr const char* kImportCaption = "Import Bookmarks";
constexpr const char* kSection = "importit";

// The runtime's last error as the messages show it: the driver's own text
// and code for a driver failure, else the runtime's.
std::string RuntimeErrorText() {
  const runtime::RuntimeError& error = runtime::LastError();
  if (error.code == runtime::DriverFailure) return error.driverText + " (" + error.driverCode + ")";
  return error.text + " (" + std::to_string(error.code) + ")";
}

// The reader of the file at path (of size bytes), told by its content: a
// browser's own store, or bookmark HTML in the encoding its first bytes
// declare, else UTF-8 when all of it is valid UTF-8, else windows-1252.
std::unique_ptr<BookmarkSource> ReaderFor(const std::string& path, std::int64_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string piece(kImportPieceBytes, '\0');
  in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
  piece.resize(static_cast<std::size_t>(in.gcount()));
  switch (KindOfBookmarkFile(piece)) {
    case BookmarkFileKind::ChromiumJson:
      return std::make_unique<ChromiumBookmarksReader>();
    case BookmarkFileKind::FirefoxPlaces:
      return std::make_unique<PlacesReader>(path, size);
    case BookmarkFileKind::Html:
      break;
  }
  if (std::string declared = DeclaredEncoding(piece); !declared.empty()) {
    return std::make_unique<BookmarkReader>(declared);
  }
  Utf8Check check;
  while (!piece.empty() && check.Valid()) {
    check.Add(piece);
    piece.resize(kImportPieceBytes);
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    piece.resize(static_cast<std::size_t>(in.gcount()));
  }
  return std::make_unique<BookmarkReader>(check.Valid() ? "UTF-8" : "WINDOWS-1252");
}

}  // namespace

// --- The piece process ------------------------------------------------------------

void ImportPieceProcess::UpdateDisplay() {
  ProcessManager::UpdateDisplay();
  TellBatchProgress("Importing bookmarks", PERCENTILE != nullptr ? *PERCENTILE : 0);
}

void ImportPieceProcess::Start(std::unique_ptr<BookmarkSource> reader, std::int64_t size) {
  reader_ = std::move(reader);
  size_ = size;
  read_ = 0;
  pieceRead_ = false;
}

Severity ImportPieceProcess::TakeRecord() {
  const Severity result = ProcessManager::TakeRecord();
  if (!pieceRead_) {
    // The last piece reads padded: only the file's own bytes are read.
    const std::string_view piece = BookmarkImportFile().RecordText();
    const auto size = static_cast<std::size_t>(std::clamp<std::int64_t>(size_ - read_, 0, kImportPieceBytes));
    read_ += static_cast<std::int64_t>(std::min(size, piece.size()));
    reader_->Read(piece.substr(0, size), read_ >= size_);
    LastImportFigures.lines = reader_->Lines();
    pieceRead_ = true;
  }
  std::deque<BookmarkEntry>& links = reader_->Entries();
  std::vector<NewBookmark> turn;
  std::unordered_set<std::string> addresses;  // of the turn, letter case aside
  int taken = 0;
  while (!links.empty() && taken < kLinksPerTurn) {
    BookmarkEntry link = std::move(links.front());
    links.pop_front();
    if (link.url.empty()) continue;
    ++LastImportFigures.links;
    ++taken;
    if (!Keeps(link)) continue;
    std::string address = link.url;
    runtime::FoldKeyCase(address);
    if (!addresses.insert(std::move(address)).second) {
      ++LastImportFigures.skipped;
      continue;
    }
    turn.push_back({std::move(link.url),
                    std::move(link.description),
                    std::move(link.notes),
                    {std::move(link.folder), link.toolbarDepth, link.added, link.modified}});
  }
  if (!AddTurn(turn)) {
    // The first failure ends the run: what follows would fail alike.
    FAILED = true;
    return SeverityFatal;
  }
  if (!links.empty()) return SeverityNotify;
  pieceRead_ = false;
  return result;
}

bool ImportPieceProcess::Keeps(const BookmarkEntry& link) {
  ImportFigures& figures = LastImportFigures;
  if (!KeepsAddress(link.url)) {
    ++figures.notWeb;
    return false;
  }
  // A cut address is a broken link: it is left out, never stored cut.
  if (link.url.size() > BookmarkStore().Record().Field(WebUrl).Bytes().size()) {
    if (figures.firstTooLong.size() < kTooLongNamed) figures.firstTooLong.push_back(link.url);
    ++figures.tooLong;
    return false;
  }
  return true;
}

bool ImportPieceProcess::AddTurn(const std::vector<NewBookmark>& turn) {
  ImportFigures& figures = LastImportFigures;
  const std::vector<NewBookmarkResult> results = AddNewBookmarks(*BookmarkStoreManager, turn);
  const std::size_t notesWidth = BookmarkStore().Layout().Memo(WebNotes).maxSize;
  for (std::size_t i = 0; i < results.size(); ++i) {
    switch (results[i]) {
      case NewBookmarkResult::Added:
        ++batchAdded_;
        if (turn[i].notes.size() > notesWidth) ++batchNotesCut_;
        break;
      case NewBookmarkResult::Stored:
        ++figures.skipped;
        break;
      case NewBookmarkResult::Unreadable:
        figures.failure = "the bookmarks could not be read: " + RuntimeErrorText();
        ShowFileProblem(kImportCaption, "The import stopped: " + figures.failure + ".");
        return false;
      case NewBookmarkResult::NotAdded:
        // The file manager tells the user why a bookmark itself could not be stored.
        figures.failure = "a bookmark could not be added: " + RuntimeErrorText();
        return false;
    }
  }
  return true;
}

// --- The progress window ----------------------------------------------------------

ImportProgressWindow::ImportProgressWindow(std::string path) : BatchProgressWindow(kSection), path_(std::move(path)) {}

Severity ImportProgressWindow::Init() {
  if (const Severity result = StartProcedure(*this, ProgressCancel); result != SeverityOk) return result;
  LastImportFigures = {};

  // A missing, empty or unreadable name is told plainly; nothing is opened,
  // and the file is never created.
  if (const std::string problem = ImportFileProblem(path_); !problem.empty()) {
    ShowFileProblem(kImportCaption, problem);
    return SeverityNotify;
  }
  std::error_code error;
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path_, error));
  process_.Start(ReaderFor(path_, error ? 0 : size), error ? 0 : size);
  importFile_.emplace(BookmarkImportFile(), *BookmarkImportFileManager, path_, path_);
  BookmarkImportFileManager->CREATE = 0;
  BookmarkImportFileManager->OPENMODE = runtime::AccessRead | runtime::ShareDenyNone;
  if (BookmarkStoreRelations->Open() != SeverityOk) return SeverityNotify;
  if (BookmarkImportFileRelations->Open() != SeverityOk) {
    (void)BookmarkStoreRelations->Close();
    return SeverityNotify;
  }
  filesOpen_ = true;
  // Opened now, so the first batch already runs in a transaction.
  (void)BookmarkStoreManager->UseFile();
  (void)BookmarkDetailsStoreManager->UseFile();
  (void)BookmarkImportFileManager->UseFile();
  if (BookmarkStore().IsReadOnly()) {
    LastImportFigures.failure = "the bookmark file is open for reading only";
    ShowFileProblem(kImportCaption, "Nothing was imported: the bookmark file " + BookmarkStore().DiskName() + ".db" +
                                        " cannot be written to.");
    return SeverityNotify;
  }
  HIGHESTBEFORE = HighestBookmarkNumber().value_or(0);

  OpenProgressWindow();
  StartBatches(process_, BookmarkImportFile(), *BookmarkImportFileRelations, kImportPieceBytes, "");
  return SeverityOk;
}

Severity ImportProgressWindow::TakeWindowEvent() {
  if (ThisEvent().code != runtime::ui::EventCode::Timer || !filesOpen_) return ReportManager::TakeWindowEvent();
  BookmarkFilesTransaction batch(CommitOrder::DetailsFirst);
  // The batch's new bookmarks add their details, words and order records
  // unread: on a server those go with the commit.
  const FreshBookmarkNumbers fresh;
  const Severity result = ReportManager::TakeWindowEvent();
  if (process_.FAILED) {
    // The batch that failed is rolled back whole and the batches before it
    // stay; without a transaction its additions up to the failure stay too.
    if (batch.Active()) {
      process_.BatchLost();
    } else {
      process_.BatchSaved();
    }
    RESPONSE = ResponseCancelled;
    return SeverityFatal;
  }
  if (!batch.Commit()) {
    process_.BatchLost();
    LastImportFigures.failure = "the last batch could not be saved: " + RuntimeErrorText();
    ShowFileProblem(kImportCaption, "The bookmarks of the last batch could not be saved: " + RuntimeErrorText() +
                                        ". Import the file again to complete it.");
    RESPONSE = ResponseCancelled;
    return SeverityFatal;
  }
  process_.BatchSaved();
  return result;
}

Severity ImportProgressWindow::Kill() {
  if (const Severity result = ReportManager::Kill(); result != SeverityOk) return result;
  view_.reset();
  if (filesOpen_) {
    (void)BookmarkStoreRelations->Close();
    (void)BookmarkImportFileRelations->Close();
    filesOpen_ = false;
  }
  importFile_.reset();
  CloseProgressWindow();
  return SeverityOk;
}

void ImportProcess(const std::string& path) {
  std::uint8_t response = ResponseCancelled;
  bool started = false;
  std::int64_t highestBefore = 0;
  {
    ImportProgressWindow window(path);
    response = window.Run();
    started = window.OPENED != 0;
    highestBefore = window.HIGHESTBEFORE;
  }
  ImportFigures& figures = LastImportFigures;
  // A failure cancels the run too, and is told as itself.
  figures.cancelled = started && response == ResponseCancelled && figures.failure.empty();
  if (started && figures.links == 0 && figures.failure.empty()) {
    figures.noBookmarks = true;
    ShowFileProblem(kImportCaption, "The file " + path + " holds no bookmarks.");
  }
  // The clean-up also follows a cancelled import, over what it added.
  if (started && figures.added > 0) {
    CleanUp(highestBefore);
    if (BookmarkStoreRelations->Open() == SeverityOk) {
      if (BookmarkStoreManager->UseFile() == SeverityOk) figures.lookAlikes = CountLookAlikes(highestBefore);
      (void)BookmarkStoreRelations->Close();
    }
  }
  ResponseCode = response;
}

std::string ImportSummary(const ImportFigures& figures) {
  std::string summary =
      "lines read: " + std::to_string(figures.lines) + "\n" + "links read: " + std::to_string(figures.links) + "\n" +
      "bookmarks added: " + std::to_string(figures.added) + "\n" +
      (figures.lookAlikes > 0
           ? "of them like one stored already (Find Duplicates): " + std::to_string(figures.lookAlikes) + "\n"
           : std::string()) +
      "skipped, already stored: " + std::to_string(figures.skipped) + "\n" +
      "left out, not a web or FTP address: " + std::to_string(figures.notWeb) + "\n" +
      "left out, address too long: " + std::to_string(figures.tooLong) + "\n";
  for (const std::string& url : figures.firstTooLong) summary += "  " + url + "\n";
  if (figures.notesCut > 0) summary += "notes cut to what a bookmark holds: " + std::to_string(figures.notesCut) + "\n";
  summary += "removed by the clean-up: " + std::to_string(figures.removed) + "\n";
  if (!figures.failure.empty()) summary += "stopped early: " + figures.failure + "\n";
  if (figures.cancelled) summary += "stopped early: cancelled\n";
  return summary;
}

}  // namespace marlinden
