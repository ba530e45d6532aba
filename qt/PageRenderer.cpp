#include "qt/PageRenderer.h"

#include <QFont>
#include <QPaintDevice>
#include <QPen>
#include <algorithm>

#include "qt/Conversions.h"

namespace runtime::qt {

namespace {

constexpr double kUnitsPerInch = 1000.0;

Qt::Alignment ToAlignment(TextAlign align) {
  switch (align) {
    case TextAlign::Center:
      return Qt::AlignHCenter;
    case TextAlign::Right:
      return Qt::AlignRight;
    case TextAlign::Left:
      break;
  }
  return Qt::AlignLeft;
}

}  // namespace

void DrawPage(const PageImage& page, QPainter& painter, const QRectF& target) {
  if (page.width <= 0 || page.height <= 0) return;
  const double scale = std::min(target.width() / page.width, target.height() / page.height);
  const double dpi = painter.device() != nullptr ? painter.device()->logicalDpiY() : 72.0;
  auto box = [&](const ReportBox& b) {
    return QRectF(target.left() + b.x * scale, target.top() + b.y * scale, b.width * scale, b.height * scale);
  };
  painter.save();
  painter.setPen(QPen(Qt::black));
  for (const PageImage::TextRun& run : page.runs) {
    QFont font(ToQString(run.font.family));
    // Points are 1/72 inch: as report units, then as device pixels, then as
    // the device's own points.
    const double pixels = run.font.points * kUnitsPerInch / 72.0 * scale;
    font.setPointSizeF(std::max(0.5, pixels * 72.0 / dpi));
    font.setBold(run.font.bold);
    painter.setFont(font);
    const QRectF rect = box(run.box);
    if (run.clip) {
      painter.setClipRect(rect);
    } else {
      painter.setClipping(false);
    }
    painter.drawText(rect, static_cast<int>(ToAlignment(run.align) | Qt::AlignVCenter | Qt::TextSingleLine),
                     ToQString(run.text));
  }
  painter.setClipping(false);
  for (const PageImage::Line& line : page.lines) {
    painter.setPen(QPen(Qt::black, std::max(1.0, line.thickness * scale)));
    painter.drawLine(QPointF(target.left() + line.x1 * scale, target.top() + line.y1 * scale),
                     QPointF(target.left() + line.x2 * scale, target.top() + line.y2 * scale));
  }
  painter.setPen(QPen(Qt::black, std::max(1.0, 10 * scale)));
  painter.setBrush(Qt::NoBrush);
  for (const ReportBox& b : page.boxes) painter.drawRect(box(b));
  painter.restore();
}

}  // namespace runtime::qt
