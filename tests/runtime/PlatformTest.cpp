// The platform layer's launches: every address reaches the opener as one
// argument, the default-browser lookup, sounds and the program file's date.
// Fake desktop programs are shell scripts that record their arguments.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/platform/ChildProcess.h"
#include "runtime/platform/DefaultBrowser.h"
#include "runtime/platform/DesktopPrograms.h"
#include "runtime/platform/OpenPage.h"
#include "runtime/platform/ProgramFile.h"
#include "runtime/platform/Sound.h"
#include "runtime/system/Clock.h"
#include "support/TempDir.h"
#include "testing/TestClock.h"

namespace runtime::platform {
namespace {

using namespace std::chrono_literals;

class PlatformTest : public ::testing::Test {
 protected:
  // A script that appends each of its arguments, NUL-terminated, to a log,
  // and one empty line per call to a call log.
  std::string RecordingProgram(const std::string& name) {
    return Script(name, "printf '\\n' >> '" + dir.File(name + ".calls") + "'\n" +
                            "for a in \"$@\"; do printf '%s' \"$a\"; printf '\\000'; done >> '" +
                            dir.File(name + ".args") + "'\n");
  }

  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = dir.File(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(dir.File(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> ArgumentsOf(const std::string& program) const {
    std::vector<std::string> args;
    const std::string log = Read(program + ".args");
    for (std::size_t start = 0; start < log.size();) {
      const std::size_t end = log.find('\0', start);
      args.push_back(log.substr(start, end - start));
      start = end + 1;
    }
    return args;
  }

  std::size_t CallsOf(const std::string& program) const { return Read(program + ".calls").size(); }

  void WaitForChildren() { ASSERT_TRUE(WaitForStartedPrograms(10s)) << "a started program did not end"; }

  testing_support::TempDir dir;
};

TEST_F(PlatformTest, EveryAddressReachesTheOpenerAsItsOneArgumentAndRunsNothing) {
  DesktopPrograms programs;
  programs.opener = RecordingProgram("opener");
  ScopedDesktopPrograms scoped(programs);
  const std::string pwned = dir.File("pwned");
  const std::string longUrl = "https://marlinden.example/" + std::string(255 - 26, 'a');
  struct Case {
    std::string address;
    std::string received;
  };
  const std::vector<Case> cases = {
      {"https://marlinden.example/a b c", "https://marlinden.example/a b c"},
      {"http://x/\"double\" 'single'", "http://x/\"double\" 'single'"},
      {"http://x/;touch " + pwned, "http://x/;touch " + pwned},
      {"http://x/$(touch " + pwned + ")", "http://x/$(touch " + pwned + ")"},
      {"http://x/`touch " + pwned + "`", "http://x/`touch " + pwned + "`"},
      {"http://x/|touch " + pwned + "&&touch " + pwned, "http://x/|touch " + pwned + "&&touch " + pwned},
      {"http://x/\ntouch " + pwned, "http://x/\ntouch " + pwned},
      {"http://x/*", "http://x/*"},
      {"-leading-dash", "-leading-dash"},
      {"--help", "--help"},
      {"http://x/page   ", "http://x/page"},
      {std::string("http://x/nul") + '\0' + "rest", "http://x/nul"},
      {longUrl, longUrl},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    OpenPage(c.address);
    WaitForChildren();
    expected.push_back(c.received);
    ASSERT_EQ(ArgumentsOf("opener"), expected) << "after " << c.address;
  }
  EXPECT_EQ(CallsOf("opener"), cases.size()) << "one opener call per address";
  EXPECT_EQ(ArgumentsOf("opener").back().size(), 255u) << "a 255-character address is handed over whole";
  EXPECT_FALSE(std::filesystem::exists(pwned)) << "an address ran a command";
}

TEST_F(PlatformTest, AnEmptyAddressOrAMissingOpenerOpensNothing) {
  DesktopPrograms programs;
  programs.opener = RecordingProgram("opener");
  {
    ScopedDesktopPrograms scoped(programs);
    OpenPage("");
    OpenPage("     ");
    WaitForChildren();
  }
  EXPECT_EQ(CallsOf("opener"), 0u);

  programs.opener = dir.File("no-such-opener");
  ScopedDesktopPrograms scoped(programs);
  OpenPage("http://x/");  // silently nothing
  WaitForChildren();
}

TEST_F(PlatformTest, CaptureOutputStopsAProgramThatTakesTooLong) {
  const std::string printed = dir.File("printed");
  const std::string slow = Script("slow", "printf 'partial'\n: > '" + printed + "'\nexec sleep 30\n");
  CapturedOutput result;
  {
    // The time allowed passes on the runtime clock, driven by the test, and
    // only once the program has written its output.
    TestClock clock(0, 0);
    ScopedTimeSource scoped(clock);
    std::atomic<bool> done = false;
    std::thread capture([&] {
      result = CaptureOutput(slow, {}, 200ms);
      done = true;
    });
    while (!std::filesystem::exists(printed)) std::this_thread::yield();
    while (!done) {
      if (clock.WaitForSleeper(10ms)) clock.AdvanceMicros(10'000);
    }
    capture.join();
    EXPECT_EQ(clock.SteadyMicros(), 200'000);
  }
  EXPECT_TRUE(result.started);
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.output, "partial");

  const CapturedOutput quick = CaptureOutput(Script("quick", "echo \"$#:$1\"\nexit 3\n"), {"a b"}, 10s);
  EXPECT_FALSE(quick.timedOut);
  EXPECT_EQ(quick.output, "1:a b\n");
  EXPECT_EQ(quick.exitStatus, 3);
  EXPECT_FALSE(CaptureOutput(dir.File("missing"), {}, 1s).started);
}

TEST_F(PlatformTest, ProgramNameComesFromTheDesktopEntrysExecLine) {
  struct Case {
    const char* entry;
    const char* program;
  };
  const std::vector<Case> cases = {
      {"[Desktop Entry]\nName=B\nExec=/opt/b/browser --new %u\n", "browser"},
      {"[Desktop Entry]\nExec=\"/opt/My Browser/run it\" %U\n", "run it"},
      {"[Desktop Entry]\nExec=env MOZ_A=1 B=2 /usr/bin/firefox %u\n", "firefox"},
      {"[Desktop Entry]\nExec=sur\\ f %u\n", "sur f"},
      {"[Desktop Action new]\nExec=/bin/wrong\n[Desktop Entry]\nExec=right\n", "right"},
      {"# Exec=commented\n[Desktop Entry]\n  Exec = spaced  \n", "spaced"},
      {"[Desktop Entry]\nName=No exec\n", ""},
      {"Exec=outside-any-group\n", ""},
      {"[Desktop Entry]\nExec=env\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgramFromDesktopEntry(c.entry), c.program) << c.entry;
}

TEST_F(PlatformTest, DefaultBrowserWithoutANameIsTheEntrysProgramOrItsId) {
  const std::string apps = dir.File("applications");
  std::filesystem::create_directories(apps + "/vendor");
  std::ofstream(apps + "/short.desktop") << "[Desktop Entry]\nExec=/usr/lib/short/shortbrowser %u\n";
  std::ofstream(apps + "/long.desktop") << "[Desktop Entry]\nExec=/opt/verylongbrowsername %u\n";
  std::ofstream(apps + "/vendor/app.desktop") << "[Desktop Entry]\nExec=vendorapp %u\n";
  std::ofstream(apps + "/noexec.desktop") << "[Desktop Entry]\nType=Application\n";
  struct Case {
    std::string mimeOutput;
    std::string settingsOutput;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"short.desktop\n", "", "shortbrowser"},
      {"long.desktop\n", "", "verylongbrowsername"},
      {"vendor-app.desktop\n", "", "vendorapp"},
      {"unknown-browser-entry.desktop\n", "", "unknown-browser-entry"},
      {"noexec.desktop\n", "", "noexec"},
      {"", "short.desktop\n", "shortbrowser"},
      {"../etc/passwd\n", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    DesktopPrograms programs;
    programs.mimeQuery = Script("mime", "printf '%s' '" + c.mimeOutput + "'\n");
    programs.settingsQuery = Script("settings", "printf '%s' '" + c.settingsOutput + "'\n");
    programs.applicationDirs = {dir.File("nowhere"), apps};
    ScopedDesktopPrograms scoped(programs);
    EXPECT_EQ(DefaultBrowser(), c.expected) << c.mimeOutput << "|" << c.settingsOutput;
  }

  DesktopPrograms none;
  none.mimeQuery = dir.File("missing-mime");
  none.settingsQuery = Script("hangs", "exec sleep 30\n");
  none.queryTimeout = 200ms;
  ScopedDesktopPrograms scoped(none);
  TestClock clock(0, 0);
  ScopedTimeSource scopedClock(clock);
  clock.RunAdvancing([] { EXPECT_EQ(DefaultBrowser(), "") << "no query answered"; }, 10'000);
  EXPECT_EQ(clock.SteadyMicros(), 200'000);
}

TEST_F(PlatformTest, SoundsPlayOnlyWhenTheFileAndAPlayerExist) {
  DesktopPrograms programs;
  programs.soundPlayers = {dir.File("no-such-player"), RecordingProgram("player")};
  ScopedDesktopPrograms scoped(programs);
  PlaySoundAsync(dir.File("missing.wav"));
  WaitForChildren();
  EXPECT_EQ(CallsOf("player"), 0u);

  const std::string sound = dir.File("-fanfare.wav");
  std::ofstream(sound) << "RIFF";
  PlaySoundAsync(sound);
  WaitForChildren();
  EXPECT_EQ(ArgumentsOf("player"), std::vector<std::string>{sound});

  programs.soundPlayers = {dir.File("no-such-player")};
  ScopedDesktopPrograms noPlayer(programs);
  PlaySoundAsync(sound);  // silently nothing
  WaitForChildren();
  EXPECT_EQ(CallsOf("player"), 1u);
}

TEST_F(PlatformTest, ProgramFileDateIsThatOfTheRunningProgramWhereverItWasStarted) {
  struct stat self {};
  ASSERT_EQ(stat("/proc/self/exe", &self), 0);
  tm local{};
  localtime_r(&self.st_mtim.tv_sec, &local);
  const std::int32_t expected = DateFromCivil(local.tm_year + 1900, static_cast<std::uint32_t>(local.tm_mon + 1),
                                              static_cast<std::uint32_t>(local.tm_mday));

  // Started from a folder that holds a file of the program's name with
  // another date: the program's own file still counts.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  const std::string name = ProgramFileName();
  ASSERT_FALSE(name.empty());
  std::ofstream(name) << "x";
  tm noon{};
  noon.tm_year = 2021 - 1900;
  noon.tm_mon = 2;
  noon.tm_mday = 14;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  const utimbuf times{mktime(&noon), mktime(&noon)};
  ASSERT_EQ(utime(name.c_str(), &times), 0);
  EXPECT_EQ(ProgramFileDate(), expected);
  std::filesystem::remove(name);
  EXPECT_EQ(ProgramFileDate(), expected) << "no program file here";
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace runtime::platform
