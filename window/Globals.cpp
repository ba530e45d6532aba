#include "window/Globals.h"

namespace marlinden {

std::uint8_t RequestCode = RequestNone;
std::uint8_t ResponseCode = ResponseNone;
std::int32_t VcrRequest = 0;
std::int32_t CurrentEditColumn = 1;

}  // namespace marlinden
