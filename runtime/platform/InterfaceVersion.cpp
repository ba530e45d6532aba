#include "runtime/platform/InterfaceVersion.h"

namespace runtime {

// Compiled into the library, so a library built from another header reports
// its own version rather than the program's.
std::uint32_t InterfaceVersion() { return kInterfaceVersion; }

}  // namespace runtime
