#include "procedures/ImportBookmarks.h"

#include <cstdlib>
#include <string>

#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/RecentFiles.h"
#include "procedures/BatchProgress.h"
#include "procedures/ImportProcess.h"
#include "procedures/ProcedureStart.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/MessageBox.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

namespace {

constexpr const char* kSection = "importbookmarks";

// Tells the user what an import that read its file did.
void ShowImportSummary(const ImportFigures& figures) {
  if (figures.lines == 0 || figures.noBookmarks) return;
  runtime::ui::MessageBoxRequest request;
  request.caption = "Import Bookmarks";
  const char* headline = !figures.failure.empty() ? "The import stopped early."
                         : figures.cancelled      ? "The import was cancelled."
                                                  : "The import is complete.";
  request.text = std::string(headline) + "\n\n" + ImportSummary(figures);
  request.icon = figures.failure.empty() ? runtime::ui::Icon::Asterisk : runtime::ui::Icon::Exclamation;
  (void)runtime::ui::AskMessage(request);
}

}  // namespace

runtime::ui::WindowDescription ImportWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = kSection;
  d.title = "Import Bookmarks";
  d.rect = {0, 0, 220, 112};
  d.font = {"MS Sans Serif", 8};
  ControlDescription entry = runtime::ui::DescribeControl(ControlKind::Entry, "", {60, 6, 136, 10});
  entry.picture = "@s255";
  ControlDescription lookup = runtime::ui::DescribeControl(ControlKind::Button, "", {200, 5, 14, 12});
  lookup.icon = "Open.ico";
  lookup.tip = "Select A file To Import";
  ControlDescription stores = runtime::ui::DescribeControl(ControlKind::List, "", {4, 33, 212, 54});
  stores.columns = {{"Browser", 80}, {"Profile", 128}};
  d.controls = {
      runtime::ui::DescribeControl(ControlKind::Prompt, "Bookmark File:", {4, 6, 54, 10}),
      entry,
      lookup,
      runtime::ui::DescribeControl(ControlKind::Button, "OK", {110, 92, 45, 14}),
      runtime::ui::DescribeControl(ControlKind::Button, "Cancel", {160, 92, 45, 14}),
      runtime::ui::DescribeControl(ControlKind::Prompt, "Or a browser's bookmarks:", {4, 22, 120, 10}),
      stores,
  };
  return d;
}

Severity ImportBookmarksWindow::Init() {
  if (const Severity result = StartProcedure(*this, ImportPrompt); result != SeverityOk) return result;
  runtime::ui::Window& window = OpenWindow(ImportWindowDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow(kSection, window, runtime::ui::Frame::Fixed);
  window.SetText(ImportEntry, path_.Clipped());
  selector_.Init();
  selector_.FLAGS |= SelectorLongNames;
  // What browsers write; the dialog matches the patterns in any letter case.
  selector_.SetMask(kBookmarkFilesMask, kBookmarkFilesPatterns);
  selector_.AddMask(kBrowserStoresMask, kBrowserStoresPatterns);
  selector_.AddMask("All Files", "*.*");
  const char* home = std::getenv("HOME");
  stores_.stores = home != nullptr ? FindBrowserStores(home) : std::vector<FoundStore>{};
  if (runtime::ui::Control* list = window.Find(ImportStores)) list->SetListSource(&stores_);
  PressOnEscape(ImportCancel);
  SetAlerts();
  return SeverityOk;
}

runtime::ui::ListRow ImportBookmarksWindow::StoreRows::Row(std::size_t row) const {
  const FoundStore& store = stores.at(row - 1);
  return {{store.browser, {}}, {store.profile, {}}};
}

std::string ImportBookmarksWindow::SelectedStore() {
  runtime::ui::Window* window = GetWindow();
  const runtime::ui::Control* list = window != nullptr ? window->Find(ImportStores) : nullptr;
  if (list == nullptr) return {};
  const std::int32_t row = list->SelectedRow();
  return row >= 1 && static_cast<std::size_t>(row) <= stores_.stores.size() ? stores_.stores[row - 1].path : "";
}

Severity ImportBookmarksWindow::Import(const std::string& path) {
  runtime::ui::Window* window = GetWindow();
  if (const std::string problem = ImportFileProblem(path); !problem.empty()) {
    ShowFileProblem("Import Bookmarks", problem);
    window->Select(ImportEntry);
    return SeverityNotify;
  }
  window->Post(runtime::ui::EventCode::CloseWindow);
  ImportProcess(path);
  RESPONSE = ResponseCode;
  ShowImportSummary(LastImportFigures);
  return SeverityOk;
}

Severity ImportBookmarksWindow::TakeNewSelection() {
  runtime::ui::Window* window = GetWindow();
  if (window != nullptr && ThisEvent().control == ImportStores) {
    if (const std::string store = SelectedStore(); !store.empty()) {
      path_.Set(store);
      window->SetText(ImportEntry, path_.Clipped());
    }
  }
  return WindowManager::TakeNewSelection();
}

Severity ImportBookmarksWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  if (window != nullptr && control == ImportEntry) path_.Set(window->Text(ImportEntry));
  if (window != nullptr && control == ImportOk) {
    path_.Set(window->Text(ImportEntry));
    if (Import(std::string(path_.Clipped())) != SeverityOk) return SeverityNotify;
  } else if (window != nullptr && control == ImportStores && !SelectedStore().empty()) {
    // One row, one import: the store is read as it stands, not cut to the entry.
    if (Import(SelectedStore()) != SeverityOk) return SeverityNotify;
  } else if (window != nullptr && control == ImportCancel) {
    window->Post(runtime::ui::EventCode::CloseWindow);
  }
  const Severity result = WindowManager::TakeAccepted();
  if (window != nullptr && control == ImportLookup) {
    Update();
    selector_.DEFAULTDIRECTORY = ChooserStartFolder(FileChooser::Import);
    path_.Set(selector_.Ask(KeepDirectory::Yes));
    if (!path_.Clipped().empty()) (void)KeepChooserFolder(FileChooser::Import, path_.Clipped());
    window->SetText(ImportEntry, path_.Clipped());
    window->Display();
  }
  return result;
}

Severity ImportBookmarksWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (runtime::ui::Window* window = GetWindow()) {
    if (runtime::ui::Control* list = window->Find(ImportStores)) list->SetListSource(nullptr);
  }
  if (OPENED && GetWindow() != nullptr) (void)GlobalIni.SaveWindow(kSection, *GetWindow(), runtime::ui::Frame::Fixed);
  CloseWindow();
  return SeverityOk;
}

void ImportBookmarks() {
  ImportBookmarksWindow window;
  ResponseCode = window.Run();
}

}  // namespace marlinden
