#include "procedures/BatchProgress.h"

#include <algorithm>
#include <cstdint>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "runtime/files/Transaction.h"
#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/ui/Dialogs.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

namespace {

// Seconds a batch waits for another station's write lock on the bookmarks.
constexpr int kLockWaitSeconds = 5;

}  // namespace

runtime::ui::WindowDescription ProgressWindowDescription(std::string name) {
  runtime::ui::WindowDescription d;
  d.name = std::move(name);
  d.title = "Progress...";
  d.rect = {0, 0, 140, 62};
  d.font = {"MS Sans Serif", 8};
  d.timerHundredths = 1;
  d.controls = {
      runtime::ui::DescribeControl(ControlKind::String, "", {4, 4, 132, 10}),
      runtime::ui::DescribeControl(ControlKind::Progress, "", {4, 16, 132, 12}),
      runtime::ui::DescribeControl(ControlKind::String, "0% Completed", {4, 30, 132, 10}),
      runtime::ui::DescribeControl(ControlKind::Button, "Cancel", {48, 44, 45, 14}),
  };
  return d;
}

BatchProgressListener BatchProgressListen;

void TellBatchProgress(std::string_view line, int percent) {
  if (BatchProgressListen) BatchProgressListen(line, percent);
}

void ShowFileProblem(std::string_view caption, std::string_view text) {
  runtime::ui::MessageBoxRequest request;
  request.caption = std::string(caption);
  request.text = std::string(text);
  request.icon = runtime::ui::Icon::Exclamation;
  (void)runtime::ui::AskMessage(request);
}

std::string ImportFileProblem(std::string_view path) {
  const std::string name(path);
  if (name.empty()) return "No bookmark file has been named.";
  runtime::FileSystem& files = runtime::CurrentFileSystem();
  runtime::FileInfo info;
  if (files.Stat(name, runtime::LinkHandling::Follow, info) != 0) return "The file " + name + " does not exist.";
  if (info.IsDirectory()) return name + " is a folder, not a bookmark file.";
  // A pipe or a device could block the import or never end it.
  if (!info.IsRegular()) return name + " is not a regular file, so it is not read as a bookmark file.";
  if (info.size == 0) return "The file " + name + " holds no bookmarks.";
  // Readable is what an open for reading says, whoever the caller is.
  int fd = -1;
  if (files.Open(name, runtime::FileAccess::Read, runtime::FileCreation::Existing, fd) != 0) {
    return "The file " + name + " cannot be read.";
  }
  (void)files.Close(fd);
  return {};
}

BatchTransaction::BatchTransaction() {
  if (runtime::EnlistInTransaction(BookmarkStore()) != runtime::NoError) return;
  active_ = runtime::BeginTransaction(kLockWaitSeconds) == runtime::NoError;
}

BatchTransaction::~BatchTransaction() {
  if (active_) (void)runtime::RollbackTransaction();
}

bool BatchTransaction::Commit() {
  if (!active_) return true;
  active_ = false;
  return runtime::CommitTransaction() == runtime::NoError;
}

runtime::ui::Window& BatchProgressWindow::OpenProgressWindow() {
  runtime::ui::Window& window = OpenWindow(ProgressWindowDescription(section_));
  OPENED = 1;
  GlobalIni.RestoreWindow(section_, window, runtime::ui::Frame::Fixed);
  return window;
}

void BatchProgressWindow::StartBatches(ProcessManager& process, runtime::DataFile& file, RelationManager& relations,
                                       std::int64_t recordSize, std::string_view line) {
  const std::int64_t estimate = file.Bytes() / recordSize;
  view_ = std::make_unique<runtime::View>(file);
  process.Init(*view_, relations, ProgressPercent,
               static_cast<std::int32_t>(std::min<std::int64_t>(estimate, INT32_MAX)), &percentile_);
  process.PROGRESSBAR = ProgressBar;
  process.AddSortOrder(0);
  runtime::ui::Window& window = *GetWindow();
  window.SetTitle("Processing Records");
  window.SetText(ProgressPercent, "0% Completed");
  window.SetText(ProgressTextLine, std::string(line));
  ReportManager::Init(process);
  AddItem(ProgressCancel, ResponseCancelled);
  (void)file.SendOption("QUICKSCAN=on");
  PressOnEscape(ProgressCancel);
  SetAlerts();
}

void BatchProgressWindow::CloseProgressWindow() {
  if (OPENED && GetWindow() != nullptr) (void)GlobalIni.SaveWindow(section_, *GetWindow(), runtime::ui::Frame::Fixed);
  CloseWindow();
}

Severity TakeBatchInTransaction(const std::function<Severity()>& take, std::string_view caption,
                                std::string_view failure, std::string_view after, std::uint8_t& response) {
  BatchTransaction batch;
  const Severity result = take();
  if (batch.Commit()) return result;
  ShowFileProblem(caption, std::string(failure) + runtime::LastError().text + std::string(after));
  response = ResponseCancelled;
  return SeverityFatal;
}

}  // namespace marlinden
