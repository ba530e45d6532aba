// The runtime's error state: every runtime operation leaves an error code
// (0 on success) and, for driver failures, the driver's own code and text.
// The state is per thread, like the runtime's threads themselves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

// Error codes the program tests (and a few more the runtime reports).
enum ErrorCode : std::int32_t {
  NoError = 0,
  FileNotFound = 2,
  PathNotFound = 3,
  AccessDenied = 5,
  BadParameter = 27,   // an argument the operation cannot use
  EntryNotFound = 30,  // queue: no entry with that key or position
  FileLocked = 32,     // another process has the file or a transaction locked
  NoRecord = 33,       // end (or beginning) of data
  RecordNotFound = 35,
  FileNotOpen = 37,
  DuplicateKey = 40,
  RecordHeld = 43,      // held by another station
  KeysInvalid = 46,     // the keys must be rebuilt
  LayoutMismatch = 47,  // the file does not match its declared layout
  AlreadyOpen = 52,
  Unsupported = 80,                 // the driver does not support the operation
  ChangedByOther = 89,              // changed by another station since it was read
  DriverFailure = 90,               // see the driver's own code and text
  ExpressionSyntax = 800,           // a filter text that does not parse (or is too long or too deep)
  ExpressionUnknownName = 801,      // a filter text names a label that is not bound
  ExpressionUnknownFunction = 802,  // a filter text calls a function the language does not have
  ExpressionArguments = 803,        // a function called with the wrong number of arguments
};

struct RuntimeError {
  std::int32_t code = NoError;
  std::string text;        // the runtime's text for code
  std::string driverCode;  // the driver's own code, as text
  std::string driverText;  // the driver's own text
};

// The calling thread's last error.
const RuntimeError& LastError();
std::int32_t LastErrorCode();

// Records code with the runtime's text for it and clears the driver fields.
// Returns code so a driver can write `return SetError(FileNotFound);`.
std::int32_t SetError(std::int32_t code);
// Records code together with the driver's own code and text.
std::int32_t SetError(std::int32_t code, std::string_view driverCode, std::string_view driverText);
void ClearError();

// Whether trying the failed operation again may succeed: another station
// held a lock or a record, or took the key value first. A full disk, a
// read-only file, a refused permission or a damaged file stay as they are.
bool RetryMayMend(std::int32_t code);

// The runtime's text for a code ("" for 0).
std::string_view ErrorTextFor(std::int32_t code);

}  // namespace runtime
