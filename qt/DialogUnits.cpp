#include "qt/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

namespace runtime::qt {

namespace {

// Pixel coordinates stay within what a widget accepts.
constexpr std::int64_t kMaxPixels = QWIDGETSIZE_MAX;

int Scale(std::int64_t units, int numerator, int denominator) {
  const std::int64_t scaled = units * numerator;
  // Round half away from zero so that positive and negative positions map alike.
  const std::int64_t rounded =
      scaled >= 0 ? (scaled + denominator / 2) / denominator : -((-scaled + denominator / 2) / denominator);
  return static_cast<int>(std::clamp<std::int64_t>(rounded, -kMaxPixels, kMaxPixels));
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average over the alphabet, rounded, as dialog units have always
  // been measured; the font's own average may be missing or skewed.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  charWidth_ = std::max(1, (letters / 26 + 1) / 2);
  charHeight_ = std::max(1, metrics.height());
}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : charWidth_(std::max(1, averageCharWidth)), charHeight_(std::max(1, charHeight)) {}

int DialogUnits::XToPixels(std::int64_t units) const { return Scale(units, charWidth_, 4); }
int DialogUnits::YToPixels(std::int64_t units) const { return Scale(units, charHeight_, 8); }
std::int32_t DialogUnits::XFromPixels(int pixels) const { return Scale(pixels, 4, charWidth_); }

QRect DialogUnits::ToPixels(const ui::Rect& rect) const {
  return QRect(XToPixels(rect.x), YToPixels(rect.y), XToPixels(rect.width), YToPixels(rect.height));
}

ui::Rect DialogUnits::FromPixels(const QRect& rect) const {
  return ui::Clamped({Scale(rect.x(), 4, charWidth_), Scale(rect.y(), 8, charHeight_),
                      Scale(rect.width(), 4, charWidth_), Scale(rect.height(), 8, charHeight_)});
}

}  // namespace runtime::qt
