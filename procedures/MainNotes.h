// The main window's notes pane: below the list, the notes of the
// highlighted bookmark, edited there. A change is saved when the user leaves
// the box, by the rules of a row edited in place: the bookmark is read again
// and watched; one that another station changed or deleted since it was
// shown is not overwritten (the user is told, and the box shows what is
// stored); the change goes through the bookmarks' relation manager, so the
// find's words and the last-modified time follow it.
//
// Thread: runtime thread 1, holding the runtime lock.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/ui/Event.h"
#include "runtime/ui/Window.h"
#include "runtime/ui/WindowDescription.h"
#include "window/BrowseManager.h"
#include "window/Resizer.h"

namespace marlinden {

// The pane's controls, numbered after the window's others.
inline constexpr std::int32_t kMainNotesPrompt = 31;
inline constexpr std::int32_t kMainNotesBox = 32;
// How far the pane moves the controls below it down, in dialog units.
inline constexpr std::int32_t kMainNotesHeight = 42;

class MainNotes {
 public:
  // Adds the prompt and the box below the list, from top, across width.
  static void Describe(runtime::ui::WindowDescription& description, std::int32_t top, std::int32_t width);

  // window and browse (borrowed) stay until the window closes. The box
  // keeps its height and the bottom margin when the window is resized.
  void Init(runtime::ui::Window& window, BrowseManager& browse, std::int32_t listControl, Resizer& resizer);
  // Shows the highlighted bookmark's notes when the highlight is on another
  // row than the one shown (after any event), unless the box has the
  // keyboard: what is typed there belongs to the bookmark it shows.
  void Follow();
  // Saves the box's text when it was left changed; true when the event was the box's.
  bool TakeEvent(const runtime::ui::Event& event);

 private:
  void Show(const std::string& notes);
  void Save(const std::string& typed);

  runtime::ui::Window* window_ = nullptr;
  BrowseManager* browse_ = nullptr;
  std::int32_t listControl_ = 0;
  bool followed_ = false;         // Follow has shown a row (or the empty list) once
  std::string shownPosition_;     // the highlighted row's position when it was shown
  std::int64_t shownNumber_ = 0;  // 0: none (empty list)
  std::string shownUrl_;
  std::string shownDescription_;
  std::string shownNotes_;
};

}  // namespace marlinden
