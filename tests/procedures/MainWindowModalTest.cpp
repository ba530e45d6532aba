// The main window while a modal procedure of its thread runs (it takes no
// input, and nothing is carried out afterwards), its failures that the user
// is told of (the favourite not written, a thread not started), and the
// tray's restore bringing the window back as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Favorite.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/AboutWindow.h"
#include "procedures/ImportBookmarks.h"
#include "procedures/MainWindow.h"
#include "runtime/platform/DesktopPrograms.h"
#include "support/ScopedFileSystem.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "testing/FaultyFileSystem.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using runtime::ui::EventCode;
using runtime::ui::WindowId;

class MainWindowModalTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    // The About window asks for the default browser; none is found here.
    runtime::platform::DesktopPrograms programs;
    programs.mimeQuery = programs.settingsQuery = "/bin/false";
    programs.soundPlayers = {};
    scopedPrograms = std::make_unique<runtime::platform::ScopedDesktopPrograms>(programs);
  }

  void StartProgram(bool withBookmark = true) {
    Start([this, withBookmark] {
      RunProgram([withBookmark] {
        if (withBookmark) testing_support::StoreBookmarks({{"http://b.example/", ""}});
        MainBookmarkWindow();
      });
    });
    main = driver.WaitForWindow(1);
    ASSERT_NE(main, runtime::ui::kNoWindow);
  }
  // Clicks a menu item that opens a modal window on thread 1; returns it.
  WindowId OpenModal(std::int32_t menu) {
    driver.Click(main, menu);
    const WindowId modal = driver.WaitForWindow(1);
    EXPECT_NE(modal, main);
    return modal;
  }
  bool MainOpen() {
    return driver.WithWindow(main, [](runtime::ui::Window&) {});
  }
  bool MainHeld() {
    const auto shown = backend.Shown(main);
    return shown.has_value() && shown->held;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : backend.MessageBoxRequests()) texts.push_back(box.text);
    return texts;
  }

  testing_support::TempCurrentDirectory cwd;
  std::unique_ptr<runtime::platform::ScopedDesktopPrograms> scopedPrograms;
  WindowId main = runtime::ui::kNoWindow;
};

// A click on Close during the import ended the program when the import
// closed; during the About window likewise.
TEST_F(MainWindowModalTest, CloseClickedWhileTheImportOrAboutRunsIsDroppedAndTheWindowGoesOnAfterwards) {
  StartProgram();
  struct Modal {
    std::int32_t menu;
    std::int32_t closeButton;
  };
  for (const Modal& modal : {Modal{MainImportMenu, ImportCancel}, Modal{MainAboutMenu, AboutOkButton}}) {
    SCOPED_TRACE(modal.menu);
    const WindowId window = OpenModal(modal.menu);
    EXPECT_TRUE(MainHeld()) << "the main window looks disabled";
    driver.Click(main, MainCloseButton);
    driver.Post(main, EventCode::CloseWindow);
    driver.Click(main, MainAboutMenu);
    ASSERT_TRUE(driver.WaitIdle(1));
    driver.Click(window, modal.closeButton);
    ASSERT_TRUE(driver.WaitForClose(window));
    ASSERT_TRUE(driver.WaitIdle(1));
    EXPECT_TRUE(MainOpen()) << "the click on Close was not carried out afterwards";
    EXPECT_EQ(driver.WaitForWindow(1), main) << "nor the click on About";
    EXPECT_FALSE(MainHeld());
  }
  driver.Click(main, MainCloseButton);
  ASSERT_TRUE(program->WaitForEnd(10s)) << "the main window takes input again";
}

TEST_F(MainWindowModalTest, AFavouriteThatCannotBeWrittenIsToldAndTheOldOneKept) {
  std::ofstream(kFavoriteIniFile) << "[Favorite]\nMyFavorite=http://old.example/\n";
  StartProgram();
  runtime::FaultyFileSystem faulty;
  {
    testing_support::ScopedFileSystem scoped(faulty);
    driver.WithWindow(main, [&](runtime::ui::Window&) { faulty.Fail(runtime::FileCall::Write, ENOSPC); });
    backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    driver.Click(main, MainFavoriteButton);
    ASSERT_TRUE(driver.WaitIdle(1));
    driver.WithWindow(main, [&](runtime::ui::Window&) { faulty.Heal(); });
  }
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "The favorite web page could not be saved in Marlimden.ini: " +
                               std::error_code(ENOSPC, std::generic_category()).message() + " (28).");
  EXPECT_EQ(backend.MessageBoxRequests()[0].icon, runtime::ui::Icon::Exclamation);
  std::string title;
  driver.WithWindow(main, [&](runtime::ui::Window& w) { title = w.Title(); });
  EXPECT_EQ(title, std::string(kFavoriteTitle) + "http://old.example/");

  driver.Click(main, MainFavoriteButton);  // written now
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(BoxTexts().size(), 1u);
  driver.WithWindow(main, [&](runtime::ui::Window& w) { title = w.Title(); });
  EXPECT_EQ(title, std::string(kFavoriteTitle) + "http://b.example/");
  driver.Click(main, MainCloseButton);
}

TEST_F(MainWindowModalTest, AnExportOrEmailThreadThatCannotStartIsTold) {
  StartProgram(false);
  {
    runtime::ui::ScopedThreadStartRefusal refusal;
    backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    driver.Click(main, MainExportMenu);
    driver.Click(main, MainEmailMenu);
    ASSERT_TRUE(driver.WaitIdle(1));
  }
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "The export could not be started: the system refused a new thread.",
                            "The e-mail form could not be started: the system refused a new thread.",
                        }));
  EXPECT_EQ(runtime::ui::Registry::Instance().LiveThreads(), 1u);
  driver.Click(main, MainCloseButton);
}

TEST_F(MainWindowModalTest, TheTrayRestoreBringsAMaximisedWindowBackMaximisedAndInFront) {
  StartProgram(false);
  driver.Post(main, EventCode::Maximised);
  driver.Post(main, EventCode::Iconised);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.TrayIconsAdded().size(), 1u);
  auto shown = backend.Shown(main);
  ASSERT_TRUE(shown.has_value());
  ASSERT_TRUE(shown->hidden);
  const std::uint32_t raisedBefore = shown->raised;

  driver.Post(main, kTrayLeftDoubleClick);
  ASSERT_TRUE(driver.WaitIdle(1));
  shown = backend.Shown(main);
  EXPECT_FALSE(shown->hidden);
  EXPECT_EQ(shown->state, runtime::ui::WindowState::Maximised) << "maximised stays maximised";
  EXPECT_GT(shown->raised, raisedBefore) << "raised and made active";

  // A window that was normal comes back normal.
  driver.Post(main, EventCode::Restored);
  driver.Post(main, EventCode::Iconised);
  driver.Post(main, kTrayLeftDoubleClick);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(backend.Shown(main)->state, runtime::ui::WindowState::Normal);
  driver.Click(main, MainCloseButton);
}

}  // namespace
}  // namespace marlinden
