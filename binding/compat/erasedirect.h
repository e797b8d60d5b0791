// Qt3::setErasePixmapDirect: installs a background-pixmap face without scheduling a repaint.
//
// Qt 3 had two ways to set a widget's background pixmap: setBackgroundPixmap(), which repainted
// the widget, and the "Direct" setters (setBackgroundPixmapDirect + setBackgroundModeDirect),
// which only stored it. Qt3::WidgetHooks::setErasePixmap() is the first; this is the second, for
// a control that renders a new face on every value change but repaints only the parts that
// changed (the fader repaints the uncovered part of the old thumb and the new thumb). Without
// it, each face change would repaint the whole widget.
#pragma once

#include "../orvelkit_global.h"

class QPixmap;
class QWidget;

namespace Qt3 {

// Stores `face` as the erase face of `widget` (one of ours, a Qt3::Widget<Base>), exactly as
// WidgetHooks::setErasePixmap() does, but schedules no repaint. Does nothing for a widget that
// has no face support. Updates that the host disabled stay disabled.
ORVELKIT_EXPORT void setErasePixmapDirect(QWidget* widget, const QPixmap& face);

} // namespace Qt3
