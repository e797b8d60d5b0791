// Qt3::drawLabelContents: what a Qt 3 QLabel::drawContents() drew, for a Qt 6 QLabel.
//
// Qt 3 labels painted their text or picture in a virtual drawContents(QPainter*), called after
// the frame; a subclass could switch it off or call it with its own painter (for instance to
// render the label into a background pixmap). Qt 6's QLabel paints everything inside
// paintEvent() on the widget itself. This function draws the label's content with any painter,
// in the label's own coordinates: the pixmap (when QLabel::pixmap() is set) or the text, inside
// contentsRect() less margin() and the effective indent, aligned by alignment(), word-wrapped
// when wordWrap() is on, in the font of the painter, with the pen colour `foreground` (the
// palette foreground colour Qt 3 used). Rich text is drawn as plain text.
#pragma once

#include "../orvelkit_global.h"

class QColor;
class QLabel;
class QPainter;
class QRect;

namespace Qt3 {

// The rectangle drawLabelContents() aligns the content in: contentsRect() less margin() on
// every side and the effective indent on the side(s) the alignment points to. A negative
// indent means half the width of an "x" in the label's font when the label has a frame, and 0
// without one (the Qt rule).
ORVELKIT_EXPORT QRect labelContentsRect(const QLabel& label);

// Draws the label's pixmap or text (see above). Nothing for an empty text and no pixmap.
ORVELKIT_EXPORT void drawLabelContents(QPainter& painter, const QLabel& label, const QColor& foreground);

} // namespace Qt3
