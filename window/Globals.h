// The calling protocol between procedures: a caller stores its request in
// RequestCode and calls the procedure; the procedure's window manager takes
// the request over and clears both codes; when the procedure returns, its
// result is in ResponseCode. VcrRequest is the pending record-navigation
// request shared by every window (a ToolbarButton of ToolbarTarget.h,
// 0 = none).
//
// Guarded by the runtime lock: read and written by runtime threads only.
#pragma once

#include <cstdint>

namespace marlinden {

// Requests a caller makes of the procedure it calls.
inline constexpr std::uint8_t RequestNone = 0;     // a plain window
inline constexpr std::uint8_t RequestInsert = 1;   // add a new record
inline constexpr std::uint8_t RequestChange = 2;   // change the current record
inline constexpr std::uint8_t RequestDelete = 3;   // delete the current record
inline constexpr std::uint8_t RequestSelect = 4;   // let the user pick a record and return it
inline constexpr std::uint8_t RequestProcess = 5;  // print or process the highlighted record

// How a called procedure ended.
inline constexpr std::uint8_t ResponseNone = 0;  // no response given yet
inline constexpr std::uint8_t ResponseCompleted = 1;
inline constexpr std::uint8_t ResponseCancelled = 2;

extern std::uint8_t RequestCode;
extern std::uint8_t ResponseCode;
extern std::int32_t VcrRequest;
// The list column being edited in place (from 1).
extern std::int32_t CurrentEditColumn;

}  // namespace marlinden
