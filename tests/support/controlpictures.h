// Shared by the control suites: strips of known colours, what a widget paints by itself, a count
// of its paint events, and pointer, wheel and key events sent straight to a widget.
#pragma once
#include "binding/services.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

// A widget the controls treat as the editor's root (it takes the focus after a wheel turn).
class EditorRoot : public QWidget, public IEditorExtensions
{
public:
    using QWidget::QWidget;
};

// Every cell of a strip has its own opaque colour.
inline QColor cellColour(int col, int row)
{
    return QColor(20 + row * 20, 40 + col * 100, 200 - row * 10);
}

// A strip of `cols` x `rows` cells of `cell` pixels, coloured by cellColour().
inline QPixmap makeStrip(int cols, int rows, const QSize& cell = QSize(16, 16))
{
    QImage image(cols * cell.width(), rows * cell.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            p.fillRect(c * cell.width(), r * cell.height(), cell.width(), cell.height(), cellColour(c, r));
    p.end();
    return QPixmap::fromImage(image);
}

// The same with cells of `w` x `h` pixels.
inline QPixmap makeStrip(int cols, int rows, int w, int h)
{
    return makeStrip(cols, rows, QSize(w, h));
}

// What the widget paints by itself, on a transparent image (no window background).
inline QImage shot(QWidget* w)
{
    if (w->size().isEmpty())
        return QImage();
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

inline QRgb at(QWidget* w, int x, int y)
{
    return shot(w).pixel(x, y);
}

inline bool isGrey(QRgb c)
{
    return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
}

// Counts the paint events of the widgets it filters.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

inline void mouse(QWidget* w, QEvent::Type type, const QPoint& local, Qt::MouseButton button,
                  Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, mods);
    QCoreApplication::sendEvent(w, &e);
}

inline void press(QWidget* w, const QPoint& at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    mouse(w, QEvent::MouseButtonPress, at, button, button, mods);
}

// A move with the left button held.
inline void moveTo(QWidget* w, const QPoint& at, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    mouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, mods);
}

inline void release(QWidget* w, const QPoint& at, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// Press at `from`, one move to `to`, release there.
inline void drag(QWidget* w, const QPoint& from, const QPoint& to)
{
    press(w, from);
    moveTo(w, to);
    release(w, to);
}

// Returns whether the widget accepted the event.
inline bool wheel(QWidget* w, int delta, const QPoint& at)
{
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// Returns whether the widget accepted the event.
inline bool key(QWidget* w, int k)
{
    QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// How many pixels of the image have exactly this colour.
inline int countColour(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

// Shows the window and waits until it is the active one (so its children can take the focus).
inline bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}
