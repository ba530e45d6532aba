#include "window/Globals.h"

namespace marlinden {

std::uint8_t RequestCode = RequestNone;
std::uint8_t ResponseCode = ResponseNone;
std::int32_t VcrRequest = 0;

}  // namespace marlinden
