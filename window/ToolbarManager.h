// The toolbar: connects the fixed toolbar buttons to the list the user works
// in. It keeps one target per browse list, keyed by the list's control;
// the current target shows which buttons work and takes their clicks. The
// window manager drives it (ToolbarItem).
// Thread: the window's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/queue/Queue.h"
#include "window/ToolbarTarget.h"
#include "window/WindowItems.h"

namespace marlinden {

class ToolbarManager : public ToolbarItem {
 public:
  struct TargetEntry {
    std::int32_t ID = 0;            // the list control
    ToolbarTarget* ITEM = nullptr;  // borrowed
  };

  // --- Virtual operations, in slot order ----------------------------------
  virtual void DisplayButtons();
  void Kill() override;
  // The current target takes the accepted control; the window manager calls
  // it for every accepted control.
  void TakeEvent(std::int32_t& vcrRequest, WindowManager& window) override;

  // Creates the target list.
  void Init() override;
  // Adds target (borrowed; it must outlive Kill) for list control control,
  // in control order, and sets its CONTROL.
  void AddTarget(ToolbarTarget& target, std::int32_t control);
  // control != 0: that list's target takes the toolbar. 0: every visible
  // list's target takes it in turn and the last stays current; with none
  // visible, the last target becomes current without taking it.
  void SetTarget(std::int32_t control) override;
  // The current target, nullptr when there is none.
  ToolbarTarget* Current() const { return current_; }

  std::unique_ptr<runtime::Queue<TargetEntry>> LIST;

 private:
  ToolbarTarget* current_ = nullptr;  // one of LIST's targets
};

}  // namespace marlinden
