// Converts dialog units to pixels and back for one font: a horizontal unit
// is a quarter of the font's average character width, a vertical unit an
// eighth of its character height. Plain value; any thread (a QFont may be
// measured on the GUI thread only).
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "runtime/ui/Geometry.h"

namespace runtime::qt {

class DialogUnits {
 public:
  // Measures font. Requires: the GUI thread.
  explicit DialogUnits(const QFont& font);
  DialogUnits(int averageCharWidth, int charHeight);

  int AverageCharWidth() const { return charWidth_; }
  int CharHeight() const { return charHeight_; }

  int XToPixels(std::int64_t units) const;
  int YToPixels(std::int64_t units) const;
  std::int32_t XFromPixels(int pixels) const;
  QRect ToPixels(const ui::Rect& rect) const;
  ui::Rect FromPixels(const QRect& rect) const;

 private:
  int charWidth_ = 1;
  int charHeight_ = 1;
};

}  // namespace runtime::qt
