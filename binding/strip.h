// NS_Utilities::StripCells: the cell arithmetic of an image strip, in one place for every
// control.
//
// A strip is one pixmap holding a grid of equal cells, `columns` by `rows`. The cell size is
// the strip's size in device pixels divided by the grid (integer division, as the controls'
// artwork is laid out). Everything a control passes to the widget (fixed sizes, size hints,
// masks, hit rectangles) is in logical pixels: the device size divided by the strip's
// devicePixelRatio(). A cell is drawn from a source rectangle in device pixels onto a target
// rectangle in logical pixels, so a strip loaded as name@2x.png keeps the control's logical
// size and shows crisp on a 2x screen; with 1x strips both are the same numbers.
// See docs/hidpi-strips.md.
#pragma once

#include "orvelkit_global.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>

class QPainter;

namespace NS_Utilities {

class ORVELKIT_EXPORT StripCells
{
public:
    StripCells() = default;
    StripCells(const QPixmap& strip, int columns, int rows);
    // grid.width() columns by grid.height() rows.
    StripCells(const QPixmap& strip, const QSize& grid);

    // A non-null strip, a positive grid and cells at least one device pixel in each direction.
    bool isValid() const;

    const QPixmap& strip() const { return m_strip; }
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    qreal devicePixelRatio() const;

    // True when (column, row) lies inside the grid of a valid strip.
    bool contains(int column, int row) const;

    // One cell in device pixels: the strip's pixel size divided by the grid. Empty when invalid.
    QSize cellDeviceSize() const;
    // One cell in logical pixels: the device size divided by the ratio, rounded.
    QSize cellLogicalSize() const;
    // The exact logical cell size (for drawing; may be fractional with odd cells at 2x).
    QSizeF cellLogicalSizeF() const;
    // The whole strip in logical pixels, rounded.
    QSize logicalStripSize() const;

    // The cell's rectangle in the strip, in device pixels; a null rectangle outside the grid.
    QRect sourceRect(int column, int row) const;
    // Where a cell drawn at `at` lands, in logical pixels.
    QRectF targetRect(const QPointF& at) const;

    // Draws cell (column, row) with its top-left corner at `at` (logical pixels). Draws nothing
    // for an invalid strip or a cell outside the grid.
    void draw(QPainter& painter, const QPoint& at, int column, int row) const;

    // A size in device pixels as logical pixels at `ratio` (rounded; a ratio <= 0 counts as 1).
    static QSize toLogical(const QSize& deviceSize, qreal ratio);

private:
    QPixmap m_strip;
    int m_columns = 0;
    int m_rows = 0;
};

} // namespace NS_Utilities
