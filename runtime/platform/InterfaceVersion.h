// The runtime's interface version. A program is built against the version
// this header names; the runtime library reports the version it was built
// with, so start-up can refuse a runtime of another interface. Any thread.
#pragma once

#include <cstdint>

namespace runtime {

// The interface a program compiled with this header expects.
inline constexpr std::uint32_t kInterfaceVersion = 261;

// The interface the linked runtime library provides.
std::uint32_t InterfaceVersion();

}  // namespace runtime
