// Strip cells (1x and 2x strips), drawPartialPixmap, and the grey and focus looks.
#include "binding/strip.h"
#include "binding/utilities.h"

#include <QBitmap>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <climits>

using NS_Utilities::StripCells;

namespace {

// A strip of `columns` x `rows` cells of `cell` device pixels. Every pixel encodes its cell and
// its position inside the cell: (column*40 + x, row*40 + y, 200), so a pixel check tells which
// cell and which part of it landed where.
QImage codedStrip(int columns, int rows, int cell)
{
    QImage img(columns * cell, rows * cell, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb((x / cell) * 40 + x % cell, (y / cell) * 40 + y % cell, 200));
    return img;
}

QRgb coded(int column, int row, int x, int y)
{
    return qRgb(column * 40 + x, row * 40 + y, 200);
}

QImage canvas(int w, int h, qreal dpr = 1.0)
{
    QImage img(int(w * dpr), int(h * dpr), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    return img;
}

} // namespace

class TestUtilities : public QObject
{
    Q_OBJECT

private slots:
    void cellGeometry();
    void invalidGrids_data();
    void invalidGrids();
    void hugeStripsAndCounts();
    void cellsAtDevicePixelRatioTwo();
    void drawPicksTheCell();
    void drawTwoXStripCrispOnTwoXSurface();
    void drawTwoXStripKeepsLogicalSize();
    void drawPartialPixmapDrawsNothingWhenInvalid();

    void greyLook();
    void greyKeepsAlphaSizeAndRatio();
    void focusLook();
    void focusKeepsAlphaAndTransparency();
    void looksOfNullPixmaps();
};

void TestUtilities::cellGeometry()
{
    // 64x8192 with 128 rows: 64x64 cells.
    QPixmap strip(64, 8192);
    strip.fill(Qt::black);
    StripCells cells(strip, 1, 128);
    QVERIFY(cells.isValid());
    QCOMPARE(cells.cellDeviceSize(), QSize(64, 64));
    QCOMPARE(cells.cellLogicalSize(), QSize(64, 64));
    QCOMPARE(cells.logicalStripSize(), QSize(64, 8192));
    QCOMPARE(cells.sourceRect(0, 0), QRect(0, 0, 64, 64));
    QCOMPARE(cells.sourceRect(0, 127), QRect(0, 8128, 64, 64));
    QVERIFY(cells.sourceRect(0, 128).isNull());
    QVERIFY(cells.sourceRect(1, 0).isNull());
    QVERIFY(cells.sourceRect(-1, 3).isNull());
    QVERIFY(cells.sourceRect(0, -1).isNull());

    // Integer division: a 100x50 strip in a 3x4 grid has 33x12 cells; the rest is never drawn.
    QPixmap odd(100, 50);
    odd.fill(Qt::black);
    StripCells oddCells(odd, QSize(3, 4));
    QCOMPARE(oddCells.cellDeviceSize(), QSize(33, 12));
    QCOMPARE(oddCells.sourceRect(2, 3), QRect(66, 36, 33, 12));
    QVERIFY(oddCells.contains(2, 3));
    QVERIFY(!oddCells.contains(3, 3));
}

void TestUtilities::invalidGrids_data()
{
    QTest::addColumn<QSize>("stripSize");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("null strip") << QSize() << 1 << 1;
    QTest::newRow("zero columns") << QSize(10, 10) << 0 << 1;
    QTest::newRow("zero rows") << QSize(10, 10) << 1 << 0;
    QTest::newRow("negative") << QSize(10, 10) << -2 << -2;
    QTest::newRow("more columns than pixels") << QSize(10, 10) << 11 << 1;
    QTest::newRow("more rows than pixels") << QSize(10, 10) << 1 << 11;
    QTest::newRow("INT_MAX columns") << QSize(10, 10) << INT_MAX << 1;
    QTest::newRow("INT_MIN rows") << QSize(10, 10) << 1 << INT_MIN;
}

void TestUtilities::invalidGrids()
{
    QFETCH(QSize, stripSize);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QPixmap strip;
    if (stripSize.isValid()) {
        strip = QPixmap(stripSize);
        strip.fill(Qt::red);
    }
    StripCells cells(strip, columns, rows);
    QVERIFY(!cells.isValid());
    QVERIFY(cells.cellDeviceSize().isEmpty());
    QVERIFY(cells.cellLogicalSize().isEmpty());
    QVERIFY(cells.sourceRect(0, 0).isNull());
    QVERIFY(!cells.contains(0, 0));

    QImage target = canvas(20, 20);
    const QImage before = target;
    {
        QPainter p(&target);
        cells.draw(p, QPoint(0, 0), 0, 0);
    }
    QCOMPARE(target, before);
}

void TestUtilities::hugeStripsAndCounts()
{
    // A 16384x16384 bitmap (1 bit per pixel keeps the test small) as a strip.
    QBitmap big(16384, 16384);
    StripCells perPixel(big, 16384, 16384);
    QVERIFY(perPixel.isValid());
    QCOMPARE(perPixel.cellDeviceSize(), QSize(1, 1));
    QCOMPARE(perPixel.sourceRect(16383, 16383), QRect(16383, 16383, 1, 1));
    QVERIFY(perPixel.sourceRect(16384, 0).isNull());
    QVERIFY(perPixel.sourceRect(INT_MAX, INT_MAX).isNull());

    StripCells whole(big, 1, 1);
    QCOMPARE(whole.sourceRect(0, 0), QRect(0, 0, 16384, 16384));
    QCOMPARE(whole.logicalStripSize(), QSize(16384, 16384));

    big.setDevicePixelRatio(0.25); // a nonsensical ratio: sizes grow but stay in range
    StripCells quarter(big, 2, 2);
    QCOMPARE(quarter.cellLogicalSize(), QSize(32768, 32768));
    QCOMPARE(StripCells::toLogical(QSize(INT_MAX, INT_MAX), 0.25), QSize(INT_MAX, INT_MAX));
    QCOMPARE(StripCells::toLogical(QSize(10, 10), 0), QSize(10, 10));
    QCOMPARE(StripCells::toLogical(QSize(10, 10), -2), QSize(10, 10));
}

void TestUtilities::cellsAtDevicePixelRatioTwo()
{
    QPixmap strip = QPixmap::fromImage(codedStrip(2, 3, 20)); // 40x60 device pixels
    strip.setDevicePixelRatio(2);
    StripCells cells(strip, 2, 3);
    QCOMPARE(cells.cellDeviceSize(), QSize(20, 20));
    QCOMPARE(cells.cellLogicalSize(), QSize(10, 10));
    QCOMPARE(cells.logicalStripSize(), QSize(20, 30));
    QCOMPARE(cells.sourceRect(1, 2), QRect(20, 40, 20, 20)); // device pixels
    QCOMPARE(cells.targetRect(QPointF(3, 4)), QRectF(3, 4, 10, 10));

    // Odd device cells: the logical size rounds, the drawing size stays exact.
    QPixmap odd(66, 33);
    odd.fill(Qt::black);
    odd.setDevicePixelRatio(2);
    StripCells oddCells(odd, 2, 1);
    QCOMPARE(oddCells.cellDeviceSize(), QSize(33, 33));
    QCOMPARE(oddCells.cellLogicalSize(), QSize(17, 17));
    QCOMPARE(oddCells.cellLogicalSizeF(), QSizeF(16.5, 16.5));
}

void TestUtilities::drawPicksTheCell()
{
    const QPixmap strip = QPixmap::fromImage(codedStrip(3, 4, 10));
    QImage target = canvas(40, 40);
    {
        QPainter p(&target);
        const QPoint at(7, 5);
        NS_Utilities::drawPartialPixmap(p, QPoint(2, 1), strip, QSize(3, 4), &at);
    }
    QCOMPARE(target.pixel(7, 5), coded(2, 1, 0, 0));
    QCOMPARE(target.pixel(7 + 9, 5 + 9), coded(2, 1, 9, 9));
    QCOMPARE(target.pixel(7 + 3, 5 + 6), coded(2, 1, 3, 6));
    QCOMPARE(target.pixel(6, 5), qRgb(255, 255, 255));
    QCOMPARE(target.pixel(7 + 10, 5), qRgb(255, 255, 255));
    QCOMPARE(target.pixel(7, 5 + 10), qRgb(255, 255, 255));

    // No position: the cell lands at (0,0).
    QImage origin = canvas(20, 20);
    {
        QPainter p(&origin);
        NS_Utilities::drawPartialPixmap(p, QPoint(0, 3), strip, QSize(3, 4), nullptr);
    }
    QCOMPARE(origin.pixel(0, 0), coded(0, 3, 0, 0));
    QCOMPARE(origin.pixel(9, 9), coded(0, 3, 9, 9));
    QCOMPARE(origin.pixel(10, 10), qRgb(255, 255, 255));
}

void TestUtilities::drawTwoXStripCrispOnTwoXSurface()
{
    // A 2x strip on a 2x surface: every device pixel of the cell lands on one device pixel.
    QPixmap strip = QPixmap::fromImage(codedStrip(2, 2, 20));
    strip.setDevicePixelRatio(2);
    QImage target = canvas(30, 30, 2.0);
    {
        QPainter p(&target);
        const QPoint at(3, 2); // logical: device (6, 4)
        NS_Utilities::drawPartialPixmap(p, QPoint(1, 1), strip, QSize(2, 2), &at);
    }
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            QCOMPARE(target.pixel(6 + x, 4 + y), coded(1, 1, x, y));
    QCOMPARE(target.pixel(5, 4), qRgb(255, 255, 255));
    QCOMPARE(target.pixel(26, 4), qRgb(255, 255, 255));
    QCOMPARE(target.pixel(6, 24), qRgb(255, 255, 255));
}

void TestUtilities::drawTwoXStripKeepsLogicalSize()
{
    // On a 1x surface the 20-device-pixel cell of a 2x strip covers 10 logical pixels.
    QPixmap strip = QPixmap::fromImage(codedStrip(2, 1, 20));
    strip.setDevicePixelRatio(2);
    QImage target = canvas(30, 30);
    {
        QPainter p(&target);
        StripCells(strip, 2, 1).draw(p, QPoint(4, 4), 0, 0);
    }
    QVERIFY(target.pixel(4, 4) != qRgb(255, 255, 255));
    QVERIFY(target.pixel(13, 13) != qRgb(255, 255, 255));
    QCOMPARE(target.pixel(14, 13), qRgb(255, 255, 255));
    QCOMPARE(target.pixel(13, 14), qRgb(255, 255, 255));
    QCOMPARE(qBlue(target.pixel(8, 8)), 200); // a cell pixel, not the other cell or the canvas
    QVERIFY(qRed(target.pixel(13, 8)) < 40);   // column 0 only (column 1 starts at red 40)
}

void TestUtilities::drawPartialPixmapDrawsNothingWhenInvalid()
{
    const QPixmap strip = QPixmap::fromImage(codedStrip(3, 4, 10));
    const QImage blank = canvas(40, 40);
    struct Case { QPoint cell; QSize grid; };
    const Case cases[] = {
        {{0, 0}, {0, 4}}, {{0, 0}, {3, 0}}, {{0, 0}, {-3, 4}}, {{0, 0}, {3, -4}},
        {{3, 0}, {3, 4}}, {{0, 4}, {3, 4}}, {{-1, 0}, {3, 4}}, {{0, -1}, {3, 4}},
        {{0, 0}, {INT_MAX, INT_MAX}}, {{0, 0}, {31, 4}},
    };
    for (const Case& c : cases) {
        QImage target = blank;
        {
            QPainter p(&target);
            NS_Utilities::drawPartialPixmap(p, c.cell, strip, c.grid, nullptr);
        }
        QVERIFY2(target == blank, qPrintable(QStringLiteral("cell %1,%2 grid %3x%4")
                                                 .arg(c.cell.x()).arg(c.cell.y())
                                                 .arg(c.grid.width()).arg(c.grid.height())));
    }
    QImage target = blank;
    {
        QPainter p(&target);
        NS_Utilities::drawPartialPixmap(p, QPoint(0, 0), QPixmap(), QSize(1, 1), nullptr);
    }
    QCOMPARE(target, blank);
}

void TestUtilities::greyLook()
{
    QImage img(4, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    img.setPixel(1, 0, qRgb(0, 0, 0));
    img.setPixel(2, 0, qRgb(255, 255, 255));
    img.setPixel(3, 0, qRgb(0, 128, 255));
    const QImage grey = NS_Utilities::applyGreyTransformation(QPixmap::fromImage(img));
    QVERIFY(!grey.hasAlphaChannel());
    // grey = (11 r + 16 g + 5 b) / 32, then halfway to white.
    QCOMPARE(grey.pixel(0, 0), qRgb(171, 171, 171)); // 87 -> 171
    QCOMPARE(grey.pixel(1, 0), qRgb(128, 128, 128));
    QCOMPARE(grey.pixel(2, 0), qRgb(255, 255, 255));
    QCOMPARE(grey.pixel(3, 0), qRgb(179, 179, 179)); // (2048 + 1275) / 32 = 103 -> 179
}

void TestUtilities::greyKeepsAlphaSizeAndRatio()
{
    QImage img(6, 3, QImage::Format_ARGB32);
    img.fill(qRgba(0, 0, 0, 0));
    img.setPixel(1, 1, qRgba(255, 0, 0, 255));
    img.setPixel(2, 1, qRgba(0, 0, 0, 128));
    img.setPixel(3, 1, qRgba(40, 200, 90, 64));
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(2);
    const QImage grey = NS_Utilities::applyGreyTransformation(pm);
    QCOMPARE(grey.size(), QSize(6, 3));
    QCOMPARE(grey.devicePixelRatio(), 2.0);
    QVERIFY(grey.hasAlphaChannel());
    const QImage plain = grey.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            const QRgb p = plain.pixel(x, y);
            QCOMPARE(qAlpha(p), qAlpha(img.pixel(x, y)));
            QCOMPARE(qRed(p), qGreen(p));
            QCOMPARE(qGreen(p), qBlue(p));
        }
    QCOMPARE(plain.pixel(1, 1), qRgba(171, 171, 171, 255));
    // Half-transparent black: grey 128 at alpha 128 (within premultiplied rounding).
    QVERIFY(qAbs(qRed(plain.pixel(2, 1)) - 128) <= 2);
    QCOMPARE(plain.pixel(0, 0), qRgba(0, 0, 0, 0));
}

void TestUtilities::focusLook()
{
    QImage img(3, 1, QImage::Format_RGB32);
    img.setPixel(0, 0, qRgb(128, 128, 128));
    img.setPixel(1, 0, qRgb(255, 0, 0));
    img.setPixel(2, 0, qRgb(0, 0, 0));
    const QPixmap pm = QPixmap::fromImage(img);

    // Halfway to the colour: (128*128 + 255*128) / 256 = 191.
    const QImage red = NS_Utilities::applyFocusHilite(QColor(255, 0, 0), pm);
    QVERIFY(!red.hasAlphaChannel());
    QCOMPARE(red.pixel(0, 0), qRgb(191, 64, 64));
    QCOMPARE(red.pixel(1, 0), qRgb(255, 0, 0));
    QCOMPARE(red.pixel(2, 0), qRgb(127, 0, 0));

    // A translucent colour tints less; an invalid one leaves the pixels alone.
    const QImage faint = NS_Utilities::applyFocusHilite(QColor(255, 0, 0, 64), pm);
    QVERIFY(qRed(faint.pixel(0, 0)) > 128 && qRed(faint.pixel(0, 0)) < 191);
    const QImage none = NS_Utilities::applyFocusHilite(QColor(), pm);
    QCOMPARE(none.convertToFormat(QImage::Format_RGB32), img);
}

void TestUtilities::focusKeepsAlphaAndTransparency()
{
    QImage img(4, 2, QImage::Format_ARGB32);
    img.fill(qRgba(0, 0, 0, 0));
    img.setPixel(1, 0, qRgba(128, 128, 128, 255));
    img.setPixel(2, 0, qRgba(128, 128, 128, 128));
    QPixmap pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(2);
    const QImage tinted = NS_Utilities::applyFocusHilite(QColor(0, 0, 255), pm);
    QCOMPARE(tinted.size(), QSize(4, 2));
    QCOMPARE(tinted.devicePixelRatio(), 2.0);
    const QImage plain = tinted.convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(plain.pixel(0, 0), qRgba(0, 0, 0, 0));
    QCOMPARE(plain.pixel(1, 0), qRgba(64, 64, 191, 255));
    // The half-transparent pixel gets the same tint (unpremultiplied), alpha unchanged.
    const QRgb half = plain.pixel(2, 0);
    QCOMPARE(qAlpha(half), 128);
    QVERIFY(qAbs(qRed(half) - 64) <= 2 && qAbs(qBlue(half) - 191) <= 2);
    QCOMPARE(NS_Utilities::applyFocusHilite(QColor(), pm).devicePixelRatio(), 2.0);
}

void TestUtilities::looksOfNullPixmaps()
{
    QVERIFY(NS_Utilities::applyGreyTransformation(QPixmap()).isNull());
    QVERIFY(NS_Utilities::applyFocusHilite(Qt::red, QPixmap()).isNull());
    QVERIFY(NS_Utilities::applyFocusHilite(QColor(), QPixmap()).isNull());
}

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
