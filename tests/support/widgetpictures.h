// Pictures for the button, menu and state display suites: strips whose cells each have their
// own colour, renders of a widget, and a count of the paint events a widget receives.
#pragma once

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace WidgetPictures {

// The colour of the cell in column `col`, row `row` of a strip from makeStrip().
inline QColor cellColour(int col, int row)
{
    return QColor(20 + row * 40, 40 + col * 100, 200 - row * 30);
}

// `cols` x `rows` opaque cells of `w` x `h` pixels.
inline QPixmap makeStrip(int cols, int rows, int w = 16, int h = 16)
{
    QImage image(cols * w, rows * h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            p.fillRect(c * w, r * h, w, h, cellColour(c, r));
    p.end();
    return QPixmap::fromImage(image);
}

// The widget and its children rendered over transparency.
inline QImage shot(QWidget* w)
{
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

struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace WidgetPictures
