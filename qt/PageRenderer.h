// Draws one vector page image onto any Qt paint device (screen, printer,
// PDF): report units are scaled to the target rectangle, text is set in the
// page's fonts and cut at the edge of its box.
// Thread: the thread that owns the painter.
#pragma once

#include <QPainter>
#include <QRectF>

#include "runtime/reports/PageImage.h"

namespace runtime::qt {

// Draws page into target (device coordinates of painter), keeping the
// page's aspect ratio from target's top-left corner.
void DrawPage(const PageImage& page, QPainter& painter, const QRectF& target);

}  // namespace runtime::qt
