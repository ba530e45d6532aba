// Editing in place, the browse's side: the registry of each list column's
// edit object, and the priming of a new record for an in-place insert. The
// edit of a row itself is a BrowseRowEdit.
#include <algorithm>
#include <utility>

#include "window/BrowseManager.h"

namespace marlinden {

void BrowseManager::AddEditControl(EditInPlace* control, std::int32_t column) {
  if (column < 1) return;
  auto at = std::lower_bound(EDITLIST.begin(), EDITLIST.end(), column,
                             [](const EditColumn& entry, std::int32_t c) { return entry.FIELD < c; });
  if (at != EDITLIST.end() && at->FIELD == column) {
    at->CONTROL = control;
    at->FREEUP = 0;
    return;
  }
  EDITLIST.insert(at, EditColumn{column, 0, control});
}

void BrowseManager::AddEditControl(std::unique_ptr<EditInPlace> control, std::int32_t column) {
  if (column < 1 || control == nullptr) return;
  AddEditControl(control.get(), column);
  for (EditColumn& entry : EDITLIST) {
    if (entry.FIELD == column) entry.FREEUP = 1;
  }
  ownedEdits_.push_back(std::move(control));
}

Severity BrowseManager::PrimeRecord(bool keepBuffer) {
  FileManager& files = *PRIMARY->ME;
  if (ASKPROCEDURE != 0 || !files.HASAUTOINC) return ViewManager::PrimeRecord(keepBuffer);
  // The number is reserved quietly: when the record added in advance
  // collides with one left over, the record is numbered at insert instead
  // (InsertRow), so the user is never asked to try again.
  files.HASAUTOINC = 0;
  const Severity primed = ViewManager::PrimeRecord(keepBuffer);
  files.HASAUTOINC = 1;
  if (primed == SeverityOk) (void)files.TryPrimeAutoInc();
  return primed;
}

EditInPlace* BrowseManager::EditObject(std::int32_t column) {
  for (EditColumn& entry : EDITLIST) {
    if (entry.FIELD == column) return entry.CONTROL;
  }
  return nullptr;
}

}  // namespace marlinden
