// The Qt 3 layer: range arithmetic, widget hooks, background faces, toggle buttons, colours.
#include "binding/compat/button.h"
#include "binding/compat/color.h"
#include "binding/compat/rangecontrol.h"
#include "binding/compat/widget.h"

#include <QButtonGroup>
#include <QDial>
#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <climits>
#include <utility>

using Range = Qt3::RangeControl;

// Logs the three hooks as V(value,prev), R(value,min,max), S(line,page).
class LoggingRange : public Range
{
public:
    using Range::Range;
    using Range::prevValue;
    QStringList log;

protected:
    void valueChange() override { log << QString::asprintf("V(%d,%d)", value(), prevValue()); }
    void rangeChange() override { log << QString::asprintf("R(%d,%d,%d)", value(), minValue(), maxValue()); }
    void stepChange() override { log << QString::asprintf("S(%d,%d)", lineStep(), pageStep()); }
};

// Logs the Qt 3 hooks of every probe into one list, as "name:hook".
class HookProbe : public Qt3::Widget<QWidget>
{
public:
    explicit HookProbe(const QString& name, QWidget* p = nullptr) : Widget(p) { setObjectName(name); }
    static inline QStringList log;

protected:
    void polish() override { note(testAttribute(Qt::WA_WState_Polished) ? "polish" : "early polish"); }
    void enabledChange(bool old) override { note(QString("enabled(%1->%2)").arg(old).arg(isEnabled())); }
    void windowActivationChange(bool old) override { note(QString("activation(%1)").arg(old)); }
    void note(const QString& what) { log << objectName() + ':' + what; }
};

// A control shaped like the real ones: template base, Q_OBJECT in the final class.
class ProbeDial : public Qt3::Widget<QDial>
{
    Q_OBJECT
};

// Paints a 2x2 black marker at (5,5): stands for "the base class's own painting".
class MarkerWidget : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(5, 5, 2, 2, Qt::black); }
};
using FaceWidget = Qt3::Widget<MarkerWidget>;

// A 10x10 tile whose every pixel names its own position: (x*20, y*20, 77).
QRgb tileAt(const QPoint& p)
{
    return qRgb((p.x() % 10) * 20, (p.y() % 10) * 20, 77);
}

QPixmap positionTile()
{
    QImage img(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            img.setPixel(x, y, tileAt({x, y}));
    return QPixmap::fromImage(img);
}

class RadioProbe : public Qt3::Button<QRadioButton>
{
    Q_OBJECT
public:
    using Qt3::Button<QRadioButton>::Button;
signals:
    void stateChanged(int state);

protected:
    void emitStateChanged(int state) override { emit stateChanged(state); }
};

// One ordered log of the signals of buttons and their group, as a host would connect them.
struct SignalLog
{
    QStringList log;
    template <class B>
    void watch(B* b, const QString& t)
    {
        QObject::connect(b, &B::pressed, [=] { log << t + ".pressed"; });
        QObject::connect(b, &B::released, [=] { log << t + ".released"; });
        QObject::connect(b, &B::clicked, [=] { log << t + ".clicked"; });
        QObject::connect(b, &B::toggled, [=](bool on) { log << t + ".toggled(" + (on ? "1)" : "0)"); });
        QObject::connect(b, &B::stateChanged, [=](int state) {
            log << QString("%1.stateChanged(%2)").arg(t).arg(state);
        });
    }
    void watch(QButtonGroup* g)
    {
        QObject::connect(g, &QButtonGroup::idToggled, [=](int id, bool on) {
            log << QString("G.idToggled(%1,%2)").arg(id).arg(on);
        });
    }
    QStringList take() { return std::exchange(log, {}); }
};

// Radio buttons only react inside their indicator and label, so click near the left edge.
void click(QAbstractButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

class TestCompat : public QObject
{
    Q_OBJECT

private slots:
    void rangeHookOrder();
    void rangeStepsNeverOverflow();
    void rangePositions();
    void widgetHooks();
    void faceTilesWithOrigins_data();
    void faceTilesWithOrigins();
    void faceOpaqueAttributeAndErasePixmapOf();
    void buttonSignalOrder();
    void qt3ColourArithmetic();
};

void TestCompat::rangeHookOrder()
{
    LoggingRange r;
    r.setValue(500);
    r.setValue(99); // unchanged: no hook, but prevValue is overwritten
    QCOMPARE(r.prevValue(), 99);
    r.setRange(0, 40); // the range hook still sees the old value, then the clamp follows
    r.setRange(0, 40);
    r.setRange(-10, 60);
    r.setRange(30, 10); // min > max: min is the only legal value
    r.setMaxValue(20); // drags the minimum along
    r.setSteps(1, 10);
    r.setSteps(-3, 10); // stored as an absolute value
    QCOMPARE(r.log, (QStringList{"V(99,0)", "R(99,0,40)", "V(40,99)", "R(40,-10,60)", "R(40,30,30)",
                                 "V(30,40)", "R(30,20,20)", "V(20,30)", "S(3,10)"}));
}

void TestCompat::rangeStepsNeverOverflow()
{
    // Where value + step leaves int nothing happens: no move, no clamp, no hook.
    struct Case { int min, max, step, value; bool up; int expected; };
    const Case cases[] = {
        {INT_MIN, INT_MAX, 10, INT_MAX - 5, true, INT_MAX - 5},
        {INT_MIN, INT_MAX, 1, INT_MAX, true, INT_MAX},
        {INT_MIN, INT_MAX, 10, INT_MIN + 3, false, INT_MIN + 3},
        {INT_MIN, INT_MAX, INT_MIN, 5, false, 5}, // |INT_MIN| stays INT_MIN, as in Qt 3
        {INT_MIN, INT_MAX, INT_MIN, 5, true, 5 + INT_MIN},
    };
    for (const Case& c : cases) {
        const auto steps = c.up ? std::array{&Range::addLine, &Range::addPage}
                                : std::array{&Range::subtractLine, &Range::subtractPage};
        for (auto stepOnce : steps) {
            LoggingRange r(c.min, c.max, c.step, c.step, c.value);
            (r.*stepOnce)();
            QCOMPARE(r.value(), c.expected);
            QCOMPARE(r.log.size(), c.expected == c.value ? 0 : 1);
        }
    }
}

void TestCompat::rangePositions()
{
    const int mn = -559038801;
    const int mx = 2125315823;
    struct Case { int min, max, value, span, position; };
    const Case cases[] = {
        {mn, mx, 0, 100, 20}, {mn, mx, mx - 1, 100, 100}, {mn, mx, mn, 127, 0}, {mn, mx, mx, 127, 127},
        {INT_MIN, INT_MAX, 0, 1000, 500}, {INT_MIN, INT_MAX, INT_MAX, 1000, 1000},
        {0, 99, 50, 200, 101}, {0, 1000, 333, 100, 33}, {0, 99, -1, 100, 0}, {0, 99, 100, 100, 100},
        {5, 5, 5, 100, 0}, {0, 99, 50, 0, 0},
    };
    for (const Case& c : cases)
        QCOMPARE(Range::positionFromValue(c.min, c.max, c.value, c.span), c.position);

    // valueFromPosition is QStyle's, for spans wider and narrower than the range.
    QRandomGenerator rng(20240511);
    for (int i = 0; i < 100000; ++i) {
        int a = i % 2 ? int(rng.generate()) : rng.bounded(-1000, 1000);
        int b = i % 2 ? int(rng.generate()) : a + rng.bounded(0, 10000);
        if (a > b)
            std::swap(a, b);
        const int span = rng.bounded(1, 5000);
        const int pos = rng.bounded(-10, span + 10);
        QCOMPARE(Range::valueFromPosition(a, b, pos, span),
                 QStyle::sliderValueFromPosition(a, b, pos, span, false));
    }
}

void TestCompat::widgetHooks()
{
    ProbeDial dial;
    QCOMPARE(dial.metaObject()->className(), "ProbeDial");
    QCOMPARE(dial.metaObject()->superClass(), &QDial::staticMetaObject);

    HookProbe::log.clear();
    HookProbe top("top");
    auto* child = new HookProbe("child", &top);
    (new HookProbe("hidden", &top))->hide();
    QCoreApplication::processEvents(); // Qt polishes from the event loop, before show
    QCOMPARE(HookProbe::log.size(), 3);
    top.show();
    top.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&top));
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    child->setEnabled(false);
    top.setEnabled(false); // the child's effective state does not change again
    child->setEnabled(true); // still disabled through its parent
    top.setEnabled(true);
    QCOMPARE(HookProbe::log,
             (QStringList{"top:polish", "child:polish", "hidden:polish", "top:activation(0)",
                          "child:activation(0)", "top:activation(1)", "child:activation(1)",
                          "child:enabled(1->0)", "hidden:enabled(1->0)", "top:enabled(1->0)",
                          "child:enabled(0->1)", "hidden:enabled(0->1)", "top:enabled(0->1)"}));
}

void TestCompat::faceTilesWithOrigins_data()
{
    QTest::addColumn<int>("origin");
    QTest::addColumn<QPoint>("tileAtChildOrigin");
    // The child sits at (13,7) in a panel at (21,32) of the window.
    QTest::newRow("widget") << int(Qt3::WidgetOrigin) << QPoint(0, 0);
    QTest::newRow("parent") << int(Qt3::ParentOrigin) << QPoint(13, 7);
    QTest::newRow("window") << int(Qt3::WindowOrigin) << QPoint(34, 39);
}

void TestCompat::faceTilesWithOrigins()
{
    QFETCH(int, origin);
    QFETCH(QPoint, tileAtChildOrigin);
    QWidget window;
    window.resize(120, 100);
    auto* panel = new QWidget(&window);
    panel->setGeometry(21, 32, 80, 60);
    auto* face = new FaceWidget(panel);
    face->setGeometry(13, 7, 27, 23);
    face->setBackgroundOrigin(Qt3::BackgroundOrigin(origin));
    face->setErasePixmap(positionTile());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QImage shot = panel->grab().toImage();
    for (const QPoint& p : {QPoint(0, 0), QPoint(3, 4), QPoint(9, 9), QPoint(10, 0), QPoint(26, 22)})
        QCOMPARE(shot.pixel(QPoint(13, 7) + p), tileAt(tileAtChildOrigin + p));
    QCOMPARE(shot.pixel(13 + 5, 7 + 5), qRgb(0, 0, 0)); // the base paints over the face
    QCOMPARE(shot.pixel(12, 6), panel->palette().color(QPalette::Window).rgb());
}

void TestCompat::faceOpaqueAttributeAndErasePixmapOf()
{
    QImage holed(10, 10, QImage::Format_ARGB32_Premultiplied);
    holed.fill(Qt::transparent);
    const QPixmap tile = positionTile();
    FaceWidget face;
    face.setErasePixmap(tile);
    QVERIFY(face.testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(Qt3::erasePixmapOf(&face).cacheKey(), tile.cacheKey());
    face.setErasePixmap(QPixmap::fromImage(holed));
    QVERIFY(!face.testAttribute(Qt::WA_OpaquePaintEvent));
    face.setErasePixmap(tile);
    face.clearErasePixmap();
    QVERIFY(!face.testAttribute(Qt::WA_OpaquePaintEvent));

    // A plain widget: the texture of its background brush, only when it fills its background.
    QWidget plain;
    QPalette pal = plain.palette();
    pal.setBrush(QPalette::Window, QBrush(tile));
    plain.setPalette(pal);
    QVERIFY(Qt3::erasePixmapOf(&plain).isNull());
    plain.setAutoFillBackground(true);
    QCOMPARE(Qt3::erasePixmapOf(&plain).toImage(), tile.toImage());
}

void TestCompat::buttonSignalOrder()
{
    // A and B in an exclusive group; C and D outside it are independent, as in Qt 3.
    QWidget window;
    QButtonGroup group;
    SignalLog s;
    RadioProbe* r[4];
    for (int i = 0; i < 4; ++i) {
        r[i] = new RadioProbe(QString(QChar('A' + i)), &window);
        r[i]->setGeometry(10, 10 + 30 * i, 80, 25);
        if (i < 2)
            group.addButton(r[i], i);
        s.watch(r[i], r[i]->text());
    }
    s.watch(&group);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    click(r[2]);
    click(r[3]);
    QCOMPARE(s.take(), (QStringList{"C.pressed", "C.toggled(1)", "C.stateChanged(2)", "C.released",
                                    "C.clicked", "D.pressed", "D.toggled(1)", "D.stateChanged(2)",
                                    "D.released", "D.clicked"}));
    r[2]->setOn(false);
    r[2]->setOn(false);
    r[2]->setState(Qt3::NoChange);
    r[2]->setState(Qt3::On); // still on: no toggled
    QCOMPARE(s.take(), (QStringList{"C.toggled(0)", "C.stateChanged(0)", "C.toggled(1)", "C.stateChanged(1)",
                                    "C.stateChanged(2)"}));
    QCOMPARE(r[2]->state(), Qt3::On);
    // Through Qt's own setter, a receiver connected after ours is still served first.
    QObject::connect(r[2], &QAbstractButton::toggled, [&] { s.log << "late"; });
    r[2]->setChecked(false);
    QCOMPARE(s.take(), (QStringList{"C.toggled(0)", "late", "C.stateChanged(0)"}));

    // Click B while A is on: Qt 6 switches A off before B comes on (Qt 3 did it the other way
    // round); each button's own pair stays toggled -> stateChanged.
    r[0]->setOn(true);
    s.take();
    click(r[1]);
    QCOMPARE(s.take(), (QStringList{"B.pressed", "A.toggled(0)", "G.idToggled(0,0)", "A.stateChanged(0)",
                                    "B.toggled(1)", "G.idToggled(1,1)", "B.stateChanged(2)", "B.released",
                                    "B.clicked"}));
    // Qt 3 lets the checked button of an exclusive group be switched off.
    r[1]->setOn(false);
    QCOMPARE(s.take(), (QStringList{"B.toggled(0)", "G.idToggled(1,0)", "B.stateChanged(0)"}));
    QCOMPARE(group.checkedButton(), nullptr);
    QVERIFY(group.exclusive());
}

void TestCompat::qt3ColourArithmetic()
{
    struct Case { QRgb rgb; int h, s, v; };
    const Case cases[] = {
        {qRgb(255, 130, 0), 31, 255, 255},    // (120*130 + 255) / 510 = 31 (rounded, not 30)
        {qRgb(100, 150, 200), 210, 128, 200}, // 180 + 6100/200; (51000 + 200) / 400
        {qRgb(255, 0, 1), 360, 255, 255},     // just below 360 rounds up to 360
        {qRgb(128, 128, 128), -1, 0, 128},
    };
    for (const Case& c : cases) {
        int h, s, v;
        Qt3::hsv(QColor(c.rgb), &h, &s, &v);
        QCOMPARE(QList<int>({h, s, v}), QList<int>({c.h, c.s, c.v}));
    }
    QCOMPARE(Qt3::light(QColor(255, 0, 0)), QColor(255, 127, 127));
    QCOMPARE(Qt3::light(QColor(10, 20, 30), INT_MAX), QColor(255, 255, 255));
    QCOMPARE(Qt3::dark(QColor(100, 150, 200, 128)), QColor(50, 75, 100, 128));

    // Where Qt 6 differs: (0,60,250) is hue 226, saturation 255, value 250; dark(200) halves the
    // value and the odd sextant gives green (2*125*3570 + 15300) / 30600 = 29.
    QCOMPARE(Qt3::dark(QColor(0, 60, 250)), QColor(0, 29, 125));
    QCOMPARE(QColor(0, 60, 250).darker(200).rgb(), qRgb(0, 30, 125));
}

QTEST_MAIN(TestCompat)
#include "tst_compat.moc"
