// The running program's own file. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace runtime::platform {

// The file name (without folders) of the running program; empty when the
// system cannot tell.
std::string ProgramFileName();

// The date of last change of the running program's own file, as a runtime
// date (days since 1970-01-01, local); 0 when the system cannot tell. It
// does not depend on the current directory, so it is the same wherever the
// program was started from.
std::int32_t ProgramFileDate();

}  // namespace runtime::platform
