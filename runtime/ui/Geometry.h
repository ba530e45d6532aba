// Positions and sizes of windows and controls, in dialog units.
//
// Dialog units make a window description independent of the screen: one
// horizontal unit is a quarter of the average character width of the
// window's font, one vertical unit an eighth of its character height. A
// backend maps them to pixels from its font metrics (x_px = x * avgCharWidth
// / 4, y_px = y * charHeight / 8) and back when it reports a move or size.
// Plain values; any thread.
#pragma once

#include <algorithm>
#include <cstdint>

namespace runtime::ui {

// Coordinates are kept within a range every backend can represent; a
// description with absurd numbers still opens, clamped into it.
inline constexpr std::int32_t kMinCoordinate = -32768;
inline constexpr std::int32_t kMaxCoordinate = 32767;
inline constexpr std::int32_t kMaxExtent = 32767;

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle in dialog units. A width or height of 0 means "the natural
// size" (the backend chooses, e.g. a button fitting its text).
struct Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline std::int32_t ClampCoordinate(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, kMinCoordinate, kMaxCoordinate));
}

inline std::int32_t ClampExtent(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, kMaxExtent));
}

// Positions into the coordinate range, negative sizes to 0, huge ones to the
// largest extent.
inline Rect Clamped(Rect r) {
  return {ClampCoordinate(r.x), ClampCoordinate(r.y), ClampExtent(r.width), ClampExtent(r.height)};
}

}  // namespace runtime::ui
