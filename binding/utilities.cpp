#include "utilities.h"

#include "strip.h"

#include <QColor>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QThread>

namespace NS_Utilities {

bool mainThreadRunning()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

Qt3::ButtonState modifierState()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Qt3::NoButton;
    return Qt3::toButtonState(Qt::NoButton, QGuiApplication::queryKeyboardModifiers());
}

void drawPartialPixmap(QPainter& painter, const QPoint& cell, const QPixmap& pixmap, const QSize& grid,
                       const QPoint* at)
{
    StripCells(pixmap, grid).draw(painter, at ? *at : QPoint(0, 0), cell.x(), cell.y());
}

namespace {

// The pixmap as a 32-bit image whose pixels can be rewritten in place: premultiplied ARGB when
// it has alpha, RGB32 (alpha always 0xff) otherwise, so that an opaque pixmap stays opaque and
// cheap to draw. The device pixel ratio is carried over by toImage()/convertToFormat().
QImage writable32(const QPixmap& pixmap)
{
    const QImage::Format format =
        pixmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage image = pixmap.toImage().convertToFormat(format);
    image.setDevicePixelRatio(pixmap.devicePixelRatio());
    return image;
}

} // namespace

QImage applyGreyTransformation(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QImage();
    QImage image = writable32(pixmap);
    // Premultiplied throughout: the grey of premultiplied channels is the premultiplied grey,
    // and halfway to white is halfway to the pixel's own alpha. Opaque black becomes 128, white
    // stays 255; transparent pixels stay transparent.
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 p = line[x];
            const quint32 a = p >> 24;
            const quint32 grey = (qRed(p) * 11u + qGreen(p) * 16u + qBlue(p) * 5u) / 32u;
            const quint32 g = (grey + a + 1u) >> 1;
            line[x] = (a << 24) | (g << 16) | (g << 8) | g;
        }
    }
    return image;
}

QImage applyFocusHilite(const QColor& color, const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return QImage();
    if (!color.isValid())
        return pixmap.toImage();
    QImage image = writable32(pixmap);
    // Each pixel moves halfway towards the colour (less for a translucent colour), weighted by
    // the pixel's own alpha so that transparent parts stay transparent and edges stay smooth.
    const quint32 weight = quint32(color.alpha()) * 128u / 255u; // out of 256
    const quint32 keep = 256u - weight;
    const quint32 cr = quint32(color.red());
    const quint32 cg = quint32(color.green());
    const quint32 cb = quint32(color.blue());
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const quint32 p = line[x];
            const quint32 a = p >> 24;
            if (a == 0)
                continue;
            const quint32 r = (qRed(p) * keep + (cr * a / 255u) * weight) >> 8;
            const quint32 g = (qGreen(p) * keep + (cg * a / 255u) * weight) >> 8;
            const quint32 b = (qBlue(p) * keep + (cb * a / 255u) * weight) >> 8;
            line[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return image;
}

IConfirmUserAction::~IConfirmUserAction() = default;

} // namespace NS_Utilities
