// The default browser's name with a fake desktop: stand-ins for the two
// queries (shell scripts that log their arguments) and a folder of desktop
// entries, found through the application folders the XDG variables name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "runtime/platform/DefaultBrowser.h"
#include "runtime/platform/DesktopPrograms.h"
#include "support/TempDir.h"

namespace runtime::platform {
namespace {

// An environment variable set (or unset) for one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (previous_) {
      ::setenv(name_, previous_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

class DefaultBrowserNameTest : public ::testing::Test {
 protected:
  // A query stand-in that logs its arguments on one line and prints answer.
  std::string Query(const std::string& name, const std::string& answer, int status = 0) {
    const std::string path = dir.File(name);
    std::ofstream(path) << "#!/bin/sh\necho \"$@\" >> '" << dir.File(name + ".log") << "'\nprintf '%s' '" << answer
                        << "'\nexit " << status << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string Log(const std::string& name) const {
    std::ifstream in(dir.File(name + ".log"));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void Entry(const std::string& folder, const std::string& id, const std::string& text) {
    std::filesystem::create_directories(dir.Path() / folder / "applications");
    std::ofstream((dir.Path() / folder / "applications" / id).string()) << text;
  }

  // The name found with the two answers, application folders left to the
  // XDG variables.
  std::string Lookup(const std::string& settingsAnswer, int settingsStatus, const std::string& mimeAnswer) {
    DesktopPrograms programs;
    programs.settingsQuery = Query("settings", settingsAnswer, settingsStatus);
    programs.mimeQuery = Query("mime", mimeAnswer);
    ScopedDesktopPrograms scoped(programs);
    return DefaultBrowser();
  }

  testing_support::TempDir dir;
  ScopedVariable dataHome{"XDG_DATA_HOME", (dir.Path() / "home").string()};
  ScopedVariable dataDirs{"XDG_DATA_DIRS", (dir.Path() / "local").string() + ":" + (dir.Path() / "system").string()};
};

TEST_F(DefaultBrowserNameTest, TheSettingNamesTheEntryWhoseNameIsShown) {
  Entry("system", "web.desktop", "[Desktop Entry]\nType=Application\nName=Web Wanderer\nExec=/usr/bin/wander %u\n");
  EXPECT_EQ(Lookup("web.desktop\n", 0, "other.desktop\n"), "Web Wanderer");
  EXPECT_EQ(Log("settings"), "get default-web-browser\n");
  EXPECT_EQ(Log("mime"), "") << "the setting answered: no second query";
}

TEST_F(DefaultBrowserNameTest, WithoutASettingTheHttpsHandlerIsAsked) {
  Entry("local", "surf.desktop", "[Desktop Entry]\nName=Surf Board\nExec=surf\n");
  EXPECT_EQ(Lookup("", 1, "surf.desktop\n"), "Surf Board");
  EXPECT_EQ(Log("mime"), "query default x-scheme-handler/https\n");
}

TEST_F(DefaultBrowserNameTest, TheFirstFolderHoldingTheEntryWins) {
  Entry("home", "web.desktop", "[Desktop Entry]\nName=Mine\n");
  Entry("local", "web.desktop", "[Desktop Entry]\nName=Local\n");
  Entry("system", "web.desktop", "[Desktop Entry]\nName=System\n");
  EXPECT_EQ(Lookup("web.desktop\n", 0, ""), "Mine");
  std::filesystem::remove(dir.Path() / "home" / "applications" / "web.desktop");
  EXPECT_EQ(Lookup("web.desktop\n", 0, ""), "Local");
}

TEST_F(DefaultBrowserNameTest, WithoutANameTheProgramThenTheIdIsShownAndWithoutAnswerNothing) {
  Entry("system", "noname.desktop",
        "[Desktop Action window]\nName=New Window\n[Desktop Entry]\nName[de]=Netz\nExec=/opt/nn/nonamebrowser %u\n");
  Entry("system", "bare.desktop", "[Desktop Entry]\nType=Application\n");
  EXPECT_EQ(Lookup("noname.desktop\n", 0, ""), "nonamebrowser") << "another group's Name is not the entry's";
  EXPECT_EQ(Lookup("bare.desktop\n", 0, ""), "bare");
  EXPECT_EQ(Lookup("missing.desktop\n", 0, ""), "missing");
  EXPECT_EQ(Lookup("", 1, ""), "");
  EXPECT_EQ(Lookup("web.desktop\n", 3, ""), "") << "a failed query's output is no answer";
  EXPECT_EQ(Lookup("unknown desktop environment\n", 0, ""), "") << "a text that is no entry id";
}

TEST_F(DefaultBrowserNameTest, ALongNameIsCutAtItsWidth) {
  const std::string name(60, 'n');
  Entry("system", "long.desktop", "[Desktop Entry]\nName=" + name + "\n");
  EXPECT_EQ(Lookup("long.desktop\n", 0, ""), name.substr(0, kBrowserNameWidth));
}

TEST(DesktopEntryNameTest, TheMainGroupsUntranslatedNameIsRead) {
  EXPECT_EQ(NameFromDesktopEntry("[Desktop Entry]\nName = Spaced Out \nName[fr]=Autre\n"), "Spaced Out");
  EXPECT_EQ(NameFromDesktopEntry("# Name=commented\n[Desktop Entry]\nExec=x\n"), "");
  EXPECT_EQ(NameFromDesktopEntry("Name=outside any group\n"), "");
}

}  // namespace
}  // namespace runtime::platform
