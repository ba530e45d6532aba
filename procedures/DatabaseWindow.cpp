#include "procedures/DatabaseWindow.h"

#include <string>

#include "app/DataFolder.h"
#include "app/Globals.h"
#include "procedures/BatchProgress.h"
#include "procedures/ProcedureStart.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/EventCode.h"
#include "window/Globals.h"

namespace marlinden {

namespace {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

constexpr const char* kSection = "database";

}  // namespace

runtime::ui::WindowDescription DatabaseWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = kSection;
  d.title = kDatabaseTitle;
  d.rect = {0, 0, 280, 56};
  d.font = {"MS Sans Serif", 8};
  ControlDescription entry = runtime::ui::DescribeControl(ControlKind::Entry, "", {38, 6, 236, 10});
  entry.picture = "@s255";
  entry.tip = "For example postgresql://me@db.example.org/marlinden?sslmode=verify-full";
  d.controls = {
      runtime::ui::DescribeControl(ControlKind::Prompt, "Server", {4, 7, 32, 10}),
      entry,
      runtime::ui::DescribeControl(ControlKind::Prompt, kDatabaseHint, {4, 20, 272, 10}),
      runtime::ui::DescribeControl(ControlKind::Button, "OK", {174, 36, 48, 14}),
      runtime::ui::DescribeControl(ControlKind::Button, "Cancel", {226, 36, 48, 14}),
  };
  return d;
}

Severity DatabaseWindow::Init() {
  if (const Severity result = StartProcedure(*this, DatabaseEntry); result != SeverityOk) return result;
  runtime::ui::Window& window = OpenWindow(DatabaseWindowDescription());
  OPENED = 1;
  GlobalIni.RestoreWindow(kSection, window, runtime::ui::Frame::Fixed);
  stored_ = StoredDatabaseSetting();
  connection_.Set(stored_);
  window.SetText(DatabaseEntry, connection_.Clipped());
  PressOnEscape(DatabaseCancel);
  SetAlerts();
  return SeverityOk;
}

Severity DatabaseWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  if (OPENED && GetWindow() != nullptr) (void)GlobalIni.SaveWindow(kSection, *GetWindow(), runtime::ui::Frame::Fixed);
  CloseWindow();
  return SeverityOk;
}

Severity DatabaseWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  if (window != nullptr && control == DatabaseOk) {
    connection_.Set(window->Text(DatabaseEntry));
    const std::string connection(connection_.Clipped());
    if (HoldsPassword(connection)) {
      ShowFileProblem(kDatabaseTitle, kDatabaseHoldsPassword);
      return SeverityNotify;
    }
    if (!KeepDatabaseSetting(connection)) {
      ShowFileProblem(kDatabaseTitle, std::string("The setting could not be written to ") + kDatabaseSettingFile +
                                          " in the data folder.");
      return SeverityNotify;
    }
    if (connection != stored_) {
      runtime::ui::MessageBoxRequest request;
      request.caption = kDatabaseTitle;
      request.text = kDatabaseKept;
      request.icon = runtime::ui::Icon::Asterisk;
      (void)runtime::ui::AskMessage(request);
    }
    window->Post(runtime::ui::EventCode::CloseWindow);
  } else if (window != nullptr && control == DatabaseCancel) {
    window->Post(runtime::ui::EventCode::CloseWindow);
  }
  return WindowManager::TakeAccepted();
}

void ChooseDatabase() {
  DatabaseWindow window;
  (void)window.Run();
}

}  // namespace marlinden
