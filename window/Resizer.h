// The resizer keeps a window's controls in a sensible place and size when
// the user resizes the window. It takes a snapshot of the window and of
// every control's rectangle; on each resize it computes every control's new
// rectangle from its snapshot, from its parent's old and new rectangle (the
// window, or a control containing it) and from two strategies per control -
// where to anchor it and how to size it - and moves the controls.
//
// Every new rectangle is computed from the snapshot, never from the last
// resize, so sizes do not drift. A parent of no width or height (a window
// not yet shown) scales by 1, a window resized to nothing (minimised) moves
// nothing, and no size comes out negative.
//
// The window manager calls Resize on every sized event of the window it is
// registered with (AddItem) and Kill from its own Kill.
// Thread: the window's runtime thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "runtime/queue/Queue.h"
#include "runtime/ui/ControlKind.h"
#include "runtime/ui/Geometry.h"
#include "window/WindowItems.h"

namespace runtime::ui {
class Window;
}

namespace marlinden {

// The application strategies: the default anchoring and sizing of each
// kind of control (APPSTRATEGY).
enum ResizeStrategy : std::uint8_t {
  StrategyScaleEverything = 0,   // every control moves and scales with the window
  StrategyKeepControlSizes = 1,  // buttons and single-line controls keep their size
  StrategyFollowParents = 2,     // controls follow their parent control's edges
};

// Whether the snapshot size limits the user's resizing on one side.
enum class SnapshotLimit : std::uint8_t { None, Limit };

// Anchors: the low byte of POSITIONALSTRATEGY is horizontal, the high byte
// (the same codes times 0x100) vertical.
enum ResizeAnchor : std::uint16_t {
  AnchorProportional = 0,
  AnchorFixed = 1,
  AnchorRight = 2,  // bottom, vertically
  AnchorLeft = 3,   // top
  AnchorCentre = 4,
  AnchorNearest = 5,  // left or right, whichever edge is nearer
};

// Bits of RESIZESTRATEGY.
enum ResizeBits : std::uint16_t {
  ResizeLockWidth = 1,
  ResizeLockHeight = 2,
  ResizeConstantRight = 4,
  ResizeConstantBottom = 8,
};

// The kind codes the strategies are chosen by.
std::int32_t ResizeKindCode(runtime::ui::ControlKind kind);

class Resizer : public ResizerItem {
 public:
  struct WindowState {
    runtime::ui::Rect RECT;  // position and client size
    bool MAXIMIZED = false;
    bool ICONIZED = false;
  };
  struct ControlEntry {
    std::int32_t ID = 0;
    std::int32_t TYPE = 0;  // the kind code
    bool HASCHILDREN = false;
    std::uint16_t POSITIONALSTRATEGY = 0;
    std::uint16_t RESIZESTRATEGY = 0;
    runtime::ui::Rect POS;  // at the snapshot
    std::int32_t PARENTID = 0;
  };
  struct ResizeEntry {
    std::int64_t PRIORITY = 0;
    std::int32_t CONTROLID = 0;
    std::int32_t TYPE = 0;
    runtime::ui::Rect BEFORE;
    runtime::ui::Rect AFTER;
  };

  // window is borrowed and must stay open until Kill. Makes the window
  // resizable, takes the snapshot, links parents under
  // StrategyFollowParents, and makes the snapshot size the window's minimum
  // and maximum as asked.
  void Init(runtime::ui::Window& window, std::uint8_t appStrategy, SnapshotLimit minimum, SnapshotLimit maximum);
  void Kill() override;
  // Gives control its own anchors (ResizeAnchor, low byte horizontal) and
  // resize bits instead of its kind's, from the next resize on.
  void SetStrategy(std::int32_t control, std::uint16_t positional, std::uint16_t resize);

  // --- Virtual operations, in slot order ----------------------------------
  // The control's PARENTID, 0 when none.
  virtual std::int32_t GetParentControl(std::int32_t control);
  virtual void SnapShot();
  // Moves the controls for the window's new size.
  void Resize() override;
  // The window back to its snapshot state and size, every control to its
  // snapshot rectangle.
  virtual void RestoreSnapShot();
  virtual void SetParentControls();
  // The control's rectangle for the parent's old and new rectangle.
  virtual runtime::ui::Rect CalcControlPosition(const ControlEntry& control, runtime::ui::Rect parentOld,
                                                runtime::ui::Rect parentNew, runtime::ui::Rect snapshot);

  // --- Fields -------------------------------------------------------------
  std::uint8_t APPSTRATEGY = 0;
  // The first resize after a snapshot makes static texts, images and
  // prompts transparent.
  bool AUTOTRANSPARENT = false;
  WindowState ORIGWIN;
  std::unique_ptr<runtime::Queue<ControlEntry>> CONTROLQUEUE;  // ascending ID
  // The model applies every move of one resize together when the window is
  // next shown; off, the moves are also ordered by priority.
  bool DEFERMOVES = false;
  runtime::ui::Rect PREVIOUSWIN;
  bool RESIZECALLED = false;
  std::unique_ptr<runtime::Queue<ResizeEntry>> RESIZELIST;

 private:
  ControlEntry* Entry(std::int32_t control);
  void MoveChildren(std::int32_t parent, runtime::ui::Rect parentOld, runtime::ui::Rect parentNew, std::uint32_t depth);
  void SortByPriority(runtime::ui::Rect now);
  void MakeStaticsTransparent();
  // Notes the columns the user resized since the last resize, as shares of
  // the list's width.
  void TakeUsersColumnWidths();
  // Shares each list's width among its columns in the proportions they had
  // at the snapshot, or that the user gave them since.
  void FitListColumns();
  // Makes parent the control's parent unless that would close a loop.
  void Link(ControlEntry& child, std::int32_t parent);

  runtime::ui::Window* window_ = nullptr;  // borrowed, see Init
  // A list's column widths for its snapshot width, and the widths last
  // given to it (other widths there mean the user resized a column).
  struct ListColumns {
    std::vector<std::int32_t> atSnapshot;
    std::vector<std::int32_t> given;
  };
  std::map<std::int32_t, ListColumns> columns_;
};

}  // namespace marlinden
