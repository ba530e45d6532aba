// Severity levels: the result of every error and data operation of the
// framework.
#pragma once

#include <cstdint>

namespace marlinden {

// Every severity returned must be looked at or discarded with (void). The
// formatter takes the attribute for the start of an initializer list.
// clang-format off
enum [[nodiscard]] Severity : std::uint8_t {
  SeverityOk = 0,       // success, or the user chose to go on
  SeverityUser = 1,     // the message asks the user Yes/No
  SeverityProgram = 2,  // programming error; handled as fatal
  SeverityFatal = 3,    // the program ends
  SeverityCancel = 4,   // the user answered No; the operation is abandoned
  SeverityNotify = 5,   // the user was told; the operation failed, the program goes on
};
// clang-format on

}  // namespace marlinden
