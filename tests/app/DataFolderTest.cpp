// The data folder: where it is looked for, and entering it (created when
// missing, refused when it cannot be made).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "app/AppTestSupport.h"
#include "app/DataFolder.h"

namespace marlinden {
namespace {

// Sets (or, for nullopt, unsets) environment variables for its lifetime.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::map<std::string, std::optional<std::string>>& values) {
    for (const auto& [name, value] : values) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
      Set(name, value);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) Set(name, value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  static void Set(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(DataFolderTest, ComesFromTheOptionTheVariablesOrTheHomeFolder) {
  using Env = std::map<std::string, std::optional<std::string>>;
  struct Case {
    std::optional<std::string> option;
    Env env;
    std::optional<std::filesystem::path> expected;
  };
  const Env none = {{"MARLINDEN_DATA", std::nullopt}, {"XDG_DATA_HOME", std::nullopt}, {"HOME", std::nullopt}};
  auto with = [&none](Env changes) {
    Env env = none;
    for (const auto& [k, v] : changes) env[k] = v;
    return env;
  };
  const Case cases[] = {
      {"/given", with({{"MARLINDEN_DATA", "/variable"}}), "/given"},
      {"", with({{"MARLINDEN_DATA", "/variable"}, {"XDG_DATA_HOME", "/xdg"}}), "/variable"},
      {std::nullopt, with({{"MARLINDEN_DATA", ""}, {"XDG_DATA_HOME", "/xdg"}, {"HOME", "/home/u"}}), "/xdg/marlinden"},
      {std::nullopt, with({{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/u"}}), "/home/u/.local/share/marlinden"},
      {std::nullopt, with({{"HOME", "/home/u"}}), "/home/u/.local/share/marlinden"},
      {std::nullopt, none, std::nullopt},
  };
  for (const Case& c : cases) {
    ScopedEnvironment env(c.env);
    EXPECT_EQ(DataFolder(c.option), c.expected) << c.option.value_or("(none)");
  }
}

TEST(DataFolderTest, IsCreatedWhenMissingAndBecomesTheCurrentDirectory) {
  testing_support::TempCurrentDirectory cwd;
  const std::filesystem::path start = std::filesystem::current_path();
  const std::filesystem::path folder = start / "a" / "b" / "marlinden";
  EXPECT_FALSE(EnterDataFolder(folder));
  EXPECT_EQ(std::filesystem::current_path(), folder);
  std::filesystem::current_path(start);
  EXPECT_FALSE(EnterDataFolder(folder)) << "an existing folder is entered as it is";
  EXPECT_EQ(std::filesystem::current_path(), folder);
  std::filesystem::current_path(start);
}

TEST(DataFolderTest, AFolderThatCannotBeMadeIsRefusedAndNothingIsWritten) {
  testing_support::TempCurrentDirectory cwd;
  const std::filesystem::path start = std::filesystem::current_path();
  std::ofstream("plain-file") << "x";
  const std::filesystem::path underFile = start / "plain-file" / "marlinden";
  const std::error_code error = EnterDataFolder(underFile);
  EXPECT_TRUE(error);
  EXPECT_EQ(std::filesystem::current_path(), start) << "the current directory is unchanged";
  const std::string message = DataFolderError(underFile, error);
  EXPECT_NE(message.find(underFile.string()), std::string::npos) << message;
  EXPECT_NE(message.find(error.message()), std::string::npos) << message;
  EXPECT_NE(DataFolderError(std::nullopt, {}).find("MARLINDEN_DATA"), std::string::npos);

  if (geteuid() != 0) {  // root may write anywhere
    std::filesystem::create_directory("locked");
    chmod("locked", 0500);
    EXPECT_TRUE(EnterDataFolder(start / "locked" / "marlinden"));
    chmod("locked", 0700);
  }
}

}  // namespace
}  // namespace marlinden
