// Strip cells (1x and 2x strips), drawPartialPixmap, and the grey and focus looks.
#include "binding/strip.h"
#include "binding/utilities.h"

#include <QTest>

#include <climits>

namespace {

const QRgb white = qRgb(255, 255, 255);

// Every pixel of a coded strip names its cell and its place in the cell.
QRgb coded(int column, int row, int x, int y)
{
    return qRgb(column * 40 + x, row * 40 + y, 200);
}

QPixmap codedStrip(int columns, int rows, int cell, qreal dpr = 1.0)
{
    QImage img(columns * cell, rows * cell, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, coded(x / cell, y / cell, x % cell, y % cell));
    QPixmap strip = QPixmap::fromImage(img);
    strip.setDevicePixelRatio(dpr);
    return strip;
}

QImage canvas(qreal dpr = 1.0)
{
    QImage img(int(40 * dpr), int(40 * dpr), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(white);
    return img;
}

// A white 40x40 canvas after drawPartialPixmap drew `cell` of `strip` on it.
QImage drawn(const QPixmap& strip, const QSize& grid, const QPoint& cell, const QPoint* at, qreal dpr = 1.0)
{
    QImage img = canvas(dpr);
    QPainter p(&img);
    NS_Utilities::drawPartialPixmap(p, cell, strip, grid, at);
    p.end();
    return img;
}

} // namespace

class TestUtilities : public QObject
{
    Q_OBJECT

private slots:
    void drawPicksTheCell();
    void twoXStripKeepsLogicalSizeAndCrispCells();
    void invalidGridsAndCellsDrawNothing();
    void greyAndFocusLooks();
};

void TestUtilities::drawPicksTheCell()
{
    const QPixmap strip = codedStrip(3, 4, 10);
    const QPoint at(17, 15);
    const QImage placed = drawn(strip, QSize(3, 4), QPoint(2, 1), &at);
    const QImage origin = drawn(strip, QSize(3, 4), QPoint(0, 3), nullptr); // no position: (0,0)
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            QCOMPARE(placed.pixel(17 + x, 15 + y), coded(2, 1, x, y));
            QCOMPARE(origin.pixel(x, y), coded(0, 3, x, y));
        }
    for (const QPoint& p : {QPoint(16, 15), QPoint(27, 24), QPoint(26, 25)})
        QCOMPARE(placed.pixel(p), white);
    QCOMPARE(origin.pixel(10, 10), white);
}

void TestUtilities::twoXStripKeepsLogicalSizeAndCrispCells()
{
    // A strip loaded as @2x: cells of 20 device pixels are 10 logical ones.
    const QPixmap strip = codedStrip(2, 2, 20, 2.0);
    QCOMPARE(NS_Utilities::StripCells(strip, 2, 2).cellLogicalSize(), QSize(10, 10));
    const QPoint at(3, 2);
    // On a 2x surface every device pixel of the cell lands on one device pixel.
    const QImage sharp = drawn(strip, QSize(2, 2), QPoint(1, 1), &at, 2.0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            QCOMPARE(sharp.pixel(6 + x, 4 + y), coded(1, 1, x, y));
    for (const QPoint& p : {QPoint(5, 4), QPoint(26, 23), QPoint(25, 24)})
        QCOMPARE(sharp.pixel(p), white);
}

void TestUtilities::invalidGridsAndCellsDrawNothing()
{
    const QPixmap strip = codedStrip(3, 4, 10); // 30x40 pixels
    struct Case { QPoint cell; QSize grid; };
    const Case cases[] = {
        {{0, 0}, {0, 4}}, {{0, 0}, {3, 0}}, {{0, 0}, {-3, -4}}, {{0, 0}, {31, 4}}, {{0, 0}, {3, INT_MIN}},
        {{0, 0}, {INT_MAX, INT_MAX}}, {{3, 0}, {3, 4}}, {{0, 4}, {3, 4}}, {{-1, -1}, {3, 4}},
        {{INT_MAX, INT_MAX}, {3, 4}}, {{INT_MIN, 0}, {4, 4}}, {{4, 0}, {4, 4}}, // 7-pixel cells, 2 spare
    };
    for (const Case& c : cases)
        QVERIFY2(drawn(strip, c.grid, c.cell, nullptr) == canvas(), qPrintable(QString::number(&c - cases)));
    QCOMPARE(drawn(QPixmap(), QSize(1, 1), QPoint(0, 0), nullptr), canvas());
}

void TestUtilities::greyAndFocusLooks()
{
    // Grey: (11 r + 16 g + 5 b) / 32, then halfway to white (red: 87 -> 171).
    // Focus: halfway to the colour, (c * 128 + 255 * 128) >> 8 for red.
    const QRgb in[] = {qRgb(255, 0, 0), qRgb(0, 0, 0), white, qRgb(0, 128, 255)};
    const QRgb grey[] = {qRgb(171, 171, 171), qRgb(128, 128, 128), white, qRgb(179, 179, 179)};
    const QRgb red[] = {qRgb(255, 0, 0), qRgb(127, 0, 0), qRgb(255, 127, 127), qRgb(127, 64, 127)};
    QImage img(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        img.setPixel(x, 0, in[x]);
    const QPixmap pm = QPixmap::fromImage(img);
    const QImage greyed = NS_Utilities::applyGreyTransformation(pm);
    const QImage tinted = NS_Utilities::applyFocusHilite(Qt::red, pm);
    QVERIFY(!greyed.hasAlphaChannel() && !tinted.hasAlphaChannel()); // opaque stays opaque
    for (int x = 0; x < 4; ++x) {
        QCOMPARE(greyed.pixel(x, 0), grey[x]);
        QCOMPARE(tinted.pixel(x, 0), red[x]);
    }
    QCOMPARE(NS_Utilities::applyFocusHilite(QColor(), pm).convertToFormat(QImage::Format_RGB32), img);

    // With alpha at ratio 2: opaque red and half-transparent black change, clear stays clear.
    QImage alpha(6, 3, QImage::Format_ARGB32);
    alpha.fill(Qt::transparent);
    alpha.setPixel(1, 1, qRgba(255, 0, 0, 255));
    alpha.setPixel(2, 1, qRgba(0, 0, 0, 128));
    QPixmap hiDpi = QPixmap::fromImage(alpha);
    hiDpi.setDevicePixelRatio(2);
    struct Look { QImage image; QRgb red, halfBlack; };
    const Look looks[] = {
        {NS_Utilities::applyGreyTransformation(hiDpi), qRgba(171, 171, 171, 255), qRgba(127, 127, 127, 128)},
        {NS_Utilities::applyFocusHilite(Qt::blue, hiDpi), qRgba(127, 0, 127, 255), qRgba(0, 0, 127, 128)},
    };
    for (const Look& look : looks) {
        QCOMPARE(look.image.devicePixelRatio(), 2.0);
        const QImage plain = look.image.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(plain.size(), QSize(6, 3));
        QCOMPARE(plain.pixel(0, 0), qRgba(0, 0, 0, 0));
        QCOMPARE(plain.pixel(1, 1), look.red);
        QCOMPARE(plain.pixel(2, 1), look.halfBlack);
    }
    QVERIFY(NS_Utilities::applyGreyTransformation(QPixmap()).isNull());
    QVERIFY(NS_Utilities::applyFocusHilite(Qt::red, QPixmap()).isNull());
    QVERIFY(NS_Utilities::applyFocusHilite(QColor(), QPixmap()).isNull());
}

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
