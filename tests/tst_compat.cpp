// The Qt 3 layer: range arithmetic, widget hooks, background faces, toggle buttons, colours.
#include "binding/compat/button.h"
#include "binding/compat/color.h"
#include "binding/compat/rangecontrol.h"
#include "binding/compat/widget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDial>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <climits>
#include <memory>

// ---------------------------------------------------------------------------------------------
// Helpers

// Logs the three hooks as V(value,prev), R(value,min,max), S(line,page).
class LoggingRange : public Qt3::RangeControl
{
public:
    using Qt3::RangeControl::RangeControl;
    using Qt3::RangeControl::directSetValue;
    using Qt3::RangeControl::positionFromValue;
    using Qt3::RangeControl::prevValue;
    using Qt3::RangeControl::valueFromPosition;
    QStringList log;

protected:
    void valueChange() override { log << QStringLiteral("V(%1,%2)").arg(value()).arg(prevValue()); }
    void rangeChange() override
    {
        log << QStringLiteral("R(%1,%2,%3)").arg(value()).arg(minValue()).arg(maxValue());
    }
    void stepChange() override { log << QStringLiteral("S(%1,%2)").arg(lineStep()).arg(pageStep()); }
};

// A widget that logs every Qt 3 hook into a shared list, tagged with its name.
class HookProbe : public Qt3::Widget<QWidget>
{
public:
    HookProbe(QString tag, QStringList* log, QWidget* parent = nullptr)
        : Qt3::Widget<QWidget>(parent), m_tag(std::move(tag)), m_log(log)
    {
    }
    int polishCount = 0;
    bool styleWasPolishedFirst = false;
    QFont oldFontSeen;
    QFont fontAtHook;
    using Qt3::Widget<QWidget>::parentWidget;

protected:
    void polish() override
    {
        ++polishCount;
        *m_log << m_tag + QStringLiteral(":polish");
    }
    void enabledChange(bool oldEnabled) override
    {
        *m_log << m_tag + QStringLiteral(":enabled(%1->%2)").arg(oldEnabled).arg(isEnabled());
    }
    void windowActivationChange(bool oldActive) override
    {
        *m_log << m_tag + QStringLiteral(":activation(old=%1)").arg(oldActive);
    }
    void fontChange(const QFont& oldFont) override
    {
        oldFontSeen = oldFont;
        fontAtHook = font();
        *m_log << m_tag + QStringLiteral(":font");
    }
    void styleChange() override { *m_log << m_tag + QStringLiteral(":style"); }

private:
    QString m_tag;
    QStringList* m_log;
};

// Records when a style polishes a widget, to see that the hook runs after the base's polish.
class PolishLoggingStyle : public QProxyStyle
{
public:
    explicit PolishLoggingStyle(QStringList* log) : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), m_log(log) {}
    using QProxyStyle::polish;
    void polish(QWidget* w) override
    {
        QProxyStyle::polish(w);
        *m_log << w->objectName() + QStringLiteral(":style-polish");
    }

private:
    QStringList* m_log;
};

// A control shaped like the real ones: template base, Q_OBJECT in the final class.
class ProbeDial : public Qt3::Widget<QDial>
{
    Q_OBJECT
public:
    explicit ProbeDial(QWidget* parent = nullptr) : Qt3::Widget<QDial>(parent) {}
};

// Paints a 2x2 black marker at (5,5): stands for "the base class's own painting".
class MarkerWidget : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(5, 5, 2, 2, Qt::black);
    }
};

using FaceWidget = Qt3::Widget<MarkerWidget>;

// A 10x10 tile whose every pixel names its own position: (x*20, y*20, 77).
QPixmap positionTile()
{
    QImage img(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            img.setPixel(x, y, qRgb(x * 20, y * 20, 77));
    return QPixmap::fromImage(img);
}

QRgb tileAt(int x, int y)
{
    return qRgb((x % 10) * 20, (y % 10) * 20, 77);
}

class PushProbe : public Qt3::Button<QPushButton>
{
    Q_OBJECT
public:
    explicit PushProbe(const QString& text = QString(), QWidget* parent = nullptr)
        : Qt3::Button<QPushButton>(text, parent)
    {
    }
signals:
    void stateChanged(int state);

protected:
    void emitStateChanged(int state) override { emit stateChanged(state); }
};

class RadioProbe : public Qt3::Button<QRadioButton>
{
    Q_OBJECT
public:
    explicit RadioProbe(const QString& text = QString(), QWidget* parent = nullptr)
        : Qt3::Button<QRadioButton>(text, parent)
    {
    }
    int drawCalls = 0;
    bool customLook = false;
signals:
    void stateChanged(int state);

protected:
    void emitStateChanged(int state) override { emit stateChanged(state); }
    void drawButton(QPainter* p) override
    {
        ++drawCalls;
        if (customLook)
            p->fillRect(5, 5, 2, 2, Qt::black);
        else
            Qt3::Button<QRadioButton>::drawButton(p);
    }
};

// One ordered log of the signals of several buttons (and a group), as a host would connect them.
class SignalLog
{
public:
    template <class B>
    void watch(B* b, const QString& tag)
    {
        QObject::connect(b, &QAbstractButton::pressed, [=] { log << tag + ".pressed"; });
        QObject::connect(b, &QAbstractButton::released, [=] { log << tag + ".released"; });
        QObject::connect(b, &QAbstractButton::clicked, [=] { log << tag + ".clicked"; });
        QObject::connect(b, &QAbstractButton::toggled,
                         [=](bool on) { log << tag + QStringLiteral(".toggled(%1)").arg(on); });
        QObject::connect(b, &B::stateChanged,
                         [=](int s) { log << tag + QStringLiteral(".stateChanged(%1)").arg(s); });
    }
    void watch(QButtonGroup* g, const QString& tag)
    {
        QObject::connect(g, &QButtonGroup::idToggled,
                         [=](int id, bool on) { log << tag + QStringLiteral(".idToggled(%1,%2)").arg(id).arg(on); });
        QObject::connect(g, &QButtonGroup::idClicked,
                         [=](int id) { log << tag + QStringLiteral(".idClicked(%1)").arg(id); });
    }
    QStringList take()
    {
        QStringList l = log;
        log.clear();
        return l;
    }
    QStringList log;
};

// Radio buttons only react inside their indicator and label, so click near the left edge.
void click(QAbstractButton* b)
{
    const QPoint at = qobject_cast<QRadioButton*>(b) ? QPoint(6, b->height() / 2) : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

// ---------------------------------------------------------------------------------------------

class TestCompat : public QObject
{
    Q_OBJECT

private slots:
    // RangeControl
    void rangeDefaultsAndConstructor();
    void rangeValueAndRangeHookOrder();
    void rangeSteps();
    void rangeStepsNeverOverflow();
    void rangePositionsOnHugeRanges();
    void rangeArithmeticMatchesQStyle();

    // Widget hooks
    void metaObjectOfTemplateControl();
    void polishRunsOnceAfterTheBase();
    void enabledChangeGetsOldState();
    void windowActivationReachesChildrenParentFirst();
    void fontAndStyleChange();
    void qt3ParentWidget();

    // Background faces
    void faceTilesWithOrigins_data();
    void faceTilesWithOrigins();
    void faceIsErasedBeforeBasePaints();
    void faceAlphaShowsParentAndOpaqueAttribute();
    void faceAtDevicePixelRatioTwo();
    void erasePixmapOfWidgets();
    void facePixmapForWidget();

    // Buttons
    void pushButtonSignalOrder();
    void noChangeState();
    void programmaticSetCheckedOrder();
    void exclusiveGroupOfThreeRadios();
    void radiosOutsideGroupAreIndependent();
    void nonToggleButtonIgnoresState();
    void buttonDeletedByReceiver();
    void defaultDrawButtonIsTheToolkitLook();
    void drawButtonRunsAfterFace();

    // Colours
    void hsvHandComputed();
    void darkAndLightHandComputed();
    void colourRoundTrips();
    void colourDiffersFromQt6();
};

// ---- RangeControl ---------------------------------------------------------------------------

void TestCompat::rangeDefaultsAndConstructor()
{
    LoggingRange r;
    QCOMPARE(r.minValue(), 0);
    QCOMPARE(r.maxValue(), 99);
    QCOMPARE(r.lineStep(), 1);
    QCOMPARE(r.pageStep(), 10);
    QCOMPARE(r.value(), 0);
    QCOMPARE(r.prevValue(), -1);

    // Steps stored as absolute values, value bounded, prevValue one below the minimum; the
    // constructor calls no hook.
    LoggingRange c(-5, 5, -2, -3, 50);
    QCOMPARE(c.lineStep(), 2);
    QCOMPARE(c.pageStep(), 3);
    QCOMPARE(c.value(), 5);
    QCOMPARE(c.prevValue(), -6);
    QVERIFY(c.log.isEmpty());

    // min > max is kept as given: bound() tests the minimum first, then the maximum.
    LoggingRange inverted(10, 0, 1, 1, 5);
    QCOMPARE(inverted.minValue(), 10);
    QCOMPARE(inverted.maxValue(), 0);
    QCOMPARE(inverted.value(), 10);
    QCOMPARE(inverted.bound(-3), 10);
    QCOMPARE(inverted.bound(5), 10);
    QCOMPARE(inverted.bound(50), 0);

    // prevValue at INT_MIN wraps instead of overflowing; |INT_MIN| stays INT_MIN (Qt 3 QABS).
    LoggingRange extreme(INT_MIN, INT_MAX, INT_MIN, 1, 0);
    QCOMPARE(extreme.prevValue(), INT_MAX);
    QCOMPARE(extreme.lineStep(), INT_MIN);
}

void TestCompat::rangeValueAndRangeHookOrder()
{
    LoggingRange r;
    r.setValue(500);
    QCOMPARE(r.log, QStringList{"V(99,0)"});
    r.log.clear();

    // Same value: no hook, but prevValue is overwritten.
    r.directSetValue(10);
    QCOMPARE(r.prevValue(), 99);
    r.setValue(10);
    QVERIFY(r.log.isEmpty());
    QCOMPARE(r.prevValue(), 10);

    r.setValue(99);
    r.log.clear();
    // Range hook first with the old, now out-of-range value; then the clamp with prevValue().
    r.setRange(0, 40);
    QCOMPARE(r.log, (QStringList{"R(99,0,40)", "V(40,99)"}));
    r.log.clear();

    // Unchanged range: no hook at all. A range that keeps the value: only the range hook.
    r.setRange(0, 40);
    QVERIFY(r.log.isEmpty());
    r.setRange(-10, 60);
    QCOMPARE(r.log, QStringList{"R(40,-10,60)"});
    r.log.clear();

    // min > max: min becomes the only legal value.
    r.setRange(30, 10);
    QCOMPARE(r.minValue(), 30);
    QCOMPARE(r.maxValue(), 30);
    QCOMPARE(r.log, (QStringList{"R(40,30,30)", "V(30,40)"}));
    r.log.clear();

    // setMinValue/setMaxValue drag the other end along.
    r.setMaxValue(20);
    QCOMPARE(r.minValue(), 20);
    QCOMPARE(r.maxValue(), 20);
    r.setMinValue(25);
    QCOMPARE(r.minValue(), 25);
    QCOMPARE(r.maxValue(), 25);
    r.setMinValue(0);
    QCOMPARE(r.minValue(), 0);
    QCOMPARE(r.maxValue(), 25);
    QCOMPARE(r.value(), 25);
}

void TestCompat::rangeSteps()
{
    LoggingRange r;
    r.setSteps(1, 10);
    QVERIFY(r.log.isEmpty());
    // The raw -1 differs from the stored 1: the hook runs, the stored step stays 1.
    r.setSteps(-1, 10);
    QCOMPARE(r.log, QStringList{"S(1,10)"});
    r.log.clear();
    r.setSteps(3, -20);
    QCOMPARE(r.log, QStringList{"S(3,20)"});
    r.log.clear();

    r.setValue(50);
    r.log.clear();
    r.addLine();
    r.addPage();
    r.subtractLine();
    r.subtractPage();
    QCOMPARE(r.log, (QStringList{"V(53,50)", "V(73,53)", "V(70,73)", "V(50,70)"}));
    r.log.clear();
    // Stepping against a bound clamps (bound()), and at the bound changes nothing.
    r.setValue(95);
    r.addPage();
    QCOMPARE(r.value(), 99);
    r.log.clear();
    r.addPage();
    QVERIFY(r.log.isEmpty());
    QCOMPARE(r.prevValue(), 99);
}

void TestCompat::rangeStepsNeverOverflow()
{
    // Where value + step leaves int, nothing happens: no move, no clamp, no hook.
    LoggingRange full(INT_MIN, INT_MAX, 1, 10, INT_MAX - 5);
    full.addPage();
    QCOMPARE(full.value(), INT_MAX - 5);
    QVERIFY(full.log.isEmpty());
    full.addLine();
    QCOMPARE(full.value(), INT_MAX - 4);
    full.setValue(INT_MAX);
    full.log.clear();
    full.addLine();
    QCOMPARE(full.value(), INT_MAX);
    QVERIFY(full.log.isEmpty());

    full.setValue(INT_MIN + 3);
    full.log.clear();
    full.subtractPage();
    QCOMPARE(full.value(), INT_MIN + 3);
    QVERIFY(full.log.isEmpty());
    full.subtractLine();
    QCOMPARE(full.value(), INT_MIN + 2);

    // Steps of INT_MIN (stored as INT_MIN) in both directions.
    LoggingRange minStep(INT_MIN, INT_MAX, 1, INT_MIN, 5);
    minStep.subtractPage(); // 5 - INT_MIN is beyond INT_MAX
    QCOMPARE(minStep.value(), 5);
    minStep.addPage(); // 5 + INT_MIN fits
    QCOMPARE(minStep.value(), 5 + INT_MIN);
    minStep.addPage(); // would go below INT_MIN
    QCOMPARE(minStep.value(), 5 + INT_MIN);
    minStep.subtractPage(); // back up by 2^31
    QCOMPARE(minStep.value(), 5);

    // The huge range of real parameters: stepping clamps at the ends as usual.
    LoggingRange huge(-559038801, 2125315823, 1, 10, 2125315823 - 3);
    huge.addPage();
    QCOMPARE(huge.value(), 2125315823);
    huge.setValue(-559038801 + 2);
    huge.subtractPage();
    QCOMPARE(huge.value(), -559038801);
}

void TestCompat::rangePositionsOnHugeRanges()
{
    const int mn = -559038801, mx = 2125315823;
    LoggingRange r(mn, mx, 1, 10, 0);
    QCOMPARE(r.positionFromValue(0, 100), 20);
    QCOMPARE(r.valueFromPosition(50, 100), 783138511);
    // The bucketed formula rounds where Qt 6 truncates.
    QCOMPARE(r.positionFromValue(mx - 1, 100), 100);
    QCOMPARE(QStyle::sliderPositionFromValue(mn, mx, mx - 1, 100, false), 99);
    QCOMPARE(r.positionFromValue(mx, 127), 127);
    QCOMPARE(r.positionFromValue(mn, 127), 0);
    QCOMPARE(r.valueFromPosition(0, 127), mn);
    QCOMPARE(r.valueFromPosition(127, 127), mx);

    // The whole int range.
    QCOMPARE(Qt3::RangeControl::positionFromValue(INT_MIN, INT_MAX, 0, 1000), 500);
    QCOMPARE(Qt3::RangeControl::positionFromValue(INT_MIN, INT_MAX, INT_MAX, 1000), 1000);
    QCOMPARE(Qt3::RangeControl::valueFromPosition(INT_MIN, INT_MAX, 500, 1000), 0);
    QCOMPARE(Qt3::RangeControl::valueFromPosition(INT_MIN, INT_MAX, 1, 1000), INT_MIN + 4294967);

    // Outside the range, an empty range, no span (the random comparison below covers the rest).
    QCOMPARE(Qt3::RangeControl::positionFromValue(0, 99, -1, 100), 0);
    QCOMPARE(Qt3::RangeControl::positionFromValue(0, 99, 100, 100), 100);
    QCOMPARE(Qt3::RangeControl::positionFromValue(5, 5, 5, 100), 0);
    QCOMPARE(Qt3::RangeControl::positionFromValue(0, 99, 50, 0), 0);
}

void TestCompat::rangeArithmeticMatchesQStyle()
{
    QRandomGenerator rng(20240511);
    auto randomInt = [&] { return int(rng.generate()); };
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        int a, b;
        switch (i % 4) {
        case 0: a = rng.bounded(-1000, 1000); b = a + rng.bounded(0, 2000); break;
        case 1: a = rng.bounded(-300000, 300000); b = a + rng.bounded(0, 524288); break;
        default: a = randomInt(); b = randomInt(); if (a > b) std::swap(a, b); break;
        }
        const int span = (i % 3 == 0) ? rng.bounded(1, 100) : rng.bounded(1, 5000);
        const int pos = rng.bounded(-10, span + 10);
        QCOMPARE(Qt3::RangeControl::valueFromPosition(a, b, pos, span),
                 QStyle::sliderValueFromPosition(a, b, pos, span, false));
        // Below 524288 the two position formulas agree; above, Qt 3 buckets (checked above).
        if (unsigned(b) - unsigned(a) <= 524287u) {
            const int v = a + int(rng.bounded(0u, unsigned(b - a) + 1u));
            QCOMPARE(Qt3::RangeControl::positionFromValue(a, b, v, span),
                     QStyle::sliderPositionFromValue(a, b, v, span, false));
            ++compared;
        }
    }
    QVERIFY(compared > 90000);
}

// ---- Widget hooks ---------------------------------------------------------------------------

void TestCompat::metaObjectOfTemplateControl()
{
    ProbeDial dial;
    QCOMPARE(dial.metaObject()->className(), "ProbeDial");
    QCOMPARE(dial.metaObject()->superClass(), &QDial::staticMetaObject);
    QVERIFY(qobject_cast<QDial*>(&dial));
    QVERIFY(dial.inherits("QAbstractSlider"));
    QCOMPARE(dynamic_cast<Qt3::WidgetHooks*>(static_cast<QWidget*>(&dial)), static_cast<Qt3::WidgetHooks*>(&dial));
    QSignalSpy spy(&dial, &QDial::valueChanged);
    dial.setValue(42);
    QCOMPARE(spy.count(), 1);
}

void TestCompat::polishRunsOnceAfterTheBase()
{
    QStringList log;
    PolishLoggingStyle style(&log);
    QWidget top;
    top.setObjectName("top");
    auto* child = new HookProbe("child", &log, &top);
    child->setObjectName("child");
    child->setStyle(&style);

    // Qt polishes children from the event loop before anything is shown.
    QCoreApplication::processEvents();
    QTRY_COMPARE(child->polishCount, 1);
    QCOMPARE(log.filter("polish"), (QStringList{"child:style-polish", "child:polish"}));

    top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&top));
    child->ensurePolished();
    QCOMPARE(child->polishCount, 1);
    QVERIFY(child->isPolishHookDone());

    // constPolish() on a widget nobody polished yet runs the hook at once.
    HookProbe lone("lone", &log);
    QCOMPARE(lone.polishCount, 0);
    static_cast<const HookProbe&>(lone).constPolish();
    QCOMPARE(lone.polishCount, 1);
    lone.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lone));
    QCOMPARE(lone.polishCount, 1);
}

void TestCompat::enabledChangeGetsOldState()
{
    QStringList log;
    HookProbe top("top", &log);
    auto* child = new HookProbe("child", &log, &top);
    child->setEnabled(false);
    log = log.filter(":enabled");
    QCOMPARE(log, QStringList{"child:enabled(1->0)"});
    log.clear();
    child->setEnabled(true);
    QCOMPARE(log, QStringList{"child:enabled(0->1)"});
    log.clear();

    // Disabling the parent reaches the child as a change of its effective state.
    top.setEnabled(false);
    QVERIFY(log.contains("child:enabled(1->0)"));
    QVERIFY(log.contains("top:enabled(1->0)"));
    log.clear();
    child->setEnabled(false); // explicitly disabled while already disabled: no change
    QVERIFY(log.isEmpty());
    top.setEnabled(true);
    QCOMPARE(log, QStringList{"top:enabled(0->1)"});
}

void TestCompat::windowActivationReachesChildrenParentFirst()
{
    QStringList log;
    HookProbe top("top", &log);
    top.resize(100, 100);
    auto* child = new HookProbe("child", &log, &top);
    auto* hidden = new HookProbe("hidden", &log, &top);
    hidden->hide();
    top.show();
    top.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&top));
    QTRY_VERIFY(log.contains("child:activation(old=0)"));
    QCOMPARE(log.filter(":activation"), (QStringList{"top:activation(old=0)", "child:activation(old=0)"}));
    log.clear();

    QWidget other;
    other.resize(50, 50);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_COMPARE(log.filter(":activation"), (QStringList{"top:activation(old=1)", "child:activation(old=1)"}));
    log.clear();

    top.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&top));
    QTRY_COMPARE(log.filter(":activation"), (QStringList{"top:activation(old=0)", "child:activation(old=0)"}));
    Q_UNUSED(child);
}

void TestCompat::fontAndStyleChange()
{
    QStringList log;
    HookProbe w("w", &log);
    QFont bold = w.font();
    bold.setBold(true);
    w.setFont(bold);
    QCOMPARE(log, QStringList{"w:font"});
    QVERIFY(!w.oldFontSeen.bold());
    QVERIFY(w.fontAtHook.bold());

    // A font change that comes from the parent is seen with the right old font too.
    log.clear();
    QWidget parent;
    auto* child = new HookProbe("c", &log, &parent);
    QFont big = parent.font();
    big.setPointSize(big.pointSize() + 7);
    const int oldSize = child->font().pointSize();
    parent.setFont(big);
    QCOMPARE(log, QStringList{"c:font"});
    QCOMPARE(child->oldFontSeen.pointSize(), oldSize);
    QCOMPARE(child->fontAtHook.pointSize(), big.pointSize());

    log.clear();
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    w.setStyle(fusion.get());
    QVERIFY(log.contains("w:style"));
    w.setStyle(nullptr);
}

void TestCompat::qt3ParentWidget()
{
    QStringList log;
    QWidget top;
    auto* child = new HookProbe("child", &log, &top);
    auto* window = new HookProbe("window", &log, &top);
    window->setWindowFlags(Qt::Window);
    HookProbe orphan("orphan", &log);

    QCOMPARE(child->parentWidget(true), &top);
    QCOMPARE(child->parentWidget(false), &top);
    QCOMPARE(child->parentWidget(), &top);
    QCOMPARE(window->parentWidget(true), nullptr);
    QCOMPARE(window->parentWidget(false), &top);
    QCOMPARE(orphan.parentWidget(true), nullptr);
}

// ---- Background faces -----------------------------------------------------------------------

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
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, Qt::white);
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    auto* panel = new QWidget(&window);
    panel->setGeometry(21, 32, 80, 60);
    auto* face = new FaceWidget(panel);
    face->setGeometry(13, 7, 27, 23);
    face->setBackgroundOrigin(Qt3::BackgroundOrigin(origin));
    face->setErasePixmap(positionTile());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QImage shot = window.grab().toImage();
    const QPoint at(34, 39); // the child's origin in the window
    for (const QPoint& p : {QPoint(0, 0), QPoint(3, 4), QPoint(9, 9), QPoint(10, 0), QPoint(26, 22), QPoint(17, 13)}) {
        const QPoint t = tileAtChildOrigin + p;
        QCOMPARE(shot.pixel(at + p), tileAt(t.x(), t.y()));
    }
    // Outside the child the window's own background shows.
    QCOMPARE(shot.pixel(at + QPoint(-1, -1)), qRgb(255, 255, 255));
}

void TestCompat::faceIsErasedBeforeBasePaints()
{
    QWidget window;
    window.resize(60, 40);
    auto* face = new FaceWidget(&window);
    face->setGeometry(11, 3, 20, 20);
    face->setErasePixmap(positionTile());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixel(11 + 5, 3 + 5), qRgb(0, 0, 0)); // the base's marker on top
    QCOMPARE(shot.pixel(11 + 4, 3 + 5), tileAt(4, 5));

    // Replacing the face repaints with the new one.
    QPixmap red(4, 4);
    red.fill(Qt::red);
    face->setErasePixmap(red);
    shot = window.grab().toImage();
    QCOMPARE(shot.pixel(11 + 15, 3 + 15), qRgb(255, 0, 0));
    QCOMPARE(shot.pixel(11 + 6, 3 + 6), qRgb(0, 0, 0));
}

void TestCompat::faceAlphaShowsParentAndOpaqueAttribute()
{
    QWidget window;
    window.resize(60, 40);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 255));
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    auto* face = new FaceWidget(&window);
    face->setGeometry(13, 7, 20, 20);
    QVERIFY(!face->testAttribute(Qt::WA_OpaquePaintEvent));

    face->setErasePixmap(positionTile());
    QVERIFY(face->testAttribute(Qt::WA_OpaquePaintEvent));

    // A face with transparent parts: the window shows through them, and Qt must paint below.
    QImage holed(10, 10, QImage::Format_ARGB32_Premultiplied);
    holed.fill(qRgb(0, 255, 0));
    holed.setPixel(2, 2, 0);
    face->setErasePixmap(QPixmap::fromImage(holed));
    QVERIFY(!face->testAttribute(Qt::WA_OpaquePaintEvent));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixel(13 + 2, 7 + 2), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(13 + 12, 7 + 12), qRgb(0, 0, 255)); // the hole again, one tile on
    QCOMPARE(shot.pixel(13 + 3, 7 + 2), qRgb(0, 255, 0));

    face->setErasePixmap(positionTile());
    QVERIFY(face->testAttribute(Qt::WA_OpaquePaintEvent));
    face->clearErasePixmap();
    QVERIFY(!face->testAttribute(Qt::WA_OpaquePaintEvent));
    QVERIFY(!face->hasErasePixmap());

    // A control that is opaque on its own keeps the attribute when its face goes.
    FaceWidget own;
    own.setAttribute(Qt::WA_OpaquePaintEvent);
    own.setErasePixmap(positionTile());
    own.clearErasePixmap();
    QVERIFY(own.testAttribute(Qt::WA_OpaquePaintEvent));
}

void TestCompat::faceAtDevicePixelRatioTwo()
{
    // 20x20 device pixels at ratio 2: a 10x10 logical tile, left half red, right half blue.
    QImage img(20, 20, QImage::Format_RGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            img.setPixel(x, y, x < 10 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    QPixmap tile = QPixmap::fromImage(img);
    tile.setDevicePixelRatio(2);

    QWidget window;
    window.resize(80, 60);
    auto* face = new FaceWidget(&window);
    face->setGeometry(13, 7, 30, 30);
    face->setBackgroundOrigin(Qt3::ParentOrigin);
    face->setErasePixmap(tile);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    // Child x maps to tile x (13 + x) % 10: red for 0..4, blue for 5..9 (block centres only).
    auto isRed = [&](int x) { return qRed(shot.pixel(13 + x, 7 + 20)) > 200 && qBlue(shot.pixel(13 + x, 7 + 20)) < 50; };
    auto isBlue = [&](int x) { return qBlue(shot.pixel(13 + x, 7 + 20)) > 200 && qRed(shot.pixel(13 + x, 7 + 20)) < 50; };
    QVERIFY(isBlue(4));  // tile x 7
    QVERIFY(isRed(9));   // tile x 2
    QVERIFY(isBlue(14)); // tile x 7
    QVERIFY(isRed(19));  // tile x 2
    QVERIFY(isBlue(24));
}

void TestCompat::erasePixmapOfWidgets()
{
    QCOMPARE(Qt3::erasePixmapOf(nullptr).isNull(), true);

    FaceWidget ours;
    QVERIFY(Qt3::erasePixmapOf(&ours).isNull());
    const QPixmap tile = positionTile();
    ours.setErasePixmap(tile);
    QCOMPARE(Qt3::erasePixmapOf(&ours).cacheKey(), tile.cacheKey());

    // A plain widget: the texture of its background brush, only when it fills its background.
    QWidget plain;
    QPixmap texture(8, 8);
    texture.fill(Qt::magenta);
    QPalette pal = plain.palette();
    pal.setBrush(QPalette::Window, QBrush(texture));
    plain.setPalette(pal);
    QVERIFY(Qt3::erasePixmapOf(&plain).isNull());
    plain.setAutoFillBackground(true);
    QCOMPARE(Qt3::erasePixmapOf(&plain).toImage(), texture.toImage());

    // A plain colour brush is no face.
    QWidget coloured;
    coloured.setAutoFillBackground(true);
    QVERIFY(Qt3::erasePixmapOf(&coloured).isNull());

    // Ours without a face falls back to the palette texture like any widget.
    FaceWidget facelessOurs;
    facelessOurs.setPalette(pal);
    facelessOurs.setAutoFillBackground(true);
    QCOMPARE(Qt3::erasePixmapOf(&facelessOurs).toImage(), texture.toImage());
}

void TestCompat::facePixmapForWidget()
{
    QWidget w;
    const QPixmap face = Qt3::createFacePixmap(&w, QSize(33, 14));
    QCOMPARE(face.devicePixelRatio(), w.devicePixelRatioF());
    QCOMPARE(face.deviceIndependentSize().toSize(), QSize(33, 14));
    QVERIFY(face.hasAlphaChannel());
    const QImage img = face.toImage();
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(32, 13)), 0);
    QVERIFY(Qt3::createFacePixmap(&w, QSize(0, 5)).isNull());
    QCOMPARE(Qt3::createFacePixmap(nullptr, QSize(4, 4)).size(), QSize(4, 4));
}

// ---- Buttons --------------------------------------------------------------------------------

void TestCompat::pushButtonSignalOrder()
{
    QWidget window;
    auto* a = new PushProbe("A", &window);
    a->setGeometry(10, 10, 60, 30);
    a->setToggleButton(true);
    QVERIFY(a->isToggleButton());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    SignalLog s;
    s.watch(a, "A");

    click(a);
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.toggled(1)", "A.stateChanged(2)", "A.released", "A.clicked"}));
    QCOMPARE(a->state(), Qt3::On);
    click(a);
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.toggled(0)", "A.stateChanged(0)", "A.released", "A.clicked"}));

    a->setOn(true);
    QCOMPARE(s.take(), (QStringList{"A.toggled(1)", "A.stateChanged(2)"}));
    a->setOn(true);
    QVERIFY(s.take().isEmpty());
    a->toggle();
    QCOMPARE(s.take(), (QStringList{"A.toggled(0)", "A.stateChanged(0)"}));
    QVERIFY(!a->isOn());

    // Qt's own toggle() slot goes through setChecked and still reports the Qt 3 state.
    QMetaObject::invokeMethod(a, "toggle");
    QCOMPARE(s.take(), (QStringList{"A.toggled(1)", "A.stateChanged(2)"}));

    // Space toggles like a click.
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Space);
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.toggled(0)", "A.stateChanged(0)", "A.released", "A.clicked"}));
}

void TestCompat::noChangeState()
{
    PushProbe a("A");
    a.setToggleButton(true);
    SignalLog s;
    s.watch(&a, "A");
    Qt3::ToggleState seenInToggled = Qt3::Off;
    QObject::connect(&a, &QAbstractButton::toggled, [&] { seenInToggled = a.state(); });

    a.setState(Qt3::NoChange);
    QCOMPARE(s.take(), (QStringList{"A.toggled(1)", "A.stateChanged(1)"}));
    QCOMPARE(seenInToggled, Qt3::NoChange);
    QVERIFY(a.isOn());
    // NoChange -> On: still on, so no toggled.
    a.setState(Qt3::On);
    QCOMPARE(s.take(), QStringList{"A.stateChanged(2)"});
    a.setState(Qt3::NoChange);
    QCOMPARE(s.take(), QStringList{"A.stateChanged(1)"});
    // A click from NoChange switches off.
    a.click();
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.toggled(0)", "A.stateChanged(0)", "A.released", "A.clicked"}));
    QCOMPARE(a.state(), Qt3::Off);
    // Values outside Off..On are ignored.
    a.setState(Qt3::ToggleState(7));
    QVERIFY(s.take().isEmpty());
    QCOMPARE(a.state(), Qt3::Off);
}

void TestCompat::programmaticSetCheckedOrder()
{
    PushProbe a("A");
    a.setToggleButton(true);
    SignalLog s;
    s.watch(&a, "A");
    // Through the plain base class: toggled reaches every receiver before stateChanged.
    a.setChecked(true);
    QCOMPARE(s.take(), (QStringList{"A.toggled(1)", "A.stateChanged(2)"}));
    a.setChecked(true);
    QVERIFY(s.take().isEmpty());
    static_cast<QAbstractButton&>(a).setChecked(false);
    QCOMPARE(s.take(), (QStringList{"A.toggled(0)", "A.stateChanged(0)"}));

    // A receiver connected later (here by string) is still served before stateChanged, and
    // nothing is emitted twice.
    QStringList late;
    QObject::connect(&a, SIGNAL(toggled(bool)), &a, SLOT(update()));
    QObject::connect(&a, &QAbstractButton::toggled, [&](bool on) { late << QStringLiteral("late(%1)").arg(on); s.log << "late"; });
    QSignalSpy states(&a, &PushProbe::stateChanged);
    a.setChecked(true);
    QCOMPARE(s.take(), (QStringList{"A.toggled(1)", "late", "A.stateChanged(2)"}));
    QCOMPARE(states.count(), 1);
    a.setOn(false);
    QCOMPARE(s.take(), (QStringList{"A.toggled(0)", "late", "A.stateChanged(0)"}));
    QCOMPARE(states.count(), 2);
}

void TestCompat::exclusiveGroupOfThreeRadios()
{
    QWidget window;
    RadioProbe* r[3];
    QButtonGroup group;
    for (int i = 0; i < 3; ++i) {
        r[i] = new RadioProbe(QString(QChar('A' + i)), &window);
        r[i]->setGeometry(10, 10 + 30 * i, 80, 25);
        group.addButton(r[i], i);
    }
    QVERIFY(group.exclusive());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    SignalLog s;
    s.watch(r[0], "A");
    s.watch(r[1], "B");
    s.watch(r[2], "C");
    s.watch(&group, "G");

    click(r[0]);
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.toggled(1)", "G.idToggled(0,1)", "A.stateChanged(2)",
                                    "A.released", "A.clicked", "G.idClicked(0)"}));

    // Click B while A is on: Qt 6 switches A off before B comes on (Qt 3 did it the other way
    // round); each button's own pair stays toggled -> stateChanged.
    click(r[1]);
    QCOMPARE(s.take(), (QStringList{"B.pressed", "A.toggled(0)", "G.idToggled(0,0)", "A.stateChanged(0)",
                                    "B.toggled(1)", "G.idToggled(1,1)", "B.stateChanged(2)", "B.released",
                                    "B.clicked", "G.idClicked(1)"}));
    QCOMPARE(group.checkedId(), 1);

    // Clicking the button that is on changes nothing.
    click(r[1]);
    QCOMPARE(s.take(), (QStringList{"B.pressed", "B.released", "B.clicked", "G.idClicked(1)"}));
    QCOMPARE(r[1]->state(), Qt3::On);

    // setOn(true) on C switches B off through the group.
    r[2]->setOn(true);
    QCOMPARE(s.take(), (QStringList{"B.toggled(0)", "G.idToggled(1,0)", "B.stateChanged(0)", "C.toggled(1)",
                                    "G.idToggled(2,1)", "C.stateChanged(2)"}));

    // Qt 3 lets the checked button of an exclusive group be switched off.
    r[2]->setOn(false);
    QCOMPARE(s.take(), (QStringList{"C.toggled(0)", "G.idToggled(2,0)", "C.stateChanged(0)"}));
    QCOMPARE(group.checkedButton(), nullptr);
    QVERIFY(group.exclusive());
    for (auto* b : r)
        QCOMPARE(b->state(), Qt3::Off);

    // A plain setChecked(false) on the checked button is still refused by Qt (no signals).
    r[0]->setChecked(true);
    s.take();
    r[0]->setChecked(false);
    QVERIFY(r[0]->isOn());
    QVERIFY(s.take().isEmpty());
}

void TestCompat::radiosOutsideGroupAreIndependent()
{
    QWidget window;
    auto* a = new RadioProbe("A", &window);
    auto* b = new RadioProbe("B", &window);
    a->setGeometry(0, 0, 80, 25);
    b->setGeometry(0, 30, 80, 25);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!a->autoExclusive());
    QVERIFY(a->isToggleButton());
    click(a);
    click(b);
    QVERIFY(a->isOn());
    QVERIFY(b->isOn());
    click(a);
    QVERIFY(!a->isOn());

    // A host that turns auto-exclusivity back on can still switch the checked radio off.
    a->setAutoExclusive(true);
    b->setAutoExclusive(true);
    a->setOn(true);
    QVERIFY(!b->isOn());
    a->setOn(false);
    QVERIFY(!a->isOn());
    QVERIFY(a->autoExclusive());
}

void TestCompat::nonToggleButtonIgnoresState()
{
    QWidget window;
    auto* a = new PushProbe("A", &window);
    a->resize(60, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!a->isToggleButton());
    SignalLog s;
    s.watch(a, "A");
    a->setOn(true);
    a->setState(Qt3::NoChange);
    a->toggle();
    QVERIFY(s.take().isEmpty());
    QCOMPARE(a->state(), Qt3::Off);
    click(a);
    QCOMPARE(s.take(), (QStringList{"A.pressed", "A.released", "A.clicked"}));

    // Leaving toggle mode switches off silently.
    a->setToggleButton(true);
    a->setOn(true);
    s.take();
    a->setToggleButton(false);
    QVERIFY(s.take().isEmpty());
    QCOMPARE(a->state(), Qt3::Off);
}

void TestCompat::buttonDeletedByReceiver()
{
    // A receiver of stateChanged may delete the button (the last thing the button emits).
    // (Deleting a button from its own toggled(bool) crashes inside QAbstractButton::setChecked
    // itself, so receivers of toggled must use deleteLater.)
    auto* a = new PushProbe("A");
    a->setToggleButton(true);
    QPointer<PushProbe> ga(a);
    QObject::connect(a, &PushProbe::stateChanged, [&] { delete ga.data(); });
    a->setOn(true);
    QVERIFY(ga.isNull());

    QWidget window;
    auto* b = new PushProbe("B", &window);
    b->setToggleButton(true);
    b->resize(60, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPointer<PushProbe> gb(b);
    QObject::connect(b, &PushProbe::stateChanged, [&] { delete gb.data(); });
    click(b);
    QVERIFY(gb.isNull());

    // In an exclusive group: the button switched off by the group deletes itself.
    QButtonGroup group;
    auto* c = new RadioProbe("C");
    auto* d = new RadioProbe("D");
    group.addButton(c, 0);
    group.addButton(d, 1);
    c->setOn(true);
    QPointer<RadioProbe> gc(c);
    QObject::connect(c, &RadioProbe::stateChanged, [&](int s) { if (s == Qt3::Off) delete gc.data(); });
    d->setOn(true);
    QVERIFY(gc.isNull());
    QVERIFY(d->isOn());
    QCOMPARE(group.buttons().size(), 1);
    delete d;
}

void TestCompat::defaultDrawButtonIsTheToolkitLook()
{
    QPushButton plainPush("Go");
    PushProbe ourPush("Go");
    plainPush.resize(70, 30);
    ourPush.resize(70, 30);
    QCOMPARE(ourPush.grab().toImage(), plainPush.grab().toImage());

    QRadioButton plainRadio("Pick");
    RadioProbe ourRadio("Pick");
    plainRadio.resize(80, 24);
    ourRadio.resize(80, 24);
    plainRadio.setChecked(true);
    ourRadio.setOn(true);
    QCOMPARE(ourRadio.grab().toImage(), plainRadio.grab().toImage());
    QVERIFY(ourRadio.drawCalls > 0);
    // The look follows the state.
    ourRadio.setOn(false);
    QVERIFY(ourRadio.grab().toImage() != plainRadio.grab().toImage());
}

void TestCompat::drawButtonRunsAfterFace()
{
    QWidget window;
    window.resize(60, 40);
    auto* r = new RadioProbe("", &window);
    r->customLook = true;
    r->setGeometry(13, 7, 20, 20);
    r->setErasePixmap(positionTile());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixel(13 + 5, 7 + 5), qRgb(0, 0, 0));
    QCOMPARE(shot.pixel(13 + 8, 7 + 3), tileAt(8, 3));
    QCOMPARE(shot.pixel(13 + 19, 7 + 19), tileAt(9, 9));
}

// ---- Colours --------------------------------------------------------------------------------

void TestCompat::hsvHandComputed()
{
    struct Case { QRgb rgb; int h, s, v; };
    const Case cases[] = {
        {qRgb(255, 0, 0), 0, 255, 255},
        {qRgb(0, 255, 0), 120, 255, 255},
        {qRgb(0, 0, 255), 240, 255, 255},
        {qRgb(128, 128, 128), -1, 0, 128},
        {qRgb(0, 0, 0), -1, 0, 0},
        {qRgb(255, 128, 0), 30, 255, 255},    // (120*128 + 255) / 510 = 30
        {qRgb(100, 150, 200), 210, 128, 200}, // 180 + 6100/200; (51000 + 200) / 400
        {qRgb(255, 0, 1), 360, 255, 255},     // just below 360 rounds up to 360
    };
    for (const Case& c : cases) {
        int h, s, v;
        Qt3::hsv(QColor(c.rgb), &h, &s, &v);
        QCOMPARE(h, c.h);
        QCOMPARE(s, c.s);
        QCOMPARE(v, c.v);
    }
    int h = 5, s = 5;
    Qt3::hsv(QColor(), &h, &s, nullptr);
    QCOMPARE(h, -1);
    QCOMPARE(s, 0);

    QCOMPARE(Qt3::fromHsv(210, 128, 100), QColor(50, 75, 100));
    QCOMPARE(Qt3::fromHsv(-1, 200, 77), QColor(77, 77, 77));
    QCOMPARE(Qt3::fromHsv(360, 255, 255), QColor(255, 0, 0));
    QCOMPARE(Qt3::fromHsv(420, 255, 255), Qt3::fromHsv(60, 255, 255));
    QVERIFY(!Qt3::fromHsv(-2, 0, 0).isValid());
    QVERIFY(!Qt3::fromHsv(0, 256, 0).isValid());
    QVERIFY(!Qt3::fromHsv(0, 0, -1).isValid());
}

void TestCompat::darkAndLightHandComputed()
{
    QCOMPARE(Qt3::dark(QColor(100, 150, 200)), QColor(50, 75, 100));
    QCOMPARE(Qt3::light(QColor(255, 0, 0)), QColor(255, 127, 127));
    // Factors below 100 swap the direction; <= 0 and invalid colours pass through.
    QCOMPARE(Qt3::dark(QColor(100, 150, 200), 50), Qt3::light(QColor(100, 150, 200), 200));
    QCOMPARE(Qt3::light(QColor(100, 150, 200), 50), Qt3::dark(QColor(100, 150, 200), 200));
    QCOMPARE(Qt3::dark(QColor(1, 2, 3), 0), QColor(1, 2, 3));
    QCOMPARE(Qt3::light(QColor(1, 2, 3), -4), QColor(1, 2, 3));
    QVERIFY(!Qt3::dark(QColor()).isValid());
    // Huge factors do not overflow: value capped, saturation used up.
    QCOMPARE(Qt3::light(QColor(10, 20, 30), INT_MAX), QColor(255, 255, 255));
    QCOMPARE(Qt3::dark(QColor(10, 20, 30), INT_MAX), QColor(0, 0, 0));
    // Alpha is kept.
    QCOMPARE(Qt3::dark(QColor(100, 150, 200, 128)).alpha(), 128);
}

void TestCompat::colourRoundTrips()
{
    // RGB colours survive hsv -> fromHsv to within 2 per channel (whole-degree hues; over all
    // 2^24 colours 2 is the maximum).
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
            for (int b = 0; b < 256; b += 15) {
                int h, s, v;
                Qt3::hsv(QColor(r, g, b), &h, &s, &v);
                const QColor back = Qt3::fromHsv(h, s, v);
                QVERIFY(qAbs(back.red() - r) <= 2 && qAbs(back.green() - g) <= 2 && qAbs(back.blue() - b) <= 2);
            }
}

void TestCompat::colourDiffersFromQt6()
{
    // A hand-computed case: (0,60,250) is hue 226, saturation 255, value 250; dark(200) halves
    // the value to 125 and the odd sextant gives green (250 * 3570 + 15300) / 30600 = 29.
    QCOMPARE(Qt3::dark(QColor(0, 60, 250)), QColor(0, 29, 125));
    QCOMPARE(QColor(0, 60, 250).darker(200).rgb(), qRgb(0, 30, 125));

    // Over a grid of colours a large share differs (over all 2^24 colours: dark 7 319 993,
    // light 9 302 307, hsv 7 964 574), never by more than 2 per channel for dark(200). Compare
    // 8-bit values: Qt 6 colours carry 16-bit channels.
    int darkDiffs = 0, lightDiffs = 0, hueDiffs = 0, total = 0;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const QColor c(r, g, b);
                const QColor q3 = Qt3::dark(c, 200), q6 = c.darker(200);
                if (q3.rgb() != q6.rgb()) {
                    ++darkDiffs;
                    QVERIFY(qAbs(q3.red() - q6.red()) <= 2 && qAbs(q3.green() - q6.green()) <= 2
                            && qAbs(q3.blue() - q6.blue()) <= 2);
                }
                if (Qt3::light(c, 150).rgb() != c.lighter(150).rgb())
                    ++lightDiffs;
                int h3, h6, s, v;
                Qt3::hsv(c, &h3, &s, &v);
                c.getHsv(&h6, &s, &v);
                if (h3 != h6)
                    ++hueDiffs;
                ++total;
            }
    QVERIFY2(darkDiffs > total / 4, qPrintable(QString::number(darkDiffs)));
    QVERIFY2(lightDiffs > total / 4, qPrintable(QString::number(lightDiffs)));
    QVERIFY2(hueDiffs > total / 4, qPrintable(QString::number(hueDiffs)));
}

QTEST_MAIN(TestCompat)
#include "tst_compat.moc"
