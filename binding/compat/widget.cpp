#include "widget.h"

#include <QBrush>
#include <QPalette>

namespace Qt3 {

WidgetHooks::WidgetHooks(QWidget* self)
    : m_self(self), m_lastFont(self->font()), m_ratio(self->devicePixelRatioF())
{
}

WidgetHooks::~WidgetHooks() = default;

void WidgetHooks::setErasePixmap(const QPixmap& face)
{
    m_face = face;
    updateOpaqueAttribute();
    m_self->update();
}

void WidgetHooks::clearErasePixmap()
{
    if (m_face.isNull())
        return;
    m_face = QPixmap();
    updateOpaqueAttribute();
    m_self->update();
}

void WidgetHooks::updateOpaqueAttribute()
{
    const bool opaqueFace = !m_face.isNull() && !m_face.hasAlpha();
    if (opaqueFace) {
        if (!m_self->testAttribute(Qt::WA_OpaquePaintEvent)) {
            m_self->setAttribute(Qt::WA_OpaquePaintEvent, true);
            m_opaqueSetByFace = true;
        }
    } else if (m_opaqueSetByFace) {
        m_self->setAttribute(Qt::WA_OpaquePaintEvent, false);
        m_opaqueSetByFace = false;
    }
}

void WidgetHooks::setBackgroundOrigin(BackgroundOrigin origin)
{
    if (origin == m_origin)
        return;
    m_origin = origin;
    if (!m_face.isNull())
        m_self->update();
}

QPoint WidgetHooks::backgroundOffset() const
{
    if (m_self->isWindow())
        return QPoint();
    switch (m_origin) {
    case ParentOrigin:
        return m_self->pos();
    case WindowOrigin:
        return m_self->mapTo(m_self->window(), QPoint(0, 0));
    case WidgetOrigin:
        break;
    }
    return QPoint();
}

void WidgetHooks::paintErasePixmap(QPainter& painter, const QRect& rect) const
{
    if (m_face.isNull() || rect.isEmpty())
        return;
    // The tile size in logical pixels; reduce the offset here so that drawTiledPixmap never has
    // to reduce it against a device-pixel size.
    const qreal dpr = m_face.devicePixelRatio();
    const int tw = qMax(1, qRound(m_face.width() / dpr));
    const int th = qMax(1, qRound(m_face.height() / dpr));
    const QPoint start = rect.topLeft() + backgroundOffset();
    int sx = start.x() % tw;
    int sy = start.y() % th;
    if (sx < 0)
        sx += tw;
    if (sy < 0)
        sy += th;
    painter.drawTiledPixmap(rect, m_face, QPoint(sx, sy));
}

void WidgetHooks::constPolish() const
{
    m_self->ensurePolished();
}

void WidgetHooks::polish()
{
}

void WidgetHooks::enabledChange(bool)
{
    m_self->update();
}

void WidgetHooks::windowActivationChange(bool)
{
    m_self->update();
}

void WidgetHooks::fontChange(const QFont&)
{
    m_self->update();
    m_self->updateGeometry();
}

void WidgetHooks::styleChange()
{
    m_self->update();
    m_self->updateGeometry();
}

void WidgetHooks::devicePixelRatioChange()
{
}

void WidgetHooks::deliverScreenChange()
{
    // Qt sends the screen change to every widget of a window that moved to another screen;
    // only a change of ratio needs new faces.
    const qreal ratio = m_self->devicePixelRatioF();
    if (qFuzzyCompare(ratio, m_ratio))
        return;
    m_ratio = ratio;
    devicePixelRatioChange();
}

void WidgetHooks::deliverPolish()
{
    if (m_polished)
        return;
    m_polished = true;
    polish();
}

void WidgetHooks::repeatPolish()
{
    if (m_polished)
        polish();
}

void WidgetHooks::deliverChange(QEvent::Type type)
{
    switch (type) {
    case QEvent::EnabledChange:
        enabledChange(!m_self->isEnabled());
        break;
    case QEvent::FontChange: {
        const QFont old = m_lastFont;
        m_lastFont = m_self->font();
        fontChange(old);
        break;
    }
    case QEvent::StyleChange:
        styleChange();
        break;
    default:
        break;
    }
}

void WidgetHooks::paintFaceFor(const QPaintEvent* event)
{
    if (m_face.isNull())
        return;
    QPainter painter(m_self);
    paintErasePixmap(painter, event->rect());
}

QPixmap erasePixmapOf(const QWidget* widget)
{
    if (!widget)
        return QPixmap();
    if (const auto* hooks = dynamic_cast<const WidgetHooks*>(widget)) {
        if (hooks->hasErasePixmap())
            return hooks->erasePixmap();
    }
    if (widget->autoFillBackground()) {
        const QBrush& brush = widget->palette().brush(widget->backgroundRole());
        if (brush.style() == Qt::TexturePattern)
            return brush.texture();
    }
    return QPixmap();
}

QPixmap createFacePixmap(const QWidget* widget, const QSize& logicalSize)
{
    if (logicalSize.isEmpty())
        return QPixmap();
    const qreal dpr = widget ? widget->devicePixelRatioF() : 1.0;
    QPixmap face(logicalSize * dpr);
    face.setDevicePixelRatio(dpr);
    face.fill(Qt::transparent);
    return face;
}

} // namespace Qt3
