#include "procedures/AboutWindow.h"

#include <cstdio>

#include "app/Addresses.h"
#include "app/Globals.h"
#include "procedures/ProcedureStart.h"
#include "runtime/files/DataFile.h"
#include "runtime/platform/DefaultBrowser.h"
#include "runtime/platform/OpenPage.h"
#include "runtime/platform/ProgramFile.h"
#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeError.h"
#include "runtime/system/RuntimeLock.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/Dialogs.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "window/Globals.h"

namespace marlinden {

using runtime::ui::ControlDescription;
using runtime::ui::ControlKind;

runtime::ui::WindowDescription AboutWindowDescription() {
  runtime::ui::WindowDescription d;
  d.name = "About";
  d.title = "About Marlinden";
  d.rect = {0, 0, 220, 150};
  d.font = {"MS Sans Serif", 8};

  // The title is drawn in the window's own face, which is sure to be there
  // (a decorative face may be missing or tiny), at twice its size.
  ControlDescription title = runtime::ui::DescribeControl(ControlKind::Prompt, "Marlinden", {10, 8, 120, 16});
  title.fontSize = 16;
  ControlDescription maker =
      runtime::ui::DescribeControl(ControlKind::Button, "Go To Brackwell Web Page", {110, 126, 100, 16});
  maker.icon = "Web2.ico";
  ControlDescription date = runtime::ui::DescribeControl(ControlKind::String, "", {60, 30, 60, 10});
  date.picture = "@d1.";
  ControlDescription link = runtime::ui::DescribeControl(ControlKind::LinkText, kMakerHomePage, {60, 66, 150, 10});
  link.cursor = runtime::ui::Cursor::Hand;

  d.controls = {
      runtime::ui::DescribeControl(ControlKind::Button, "OK", {10, 126, 45, 16}),
      maker,
      title,
      runtime::ui::DescribeControl(ControlKind::Prompt, "Build", {10, 30, 45, 10}),
      runtime::ui::DescribeControl(ControlKind::String, "Ver 3.0", {150, 12, 60, 10}),
      date,
      runtime::ui::DescribeControl(ControlKind::String, "Written by:", {10, 48, 45, 10}),
      runtime::ui::DescribeControl(ControlKind::String, "Brackwell", {60, 48, 100, 10}),
      link,
      runtime::ui::DescribeControl(ControlKind::Prompt, "Default Web Browser", {10, 90, 90, 10}),
      // A line of its own below the prompt, wide enough for a browser's name.
      runtime::ui::DescribeControl(ControlKind::String, "", {10, 102, 200, 10}),
  };
  return d;
}

std::string FormatBuildDate(std::int32_t date) {
  if (date == 0) return {};
  const runtime::CivilDate civil = runtime::CivilFromDate(date);
  char text[16];
  std::snprintf(text, sizeof text, "%02u.%02u.%02d", civil.month, civil.day, static_cast<int>(civil.year % 100));
  return text;
}

Severity AboutWindow::Init() {
  if (const Severity result = StartProcedure(*this, AboutOkButton); result != SeverityOk) return result;

  const std::int32_t buildDate = runtime::platform::ProgramFileDate();

  runtime::ui::Window& window = OpenWindow(AboutWindowDescription());
  OPENED = 1;
  window.SetText(AboutBuildDate, FormatBuildDate(buildDate));
  window.SetText(AboutBrowser, DefaultBrowserLine());

  runtime::ui::PlaySound(kAboutSound);
  PressOnEscape(AboutOkButton);
  SetAlerts();
  return SeverityOk;
}

Severity AboutWindow::Kill() {
  if (const Severity result = WindowManager::Kill(); result != SeverityOk) return result;
  CloseWindow();
  return SeverityOk;
}

std::string AboutWindow::DefaultBrowserLine() {
  // The desktop is asked for its web browser, not about a file; the probe
  // file is kept so the lookup happens with a page file present, as the
  // window has always done. The runtime never creates over an existing file,
  // so a user's own "x.htm" is neither emptied nor removed.
  runtime::FixedText<255> probeName;
  probeName.Set(kBrowserProbeFile);
  auto probe =
      runtime::DataFile::Make(runtime::Driver::Dos, runtime::RecordLayout::Builder("Probe", "TMP").Build(), "");
  probe->SetDiskNameSource([&probeName] { return probeName.Clipped(); });
  if (probe->Create() != runtime::NoError) return {};

  std::string browser;
  {
    // The desktop's queries may take a while; other threads go on meanwhile.
    runtime::UnlockedSection unlocked;
    browser = runtime::platform::DefaultBrowser();
  }
  (void)probe->Remove();
  return browser.empty() ? kNoDefaultBrowser : browser;
}

void AboutWindow::CloseAndOpenMakerPage() {
  if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
  runtime::platform::OpenPage(kMakerHomePage);
}

Severity AboutWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  if (control == AboutMakerButton) CloseAndOpenMakerPage();
  const Severity result = WindowManager::TakeAccepted();
  if (control == AboutMakerLink) {
    CloseAndOpenMakerPage();
  } else if (control == AboutOkButton) {
    Update();
    if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::CloseWindow);
  }
  return result;
}

void About() {
  AboutWindow window;
  ResponseCode = window.Run();
}

}  // namespace marlinden
