#include "window/StepManager.h"

namespace marlinden {

std::int32_t StepManager::GetPercentile(std::string_view) { return 50; }

std::string StepManager::GetValue(std::int32_t) { return {}; }

void StepManager::Kill() {}

void StepManager::SetLimits(std::string_view, std::string_view) {}

std::uint8_t StepManager::NeedsLimits() { return 1; }

}  // namespace marlinden
