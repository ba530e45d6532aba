// Where a window opens and how it is kept where the user can reach it. The
// backend tells which parts of the screens a window's client area may take
// (Backend::ClientAreas: each screen's available area less the window's
// frame, in the window's dialog units); these rules place the rectangle in
// them. Plain functions; any thread.
#pragma once

#include <vector>

#include "runtime/ui/Geometry.h"

namespace runtime::ui {

// window moved so that its centre is over's centre; its size is kept.
Rect CentredOver(Rect window, const Rect& over);

// window kept on the screens: on the area it overlaps most (the first area,
// the primary screen's, when it overlaps none, such as a place saved on a
// monitor since removed), no larger than that area and wholly inside it, so
// its frame and title bar are on the screen. A natural size (0) stays 0.
// With no areas known, window is returned as it is.
Rect KeptOnScreens(Rect window, const std::vector<Rect>& areas);

}  // namespace runtime::ui
