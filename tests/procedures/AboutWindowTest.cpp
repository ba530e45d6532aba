// The About window end to end on the headless backend: what it shows, the
// probe file, the fanfare, and the links handing the maker's page to the
// desktop's opener. Fake desktop programs record what they were given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Addresses.h"
#include "app/AppTestSupport.h"
#include "app/StartUp.h"
#include "procedures/AboutWindow.h"
#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DesktopPrograms.h"
#include "runtime/platform/ProgramFile.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::WindowId;

class AboutWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    tools = cwd.Dir().File("tools");
    std::filesystem::create_directories(tools + "/applications");
    std::ofstream(tools + "/applications/fake.desktop")
        << "[Desktop Entry]\nName=Fake Browser Nightly\nExec=/opt/fake/fakebrowser-nightly %u\n";
    programs.opener = Script("opener", "printf '%s\\n' \"$#\" \"$1\" >> '" + tools + "/opened'\n");
    programs.mimeQuery = Script("mime", "echo fake.desktop\n");
    programs.settingsQuery = Script("settings", "exit 1\n");
    programs.applicationDirs = {tools + "/applications"};
  }

  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = tools + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
    return path;
  }

  // Runs start-up with the About procedure as the main procedure and waits
  // for its window.
  void OpenAbout() {
    scopedPrograms.reset();  // restores the real programs before replacing them again
    scopedPrograms = std::make_unique<runtime::platform::ScopedDesktopPrograms>(programs);
    Start([this] {
      RunProgram([this] {
        RequestCode = RequestSelect;
        About();
        response = ResponseCode;
      });
    });
    id = driver.WaitForWindow(1);
    ASSERT_NE(id, runtime::ui::kNoWindow);
  }

  // A fresh program run on the same backend, after the last one has ended.
  void NewProgram() {
    program.reset();  // uninstalls the backend before the next run installs it
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  void WaitForEnd() {
    ASSERT_TRUE(program->WaitForEnd(10s));
    ASSERT_TRUE(runtime::platform::WaitForStartedPrograms(10s));
  }

  std::string Opened() const {
    std::ifstream in(tools + "/opened");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing_support::TempCurrentDirectory cwd;
  std::string tools;
  runtime::platform::DesktopPrograms programs;
  std::unique_ptr<runtime::platform::ScopedDesktopPrograms> scopedPrograms;
  WindowId id = runtime::ui::kNoWindow;
  std::uint8_t response = 255;
};

TEST_F(AboutWindowTest, ShowsTheProgramAndTheDefaultBrowserAndLeavesNoProbeFile) {
  OpenAbout();
  EXPECT_EQ(driver.Text(id, AboutTitle), "Marlinden");
  EXPECT_EQ(driver.Properties(id, AboutTitle).font, "") << "the window's own face";
  EXPECT_GT(driver.Properties(id, AboutTitle).fontSize, AboutWindowDescription().font.points) << "larger than the rest";
  EXPECT_EQ(driver.Text(id, AboutVersion), "Ver 3.0");
  EXPECT_EQ(driver.Text(id, AboutMaker), "Brackwell");
  EXPECT_EQ(driver.Text(id, AboutMakerLink), kMakerHomePage);
  EXPECT_EQ(driver.Text(id, AboutMakerButton), "Go To Brackwell Web Page");
  EXPECT_EQ(driver.Text(id, AboutBrowser), "Fake Browser Nightly") << "the name in the browser's desktop entry";
  EXPECT_EQ(driver.Text(id, AboutBuildDate), FormatBuildDate(runtime::platform::ProgramFileDate()))
      << "the running program's date, though started elsewhere";
  EXPECT_FALSE(std::filesystem::exists(kBrowserProbeFile));
  EXPECT_EQ(backend.Sounds(), std::vector<std::string>{kAboutSound});

  driver.Click(id, AboutOkButton);
  WaitForEnd();
  EXPECT_EQ(Opened(), "") << "OK opens nothing";
  EXPECT_EQ(RequestCode, RequestNone);
}

TEST_F(AboutWindowTest, TheLinkAndTheButtonCloseTheWindowAndOpenTheMakersPage) {
  for (const std::int32_t control : {AboutMakerLink, AboutMakerButton}) {
    SCOPED_TRACE(control);
    NewProgram();
    std::filesystem::remove(tools + "/opened");
    OpenAbout();
    driver.Click(id, control);
    WaitForEnd();
    EXPECT_EQ(Opened(), "1\n" + std::string(kMakerHomePage) + "\n");
    EXPECT_FALSE(backend.Shown(id).has_value()) << "the window closed";
  }
}

TEST_F(AboutWindowTest, EscapeClosesTheWindowAsOkDoesFromEachControl) {
  for (const std::int32_t control : {AboutOkButton, AboutMakerButton, AboutMakerLink}) {
    SCOPED_TRACE(control);
    NewProgram();
    std::filesystem::remove(tools + "/opened");
    OpenAbout();
    driver.PressKey(id, control, runtime::ui::KeyCode::Esc);
    WaitForEnd();
    EXPECT_FALSE(backend.Shown(id).has_value()) << "the window closed";
    EXPECT_EQ(Opened(), "") << "nothing opened";
  }
}

// The date is that of the running program's own file, also when a file of
// the same name in the current directory says otherwise (the test runs in a
// folder of its own, not the one holding the program).
TEST_F(AboutWindowTest, ShowsTheBuildDateOfTheRunningProgramFromAnyFolder) {
  const std::string name = runtime::platform::ProgramFileName();
  std::ofstream(name) << "x";
  tm noon{};
  noon.tm_year = 2004 - 1900;
  noon.tm_mon = 6;
  noon.tm_mday = 9;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  const utimbuf times{mktime(&noon), mktime(&noon)};
  ASSERT_EQ(utime(name.c_str(), &times), 0);

  OpenAbout();
  const std::string shown = driver.Text(id, AboutBuildDate);
  EXPECT_EQ(shown, FormatBuildDate(runtime::platform::ProgramFileDate()));
  EXPECT_NE(shown, "07.09.04") << "the current directory's file does not count";
  EXPECT_NE(shown, "");
  driver.Post(id, EventCode::CloseWindow);
  WaitForEnd();
  EXPECT_EQ(response, ResponseCancelled);
}

TEST_F(AboutWindowTest, NamesNoBrowserWhenTheDesktopHasNoneAndLeavesAUsersProbeFileAlone) {
  programs.mimeQuery = Script("mime", "exit 2\n");
  OpenAbout();
  EXPECT_EQ(driver.Text(id, AboutBrowser), kNoDefaultBrowser);
  driver.Post(id, EventCode::CloseWindow);
  WaitForEnd();

  // An "x.htm" of the user's own is neither emptied nor removed; without a
  // probe of its own the window makes no lookup and names nothing.
  std::ofstream(kBrowserProbeFile) << "<html>mine</html>";
  NewProgram();
  OpenAbout();
  EXPECT_EQ(driver.Text(id, AboutBrowser), "");
  driver.Post(id, EventCode::CloseWindow);
  WaitForEnd();
  std::ifstream probe(kBrowserProbeFile);
  std::string content;
  std::getline(probe, content);
  EXPECT_EQ(content, "<html>mine</html>");
}

}  // namespace
}  // namespace marlinden
