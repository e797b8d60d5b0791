// The binding road: proxies against the recording memory, records, marshalled events, notifier.
#include "binding/appserver.h"
#include "binding/memproxy.h"
#include "binding/notifier.h"
#include "binding/records.h"
#include "binding/utilities.h"
#include "support/recordingmemory.h"

#include <QBuffer>
#include <QDataStream>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <thread>

// A bound widget as the controls are built: toolkit base first, proxy second. Its process
// follows the usual road (range and value under `silent`, operations 1-4).
class ProbeControl : public QWidget, public TMemProxy
{
    Q_OBJECT
public:
    explicit ProbeControl(QWidget* parent = nullptr) : QWidget(parent) {}
    ~ProbeControl() override { detachMemAPI(); }

    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override
    {
        threads << QThread::currentThread();
        if (!memAPIReady())
            return;
        if (deferToGuiThread())
            return;
        setWidgetShowState(this);
        applyMemoryRange([this](int min, int max) {
            range = {min, max};
            silentDuringRange = silent;
        });
        shown = valueForOperation(data, operation, api->currentValue(addrHigh, addrMid, addrLow, 0, 0),
                                  withAltDefault);
        TMemSilentHelper guard(silent, operation);
        silentDuringApply = silent;
        ++guiRefreshes;
        lastExtra = extra;
    }
    void connectMemAPI() override
    {
        ++connects;
        TMemProxy_Orvel::connectMemAPI();
    }
    void disconnectMemAPI() override
    {
        ++disconnects;
        TMemProxy_Orvel::disconnectMemAPI();
    }
    bool disableAutoHide() const override { return noAutoHide; }
    bool autoUndoDisabled() const override { return noAutoUndo; }

    QList<QThread*> threads;
    QPair<int, int> range{0, 0};
    int silentDuringRange = -1;
    bool withAltDefault = true;
    int shown = -1;
    int guiRefreshes = 0;
    int connects = 0;
    int disconnects = 0;
    int silentDuringApply = -1;
    Q_UINT32 lastExtra = 0;
    bool noAutoHide = false;
    bool noAutoUndo = false;
};

class TestBinding : public QObject
{
    Q_OBJECT

private:
    static RecordingMemory::Param param(int min, int max, int value, int def = 0)
    {
        RecordingMemory::Param p;
        p.minimum = min;
        p.maximum = max;
        p.value = value;
        p.defaultValue = def;
        return p;
    }

private Q_SLOTS:
    void packedAddressSignExtendsEachField()
    {
        QCOMPARE(packAddress(1, 2, 3), quint32(3 | (2 << 11) | (1 << 22)));
        QCOMPARE(packAddress(0, 0, 2047), quint32(2047));
        // Negative fields are sign-extended before they are OR-ed: they cover the higher fields.
        QCOMPARE(packAddress(0, 0, -1), quint32(0xFFFFFFFF));
        QCOMPARE(packAddress(-1, 0, 5), quint32(0xFFC00005));
        QCOMPARE(packAddress(0, -2, 0), quint32(0xFFFFF000));
    }

    void attachResolvesAndConnectsThroughTheVirtualTable()
    {
        RecordingMemory mem;
        mem.setParameter(1, 2, 3, param(0, 127, 64));
        mem.addName("osc.cutoff", {1, 2, 3, 4});
        ProbeControl c;
        mem.nameProxy(&c, "c");
        c.setNamedAddress("osc.cutoff");
        QVERIFY(!c.memAPIReady());
        QCOMPARE(mem.calls(), QStringList());

        c.setMemAPI(&mem);
        QVERIFY(c.memAPIReady());
        QCOMPARE(c.connects, 1);
        QCOMPARE(int(c.addrHigh), 1);
        QCOMPARE(int(c.addrMid), 2);
        QCOMPARE(int(c.addrLow), 3);
        QCOMPARE(int(c.addrLowOffset), 4);
        QCOMPARE(mem.calls(), QStringList({"proxyAttached(c,1)", "resolveAddress(osc.cutoff)",
                                           QStringLiteral("connectProxy(c,%1,0)").arg(packAddress(1, 2, 3))}));
        QCOMPARE(int(c.silent), 0);
    }

    void renamingWhileBoundReconnectsAndBadNamesLeaveItUnbound()
    {
        RecordingMemory mem;
        mem.setParameter(1, 2, 3, param(0, 127, 1));
        mem.setParameter(1, 2, 4, param(0, 127, 2));
        ProbeControl c;
        mem.nameProxy(&c, "c");
        c.setNamedAddress("1:2:3");
        c.setMemAPI(&mem);
        mem.clearCalls();

        c.setNamedAddress("1:2:4");
        QCOMPARE(mem.calls(), QStringList({QStringLiteral("disconnectProxy(c,%1)").arg(packAddress(1, 2, 3)),
                                           "resolveAddress(1:2:4)",
                                           QStringLiteral("connectProxy(c,%1,0)").arg(packAddress(1, 2, 4))}));
        QCOMPARE(c.connects, 2);
        QCOMPARE(c.disconnects, 1);

        mem.clearCalls();
        c.setNamedAddress("no such thing");
        QVERIFY(!c.addressValid);
        QVERIFY(!c.memAPIReady());
        QCOMPARE(c.connects, 2); // nothing to connect to
        QCOMPARE(mem.callsNamed("connectProxy").size(), 0);
        // Every binding operation of an unready proxy returns at once.
        mem.clearCalls();
        c.process(nullptr, 0, 0);
        c.connectMemAPI();
        QCOMPARE(mem.calls(), QStringList());
    }

    void memoryThatIsNotReadyIsNotUsed()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, param(0, 10, 3));
        mem.setReady(false);
        ProbeControl c;
        c.setNamedAddress("0:0:1");
        c.setMemAPI(&mem);
        QVERIFY(c.addressValid);
        QVERIFY(!c.memAPIReady());
        QCOMPARE(mem.callsNamed("connectProxy").size(), 0);
    }

    void destructionDisconnectsAndAMemoryGoingFirstLeavesNoDanglingApi()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, param(0, 10, 3));
        auto* c = new ProbeControl;
        mem.nameProxy(c, "c");
        c->setNamedAddress("0:0:1");
        c->setMemAPI(&mem);
        mem.clearCalls();
        delete c;
        QCOMPARE(mem.calls(), QStringList({QStringLiteral("disconnectProxy(c,%1)").arg(packAddress(0, 0, 1)),
                                           "proxyAttached(c,0)"}));
        QVERIFY(mem.connectedProxies().isEmpty());

        ProbeControl survivor;
        {
            RecordingMemory shortLived;
            shortLived.setParameter(0, 0, 1, param(0, 10, 3));
            survivor.setNamedAddress("0:0:1");
            survivor.setMemAPI(&shortLived);
            QVERIFY(survivor.memAPIReady());
        }
        QVERIFY(!survivor.api);
        QVERIFY(!survivor.memAPIReady());
        survivor.process(nullptr, 0, 0); // harmless
    }

    void workerThreadChangeIsDeliveredOnceOnTheGuiThread()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, param(0, 1000, 0));
        ProbeControl c;
        c.setNamedAddress("0:0:1");
        c.setMemAPI(&mem);
        c.threads.clear();
        const int before = c.guiRefreshes;

        std::thread writer([&] {
            for (int i = 1; i <= 200; ++i)
                mem.hostWrite(0, 0, 1, i);
        });
        writer.join();
        QVERIFY(!c.threads.isEmpty());
        QVERIFY(c.threads.first() != QThread::currentThread()); // first on the writer's thread
        QCOMPARE(c.guiRefreshes, before);                        // nothing touched off the GUI thread
        QTRY_COMPARE(c.shown, 200);
        QCOMPARE(c.guiRefreshes, before + 1); // 200 notices, one coalesced refresh
        QCOMPARE(c.threads.last(), QThread::currentThread());
    }

    void pendingObserverEventNeverReachesADestroyedProxy()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, param(0, 10, 0));
        auto* c = new ProbeControl;
        c->setNamedAddress("0:0:1");
        c->setMemAPI(&mem);
        std::thread([&] { mem.hostWrite(0, 0, 1, 5); }).join();
        QCOMPARE(mem.observerEventsRequested(), 1);
        delete c; // the observer event is still queued
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(); // no crash, no delivery (ASan watches)
    }

    void silentHelperRaisesOnlyForChangeAndCopy()
    {
        const int expected[] = {1, 0, 0, 1, 0};
        for (int op = 0; op <= 4; ++op) {
            quint8 silent = 0;
            {
                TMemSilentHelper guard(silent, op);
                QCOMPARE(int(silent), expected[op]);
            }
            QCOMPARE(int(silent), 0);
        }
        quint8 nested = 2;
        {
            TMemSilentHelper guard(nested, 0);
            QCOMPARE(int(nested), 3);
        }
        QCOMPARE(int(nested), 2);
    }

    void copyPasteAndResetsGoThroughProcess()
    {
        RecordingMemory mem;
        mem.setParameter(3, 1, 7, param(0, 100, 42, 10));
        mem.setParameter(3, 1, 8, param(0, 100, 5, 10));
        ProbeControl source, target;
        source.setNamedAddress("3:1:7");
        target.setNamedAddress("3:1:8");
        source.setMemAPI(&mem);
        target.setMemAPI(&mem);

        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            source.copyParameters(out);
            QCOMPARE(source.silentDuringApply, 1); // a copy writes nothing back
        }
        {
            QDataStream in(bytes);
            target.pasteParameters(in);
        }
        QCOMPARE(target.shown, 42);
        QCOMPARE(target.silentDuringApply, 0); // a paste is stored by the control's write-back

        target.reset2defaults();
        QCOMPARE(target.shown, 10);

        // A record from a low address the family does not have is refused: the value stays.
        mem.setParameter(3, 1, 9, param(0, 100, 77));
        QByteArray foreign;
        {
            QDataStream out(&foreign, QIODevice::WriteOnly);
            TParamInfoWriter_Orvel(&source, 99, &out, 500);
        }
        QDataStream in(foreign);
        target.pasteParameters(in);
        QCOMPARE(target.shown, 5);
    }

    void sharedRefreshStepsFollowTheRoad()
    {
        RecordingMemory mem;
        RecordingMemory::Param p = param(-5, 9, 3, 1);
        mem.setParameter(4, 5, 6, p);
        ProbeControl c;
        mem.nameProxy(&c, "c");
        c.setNamedAddress("4:5:6");
        c.setMemAPI(&mem);

        mem.clearCalls();
        c.process(nullptr, 0, 0);
        QCOMPARE(mem.calls(), QStringList({"maximum(4,5,6,0)", "minimum(4,5,6,0)", "currentValue(4,5,6,0,0)"}));
        QCOMPARE(c.range, qMakePair(-5, 9));
        QCOMPARE(c.silentDuringRange, 1);
        QCOMPARE(int(c.silent), 0);
        QCOMPARE(c.shown, 3);

        // Alternative default: none set, so the default is asked for next.
        mem.clearCalls();
        c.process(nullptr, 4, 0);
        QCOMPARE(mem.calls().mid(3), QStringList({"defaultValue(4,5,6,1,out)", "defaultValue(4,5,6,0,null)"}));
        QCOMPARE(c.shown, 1);
        p.altDefault = 7;
        mem.setParameter(4, 5, 6, p);
        mem.clearCalls();
        c.process(nullptr, 4, 0);
        QCOMPARE(mem.calls().mid(3), QStringList({"defaultValue(4,5,6,1,out)"}));
        QCOMPARE(c.shown, 7);
        // A control that does not honour operation 4 keeps the memory's value, asking nothing.
        c.withAltDefault = false;
        mem.clearCalls();
        c.process(nullptr, 4, 0);
        QCOMPARE(mem.calls().size(), 3);
        QCOMPARE(c.shown, 3);
        // A paste without a stream keeps the value and asks nothing more either.
        mem.clearCalls();
        c.process(nullptr, 2, 0);
        QCOMPARE(mem.calls().size(), 3);
        QCOMPARE(c.shown, 3);

        mem.clearCalls();
        QCOMPARE(c.writeUserEdit(8), 0);
        c.setUndoEnable(false);
        QCOMPARE(c.writeUserEdit(100), 0); // clamped by the memory
        QCOMPARE(mem.callsNamed("setValue"), QStringList({"setValue(4,5,6,8,undo:c,1)", "setValue(4,5,6,100,noundo:c,1)"}));
        QCOMPARE(mem.value(4, 5, 6), 9);

        bool deferred = false;
        std::thread([&] { deferred = c.deferToGuiThread(); }).join();
        QVERIFY(deferred);
        QVERIFY(!c.deferToGuiThread());
        QVERIFY(mem.calls().contains("postObserverEvent(c)"));
    }

    void interlockedAddReturnsThePreviousValue()
    {
        std::atomic<long> counter{5};
        QCOMPARE(InterlockedExchangeAdd(&counter, 3), 5L);
        QCOMPARE(InterlockedExchangeAdd(&counter, -8), 8L);
        std::thread a([&] { for (int i = 0; i < 100000; ++i) InterlockedExchangeAdd(&counter, 1); });
        std::thread b([&] { for (int i = 0; i < 100000; ++i) InterlockedExchangeAdd(&counter, -1); });
        a.join();
        b.join();
        QCOMPARE(counter.load(), 0L);
    }

    void recordsRoundTripAndRefuseDamage()
    {
        ProbeControl p;
        p.addrHigh = -3;
        p.addrMid = 2047;
        p.addrLow = 12;
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out.setByteOrder(QDataStream::LittleEndian); // the record keeps its own byte order
            QVERIFY(TParamInfoWriter_Orvel(&p, -559038801, &out).written());
            QVERIFY(TParamInfoWriter_Orvel(&p, 2125315823, &out, 99).written());
        }
        QCOMPARE(bytes, TParamInfoWriter_Orvel::encode(-3, 2047, 12, -559038801)
                            + TParamInfoWriter_Orvel::encode(-3, 2047, 99, 2125315823));
        {
            QDataStream in(bytes);
            TParamInfoReader_Orvel a(&in), b(&in), c(&in);
            QVERIFY(a.isValid());
            QCOMPARE(int(a.highAddress()), -3);
            QCOMPARE(int(a.midAddress()), 2047);
            QCOMPARE(int(a.lowAddress()), 12);
            QCOMPARE(a.value(), -559038801);
            QVERIFY(b.isValid());
            QCOMPARE(int(b.lowAddress()), 99);
            QCOMPARE(b.value(), 2125315823);
            QVERIFY(!c.isValid()); // past the end
            QCOMPARE(int(c.lowAddress()), int(TParamInfoReader_Orvel::InvalidLow));
            QCOMPARE(in.status(), QDataStream::ReadPastEnd);
        }

        const QByteArray good = TParamInfoWriter_Orvel::encode(1, 2, 3, 4);
        QList<QByteArray> bad;
        for (int cut = 0; cut < good.size(); ++cut)
            bad << good.left(cut); // every truncation
        for (int i = 0; i < good.size(); ++i) {
            QByteArray flipped = good;
            flipped[i] = char(flipped[i] ^ 0x10); // every single corrupted byte
            bad << flipped;
        }
        QByteArray future = good;
        future[4] = 2; // a version this reader does not know
        bad << future << QByteArray("not a record at all");
        for (const QByteArray& b : std::as_const(bad)) {
            QDataStream in(b);
            TParamInfoReader_Orvel r(&in);
            QVERIFY2(!r.isValid(), b.toHex().constData());
            QCOMPARE(int(r.lowAddress()), int(TParamInfoReader_Orvel::InvalidLow));
            QVERIFY(in.status() != QDataStream::Ok);
            TParamInfoReader_Orvel after(&in); // a failed stream stays failed
            QVERIFY(!after.isValid());
        }
        TParamInfoReader_Orvel none(static_cast<QDataStream*>(nullptr));
        QVERIFY(!none.isValid());
        QVERIFY(!TParamInfoWriter_Orvel(nullptr, 1, static_cast<QDataStream*>(nullptr)).written());
    }

    void undoContextAndInformation()
    {
        RecordingMemory mem;
        mem.setParameter(0, 1, 2, param(-64, 63, 0));
        ProbeControl c;
        QVERIFY(c.undoContext(0).undoable);
        QCOMPARE(c.undoContext(0).proxy, &c);
        c.setUndoEnable(false);
        QVERIFY(!c.undoContext(0).undoable);
        c.setUndoEnable(true);
        c.noAutoUndo = true;
        QVERIFY(!c.undoContext(0).undoable);

        double a = 0, b = 0, cc = 0;
        bool flag = true;
        QVERIFY(!c.getInformation(a, b, cc, flag)); // unbound
        QVERIFY(!flag);
        c.setNamedAddress("0:1:2");
        c.setMemAPI(&mem);
        flag = true;
        QVERIFY(c.getInformation(a, b, cc, flag));
        QCOMPARE(a, -64.0);
        QCOMPARE(b, -64.0);
        QCOMPARE(cc, 63.0);
    }

    void showStateHidesOnlyWhatItHid()
    {
        RecordingMemory mem;
        RecordingMemory::Param p = param(0, 1, 0);
        p.available = false;
        mem.setParameter(0, 0, 1, p);
        QWidget window;
        auto* c = new ProbeControl(&window);
        c->setNamedAddress("0:0:1");
        window.show();
        c->setMemAPI(&mem);
        c->process(nullptr, 0, 0);
        QVERIFY(c->isHidden());

        p.available = true;
        mem.setParameter(0, 0, 1, p);
        c->process(nullptr, 0, 0);
        QVERIFY(!c->isHidden());

        // A widget the host hid stays hidden; auto-hide can be disabled.
        c->hide();
        c->process(nullptr, 0, 0);
        QVERIFY(c->isHidden());
        c->show();
        p.available = false;
        mem.setParameter(0, 0, 1, p);
        c->noAutoHide = true;
        c->process(nullptr, 0, 0);
        QVERIFY(!c->isHidden());
    }

    void castByNameAndBindingATree()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, param(0, 10, 1));
        QWidget root;
        auto* a = new ProbeControl(&root);
        auto* inner = new QWidget(&root);
        auto* b = new ProbeControl(inner);
        a->setNamedAddress("0:0:1");
        b->setNamedAddress("0:0:1");
        QCOMPARE(memProxyOf(a), static_cast<TMemProxy_Orvel*>(a));
        QCOMPARE(memProxyOf(inner), nullptr);
        QCOMPARE(memProxyOf(nullptr), nullptr);
        QCOMPARE(bindMemAPI(&root, &mem), 2);
        QVERIFY(a->memAPIReady());
        QVERIFY(b->memAPIReady());
        QCOMPARE(mem.connectedProxies().size(), 2);
        QCOMPARE(bindMemAPI(&root, nullptr), 2);
        QVERIFY(!a->api);
        QVERIFY(mem.connectedProxies().isEmpty());
    }

    void marshalledCallbacksRunOnTheGuiThreadForLiveTargetsOnly()
    {
        static std::atomic<int> runs{0};
        static QThread* ranOn = nullptr;
        runs = 0;
        auto cb = [](QObject* target) {
            ranOn = QThread::currentThread();
            if (target->objectName() == "alive")
                ++runs;
        };
        QObject alive;
        alive.setObjectName("alive");
        auto* doomed = new QObject;
        doomed->setObjectName("alive");

        bool posted = false;
        std::thread worker([&] {
            posted = CAppServer::MS() && CAppServer::postMarshall(&alive, cb)
                && CAppServer::postMarshall(doomed, cb);
        });
        worker.join();
        QVERIFY(posted);
        QCOMPARE(CAppServer::MS()->thread(), QCoreApplication::instance()->thread());
        delete doomed;
        QTRY_COMPARE(runs.load(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(runs.load(), 1);
        QCOMPARE(ranOn, QThread::currentThread());

        // The plain event, posted by hand as the controls do.
        QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent_Orvel(&alive, cb));
        QTRY_COMPARE(runs.load(), 2);
        QCOMPARE(CAppServer::MS(), CAppServer::MS());
    }

    void mainThreadTest()
    {
        QVERIFY(NS_Utilities::mainThreadRunning());
        bool onWorker = true;
        std::thread([&] { onWorker = NS_Utilities::mainThreadRunning(); }).join();
        QVERIFY(!onWorker);
    }

    void notifierFollowsMemoryAndDrivesObservers()
    {
        RecordingMemory mem;
        mem.setParameter(2, 0, 0, param(0, 7, 3));
        CSimpleNotifier_Orvel n;
        QCOMPARE(n.metaObject()->className(), "CSimpleNotifier");
        QCOMPARE(memProxyOf(&n), static_cast<TMemProxy_Orvel*>(&n));
        QSignalSpy spy(&n, &CSimpleNotifier_Orvel::notifiedValueChanged);

        ProbeControl observer;
        auto* doomed = new ProbeControl;
        n.addObserver(&observer);
        n.addObserver(doomed);
        n.addObserver(&observer);
        delete doomed;

        // Unbound: a plain shared value.
        n.setNotifiedValue(5);
        QCOMPARE(n.notifiedValue(), 5);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(observer.threads.size(), 1); // refreshed once, although added twice

        // Bound: follows the memory, and writes through with the undo context.
        mem.nameProxy(&n, "n");
        n.setNamedAddress("2:0:0");
        n.setMemAPI(&mem);
        mem.clearCalls();
        n.setNotifiedValue(6);
        QVERIFY(mem.calls().contains("setValue(2,0,0,6,undo:n,1)"));
        QCOMPARE(mem.value(2, 0, 0), 6);
        QCOMPARE(n.notifiedValue(), 6);

        std::thread([&] { mem.hostWrite(2, 0, 0, 1); }).join();
        QTRY_COMPARE(n.notifiedValue(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 1);

        // A write from a worker thread is carried out on the GUI thread.
        std::thread([&] { n.setNotifiedValue(4); }).join();
        QTRY_COMPARE(mem.value(2, 0, 0), 4);
    }
};

QTEST_MAIN(TestBinding)
#include "tst_binding.moc"
