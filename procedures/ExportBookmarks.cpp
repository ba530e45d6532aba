#include "procedures/ExportBookmarks.h"

#include "app/DataFiles.h"
#include "app/Globals.h"
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
constexpr std::uint32_t kThreadStackBytes = 25000;

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
  if (runtime::UpperAscii(name).find(".HTM") == std::string::npos) name += ".HTM";
  return name == ".HTM" ? std::string() : name;
}

Severity ExportBookmarksWindow::Init() {
  if (const Severity result = StartProcedure(*this, ExportPrompt); result != SeverityOk) return result;
  runtime::ui::Window& window = OpenWindow(ExportWindowDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow(kSection, window, runtime::ui::Frame::Fixed);
  window.SetText(ExportEntry, TransferFileName.Clipped());
  SetAlerts();
  return SeverityOk;
}

void ExportBookmarksWindow::LookUp() {
  ExportSavedDirectory.Set(runtime::ShortPath(runtime::CurrentDirectory()));
  const std::string chosen = runtime::ui::FileDialog(runtime::ui::FileDialogMode::Save, "Save Bookmark File As . . .",
                                                     ExportChosenName.Clipped(), ".Htm Files (*.HTM)|*.HTM", 0);
  // The dialog's cancel leaves the name as it was.
  if (!chosen.empty()) ExportChosenName.Set(chosen);
  TransferFileName.Set(ExportFileName(ExportChosenName.Padded()));
  if (runtime::ui::Window* window = GetWindow()) {
    window->SetText(ExportEntry, TransferFileName.Clipped());
    window->Display(ExportEntry);
  }
  (void)runtime::SetCurrentDirectory(ExportSavedDirectory.Clipped());
}

Severity ExportBookmarksWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  if (window != nullptr && control == ExportEntry) TransferFileName.Set(window->Text(ExportEntry));
  if (window != nullptr && control == ExportOk) {
    // The export writes where the entry names now, whatever happens to
    // TransferFileName while it runs.
    const std::string target = window->Text(ExportEntry);
    TransferFileName.Set(target);
    if (const std::string problem = ExportTargetProblem(target); !problem.empty()) {
      ShowFileProblem("Export Bookmarks", problem);
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

std::int32_t StartExportBookmarks() { return runtime::ui::StartThread(ExportBookmarks, kThreadStackBytes); }

}  // namespace marlinden
