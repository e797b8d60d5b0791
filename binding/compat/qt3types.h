// Qt 3 value types that the controls' interfaces still speak, and their Qt 6 conversions.
#pragma once

#include "../orvelkit_global.h"

#include <QMouseEvent>
#include <Qt>

namespace Qt3 {

// Qt 3 Qt::ButtonState: mouse buttons and keyboard modifiers in one int. These are not Qt 6
// mouse buttons (0x100 would be ExtraButton6): convert with the helpers below, never by cast.
enum ButtonState : int {
    NoButton = 0x0000,
    LeftButton = 0x0001,
    RightButton = 0x0002,
    MidButton = 0x0004,
    MouseButtonMask = 0x0007,
    ShiftButton = 0x0100,
    ControlButton = 0x0200,
    AltButton = 0x0400,
    MetaButton = 0x0800,
    KeyButtonMask = 0x0f00,
    Keypad = 0x4000
};

// Qt 3 button toggle states; numerically equal to Qt::CheckState.
enum ToggleState : int { Off = 0, NoChange = 1, On = 2 };

// Qt 3 QFocusEvent::Reason values; Other is 6 in Qt 3 but Qt::OtherFocusReason (7) in Qt 6.
enum FocusReason : int { Mouse = 0, Tab = 1, Backtab = 2, ActiveWindow = 3, Popup = 4, Shortcut = 5, Other = 6 };

inline Qt::FocusReason toQt6FocusReason(FocusReason r)
{
    return r == Other ? Qt::OtherFocusReason : Qt::FocusReason(int(r));
}

inline FocusReason fromQt6FocusReason(Qt::FocusReason r)
{
    return int(r) <= 5 ? FocusReason(int(r)) : Other;
}

inline ButtonState toButtonState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    int s = int(buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton));
    if (modifiers & Qt::ShiftModifier)
        s |= ShiftButton;
    if (modifiers & Qt::ControlModifier)
        s |= ControlButton;
    if (modifiers & Qt::AltModifier)
        s |= AltButton;
    if (modifiers & Qt::MetaModifier)
        s |= MetaButton;
    if (modifiers & Qt::KeypadModifier)
        s |= Keypad;
    return ButtonState(s);
}

inline Qt::KeyboardModifiers toModifiers(int state)
{
    Qt::KeyboardModifiers m;
    if (state & ShiftButton)
        m |= Qt::ShiftModifier;
    if (state & ControlButton)
        m |= Qt::ControlModifier;
    if (state & AltButton)
        m |= Qt::AltModifier;
    if (state & MetaButton)
        m |= Qt::MetaModifier;
    if (state & Keypad)
        m |= Qt::KeypadModifier;
    return m;
}

// Qt 3 QMouseEvent::state(): buttons and modifiers held *before* the event (a press does not
// include the pressed button, a release still does).
inline ButtonState mouseState(const QMouseEvent* e)
{
    Qt::MouseButtons b = e->buttons();
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)
        b &= ~e->button();
    else if (e->type() == QEvent::MouseButtonRelease)
        b |= e->button();
    return toButtonState(b, e->modifiers());
}

// Qt 3 QMouseEvent::stateAfter().
inline ButtonState mouseStateAfter(const QMouseEvent* e)
{
    return ButtonState(int(mouseState(e)) ^ int(e->button() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)));
}

} // namespace Qt3
