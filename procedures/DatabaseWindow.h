// "Database Server": the connection string of the server that keeps the
// collection instead of the files in the data folder, kept in the data
// folder's setting file (DataFolder.h) and used from the next start. A
// blank one goes back to the local files; one holding a password is
// refused (libpq's password file keeps it). Runs modally on the calling
// runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>

#include "errors/Severity.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

enum DatabaseControl : std::int32_t {
  DatabasePrompt = 1,
  DatabaseEntry,
  DatabaseHint,
  DatabaseOk,
  DatabaseCancel,
};

inline constexpr const char* kDatabaseTitle = "Database Server";
inline constexpr const char* kDatabaseHint =
    "A PostgreSQL connection string or service name; blank: the files in the data folder.";
inline constexpr const char* kDatabaseKept = "The program uses this setting from its next start.";
inline constexpr const char* kDatabaseHoldsPassword =
    "A password is not kept here: put it in libpq's password file (~/.pgpass) and leave it out of the "
    "connection string.";

runtime::ui::WindowDescription DatabaseWindowDescription();

class DatabaseWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;

 private:
  runtime::FixedText<255> connection_;
  std::string stored_;  // the setting when the window opened
};

void ChooseDatabase();

}  // namespace marlinden
