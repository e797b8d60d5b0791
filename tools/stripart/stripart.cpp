#include "stripart.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace OrvelStripArt {

namespace {

bool validRatio(qreal ratio)
{
    return std::isfinite(ratio) && ratio >= 1.0 && ratio <= MaxRatio;
}

// A logical length in device pixels at `ratio`; 0 when it does not fit a strip side.
int devicePixels(qint64 logical, qreal ratio)
{
    if (logical <= 0 || logical > MaxSide)
        return 0;
    const qint64 device = qRound64(qreal(logical) * ratio);
    return device > 0 && device <= MaxSide ? int(device) : 0;
}

// A transparent strip of `columns` x `rows` cells of `cell` device pixels, carrying `ratio`;
// null when any count is not positive or the strip would exceed MaxSide.
QImage blankStrip(QSize cell, int columns, int rows, qreal ratio)
{
    if (cell.width() <= 0 || cell.height() <= 0 || columns <= 0 || rows <= 0)
        return QImage();
    const qint64 w = qint64(cell.width()) * columns;
    const qint64 h = qint64(cell.height()) * rows;
    if (w > MaxSide || h > MaxSide)
        return QImage();
    QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(ratio);
    return image;
}

// Cell sizes come in device pixels; painting is in logical ones (the painter follows the
// image's device-pixel ratio). Prepares `p` to paint cell (column, row) in a rectangle at 0,0
// and returns that rectangle, clipped so that antialiased edges never reach a neighbour.
QRectF beginCell(QPainter& p, QSize deviceCell, int column, int row, qreal ratio)
{
    p.resetTransform();
    p.setClipping(false);
    const QRectF cell(0, 0, deviceCell.width() / ratio, deviceCell.height() / ratio);
    p.translate(column * cell.width(), row * cell.height());
    p.setClipRect(cell);
    return cell;
}

// A one-column strip of `rows` cells of `device` pixels: paintRow(painter, cell, row) draws each
// cell, antialiased, into the rectangle beginCell() prepared. Null when the strip cannot exist.
template <class PaintRow>
QImage columnStrip(QSize device, int rows, qreal ratio, PaintRow paintRow)
{
    QImage image = blankStrip(device, 1, rows, ratio);
    if (image.isNull())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int row = 0; row < rows; ++row)
        paintRow(p, beginCell(p, device, 0, row, ratio), row);
    return image;
}

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    t = qBound<qreal>(0, t, 1);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QColor greyOf(const QColor& c)
{
    const int g = qGray(c.rgb());
    return QColor(g, g, g, c.alpha());
}

QPointF polar(const QPointF& centre, qreal radius, qreal degrees)
{
    const qreal a = qDegreesToRadians(degrees);
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

QFont captionFont(qreal pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setBold(true);
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    return font;
}

// ---- painters shared by the strips and the icons ----

void paintKnob(QPainter& p, const QRectF& cell, qreal position, const KnobLook& look,
               const QColor& accent)
{
    const qreal s = qMin(cell.width(), cell.height());
    const QPointF c = cell.center();
    const qreal arcRadius = s * 0.405;
    const qreal arcWidth = qMax<qreal>(1.5, s * 0.075);
    const qreal bodyRadius = s * 0.305;

    // Value arc: the unlit track, then the lit part.
    const QRectF arcRect(c.x() - arcRadius, c.y() - arcRadius, 2 * arcRadius, 2 * arcRadius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(look.track, arcWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arcRect, 240 * 16, -300 * 16);
    const qreal angle = knobAngle(position);
    const qreal start = look.bipolar ? 90.0 : 240.0;
    const qreal span = angle - start; // negative: clockwise
    if (std::abs(span) >= 0.5) {
        p.setPen(QPen(accent, arcWidth, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arcRect, qRound(start * 16), qRound(span * 16));
    }
    if (look.bipolar) {
        // The centre mark the arc grows from.
        p.setPen(QPen(accent.darker(150), qMax<qreal>(1.0, s * 0.03), Qt::SolidLine, Qt::FlatCap));
        p.drawLine(polar(c, arcRadius - arcWidth * 0.5, 90), polar(c, arcRadius + arcWidth * 0.5, 90));
    }

    // Soft shadow under the cap.
    QRadialGradient shadow(c + QPointF(0, s * 0.035), bodyRadius * 1.22);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 140));
    shadow.setColorAt(0.78, QColor(0, 0, 0, 90));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(c + QPointF(0, s * 0.035), bodyRadius * 1.22, bodyRadius * 1.22);

    // The cap: a shaded skirt and a brushed top, lit from the upper left.
    QRadialGradient skirt(c - QPointF(bodyRadius * 0.45, bodyRadius * 0.55), bodyRadius * 1.6);
    skirt.setColorAt(0.0, look.body.lighter(165));
    skirt.setColorAt(0.55, look.body);
    skirt.setColorAt(1.0, look.body.darker(190));
    p.setBrush(skirt);
    p.setPen(QPen(look.body.darker(260), qMax<qreal>(0.8, s * 0.02)));
    p.drawEllipse(c, bodyRadius, bodyRadius);

    const qreal topRadius = bodyRadius * 0.78;
    QLinearGradient top(c - QPointF(0, topRadius), c + QPointF(0, topRadius));
    top.setColorAt(0.0, look.body.lighter(140));
    top.setColorAt(1.0, look.body.darker(125));
    p.setBrush(top);
    p.setPen(QPen(withAlpha(look.body.lighter(180), 110), qMax<qreal>(0.6, s * 0.012)));
    p.drawEllipse(c, topRadius, topRadius);

    // Pointer line.
    p.setPen(QPen(look.pointer, qMax<qreal>(1.5, s * 0.052), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(polar(c, bodyRadius * 0.30, angle), polar(c, bodyRadius * 0.90, angle));
}

void paintFaderBackground(QPainter& p, const QRectF& area, Qt::Orientation orientation,
                          qreal thumbLength, const FaderLook& look)
{
    // Drawn as a vertical fader; a horizontal one mirrors the axes.
    p.save();
    QRectF r = area;
    if (orientation == Qt::Horizontal) {
        p.setTransform(QTransform(0, 1, 1, 0, 0, 0), true);
        r = QRectF(area.y(), area.x(), area.height(), area.width());
    }
    if (look.panel.alpha() > 0)
        p.fillRect(r, look.panel);

    const qreal across = r.width();
    const qreal along = r.height();
    const qreal half = qBound<qreal>(0, thumbLength / 2.0, along / 2.0);
    const qreal slotWidth = qMax<qreal>(3.0, across * 0.16);
    const QRectF slot(r.center().x() - slotWidth / 2, r.top() + qMax<qreal>(1, half - 3),
                      slotWidth, qMax<qreal>(1, along - 2 * qMax<qreal>(1, half - 3)));

    // Ticks from the first to the last thumb centre, longer at the ends and in the middle.
    if (look.ticks >= 2) {
        const qreal first = r.top() + half;
        const qreal last = r.bottom() - half;
        const qreal gap = slotWidth / 2 + qMax<qreal>(2, across * 0.08);
        const qreal room = across / 2 - gap - 1;
        p.setPen(QPen(look.tick, 1.0, Qt::SolidLine, Qt::FlatCap));
        for (int i = 0; i < look.ticks; ++i) {
            const qreal y = std::floor(first + (last - first) * i / (look.ticks - 1)) + 0.5;
            const bool major = i == 0 || i == look.ticks - 1 || 2 * i == look.ticks - 1;
            const qreal len = room * (major ? 1.0 : 0.6);
            if (len <= 0)
                continue;
            const qreal cx = r.center().x();
            p.drawLine(QPointF(cx - gap - len, y), QPointF(cx - gap, y));
            p.drawLine(QPointF(cx + gap, y), QPointF(cx + gap + len, y));
        }
    }

    // The slot: a dark groove with a lighter lower lip.
    p.setPen(QPen(withAlpha(Qt::white, 40), 1.0));
    p.setBrush(look.slot);
    p.drawRoundedRect(slot.adjusted(0.5, 0.5, -0.5, -0.5), slotWidth / 2, slotWidth / 2);
    p.setPen(QPen(withAlpha(Qt::black, 160), 1.0));
    p.drawLine(QPointF(slot.left() + 1.5, slot.top() + slotWidth / 2),
               QPointF(slot.left() + 1.5, slot.bottom() - slotWidth / 2));
    p.restore();
}

void paintFaderThumb(QPainter& p, const QRectF& cell, Qt::Orientation orientation, bool disabled,
                     const FaderLook& look)
{
    p.save();
    QRectF r = cell;
    if (orientation == Qt::Horizontal) {
        p.setTransform(QTransform(0, 1, 1, 0, 0, 0), true);
        r = QRectF(cell.y(), cell.x(), cell.height(), cell.width());
    }
    const QColor cap = disabled ? greyOf(look.cap).darker(140) : look.cap;
    const QColor grip = disabled ? greyOf(look.grip).darker(110) : look.grip;
    const QRectF body = r.adjusted(1, 1, -1, -1);
    const qreal radius = qMin<qreal>(3, qMin(body.width(), body.height()) / 4);

    // Drop shadow, body, bevel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(body.translated(0, 1), radius, radius);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0.0, cap.lighter(115));
    shade.setColorAt(0.45, cap);
    shade.setColorAt(0.55, cap.darker(118));
    shade.setColorAt(1.0, cap.darker(150));
    p.setBrush(shade);
    p.setPen(QPen(cap.darker(260), 1.0));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    // Grip grooves and the centre line.
    const qreal cy = body.center().y();
    const qreal inset = qMax<qreal>(2, body.width() * 0.12);
    p.setPen(QPen(withAlpha(cap.darker(200), 150), 1.0));
    for (qreal dy : {-0.30, 0.30}) {
        const qreal y = std::floor(cy + dy * body.height()) + 0.5;
        p.drawLine(QPointF(body.left() + inset, y), QPointF(body.right() - inset, y));
    }
    p.setPen(QPen(grip, qMax<qreal>(1.5, body.height() * 0.14), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(body.left() + 1.5, cy), QPointF(body.right() - 1.5, cy));
    p.restore();
}

void paintButton(QPainter& p, const QRectF& cell, int row, const ButtonLook& look)
{
    const bool on = row == ButtonOn;
    const bool pressed = row == ButtonTracking;
    const bool disabled = row == ButtonDisabled;
    const QColor face = disabled ? greyOf(look.face).lighter(105) : look.face;
    const QRectF body = cell.adjusted(1, 1, -1, -1);
    const qreal radius = qMin<qreal>(4, qMin(body.width(), body.height()) / 4);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, pressed ? 40 : 100));
    p.drawRoundedRect(body.translated(0, 1), radius, radius);

    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    if (pressed) {
        shade.setColorAt(0.0, face.darker(135));
        shade.setColorAt(1.0, face.darker(105));
    } else {
        shade.setColorAt(0.0, face.lighter(disabled ? 105 : 135));
        shade.setColorAt(1.0, face.darker(disabled ? 105 : 120));
    }
    p.setBrush(shade);
    p.setPen(QPen(face.darker(230), 1.0));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const qreal shift = pressed ? 1.0 : 0.0;
    const bool hasText = !look.text.isEmpty();
    // The lamp: a pill along the top edge with a caption, centred without one.
    const qreal lampH = qMax<qreal>(2, body.height() * (hasText ? 0.13 : 0.22));
    const qreal lampW = body.width() * (hasText ? 0.42 : 0.5);
    const QRectF lamp(body.center().x() - lampW / 2,
                      hasText ? body.top() + body.height() * 0.16 + shift
                              : body.center().y() - lampH / 2 + shift,
                      lampW, lampH);
    const QColor lit = disabled ? greyOf(look.lit) : look.lit;
    QColor lampColour = on ? lit : (pressed ? mix(look.face, lit, 0.45) : lit.darker(420));
    if (disabled)
        lampColour = face.darker(135);
    if (on) {
        QRadialGradient glow(lamp.center(), lampW * 0.75);
        glow.setColorAt(0.0, withAlpha(lit, 120));
        glow.setColorAt(1.0, withAlpha(lit, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(lamp.center(), lampW * 0.75, lampH * 2.6);
    }
    p.setPen(QPen(withAlpha(Qt::black, 120), 0.8));
    p.setBrush(lampColour);
    p.drawRoundedRect(lamp, lampH / 2, lampH / 2);

    if (hasText) {
        const QRectF textRect(body.left() + 2, lamp.bottom(), body.width() - 4, body.bottom() - lamp.bottom());
        QColor ink = on ? lit.lighter(115) : look.caption;
        if (pressed)
            ink = mix(look.caption, lit, 0.5);
        if (disabled)
            ink = withAlpha(greyOf(look.caption).darker(115), 150);
        QFont font = captionFont(qMin(body.height() * 0.42, textRect.height() * 0.8));
        // Shrink the caption until it fits the cell.
        while (font.pixelSize() > 5 && QFontMetricsF(font).horizontalAdvance(look.text) > textRect.width())
            font.setPixelSize(font.pixelSize() - 1);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(textRect.translated(0, shift), Qt::AlignCenter, look.text);
    }
}

void paintLamp(QPainter& p, const QRectF& cell, const QColor& colour, qreal level)
{
    const qreal s = qMin(cell.width(), cell.height());
    const QPointF c = cell.center();
    const qreal radius = s * 0.34;
    const QColor lens = mix(colour.darker(480), colour, level);

    if (level > 0) {
        QRadialGradient halo(c, s * 0.5);
        halo.setColorAt(0.0, withAlpha(colour, int(150 * level)));
        halo.setColorAt(0.7, withAlpha(colour, int(60 * level)));
        halo.setColorAt(1.0, withAlpha(colour, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, s * 0.5, s * 0.5);
    }
    // Bezel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0c, 0x0d, 0x10));
    p.drawEllipse(c, radius + qMax<qreal>(1, s * 0.06), radius + qMax<qreal>(1, s * 0.06));
    // Lens.
    QRadialGradient glass(c - QPointF(radius * 0.25, radius * 0.3), radius * 1.25);
    glass.setColorAt(0.0, level > 0 ? mix(lens, Qt::white, 0.55 * level) : lens.lighter(170));
    glass.setColorAt(0.6, lens);
    glass.setColorAt(1.0, lens.darker(level > 0 ? 130 : 160));
    p.setBrush(glass);
    p.drawEllipse(c, radius, radius);
    // Highlight.
    p.setBrush(QColor(255, 255, 255, level > 0 ? 150 : 60));
    p.drawEllipse(c - QPointF(radius * 0.32, radius * 0.38), radius * 0.30, radius * 0.20);
}

// A transparent square for an icon.
QImage iconCanvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void paintTile(QPainter& p, const QRectF& r)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x3a, 0x3e, 0x46));
    g.setColorAt(1, QColor(0x24, 0x27, 0x2d));
    p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), r.width() * 0.12, r.width() * 0.12);
}

void paintField(QPainter& p, const QRectF& r, const QColor& ink, const QString& text, bool arrow)
{
    p.setPen(QPen(QColor(0x0c, 0x0d, 0x10), 1.0));
    p.setBrush(QColor(0x15, 0x17, 0x1b));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    QRectF textRect = r.adjusted(2, 0, -2, 0);
    if (arrow) {
        const qreal a = r.height() * 0.28;
        const QPointF tip(r.right() - a * 1.6, r.center().y() + a * 0.5);
        QPainterPath tri;
        tri.moveTo(tip + QPointF(-a, -a));
        tri.lineTo(tip + QPointF(a, -a));
        tri.lineTo(tip);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPath(tri);
        textRect.setRight(r.right() - a * 3);
    }
    if (!text.isEmpty()) {
        p.setFont(captionFont(r.height() * 0.62));
        p.setPen(ink);
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

qreal knobAngle(qreal position)
{
    if (!std::isfinite(position))
        position = 0;
    return 240.0 - 300.0 * qBound<qreal>(0, position, 1);
}

QImage knobStrip(int frames, int cellSize, qreal ratio, const KnobLook& look)
{
    if (frames <= 0 || !validRatio(ratio))
        return QImage();
    const int cell = devicePixels(cellSize, ratio);
    QList<QColor> accents{look.accent};
    accents += look.extraAccents;
    QImage image = blankStrip(QSize(cell, cell), int(accents.size()), frames, ratio);
    if (image.isNull())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int col = 0; col < accents.size(); ++col) {
        for (int row = 0; row < frames; ++row) {
            const QRectF r = beginCell(p, QSize(cell, cell), col, row, ratio);
            paintKnob(p, r, frames > 1 ? qreal(row) / (frames - 1) : 0.0, look, accents[col]);
        }
    }
    return image;
}

QImage faderBackground(QSize size, Qt::Orientation orientation, int thumbLength, qreal ratio,
                       const FaderLook& look)
{
    if (!validRatio(ratio) || thumbLength < 0)
        return QImage();
    const QSize device(devicePixels(size.width(), ratio), devicePixels(size.height(), ratio));
    QImage image = blankStrip(device, 1, 1, ratio);
    if (image.isNull())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = beginCell(p, device, 0, 0, ratio);
    paintFaderBackground(p, r, orientation, thumbLength, look);
    return image;
}

QImage faderThumbStrip(QSize cell, Qt::Orientation orientation, qreal ratio, const FaderLook& look)
{
    if (!validRatio(ratio))
        return QImage();
    const QSize device(devicePixels(cell.width(), ratio), devicePixels(cell.height(), ratio));
    return columnStrip(device, 2, ratio, [&](QPainter& p, const QRectF& r, int row) {
        paintFaderThumb(p, r, orientation, row == 1, look);
    });
}

QImage buttonStrip(QSize cell, qreal ratio, const ButtonLook& look)
{
    if (!validRatio(ratio))
        return QImage();
    const QSize device(devicePixels(cell.width(), ratio), devicePixels(cell.height(), ratio));
    return columnStrip(device, ButtonRows, ratio,
                       [&](QPainter& p, const QRectF& r, int row) { paintButton(p, r, row, look); });
}

QImage lampStrip(int cellSize, qreal ratio, const QColor& colour, bool withDim)
{
    if (!validRatio(ratio) || !colour.isValid())
        return QImage();
    const int cell = devicePixels(cellSize, ratio);
    const QList<qreal> levels = withDim ? QList<qreal>{0.0, 0.4, 1.0} : QList<qreal>{0.0, 1.0};
    return columnStrip(QSize(cell, cell), int(levels.size()), ratio, [&](QPainter& p, const QRectF& r, int row) {
        paintLamp(p, r, colour, levels[row]);
    });
}

QImage menuStrip(QSize cell, const QStringList& labels, qreal ratio, const QColor& ink)
{
    const int count = int(labels.size());
    if (count == 0 || !validRatio(ratio) || !ink.isValid())
        return QImage();
    const QSize device(devicePixels(cell.width(), ratio), devicePixels(cell.height(), ratio));
    return columnStrip(device, count, ratio, [&](QPainter& p, const QRectF& r, int row) {
        paintField(p, r, ink, labels[row], true);
    });
}

QImage displayStrip(QSize cell, qreal ratio)
{
    if (!validRatio(ratio) || cell.width() <= 0 || cell.height() <= 0)
        return QImage();
    const QSize device(devicePixels(cell.width(), ratio), devicePixels(cell.height(), ratio));
    return columnStrip(device, 2, ratio, [&](QPainter& p, const QRectF& r, int row) {
        const bool lit = row == 0;
        QLinearGradient fill(r.topLeft(), r.bottomLeft());
        fill.setColorAt(0.0, lit ? QColor(0x0e, 0x14, 0x18) : QColor(0x1c, 0x1d, 0x21));
        fill.setColorAt(1.0, lit ? QColor(0x17, 0x22, 0x28) : QColor(0x1f, 0x20, 0x24));
        p.setPen(QPen(QColor(0x08, 0x09, 0x0b), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        // A faint highlight along the lower edge makes the field look sunk into the panel.
        p.setPen(QPen(QColor(0x3a, 0x3e, 0x46, lit ? 160 : 90), 1.0));
        p.drawLine(QPointF(r.left() + 2, r.bottom() - 0.5), QPointF(r.right() - 2, r.bottom() - 0.5));
    });
}

QImage tabStrip(QSize tab, const QStringList& labels, qreal ratio, const TabLook& look)
{
    const int count = int(labels.size());
    if (count == 0 || !validRatio(ratio) || tab.width() <= 0 || tab.width() > MaxSide / count)
        return QImage();
    const QSize device(devicePixels(qint64(tab.width()) * count, ratio), devicePixels(tab.height(), ratio));
    return columnStrip(device, count, ratio, [&](QPainter& p, const QRectF& r, int row) {
        p.fillRect(r, look.back);
        const qreal w = r.width() / count;
        for (int k = 0; k < count; ++k) {
            const bool chosen = k == row;
            // The chosen tab stands a little taller and opens into the page below it.
            const QRectF t(r.left() + k * w + 1, r.top() + (chosen ? 1 : 3), w - 2, r.height() - (chosen ? 1 : 4));
            QPainterPath shape;
            shape.addRoundedRect(t, 4, 4);
            shape.addRect(t.adjusted(0, t.height() / 2, 0, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(chosen ? look.face : look.idle);
            p.drawPath(shape.simplified());
            if (chosen)
                p.fillRect(QRectF(t.left() + 4, t.top(), t.width() - 8, 2), look.lit);
            p.setFont(captionFont(qMin(t.height() * 0.5, 11.0)));
            p.setPen(chosen ? look.lit : look.caption);
            p.drawText(t, Qt::AlignCenter, labels[k]);
        }
    });
}

QStringList iconKinds()
{
    return {QStringLiteral("knob"),  QStringLiteral("fader"), QStringLiteral("button"),
            QStringLiteral("lamp"),  QStringLiteral("slider"), QStringLiteral("label"),
            QStringLiteral("popup"), QStringLiteral("menu"),  QStringLiteral("tabs"),
            QStringLiteral("generic")};
}

QImage icon(const QString& kind, int size)
{
    if (size <= 0 || size > 1024)
        return QImage();
    QImage image = iconCanvas(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal s = size;
    const QRectF all(0, 0, s, s);
    const QColor accent = KnobLook().accent;

    if (kind == QLatin1String("knob")) {
        paintKnob(p, all, 0.68, KnobLook(), accent);
    } else if (kind == QLatin1String("fader") || kind == QLatin1String("slider")) {
        const bool vertical = kind == QLatin1String("fader");
        const Qt::Orientation o = vertical ? Qt::Vertical : Qt::Horizontal;
        const qreal thumb = s * 0.22;
        FaderLook look;
        look.ticks = 5;
        paintFaderBackground(p, all, o, thumb, look);
        const qreal travel = s - thumb;
        const QRectF cell = vertical ? QRectF(s * 0.12, travel * 0.3, s * 0.76, thumb)
                                     : QRectF(travel * 0.7, s * 0.12, thumb, s * 0.76);
        paintFaderThumb(p, cell, o, false, look);
    } else if (kind == QLatin1String("button")) {
        ButtonLook look;
        look.text = QStringLiteral("ON");
        paintButton(p, QRectF(0, s * 0.2, s, s * 0.6), ButtonOn, look);
    } else if (kind == QLatin1String("lamp")) {
        paintLamp(p, all, QColor(0x4c, 0xe0, 0x6a), 1.0);
    } else if (kind == QLatin1String("label")) {
        paintTile(p, all.adjusted(0, s * 0.2, 0, -s * 0.2));
        paintField(p, all.adjusted(s * 0.1, s * 0.3, -s * 0.1, -s * 0.3), accent, QStringLiteral("12.5"), false);
    } else if (kind == QLatin1String("popup")) {
        // A selector field over the grid of choices it opens.
        paintField(p, QRectF(s * 0.04, s * 0.06, s * 0.92, s * 0.3), accent, QStringLiteral("Saw"), true);
        const qreal cw = s * 0.92 / 3, ch = s * 0.24;
        for (int i = 0; i < 6; ++i) {
            const QRectF c(s * 0.04 + (i % 3) * cw, s * 0.44 + (i / 3) * ch, cw - 1, ch - 1);
            p.setPen(QPen(QColor(0x0c, 0x0d, 0x10), 1.0));
            p.setBrush(i == 1 ? accent.darker(130) : QColor(0x30, 0x33, 0x3a));
            p.drawRect(c.adjusted(0.5, 0.5, -0.5, -0.5));
        }
    } else if (kind == QLatin1String("menu")) {
        paintField(p, QRectF(s * 0.04, s * 0.06, s * 0.92, s * 0.3), accent, QStringLiteral("LP"), true);
        const QRectF list(s * 0.16, s * 0.38, s * 0.8, s * 0.56);
        p.setPen(QPen(QColor(0x0c, 0x0d, 0x10), 1.0));
        p.setBrush(QColor(0xe4, 0xe6, 0xea));
        p.drawRect(list.adjusted(0.5, 0.5, -0.5, -0.5));
        for (int i = 0; i < 3; ++i) {
            const qreal y = list.top() + list.height() * (0.2 + 0.3 * i);
            p.setPen(QPen(i == 1 ? accent.darker(120) : QColor(0x60, 0x64, 0x6c), qMax<qreal>(1.5, s * 0.07),
                          Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(list.left() + s * 0.1, y), QPointF(list.right() - s * (0.12 + 0.1 * i), y));
        }
    } else if (kind == QLatin1String("tabs")) {
        const QRectF page(s * 0.04, s * 0.3, s * 0.92, s * 0.64);
        paintTile(p, page);
        for (int i = 1; i >= 0; --i) {
            const QRectF tab(s * 0.04 + i * s * 0.34, s * 0.1, s * 0.4, s * 0.24);
            p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 1.0));
            p.setBrush(i == 0 ? QColor(0x3a, 0x3e, 0x46) : QColor(0x26, 0x29, 0x2f));
            p.drawRoundedRect(tab.adjusted(0.5, 0.5, -0.5, s * 0.06), 2, 2);
        }
        p.setPen(QPen(accent, qMax<qreal>(1.5, s * 0.05)));
        p.drawLine(QPointF(s * 0.1, s * 0.14), QPointF(s * 0.38, s * 0.14));
    } else {
        // Generic: a small panel with a knob and a lamp.
        paintTile(p, all.adjusted(s * 0.02, s * 0.08, -s * 0.02, -s * 0.08));
        KnobLook look;
        paintKnob(p, QRectF(s * 0.06, s * 0.18, s * 0.6, s * 0.6), 0.4, look, look.accent);
        paintLamp(p, QRectF(s * 0.66, s * 0.36, s * 0.26, s * 0.26), accent, 1.0);
    }
    return image;
}

// ---------------------------------------------------------------------------------------------
// Indexed colour

namespace {

// A colour in premultiplied components (so that nearly transparent pixels weigh little).
struct Colour
{
    int c[4]; // r, g, b, a
    quint32 count;
};

Colour premultiplied(QRgb argb, quint32 count)
{
    const int a = qAlpha(argb);
    return Colour{{qRed(argb) * a / 255, qGreen(argb) * a / 255, qBlue(argb) * a / 255, a}, count};
}

QRgb unpremultiplied(const double sum[4])
{
    const int a = qBound(0, int(std::lround(sum[3])), 255);
    if (a == 0)
        return qRgba(0, 0, 0, 0);
    auto channel = [a](double v) { return qBound(0, int(std::lround(v * 255.0 / a)), 255); };
    return qRgba(channel(sum[0]), channel(sum[1]), channel(sum[2]), a);
}

struct Box
{
    std::size_t begin;
    std::size_t end;
    quint64 weight;
    int axis;
    int range;
};

Box makeBox(const std::vector<Colour>& colours, std::size_t begin, std::size_t end)
{
    int lo[4] = {255, 255, 255, 255}, hi[4] = {0, 0, 0, 0};
    quint64 weight = 0;
    for (std::size_t i = begin; i < end; ++i) {
        for (int k = 0; k < 4; ++k) {
            lo[k] = qMin(lo[k], colours[i].c[k]);
            hi[k] = qMax(hi[k], colours[i].c[k]);
        }
        weight += colours[i].count;
    }
    Box box{begin, end, weight, 0, -1};
    for (int k = 0; k < 4; ++k) {
        if (hi[k] - lo[k] > box.range) {
            box.range = hi[k] - lo[k];
            box.axis = k;
        }
    }
    return box;
}

// Median cut: repeatedly split the box whose colours spread widest (weighted by how many pixels
// it covers) at the pixel-weighted median of its widest channel.
QVector<QRgb> medianCut(std::vector<Colour>& colours, int boxes)
{
    std::vector<Box> cut{makeBox(colours, 0, colours.size())};
    while (int(cut.size()) < boxes) {
        std::size_t pick = cut.size();
        double best = 0;
        for (std::size_t i = 0; i < cut.size(); ++i) {
            const double score = double(cut[i].range) * std::sqrt(double(cut[i].weight));
            if (cut[i].end - cut[i].begin > 1 && cut[i].range > 0 && score > best) {
                best = score;
                pick = i;
            }
        }
        if (pick == cut.size())
            break; // every box holds one colour
        const Box box = cut[pick];
        const int axis = box.axis;
        std::stable_sort(colours.begin() + std::ptrdiff_t(box.begin), colours.begin() + std::ptrdiff_t(box.end),
                  [axis](const Colour& a, const Colour& b) { return a.c[axis] < b.c[axis]; });
        quint64 seen = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            seen += colours[i].count;
            split = i + 1;
            if (seen * 2 >= box.weight)
                break;
        }
        cut[pick] = makeBox(colours, box.begin, split);
        cut.push_back(makeBox(colours, split, box.end));
    }
    QVector<QRgb> palette;
    palette.reserve(int(cut.size()));
    for (const Box& box : cut) {
        double sum[4] = {0, 0, 0, 0};
        for (std::size_t i = box.begin; i < box.end; ++i)
            for (int k = 0; k < 4; ++k)
                sum[k] += double(colours[i].c[k]) * colours[i].count;
        for (double& v : sum)
            v /= double(qMax<quint64>(1, box.weight));
        palette.append(unpremultiplied(sum));
    }
    return palette;
}

// The palette entry closest to `argb`, searched from `first` on.
int nearest(const QVector<QRgb>& palette, QRgb argb, int first)
{
    const Colour want = premultiplied(argb, 1);
    int best = first;
    int bestDistance = INT_MAX;
    for (int i = first; i < palette.size(); ++i) {
        const Colour have = premultiplied(palette[i], 1);
        int d = 0;
        for (int k = 0; k < 4; ++k) {
            const int diff = want.c[k] - have.c[k];
            d += diff * diff;
        }
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

} // namespace

QImage toIndexed(const QImage& source, int maxColours)
{
    if (source.isNull())
        return source;
    maxColours = qBound(2, maxColours, 256);
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();

    // Every distinct colour with its pixel count; all fully transparent pixels are one colour.
    QHash<QRgb, quint32> histogram;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            ++histogram[qAlpha(line[x]) == 0 ? 0u : line[x]];
    }

    // Sorted, so that the same picture always gives the same file.
    QList<QRgb> keys = histogram.keys();
    std::sort(keys.begin(), keys.end());

    QVector<QRgb> palette;
    QHash<QRgb, int> index;
    if (keys.size() <= maxColours) {
        for (QRgb key : keys) {
            index.insert(key, int(palette.size()));
            palette.append(key);
        }
    } else {
        // Transparency keeps an entry of its own; the opaque and translucent colours share the
        // rest.
        const bool transparent = histogram.contains(0u);
        std::vector<Colour> colours;
        colours.reserve(std::size_t(keys.size()));
        for (QRgb key : keys)
            if (key != 0u)
                colours.push_back(premultiplied(key, histogram.value(key)));
        if (transparent)
            palette.append(0u);
        palette += medianCut(colours, maxColours - (transparent ? 1 : 0));
        // Only transparent pixels get the transparent entry, so faint edges keep their alpha.
        for (QRgb key : keys)
            index.insert(key, key == 0u ? 0 : nearest(palette, key, transparent ? 1 : 0));
    }

    QImage out(w, h, QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    out.setColorTable(palette);
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < w; ++x)
            dst[x] = uchar(index.value(qAlpha(line[x]) == 0 ? 0u : line[x]));
    }
    out.setDevicePixelRatio(source.devicePixelRatio());
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    return out;
}

bool savePng(const QImage& image, const QString& fileName, QString* error)
{
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("%1: nothing to write (null image)").arg(fileName);
        return false;
    }
    QImageWriter writer(fileName, "png");
    writer.setQuality(0); // smallest file (deflate's highest level)
    if (!writer.write(toIndexed(image))) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(fileName, writer.errorString());
        return false;
    }
    return true;
}

} // namespace OrvelStripArt
