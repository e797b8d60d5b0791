// NS_Utilities: small helpers every control uses (thread test, modifiers, strip cells, looks).
#pragma once

#include "compat/qt3types.h"
#include "orvelkit_global.h"

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QString>

#include <climits>

class QColor;
class QPainter;
class QWidget;
class QObject;

namespace NS_Utilities {

// True when the caller runs on the GUI thread (the thread of the QCoreApplication); also true
// while no application exists, since there is then no other thread to defer to.
ORVELKIT_EXPORT bool mainThreadRunning();

// The keyboard modifiers held now, as a Qt 3 button state (ShiftButton, ControlButton, ...).
ORVELKIT_EXPORT Qt3::ButtonState modifierState();

// Draws one cell of an image grid. `grid` gives the number of columns (width) and rows
// (height); `cell` the column (x) and row (y). The cell size is the pixmap's size in device
// pixels divided by the grid; the cell is drawn at `at` (0,0 when null) in logical pixels, so
// a strip loaded with a device pixel ratio of 2 keeps its logical size. A null pixmap, an
// empty grid or a cell outside the grid draws nothing.
ORVELKIT_EXPORT void drawPartialPixmap(QPainter& painter, const QPoint& cell, const QPixmap& pixmap,
                                       const QSize& grid, const QPoint* at);

// The disabled look of a pixmap of any size: grey, lighter, alpha kept. Null in, null out.
ORVELKIT_EXPORT QImage applyGreyTransformation(const QPixmap& pixmap);

// The focus look of a pixmap: opaque parts tinted towards `color`, alpha kept. An invalid
// colour returns the pixmap unchanged (as an image). Null in, null out.
ORVELKIT_EXPORT QImage applyFocusHilite(const QColor& color, const QPixmap& pixmap);

// A 64-bit intermediate (a sum or difference of ints) saturated to the int range: the controls'
// value arithmetic never overflows, whatever the range.
inline int clampToInt(qint64 v)
{
    return v < INT_MIN ? INT_MIN : (v > INT_MAX ? INT_MAX : int(v));
}

// Answers whether a proposed change may be applied (the popup selector asks it).
class ORVELKIT_EXPORT IConfirmUserAction
{
public:
    virtual ~IConfirmUserAction();
    // 0: the control applies the change itself; any other value: the control changes nothing.
    virtual int confirmChange(QWidget* source, int oldValue, int newValue) = 0;
};

} // namespace NS_Utilities
