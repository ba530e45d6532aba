// A scroll step object: maps the vertical thumb of a browse list (1-100) to
// values of the sort order's free key element and back, so a thumb drag
// jumps into the key range and the thumb follows the highlighted record
// without counting records. This base class places every value in the
// middle; StringStep (StringStep.h) does the real mapping for text keys.
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlinden {

// Option bits of CONTROLS: which characters a key may hold, and its order.
enum StepOption : std::uint8_t {
  StepLetters = 1,
  StepSpecials = 2,
  StepDigits = 4,
  StepCaseSensitive = 8,  // keep lower-case letters, never upper-case a value
  StepDescending = 16,    // percentiles run from 100 down to 1
};

class StepManager {
 public:
  virtual ~StepManager() = default;

  // --- Virtual operations, in slot order ---------------------------------------
  // The thumb position 1-100 for a value of the free element.
  virtual std::int32_t GetPercentile(std::string_view value);
  // The free element's value for a thumb position.
  virtual std::string GetValue(std::int32_t percentile);
  virtual void Kill();
  // The values of the first and last record of the view.
  virtual void SetLimits(std::string_view low, std::string_view high);
  // 1 when SetLimits must be called before the mapping means anything.
  virtual std::uint8_t NeedsLimits();

  std::uint8_t CONTROLS = 0;  // StepOption bits
};

}  // namespace marlinden
