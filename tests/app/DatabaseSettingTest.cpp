// Which database server the keyed files live on: the command line's option,
// then the environment variable, then the setting file in the data folder,
// else none (the local files).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/AppTestSupport.h"
#include "app/DataFolder.h"

namespace marlinden {
namespace {

// Sets (or, for nullopt, unsets) the variable for its lifetime.
class ScopedVariable {
 public:
  explicit ScopedVariable(const std::optional<std::string> &value) {
    if (const char *old = std::getenv(kDatabaseVariable)) saved_ = old;
    Set(value);
  }
  ~ScopedVariable() { Set(saved_); }
  ScopedVariable(const ScopedVariable &) = delete;
  ScopedVariable &operator=(const ScopedVariable &) = delete;

 private:
  static void Set(const std::optional<std::string> &value) {
    if (value) {
      ::setenv(kDatabaseVariable, value->c_str(), 1);
    } else {
      ::unsetenv(kDatabaseVariable);
    }
  }
  std::optional<std::string> saved_;
};

TEST(DatabaseSettingTest, TheOptionThenTheVariableThenTheFolderFileElseTheLocalFiles) {
  testing_support::TempCurrentDirectory cwd;
  ScopedVariable unset(std::nullopt);
  SetDatabaseOption(std::nullopt);
  EXPECT_EQ(DatabaseSetting(), "") << "nothing set: the local files";

  std::ofstream(kDatabaseSettingFile) << "  host=db.example dbname=books  \nignored second line\n";
  EXPECT_EQ(DatabaseSetting(), "host=db.example dbname=books") << "the first line, trimmed";
  {
    ScopedVariable variable(std::string("service=team"));
    EXPECT_EQ(DatabaseSetting(), "service=team");
    SetDatabaseOption("postgresql://anna@db.example/books");
    EXPECT_EQ(DatabaseSetting(), "postgresql://anna@db.example/books");
    SetDatabaseOption(std::nullopt);
  }
  std::filesystem::remove(kDatabaseSettingFile);
  EXPECT_EQ(DatabaseSetting(), "");
}

// The setting the Database Server window keeps: written whole, read back as
// the next start reads it, removed when blank; never one with a password.
TEST(DatabaseSettingTest, AKeptSettingIsWhatTheNextStartReadsAndPasswordsAreTold) {
  testing_support::TempCurrentDirectory cwd;
  ScopedVariable unset(std::nullopt);
  SetDatabaseOption(std::nullopt);
  ASSERT_TRUE(KeepDatabaseSetting("  service=team \n"));
  EXPECT_EQ(StoredDatabaseSetting(), "service=team");
  EXPECT_EQ(DatabaseSetting(), "service=team");
  ASSERT_TRUE(KeepDatabaseSetting("postgresql://anna@db.example/books"));
  EXPECT_EQ(DatabaseSetting(), "postgresql://anna@db.example/books") << "replaced";
  EXPECT_FALSE(std::filesystem::exists(std::string(kDatabaseSettingFile) + ".new"));
  ASSERT_TRUE(KeepDatabaseSetting(""));
  EXPECT_FALSE(std::filesystem::exists(kDatabaseSettingFile)) << "blank: back to the local files";
  EXPECT_TRUE(KeepDatabaseSetting("")) << "nothing to remove is no failure";

  for (const char *with : {"host=db password=secret", "postgresql://anna:secret@db/books", "PASSWORD=x"}) {
    EXPECT_TRUE(HoldsPassword(with)) << with;
  }
  for (const char *without :
       {"host=db user=anna", "postgresql://anna@db:5432/books", "postgresql://db/books?user=a:b@c", "service=x"}) {
    EXPECT_FALSE(HoldsPassword(without)) << without;
  }
}

}  // namespace
}  // namespace marlinden
