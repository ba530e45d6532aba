// The "Example values" window of a query: built at run time from the query's
// entries, one row each of a prompt (control 3i - 2), an entry for the
// example value (3i - 1) and a button cycling the operator (3i), with OK
// (1000) and Cancel (1001) below. OK stores each row's operator and value
// into the entry's MIDDLE; Cancel leaves the stored values alone. Enter
// anywhere in the window presses OK (a value typed without leaving its entry
// counts, compared with "="), Escape presses Cancel; the buttons and entries
// explain themselves in their tooltips.
//
// It can run any number of times (each Run opens the window afresh).
// Thread: the runtime thread of the browse that asks, holding the lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

class QueryManager;

inline constexpr std::int32_t kQueryOk = 1000;
inline constexpr std::int32_t kQueryCancel = 1001;
inline constexpr std::size_t kQueryEnterAlertSlot = 1;
inline constexpr const char* kQueryOperatorTip = "Comparison: click to change (blank, =, >=, <=, <>)";
inline constexpr const char* kQueryEntryTip =
    "Example value: *text contains it, text* begins with it, ^ ignores letter case, < > ~ compare";

class QueryWindow : public WindowManager {
 public:
  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeCompleted() override;
  Severity TakeFieldEvent() override;
  void SetAlerts() override;

  // The window for the query's entries, laid out by their widths.
  runtime::ui::WindowDescription Describe() const;
  // The operator button's next text: blank, "=", ">=", "<=", "<>", blank;
  // any other text stays.
  static std::string NextOperator(std::string_view current);

  QueryManager* QUERY = nullptr;  // borrowed; set by QueryManager::Init

 private:
  std::size_t Rows() const;
  // Row i's operator as accepting its entry leaves it: blank for an empty
  // value, "=" for a value without an operator.
  void MatchOperator(std::size_t i);
};

}  // namespace marlinden
