// Qt 3 popup windows on Qt 6: the window flags, the desktop's available area and the synthetic
// mouse release a popup sends to the widget that opened it.
//
// Qt 3 built a popup from widget flags (WType_Popup | WStyle_Customize | WStyle_StaysOnTop),
// asked QDesktopWidget for the available geometry of the default screen, and could hand any
// widget a hand-made QMouseEvent whose state() named the buttons held. Qt 6 has window flags
// instead of widget flags, QScreen instead of QDesktopWidget, and mouse events that carry the
// buttons held after the event. See docs/qt3-compat.md, "Popup windows".
#pragma once

#include "../orvelkit_global.h"

#include <QPoint>
#include <QRect>
#include <Qt>

class QWidget;

namespace Qt3 {

// WType_Popup | WStyle_Customize | WStyle_StaysOnTop: a top-level popup that takes the mouse
// and the keyboard while it is shown and stays above the other windows. WStyle_Customize with
// no decoration flag meant no window-system frame at all; Qt 6 says so with
// FramelessWindowHint (without it some platforms put frame margins around a popup, and its
// client area then lands beside the position it was moved to).
constexpr Qt::WindowFlags PopupWindowFlags = Qt::Popup | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint;

// QApplication::desktop()->availableGeometry() of the default screen: the primary screen's
// available geometry, or an empty rectangle while the application has no screen.
ORVELKIT_EXPORT QRect defaultScreenAvailableGeometry();

// Delivers (sendEvent, not posted) a left-button release at `local` / `global` to `target`
// with no button held and no modifier: the release a Qt 3 popup sent the button that opened
// it when it closed. Returns whether the target accepted it; false for a null target.
ORVELKIT_EXPORT bool sendSyntheticRelease(QWidget* target, const QPoint& local = QPoint(),
                                          const QPoint& global = QPoint());

} // namespace Qt3
