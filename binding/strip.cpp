#include "strip.h"

#include <QPainter>

#include <climits>
#include <cmath>

namespace NS_Utilities {

namespace {

qreal usableRatio(qreal ratio)
{
    return ratio > 0 && std::isfinite(ratio) ? ratio : 1.0;
}

int roundedDiv(int value, qreal ratio)
{
    // A ratio below 1 makes the logical size larger than the device size: clamp to int.
    const qreal v = std::round(value / ratio);
    return v >= qreal(INT_MAX) ? INT_MAX : int(v);
}

} // namespace

StripCells::StripCells(const QPixmap& strip, int columns, int rows)
    : m_strip(strip), m_columns(columns), m_rows(rows)
{
}

StripCells::StripCells(const QPixmap& strip, const QSize& grid)
    : StripCells(strip, grid.width(), grid.height())
{
}

bool StripCells::isValid() const
{
    return !cellDeviceSize().isEmpty();
}

qreal StripCells::devicePixelRatio() const
{
    return usableRatio(m_strip.devicePixelRatio());
}

bool StripCells::contains(int column, int row) const
{
    return isValid() && column >= 0 && row >= 0 && column < m_columns && row < m_rows;
}

QSize StripCells::cellDeviceSize() const
{
    if (m_strip.isNull() || m_columns <= 0 || m_rows <= 0)
        return QSize();
    const int w = m_strip.width() / m_columns;
    const int h = m_strip.height() / m_rows;
    if (w <= 0 || h <= 0)
        return QSize();
    return QSize(w, h);
}

QSize StripCells::cellLogicalSize() const
{
    return toLogical(cellDeviceSize(), devicePixelRatio());
}

QSizeF StripCells::cellLogicalSizeF() const
{
    const QSize cell = cellDeviceSize();
    if (cell.isEmpty())
        return QSizeF();
    const qreal r = devicePixelRatio();
    return QSizeF(cell.width() / r, cell.height() / r);
}

QSize StripCells::logicalStripSize() const
{
    if (m_strip.isNull())
        return QSize();
    return toLogical(m_strip.size(), devicePixelRatio());
}

QRect StripCells::sourceRect(int column, int row) const
{
    if (!contains(column, row))
        return QRect();
    const QSize cell = cellDeviceSize();
    // column < columns, so column * width < strip width: no overflow.
    return QRect(column * cell.width(), row * cell.height(), cell.width(), cell.height());
}

QRectF StripCells::targetRect(const QPointF& at) const
{
    const QSizeF cell = cellLogicalSizeF();
    if (cell.isEmpty())
        return QRectF();
    return QRectF(at, cell);
}

void StripCells::draw(QPainter& painter, const QPoint& at, int column, int row) const
{
    const QRect source = sourceRect(column, row);
    if (source.isNull())
        return;
    if (devicePixelRatio() == 1.0)
        painter.drawPixmap(at, m_strip, source); // the integer fast path
    else
        painter.drawPixmap(targetRect(at), m_strip, QRectF(source));
}

QSize StripCells::toLogical(const QSize& deviceSize, qreal ratio)
{
    if (!deviceSize.isValid())
        return QSize();
    const qreal r = usableRatio(ratio);
    return QSize(roundedDiv(deviceSize.width(), r), roundedDiv(deviceSize.height(), r));
}

} // namespace NS_Utilities
