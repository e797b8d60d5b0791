// The state display (slice choice, face, binding road, worker-thread notices, clicks) and the
// tab widget.
#include "status/ctabwidget.h"
#include "status/statedisplaywidget.h"
#include "support/recordingmemory.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <thread>

namespace {

QColor sliceColour(int i)
{
    return QColor(40 + i * 50, 220 - i * 60, 60);
}

QPixmap makeStrip(int slices, int w, int h)
{
    QImage image(w, slices * h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int i = 0; i < slices; ++i)
        p.fillRect(0, i * h, w, h, sliceColour(i));
    p.end();
    return QPixmap::fromImage(image);
}

QImage shot(QWidget* w)
{
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestStatus : public QObject
{
    Q_OBJECT

private slots:
    void identity();
    void sliceChoice_data();
    void sliceChoice();
    void faceAndPolish();
    void memoryRoad();
    void workerThreadRepaintsOncePerChange();
    void clicks();
};

void TestStatus::identity()
{
    StateDisplayWidget_Orvel lamp(nullptr, "lamp");
    QCOMPARE(lamp.metaObject()->className(), "StateDisplayWidget");
    QCOMPARE(lamp.metaObject()->superClass(), &QFrame::staticMetaObject);
    QCOMPARE(memProxyOf(&lamp), static_cast<TMemProxy_Orvel*>(&lamp));
    QVERIFY(lamp.objectName() == QLatin1String("lamp") && lamp.focusPolicy() == Qt::ClickFocus && !lamp.isUndoEnable());
    // The row count keeps its low 8 bits.
    lamp.setnSubImages(257);
    QCOMPARE(lamp.nSubImages(), 1);
    lamp.setProperty("nSubImages", -1);
    QCOMPARE(lamp.nSubImages(), 255);

    // The tab widget: getTabBar() is the bar that tabs added later appear in.
    CTabWidget_Orvel tabs(nullptr, "tabs");
    QCOMPARE(tabs.metaObject()->className(), "CTabWidget");
    QCOMPARE(tabs.metaObject()->superClass(), &QTabWidget::staticMetaObject);
    QTabBar* bar = tabs.getTabBar();
    QVERIFY(bar && bar->count() == 0 && tabs.objectName() == QLatin1String("tabs"));
    tabs.addTab(new QWidget, QStringLiteral("Osc"));
    tabs.addTab(new QWidget, QStringLiteral("Filter"));
    QCOMPARE(tabs.getTabBar(), bar);
    QCOMPARE(bar->tabText(1), QStringLiteral("Filter"));
}

void TestStatus::sliceChoice_data()
{
    QTest::addColumn<bool>("booleanLogic");
    QTest::addColumn<int>("slices");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("direct") << false << 4 << QList<int>{0, 1, 2, 3, 9, -5, INT_MIN}
                            << QList<int>{0, 1, 2, 3, 3, 0, 0};
    QTest::newRow("lamp, cmp 2") << true << 2 << QList<int>{2, 3, 0, -2} << QList<int>{1, 0, 0, 0};
    QTest::newRow("lamp, one slice") << true << 1 << QList<int>{2, 3} << QList<int>{0, 0};
    QTest::newRow("no slices") << false << 0 << QList<int>{0, 5} << QList<int>{-1, -1};
}

void TestStatus::sliceChoice()
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

void TestStatus::faceAndPolish()
{
    StateDisplayWidget_Orvel lamp;
    lamp.setCombinedImage(makeStrip(3, 20, 30));
    lamp.setnSubImages(3);
    lamp.ensurePolished();
    QCOMPARE(lamp.size(), QSize(20, 30));
    QCOMPARE(lamp.minimumSize(), lamp.maximumSize());
    // Before any value: slice 0.
    QCOMPARE(shot(&lamp).pixelColor(10, 15), sliceColour(0));
    lamp.setValue(2);
    QVERIFY(lamp.hasErasePixmap());
    QCOMPARE(lamp.erasePixmap().toImage().pixelColor(10, 15), sliceColour(2));
    QCOMPARE(shot(&lamp).pixelColor(10, 15), sliceColour(2));
    // Setters only store: the picture follows at the next value change.
    lamp.setBooleanLogic(true);
    QCOMPARE(shot(&lamp).pixelColor(10, 15), sliceColour(2));
    lamp.setValue(0); // equals cmpValue 0: the "on" slice
    QCOMPARE(shot(&lamp).pixelColor(10, 15), sliceColour(1));
    // No slices: nothing is drawn.
    lamp.setnSubImages(0);
    lamp.setValue(1);
    QCOMPARE(shot(&lamp).pixelColor(10, 15).alpha(), 0);
}

void TestStatus::memoryRoad()
{
    RecordingMemory memory;
    memory.setParameter(1, 2, 5, {0, 3, 2, 0, {}, true});
    memory.addName(QStringLiteral("lamp"), TParamAddress{1, 2, 5, 3});
    StateDisplayWidget_Orvel lamp;
    memory.nameProxy(&lamp, QStringLiteral("lamp"));
    lamp.setnSubImages(4);
    lamp.setNamedAddress(QStringLiteral("lamp"));
    lamp.setMemAPI(&memory);
    // Connecting reads the value at once, with `silent` raised around it.
    QCOMPARE(memory.calls().filter(QRegularExpression("^(connect|current)")),
             QStringList({QStringLiteral("connectProxy(lamp,%1,0)").arg(packAddress(1, 2, 5)),
                          "currentValue(1,2,5,0,0)"}));
    QCOMPARE(lamp.value(), 2);
    QCOMPARE(lamp.silent, quint8(0));

    // Only operation 0 is honoured. setValueFromData writes; the lamp changes only when the
    // memory's notice comes back.
    memory.clearCalls();
    lamp.process(nullptr, 1, 0);
    lamp.process(nullptr, 3, 0);
    memory.setNotifyOnWrite(false);
    lamp.setValueFromData(3);
    QCOMPARE(memory.calls(), QStringList({"setValue(1,2,5,3,noundo:lamp,1)"}));
    QCOMPARE(lamp.value(), 2);
    lamp.process(nullptr, 0, 0);
    QCOMPARE(lamp.value(), 3);
}

void TestStatus::workerThreadRepaintsOncePerChange()
{
    RecordingMemory memory;
    memory.setParameter(1, 2, 5, {0, 9, 0, 0, {}, true});
    memory.addName(QStringLiteral("lamp"), TParamAddress{1, 2, 5, 0});
    StateDisplayWidget_Orvel lamp;
    lamp.setCombinedImage(makeStrip(4, 8, 8));
    lamp.setnSubImages(4);
    lamp.setNamedAddress(QStringLiteral("lamp"));
    lamp.setMemAPI(&memory);
    lamp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lamp));
    PaintCounter counter;
    lamp.installEventFilter(&counter);

    for (const int value : {3, 1}) {
        counter.paints = 0;
        // Two notices of one change: the first shows it, the second changes nothing.
        std::thread worker([&] {
            memory.hostWrite(1, 2, 5, value);
            lamp.process(nullptr, 0, 0);
        });
        worker.join();
        QCOMPARE(lamp.value(), value == 3 ? 0 : 3); // nothing happens off the GUI thread
        QTRY_COMPARE(lamp.value(), value);
        QTRY_COMPARE(counter.paints, 1);
        lamp.process(nullptr, 0, 0); // the same value again
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 1);
        QCOMPARE(shot(&lamp).pixelColor(4, 4), sliceColour(value));
    }

    // Deleted while a notice is pending: the notice is dropped.
    auto* doomed = new StateDisplayWidget_Orvel;
    doomed->setNamedAddress(QStringLiteral("lamp"));
    doomed->setMemAPI(&memory);
    std::thread worker([&] { memory.hostWrite(1, 2, 5, 7); });
    worker.join();
    delete doomed;
    QTRY_COMPARE(lamp.value(), 7);
}

void TestStatus::clicks()
{
    RecordingMemory memory;
    memory.setParameter(1, 2, 5, {0, 3, 0, 0, {}, true});
    memory.addName(QStringLiteral("lamp"), TParamAddress{1, 2, 5, -9});
    QWidget window;
    window.resize(100, 100);
    auto* lamp = new StateDisplayWidget_Orvel(&window);
    lamp->setGeometry(10, 10, 16, 16);
    lamp->setNamedAddress(QStringLiteral("lamp"));
    lamp->setMemAPI(&memory);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(lamp, &StateDisplayWidget_Orvel::clicked);

    // Press inside, release outside: still a click, with address low + low offset.
    QTest::mousePress(lamp, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(60, 60));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 5 - 9);
    // Other buttons, and a release without a press, do nothing.
    QTest::mouseClick(lamp, Qt::RightButton, {}, QPoint(4, 4));
    QTest::mouseRelease(lamp, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestStatus)
#include "tst_status.moc"
