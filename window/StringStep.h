// The step object of a text key: a table of 100 ascending key prefixes, one
// per thumb position. The table is fixed (three-letter surname prefixes, or
// two-letter alphabet steps) or computed from the first and last value of
// the view (SetLimits): their common prefix is kept as ROOT and the next four
// characters are spread evenly over the characters a key may hold
// (SORTCHARS).
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "window/StepManager.h"

namespace marlinden {

enum StepLookup : std::uint8_t {
  LookupNames = 1,     // fixed table of surname prefixes
  LookupAlphabet = 2,  // fixed table of alphabet steps
  LookupComputed = 3,  // table computed from the data by SetLimits
};

inline constexpr std::size_t kStepEntries = 100;

class StringStep : public StepManager {
 public:
  // options: StepOption bits; mode: a StepLookup.
  void Init(std::uint8_t options, std::uint8_t mode);

  std::int32_t GetPercentile(std::string_view value) override;
  std::string GetValue(std::int32_t percentile) override;
  void Kill() override;
  // LookupComputed only: ROOT and the table from the two values.
  void SetLimits(std::string_view low, std::string_view high) override;
  std::uint8_t NeedsLimits() override;

  // Entry p (1-100) of the table, TESTLEN characters.
  std::string_view Entry(std::size_t p) const;

  std::uint8_t LOOKUPMODE = 0;
  std::string REF;        // kStepEntries entries of TESTLEN characters, ascending
  std::string ROOT;       // the prefix common to the key range (computed mode)
  std::string SORTCHARS;  // the characters a key may hold, ascending (computed mode)
  std::uint8_t TESTLEN = 0;

 private:
  std::string Normalised(std::string_view text) const;
  std::uint64_t KeyValue(std::string_view key) const;
  std::string KeyOf(std::uint64_t value) const;
};

}  // namespace marlinden
