// Query by example: one row per list column with a prompt, an example value
// and a comparison operator, turned into one filter text of the expression
// language, which the browse list installs on its view. Values may carry
// operator prefixes ("<", ">", "~", "="), wildcards ("*rose" contains,
// "rose*" begins with) and the caseless marker ("^rose").
//
// Every filter it gives compiles: values are quoted (or read as numbers),
// operators are written as the language knows them, and a condition that
// would not fit the filter's limit is left out whole.
//
// Thread: the browse's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "errors/Severity.h"
#include "runtime/queue/Queue.h"

namespace marlinden {

class QueryWindow;

struct QueryField {
  std::string NAME;     // the field's expression in a filter, at most 99 bytes
  std::string TITLE;    // the prompt, at most 99 bytes
  std::string PICTURE;  // at most 39 bytes; "S..." marks a text field
  std::string LOW;      // lower limit, at most 499 bytes
  std::string MIDDLE;   // example value with its operator prefix
  std::string HIGH;     // upper limit
};

// Which stored values SetLimit leaves unchanged.
enum QueryKeep : std::uint8_t { KeepNone = 0, KeepLow = 1, KeepHigh = 2, KeepMiddle = 4 };

class QueryManager {
 public:
  virtual ~QueryManager() = default;

  // win is borrowed and must outlive Kill; it gets a reference back.
  void Init(QueryWindow& win);
  void AddField(std::string_view name, std::string_view title, std::string_view picture);
  // Stores the limits of the entry named name (one added by AddField),
  // leaving those named by keep (QueryKeep bits) unchanged.
  void SetLimit(std::string_view name, std::string_view low, std::string_view high, std::string_view middle,
                std::uint8_t keep = KeepNone);
  // Empties the limits of the entry named name.
  void ClearLimits(std::string_view name);
  // Empties the limits of every entry.
  void ClearLimits();
  // The filter text of the stored values (at most 5000 bytes); empty when
  // no entry has a value.
  std::string GetFilter();

  // --- Virtual operations, in slot order ----------------------------------
  // Runs the "Example values" window (clearing every limit first unless
  // keepValues): SeverityNotify when it ended with OK, SeverityOk when
  // cancelled. The caller applies a new filter only on a non-zero result.
  virtual Severity Ask(bool keepValues);
  virtual void Kill();

  // --- Fields -------------------------------------------------------------
  std::unique_ptr<runtime::Queue<QueryField>> FIELDS;
  QueryWindow* WIN = nullptr;  // borrowed

  // An operator with a value's own leading operator characters merged in:
  // '<', '>' and '~' once each in order of appearance, then '=' when any
  // was given, then the rest of the value. (">", "=5") gives ">=5".
  static std::string Combine(std::string_view op, std::string_view value);

 private:
  QueryField* Find(std::string_view name);
  // Appends "(expression op value)" unless it would pass the limit.
  void Append(std::string& filter, const std::string& expression, std::string op, std::string value, bool quoted);
  void AppendRange(std::string& filter, QueryField& field, char op, std::string limit);
  void AppendExample(std::string& filter, QueryField& field);
};

}  // namespace marlinden
