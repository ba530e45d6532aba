// The report's own numbered warnings and its check-open of a data file. The
// warnings read the runtime's error state when raised, so each is raised
// before any other runtime call; those that end the program end through the
// runtime's halt with a failure status.
// Thread: the report's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/files/DataFile.h"

namespace marlinden {

// Asks a message box whose text may hold vertical bars as line breaks;
// returns the button pressed.
std::uint32_t AskBarredMessage(std::string_view title, std::string_view text, std::uint32_t icon, std::uint32_t buttons,
                               std::uint32_t defaultButton);

// The current runtime error as "text (code)", or for a driver failure the
// driver's "text (code)"; at most 150 characters.
std::string LegacyErrorDescription();

// Shows message id about fileName (trailing spaces dropped). 1, 3, 4 and 5
// end the program; 2 ends it on No and returns 2 on Yes; 30 returns the
// button pressed; the others return 0.
std::int32_t LegacyWarning(std::int32_t id, std::string_view fileName);

// Opens file, recovering a locked file once, creating a missing one when
// allowed (never with noCreate), rebuilding invalid keys when the user
// agrees. shareAll opens it read-write shared (mode 66), else in mode.
// Returns the runtime code the last open left (0 or 52 when open).
std::int32_t OpenOrRecoverFile(runtime::DataFile& file, bool createAllowed, bool noCreate, std::uint8_t mode,
                               bool shareAll);

}  // namespace marlinden
