#include "procedures/ExportBookmarks.h"

#include <filesystem>
#include <system_error>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/RecentFiles.h"
#include "procedures/BatchProgress.h"
#include "procedures/ExportProcess.h"
#include "procedures/ProcedureStart.h"
#include "runtime/system/Directory.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

namespace {

constexpr const char* kSection = "exportit";
constexpr const char* kCaption = "Export Bookmarks";

// Whether the export may write target: nothing is there yet, or the user
// answered Yes to replacing it.
bool MayReplace(const std::string& target) {
  if (!ExportTargetExists(target)) return true;
  runtime::ui::MessageBoxRequest request;
  request.caption = kCaption;
  request.text = target + " already exists. Do you want to replace it?";
  request.icon = runtime::ui::Icon::Question;
  request.buttons = runtime::ui::ButtonYes | runtime::ui::ButtonNo;
  request.defaultButton = runtime::ui::ButtonNo;
  return runtime::ui::AskMessage(request) == runtime::ui::ButtonYes;
}

}  // namespace

runtime::ui::WindowDescription ExportWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = kSection;
  d.title = "Save As";
  d.rect = {0, 0, 220, 50};
  d.font = {"MS Sans Serif", 8};
  ControlDescription entry = runtime::ui::DescribeControl(ControlKind::Entry, "", {52, 6, 144, 10});
  entry.picture = "@s255";
  ControlDescription lookup = runtime::ui::DescribeControl(ControlKind::Button, "", {200, 5, 14, 12});
  lookup.icon = "Save.ico";
  d.controls = {
      runtime::ui::DescribeControl(ControlKind::Prompt, "Save File As", {4, 6, 46, 10}),
      entry,
      runtime::ui::DescribeControl(ControlKind::Button, "OK", {110, 30, 45, 14}),
      runtime::ui::DescribeControl(ControlKind::Button, "Cancel", {160, 30, 45, 14}),
      lookup,
  };
  return d;
}

std::string ExportFileName(std::string_view chosen) {
  std::string name(runtime::Clip(chosen));
  if (name.empty()) return name;
  const std::string upper = runtime::UpperAscii(name);
  if (!upper.ends_with(".HTM") && !upper.ends_with(".HTML")) name += kExportExtension;
  return name;
}

std::string ProposedExportPath() {
  if (std::string last = ReadLastExport(); !last.empty()) return last;
  const std::string folder = ChooserStartFolder(FileChooser::Export);
  if (folder.empty()) return {};
  return (std::filesystem::path(folder) / kExportDefaultName).string();
}

std::string ExportDialogStart(std::string_view entry) {
  const std::filesystem::path named(runtime::Clip(entry));
  std::error_code error;
  if (named.is_absolute() && named.has_filename() && std::filesystem::is_directory(named.parent_path(), error)) {
    return named.string();
  }
  const std::string folder = ChooserStartFolder(FileChooser::Export);
  const std::filesystem::path file = named.has_filename() ? named.filename() : kExportDefaultName;
  return folder.empty() ? file.string() : (std::filesystem::path(folder) / file).string();
}

Severity ExportBookmarksWindow::Init() {
  if (const Severity result = StartProcedure(*this, ExportPrompt); result != SeverityOk) return result;
  runtime::ui::Window& window = OpenWindow(ExportWindowDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow(kSection, window, runtime::ui::Frame::Fixed);
  window.SetText(ExportEntry, ProposedExportPath());
  PressOnEscape(ExportCancel);
  SetAlerts();
  return SeverityOk;
}

void ExportBookmarksWindow::LookUp() {
  runtime::ui::Window* window = GetWindow();
  ExportSavedDirectory.Set(runtime::ShortPath(runtime::CurrentDirectory()));
  const std::string initial = ExportDialogStart(window != nullptr ? window->Text(ExportEntry) : std::string());
  // The save dialog does not ask about an existing file (no ConfirmOverwrite
  // flag): OK asks, about the name the entry holds then.
  const std::string chosen = runtime::ui::FileDialog(runtime::ui::FileDialogMode::Save, "Save Bookmark File As . . .",
                                                     initial, kExportFilter, 0);
  // The dialog's cancel leaves the name in the entry as it was.
  if (!chosen.empty() && window != nullptr) {
    ExportChosenName.Set(chosen);
    (void)KeepChooserFolder(FileChooser::Export, chosen);
    window->SetText(ExportEntry, ExportFileName(ExportChosenName.Padded()));
    window->Display(ExportEntry);
  }
  (void)runtime::SetCurrentDirectory(ExportSavedDirectory.Clipped());
}

Severity ExportBookmarksWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  if (window != nullptr && control == ExportOk) {
    // The export writes where the entry names now.
    const std::string target = window->Text(ExportEntry);
    if (const std::string problem = ExportTargetProblem(target); !problem.empty()) {
      ShowFileProblem(kCaption, problem);
      window->Select(ExportEntry);
      return SeverityNotify;
    }
    if (!MayReplace(target)) {
      window->Select(ExportEntry);
      return SeverityNotify;
    }
    window->Post(runtime::ui::EventCode::CloseWindow);
    ExportProcess(target);
    RESPONSE = ResponseCode;
  } else if (window != nullptr && control == ExportCancel) {
    window->Post(runtime::ui::EventCode::CloseWindow);
  } else if (control == ExportLookup) {
    LookUp();
  }
  return WindowManager::TakeAccepted();
}

Severity ExportBookmarksWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (OPENED && GetWindow() != nullptr) (void)GlobalIni.SaveWindow(kSection, *GetWindow(), runtime::ui::Frame::Fixed);
  CloseWindow();
  return SeverityOk;
}

void ExportBookmarks() {
  ExportBookmarksWindow window;
  ResponseCode = window.Run();
}

std::int32_t StartExportBookmarks() { return runtime::ui::StartThread(ExportBookmarks, kProcedureStackBytes); }

}  // namespace marlinden
