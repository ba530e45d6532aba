// The entries of a browse list's popup menu that stand for its buttons:
// each mirrors its button (its text, whether it is enabled) and presses it
// when chosen, and the toolbox button, after a separator, opens the toolbox
// of these entries. Added once per browse, the first time the window sets
// its alerts.
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstdint>

namespace marlinden {

class PopupManager;

// The browse's buttons; 0 = the browse has none.
struct BrowseButtons {
  std::int32_t insert = 0;
  std::int32_t change = 0;
  std::int32_t remove = 0;
  std::int32_t print = 0;
  std::int32_t query = 0;
  std::int32_t select = 0;  // 0 too while the window is not selecting
  std::int32_t toolbox = 0;
};

class BrowseButtonMenu {
 public:
  // Adds the entries to popup unless they were added since the last Forget.
  void Fill(PopupManager& popup, const BrowseButtons& buttons);
  // The popup was made anew: the next Fill adds the entries again.
  void Forget() { filled_ = false; }

 private:
  bool filled_ = false;
};

}  // namespace marlinden
