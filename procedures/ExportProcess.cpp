#include "procedures/ExportProcess.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/RecentFiles.h"
#include "procedures/BatchProgress.h"
#include "procedures/BookmarkHtml.h"
#include "procedures/ProcedureStart.h"
#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"
#include "window/Globals.h"

namespace marlinden {

namespace {

constexpr const char* kExportCaption = "Export Bookmarks";
constexpr const char* kSection = "exportme";

// Guarded by the runtime lock.
bool exportRunning = false;

std::filesystem::path Canonical(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
  return error ? path.lexically_normal() : canonical;
}

// The files the program keeps in its data folder.
std::vector<std::filesystem::path> OwnFiles() {
  std::vector<std::filesystem::path> files;
  for (const std::string& store :
       {BookmarkStore().DiskName(), BookmarkDetailsStore().DiskName(), MailSettingsStore().DiskName()}) {
    for (const char* suffix : {".db", ".db-wal", ".db-shm", ".db-journal"}) files.emplace_back(store + suffix);
  }
  files.emplace_back(kWindowIniFile);
  files.emplace_back(kFavoriteIniFile);
  files.emplace_back(kRecentFilesIniFile);
  return files;
}

}  // namespace

std::int64_t LastExportLines = 0;
bool LastExportFailed = false;

bool ExportRunning() { return exportRunning; }

std::string ExportTemporaryPath(const std::string& target) { return target + ".marlinden-export"; }

bool ExportTargetExists(const std::string& target) {
  runtime::FileInfo info;
  return runtime::CurrentFileSystem().Stat(target, runtime::LinkHandling::NoFollow, info) == 0;
}

std::string ExportTargetProblem(const std::string& target) {
  if (target.empty()) return "No file name has been given for the export.";
  runtime::FileSystem& files = runtime::CurrentFileSystem();
  runtime::FileInfo info;
  if (files.Stat(target, runtime::LinkHandling::Follow, info) == 0 && info.IsDirectory()) {
    return target + " is a folder: name a file to export to.";
  }
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(target, error).parent_path();
  if (files.Stat(folder.string(), runtime::LinkHandling::Follow, info) != 0 || !info.IsDirectory()) {
    return "The folder " + folder.string() + " does not exist.";
  }
  // The new file is written beside the target first.
  if (files.CheckWritable(folder.string()) != 0) return "The folder " + folder.string() + " cannot be written to.";
  const std::filesystem::path canonical = Canonical(target);
  for (const std::filesystem::path& own : OwnFiles()) {
    if (Canonical(own) == canonical) return target + " is one of the program's own files and is not overwritten.";
  }
  return {};
}

// --- The line process -------------------------------------------------------------

bool ExportLineProcess::Write(const std::string& line) {
  // The record is the one field: the line's bytes, padded. Only what the
  // last line left beyond this one needs padding again.
  runtime::RecordBuffer& record = BookmarkExportFile().Record();
  const std::size_t size = std::min(line.size(), record.Size());
  std::memcpy(record.Data(), line.data(), size);
  if (padded_ > size) std::memset(record.Data() + size, ' ', padded_ - size);
  padded_ = size;
  if (BookmarkExportFileManager->Insert() == SeverityOk) return true;
  FAILED = true;
  return false;
}

void ExportLineProcess::UpdateDisplay() {
  ProcessManager::UpdateDisplay();
  TellBatchProgress("Exporting Bookmarks", PERCENTILE != nullptr ? *PERCENTILE : 0);
}

bool ExportLineProcess::ReadDetails() {
  details_.clear();
  folders_.assign(1, Group{});
  if (BookmarkDetailsStoreManager->UseFile() != SeverityOk) return false;
  runtime::DataFile& file = BookmarkDetailsStore();
  std::map<std::pair<std::string, std::int64_t>, std::size_t> known;  // stored path, toolbar -> index in folders_
  (void)file.SetOrder(0);
  std::int32_t code = runtime::NoError;
  while ((code = file.Next()) == runtime::NoError) {
    runtime::RecordBuffer& record = file.Record();
    Details& details = details_[record.Field(FolNum).Get().AsInteger()];
    details.added = static_cast<std::uint32_t>(record.Field(FolAdded).Get().AsInteger());
    details.modified = static_cast<std::uint32_t>(record.Field(FolModified).Get().AsInteger());
    const std::string_view stored = record.Field(FolPath).ClippedText();
    if (stored.empty()) continue;
    const std::int64_t toolbar = record.Field(FolToolbar).Get().AsInteger();
    const auto [at, added] = known.try_emplace({std::string(stored), toolbar}, folders_.size());
    if (added) {
      folders_.push_back(Group{MakeTreePath(DecodeFolderPath(stored), static_cast<std::size_t>(toolbar)), {}, 0});
    }
    details.folder = at->second;
  }
  return code == runtime::NoRecord;
}

Severity ExportLineProcess::TakeRecord() {
  const Severity result = ProcessManager::TakeRecord();
  runtime::RecordBuffer& web = BookmarkStore().Record();
  const auto found = details_.find(web.Field(WebNum).Get().AsInteger());
  const Details details = found != details_.end() ? found->second : Details{};
  Group& group = folders_[details.folder];
  const std::size_t depth = group.path.size();
  std::string line = ExportLine(web.Field(WebUrl).ClippedText(), web.Field(WebDescription).ClippedText(), details.added,
                                details.modified, depth);
  const std::vector<std::string> notes = ExportNoteLines(web.Memo(WebNotes), depth);
  if (details.folder != 0) {
    // Written with its folder at the end of the run.
    std::string& lines = group.lines.emplace_back(web.Field(WebNum).Get().AsInteger(), std::string()).second;
    lines.append(line).append("\n");
    for (const std::string& note : notes) lines.append(note).append("\n");
    ++group.bookmarks;
    return result;
  }
  if (!Write(line)) return SeverityFatal;
  for (const std::string& note : notes) {
    if (!Write(note)) return SeverityFatal;
  }
  ++WRITTEN;
  return result;
}

void ExportLineProcess::WriteFolders() {
  std::vector<Group*> order;
  // The first bookmark added under each folder, its subfolders' included.
  std::map<TreePath, std::int64_t> first;
  for (std::size_t i = 1; i < folders_.size(); ++i) {
    Group& group = folders_[i];
    if (group.bookmarks == 0) continue;
    order.push_back(&group);
    std::sort(group.lines.begin(), group.lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t depth = 1; depth <= group.path.size(); ++depth) {
      const TreePath prefix(group.path.begin(), group.path.begin() + static_cast<std::ptrdiff_t>(depth));
      const auto [at, added] = first.try_emplace(prefix, group.lines.front().first);
      if (!added) at->second = std::min(at->second, group.lines.front().first);
    }
  }
  // Each folder of a path by (not a toolbar, first bookmark): a folder's
  // subfolders stay together, as the tree writer needs.
  auto placing = [&first](const TreePath& path) {
    std::vector<std::pair<bool, std::int64_t>> key;
    for (std::size_t depth = 1; depth <= path.size(); ++depth) {
      const TreePath prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(depth));
      key.emplace_back(!path[depth - 1].toolbar, first.at(prefix));
    }
    return key;
  };
  std::sort(order.begin(), order.end(),
            [&placing](const Group* a, const Group* b) { return placing(a->path) < placing(b->path); });
  FolderTreeWriter tree([this](const std::string& line) { return Write(line); });
  for (const Group* group : order) {
    if (!tree.Enter(group->path)) return;
    for (const auto& [number, text] : group->lines) {
      std::string_view lines = text;
      for (std::size_t end = lines.find('\n'); end != std::string_view::npos; end = lines.find('\n')) {
        if (!Write(std::string(lines.substr(0, end)))) return;
        lines.remove_prefix(end + 1);
      }
    }
    WRITTEN += group->bookmarks;
  }
  (void)tree.Finish();
}

// --- The progress window ----------------------------------------------------------

ExportProgressWindow::ExportProgressWindow(std::string target)
    : BatchProgressWindow(kSection), target_(std::move(target)) {}

Severity ExportProgressWindow::Init() {
  if (const Severity result = StartProcedure(*this, ProgressCancel); result != SeverityOk) return result;
  if (exportRunning) {
    ShowFileProblem(kExportCaption, "An export is running already; wait until it has finished.");
    return SeverityNotify;
  }
  if (const std::string problem = ExportTargetProblem(target_); !problem.empty()) {
    ShowFileProblem(kExportCaption, problem);
    return SeverityNotify;
  }
  exportRunning = running_ = true;
  temporary_ = ExportTemporaryPath(target_);
  // The lines go to the temporary file; the messages name the target.
  exportFile_.emplace(BookmarkExportFile(), *BookmarkExportFileManager, temporary_, target_);
  (void)BookmarkExportFile().Remove();  // a temporary file a crash left behind

  // A file that cannot be opened was reported by its manager; the run
  // wrote nothing, so the target is left as it is.
  if (BookmarkStoreRelations->Open() != SeverityOk) {
    process_.FAILED = true;
    return SeverityNotify;
  }
  if (BookmarkExportFileRelations->Open() != SeverityOk) {
    process_.FAILED = true;
    (void)BookmarkStoreRelations->Close();
    return SeverityNotify;
  }
  filesOpen_ = true;
  if (BookmarkExportFileManager->UseFile() != SeverityOk) process_.FAILED = true;
  process_.StartRun(BookmarkExportFile().Record().Size());
  if (!process_.FAILED && !process_.ReadDetails()) {
    process_.FAILED = true;
    ShowFileProblem(kExportCaption, "The folders of the bookmarks could not be read: " + runtime::LastError().text +
                                        ". Nothing was exported.");
  }
  // The lines are written a block at a time; the end of the run says
  // whether they all reached the disk.
  (void)BookmarkExportFile().SendOption("QUICKSCAN=on");
  for (const char* line : kExportHeader) {
    if (!process_.FAILED) (void)process_.Write(line);
  }

  OpenProgressWindow();
  if (process_.FAILED) return SeverityNotify;

  (void)BookmarkStoreManager->UseFile();
  StartBatches(process_, BookmarkStore(), *BookmarkStoreRelations, kBookmarkRecordSize, "Exporting Bookmarks");
  return SeverityOk;
}

void ExportProgressWindow::Finish() {
  if (filesOpen_) {
    // A cancelled run still ends with its folders and the closing line: a
    // well-formed file.
    if (!process_.FAILED) process_.WriteFolders();
    if (!process_.FAILED) (void)process_.Write(kExportFooter);
    if (BookmarkExportFile().SendOption("QUICKSCAN=off") != runtime::NoError && !process_.FAILED) {
      process_.FAILED = true;
      ShowFileProblem(kExportCaption,
                      "The export could not be written to " + target_ + ": " + runtime::LastError().driverText + ".");
    }
    (void)BookmarkStoreRelations->Close();
    (void)BookmarkExportFileRelations->Close();
    filesOpen_ = false;
  }
  if (running_) {
    if (!process_.FAILED) {
      runtime::FileSystem& files = runtime::CurrentFileSystem();
      if (const int error = files.Rename(temporary_, target_)) {
        process_.FAILED = true;
        ShowFileProblem(kExportCaption, "The export could not replace " + target_ + ": " + std::strerror(error) + ".");
      } else {
        // The new name must survive a crash too.
        std::error_code ignored;
        const std::filesystem::path written = std::filesystem::absolute(target_, ignored);
        (void)files.SyncDirectory(written.parent_path().string());
        // Only the next proposal of the export window is lost when the
        // name cannot be kept; the export itself is done.
        (void)WriteLastExport(written.string());
      }
    }
    if (process_.FAILED) {
      (void)BookmarkExportFile().Remove();
      RESPONSE = ResponseCancelled;
    }
    exportFile_.reset();
    exportRunning = running_ = false;
    LastExportLines = process_.WRITTEN;
    LastExportFailed = process_.FAILED;
  }
}

Severity ExportProgressWindow::Kill() {
  const Severity base = ReportManager::Kill();
  if (base != SeverityOk && PROCESS != nullptr) return base;
  view_.reset();
  Finish();
  CloseProgressWindow();
  return SeverityOk;
}

void ExportProcess(const std::string& target) {
  LastExportLines = 0;
  LastExportFailed = true;  // until a run has finished
  ExportProgressWindow window(target);
  ResponseCode = window.Run();
}

}  // namespace marlinden
