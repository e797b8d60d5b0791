// The state display (slice choice, face, binding road, worker-thread notices, clicks) and the
// tab widget.
#include "status/ctabwidget.h"
#include "status/statedisplaywidget.h"
#include "support/recordingmemory.h"
#include "support/controlpictures.h"

#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <thread>


namespace {

// Binds `lamp` (proxy name "lamp") to parameter 1:2:5, named "lamp" with the low offset given.
void bind(RecordingMemory& memory, StateDisplayWidget_Orvel* lamp, const RecordingMemory::Param& param, int lowOffset = 0)
{
    memory.setParameter(1, 2, 5, param);
    memory.addName(QStringLiteral("lamp"), TParamAddress{1, 2, 5, qint16(lowOffset)});
    memory.nameProxy(lamp, QStringLiteral("lamp"));
    lamp->setNamedAddress(QStringLiteral("lamp"));
    lamp->setMemAPI(&memory);
}

} // namespace

class TestStatus : public QObject
{
    Q_OBJECT

private slots:
    void identity()
    {
        StateDisplayWidget_Orvel lamp(nullptr, "lamp");
        QCOMPARE(memProxyOf(&lamp), static_cast<TMemProxy_Orvel*>(&lamp));
        QVERIFY(lamp.objectName() == QLatin1String("lamp") && lamp.focusPolicy() == Qt::ClickFocus);
        // The row count keeps its low 8 bits.
        lamp.setnSubImages(257);
        QCOMPARE(lamp.nSubImages(), 1);
        lamp.setProperty("nSubImages", -1);
        QCOMPARE(lamp.nSubImages(), 255);

        // The tab widget: getTabBar() is the bar that tabs added later appear in.
        CTabWidget_Orvel tabs(nullptr, "tabs");
        QTabBar* bar = tabs.getTabBar();
        tabs.addTab(new QWidget, QStringLiteral("Osc"));
        QVERIFY(bar && tabs.getTabBar() == bar && bar->tabText(0) == QLatin1String("Osc"));
        QCOMPARE(tabs.objectName(), QStringLiteral("tabs"));
    }

    void sliceChoice_data()
    {
        QTest::addColumn<bool>("booleanLogic");
        QTest::addColumn<int>("slices");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("direct") << false << 4 << QList<int>{0, 1, 2, 3, 9, -5, INT_MIN} << QList<int>{0, 1, 2, 3, 3, 0, 0};
        QTest::newRow("lamp, cmp 2") << true << 2 << QList<int>{2, 3, 0, -2} << QList<int>{1, 0, 0, 0};
        QTest::newRow("lamp, one slice") << true << 1 << QList<int>{2, 3} << QList<int>{0, 0};
        QTest::newRow("no slices") << false << 0 << QList<int>{0, 5} << QList<int>{-1, -1};
    }
    void sliceChoice()
    {
        QFETCH(bool, booleanLogic);
        QFETCH(int, slices);
        QFETCH(QList<int>, values);
        QFETCH(QList<int>, ids);
        StateDisplayWidget_Orvel lamp;
        lamp.setBooleanLogic(booleanLogic);
        lamp.setCmpValue(2);
        lamp.setnSubImages(slices);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(lamp.pixmapId(values[i]), ids[i]);
    }

    void faceAndPolish()
    {
        StateDisplayWidget_Orvel lamp;
        lamp.setCombinedImage(makeStrip(1, 3, 20, 30));
        // Before polish a layout already sees one slice; the hint follows the row count.
        QCOMPARE(lamp.sizeHint(), QSize(20, 90));
        lamp.setnSubImages(3);
        QCOMPARE(lamp.sizeHint(), QSize(20, 30));
        lamp.ensurePolished();
        QCOMPARE(lamp.size(), QSize(20, 30));
        QCOMPARE(lamp.minimumSize(), lamp.maximumSize());
        QCOMPARE(at(&lamp, 10, 15), cellColour(0, 0).rgb()); // before any value: slice 0
        lamp.setValue(2);
        QCOMPARE(lamp.erasePixmap().toImage().pixel(10, 15), cellColour(0, 2).rgb());
        QCOMPARE(at(&lamp, 10, 15), cellColour(0, 2).rgb());
        // Setters only store: the picture follows at the next value change.
        lamp.setBooleanLogic(true);
        QCOMPARE(at(&lamp, 10, 15), cellColour(0, 2).rgb());
        lamp.setValue(0); // equals cmpValue 0: the "on" slice
        QCOMPARE(at(&lamp, 10, 15), cellColour(0, 1).rgb());
        lamp.setnSubImages(0); // no slices: nothing is drawn
        lamp.setValue(1);
        QCOMPARE(qAlpha(at(&lamp, 10, 15)), 0);
    }

    void memoryRoadAndClicks()
    {
        RecordingMemory memory;
        QWidget window;
        window.resize(100, 100);
        auto* lamp = new StateDisplayWidget_Orvel(&window);
        lamp->setGeometry(10, 10, 16, 16);
        lamp->setnSubImages(4);
        bind(memory, lamp, {0, 3, 2, 0, {}, true}, -9);
        // Connecting reads the value at once, with `silent` raised around it.
        QCOMPARE(memory.calls().filter(QRegularExpression("^(connect|current)")),
                 QStringList({QStringLiteral("connectProxy(lamp,%1,0)").arg(packAddress(1, 2, 5)),
                              "currentValue(1,2,5,0,0)"}));
        QCOMPARE(lamp->value(), 2);
        QCOMPARE(lamp->silent, quint8(0));

        // Only operation 0 is honoured. setValueFromData writes; the lamp changes only when the
        // memory's notice comes back.
        memory.clearCalls();
        lamp->process(nullptr, 1, 0);
        lamp->process(nullptr, 3, 0);
        memory.setNotifyOnWrite(false);
        lamp->setValueFromData(3);
        QCOMPARE(memory.calls(), QStringList({"setValue(1,2,5,3,noundo:lamp,1)"}));
        QCOMPARE(lamp->value(), 2);
        lamp->process(nullptr, 0, 0);
        QCOMPARE(lamp->value(), 3);

        // A left press and its release, wherever it lands, are a click on the channel address
        // low + low offset; other buttons, and a release without a press, do nothing.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(lamp, &StateDisplayWidget_Orvel::clicked);
        QTest::mousePress(lamp, Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(60, 60));
        QTest::mouseClick(lamp, Qt::RightButton, {}, QPoint(4, 4));
        QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(clicked, QList<QList<QVariant>>({{5 - 9}}));
    }

    void workerThreadRepaintsOncePerChange()
    {
        RecordingMemory memory;
        StateDisplayWidget_Orvel lamp;
        lamp.setCombinedImage(makeStrip(1, 4, 8, 8));
        lamp.setnSubImages(4);
        bind(memory, &lamp, {0, 9, 0, 0, {}, true});
        lamp.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lamp));
        PaintCounter counter;
        lamp.installEventFilter(&counter);

        for (const int value : {3, 1}) {
            counter.paints = 0;
            // Two notices of one change: the first shows it, the second changes nothing.
            std::thread([&] {
                memory.hostWrite(1, 2, 5, value);
                lamp.process(nullptr, 0, 0);
            }).join();
            QCOMPARE(lamp.value(), value == 3 ? 0 : 3); // nothing happens off the GUI thread
            QTRY_COMPARE(lamp.value(), value);
            QTRY_COMPARE(counter.paints, 1);
            lamp.process(nullptr, 0, 0); // the same value again
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            QCOMPARE(counter.paints, 1);
            QCOMPARE(at(&lamp, 4, 4), cellColour(0, value).rgb());
        }

        // Deleted while a notice is pending: the notice is dropped.
        auto* doomed = new StateDisplayWidget_Orvel;
        doomed->setNamedAddress(QStringLiteral("lamp"));
        doomed->setMemAPI(&memory);
        std::thread([&] { memory.hostWrite(1, 2, 5, 7); }).join();
        delete doomed;
        QTRY_COMPARE(lamp.value(), 7);
    }
};

QTEST_MAIN(TestStatus)
#include "tst_status.moc"
