// The rotary knob: binding road, emission, painting from the strip, pointer/wheel/keys, value
// tip and typed entry, and bad input.
#include "binding/appserver.h"
#include "binding/records.h"
#include "binding/services.h"
#include "binding/utilities.h"
#include "knob/cdial.h"
#include "knob/cdialtip.h"
#include "support/controlpictures.h"
#include "support/recordingmemory.h"

#include <QDataStream>
#include <QPixmapCache>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <thread>

namespace {

const int kMin = -559038801;
const int kMax = 2125315823;

class ServerWindow : public QWidget, public TCacheServer
{
public:
    using QWidget::QWidget;
};

// A knob bound to parameter 1:2:3 of a recording memory, with every signal logged in order.
struct Rig
{
    explicit Rig(const RecordingMemory::Param& param = {0, 127, 64, 10, {}, true}, QWidget* parent = nullptr,
                 bool bound = true)
        : knob(new CDial_Orvel(parent))
    {
        memory.setParameter(1, 2, 3, param);
        memory.addName(QStringLiteral("cutoff"), TParamAddress{1, 2, 3, 0});
        memory.nameProxy(knob, QStringLiteral("knob"));
        QObject::connect(knob, &CDial_Orvel::memoryAPIValueChange, [this](int v) { log << QStringLiteral("mem(%1)").arg(v); });
        QObject::connect(knob, &CDial_Orvel::textualValueChange, [this](const QString& t) { log << QStringLiteral("text(%1)").arg(t); });
        QObject::connect(knob, &CDial_Orvel::pixmapValueChange, [this](const QPixmap& p) { log << QStringLiteral("pixmap(%1)").arg(p.width()); });
        QObject::connect(knob, &CDial_Orvel::altAddressMode, [this](bool on) { log << QStringLiteral("alt(%1)").arg(on); });
        QObject::connect(knob, &QDial::valueChanged, [this](int v) { log << QStringLiteral("valueChanged(%1)").arg(v); });
        QObject::connect(knob, &CDial_Orvel::dialPressed, [this] { log << QStringLiteral("pressed"); });
        QObject::connect(knob, &CDial_Orvel::dialMoved, [this](int v) { log << QStringLiteral("moved(%1)").arg(v); });
        QObject::connect(knob, &CDial_Orvel::dialReleased, [this] { log << QStringLiteral("released"); });
        if (bound)
            bind();
    }
    // The knob goes first: it detaches from the memory while that still exists.
    ~Rig() { delete knob; }
    void bind()
    {
        knob->setNamedAddress(QStringLiteral("cutoff"));
        knob->setMemAPI(&memory);
    }
    // Drops what binding logged, so a test sees only its own road.
    void reset()
    {
        QCoreApplication::sendPostedEvents();
        memory.clearCalls();
        log.clear();
    }
    void refresh(Q_UINT32 extra)
    {
        reset();
        knob->process(nullptr, 0, extra);
    }

    RecordingMemory memory;
    QPointer<CDial_Orvel> knob;
    QStringList log;
};

} // namespace

class TestKnob : public QObject
{
    Q_OBJECT

private slots:
    void identityAndModel()
    {
        CDial_Orvel knob;
        QCOMPARE(knob.metaObject()->className(), "CDial");
        QCOMPARE(knob.metaObject()->superClass(), &QDial::staticMetaObject);
        QCOMPARE(knob.qt_metacast("TMemProxy"), static_cast<void*>(static_cast<TMemProxyBasic*>(&knob)));
        QCOMPARE(memProxyOf(&knob), static_cast<TMemProxy_Orvel*>(&knob));
        QCOMPARE(QList<int>({knob.minValue(), knob.maxValue(), knob.value(), knob.pageStep()}),
                 QList<int>({kMin, kMax, kMin, 10}));
        QVERIFY(knob.metaObject()->indexOfSlot("process(const Q_UINT8*,int,Q_UINT32)") >= 0);

        // The Qt 3 model clamps (a Qt 6 dial would wrap) and the QDial state follows it silently.
        knob.setRange(0, 99);
        QSignalSpy changed(&knob, &QDial::valueChanged);
        knob.setValue(104);
        QCOMPARE(knob.value(), 99);
        QCOMPARE(static_cast<QDial&>(knob).value(), 99);
        QCOMPARE(static_cast<QDial&>(knob).maximum(), 99);
        QCOMPARE(changed.count(), 1);

        // Property writes by name and slot calls reach the same model as the setters.
        QVERIFY(knob.setProperty("maximum", 50));
        QVERIFY(knob.setProperty("value", 20));
        QCOMPARE(knob.maxValue(), 50);
        QCOMPARE(knob.value(), 20);
        QVERIFY(QMetaObject::invokeMethod(&knob, "setValue", Q_ARG(int, 30)));
        QCOMPARE(knob.value(), 30);

        // The names forms use for the designer properties.
        for (const char* name : {"combinedImage", "tableId", "nSubImages", "nImageCategories", "disableAutoHide",
                                 "focusColor", "numberToolTip", "disabledImageIndex", "transparent", "inverted",
                                 "namedAddress", "undoEnable", "numDefaultKind"})
            QVERIFY2(knob.metaObject()->property(knob.metaObject()->indexOfProperty(name)).isWritable(), name);
        // The category count keeps three bits.
        knob.setnImageCategories(9);
        QCOMPARE(knob.nImageCategories(), 1);
        knob.setNImageCategories(8);
        QCOMPARE(knob.nImageCategories(), 0);
    }

    void connectAndRefresh()
    {
        Rig rig({0, 127, 64, 10, 90, true});
        const quint32 packed = packAddress(1, 2, 3);
        QCOMPARE(rig.memory.calls(),
                 QStringList({"proxyAttached(knob,1)", "resolveAddress(cutoff)",
                              QStringLiteral("connectProxy(knob,%1,0)").arg(packed), "maximum(1,2,3,0)",
                              "minimum(1,2,3,0)", "formatValue(3,0,text,pixmap,0,0,1,2)", "currentValue(1,2,3,0,0)",
                              "formatValue(3,0,text,pixmap,64,0,1,2)"}));
        // Connecting applies the range (which clamps the constructor's value), then the value, both
        // silently: signals, no write-back.
        QCOMPARE(rig.log, QStringList({"mem(0)", "text(0:0)", "alt(1)", "valueChanged(0)", "mem(64)", "text(0:64)",
                                       "alt(0)", "valueChanged(64)"}));
        QCOMPARE(rig.knob->silent, quint8(0));
        const QStringList range{"maximum(1,2,3,0)", "minimum(1,2,3,0)", "currentValue(1,2,3,0,0)"};

        // Unchanged value, no request: nothing is emitted.
        rig.refresh(0);
        QCOMPARE(rig.memory.calls(), range);
        QVERIFY(rig.log.isEmpty());

        // extra 1 asks for the signals although the value did not move.
        rig.refresh(1);
        QCOMPARE(rig.memory.calls(), range + QStringList{"formatValue(3,0,text,pixmap,64,0,1,2)"});
        QCOMPARE(rig.log, QStringList({"mem(64)", "text(0:64)", "alt(0)"}));

        // A changed value with extra 1: the signals go out twice, the value is not written back.
        rig.memory.hostWrite(1, 2, 3, 70, 0);
        rig.reset();
        rig.memory.setParameter(1, 2, 3, {0, 127, 71, 10, 90, true});
        rig.knob->process(nullptr, 0, 1);
        QCOMPARE(rig.log, QStringList({"mem(71)", "text(0:71)", "alt(0)", "valueChanged(71)", "mem(71)", "text(0:71)", "alt(0)"}));
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty());

        // A mode change or the fx transform re-emits an unchanged value once per refresh.
        rig.reset();
        rig.knob->changeAltAddressMode(true);
        QVERIFY(rig.log.isEmpty());
        rig.knob->process(nullptr, 0, 0);
        QCOMPARE(rig.log, QStringList({"mem(71)", "text(ON)", "alt(0)", "valueChanged(71)"}));
        QVERIFY(rig.memory.callsNamed("formatValue").isEmpty());
        rig.refresh(0);
        QVERIFY(rig.log.isEmpty());
        rig.knob->setfxValueTransform(true);
        rig.knob->process(nullptr, 0, 0);
        rig.knob->process(nullptr, 0, 0);
        QCOMPARE(rig.log.count(QStringLiteral("valueChanged(71)")), 2);
        rig.knob->setfxValueTransform(false);
        rig.knob->changeAltAddressMode(false);
        rig.knob->process(nullptr, 0, 0); // takes the mode change

        // Reset to default: the applied value is written back as an undoable edit, then read back.
        rig.reset();
        rig.knob->reset2defaults();
        QCOMPARE(rig.memory.calls(), range + QStringList({"defaultValue(1,2,3,0,null)", "setValue(1,2,3,10,undo:knob,1)",
                                                          "maximum(1,2,3,0)", "minimum(1,2,3,0)", "currentValue(1,2,3,0,0)",
                                                          "currentValue(1,2,3,0,0)", "formatValue(3,0,text,pixmap,10,0,1,2)"}));
        QCOMPARE(rig.knob->value(), 10);

        // Copy writes a record of the current value; a pasted record is applied and written.
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            rig.knob->copyParameters(out);
        }
        QCOMPARE(bytes, TParamInfoWriter_Orvel::encode(1, 2, 3, 10));
        QDataStream in(TParamInfoWriter_Orvel::encode(1, 2, 3, 33));
        rig.knob->pasteParameters(in);
        QCOMPARE(rig.knob->value(), 33);
        QCOMPARE(rig.memory.value(1, 2, 3), 33);

        // The alternative default is asked for, applied and written.
        rig.reset();
        rig.knob->reset2AltDefaults();
        QCOMPARE(rig.memory.callsNamed("defaultValue"), QStringList({"defaultValue(1,2,3,1,out)"}));
        QCOMPARE(rig.memory.value(1, 2, 3), 90);

        rig.reset();
        rig.knob->disconnectMemAPI();
        QCOMPARE(rig.memory.calls(), QStringList({QStringLiteral("disconnectProxy(knob,%1)").arg(packed)}));
        QCOMPARE(rig.knob->addressValid, quint8(0));
        rig.memory.clearCalls();
        rig.knob->disconnectMemAPI(); // no valid address: nothing asked
        rig.knob->process(nullptr, 0, 1);
        QVERIFY(rig.memory.calls().isEmpty());
    }

    void emissionRoad()
    {
        // Tables of 0 and above count from a negative minimum; the raw value still goes out first.
        Rig rig({-64, 63, -64, 0, {}, true});
        QCOMPARE(rig.log, QStringList({"mem(-64)", "text(0:0)", "alt(1)", "valueChanged(-64)"}));
        rig.reset();
        rig.knob->setTableId(-2);
        rig.knob->handle_changeAltNamedValue(5);
        QCOMPARE(rig.log, QStringList({"mem(-64)", "text(-2:-64)", "alt(1)"}));

        // Table -3 tells the memory about a 0..5 range with the flag.
        rig.knob->setTableId(-3);
        for (const int max : {5, 6}) {
            rig.memory.setParameter(1, 2, 3, {0, max, 2, 0, {}, true});
            rig.refresh(1);
            QCOMPARE(rig.memory.callsNamed("formatValue").last(),
                     QStringLiteral("formatValue(3,-3,text,pixmap,2,%1,1,2)").arg(max == 5 ? 1 : 0));
        }

        // A pixmap answer replaces the text signal; the low address offset goes into the format call.
        rig.memory.setPixmapTable(7, makeStrip(1, 1));
        rig.knob->setTableId(7);
        rig.knob->addrLowOffset = 4;
        rig.refresh(1);
        QCOMPARE(rig.memory.callsNamed("formatValue"), QStringList({"formatValue(7,7,text,pixmap,2,0,1,2)"}));
        QCOMPARE(rig.log, QStringList({"mem(2)", "pixmap(16)", "alt(0)"}));

        // "OFF" exactly at the minimum, "ON" elsewhere; the memory is not asked.
        rig.knob->changeAltAddressMode(true);
        rig.memory.setParameter(1, 2, 3, {0, 6, 0, 0, {}, true});
        rig.refresh(1);
        QVERIFY(rig.memory.callsNamed("formatValue").isEmpty());
        QCOMPARE(rig.log.mid(0, 3), QStringList({"mem(0)", "text(OFF)", "alt(1)"}));

        // showEvent emits with `silent` raised: nothing is written back.
        rig.reset();
        rig.knob->show();
        QCOMPARE(rig.log, QStringList({"mem(0)", "text(OFF)", "alt(1)"}));
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty());
    }

    void deferredEmission()
    {
        Rig rig;
        rig.reset();
        // A change notice with extra 1 on a worker thread touches only the counter and asks for the
        // GUI thread; the re-delivered refresh (extra 0) still emits once for it.
        std::thread worker([&] { rig.memory.hostWrite(1, 2, 3, 64, 1); });
        worker.join();
        QCOMPARE(rig.memory.calls(), QStringList({"postObserverEvent(knob)"}));
        QVERIFY(rig.log.isEmpty());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.log, QStringList({"mem(64)", "text(0:64)", "alt(0)"}));
        rig.log.clear();
        rig.knob->process(nullptr, 0, 0); // the counter was consumed
        QVERIFY(rig.log.isEmpty());

        // While signals are blocked: one deferred emission per attempt, each formatted when it is
        // delivered.
        rig.knob->blockSignals(true);
        rig.knob->process(nullptr, 0, 1);
        rig.knob->process(nullptr, 0, 1);
        QVERIFY(rig.log.isEmpty());
        rig.knob->blockSignals(false);
        QCoreApplication::sendPostedEvents(CAppServer::MS());
        QCOMPARE(rig.log, QStringList({"mem(64)", "text(0:64)", "alt(0)", "mem(64)", "text(0:64)", "alt(0)"}));

        // A knob destroyed before delivery gets nothing (and nothing crashes).
        rig.knob->blockSignals(true);
        rig.knob->process(nullptr, 0, 1);
        delete rig.knob.data();
        QCoreApplication::sendPostedEvents(CAppServer::MS());
        QCOMPARE(rig.log.count(), 6);

        // A receiver that deletes the knob in the middle of a refresh (a new value, or the
        // requested emission of an unchanged one): the refresh stops there (ASan checks the rest).
        for (const bool newValue : {true, false}) {
            Rig doomed;
            if (newValue) {
                doomed.memory.setParameter(1, 2, 3, {0, 127, 90, 10, {}, true});
                QObject::connect(doomed.knob, &QDial::valueChanged, doomed.knob, [&doomed] { delete doomed.knob.data(); });
            } else {
                QObject::connect(doomed.knob, &CDial_Orvel::memoryAPIValueChange, doomed.knob,
                                 [&doomed] { delete doomed.knob.data(); });
            }
            doomed.knob->process(nullptr, 0, 1);
            QVERIFY(!doomed.knob);
        }
    }

    void userEditsWriteBack()
    {
        Rig rig({0, 100, 50, 0, {}, true});
        rig.memory.setFormatter([](int, int v, int) { return QStringLiteral("v%1").arg(v); });
        rig.reset();
        // The write, then the memory's own value is read back and emitted; QDial's signal comes last.
        rig.knob->setValue(150);
        QCOMPARE(rig.memory.calls(), QStringList({"setValue(1,2,3,100,undo:knob,1)", "maximum(1,2,3,0)", "minimum(1,2,3,0)",
                                                  "currentValue(1,2,3,0,0)", "currentValue(1,2,3,0,0)",
                                                  "formatValue(3,0,text,pixmap,100,0,1,2)"}));
        QCOMPARE(rig.log, QStringList({"mem(100)", "text(v100)", "alt(0)", "valueChanged(100)"}));

        // The memory may answer with another value than the one written: the knob reports that.
        rig.knob->subtractLine();
        rig.memory.setNotifyOnWrite(false);
        rig.reset();
        rig.memory.setParameter(1, 2, 3, {0, 40, 99, 0, {}, true}); // the memory clamps to 40 now
        rig.knob->addPage();
        QCOMPARE(rig.knob->value(), 100); // the knob's own range is refreshed only by the memory
        QCOMPARE(rig.log.first(), QStringLiteral("mem(40)"));
    }

    void paintsTheRightCell_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("disabledRow");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("row");

        QTest::newRow("rounding down") << 10 << -1 << false << 0 << 100 << 19 << 1;
        QTest::newRow("disabled row 0, min") << 10 << 0 << false << 0 << 90 << 0 << 1;
        QTest::newRow("disabled row 0, max") << 10 << 0 << false << 0 << 90 << 90 << 9;
        QTest::newRow("inverted, min") << 10 << 0 << true << 0 << 90 << 0 << 9;
        QTest::newRow("inverted, max") << 10 << 0 << true << 0 << 90 << 90 << 1;
        QTest::newRow("disabled row last") << 10 << 9 << false << 0 << 90 << 90 << 8;
        QTest::newRow("one row") << 1 << -1 << false << 0 << 90 << 45 << 0;
        QTest::newRow("empty range") << 10 << -1 << false << 5 << 5 << 5 << 0;
        QTest::newRow("huge range, top") << 10 << -1 << false << kMin << kMax << kMax << 9;
        QTest::newRow("huge range, middle") << 10 << -1 << false << kMin << kMax << 783138511 << 5;
    }
    void paintsTheRightCell()
    {
        QFETCH(int, rows);
        QFETCH(int, disabledRow);
        QFETCH(bool, inverted);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, value);
        QFETCH(int, row);

        CDial_Orvel knob;
        knob.setCombinedImage(makeStrip(1, rows));
        knob.setnSubImages(rows);
        knob.setdisabledImageIndex(disabledRow);
        knob.setInverted(inverted);
        knob.setRange(min, max);
        knob.setValue(value);
        knob.ensurePolished();
        QCOMPARE(knob.currentIndex(), row);
        QCOMPARE(shot(&knob).pixelColor(8, 8), cellColour(0, row));
        if (disabledRow >= 0) {
            knob.setEnabled(false);
            QCOMPARE(shot(&knob).pixelColor(8, 8), cellColour(0, disabledRow));
        }
    }

    void greyFocusAndCategoryLooks()
    {
        QWidget window;
        auto* knob = new CDial_Orvel(&window);
        const QPixmap strip = makeStrip(2, 4);
        knob->setCombinedImage(strip);
        knob->setnSubImages(4);
        knob->setnImageCategories(2);
        knob->setRange(0, 3);
        knob->setValue(2);
        knob->ensurePolished();
        // Several categories: no look is chosen until the host picks one.
        QCOMPARE(knob->currentImage(), -1);
        QCOMPARE(shot(knob).pixelColor(8, 8).alpha(), 0);
        knob->setCurrentImage(1);
        QCOMPARE(shot(knob).pixelColor(8, 8), cellColour(1, 2));
        knob->setCurrentImage(2); // out of range: ignored
        QCOMPARE(knob->currentImage(), 1);

        // The grey and focus looks are made from the first column's cell.
        const QPixmap cell = strip.copy(0, 32, 16, 16);
        knob->setEnabled(false);
        QCOMPARE(shot(knob).pixel(8, 8), NS_Utilities::applyGreyTransformation(cell).pixel(8, 8));
        knob->setEnabled(true);

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        knob->setFocus();
        QTRY_VERIFY(knob->hasFocus());
        // An invalid focus colour keeps the ordinary cell.
        QCOMPARE(shot(knob).pixelColor(8, 8), cellColour(1, 2));
        knob->setFocusColor(Qt::red);
        QCOMPARE(shot(knob).pixel(8, 8), NS_Utilities::applyFocusHilite(Qt::red, cell).pixel(8, 8));
        // The built look follows the row and the colour.
        const QPixmap top = strip.copy(0, 48, 16, 16);
        knob->setValue(3);
        QCOMPARE(shot(knob).pixel(8, 8), NS_Utilities::applyFocusHilite(Qt::red, top).pixel(8, 8));
        knob->setFocusColor(Qt::green);
        QCOMPARE(shot(knob).pixel(8, 8), NS_Utilities::applyFocusHilite(Qt::green, top).pixel(8, 8));
        knob->setEnabled(false);
        QCOMPARE(shot(knob).pixel(8, 8), NS_Utilities::applyGreyTransformation(top).pixel(8, 8));
    }

    void maskCacheAndAttenuatorScale()
    {
        // The mask comes from the top-left cell: its transparent corners are cut out. A 2x strip
        // is cut in device pixels; size and mask stay logical.
        QImage image(32, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::blue);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                for (const QPoint corner : {QPoint(0, 0), QPoint(12, 0), QPoint(0, 12), QPoint(12, 12)})
                    image.setPixel(corner + QPoint(x, y), 0);
        QPixmap doubled = QPixmap::fromImage(image.scaled(64, 128));
        doubled.setDevicePixelRatio(2.0);
        for (const QPixmap& strip : {QPixmap::fromImage(image), doubled}) {
            CDial_Orvel knob;
            knob.setCombinedImage(strip);
            knob.setnSubImages(4);
            knob.setnImageCategories(2);
            knob.setTransparent(true);
            knob.ensurePolished();
            QCOMPARE(knob.size(), QSize(16, 16));
            QCOMPARE(knob.sizeHint(), strip.deviceIndependentSize().toSize());
            QVERIFY(!knob.mask().contains(QPoint(0, 0)));
            QVERIFY(!knob.mask().contains(QPoint(14, 14)));
            QVERIFY(knob.mask().contains(QPoint(8, 8)));
            QCOMPARE(knob.mask().boundingRect(), QRect(0, 0, 16, 16));
            knob.setTransparent(false);
            QVERIFY(knob.mask().isEmpty());
        }

        // The erase face is shared through the pixmap cache under the cache server's caption.
        ServerWindow server;
        server.setWindowTitle(QStringLiteral("panel/"));
        auto* cached = new CDial_Orvel(&server);
        cached->setCombinedImage(makeStrip(1, 4));
        cached->setnSubImages(4);
        cached->setRange(0, 3);
        cached->setValue(3);
        cached->updateErasePixmap();
        QVERIFY(!cached->hasErasePixmap()); // not polished yet
        cached->ensurePolished();
        cached->updateErasePixmap();
        QPixmap found;
        QVERIFY(QPixmapCache::find(QStringLiteral("panel/orvelkit-CDial-3"), &found));
        QCOMPARE(found.toImage().pixelColor(8, 8), cellColour(0, 3));
        QCOMPARE(cached->erasePixmap().cacheKey(), found.cacheKey());

        // The attenuator scale maps onto 31 rows: -630 is 330 / (660 * 0.0625), -150 is
        // (-150 + 960 - 660) / 30 + 15, 250 is 250 / 100 + 24.
        cached->setRange(-960, 600);
        QList<int> rows;
        for (const int v : {-960, -630, -300, -150, 0, 250, 600})
            rows << cached->getAttKnobIndex(v);
        QCOMPARE(rows, QList<int>({0, 8, 15, 20, 24, 26, 30}));
        cached->setRange(-300, 5); // no steps above 0, and an empty span below -300
        QCOMPARE(cached->getAttKnobIndex(3), 30);
        QCOMPARE(cached->getAttKnobIndex(-400), 0);
    }

    void pointerDrags()
    {
        Rig rig({0, 270, 135, 0, {}, true});
        rig.knob->resize(64, 64);
        rig.knob->show();
        rig.reset();
        CDial_Orvel* k = rig.knob;
        const QPoint c(32, 32);
        auto move = [&](int dx, int dy) { moveTo(k, c + QPoint(dx, dy)); };

        // Modified or non-left presses do nothing, nor do the moves that follow them.
        press(k, c + QPoint(0, -20), Qt::LeftButton, Qt::ShiftModifier);
        moveTo(k, c + QPoint(20, -20), Qt::ShiftModifier);
        press(k, c, Qt::LeftButton, Qt::ControlModifier);
        press(k, c, Qt::RightButton);
        release(k, c, Qt::RightButton);
        QVERIFY(rig.log.isEmpty());
        // A click without movement: pressed, released, value kept.
        press(k, c + QPoint(0, -20));
        release(k, c + QPoint(0, -20));
        QCOMPARE(rig.log, QStringList({"pressed", "released"}));
        QCOMPARE(k->value(), 135);
        QCOMPARE(k->GetAngle(), 0.0); // the middle of the range points to 12 o'clock

        // One value per degree: a quarter turn clockwise in two steps of 45 degrees.
        rig.reset();
        press(k, c + QPoint(0, -20));
        move(20, -20);
        QCOMPARE(k->value(), 180);
        move(20, 0);
        QCOMPARE(k->value(), 225);
        QCOMPARE(rig.log.filter(QRegularExpression("^(pressed|moved|released)")),
                 QStringList({"pressed", "pressed", "moved(180)", "moved(225)"}));
        QVERIFY(rig.memory.callsNamed("setValue").contains("setValue(1,2,3,225,undo:knob,1)"));

        // Past the stop the knob stays at its maximum ...
        move(20, 20);
        QCOMPARE(k->value(), 270);
        move(0, 20);
        move(-20, 20);
        QCOMPARE(k->value(), 270);
        // ... moving back it stays there until the pointer crosses the indicator line again ...
        move(0, 20);
        move(8, 20);
        QCOMPARE(k->value(), 270);
        // ... and only then turns down.
        move(20, 8);
        QVERIFY(k->value() < 270);
        const int afterCrossing = k->value();

        // A jump of more than 135 degrees between two moves does not turn the knob; the next move
        // is measured from where the pointer landed.
        move(-20, -8);
        QCOMPARE(k->value(), afterCrossing);
        rig.log.clear();
        release(k, c + QPoint(-20, -8));
        QCOMPARE(rig.log, QStringList({"released"}));
        move(0, -20); // after the release, moves do nothing
        QCOMPARE(k->value(), afterCrossing);

        // Vector angles across the +-pi seam, and segment crossings.
        QVERIFY(k->CalcVectorAngle(-1, -0.001, -1, 0.001) < 0.01);
        double x = 0, y = 0;
        QVERIFY(k->CalcIntersection(0, 0, 10, 10, 0, 10, 10, 0, x, y));
        QCOMPARE(QPointF(x, y), QPointF(5, 5));
        QVERIFY(!k->CalcIntersection(0, 0, 1, 1, 5, 0, 6, 1, x, y));

        // In the shared vertical mode the knob follows the screen axes: 128 pixels span a wide
        // range, small ranges move one value per pixel, and right counts like up.
        CDial_Orvel::setVerticalMode(true);
        rig.memory.setParameter(1, 2, 3, {0, 1000, 500, 0, {}, true});
        k->process(nullptr, 0, 0);
        press(k, c);
        moveTo(k, c);
        QCOMPARE(k->value(), 500);
        moveTo(k, c + QPoint(0, -1));
        QCOMPARE(k->value(), 507); // 1000 * 1 / 128
        moveTo(k, c + QPoint(2, -1));
        QCOMPARE(k->value(), 522);
        moveTo(k, c + QPoint(2, 300));
        QCOMPARE(k->value(), 0);
        release(k, c);
        rig.memory.setParameter(1, 2, 3, {0, 100, 0, 0, {}, true});
        k->process(nullptr, 0, 0);
        press(k, c);
        moveTo(k, c);
        moveTo(k, c + QPoint(0, -3));
        QCOMPARE(k->value(), 3);
        CDial_Orvel::setVerticalMode(false);
    }

    void wheelAndKeys()
    {
        EditorRoot root;
        root.setFocusPolicy(Qt::StrongFocus);
        Rig rig({0, 1000, 5, 0, {}, true}, &root);
        rig.knob->setGeometry(0, 0, 40, 40);
        root.show();
        root.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&root));
        rig.knob->setFocus();

        // Partial notches add up; the wheel hands the focus to the editor's root.
        for (const auto& [delta, expected] : QList<QPair<int, int>>{{119, 5}, {240, 7}, {-360, 4}}) {
            wheel(rig.knob, delta, QPoint(5, 5));
            QCOMPARE(rig.knob->value(), expected);
        }
        QTRY_VERIFY(root.hasFocus());

        const QList<QPair<Qt::Key, int>> keys{{Qt::Key_Up, 5}, {Qt::Key_Right, 6}, {Qt::Key_Down, 5}, {Qt::Key_Left, 4},
                                              {Qt::Key_PageUp, 14}, {Qt::Key_PageDown, 4}, {Qt::Key_End, 1000},
                                              {Qt::Key_Home, 0}};
        for (const auto& [k, expected] : keys) {
            QTest::keyClick(rig.knob, k);
            QCOMPARE(rig.knob->value(), expected);
        }

        // Table -7 steps in tenths of the memory's step scale.
        rig.knob->setTableId(-7);
        rig.memory.setStepScale(10);
        rig.knob->setValue(5);
        using Step = void (CDial_Orvel::*)();
        const QList<std::tuple<int, Step, int>> steps{
            {10, &CDial_Orvel::addLine, 6},
            {25, &CDial_Orvel::addPage, 30},      // q = 6*10000/250 = 240, u = 2 + 10, 12 * 25000 / 10000
            {25, &CDial_Orvel::subtractLine, 27}, // q = 1200, u = 12 - 1, 11 * 25000 / 10000
            {0, &CDial_Orvel::subtractPage, 27}}; // no steps: nothing moves
        for (const auto& [scale, step, expected] : steps) {
            rig.memory.setStepScale(scale);
            (rig.knob->*step)();
            QCOMPARE(rig.knob->value(), expected);
        }
        rig.knob->setMemAPI(nullptr);
        rig.knob->addLine();
        QCOMPARE(rig.knob->value(), 27);
    }

    void valueTipAndTypedNumbers()
    {
        QWidget parent;
        Rig rig({0, 127, 64, 0, {}, true}, &parent, false);
        rig.knob->acceptNum(12.0); // unbound: nothing
        QCOMPARE(rig.knob->value(), kMin);
        rig.bind();
        rig.knob->setGeometry(10, 20, 40, 30);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        rig.reset();

        rig.knob->setNumberToolTip(true);
        rig.knob->setNumberToolTip(true);
        QCOMPARE(rig.log.count(QStringLiteral("text(0:64)")), 2); // each switch-on emits
        const QList<CDialTip*> tips = parent.findChildren<CDialTip*>();
        QCOMPARE(tips.size(), 1);
        CDialTip* tip = tips.first();
        QVERIFY(tip->isHidden());
        QCOMPARE(tip->text(), QStringLiteral("0:64"));
        QCOMPARE(tip->pos(), QPoint(10, 49));
        const QFontMetrics fm(tip->font());
        QCOMPARE(tip->size(), QSize(fm.horizontalAdvance(tip->text()) + 2, fm.height() + 2));
        QCOMPARE(tip->palette().color(QPalette::Window), QColor(255, 255, 60));
        QCOMPARE(tip->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QCOMPARE(tip->alignment(), Qt::AlignCenter);

        rig.knob->setValue(100);
        QCOMPARE(tip->text(), QStringLiteral("0:100"));
        QVERIFY(tip->isHidden()); // text updates do not show it
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(11, 21));
        QCoreApplication::sendEvent(rig.knob, &enter);
        QVERIFY(tip->isVisible());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(rig.knob, &leave);
        QVERIFY(tip->isHidden());
        QCoreApplication::sendEvent(rig.knob, &enter);
        const QPointer<CDialTip> guard(tip);
        rig.knob->setNumberToolTip(false);
        QVERIFY(guard.isNull());

        rig.knob->setTableId(-4);
        rig.reset();
        rig.knob->acceptNum(12.4);
        QCOMPARE(rig.memory.calls().mid(0, 3), QStringList({"valueFromNumber(-4,12.3999996,0)", "beginUndoStep(knob)",
                                                             "setValue(1,2,3,12,undo:knob,1)"}));
        QCOMPARE(rig.knob->value(), 12);
        rig.knob->setUndoEnable(false);
        rig.reset();
        rig.knob->acceptNum(1e300); // saturates instead of overflowing the float conversion
        QCOMPARE(rig.memory.calls().first(), QStringLiteral("valueFromNumber(-4,3.40282347e+38,0)"));
        QVERIFY(rig.memory.callsNamed("beginUndoStep").isEmpty());
    }

    void badInput()
    {
        // A null strip paints nothing and asks for 40 x 30.
        CDial_Orvel knob;
        knob.setRange(0, 10);
        QCOMPARE(knob.sizeHint(), QSize(40, 30));
        knob.resize(20, 20);
        QCOMPARE(shot(&knob).pixelColor(5, 5).alpha(), 0);

        // Counts of zero, categories that wrap to zero, rows past the strip, empty and reversed
        // ranges, and the extremes of int: every path runs without a fault (the sanitizer build
        // checks the arithmetic), and the row stays inside the strip or is not drawn.
        const QPixmap strip = makeStrip(1, 4);
        const QList<QPair<int, int>> ranges{{0, 0}, {10, 0}, {INT_MIN, INT_MAX}, {kMin, kMax}, {INT_MAX, INT_MAX}};
        for (int rows : {0, -3, 4, 1000}) {
            for (int categories : {0, 1, 8}) {
                for (const auto& [lo, hi] : ranges) {
                    CDial_Orvel k;
                    k.setCombinedImage(strip);
                    k.setnSubImages(rows);
                    k.setnImageCategories(categories);
                    k.setdisabledImageIndex(rows > 0 ? rows + 5 : 0);
                    k.setTransparent(true);
                    k.setRange(lo, hi);
                    k.setValue(hi);
                    k.resize(30, 30);
                    const int index = k.currentIndex();
                    if (rows > 0)
                        QVERIFY(index >= 0 && index < rows);
                    shot(&k);
                    k.setEnabled(false);
                    shot(&k);
                    k.setEnabled(true);
                    k.addPage();
                    k.subtractLine();
                    k.getAttKnobIndex(lo);
                    k.getAttKnobIndex(hi);
                    k.show();
                    const QPoint c(15, 15);
                    press(&k, c + QPoint(0, -10));
                    moveTo(&k, c + QPoint(10, -10));
                    moveTo(&k, c); // through the centre
                    release(&k, c);
                    CDial_Orvel::setVerticalMode(true);
                    drag(&k, c, c + QPoint(0, -500));
                    CDial_Orvel::setVerticalMode(false);
                    wheel(&k, INT_MAX, c);
                    QVERIFY(k.value() == k.bound(k.value()));
                }
            }
        }

        // A deleted tip's parent does not leave the knob with a dangling tip.
        auto* parent = new QWidget;
        auto* owned = new CDial_Orvel(parent);
        owned->setNumberToolTip(true);
        auto* other = new QWidget;
        owned->setParent(other);
        delete parent; // takes the tip with it
        owned->setNumberToolTip(false);
        delete other;
    }
};

QTEST_MAIN(TestKnob)
#include "tst_knob.moc"
