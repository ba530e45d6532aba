// "Find Duplicates": the groups of bookmarks that name one page under
// different spellings, found in a progress window that can be cancelled,
// then shown one bookmark a row, the one to keep marked (the oldest until
// the user keeps another). "Merge Group" merges the highlighted row's group
// into its kept bookmark (notes appended, its own folder kept) and deletes
// the others; "Merge All" does so for every group. Runs modally on the
// calling runtime thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "errors/Severity.h"
#include "procedures/Duplicates.h"
#include "runtime/ui/ListSource.h"
#include "runtime/ui/WindowDescription.h"
#include "window/WindowManager.h"

namespace marlinden {

enum FindDuplicatesControl : std::int32_t {
  DuplicatesList = 1,
  DuplicatesKeep,
  DuplicatesMergeGroup,
  DuplicatesMergeAll,
  DuplicatesClose,
};

inline constexpr const char* kFindDuplicatesTitle = "Find Duplicates";
inline constexpr const char* kFindingDuplicatesSection = "findingduplicates";
inline constexpr const char* kKeptMark = "keep";
inline constexpr const char* kNoDuplicates = "No two bookmarks name the same page.";

runtime::ui::WindowDescription FindDuplicatesDescription();

// The finding's progress window: a step of the finder per timer event, so
// the bar moves and Cancel (or Escape, or a close) is taken between steps.
// Its run is completed once every group is found, cancelled otherwise.
class FindingDuplicatesWindow : public WindowManager {
 public:
  explicit FindingDuplicatesWindow(std::size_t bookmarksPerStep) : finder_(bookmarksPerStep) {}

  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeCloseEvent() override;
  Severity TakeWindowEvent() override;

  // What a completed run found. Requires: Run returned ResponseCompleted.
  std::vector<DuplicateGroup> TakeGroups() { return finder_.TakeGroups(); }

 private:
  void ShowProgress();
  void End(std::uint8_t response);

  DuplicateFinder finder_;
  bool filesOpen_ = false;
  bool ended_ = false;
  int percent_ = -1;
};

// The groups found, to keep one of each and merge the others into it.
class FindDuplicatesWindow : public WindowManager, private runtime::ui::ListSource {
 public:
  explicit FindDuplicatesWindow(std::vector<DuplicateGroup> found);

  Severity Init() override;
  Severity Kill() override;
  Severity TakeAccepted() override;
  Severity TakeNewSelection() override;

 private:
  struct Group {
    DuplicateGroup bookmarks;
    std::size_t keep = 0;
  };
  struct Place {
    std::size_t group = 0;
    std::size_t member = 0;
  };

  std::size_t RowCount() const override { return rows_.size(); }
  runtime::ui::ListRow Row(std::size_t row) const override;

  // Lays the groups out one bookmark a row.
  void LayOut();
  // The highlighted row's place; nothing when the list is empty.
  const Place* Highlighted() const;
  void Merge(std::size_t group);
  void MergeAll();
  // Shows the list again after the groups changed, the highlight near row.
  void Refresh(std::size_t row);
  void ShowButtons();

  std::vector<Group> groups_;
  std::vector<Place> rows_;
  bool filesOpen_ = false;
};

// The procedure: finds the groups, reading bookmarksPerStep bookmarks a
// timer event, and shows them, or says there are none; a cancelled finding
// shows nothing.
void FindDuplicates(std::size_t bookmarksPerStep = kDuplicateStepBookmarks);

}  // namespace marlinden
