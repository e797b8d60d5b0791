#include "labelcontents.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace Qt3 {

QRect labelContentsRect(const QLabel& label)
{
    QRect r = label.contentsRect();
    const int m = label.margin();
    r.adjust(m, m, -m, -m);
    int indent = label.indent();
    if (indent < 0)
        indent = label.frameWidth() > 0 ? QFontMetrics(label.font()).horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    if (indent > 0) {
        const Qt::Alignment align = QStyle::visualAlignment(label.layoutDirection(), label.alignment());
        if (align & Qt::AlignLeft)
            r.setLeft(r.left() + indent);
        if (align & Qt::AlignRight)
            r.setRight(r.right() - indent);
        if (align & Qt::AlignTop)
            r.setTop(r.top() + indent);
        if (align & Qt::AlignBottom)
            r.setBottom(r.bottom() - indent);
    }
    return r;
}

void drawLabelContents(QPainter& painter, const QLabel& label, const QColor& foreground)
{
    const QRect r = labelContentsRect(label);
    if (!r.isValid())
        return;
    const Qt::Alignment align = QStyle::visualAlignment(label.layoutDirection(), label.alignment());
    const QPixmap pixmap = label.pixmap();
    if (!pixmap.isNull()) {
        // The picture at its logical size, aligned; scaled to the rectangle for scaledContents.
        if (label.hasScaledContents()) {
            painter.drawPixmap(r, pixmap);
        } else {
            const qreal ratio = pixmap.devicePixelRatio() > 0 ? pixmap.devicePixelRatio() : 1.0;
            const QSize logical = (QSizeF(pixmap.size()) / ratio).toSize();
            painter.drawPixmap(QStyle::alignedRect(label.layoutDirection(), label.alignment(), logical, r), pixmap);
        }
        return;
    }
    const QString text = label.text();
    if (text.isEmpty())
        return;
    int flags = int(align);
    if (label.wordWrap())
        flags |= Qt::TextWordWrap;
    painter.save();
    painter.setPen(foreground);
    painter.drawText(r, flags, text);
    painter.restore();
}

} // namespace Qt3
