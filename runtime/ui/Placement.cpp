#include "runtime/ui/Placement.h"

#include <algorithm>
#include <cstdint>

namespace runtime::ui {

namespace {

std::int64_t Overlap(const Rect& a, const Rect& b) {
  const std::int64_t width =
      std::min<std::int64_t>(std::int64_t{a.x} + a.width, std::int64_t{b.x} + b.width) - std::max(a.x, b.x);
  const std::int64_t height =
      std::min<std::int64_t>(std::int64_t{a.y} + a.height, std::int64_t{b.y} + b.height) - std::max(a.y, b.y);
  return width > 0 && height > 0 ? width * height : 0;
}

// value moved so that [value, value + extent) lies in [start, start + room).
std::int32_t KeptIn(std::int32_t value, std::int32_t extent, std::int32_t start, std::int32_t room) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, start, std::max<std::int64_t>(std::int64_t{start} + room - extent, start)));
}

}  // namespace

Rect CentredOver(Rect window, const Rect& over) {
  window.x = ClampCoordinate(std::int64_t{over.x} + (std::int64_t{over.width} - window.width) / 2);
  window.y = ClampCoordinate(std::int64_t{over.y} + (std::int64_t{over.height} - window.height) / 2);
  return window;
}

Rect KeptOnScreens(Rect window, const std::vector<Rect>& areas) {
  if (areas.empty()) return window;
  // A point-sized window (natural size) overlaps by its top-left corner.
  const Rect probe{window.x, window.y, std::max(window.width, 1), std::max(window.height, 1)};
  const Rect* area = &areas.front();
  std::int64_t best = 0;
  for (const Rect& candidate : areas) {
    const std::int64_t overlap = Overlap(probe, candidate);
    if (overlap > best) {
      best = overlap;
      area = &candidate;
    }
  }
  window.width = std::min(window.width, area->width);
  window.height = std::min(window.height, area->height);
  window.x = KeptIn(window.x, window.width, area->x, area->width);
  window.y = KeptIn(window.y, window.height, area->y, area->height);
  return window;
}

}  // namespace runtime::ui
