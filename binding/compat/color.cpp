#include "color.h"

#include <QtGlobal>

namespace Qt3 {

namespace {

void hsvOf(QRgb rgb, int* h, int* s, int* v)
{
    const int r = qRed(rgb);
    const int g = qGreen(rgb);
    const int b = qBlue(rgb);
    int max = r;
    int whatmax = 0; // r => 0, g => 1, b => 2
    if (g > max) {
        max = g;
        whatmax = 1;
    }
    if (b > max) {
        max = b;
        whatmax = 2;
    }
    int min = r;
    if (g < min)
        min = g;
    if (b < min)
        min = b;
    const int delta = max - min;
    *v = max;
    *s = max ? (510 * delta + max) / (2 * max) : 0;
    if (*s == 0) {
        *h = -1; // achromatic
        return;
    }
    switch (whatmax) {
    case 0:
        *h = g >= b ? (120 * (g - b) + delta) / (2 * delta)
                    : (120 * (g - b + delta) + delta) / (2 * delta) + 300;
        break;
    case 1:
        *h = b > r ? 120 + (120 * (b - r) + delta) / (2 * delta)
                   : 60 + (120 * (b - r + delta) + delta) / (2 * delta);
        break;
    default:
        *h = r > g ? 240 + (120 * (r - g) + delta) / (2 * delta)
                   : 180 + (120 * (r - g + delta) + delta) / (2 * delta);
        break;
    }
}

QColor withAlpha(QColor c, int alpha)
{
    if (c.isValid())
        c.setAlpha(alpha);
    return c;
}

} // namespace

void hsv(const QColor& color, int* h, int* s, int* v)
{
    int hh = -1, ss = 0, vv = 0;
    if (color.isValid())
        hsvOf(color.rgb(), &hh, &ss, &vv);
    if (h)
        *h = hh;
    if (s)
        *s = ss;
    if (v)
        *v = vv;
}

QColor fromHsv(int h, int s, int v)
{
    if (h < -1 || unsigned(s) > 255u || unsigned(v) > 255u)
        return QColor();
    int r = v, g = v, b = v;
    if (s != 0 && h != -1) {
        if (h >= 360)
            h %= 360;
        const unsigned f = unsigned(h % 60);
        h /= 60;
        const unsigned uv = unsigned(v);
        const unsigned us = unsigned(s);
        const unsigned p = (2 * uv * (255 - us) + 255) / 510;
        if (h & 1) {
            const unsigned q = (2 * uv * (15300 - us * f) + 15300) / 30600;
            switch (h) {
            case 1: r = int(q); g = v; b = int(p); break;
            case 3: r = int(p); g = int(q); b = v; break;
            default: r = v; g = int(p); b = int(q); break; // 5
            }
        } else {
            const unsigned t = (2 * uv * (15300 - us * (60 - f)) + 15300) / 30600;
            switch (h) {
            case 0: r = v; g = int(t); b = int(p); break;
            case 2: r = int(p); g = v; b = int(t); break;
            default: r = int(t); g = int(p); b = v; break; // 4
            }
        }
    }
    return QColor(r, g, b);
}

QColor dark(const QColor& color, int factor)
{
    if (factor <= 0 || !color.isValid())
        return color;
    if (factor < 100)
        return light(color, 10000 / factor);
    int h, s, v;
    hsvOf(color.rgb(), &h, &s, &v);
    v = (v * 100) / factor;
    return withAlpha(fromHsv(h, s, v), color.alpha());
}

QColor light(const QColor& color, int factor)
{
    if (factor <= 0 || !color.isValid())
        return color;
    if (factor < 100)
        return dark(color, 10000 / factor);
    int h, s, v;
    hsvOf(color.rgb(), &h, &s, &v);
    // 64-bit product: Qt 3 overflowed here for factors above INT_MAX / 255.
    const qint64 lv = qint64(factor) * v / 100;
    if (lv > 255) {
        const qint64 ls = qint64(s) - (lv - 255);
        s = ls < 0 ? 0 : int(ls);
        v = 255;
    } else {
        v = int(lv);
    }
    return withAlpha(fromHsv(h, s, v), color.alpha());
}

} // namespace Qt3
