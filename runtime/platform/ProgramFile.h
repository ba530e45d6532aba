// The running program's own file. Call under the runtime lock (it reads the
// current directory, which all threads share).
#pragma once

#include <cstdint>
#include <string>

namespace runtime::platform {

// The file name (without folders) of the running program; empty when the
// system cannot tell.
std::string ProgramFileName();

// The date of last change of the file named like the running program in the
// current directory, as a runtime date (days since 1970-01-01); 0 when there
// is no such entry there (the program was started from elsewhere). When
// several entries match, the last one listed counts.
std::int32_t ProgramFileDate();

}  // namespace runtime::platform
