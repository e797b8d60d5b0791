// Qt 3 widget hooks and the background-pixmap face on a Qt 6 widget.
//
// Qt 6 folded the Qt 3 virtual hooks (polish(), enabledChange(), windowActivationChange(),
// fontChange(), styleChange()) into events, and it dropped the fixed background pixmap that the
// window system used to erase a widget with. Qt3::Widget<Base> puts both back on top of any
// QWidget subclass, once for all controls:
//
//     class CDial : public Qt3::Widget<QDial>, public TMemProxy { Q_OBJECT ... };
//
// Qt3::Widget is not a Q_OBJECT, so the meta-object of CDial names QDial as its superclass.
// The hooks and the face live in the non-template base Qt3::WidgetHooks; the template only
// routes the events to them. See docs/qt3-compat.md for the mapping and the measured costs.
#pragma once

#include "../orvelkit_global.h"

#include <QEvent>
#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <type_traits>
#include <utility>

namespace Qt3 {

// Where the face's tiling starts: at the widget's own origin (the default), at its parent's
// origin (the face continues the parent's tiling), or at the origin of its top-level window.
enum BackgroundOrigin : int { WidgetOrigin = 0, ParentOrigin = 1, WindowOrigin = 2 };

class ORVELKIT_EXPORT WidgetHooks
{
public:
    WidgetHooks(const WidgetHooks&) = delete;
    WidgetHooks& operator=(const WidgetHooks&) = delete;
    virtual ~WidgetHooks();

    // ---- the background-pixmap face (Qt 3 setBackgroundPixmap in fixed-pixmap mode) ----

    // Stores the face and schedules a repaint. The face is tiled over every repainted area
    // before the widget's own painting; later palette changes do not affect it. While the face
    // has no alpha the widget is marked Qt::WA_OpaquePaintEvent (Qt skips painting what lies
    // below it); the attribute is removed again when the face gets alpha or is cleared, unless
    // it had been set before the face set it.
    void setErasePixmap(const QPixmap& face);
    const QPixmap& erasePixmap() const { return m_face; }
    bool hasErasePixmap() const { return !m_face.isNull(); }
    void clearErasePixmap();

    void setBackgroundOrigin(BackgroundOrigin origin);
    BackgroundOrigin backgroundOrigin() const { return m_origin; }
    // The face point that lands on the widget's (0,0): (0,0), pos() or the position in the
    // window, by origin. Always (0,0) for a window.
    QPoint backgroundOffset() const;

    // Tiles the face over `rect` (widget coordinates) with the origin's offset: the Qt 3 erase.
    // Does nothing without a face.
    void paintErasePixmap(QPainter& painter, const QRect& rect) const;

    // ---- hooks ----

    // Runs polish() now if the widget has not been polished yet (Qt 3 constPolish(); call it
    // from sizeHint() and the like).
    void constPolish() const;
    bool isPolishHookDone() const { return m_polished; }
    // Runs polish() again on a widget that was already polished. Running applications never
    // need this (polish runs once, as in Qt 3); design tools do, because they may set
    // properties such as resource strips only after the widget was first shown.
    void repeatPolish();

protected:
    explicit WidgetHooks(QWidget* self);

    QWidget* hookedWidget() const { return m_self; }

    // Runs once, after the base class handled the first QEvent::Polish (Qt 6 may polish a
    // widget before it is shown, from the event loop). The default does nothing.
    virtual void polish();
    // After the widget's effective enabled state changed; `oldEnabled` is the state before.
    // The default repaints.
    virtual void enabledChange(bool oldEnabled);
    // When the widget's window became active (oldActive false) or inactive (oldActive true);
    // runs for the window and for each of its visible children, parent first. The default
    // repaints.
    virtual void windowActivationChange(bool oldActive);
    // After the widget's font changed; font() is already the new one. The default repaints and
    // updates the geometry.
    virtual void fontChange(const QFont& oldFont);
    // After the widget's style changed. The default repaints and updates the geometry.
    virtual void styleChange();
    // After the widget moved to a screen of another device pixel ratio (devicePixelRatioF() is
    // the new one). A control that renders a face or a texture at the widget's ratio renders it
    // again here, so that it stays crisp. The default does nothing.
    virtual void devicePixelRatioChange();

    // ---- event routing, called by Qt3::Widget<Base> ----
    void deliverPolish();
    void deliverChange(QEvent::Type type);
    void deliverScreenChange();
    void paintFaceFor(const QPaintEvent* event);

private:
    void updateOpaqueAttribute();

    QWidget* m_self;
    QPixmap m_face;
    QFont m_lastFont;
    BackgroundOrigin m_origin = WidgetOrigin;
    qreal m_ratio = 1.0; // the device pixel ratio at construction or the last screen change
    bool m_polished = false;
    bool m_opaqueSetByFace = false;
};

template <class Base>
class Widget : public Base, public WidgetHooks
{
public:
    // Forwards any constructor of the base: Widget<QPushButton>(text, parent), ... (only those:
    // a widget must not look copyable or movable to the meta-type system).
    template <typename... Args, typename = std::enable_if_t<std::is_constructible_v<Base, Args&&...>>>
    explicit Widget(Args&&... args) : Base(std::forward<Args>(args)...), WidgetHooks(this)
    {
    }

    // Qt 3 parentWidget(sameWindow): with sameWindow, a window has no parent widget.
    using Base::parentWidget;
    QWidget* parentWidget(bool sameWindow) const
    {
        if (sameWindow && this->isWindow())
            return nullptr;
        return Base::parentWidget();
    }

protected:
    bool event(QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::Polish: {
            const bool result = Base::event(e);
            deliverPolish();
            return result;
        }
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            // The hook runs before the base forwards the event to the children (Qt 3 order).
            windowActivationChange(e->type() != QEvent::WindowActivate);
            return Base::event(e);
        case QEvent::ScreenChangeInternal: {
            const bool result = Base::event(e);
            deliverScreenChange();
            return result;
        }
        default:
            return Base::event(e);
        }
    }

    void changeEvent(QEvent* e) override
    {
        Base::changeEvent(e);
        deliverChange(e->type());
    }

    // Erases with the face, then paints what the base paints.
    void paintEvent(QPaintEvent* e) override
    {
        paintFaceFor(e);
        Base::paintEvent(e);
    }
};

// The face a widget is erased with: the face of one of ours, or for any other widget that fills
// its background, the texture of its background-role brush. Null otherwise. Controls draw the
// parent's face at (-x(), -y()) to blend into it.
ORVELKIT_EXPORT QPixmap erasePixmapOf(const QWidget* widget);

// A transparent pixmap of `logicalSize` at the widget's device pixel ratio, to render a face
// into with a QPainter (logical coordinates) that stays crisp on HiDPI screens. With a null
// widget the ratio is 1.
ORVELKIT_EXPORT QPixmap createFacePixmap(const QWidget* widget, const QSize& logicalSize);

// A face of the widget's size (createFacePixmap) painted by `paint(QPainter&)` through a painter
// set up as Qt 3 opened one on the widget: its font, its foreground colour as the pen and its
// background brush. Null, and `paint` not called, for a widget of no size.
template <class Paint>
QPixmap paintFacePixmap(const QWidget* widget, Paint&& paint)
{
    QPixmap face = createFacePixmap(widget, widget->size());
    if (face.isNull())
        return face;
    QPainter p(&face);
    p.setFont(widget->font());
    p.setPen(widget->palette().color(widget->foregroundRole()));
    p.setBackground(widget->palette().brush(widget->backgroundRole()));
    paint(p);
    p.end();
    return face;
}

} // namespace Qt3
