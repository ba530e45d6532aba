// The entry control of an in-place edit: created at run time on the list's
// window, placed by the browse over one cell of the edited row, showing and
// taking back the list-queue field of that column. Its alert keys tell the
// browse how the user wants to move on (TakeEvent). A procedure may derive
// from it for a column that needs another kind of control.
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstdint>

#include "runtime/ui/Event.h"
#include "runtime/ui/Window.h"
#include "runtime/values/FieldRef.h"

namespace marlinden {

// What an edit control's event asks of the in-place edit.
enum EditAction : std::uint8_t {
  EditNone = 0,
  EditNextColumn = 1,      // Tab
  EditPreviousColumn = 2,  // Shift+Tab
  EditComplete = 3,        // Enter
  EditCancel = 4,          // Esc
  EditDown = 5,            // Down arrow
  EditUp = 6,              // Up arrow
};

class EditInPlace {
 public:
  EditInPlace() = default;
  virtual ~EditInPlace() = default;
  EditInPlace(const EditInPlace&) = delete;
  EditInPlace& operator=(const EditInPlace&) = delete;

  // --- Virtual operations, in slot order -------------------------------------------
  // FEQ = a new (hidden) entry control beside the list.
  virtual void CreateControl();
  // Ready for one row: creates the control on window (borrowed until Kill),
  // with column's picture, bound to field (a list-queue field); for a text
  // field the picture is the field's string picture ("@s255"), so the entry
  // takes no more than the field holds.
  virtual void Init(runtime::ui::Window& window, std::int32_t column, std::int32_t listControl,
                    runtime::FieldRef field);
  // Destroys the control if there is one and releases the field.
  virtual void Kill();
  virtual void SetAlerts();
  // The edit action of an alert-key event on FEQ; EditNone for anything else.
  virtual std::uint8_t TakeEvent(const runtime::ui::Event& event);

  // Shows the control over the cell (row, column) of the list with the
  // field's value, and gives it the focus.
  void Place(std::int32_t row, std::int32_t column);
  // Takes the control's contents into the field, then Remove.
  void Commit();
  // Takes the control off the list and hides it.
  void Remove();

  // --- Fields --------------------------------------------------------------------------
  std::int32_t FEQ = 0;  // 0 = no control
  runtime::FieldRef USEVAR;
  std::int32_t LISTBOXFEQ = 0;

 protected:
  runtime::ui::Control* Entry() const;
  runtime::ui::Window* WINDOW = nullptr;  // borrowed, from Init to Kill
};

}  // namespace marlinden
