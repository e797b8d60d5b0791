// The range slider base (CSlider_Orvel) as a plain style-drawn slider: signal order of the
// pointer, drag without tracking, middle-button jump, snap-back, paging repeat, the shared wheel
// accumulator, the key table and the wrong-state warning.
#include "binding/services.h"
#include "sliders/cslider.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

namespace {

// The smallest concrete slider: no flip unless asked, no display table.
class PlainSlider : public CSlider_Orvel
{
public:
    using CSlider_Orvel::CSlider_Orvel;
    using CSlider_Orvel::dragState;
    using CSlider_Orvel::handlePos;
    using CSlider_Orvel::handleValue;
    using CSlider_Orvel::repeatTimer;
    int applyFlipedTransformation(int v, int min, int max) const override { return flip ? max + min - v : v; }
    int tableId() const override { return 0; }
    bool flip = false;
};

class EditorRoot : public QWidget, public IEditorExtensions
{
};

void mouse(QWidget* w, QEvent::Type type, const QPoint& local, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

bool wheel(QWidget* w, int delta, const QPoint& at)
{
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
    return e.isAccepted();
}

// Every slider signal in one log.
struct Log
{
    explicit Log(CSlider_Orvel* s)
    {
        QObject::connect(s, &CSlider_Orvel::valueChanged, [this](int v) { lines << QStringLiteral("valueChanged(%1)").arg(v); });
        QObject::connect(s, &CSlider_Orvel::sliderPressed, [this] { lines << QStringLiteral("pressed"); });
        QObject::connect(s, &CSlider_Orvel::sliderMoved, [this](int v) { lines << QStringLiteral("moved(%1)").arg(v); });
        QObject::connect(s, &CSlider_Orvel::sliderReleased, [this] { lines << QStringLiteral("released"); });
        QObject::connect(s, &CSlider_Orvel::alternativeDisplayBegin, [this] { lines << QStringLiteral("altBegin"); });
        QObject::connect(s, &CSlider_Orvel::alternativeDisplayEnd, [this] { lines << QStringLiteral("altEnd"); });
    }
    QStringList lines;
};

} // namespace

class TestSlider : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void identityAndProperties()
    {
        PlainSlider s;
        QCOMPARE(s.metaObject()->className(), "CSlider");
        QCOMPARE(s.qt_metacast("QRangeControl"), static_cast<void*>(static_cast<Qt3::RangeControl*>(&s)));
        QCOMPARE(s.orientation(), Qt::Vertical);
        QCOMPARE(s.sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(s.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);

        // A policy nobody set is transposed with the orientation; one set from outside is kept.
        s.setOrientation(Qt::Horizontal);
        QCOMPARE(s.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        s.setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        s.setOrientation(Qt::Vertical);
        QCOMPARE(s.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);

        s.setTickInterval(-5);
        QCOMPARE(s.tickInterval(), 0);
        QVERIFY(s.setProperty("tickmarks", "Both"));
        QCOMPARE(s.tickmarks(), CSlider_Orvel::Both);
        QVERIFY(QMetaObject::invokeMethod(&s, "setValue", Q_ARG(int, 150)));
        QCOMPARE(s.value(), 99);

        // The full constructor shows its value on the handle before the first range change.
        PlainSlider full(-50, 50, 5, 20, Qt::Horizontal, nullptr, "full");
        QCOMPARE(full.objectName(), QStringLiteral("full"));
        QCOMPARE(full.handleValue, 20);
        QCOMPARE(full.handlePos, 0);
        QVERIFY(full.minimumSizeHint().width() < full.sizeHint().width());
    }

    // Press and release on the handle, a right-button press, and a middle-button jump.
    void pressSignalOrder()
    {
        PlainSlider s(Qt::Horizontal, nullptr);
        s.resize(200, 30);
        s.setValue(50);
        Log log(&s);
        const QPoint onHandle = s.sliderRect().center();
        mouse(&s, QEvent::MouseButtonPress, onHandle, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(s.dragState, CSlider_Orvel::Dragging);
        mouse(&s, QEvent::MouseButtonRelease, onHandle, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(log.lines, QStringList({"altBegin", "valueChanged(50)", "pressed", "released", "altEnd"}));

        log.lines.clear();
        mouse(&s, QEvent::MouseButtonPress, QPoint(5, 15), Qt::RightButton, Qt::RightButton);
        QVERIFY(log.lines.isEmpty());
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
        mouse(&s, QEvent::MouseButtonRelease, QPoint(5, 15), Qt::RightButton, Qt::NoButton);
        QCOMPARE(log.lines, QStringList({"altEnd"}));

        // The middle button centres the handle on the pointer and drags from there.
        log.lines.clear();
        const int len = s.getSlideLength();
        mouse(&s, QEvent::MouseButtonPress, QPoint(150, 15), Qt::MiddleButton, Qt::MiddleButton);
        // The style snaps the handle to the value it lands on: at most a pixel away.
        QVERIFY(qAbs(s.handlePos - (150 - len / 2)) <= 1);
        QCOMPARE(s.dragState, CSlider_Orvel::Dragging);
        QVERIFY(!log.lines.contains(QStringLiteral("pressed")));
        QCOMPARE(s.value(), s.handleValue);
        mouse(&s, QEvent::MouseButtonRelease, QPoint(150, 15), Qt::MiddleButton, Qt::NoButton);
        QCOMPARE(log.lines.last(), QStringLiteral("altEnd"));
    }

    // Without tracking a drag moves the handle and reports it; the value follows at release.
    void dragWithoutTracking()
    {
        PlainSlider s(Qt::Horizontal, nullptr);
        s.resize(200, 30);
        s.setTracking(false);
        Log log(&s);
        QPoint p = s.sliderRect().center();
        mouse(&s, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        for (int i = 0; i < 3; ++i) {
            p.rx() += 20;
            mouse(&s, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        }
        QCOMPARE(s.value(), 0);
        QCOMPARE(log.lines.filter(QStringLiteral("moved(")).size(), 3);
        QVERIFY(s.handleValue > 0);
        const int shown = s.handleValue;
        mouse(&s, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(s.value(), shown);
        QCOMPARE(log.lines.mid(log.lines.size() - 3),
                 QStringList({QStringLiteral("valueChanged(%1)").arg(shown), "released", "altEnd"}));
    }

    // A style with a drag limit (Windows: 60 pixels) snaps the handle back far outside.
    void dragDistanceSnapBack()
    {
        std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(windows);
        PlainSlider s(Qt::Horizontal, nullptr);
        s.setStyle(windows.get());
        s.resize(200, 30);
        s.setValue(20);
        QPoint p = s.sliderRect().center();
        mouse(&s, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        p.rx() += 60;
        mouse(&s, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        const int dragged = s.value();
        QVERIFY(dragged > 20);
        mouse(&s, QEvent::MouseMove, QPoint(p.x(), 30 + 3 * 60 + 5), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(s.value(), 20);
        mouse(&s, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(s.value(), dragged);
        mouse(&s, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }

    // A held click beside the handle pages at once, after 300 ms, then every 100 ms; release
    // stops it, and the timer is made once.
    void pagingRepeat()
    {
        PlainSlider s;
        s.resize(30, 300);
        QSignalSpy changed(&s, &CSlider_Orvel::valueChanged);
        const QPoint below(15, 290);
        mouse(&s, QEvent::MouseButtonPress, below, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(s.value(), 10);
        QCOMPARE(s.dragState, CSlider_Orvel::PagingUp);
        QVERIFY(s.repeatTimer && s.repeatTimer->isSingleShot());
        QCOMPARE(s.repeatTimer->interval(), 300);
        QTRY_COMPARE(s.value(), 20);
        QCOMPARE(s.repeatTimer->interval(), 100);
        QVERIFY(!s.repeatTimer->isSingleShot());
        QTRY_VERIFY(s.value() >= 40);
        mouse(&s, QEvent::MouseButtonRelease, below, Qt::LeftButton, Qt::NoButton);
        const int stopped = s.value();
        QVERIFY(!s.repeatTimer->isActive());
        QTest::qWait(250);
        QCOMPARE(s.value(), stopped);

        // Above the handle pages down; the same timer is used again.
        QTimer* timer = s.repeatTimer;
        mouse(&s, QEvent::MouseButtonPress, QPoint(15, 2), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(s.value(), stopped - 10);
        QCOMPARE(s.dragState, CSlider_Orvel::PagingDown);
        QTRY_VERIFY(s.value() <= stopped - 20);
        mouse(&s, QEvent::MouseButtonRelease, QPoint(15, 2), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(s.repeatTimer, timer);
        QCOMPARE(s.findChildren<QTimer*>().size(), 1);
    }

    void wheel_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("horDir");
        QTest::addColumn<bool>("flip");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("expected");
        QTest::newRow("delta 40, steps 1: nothing") << 1 << 1 << false << false << 40 << 50;
        QTest::newRow("forward, horDir off: down a page") << 1 << 10 << false << false << 120 << 40;
        QTest::newRow("forward, horDir on: up a page") << 1 << 10 << true << false << 120 << 60;
        QTest::newRow("flipped direction") << 1 << 10 << true << true << 120 << 40;
        QTest::newRow("two notches at once") << 1 << 10 << true << false << 240 << 70;
    }
    void wheel()
    {
        QFETCH(int, line);
        QFETCH(int, page);
        QFETCH(bool, horDir);
        QFETCH(bool, flip);
        QFETCH(int, delta);
        QFETCH(int, expected);
        EditorRoot root;
        PlainSlider s(&root);
        s.setGeometry(0, 0, 30, 200);
        s.setSteps(line, page);
        s.setHorDir(horDir);
        s.flip = flip;
        s.setValue(50);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        root.setFocusPolicy(Qt::StrongFocus);
        s.setFocus();
        for (int i = 0; i < 3 && expected == 50; ++i)
            QVERIFY(!::wheel(&s, delta, QPoint(10, 10))); // not accepted: nothing accumulates
        if (expected != 50) {
            QVERIFY(::wheel(&s, delta, QPoint(10, 10)));
            QVERIFY(root.hasFocus()); // the editor's root takes the keyboard focus
        }
        QCOMPARE(s.value(), expected);
        QVERIFY(!::wheel(&s, 120, QPoint(40, 10))); // outside the slider
        QCOMPARE(s.value(), expected);
    }

    void keys_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("horDir");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("accepted");
        const int h = Qt::Horizontal, v = Qt::Vertical;
        QTest::newRow("left, horizontal") << h << false << int(Qt::Key_Left) << 49 << true;
        QTest::newRow("left, vertical: nothing") << v << false << int(Qt::Key_Left) << 50 << true;
        QTest::newRow("right, horizontal") << h << false << int(Qt::Key_Right) << 51 << true;
        QTest::newRow("up, vertical") << v << false << int(Qt::Key_Up) << 51 << true;
        QTest::newRow("up, horizontal: nothing") << h << false << int(Qt::Key_Up) << 50 << true;
        QTest::newRow("down, vertical") << v << false << int(Qt::Key_Down) << 49 << true;
        QTest::newRow("page up") << v << false << int(Qt::Key_PageUp) << 60 << true;
        QTest::newRow("page down") << h << false << int(Qt::Key_PageDown) << 40 << true;
        QTest::newRow("home, horDir off: maximum") << v << false << int(Qt::Key_Home) << 99 << true;
        QTest::newRow("home, horDir on: minimum") << v << true << int(Qt::Key_Home) << 0 << true;
        QTest::newRow("end, horDir off: minimum") << h << false << int(Qt::Key_End) << 0 << true;
        QTest::newRow("end, horDir on: maximum") << h << true << int(Qt::Key_End) << 99 << true;
        QTest::newRow("other keys are passed on") << v << false << int(Qt::Key_A) << 50 << false;
    }
    void keys()
    {
        QFETCH(int, orientation);
        QFETCH(bool, horDir);
        QFETCH(int, key);
        QFETCH(int, expected);
        QFETCH(bool, accepted);
        PlainSlider s(Qt::Orientation(orientation), nullptr);
        s.setHorDir(horDir);
        s.setValue(50);
        // The change runs while the state reads Dragging; the state comes back afterwards.
        QList<int> states;
        connect(&s, &CSlider_Orvel::valueChanged, this, [&] { states << s.dragState; });
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&s, &e);
        QCOMPARE(s.value(), expected);
        QCOMPARE(e.isAccepted(), accepted);
        QCOMPARE(states, expected == 50 ? QList<int>() : QList<int>({CSlider_Orvel::Dragging}));
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
    }

    void wrongStateWarning()
    {
        PlainSlider s;
        s.resize(30, 200);
        s.dragState = CSlider_Orvel::DragState(7);
        QTest::ignoreMessage(QtWarningMsg, "CSlider: (unnamed) in wrong state");
        mouse(&s, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
        s.setObjectName(QStringLiteral("volume"));
        s.dragState = CSlider_Orvel::DragState(-1);
        QTest::ignoreMessage(QtWarningMsg, "CSlider: (volume) in wrong state");
        mouse(&s, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::RightButton);
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
    }
};

QTEST_MAIN(TestSlider)
#include "tst_slider.moc"
