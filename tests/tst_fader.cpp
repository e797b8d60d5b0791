// The fader: its memory road, write-back with blocked signals, flip and memory-side position
// mapping, thumb rows, partial repaints of a handle move, the value tip and typed numbers, and
// bad input.
#include "fader/cfader.h"
#include "fader/cfadertip.h"
#include "support/controlpictures.h"
#include "support/recordingmemory.h"

#include <QPointer>
#include <QTest>
#include <QTimer>

#include <thread>

namespace {

const QColor kBackground(10, 20, 30);

// Records the region of every paint event.
class PaintRecorder : public QObject
{
public:
    QList<QRegion> regions;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            regions << static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

// A 40 x 200 fader with a 3-row thumb (40 x 20 cells) and a plain background in a shown window,
// ready to be bound to parameter 1:2:3 ("level") of a recording memory; texts logged.
struct Rig
{
    explicit Rig(const RecordingMemory::Param& param = {0, 127, 64, 10, {}, true})
    {
        fader = new CFader_Orvel(&window, "ignored");
        fader->setGeometry(0, 0, 40, 200);
        fader->setThumbImage(makeStrip(1, 3, QSize(40, 20)));
        fader->setnSubImages(3);
        QPixmap background(40, 200);
        background.fill(kBackground);
        fader->setPixmap(background);
        memory.setParameter(1, 2, 3, param);
        memory.addName(QStringLiteral("level"), TParamAddress{1, 2, 3, 0});
        memory.nameProxy(fader, QStringLiteral("fader"));
        QObject::connect(fader, &CFader_Orvel::textualValueChange, [this](const QString& t) { log << t; });
        window.resize(100, 220);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("the fader's window was not exposed");
    }
    void bind()
    {
        fader->setNamedAddress(QStringLiteral("level"));
        fader->setMemAPI(&memory);
    }
    void reset()
    {
        QCoreApplication::processEvents();
        memory.clearCalls();
        log.clear();
    }
    QImage shot() { return fader->grab().toImage(); }
    int thumbTop() const { return fader->sliderRect().top(); } // handlePos along the groove

    QWidget window;
    RecordingMemory memory;
    QPointer<CFader_Orvel> fader;
    QStringList log;
};

} // namespace

class TestFader : public QObject
{
    Q_OBJECT

private slots:
    void identityAndMemoryRoad()
    {
        Rig rig;
        CFader_Orvel* f = rig.fader;
        QCOMPARE(f->metaObject()->className(), "CFader");
        QCOMPARE(f->metaObject()->superClass()->className(), "CSlider");
        QCOMPARE(f->qt_metacast("TMemProxy"), static_cast<void*>(static_cast<TMemProxyBasic*>(f)));
        QVERIFY(f->objectName().isEmpty());
        QCOMPARE(f->sizeHint(), QSize(40, 80));
        // Five bits of rows.
        f->setNSubImages(33);
        QCOMPARE(f->nSubImages(), 1);
        QVERIFY(f->setProperty("nSubImages", 32));
        QCOMPARE(f->nSubImages(), 0);
        f->setnSubImages(3); // the rig's strip again: the thumb height sets the slide

        rig.bind();
        // Connecting registers only: the fader keeps its own range until the memory reports.
        QCOMPARE(rig.memory.calls(), QStringList({"proxyAttached(fader,1)", "resolveAddress(level)",
                                                  QStringLiteral("connectProxy(fader,%1,0)").arg(packAddress(1, 2, 3))}));
        QCOMPARE(rig.fader->maxValue(), 1023);

        rig.reset();
        rig.fader->process(nullptr, 0, 0);
        QCOMPARE(rig.memory.calls(),
                 QStringList({"maximum(1,2,3,0)", "minimum(1,2,3,0)", "positionForValue(180,1,2,0)",
                              "currentValue(1,2,3,0,0)", "positionForValue(180,1,2,64)",
                              "formatValue(3,5,text,nopixmap,64,0,0,0)"}));
        QCOMPARE(rig.log, QStringList({"5:64"}));
        QCOMPARE(rig.thumbTop(), 91); // the memory has no curve: the linear mapping

        // The same value again: nothing to emit.
        rig.reset();
        rig.fader->process(nullptr, 0, 0);
        QCOMPARE(rig.memory.calls(), QStringList({"maximum(1,2,3,0)", "minimum(1,2,3,0)", "currentValue(1,2,3,0,0)"}));
        QVERIFY(rig.log.isEmpty());

        // A user edit writes and formats; it does not read the value back.
        rig.memory.setNotifyOnWrite(false);
        rig.reset();
        key(rig.fader, Qt::Key_PageUp);
        QCOMPARE(rig.memory.calls(), QStringList({"positionForValue(180,1,2,74)", "setValue(1,2,3,74,undo:fader,1)",
                                                  "formatValue(3,5,text,nopixmap,74,0,0,0)"}));

        // A click beside the thumb of a bound fader does not page.
        press(rig.fader, QPoint(20, 195));
        release(rig.fader, QPoint(20, 195));
        QCOMPARE(rig.fader->value(), 74);
        QVERIFY(!rig.fader->findChild<QTimer*>());

        // A reset to the default is written back; off the GUI thread only a notice is posted.
        rig.reset();
        rig.fader->reset2defaults();
        QVERIFY(rig.memory.calls().contains(QStringLiteral("setValue(1,2,3,10,undo:fader,1)")));
        rig.reset();
        std::thread worker([&] { rig.fader->process(nullptr, 0, 0); });
        worker.join();
        QCOMPARE(rig.memory.calls(), QStringList({"postObserverEvent(fader)"}));

        // With signals blocked the edit is written at once and its text retried until they
        // are unblocked; a fader deleted before the retry gets nothing.
        rig.reset();
        rig.fader->blockSignals(true);
        rig.fader->setValue(80);
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,80,undo:fader,1)"}));
        QVERIFY(rig.memory.callsNamed("formatValue").isEmpty());
        rig.fader->blockSignals(false);
        QVERIFY(rig.log.isEmpty());
        QTRY_COMPARE(rig.log, QStringList({"5:80"}));
        rig.fader->blockSignals(true);
        rig.fader->setValue(90);
        delete rig.fader.data();
        QTest::qWait(80);
        QCOMPARE(rig.log.size(), 1);
    }

    void flip_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("flipped");
        QTest::newRow("0..127") << 0 << 127 << 0 << 127;
        QTest::newRow("-64..63") << -64 << 63 << 10 << -10;
        QTest::newRow("-100..0") << -100 << 0 << -30 << -70;
        QTest::newRow("huge") << INT_MIN << INT_MAX << INT_MIN << INT_MAX;
    }
    void flip()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, value);
        QFETCH(int, flipped);
        CFader_Orvel f;
        QCOMPARE(f.applyFlipedTransformation(value, min, max), value);
        f.setFlipValues(true);
        QCOMPARE(f.applyFlipedTransformation(value, min, max), flipped);
        if (min != INT_MIN) // its own inverse
            QCOMPARE(f.applyFlipedTransformation(flipped, min, max), value);
    }

    // Flipped values are placed where the mirrored value would sit; a drag maps back.
    void flippedPositions()
    {
        Rig rig;
        rig.fader->setRange(0, 127);
        rig.fader->setValue(127);
        QCOMPARE(rig.thumbTop(), 180);
        rig.fader->setFlipValues(true);
        rig.fader->setValue(5);
        rig.fader->setValue(0);
        QCOMPARE(rig.thumbTop(), 180);
        rig.fader->setFlipValues(false);
        rig.fader->setRange(-64, 63);
        rig.fader->setValue(-10);
        const int mirrored = rig.thumbTop();
        rig.fader->setFlipValues(true);
        rig.fader->setValue(10);
        QCOMPARE(rig.thumbTop(), mirrored);
        // Dragged to the bottom end (where 63 sits unflipped) the flipped thumb reads -63.
        const QPoint grab = rig.fader->sliderRect().center();
        drag(rig.fader, grab, grab + QPoint(0, 300));
        QCOMPARE(rig.fader->value(), -63);
    }

    // A memory curve places the thumb (flipped when asked, held inside the slide) and maps drags.
    void memoryCurve()
    {
        Rig rig;
        rig.memory.setPositionCurve([](int, int v) { return v * 2; }, [](int, int pos) { return pos / 2; });
        rig.bind();
        rig.fader->process(nullptr, 0, 0);
        QCOMPARE(rig.thumbTop(), 128);
        rig.fader->setFlipValues(true);
        rig.fader->setValue(20);
        QCOMPARE(rig.thumbTop(), 180 - 40);
        rig.fader->setValue(120); // 240 lies beyond the slide
        QCOMPARE(rig.thumbTop(), 0);
        rig.fader->setFlipValues(false);
        rig.memory.setNotifyOnWrite(false);
        rig.fader->setValue(10);
        rig.reset();
        const QPoint grab = rig.fader->sliderRect().center();
        drag(rig.fader, grab, grab + QPoint(0, 40));
        QVERIFY(rig.memory.calls().contains(QStringLiteral("valueForPosition(180,1,2,60)")));
        QCOMPARE(rig.fader->value(), 30);
        QCOMPARE(rig.memory.value(1, 2, 3), 30);
    }

    // A thumb move repaints the uncovered part of the old thumb and the new thumb, never the
    // whole fader, although the erase face is rebuilt on every change.
    void thumbPainting()
    {
        Rig rig;
        PaintRecorder recorder;
        QCoreApplication::processEvents();
        rig.fader->installEventFilter(&recorder);
        rig.fader->setValue(512); // 0 -> 90
        QTRY_COMPARE(recorder.regions.size(), 1);
        QCOMPARE(recorder.regions[0], QRegion(0, 0, 40, 20) + QRegion(0, 90, 40, 20));
        recorder.regions.clear();
        rig.fader->setValue(520); // 90 -> 91: one pixel row uncovered
        QTRY_COMPARE(recorder.regions.size(), 1);
        QCOMPARE(recorder.regions[0], QRegion(0, 90, 40, 21));
        // The face, updated only where the thumbs were, equals the fader as painted.
        QCOMPARE(rig.fader->erasePixmap().toImage().convertToFormat(QImage::Format_RGB32),
                 rig.shot().convertToFormat(QImage::Format_RGB32));

        // The thumb rows: 0 normal, the last one disabled (or asked for), and the focus look.
        rig.fader->removeEventFilter(&recorder);
        rig.fader->setValue(0);
        const auto thumbColour = [&] { return QColor(rig.shot().pixel(20, 10)); };
        QCOMPARE(QColor(rig.shot().pixel(20, 100)), kBackground);
        QCOMPARE(thumbColour(), cellColour(0, 0));
        rig.fader->setEnabled(false);
        QCOMPARE(thumbColour(), cellColour(0, 2));
        rig.fader->setEnabled(true);
        rig.fader->useDisabledImage(true);
        QCOMPARE(thumbColour(), cellColour(0, 2));
        rig.fader->useDisabledImage(false);
        // With focus and a focus colour the whole thumb strip is drawn tinted at the thumb.
        rig.fader->setFocusColor(QColor(255, 255, 0));
        rig.window.activateWindow();
        rig.fader->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return rig.fader->hasFocus(); }));
        QVERIFY(thumbColour() != cellColour(0, 0));
        QVERIFY(QColor(rig.shot().pixel(20, 30)) != kBackground); // row 1 of the strip below
    }

    void valueTipAndTypedNumbers()
    {
        Rig rig;
        rig.fader->setValue(7);
        rig.reset();
        rig.fader->setNumberToolTip(true);
        rig.fader->setNumberToolTip(true); // an existing tip is not touched again
        QCOMPARE(rig.log, QStringList({"7"}));
        // A child of the fader's parent at the fader's bottom-left, sized to its text.
        auto* tip = rig.window.findChild<CFaderTip*>();
        QVERIFY(tip);
        QCOMPARE(tip->text(), QStringLiteral("7"));
        const QFontMetrics fm(tip->font());
        QCOMPARE(tip->geometry(), QRect(0, 199, fm.horizontalAdvance(QStringLiteral("7")) + 2, fm.height() + 2));
        QVERIFY(!tip->isVisible());
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(rig.fader, &enter);
        QVERIFY(tip->isVisible());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(rig.fader, &leave);
        QVERIFY(!tip->isVisible());
        const QPointer<CFaderTip> guard(tip);
        rig.fader->setNumberToolTip(false);
        QVERIFY(!guard);

        // Typed numbers need the memory.
        rig.fader->acceptNum(12.0);
        QCOMPARE(rig.fader->value(), 7);
        rig.bind();
        rig.memory.setNotifyOnWrite(false);
        rig.reset();
        rig.fader->acceptNum(12.4);
        QCOMPARE(rig.memory.calls().mid(0, 2), QStringList({"valueFromNumber(5,12.3999996,0)", "beginUndoStep(fader)"}));
        QCOMPARE(rig.fader->value(), 12);
        QCOMPARE(rig.memory.value(1, 2, 3), 12);
    }

    // Nothing here may crash, divide by zero or trip the sanitizers.
    void badInput_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("nullPictures");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("null thumb and background") << 3 << true << 200 << 0 << 127;
        QTest::newRow("no rows") << 0 << false << 200 << 0 << 127;
        QTest::newRow("32 rows (0)") << 32 << false << 200 << 0 << 127;
        QTest::newRow("31 rows of no height") << 31 << false << 200 << 0 << 127;
        QTest::newRow("empty range") << 3 << false << 200 << 5 << 5;
        QTest::newRow("smaller than the thumb") << 3 << false << 12 << 0 << 127;
        QTest::newRow("widest range") << 3 << false << 200 << INT_MIN << INT_MAX;
    }
    void badInput()
    {
        QFETCH(int, rows);
        QFETCH(bool, nullPictures);
        QFETCH(int, height);
        QFETCH(int, min);
        QFETCH(int, max);
        Rig rig;
        rig.fader->setnSubImages(rows);
        if (nullPictures) {
            rig.fader->setThumbImage(QPixmap());
            rig.fader->setPixmap(QPixmap());
        }
        rig.fader->resize(40, height);
        rig.fader->setRange(min, max);
        rig.fader->setFlipValues(true);
        rig.fader->setTickInterval(-3);
        const QPoint c = rig.fader->sliderRect().center();
        drag(rig.fader, c, c + QPoint(0, 50));
        press(rig.fader, QPoint(5, 1), Qt::MiddleButton);
        release(rig.fader, QPoint(5, 1), Qt::MiddleButton);
        for (const int k : {int(Qt::Key_Up), int(Qt::Key_PageDown), int(Qt::Key_Home), int(Qt::Key_End)})
            key(rig.fader, k);
        wheel(rig.fader, 120, QPoint(2, 2));
        QVERIFY(rig.fader->value() >= min && rig.fader->value() <= max);
        const QImage image = rig.shot();
        QCOMPARE(image.size(), QSize(40, height));
        // A thumb strip without a usable row draws nothing over the background.
        if (rows == 0 || rows == 31 || rows == 32)
            for (int y = 0; y < height; y += 5)
                QCOMPARE(QColor(image.pixel(20, y)), kBackground);
        // A memory that cannot place the thumb and cannot format leaves the linear mapping.
        rig.memory.setFormatFails(true);
        rig.bind();
        rig.fader->process(nullptr, 0, 0);
        QCOMPARE(rig.fader->value(), 64);
    }
};

QTEST_MAIN(TestFader)
#include "tst_fader.moc"
