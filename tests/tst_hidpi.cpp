// Every control that draws from strips, on a 2x screen: a 1x strip and its 2x twin give the same
// logical geometry, and the grabbed widget shows the 2x strip's cells pixel for pixel (the 1x
// strip's pixels as 2x2 blocks).
#include "buttons/conoffbutton.h"
#include "buttons/cpixmapswitcher.h"
#include "buttons/cradiobutton.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "labels/chotspotlabel.h"
#include "labels/clabeldisplay.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "sliders/ctextslider.h"
#include "status/statedisplaywidget.h"

#include "binding/compat/widget.h"
#include "binding/utilities.h"

#include <QApplication>
#include <QBitmap>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// A strip: `cols` x `rows` cells of `cell` logical pixels; with `frame` each cell has a black
// border of 2 logical pixels (for the heuristic masks).
struct Art
{
    int cols, rows;
    QSize cell;
    bool frame = false;
};

// The art at `ratio` (1 or 2): every device pixel's colour depends on its position in the strip,
// so a cell drawn from the wrong place, in the wrong unit or filtered shows.
QPixmap art(const Art& a, int ratio)
{
    const QSize device = a.cell * ratio;
    QImage image(a.cols * device.width(), a.rows * device.height(), QImage::Format_RGB32);
    const int border = a.frame ? 2 * ratio : 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int cx = x % device.width(), cy = y % device.height();
            const bool edge = cx < border || cy < border || cx >= device.width() - border || cy >= device.height() - border;
            image.setPixel(x, y, edge ? qRgb(0, 0, 0)
                                      : qRgb((x * 37 + ratio * 11) & 255, (y * 23 + ratio * 5) & 255,
                                             64 + ((x + 3 * y) * 13 & 127)));
        }
    QPixmap strip = QPixmap::fromImage(image);
    strip.setDevicePixelRatio(ratio);
    return strip;
}

// One cell of a strip the widget shows at a logical position.
struct Layer
{
    QPixmap strip;
    QSize grid;
    QPoint cell;
    QPoint at;
    bool grey = false; // shown in the disabled look
};

// Builds the control with strips of `ratio` inside `parent`.
using Build = std::function<QWidget*(QWidget* parent, int ratio)>;
// What the shown control draws, bottom layer first, with the same strips.
using Layers = std::function<QList<Layer>(QWidget* w, int ratio)>;

struct Case
{
    const char* name;
    Build build;
    Layers layers;
};

// One cell of `a` drawn from `grid` (full-width rows: {1, rows}) at the origin.
Layers one(const Art& a, const QSize& grid, std::function<QPoint(QWidget*)> cell, bool grey = false)
{
    return [=](QWidget* w, int r) { return QList<Layer>{{art(a, r), grid, cell(w), {}, grey}}; };
}

std::function<QPoint(QWidget*)> fixed(int col, int row)
{
    return [=](QWidget*) { return QPoint(col, row); };
}

// The knob's row in column `col`; the on/off button's image (row 0 on, row 1 off) in column `col`.
std::function<QPoint(QWidget*)> knobRow(int col)
{
    return [=](QWidget* w) { return QPoint(col, static_cast<CDial_Orvel*>(w)->currentIndex()); };
}
std::function<QPoint(QWidget*)> buttonRow(int col)
{
    return [=](QWidget* w) { return QPoint(col, static_cast<COnOffButton_Orvel*>(w)->state() == Qt3::On ? 0 : 1); };
}

CDial_Orvel* knob(QWidget* p, const QPixmap& strip, int rows, int value)
{
    auto* k = new CDial_Orvel(p);
    k->setCombinedImage(strip);
    k->setnSubImages(rows);
    k->setRange(0, rows - 1);
    k->setValue(value);
    return k;
}

COnOffButton_Orvel* onOff(COnOffButton_Orvel* b, const QPixmap& strip, int cols, int rows)
{
    b->setnSubImages(rows);
    b->setnImageCategories(cols);
    b->setCombinedImage(strip);
    b->setCurrentImage(cols - 1);
    return b;
}

CPixmapSwitcher_Orvel* switcher(QWidget* p, const QPixmap& strip, bool paletteRows, int row)
{
    auto* s = new CPixmapSwitcher_Orvel(p);
    s->setUsesPalleteBitmap(paletteRows);
    s->setCombinedImage(strip);
    s->setnSubImages(3);
    s->setnImageCategories(2);
    s->setCurrentImage(row);
    return s;
}

// A label renders its face when it gets a text.
CLabelDisplay_Orvel* label(CLabelDisplay_Orvel* l, const QPixmap& strip, bool enabled)
{
    l->resize(48, 20);
    l->setcombinedImage(strip);
    l->setnSubImages(3);
    l->setText(QStringLiteral(" "));
    l->setEnabled(enabled);
    return l;
}

const Art kKnob{1, 5, {24, 20}}, kLooks{3, 4, {20, 16}, true}, kThumb{1, 3, {20, 10}}, kTrack{1, 1, {20, 100}},
    kButton{2, 3, {18, 12}}, kBase{1, 1, {30, 20}}, kRadio{1, 3, {14, 14}}, kOff{1, 1, {14, 14}}, kRows{2, 3, {25, 30}},
    kMenu{1, 4, {40, 20}}, kSlices{1, 3, {20, 30}}, kLabel{1, 3, {48, 20}}, kPopup{1, 2, {30, 16}};

const QList<Case>& cases()
{
    static const QList<Case> all{
        {"knob", [](QWidget* p, int r) { return knob(p, art(kKnob, r), 5, 3); }, one(kKnob, {1, 5}, knobRow(0))},
        {"knob, disabled look",
         [](QWidget* p, int r) {
             QWidget* k = knob(p, art(kKnob, r), 5, 2);
             k->setEnabled(false);
             return k;
         },
         one(kKnob, {1, 5}, knobRow(0), true)},
        {"knob look columns, masked",
         [](QWidget* p, int r) {
             CDial_Orvel* k = knob(p, art(kLooks, r), 4, 1);
             k->setnImageCategories(3);
             k->setTransparent(true);
             k->setCurrentImage(2);
             return k;
         },
         one(kLooks, {3, 4}, knobRow(2))},
        {"fader",
         [](QWidget* p, int r) {
             auto* f = new CFader_Orvel(p);
             f->setGeometry(0, 0, 20, 100);
             f->setThumbImage(art(kThumb, r));
             f->setnSubImages(3);
             f->setPixmap(art(kTrack, r));
             f->setRange(0, 100);
             f->setValue(30);
             return f;
         },
         [](QWidget* w, int r) {
             const QPoint thumb = static_cast<CFader_Orvel*>(w)->sliderRect().topLeft();
             return QList<Layer>{{art(kTrack, r), {1, 1}, {}, {}}, {art(kThumb, r), {1, 3}, {}, thumb}};
         }},
        {"on/off button", [](QWidget* p, int r) { return onOff(new COnOffButton_Orvel(p), art(kButton, r), 2, 3); },
         one(kButton, {2, 3}, buttonRow(1))},
        {"on/off button on a 1x base picture",
         [](QWidget* p, int r) {
             auto* b = new COnOffButton_Orvel(p);
             b->setPixmap(art(kBase, 1));
             return onOff(b, art(kButton, r), 2, 3);
         },
         [](QWidget* w, int r) {
             return QList<Layer>{{art(kBase, 1), {1, 1}, {}, {}}, {art(kButton, r), {2, 3}, buttonRow(1)(w), {6, 4}}};
         }},
        {"on/off button, disabled look",
         [](QWidget* p, int r) {
             QWidget* b = onOff(new COnOffButton_Orvel(p), art(kButton, r), 2, 3);
             b->setEnabled(false);
             return b;
         },
         one(kButton, {2, 3}, buttonRow(1), true)},
        {"popup image mode", [](QWidget* p, int r) { return onOff(new CPopup_Orvel(p), art(kPopup, r), 1, 2); },
         one(kPopup, {1, 2}, buttonRow(0))},
        {"radio button images",
         [](QWidget* p, int r) {
             auto* b = new CRadioButton_Orvel(p);
             b->setOffState(art(kOff, r));
             b->setOnState(art(kOff, r).copy(0, 0, 8, 8));
             return b;
         },
         one(kOff, {1, 1}, fixed(0, 0))},
        {"radio button strip",
         [](QWidget* p, int r) {
             auto* b = new CRadioButton_Orvel(p);
             b->setOffState(art(kOff, r));
             b->setCombinedImage(art(kRadio, r));
             b->setnSubImages(3);
             return b;
         },
         one(kRadio, {1, 3}, fixed(0, 1))},
        // The switcher shows rows of the full strip width, cut at its edge.
        {"pixmap switcher", [](QWidget* p, int r) { return switcher(p, art(kRows, r), false, 1); },
         one(kRows, {1, 3}, fixed(0, 1))},
        {"pixmap switcher, palette rows", [](QWidget* p, int r) { return switcher(p, art(kRows, r), true, 2); },
         one(kRows, {1, 3}, fixed(0, 2))},
        {"pull-down menu",
         [](QWidget* p, int r) {
             auto* m = new CPullDownMenu_Orvel(p);
             m->setCombinedImage(art(kMenu, r));
             m->setnSubImages(4);
             m->setMenuItemList(QStringLiteral("a;b;c;d"));
             m->setCurrentImage(2);
             return m;
         },
         one(kMenu, {1, 4}, fixed(0, 2))},
        {"state display",
         [](QWidget* p, int r) {
             auto* s = new StateDisplayWidget_Orvel(p);
             s->setCombinedImage(art(kSlices, r));
             s->setnSubImages(3);
             s->setValue(2);
             return s;
         },
         one(kSlices, {1, 3}, fixed(0, 2))},
        {"value label", [](QWidget* p, int r) { return label(new CLabelDisplay_Orvel(p), art(kLabel, r), true); },
         one(kLabel, {1, 3}, fixed(0, 0))},
        {"hotspot label, disabled row",
         [](QWidget* p, int r) { return label(new CHotspotLabel_Orvel(p), art(kLabel, r), false); },
         one(kLabel, {1, 3}, fixed(0, 2))},
    };
    return all;
}

// A control in its own shown window.
struct Shown
{
    QWidget window;
    QWidget* control = nullptr;

    Shown(const Case& c, int ratio) : control(c.build(&window, ratio))
    {
        window.resize(120, 140);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("window not exposed");
    }
};

// Compares the grab of `w` (at the screen's ratio 2) with the layers' strip pixels over every
// device pixel a layer covers inside the widget and its mask. Returns "" or the first mismatch.
QString compareWithLayers(QWidget* w, const QList<Layer>& layers)
{
    const QImage grabbed = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (grabbed.size() != w->size() * 2)
        return QStringLiteral("grab of %1x%2 device pixels").arg(grabbed.width()).arg(grabbed.height());
    QImage expected(grabbed.size(), QImage::Format_RGB32);
    QImage covered(grabbed.size(), QImage::Format_Grayscale8);
    covered.fill(0);
    for (const Layer& layer : layers) {
        const QImage strip = (layer.grey ? NS_Utilities::applyGreyTransformation(layer.strip) : layer.strip.toImage())
                                 .convertToFormat(QImage::Format_RGB32);
        const int sr = qRound(layer.strip.devicePixelRatio());
        const QSize cell(strip.width() / layer.grid.width(), strip.height() / layer.grid.height());
        const QPoint origin(layer.cell.x() * cell.width(), layer.cell.y() * cell.height());
        const QPoint at = layer.at * 2;
        for (int y = 0; y < cell.height() * 2 / sr; ++y)
            for (int x = 0; x < cell.width() * 2 / sr; ++x) {
                const QPoint d = at + QPoint(x, y);
                if (!expected.rect().contains(d))
                    continue;
                expected.setPixel(d, strip.pixel(origin + QPoint(x * sr / 2, y * sr / 2)));
                covered.setPixel(d, 255);
            }
    }
    const QRegion mask = w->mask();
    int compared = 0;
    for (int y = 0; y < grabbed.height(); ++y)
        for (int x = 0; x < grabbed.width(); ++x) {
            if (!qGray(covered.pixel(x, y)) || (!mask.isEmpty() && !mask.contains(QPoint(x / 2, y / 2))))
                continue;
            ++compared;
            if (grabbed.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("device pixel (%1,%2): %3, expected %4")
                    .arg(x).arg(y).arg(grabbed.pixel(x, y), 8, 16).arg(expected.pixel(x, y), 8, 16);
        }
    return compared > 0 ? QString() : QStringLiteral("no pixel compared");
}

} // namespace

class TestHiDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    }

    void stripTwins_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(cases().at(i).name) << i;
    }

    // Same logical geometry with a 1x strip and its 2x twin, the cells pixel for pixel, and every
    // face the control renders at the screen's ratio.
    void stripTwins()
    {
        QFETCH(int, index);
        const Case& c = cases().at(index);
        Shown one(c, 1);
        Shown two(c, 2);
        QWidget* a = one.control;
        QWidget* b = two.control;
        QVERIFY(!a->size().isEmpty());
        QCOMPARE(b->size(), a->size());
        QCOMPARE(b->sizeHint(), a->sizeHint());
        QVERIFY(b->mask() == a->mask());
        if (auto* fader = qobject_cast<CFader_Orvel*>(b))
            QCOMPARE(fader->sliderRect(), static_cast<CFader_Orvel*>(a)->sliderRect());
        if (c.name == QLatin1String("knob look columns, masked"))
            QCOMPARE(b->mask().boundingRect(), QRect(2, 2, 16, 12)); // the cell inside its border

        for (const auto& [w, ratio] : {std::pair{a, 1}, std::pair{b, 2}}) {
            const QString mismatch = compareWithLayers(w, c.layers(w, ratio));
            QVERIFY2(mismatch.isEmpty(), qPrintable(QStringLiteral("%1x strip: %2").arg(ratio).arg(mismatch)));
            // A face the control renders is at the screen's ratio; a face that is one of the
            // strip's own images keeps the strip's.
            const QPixmap face = Qt3::erasePixmapOf(w);
            if (!face.isNull()) {
                const QSize covers = face.deviceIndependentSize().toSize();
                QVERIFY(covers.width() >= w->width() && covers.height() >= w->height()); // never tiled
                if (ratio == 2)
                    QCOMPARE(face.devicePixelRatio(), 2.0);
            }
        }
    }

    // A window moved to a screen of another ratio: every rendered face and texture follows it.
    void facesFollowTheScreen()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2)
            QSKIP("one screen only");
        QWidget window;
        QList<QWidget*> controls;
        int y = 0;
        for (const Case& c : cases()) {
            QWidget* w = c.build(&window, 1);
            w->move(0, y);
            y += w->height();
            controls << w;
        }
        auto* slider = new CTextSlider_Orvel(&window);
        slider->setGeometry(0, y, 40, 16);
        controls << slider;
        window.resize(120, y + 16);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto ratios = [&] {
            QList<qreal> list;
            for (QWidget* w : controls) {
                const QPixmap face = Qt3::erasePixmapOf(w);
                list << (face.isNull() ? 0.0 : face.devicePixelRatio());
            }
            return list;
        };
        // Faces rendered at the widget's ratio (the text slider's, with text) follow it; faces
        // that are the (1x) strip's own images may keep theirs.
        const QList<qreal> before = ratios();
        QCOMPARE(before.last(), 2.0); // the text slider's face: text at the screen's ratio
        window.setScreen(screens.at(1));
        QCOMPARE(window.devicePixelRatioF(), 4.0);
        const QList<qreal> after = ratios();
        int followed = 0;
        for (int i = 0; i < controls.size(); ++i) {
            const char* name = i < cases().size() ? cases().at(i).name : "text slider";
            QVERIFY2(after.at(i) == 4.0 || (before.at(i) != 2.0 && after.at(i) == before.at(i)), name);
            followed += after.at(i) == 4.0;
        }
        QVERIFY(followed > 0);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    // Two offscreen screens, the second of twice the ratio (4 with the scale factor), so that a
    // window can move between ratios.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (dir.isValid() && file.open(QIODevice::WriteOnly)) {
        file.write(R"({"screens": [
            {"name": "one", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "dpr": 1},
            {"name": "two", "x": 800, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "dpr": 2}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestHiDpi test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
