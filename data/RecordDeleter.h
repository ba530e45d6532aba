// Deletes a file's current record without asking the user: what the file
// manager needs from a relation manager to take back a record it added in
// advance (the relation manager keeps related files consistent).
#pragma once

#include "errors/Severity.h"

namespace marlinden {

class RecordDeleter {
 public:
  virtual ~RecordDeleter() = default;
  virtual Severity DeleteWithoutConfirmation() = 0;
};

}  // namespace marlinden
