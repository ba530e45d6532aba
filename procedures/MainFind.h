// The main window's find box: the words typed there narrow the list to the
// bookmarks that have each of them as the start of a word (SearchIndex.h),
// within the tab's own order and filter. The list is read through the
// narrowing file (FoundBookmarks.h), so the highlighted row, the thumb,
// editing in place and the buttons all work on the narrowed list.
//
// The box reports each edit the user makes (typing anywhere in it,
// deleting, pasting, a character composed by the keyboard), so the list
// narrows with each one. Ctrl+F on the list puts the cursor in the box;
// Escape in the box or on the list clears it; Enter and Down go back to
// the list.
//
// A collection made before the index is indexed in batches, one per timer
// tick of the main window, while it is being used; the find tests each
// bookmark meanwhile.
//
// Thread: runtime thread 1, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FoundBookmarks.h"
#include "app/SearchIndex.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/WindowDescription.h"
#include "window/BrowseManager.h"

namespace marlinden {

// The find box's controls, numbered after the window's others.
inline constexpr std::int32_t kMainFindPrompt = 26;
inline constexpr std::int32_t kMainFindBox = 27;
// The list's alert slot for Ctrl+F.
inline constexpr std::size_t kFindKeyAlertSlot = 247;
// Bookmarks indexed per timer tick while a collection gets its index.
inline constexpr std::int64_t kIndexBatchBookmarks = 500;
// The window timer, in hundredths of a second, while that goes on.
inline constexpr std::int32_t kIndexTimer = 5;
// The rows a slice of the thumb's counting reads while the find walks the
// list's order: each may cost many records passed over.
inline constexpr std::int64_t kWalkRankSliceRows = 32;

class MainFind {
 public:
  // bookmarks (borrowed) is the bookmark file the list shows.
  explicit MainFind(runtime::DataFile& bookmarks) : found_(bookmarks) {}

  // Adds the prompt and the box to the window's description, at the right
  // of the tabs above the list.
  static void Describe(runtime::ui::WindowDescription& description);

  // The file the list's view reads.
  runtime::DataFile& File() { return found_; }

  // Set-up after the window and its browse (borrowed, they outlive Kill):
  // the box's keys, Ctrl+F on the list, the index built when missing.
  void Init(runtime::ui::Window& window, BrowseManager& browse, std::int32_t listControl);

  // Takes the events of the box and the window's timer; true when the
  // event was the find's.
  bool TakeEvent(const runtime::ui::Event& event);
  // A key on the list: Ctrl+F, or Escape while words narrow it; true when
  // it was taken.
  bool TakeListKey(runtime::ui::KeyCode key);

  // Whether words narrow the list.
  bool Narrowed() const { return found_.Narrowed(); }
  // Whether the list is narrowed by walking its order (FindPlan::Walk).
  bool Walking() const { return found_.Plan().kind == FindPlan::Kind::Walk; }
  // Plans the typed words again: the bookmarks changed.
  void Replan() { found_.Replan(); }
  // Narrows the list to these bookmark numbers (ascending) as well as the
  // words, and reloads it; nothing: to the words only.
  void ShowOnly(std::optional<std::vector<std::int64_t>> numbers);
  bool ShowsOnly() const { return found_.HasOnly(); }
  // Clears the box and shows every bookmark again.
  void Clear();

 private:
  // The box's text became text: the list narrows to it.
  void Apply(std::string text);
  void BuildIndex();

  FoundBookmarks found_;
  runtime::ui::Window* window_ = nullptr;  // borrowed
  BrowseManager* browse_ = nullptr;        // borrowed
  std::int32_t listControl_ = 0;
  std::unique_ptr<SearchIndexBuild> build_;  // while the index is being built
};

}  // namespace marlinden
