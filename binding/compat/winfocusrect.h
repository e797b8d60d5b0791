// Qt3::drawWinFocusRect: the dotted focus rectangle of the Qt 3 Windows look.
//
// Qt 6 styles draw PE_FrameFocusRect in their own way (some only after keyboard navigation, some
// not at all), so a control that always shows its focus as the classic dotted frame draws it with
// this helper: a one-pixel frame along the inside of `rect`, every other pixel (a 50% checker
// whose first dot is at the rectangle's top-left corner) painted in the colour opposite to `bg`
// (each of red, green and blue inverted), the pixels between left as they are.
#pragma once

#include "../orvelkit_global.h"

#include <QColor>
#include <QRect>

class QPainter;

namespace Qt3 {

// The colour the dots are drawn in: `bg` with red, green and blue inverted.
ORVELKIT_EXPORT QColor focusDotColour(const QColor& bg);
// Draws the dotted frame; nothing for an empty rectangle. The painter's pen, brush and brush
// origin are restored afterwards.
ORVELKIT_EXPORT void drawWinFocusRect(QPainter& painter, const QRect& rect, const QColor& bg);

} // namespace Qt3
