#include "winfocusrect.h"

#include <QPainter>

namespace Qt3 {

QColor focusDotColour(const QColor& bg)
{
    const QColor c = bg.toRgb();
    return QColor(c.red() ^ 0xff, c.green() ^ 0xff, c.blue() ^ 0xff);
}

void drawWinFocusRect(QPainter& painter, const QRect& rect, const QColor& bg)
{
    const QRect r = rect.normalized();
    if (r.isEmpty())
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(focusDotColour(bg), Qt::Dense4Pattern));
    // Qt's 50% pattern leaves its origin pixel empty: one pixel across puts a dot on the corner.
    painter.setBrushOrigin(r.topLeft() + QPoint(1, 0));
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Four one-pixel strips; the pattern is anchored at the corner, so the dots of adjacent
    // sides meet without doubling.
    painter.drawRect(QRect(r.left(), r.top(), r.width(), 1));
    if (r.height() > 1)
        painter.drawRect(QRect(r.left(), r.bottom(), r.width(), 1));
    if (r.height() > 2) {
        painter.drawRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2));
        if (r.width() > 1)
            painter.drawRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2));
    }
    painter.restore();
}

} // namespace Qt3
