// The strip generator (tools/stripart): strip geometry at 1x and 2x, what the knob cells show
// (transparent corners, pointer and value arc per row), a knob drawing a generated strip, the
// indexed PNG output, the icons, and bad input.
#include "knob/cdial.h"
#include "memory/referencememory.h"
#include "stripart/stripart.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace OrvelStripArt;

namespace {

// Cell (column, row) of a strip with `columns` x `rows` cells, in device pixels.
QImage cellOf(const QImage& strip, int columns, int rows, int column, int row)
{
    const int w = strip.width() / columns;
    const int h = strip.height() / rows;
    return strip.copy(column * w, row * h, w, h).convertToFormat(QImage::Format_ARGB32);
}

// Pixels close to `colour` (opaque-ish and within a small distance per channel).
int pixelsLike(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 200 && std::abs(qRed(p) - colour.red()) < 24
                && std::abs(qGreen(p) - colour.green()) < 24 && std::abs(qBlue(p) - colour.blue()) < 24)
                ++n;
        }
    return n;
}

// The pixel at `radius` (a fraction of the cell size) from the cell's centre, at `degrees`
// counted as QPainter counts angles.
QRgb atAngle(const QImage& cell, qreal radius, qreal degrees)
{
    const qreal a = degrees * M_PI / 180.0;
    const qreal c = cell.width() / 2.0;
    return cell.pixel(int(c + radius * cell.width() * std::cos(a)), int(c - radius * cell.width() * std::sin(a)));
}

bool light(QRgb p)
{
    return qAlpha(p) > 200 && qGray(p) > 200;
}

} // namespace

class TestStripArt : public QObject
{
    Q_OBJECT

private slots:
    void geometryFollowsRatio_data();
    void geometryFollowsRatio();
    void knobCellsShowTheirPosition();
    void knobDrawsTheGeneratedCell();
    void indexedOutputKeepsThePicture();
    void iconsDifferPerKind();
    void tabStripLightsOneTabPerRow();
    void badInputGivesNullImages();
};

void TestStripArt::geometryFollowsRatio_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("2x") << 2.0;
}

void TestStripArt::geometryFollowsRatio()
{
    QFETCH(qreal, ratio);
    const int r = int(ratio);
    KnobLook twoLooks;
    twoLooks.extraAccents = {Qt::cyan};

    struct Case
    {
        const char* what;
        QImage image;
        QSize deviceSize;
    };
    const Case cases[] = {
        {"knob", knobStrip(64, 48, ratio), QSize(48 * r, 64 * 48 * r)},
        {"knob, two looks", knobStrip(16, 40, ratio, twoLooks), QSize(2 * 40 * r, 16 * 40 * r)},
        {"fader background", faderBackground(QSize(28, 120), Qt::Vertical, 14, ratio), QSize(28 * r, 120 * r)},
        {"fader thumb", faderThumbStrip(QSize(28, 14), Qt::Vertical, ratio), QSize(28 * r, 2 * 14 * r)},
        {"horizontal thumb", faderThumbStrip(QSize(12, 26), Qt::Horizontal, ratio), QSize(12 * r, 2 * 26 * r)},
        {"button", buttonStrip(QSize(48, 24), ratio), QSize(48 * r, ButtonRows * 24 * r)},
        {"lamp", lampStrip(14, ratio, Qt::green), QSize(14 * r, 2 * 14 * r)},
        {"lamp with dim row", lampStrip(14, ratio, Qt::green, true), QSize(14 * r, 3 * 14 * r)},
        {"menu field", menuStrip(QSize(80, 20), {"A", "B"}, ratio), QSize(80 * r, 2 * 20 * r)},
        {"page tabs", tabStrip(QSize(60, 20), {"A", "B", "C"}, ratio), QSize(3 * 60 * r, 3 * 20 * r)},
        {"value display", displayStrip(QSize(60, 16), ratio), QSize(60 * r, 2 * 16 * r)},
    };
    for (const Case& c : cases) {
        QVERIFY2(!c.image.isNull(), c.what);
        QCOMPARE(c.image.size(), c.deviceSize);
        QCOMPARE(c.image.devicePixelRatio(), ratio);
        QVERIFY2(c.image.hasAlphaChannel(), c.what);
    }

    // Odd logical cells still tile the strip exactly in device pixels at 1.5x.
    const QImage odd = knobStrip(10, 33, 1.5);
    QCOMPARE(odd.size(), QSize(50, 500));
}

void TestStripArt::knobCellsShowTheirPosition()
{
    const int frames = 32;
    const int size = 48;
    KnobLook look;
    look.extraAccents = {QColor(0x3f, 0xc8, 0xe8)};
    KnobLook bipolar;
    bipolar.bipolar = true;
    const QImage strip = knobStrip(frames, size, 1.0, look);
    const QImage centred = knobStrip(frames, size, 1.0, bipolar);

    QList<int> lit;
    for (int col = 0; col < 2; ++col) {
        const QColor accent = col == 0 ? look.accent : look.extraAccents.first();
        for (int row = 0; row < frames; ++row) {
            const QImage cell = cellOf(strip, 2, frames, col, row);
            for (const QPoint& corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
                QCOMPARE(qAlpha(cell.pixel(corner)), 0);
            QCOMPARE(qAlpha(cell.pixel(size / 2, size / 2)), 255);
            if (row + 1 < frames)
                QVERIFY2(cell != cellOf(strip, 2, frames, col, row + 1), qPrintable(QStringLiteral("row %1").arg(row)));
            if (col == 0)
                lit << pixelsLike(cell, accent);
            else // the second look differs from the first only in its accent (edges blend apart)
                QVERIFY(std::abs(pixelsLike(cell, accent) - lit[row]) <= 2 + lit[row] / 20);
        }
    }
    // The lit arc grows from nothing at the minimum to the full sweep at the maximum.
    QCOMPARE(lit.first(), 0);
    for (int row = 1; row < frames; ++row)
        QVERIFY2(lit[row] >= lit[row - 1], qPrintable(QStringLiteral("row %1").arg(row)));
    QVERIFY(lit.last() > 100);

    // The pointer: 7 o'clock at the minimum, 12 at the middle, 5 at the maximum.
    const QImage first = cellOf(strip, 2, frames, 0, 0);
    const QImage last = cellOf(strip, 2, frames, 0, frames - 1);
    QVERIFY(light(atAngle(first, 0.2, 240)));
    QVERIFY(!light(atAngle(first, 0.2, -60)));
    QVERIFY(light(atAngle(last, 0.2, -60)));
    QVERIFY(!light(atAngle(last, 0.2, 240)));
    QCOMPARE(knobAngle(0.5), 90.0);

    // A bipolar knob lights least in the middle and as much at both ends.
    const int low = pixelsLike(cellOf(centred, 1, frames, 0, 0), bipolar.accent);
    const int mid = pixelsLike(cellOf(centred, 1, frames, 0, frames / 2), bipolar.accent);
    const int high = pixelsLike(cellOf(centred, 1, frames, 0, frames - 1), bipolar.accent);
    QVERIFY(mid < low / 4);
    QVERIFY(std::abs(low - high) <= low / 10);
}

void TestStripArt::knobDrawsTheGeneratedCell()
{
    TReferenceMemory_Orvel memory;
    TParameterSpec_Orvel param;
    param.name = QStringLiteral("filter.cutoff");
    param.minimum = 0;
    param.maximum = 127;
    param.value = 64;
    QVERIFY(memory.addParameter(param));

    const QImage strip = knobStrip(64, 48, 1.0);
    const QColor behind(0x20, 0x22, 0x26);
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, behind);
    window.setPalette(palette);
    auto* knob = new CDial_Orvel(&window);
    knob->setCombinedImage(QPixmap::fromImage(strip));
    knob->setnSubImages(64);
    knob->setNamedAddress(param.name);
    knob->setMemAPI(&memory);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(knob->size(), QSize(48, 48));

    // Each value shows its row, 1:1; the transparent corners show the window behind.
    for (int value : {0, 64, 127}) {
        memory.write(0, 0, 0, value);
        const int row = knob->currentIndex();
        QCOMPARE(row, value == 0 ? 0 : value == 127 ? 63 : 32);
        const QImage shown = window.grab(knob->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage cell = cellOf(strip, 1, 64, 0, row);
        int compared = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                if (qAlpha(cell.pixel(x, y)) == 255) {
                    QCOMPARE(shown.pixel(x, y), cell.pixel(x, y));
                    ++compared;
                }
        QVERIFY(compared > 48 * 48 / 3);
        QCOMPARE(shown.pixel(0, 0), behind.rgb());
    }
}

void TestStripArt::indexedOutputKeepsThePicture()
{
    // Few colours (translucent ones among them) stay exact.
    QImage few(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            few.setPixel(x, y, qRgba(x * 30, y * 30, 90, (x + y) * 16));
    few.setDevicePixelRatio(2.0);
    const QImage exact = toIndexed(few);
    QCOMPARE(exact.format(), QImage::Format_Indexed8);
    QCOMPARE(exact.devicePixelRatio(), 2.0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QRgb want = few.pixel(x, y);
            QCOMPARE(exact.pixel(x, y), qAlpha(want) == 0 ? 0u : want);
        }

    // A knob strip has far more colours: at most 256 remain, transparency stays exact, and
    // the picture stays close.
    const QImage strip = knobStrip(64, 48, 1.0).convertToFormat(QImage::Format_ARGB32);
    const QImage indexed = toIndexed(strip);
    QCOMPARE(indexed.size(), strip.size());
    QVERIFY(indexed.colorCount() <= 256);
    qint64 error = 0;
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x) {
            const QRgb a = strip.pixel(x, y);
            const QRgb b = indexed.pixel(x, y);
            QCOMPARE(qAlpha(b) == 0, qAlpha(a) == 0);
            error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b))
                     + std::abs(qAlpha(a) - qAlpha(b));
        }
    QVERIFY2(error < qint64(strip.width()) * strip.height() * 4 * 3, qPrintable(QString::number(error)));

    // Written and read back under the @2x name, the strip has its 2x geometry again.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("knob@2x.png"));
    QString error2;
    QVERIFY2(savePng(knobStrip(8, 24, 2.0), file, &error2), qPrintable(error2));
    const QPixmap loaded(file);
    QCOMPARE(loaded.size(), QSize(48, 8 * 48));
    QCOMPARE(loaded.devicePixelRatio(), 2.0);
    QVERIFY(!savePng(QImage(), dir.filePath(QStringLiteral("null.png")), &error2));
    QVERIFY(!savePng(knobStrip(8, 24, 1.0), dir.filePath(QStringLiteral("missing/dir/x.png")), &error2));
    QVERIFY(!error2.isEmpty());
}

void TestStripArt::iconsDifferPerKind()
{
    QList<QImage> seen;
    for (const QString& kind : iconKinds()) {
        const QImage image = icon(kind, 32);
        QCOMPARE(image.size(), QSize(32, 32));
        int opaque = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255;
        QVERIFY2(opaque > 40, qPrintable(kind));
        for (const QImage& other : seen)
            QVERIFY2(image != other, qPrintable(kind));
        seen << image;
    }
    QCOMPARE(icon(QStringLiteral("no such kind"), 32), icon(QStringLiteral("generic"), 32));
}

void TestStripArt::tabStripLightsOneTabPerRow()
{
    const TabLook look;
    const QStringList labels{QStringLiteral("ONE"), QStringLiteral("TWO"), QStringLiteral("THREE")};
    const QImage strip = tabStrip(QSize(50, 20), labels, 1.0, look);
    QCOMPARE(strip.size(), QSize(150, 60));
    // The lit edge runs along the top of the chosen tab only: row k lights tab k.
    for (int row = 0; row < 3; ++row)
        for (int tab = 0; tab < 3; ++tab) {
            const QRgb edge = strip.pixel(tab * 50 + 25, row * 20 + 1);
            QCOMPARE(edge == look.lit.rgba(), tab == row);
        }
}

void TestStripArt::badInputGivesNullImages()
{
    QVERIFY(knobStrip(0, 48, 1.0).isNull());
    QVERIFY(knobStrip(-3, 48, 1.0).isNull());
    QVERIFY(knobStrip(64, 0, 1.0).isNull());
    QVERIFY(knobStrip(64, -48, 2.0).isNull());
    QVERIFY(knobStrip(64, 48, 0.0).isNull());
    QVERIFY(knobStrip(64, 48, -2.0).isNull());
    QVERIFY(knobStrip(64, 48, qQNaN()).isNull());
    QVERIFY(knobStrip(64, 48, qInf()).isNull());
    QVERIFY(knobStrip(64, 48, 9.0).isNull());
    QVERIFY(knobStrip(INT_MAX, 48, 1.0).isNull());  // far beyond the largest strip
    QVERIFY(knobStrip(64, INT_MAX, 1.0).isNull());
    QVERIFY(knobStrip(1000, 48, 1.0).isNull());     // 48000 pixels high
    QVERIFY(!knobStrip(1, 48, 1.0).isNull());       // one frame: the minimum

    QVERIFY(faderBackground(QSize(), Qt::Vertical, 14, 1.0).isNull());
    QVERIFY(faderBackground(QSize(28, -1), Qt::Vertical, 14, 1.0).isNull());
    QVERIFY(faderBackground(QSize(28, 120), Qt::Vertical, -1, 1.0).isNull());
    QVERIFY(!faderBackground(QSize(28, 120), Qt::Vertical, 500, 1.0).isNull()); // thumb longer than the fader
    QVERIFY(faderThumbStrip(QSize(0, 14), Qt::Vertical, 1.0).isNull());
    QVERIFY(buttonStrip(QSize(-48, 24), 1.0).isNull());
    QVERIFY(buttonStrip(QSize(48, 24), qQNaN()).isNull());
    QVERIFY(lampStrip(0, 1.0, Qt::green).isNull());
    QVERIFY(lampStrip(14, 1.0, QColor()).isNull());
    QVERIFY(tabStrip(QSize(60, 20), {}, 1.0).isNull());
    QVERIFY(menuStrip(QSize(80, 20), {}, 1.0).isNull());
    QVERIFY(menuStrip(QSize(0, 20), {"A"}, 1.0).isNull());
    QVERIFY(tabStrip(QSize(20000, 20), {"A", "B"}, 1.0).isNull());
    QVERIFY(displayStrip(QSize(60, 0), 1.0).isNull());
    QVERIFY(icon(QStringLiteral("knob"), 0).isNull());
    QVERIFY(icon(QStringLiteral("knob"), -32).isNull());
    QVERIFY(toIndexed(QImage()).isNull());

    // Tiny cells and long captions still draw.
    ButtonLook look;
    look.text = QStringLiteral("A CAPTION FAR TOO LONG FOR ITS BUTTON");
    QVERIFY(!buttonStrip(QSize(3, 2), 1.0, look).isNull());
    QVERIFY(!knobStrip(4, 1, 1.0).isNull());
}

QTEST_MAIN(TestStripArt)
#include "tst_stripart.moc"
