// The range slider base (CSlider_Orvel) as a plain style-drawn slider: signal order of the
// pointer, drag without tracking, middle-button jump, snap-back, paging repeat, the shared wheel
// accumulator, the key table and the wrong-state warning.
#include "sliders/cslider.h"
#include "support/controlpictures.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

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
        QVERIFY(QMetaObject::invokeMethod(&s, "setValue", Q_ARG(int, 150)));
        QCOMPARE(s.value(), 99);

        // The full constructor shows its value on the handle before the first range change.
        PlainSlider full(-50, 50, 5, 20, Qt::Horizontal, nullptr, "full");
        QCOMPARE(full.objectName(), QStringLiteral("full"));
        QCOMPARE(full.handleValue, 20);
        QCOMPARE(full.handlePos, 0);
        QVERIFY(full.minimumSizeHint().width() < full.sizeHint().width());
    }

    // Press and release on the handle, a right-button press, a middle-button jump, and a drag
    // without tracking.
    void pointerSignalOrder()
    {
        PlainSlider s(Qt::Horizontal, nullptr);
        s.resize(200, 30);
        s.setValue(50);
        Log log(&s);
        const QPoint onHandle = s.sliderRect().center();
        press(&s, onHandle);
        QCOMPARE(s.dragState, CSlider_Orvel::Dragging);
        release(&s, onHandle);
        QCOMPARE(log.lines, QStringList({"altBegin", "valueChanged(50)", "pressed", "released", "altEnd"}));

        log.lines.clear();
        press(&s, QPoint(5, 15), Qt::RightButton);
        QVERIFY(log.lines.isEmpty());
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
        release(&s, QPoint(5, 15), Qt::RightButton);
        QCOMPARE(log.lines, QStringList({"altEnd"}));

        // The middle button centres the handle on the pointer and drags from there.
        log.lines.clear();
        press(&s, QPoint(150, 15), Qt::MiddleButton);
        // The style snaps the handle to the value it lands on: at most a pixel away.
        QVERIFY(qAbs(s.handlePos - (150 - s.getSlideLength() / 2)) <= 1);
        QCOMPARE(s.dragState, CSlider_Orvel::Dragging);
        QVERIFY(!log.lines.contains(QStringLiteral("pressed")));
        QCOMPARE(s.value(), s.handleValue);
        release(&s, QPoint(150, 15), Qt::MiddleButton);
        QCOMPARE(log.lines.last(), QStringLiteral("altEnd"));

        // Without tracking a drag moves the handle and reports it; the value follows at release.
        s.setValue(0);
        s.setTracking(false);
        log.lines.clear();
        QPoint p = s.sliderRect().center();
        press(&s, p);
        for (int i = 0; i < 3; ++i)
            moveTo(&s, p += QPoint(20, 0));
        QCOMPARE(s.value(), 0);
        QCOMPARE(log.lines.filter(QStringLiteral("moved(")).size(), 3);
        QVERIFY(s.handleValue > 0);
        const int shown = s.handleValue;
        release(&s, p);
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
        const QPoint p = s.sliderRect().center() + QPoint(60, 0);
        press(&s, p - QPoint(60, 0));
        moveTo(&s, p);
        const int dragged = s.value();
        QVERIFY(dragged > 20);
        moveTo(&s, QPoint(p.x(), 30 + 3 * 60 + 5));
        QCOMPARE(s.value(), 20);
        moveTo(&s, p);
        QCOMPARE(s.value(), dragged);
        release(&s, p);
    }

    // A held click beside the handle pages at once, after 300 ms, then every 100 ms; release
    // stops it, and the timer is made once.
    void pagingRepeat()
    {
        PlainSlider s;
        s.resize(30, 300);
        const QPoint below(15, 290);
        press(&s, below);
        QCOMPARE(s.value(), 10);
        QCOMPARE(s.dragState, CSlider_Orvel::PagingUp);
        QVERIFY(s.repeatTimer && s.repeatTimer->isSingleShot());
        QCOMPARE(s.repeatTimer->interval(), 300);
        QTRY_COMPARE(s.value(), 20);
        QCOMPARE(s.repeatTimer->interval(), 100);
        QVERIFY(!s.repeatTimer->isSingleShot());
        QTRY_VERIFY(s.value() >= 40);
        release(&s, below);
        const int stopped = s.value();
        QVERIFY(!s.repeatTimer->isActive());
        QTest::qWait(250);
        QCOMPARE(s.value(), stopped);

        // Above the handle pages down; the same timer is used again.
        QTimer* timer = s.repeatTimer;
        press(&s, QPoint(15, 2));
        QCOMPARE(s.value(), stopped - 10);
        QCOMPARE(s.dragState, CSlider_Orvel::PagingDown);
        QTRY_VERIFY(s.value() <= stopped - 20);
        release(&s, QPoint(15, 2));
        QCOMPARE(s.repeatTimer, timer);
        QCOMPARE(s.findChildren<QTimer*>().size(), 1);
    }

    void wheel_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("horDir");
        QTest::addColumn<bool>("flip");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("expected");
        QTest::newRow("delta 40, steps 1: nothing") << 1 << false << false << 40 << 50;
        QTest::newRow("forward, horDir off: down a page") << 10 << false << false << 120 << 40;
        QTest::newRow("forward, horDir on: up a page") << 10 << true << false << 120 << 60;
        QTest::newRow("flipped direction") << 10 << true << true << 120 << 40;
        QTest::newRow("two notches at once") << 10 << true << false << 240 << 70;
    }
    void wheel()
    {
        QFETCH(int, page);
        QFETCH(bool, horDir);
        QFETCH(bool, flip);
        QFETCH(int, delta);
        QFETCH(int, expected);
        EditorRoot root;
        PlainSlider s(&root);
        s.setGeometry(0, 0, 30, 200);
        s.setSteps(1, page);
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
        const int h = Qt::Horizontal, v = Qt::Vertical;
        QTest::newRow("left, horizontal") << h << false << int(Qt::Key_Left) << 49;
        QTest::newRow("left, vertical: nothing") << v << false << int(Qt::Key_Left) << 50;
        QTest::newRow("right, horizontal") << h << false << int(Qt::Key_Right) << 51;
        QTest::newRow("up, vertical") << v << false << int(Qt::Key_Up) << 51;
        QTest::newRow("up, horizontal: nothing") << h << false << int(Qt::Key_Up) << 50;
        QTest::newRow("down, vertical") << v << false << int(Qt::Key_Down) << 49;
        QTest::newRow("page up") << v << false << int(Qt::Key_PageUp) << 60;
        QTest::newRow("page down") << h << false << int(Qt::Key_PageDown) << 40;
        QTest::newRow("home, horDir off: maximum") << v << false << int(Qt::Key_Home) << 99;
        QTest::newRow("home, horDir on: minimum") << v << true << int(Qt::Key_Home) << 0;
        QTest::newRow("end, horDir off: minimum") << h << false << int(Qt::Key_End) << 0;
        QTest::newRow("end, horDir on: maximum") << h << true << int(Qt::Key_End) << 99;
        QTest::newRow("other keys are passed on") << v << false << int(Qt::Key_A) << 50;
    }
    void keys()
    {
        QFETCH(int, orientation);
        QFETCH(bool, horDir);
        QFETCH(int, key);
        QFETCH(int, expected);
        PlainSlider s(Qt::Orientation(orientation), nullptr);
        s.setHorDir(horDir);
        s.setValue(50);
        // The change runs while the state reads Dragging; the state comes back afterwards.
        QList<int> states;
        connect(&s, &CSlider_Orvel::valueChanged, this, [&] { states << s.dragState; });
        QCOMPARE(::key(&s, key), key != Qt::Key_A); // only the table's keys are taken
        QCOMPARE(s.value(), expected);
        QCOMPARE(states, expected == 50 ? QList<int>() : QList<int>({CSlider_Orvel::Dragging}));
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
    }

    void wrongStateWarning()
    {
        PlainSlider s;
        s.resize(30, 200);
        s.dragState = CSlider_Orvel::DragState(7);
        QTest::ignoreMessage(QtWarningMsg, "CSlider: (unnamed) in wrong state");
        release(&s, QPoint(5, 5));
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
        s.setObjectName(QStringLiteral("volume"));
        s.dragState = CSlider_Orvel::DragState(-1);
        QTest::ignoreMessage(QtWarningMsg, "CSlider: (volume) in wrong state");
        press(&s, QPoint(5, 5), Qt::RightButton);
        QCOMPARE(s.dragState, CSlider_Orvel::Idle);
    }
};

QTEST_MAIN(TestSlider)
#include "tst_slider.moc"
