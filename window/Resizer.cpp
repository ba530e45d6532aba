#include "window/Resizer.h"

#include <algorithm>
#include <cmath>

#include "runtime/ui/Window.h"

namespace marlinden {

using runtime::ui::ControlKind;
using runtime::ui::Rect;

namespace {

constexpr std::int32_t kString = 1;
constexpr std::int32_t kImage = 2;
constexpr std::int32_t kButton = 9;
constexpr std::int32_t kPrompt = 10;
constexpr std::int32_t kMenu = 19;
constexpr std::int32_t kMenuItem = 20;
constexpr std::int32_t kTab = 38;

struct Strategies {
  std::uint16_t positional = 0;
  std::uint16_t resize = 0;
};

bool OneOf(std::int32_t code, std::initializer_list<std::int32_t> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

Strategies DefaultStrategies(std::uint8_t appStrategy, std::int32_t code) {
  const std::uint16_t lockBoth = ResizeLockWidth | ResizeLockHeight;
  const std::uint16_t nearest = AnchorNearest | (AnchorNearest << 8);
  if (appStrategy == StrategyKeepControlSizes) {
    if (code == kButton) return {nearest, lockBoth};
    if (OneOf(code, {12, 21})) return {0, lockBoth};
    if (OneOf(code, {8, 15, 16, 34})) return {0, ResizeLockHeight};
  } else if (appStrategy == StrategyFollowParents) {
    if (OneOf(code, {3, 4, 11, 13, 14, 37, 39})) {
      return {AnchorLeft | (AnchorLeft << 8), ResizeConstantRight | ResizeConstantBottom};
    }
    if (OneOf(code, {8, 10, 15, 16, 34})) return {AnchorLeft << 8, ResizeLockHeight};
    if (code == kButton) return {nearest, lockBoth};
    if (OneOf(code, {12, 21})) return {0, lockBoth};
  }
  return {};
}

// Scale factors keep four digits after the point; a parent of no extent
// scales by 1.
double Scale(std::int32_t newExtent, std::int32_t oldExtent) {
  if (oldExtent <= 0) return 1.0;
  return std::round(10000.0 * newExtent / oldExtent) / 10000.0;
}

std::int32_t Whole(double value) { return static_cast<std::int32_t>(std::lround(value)); }

// One axis: the new position and extent of a control at offset d from the
// parent's start p (extent e) in a parent of extent pe, now at p2 with pe2.
struct Axis {
  std::int32_t position;
  std::int32_t extent;
};

Axis Place(std::uint16_t anchor, bool locked, bool constantEnd, std::int32_t snapshotPosition, std::int32_t p,
           std::int32_t pe, std::int32_t p2, std::int32_t pe2, std::int32_t e) {
  const double s = Scale(pe2, pe);
  const std::int64_t d = static_cast<std::int64_t>(snapshotPosition) - p;
  if (anchor == AnchorNearest) anchor = d < static_cast<std::int64_t>(pe) - d - e ? AnchorLeft : AnchorRight;
  double position = 0;
  switch (anchor) {
    case AnchorFixed:
      position = snapshotPosition;
      break;
    case AnchorRight: {
      double r = static_cast<double>(pe) - static_cast<double>(d);
      if (!locked) r *= s;
      position = static_cast<double>(p2) + pe2 - r;
      break;
    }
    case AnchorLeft:
      position = static_cast<double>(p2) + static_cast<double>(d);
      break;
    case AnchorCentre: {
      double c = static_cast<double>(d) - pe / 2.0;
      if (!locked) c *= s;
      position = p2 + pe2 / 2.0 + c;
      break;
    }
    default:  // proportional
      position = p2 + static_cast<double>(d) * s;
      break;
  }
  Axis axis{runtime::ui::ClampCoordinate(std::llround(position)), locked ? e : Whole(e * s)};
  if (constantEnd) {
    // The far edge keeps its snapshot distance from the parent's far edge.
    const std::int64_t gap = static_cast<std::int64_t>(pe) - d - e;
    axis.extent = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(p2) + pe2 - gap - axis.position, 0, runtime::ui::kMaxExtent));
  }
  axis.extent = runtime::ui::ClampExtent(axis.extent);
  return axis;
}

}  // namespace

std::int32_t ResizeKindCode(ControlKind kind) {
  switch (kind) {
    case ControlKind::String:
    case ControlKind::LinkText:
      return kString;
    case ControlKind::Image:
      return kImage;
    case ControlKind::Region:
      return 3;
    case ControlKind::Line:
      return 4;
    case ControlKind::Box:
      return 5;
    case ControlKind::Entry:
      return 8;
    case ControlKind::Button:
      return kButton;
    case ControlKind::Prompt:
      return kPrompt;
    case ControlKind::Option:
      return 11;
    case ControlKind::Check:
      return 12;
    case ControlKind::Group:
      return 13;
    case ControlKind::List:
      return 14;
    case ControlKind::Combo:
      return 15;
    case ControlKind::Spin:
      return 16;
    case ControlKind::Menu:
      return kMenu;
    case ControlKind::MenuItem:
      return kMenuItem;
    case ControlKind::Radio:
      return 21;
    case ControlKind::Progress:
      return 34;
    case ControlKind::Sheet:
      return 37;
    case ControlKind::Tab:
      return kTab;
    case ControlKind::Text:
      return 39;
  }
  return 0;
}

void Resizer::Init(runtime::ui::Window& window, std::uint8_t appStrategy, SnapshotLimit minimum,
                   SnapshotLimit maximum) {
  window_ = &window;
  CONTROLQUEUE = std::make_unique<runtime::Queue<ControlEntry>>();
  RESIZELIST = std::make_unique<runtime::Queue<ResizeEntry>>();
  APPSTRATEGY = appStrategy;
  window.SetFrame(runtime::ui::Frame::Resizable);
  SnapShot();
  if (APPSTRATEGY == StrategyFollowParents) SetParentControls();
  if (minimum == SnapshotLimit::Limit) window.SetMinimumSize(ORIGWIN.RECT.width, ORIGWIN.RECT.height);
  if (maximum == SnapshotLimit::Limit) window.SetMaximumSize(ORIGWIN.RECT.width, ORIGWIN.RECT.height);
  DEFERMOVES = true;
}

void Resizer::Kill() {
  columns_.clear();
  CONTROLQUEUE.reset();
  RESIZELIST.reset();
  window_ = nullptr;
}

void Resizer::SetStrategy(std::int32_t control, std::uint16_t positional, std::uint16_t resize) {
  if (ControlEntry* entry = Entry(control)) {
    entry->POSITIONALSTRATEGY = positional;
    entry->RESIZESTRATEGY = resize;
  }
}

Resizer::ControlEntry* Resizer::Entry(std::int32_t control) {
  if (!CONTROLQUEUE || control == 0) return nullptr;
  return CONTROLQUEUE->Find([control](const ControlEntry& e) { return e.ID == control; });
}

std::int32_t Resizer::GetParentControl(std::int32_t control) {
  const ControlEntry* entry = Entry(control);
  return entry != nullptr ? entry->PARENTID : 0;
}

void Resizer::SnapShot() {
  if (window_ == nullptr || !CONTROLQUEUE) return;
  ORIGWIN.RECT = window_->Position();
  ORIGWIN.MAXIMIZED = window_->State() == runtime::ui::WindowState::Maximised;
  ORIGWIN.ICONIZED = window_->State() == runtime::ui::WindowState::Iconised;
  PREVIOUSWIN = ORIGWIN.RECT;
  columns_.clear();
  for (const std::int32_t number : window_->ControlNumbers()) {
    const runtime::ui::Control* control = window_->Find(number);
    if (control->Kind() == ControlKind::List) {
      std::vector<std::int32_t> widths;
      for (const runtime::ui::ListColumn& column : control->Properties().columns) widths.push_back(column.width);
      columns_[number] = {widths, widths};
    }
    if (ControlEntry* known = Entry(number)) {
      known->POS = control->Position();
      continue;
    }
    const std::int32_t code = ResizeKindCode(control->Kind());
    if (control->NoResize() || code < 1 || code > 127 || code == kMenu || code == kMenuItem || code == kTab) continue;
    const Strategies strategies = DefaultStrategies(APPSTRATEGY, code);
    ControlEntry entry;
    entry.ID = number;
    entry.TYPE = code;
    entry.POSITIONALSTRATEGY = strategies.positional;
    entry.RESIZESTRATEGY = strategies.resize;
    entry.POS = control->Position();
    CONTROLQUEUE->AddSorted(entry, [](const ControlEntry& a, const ControlEntry& b) { return a.ID < b.ID; });
  }
  RESIZECALLED = false;
}

void Resizer::RestoreSnapShot() {
  if (window_ == nullptr || !CONTROLQUEUE) return;
  window_->SetState(ORIGWIN.MAXIMIZED  ? runtime::ui::WindowState::Maximised
                    : ORIGWIN.ICONIZED ? runtime::ui::WindowState::Iconised
                                       : runtime::ui::WindowState::Normal);
  const Rect now = window_->Position();
  window_->SetPosition({now.x, now.y, ORIGWIN.RECT.width, ORIGWIN.RECT.height});
  for (const ControlEntry& entry : *CONTROLQUEUE) {
    if (runtime::ui::Control* control = window_->Find(entry.ID)) control->SetPosition(entry.POS);
  }
}

void Resizer::Link(ControlEntry& child, std::int32_t parent) {
  if (parent == child.ID) return;
  // A loop of parents would leave its controls unreachable from the window.
  for (std::int32_t up = parent, steps = 0; up != 0 && steps <= static_cast<std::int32_t>(CONTROLQUEUE->Records());
       ++steps) {
    if (up == child.ID) return;
    up = GetParentControl(up);
  }
  ControlEntry* entry = Entry(parent);
  if (entry == nullptr) return;
  entry->HASCHILDREN = true;
  child.PARENTID = parent;
}

void Resizer::SetParentControls() {
  if (window_ == nullptr || !CONTROLQUEUE) return;
  for (std::size_t i = 1; i <= CONTROLQUEUE->Records(); ++i) {
    const ControlEntry self = *CONTROLQUEUE->Get(i);
    const runtime::ui::Control* control = window_->Find(self.ID);
    std::int32_t parent = control != nullptr ? control->Parent() : 0;
    if (parent != 0) {
      // Tabs never move by themselves: their sheet is the parent.
      for (const runtime::ui::Control* p = window_->Find(parent); p != nullptr && p->Kind() == ControlKind::Tab;
           p = window_->Find(parent)) {
        parent = p->Parent();
      }
      if (parent != 0) Link(*CONTROLQUEUE->Get(i), parent);
      continue;
    }
    const Rect& r = self.POS;
    for (std::size_t j = 1; j <= CONTROLQUEUE->Records(); ++j) {
      ControlEntry& other = *CONTROLQUEUE->Get(j);
      if (other.ID == self.ID) continue;
      const bool inside = other.POS.x >= r.x && other.POS.x <= r.x + r.width - 1 && other.POS.y >= r.y &&
                          other.POS.y <= r.y + r.height - 1;
      if (inside) Link(other, self.ID);
    }
  }
}

Rect Resizer::CalcControlPosition(const ControlEntry& control, Rect parentOld, Rect parentNew, Rect snapshot) {
  const auto horizontal = static_cast<std::uint16_t>(control.POSITIONALSTRATEGY & 0xFF);
  const auto vertical = static_cast<std::uint16_t>(control.POSITIONALSTRATEGY >> 8);
  const std::uint16_t bits = control.RESIZESTRATEGY;
  const Axis x = Place(horizontal, (bits & ResizeLockWidth) != 0, (bits & ResizeConstantRight) != 0, snapshot.x,
                       parentOld.x, parentOld.width, parentNew.x, parentNew.width, snapshot.width);
  const Axis y = Place(vertical, (bits & ResizeLockHeight) != 0, (bits & ResizeConstantBottom) != 0, snapshot.y,
                       parentOld.y, parentOld.height, parentNew.y, parentNew.height, snapshot.height);
  return {x.position, y.position, x.extent, y.extent};
}

void Resizer::MoveChildren(std::int32_t parent, Rect parentOld, Rect parentNew, std::uint32_t depth) {
  if (depth > CONTROLQUEUE->Records()) return;
  for (std::size_t i = 1; i <= CONTROLQUEUE->Records(); ++i) {
    const ControlEntry entry = *CONTROLQUEUE->Get(i);
    if (entry.PARENTID != parent) continue;
    const runtime::ui::Control* control = window_->Find(entry.ID);
    if (control == nullptr) continue;
    ResizeEntry move;
    move.CONTROLID = entry.ID;
    move.TYPE = entry.TYPE;
    move.BEFORE = control->Position();
    move.AFTER = CalcControlPosition(entry, parentOld, parentNew, entry.POS);
    RESIZELIST->Add(move);
    if (move.BEFORE != move.AFTER && entry.HASCHILDREN) MoveChildren(entry.ID, entry.POS, move.AFTER, depth + 1);
  }
}

void Resizer::SortByPriority(Rect now) {
  const bool widthChanged = now.width != PREVIOUSWIN.width;
  const bool heightChanged = now.height != PREVIOUSWIN.height;
  for (ResizeEntry& move : *RESIZELIST) {
    const std::int64_t x = move.AFTER.x;
    const std::int64_t y = move.AFTER.y;
    move.PRIORITY = widthChanged && heightChanged ? x * x + y * y : heightChanged ? y : x;
  }
  auto diagonal = [](Rect r) {
    return static_cast<std::int64_t>(r.width) * r.width + static_cast<std::int64_t>(r.height) * r.height;
  };
  // Growing, the far controls move first, so nothing is moved over a
  // control that has not moved yet; shrinking, the near ones.
  if (diagonal(now) >= diagonal(PREVIOUSWIN)) {
    RESIZELIST->Sort([](const ResizeEntry& a, const ResizeEntry& b) { return a.PRIORITY > b.PRIORITY; });
  } else {
    RESIZELIST->Sort([](const ResizeEntry& a, const ResizeEntry& b) { return a.PRIORITY < b.PRIORITY; });
  }
}

void Resizer::MakeStaticsTransparent() {
  for (const std::int32_t number : window_->ControlNumbers()) {
    runtime::ui::Control* control = window_->Find(number);
    if (control->Transparent()) continue;
    const std::int32_t code = ResizeKindCode(control->Kind());
    if (code == kString || code == kImage || code == kPrompt) control->SetTransparent(true);
  }
}

void Resizer::TakeUsersColumnWidths() {
  for (auto& [number, widths] : columns_) {
    (void)window_->TakeUsersColumnWidths(number);
    const runtime::ui::Control* list = window_->Find(number);
    const ControlEntry* entry = Entry(number);
    if (list == nullptr || entry == nullptr || list->Properties().columns.size() != widths.given.size()) continue;
    const std::int64_t width = list->Position().width;
    if (width <= 0) continue;
    for (std::size_t i = 0; i < widths.given.size(); ++i) {
      const std::int32_t current = list->Properties().columns[i].width;
      if (current == widths.given[i]) continue;
      // A column the user resized: its width taken back to the snapshot's.
      widths.atSnapshot[i] = static_cast<std::int32_t>(std::llround(double(current) * entry->POS.width / width));
      widths.given[i] = current;
    }
  }
}

void Resizer::FitListColumns() {
  for (auto& [number, widths] : columns_) {
    runtime::ui::Control* list = window_->Find(number);
    const ControlEntry* entry = Entry(number);
    if (list == nullptr || entry == nullptr || entry->POS.width <= 0) continue;
    std::vector<runtime::ui::ListColumn> columns = list->Properties().columns;
    if (columns.size() != widths.atSnapshot.size()) continue;
    const std::int64_t now = list->Position().width;
    bool changed = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const auto width = static_cast<std::int32_t>(std::llround(double(widths.atSnapshot[i]) * now / entry->POS.width));
      changed = changed || width != columns[i].width;
      columns[i].width = width;
      widths.given[i] = width;
    }
    if (changed) list->SetColumns(std::move(columns));
  }
}

void Resizer::Resize() {
  if (window_ == nullptr || !CONTROLQUEUE || !RESIZELIST) return;
  RESIZELIST->Free();
  const Rect now = window_->Position();
  if (CONTROLQUEUE->Empty() || (now.width == PREVIOUSWIN.width && now.height == PREVIOUSWIN.height)) return;
  if (AUTOTRANSPARENT && !RESIZECALLED) MakeStaticsTransparent();
  // Minimised: nothing to lay out, and the next resize starts from the last.
  if (now.width <= 0 || now.height <= 0) return;
  TakeUsersColumnWidths();
  if (now.width == ORIGWIN.RECT.width && now.height == ORIGWIN.RECT.height) {
    for (const ControlEntry& entry : *CONTROLQUEUE) {
      runtime::ui::Control* control = window_->Find(entry.ID);
      if (control != nullptr && control->Position() != entry.POS) control->SetPosition(entry.POS);
    }
  } else {
    MoveChildren(0, {0, 0, ORIGWIN.RECT.width, ORIGWIN.RECT.height}, {0, 0, now.width, now.height}, 0);
    if (!DEFERMOVES) SortByPriority(now);
    for (const ResizeEntry& move : *RESIZELIST) {
      runtime::ui::Control* control = window_->Find(move.CONTROLID);
      if (control != nullptr && move.AFTER != move.BEFORE && move.AFTER != control->Position()) {
        control->SetPosition(move.AFTER);
      }
    }
  }
  FitListColumns();
  RESIZECALLED = true;
  PREVIOUSWIN = now;
}

}  // namespace marlinden
