// Window positions kept in an INI file: the round trip of position, size and
// state, what maximised, minimised and fixed windows write, and INI files
// holding nonsense, which must never move a window off its description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/IniManager.h"

namespace marlinden {
namespace {

using runtime::ui::Frame;
using runtime::ui::Rect;
using runtime::ui::Window;
using runtime::ui::WindowState;

constexpr Rect kDescribed{20, 30, 200, 100};

runtime::ui::WindowDescription Described(Frame frame, WindowState state = WindowState::Normal) {
  runtime::ui::WindowDescription d;
  d.name = "Main";
  d.rect = kDescribed;
  d.frame = frame;
  d.state = state;
  return d;
}

class IniManagerTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    ini.Init(dir.File("marlinden.INI"));
  }

  // Runs body on runtime thread 1 and waits until it has finished.
  void OnRuntimeThread(std::function<void()> body) {
    Start(std::move(body));
    ASSERT_TRUE(program->WaitForEnd(std::chrono::seconds(10)));
  }

  std::string IniText() const {
    std::ifstream in(ini.FILENAME, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void WriteIni(const std::string& text) const {
    std::ofstream(ini.FILENAME, std::ios::binary | std::ios::trunc) << text;
  }

  testing_support::TempDir dir;
  IniManager ini;
};

TEST_F(IniManagerTest, PositionSizeAndStateSurviveTheRoundTrip) {
  Rect restored;
  WindowState state = WindowState::Maximised;
  OnRuntimeThread([&] {
    auto window = Window::Open(Described(Frame::Resizable));
    window->SetPosition({40, 50, 300, 150});
    EXPECT_EQ(ini.SaveWindow("Main", *window, Frame::Resizable), 0);
    window.reset();
    auto again = Window::Open(Described(Frame::Resizable));
    ini.RestoreWindow("Main", *again, Frame::Resizable);
    restored = again->Position();
    state = again->State();
  });
  EXPECT_EQ(IniText(), "[Main]\nMaximize=No\nXPos=40\nYPos=50\nHeight=150\nWidth=300\n");
  EXPECT_EQ(restored, (Rect{40, 50, 300, 150}));
  EXPECT_EQ(state, WindowState::Normal);
}

TEST_F(IniManagerTest, AMaximisedWindowWritesOnlyMaximizeAndReopensMaximisedWhereDescribed) {
  Rect restored;
  WindowState state = WindowState::Normal;
  OnRuntimeThread([&] {
    auto window = Window::Open(Described(Frame::Resizable));
    window->SetPosition({40, 50, 300, 150});
    window->SetState(WindowState::Maximised);
    EXPECT_EQ(ini.SaveWindow("Main", *window, Frame::Resizable), 0);
    window.reset();
    auto again = Window::Open(Described(Frame::Resizable));
    ini.RestoreWindow("Main", *again, Frame::Resizable);
    restored = again->Position();
    state = again->State();
  });
  EXPECT_EQ(IniText(), "[Main]\nMaximize=Yes\n");
  EXPECT_EQ(restored, kDescribed);
  EXPECT_EQ(state, WindowState::Maximised);
}

TEST_F(IniManagerTest, MinimisedWindowsWriteNothingAndFixedOnesNeverTouchTheSize) {
  const std::string before = "; kept\n[Main]\nMaximize=No\nXPos=1\nYPos=2\nHeight=900\nWidth=900\n";
  WriteIni(before);
  std::string afterMinimised;
  Rect restored;
  OnRuntimeThread([&] {
    auto window = Window::Open(Described(Frame::Fixed));
    window->SetState(WindowState::Iconised);
    EXPECT_EQ(ini.SaveWindow("Main", *window, Frame::Fixed), 0);
    afterMinimised = IniText();
    window->SetState(WindowState::Normal);
    ini.RestoreWindow("Main", *window, Frame::Fixed);
    restored = window->Position();
    EXPECT_EQ(ini.SaveWindow("Fixed", *window, Frame::Fixed), 0);
  });
  EXPECT_EQ(afterMinimised, before);
  EXPECT_EQ(restored, (Rect{1, 2, kDescribed.width, kDescribed.height}));
  EXPECT_EQ(IniText(), before + "[Fixed]\nMaximize=No\nXPos=1\nYPos=2\n");
}

TEST_F(IniManagerTest, OddIniFilesLeaveTheWindowWhereItsDescriptionPutsIt) {
  struct Case {
    const char* what;
    const char* ini;  // nullptr = no file
    Rect rect;
    WindowState state;
    WindowState described = WindowState::Normal;
  };
  const Rect d = kDescribed;
  const std::vector<Case> cases = {
      {"no file", nullptr, d, WindowState::Normal},
      {"another section", "[Other]\nMaximize=No\nXPos=1\nYPos=1\n", d, WindowState::Normal},
      {"empty Maximize", "[Main]\nMaximize=\nXPos=1\nYPos=1\n", d, WindowState::Normal},
      {"Maximize of another value", "[Main]\nMaximize=maybe\nXPos=1\nYPos=1\n", d, WindowState::Normal},
      {"only XPos", "[Main]\nMaximize=No\nXPos=5\n", {5, d.y, d.width, d.height}, WindowState::Normal},
      {"blank XPos", "[Main]\nMaximize=No\nXPos=  \nYPos=6\n", d, WindowState::Normal},
      {"negative positions",
       "[Main]\nMaximize=No\nXPos=-50\nYPos=-7\nWidth=300\n",
       {d.x, d.y, 300, d.height},
       WindowState::Normal},
      {"huge numbers", "[Main]\nMaximize=No\nXPos=99999999999999999999\nYPos=40000\nHeight=70000\n", d,
       WindowState::Normal},
      {"text for numbers", "[Main]\nMaximize=No\nXPos=12px\nYPos=abc\nWidth=wide\nHeight=\n", d, WindowState::Normal},
      {"empty and negative sizes",
       "[Main]\nMaximize=No\nXPos= 7 \nYPos=8\nWidth=0\nHeight=-3\n",
       {7, 8, d.width, d.height},
       WindowState::Normal},
      {"names in other case",
       "[main]\nMAXIMIZE=No\nxpos=9\nypos=10\n",
       {9, 10, d.width, d.height},
       WindowState::Normal},
      {"maximised with a position",
       "[Main]\nMaximize=Yes\nXPos=5\nYPos=6\n",
       {5, 6, d.width, d.height},
       WindowState::Maximised},
      {"No takes a maximised window out", "[Main]\nMaximize=No\n", d, WindowState::Normal, WindowState::Maximised},
  };
  struct Seen {
    Rect rect;
    WindowState state;
  };
  std::vector<Seen> seen;
  OnRuntimeThread([&] {
    for (const Case& c : cases) {
      std::filesystem::remove(ini.FILENAME);
      if (c.ini != nullptr) WriteIni(c.ini);
      auto window = Window::Open(Described(Frame::Resizable, c.described));
      ini.RestoreWindow("Main", *window, Frame::Resizable);
      seen.push_back({window->Position(), window->State()});
    }
  });
  ASSERT_EQ(seen.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(seen[i].rect, cases[i].rect);
    EXPECT_EQ(seen[i].state, cases[i].state);
  }
}

TEST_F(IniManagerTest, FetchAnswersEmptyAndFetchFieldTheUnknownMarkForMissingKeys) {
  WriteIni("[Favorite]\nMyFavorite=http://a.com\n");
  EXPECT_EQ(ini.Fetch("favorite", "myfavorite"), "http://a.com");
  EXPECT_EQ(ini.Fetch("Favorite", "Missing"), "");
  EXPECT_EQ(ini.FetchField("Favorite", "Missing"), kUnknownValue);
  EXPECT_EQ(ini.Update("Favorite", "MyFavorite", std::string(1200, 'x')), 0);
  EXPECT_EQ(ini.Fetch("Favorite", "MyFavorite").size(), 1200u);
  EXPECT_EQ(ini.FetchField("Favorite", "MyFavorite").size(), 999u);
}

}  // namespace
}  // namespace marlinden
