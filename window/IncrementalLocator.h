// The incremental locator of one sort order of a browse list: what the user
// types on the list (or into a small entry control) becomes the value of the
// order's free key element, so the browse can jump to the first record at or
// after it. The locator only writes the free element; all reading is the
// browse's.
//
// Thread: the browse's window thread, holding the runtime lock. The entry
// control (if any) is looked up in the thread's target window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/values/FieldRef.h"

namespace marlinden {

class BrowseManager;

// The most the locator keeps of what was typed, in bytes; a cut never
// splits a UTF-8 character.
inline constexpr std::size_t kLocatorWidth = 39;

// Alert slots the locator takes on the list control.
inline constexpr std::size_t kBackspaceAlertSlot = 250;
inline constexpr std::size_t kSpaceAlertSlot = 251;

class IncrementalLocator {
 public:
  virtual ~IncrementalLocator() = default;

  // control: an entry showing the typed text, 0 = none. freeElement is the
  // order's free key element (borrowed, it must outlive Kill); browse is the
  // owning list (borrowed).
  void Init(std::int32_t control, runtime::FieldRef freeElement, std::uint8_t noCase, BrowseManager* browse);
  // Disables the entry control when flag is 0, enables it otherwise.
  void SetEnabled(std::uint8_t flag);

  // --- Virtual operations, in slot order ---------------------------------------
  // Lets go of the free element.
  virtual void Kill();
  // Called by the browse after it repositioned on an accepted entry.
  virtual void AfterLocate();
  // Forgets the typed text and blanks the free element.
  virtual void Reset();
  // Alerts Backspace and Space on the list control, so they reach the browse.
  virtual void SetAlerts(std::int32_t listControl);
  // The entry control was accepted: its text becomes the free element's
  // value; 1 when that value is not empty (or zero).
  virtual std::uint8_t TakeAccepted();
  // The last key on the list: Backspace takes back one character, Space and
  // any key that types something add to the text. 1 when the key was taken,
  // 0 (nothing changed) for a key that types nothing.
  virtual std::uint8_t TakeKey();
  // Shows the typed text in the entry control.
  virtual void UpdateWindow();
  // The free element takes the typed text.
  virtual void Set();

  // --- Fields -----------------------------------------------------------------------
  BrowseManager* VIEWMANAGER = nullptr;  // borrowed
  std::int32_t CONTROL = 0;
  runtime::FieldRef FREEELEMENT;  // borrowed
  std::uint8_t NOCASE = 0;
  std::string SHADOW;  // the text typed so far, at most kLocatorWidth bytes
};

}  // namespace marlinden
