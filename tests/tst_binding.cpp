// The binding road: proxies against the recording memory, records, marshalled events, notifier.
#include "binding/appserver.h"
#include "binding/memproxy.h"
#include "binding/notifier.h"
#include "binding/records.h"
#include "binding/utilities.h"
#include "support/recordingmemory.h"

#include <QDataStream>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <thread>

// A bound widget as the controls are built: toolkit base first, proxy second; its process
// follows the shared steps (re-post, range under `silent`, value by operation, silent guard).
class ProbeControl : public QWidget, public TMemProxy
{
    Q_OBJECT
public:
    explicit ProbeControl(QWidget* parent = nullptr) : QWidget(parent) {}
    ~ProbeControl() override { detachMemAPI(); }

    void process(const Q_UINT8* data, int operation, Q_UINT32) override
    {
        threads << QThread::currentThread();
        if (!memAPIReady() || deferToGuiThread())
            return;
        setWidgetShowState(this);
        applyMemoryRange([this](int min, int max) {
            range = {min, max};
            silentDuringRange = silent;
        });
        const int current = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
        shown = valueForOperation(data, operation, current, withAltDefault);
        TMemSilentHelper guard(silent, operation);
        silentDuringApply = silent;
        ++guiRefreshes;
    }
    void connectMemAPI() override
    {
        ++connects;
        TMemProxy_Orvel::connectMemAPI();
    }
    bool disableAutoHide() const override { return noAutoHide; }
    bool autoUndoDisabled() const override { return noAutoUndo; }

    QList<QThread*> threads;
    QPair<int, int> range{0, 0};
    int silentDuringRange = -1;
    int silentDuringApply = -1;
    int shown = -1;
    int guiRefreshes = 0;
    int connects = 0;
    bool withAltDefault = true;
    bool noAutoHide = false;
    bool noAutoUndo = false;
};

static QString packed(qint16 h, qint16 m, qint16 l)
{
    return QString::number(packAddress(h, m, l));
}

class TestBinding : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void packedAddressSignExtendsEachField()
    {
        QCOMPARE(packAddress(1, 2, 3), quint32(3 | (2 << 11) | (1 << 22)));
        // Negative fields are sign-extended before they are OR-ed: they cover the higher fields.
        QCOMPARE(packAddress(0, 0, -1), 0xFFFFFFFFu);
        QCOMPARE(packAddress(-1, 0, 5), 0xFFC00005u);
        QCOMPARE(packAddress(0, -2, 0), 0xFFFFF000u);
    }

    void attachingResolvesConnectsAndRenamingReconnects()
    {
        RecordingMemory mem;
        mem.setParameter(1, 2, 3, {0, 127, 64});
        mem.setParameter(1, 2, 4, {0, 127, 2});
        mem.addName("osc.cutoff", {1, 2, 3, 4});
        ProbeControl c;
        mem.nameProxy(&c, "c");
        c.setNamedAddress("osc.cutoff");
        QVERIFY(!c.memAPIReady());
        QVERIFY(mem.calls().isEmpty());

        c.setMemAPI(&mem);
        QVERIFY(c.memAPIReady());
        QCOMPARE(c.connects, 1);
        QCOMPARE(int(c.addrLowOffset), 4);
        QCOMPARE(mem.calls(), QStringList({"proxyAttached(c,1)", "resolveAddress(osc.cutoff)",
                                           "connectProxy(c," + packed(1, 2, 3) + ",0)"}));

        mem.clearCalls();
        c.setNamedAddress("1:2:4");
        QCOMPARE(mem.calls(), QStringList({"disconnectProxy(c," + packed(1, 2, 3) + ")", "resolveAddress(1:2:4)",
                                           "connectProxy(c," + packed(1, 2, 4) + ",0)"}));

        // A name that does not resolve leaves the proxy inert: nothing reaches the memory.
        c.setNamedAddress("no such thing");
        QVERIFY(!c.memAPIReady());
        mem.clearCalls();
        c.process(nullptr, 0, 0);
        c.connectMemAPI();
        QVERIFY(mem.calls().isEmpty());

        // A memory that is not ready is not used either.
        mem.setReady(false);
        c.setNamedAddress("1:2:3");
        QVERIFY(c.addressValid && !c.memAPIReady());
        QVERIFY(mem.callsNamed("connectProxy").isEmpty());
    }

    void lifetimesLeaveNoDanglingPointers()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, {0, 10, 3});
        auto* c = new ProbeControl;
        mem.nameProxy(c, "c");
        c->setNamedAddress("0:0:1");
        c->setMemAPI(&mem);
        // A change from a worker thread leaves an observer event queued for the control.
        std::thread([&] { mem.hostWrite(0, 0, 1, 5); }).join();
        mem.clearCalls();
        delete c;
        QCOMPARE(mem.calls(), QStringList({"disconnectProxy(c," + packed(0, 0, 1) + ")", "proxyAttached(c,0)"}));
        QCoreApplication::processEvents(); // the queued event finds no proxy (ASan watches)

        ProbeControl survivor;
        {
            RecordingMemory shortLived;
            shortLived.setParameter(0, 0, 1, {0, 10, 3});
            survivor.setNamedAddress("0:0:1");
            survivor.setMemAPI(&shortLived);
        }
        QVERIFY(!survivor.api && !survivor.memAPIReady());
        survivor.process(nullptr, 0, 0);
    }

    void workerThreadChangeIsDeliveredOnceOnTheGuiThread()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, {0, 1000, 0});
        ProbeControl c;
        c.setNamedAddress("0:0:1");
        c.setMemAPI(&mem);
        c.threads.clear();
        const int before = c.guiRefreshes;
        bool workerIsMain = true;
        std::thread writer([&] {
            workerIsMain = NS_Utilities::mainThreadRunning();
            for (int i = 1; i <= 200; ++i)
                mem.hostWrite(0, 0, 1, i);
        });
        writer.join();
        QVERIFY(!workerIsMain);
        QVERIFY(c.threads.first() != QThread::currentThread()); // first on the writer's thread
        QCOMPARE(c.guiRefreshes, before);                        // nothing done off the GUI thread
        QTRY_COMPARE(c.shown, 200);
        QCOMPARE(c.guiRefreshes, before + 1); // 200 notices, one coalesced refresh
        QCOMPARE(c.threads.last(), QThread::currentThread());
    }

    void refreshStepsFollowTheRoad()
    {
        RecordingMemory mem;
        RecordingMemory::Param p{-5, 9, 3, 1};
        mem.setParameter(4, 5, 6, p);
        ProbeControl c;
        mem.nameProxy(&c, "c");
        c.setNamedAddress("4:5:6");
        c.setMemAPI(&mem);
        const QStringList refresh{"maximum(4,5,6,0)", "minimum(4,5,6,0)", "currentValue(4,5,6,0,0)"};

        mem.clearCalls();
        c.process(nullptr, 0, 0);
        QCOMPARE(mem.calls(), refresh);
        QCOMPARE(c.range, qMakePair(-5, 9));
        QCOMPARE(c.silentDuringRange, 1);
        QCOMPARE(c.silentDuringApply, 1); // a memory change is not written back
        QCOMPARE(int(c.silent), 0);

        mem.clearCalls();
        c.process(nullptr, 4, 0); // no alternative default: the default is asked next
        QCOMPARE(mem.calls().mid(3), QStringList({"defaultValue(4,5,6,1,out)", "defaultValue(4,5,6,0,null)"}));
        QCOMPARE(c.shown, 1);
        QCOMPARE(c.silentDuringApply, 0); // a reset is stored by the control's write-back
        p.altDefault = 7;
        mem.setParameter(4, 5, 6, p);
        c.process(nullptr, 4, 0);
        QCOMPARE(c.shown, 7);
        // Operation 4 not honoured, or a paste without a stream: the value stays, nothing asked.
        c.withAltDefault = false;
        for (int op : {4, 2}) {
            mem.clearCalls();
            c.process(nullptr, op, 0);
            QCOMPARE(mem.calls(), refresh);
            QCOMPARE(c.shown, 3);
        }

        mem.clearCalls();
        QCOMPARE(c.writeUserEdit(8), 0);
        c.setUndoEnable(false);
        c.writeUserEdit(100);
        c.setUndoEnable(true);
        c.noAutoUndo = true;
        c.writeUserEdit(2);
        QCOMPARE(mem.callsNamed("setValue"), QStringList({"setValue(4,5,6,8,undo:c,1)", "setValue(4,5,6,100,noundo:c,1)",
                                                          "setValue(4,5,6,2,noundo:c,1)"}));
    }

    void silentHelperRaisesOnlyForChangeAndCopy()
    {
        for (int op = 0; op <= 4; ++op) {
            quint8 silent = 2;
            {
                TMemSilentHelper guard(silent, op);
                QCOMPARE(int(silent), op == 0 || op == 3 ? 3 : 2);
            }
            QCOMPARE(int(silent), 2);
        }
    }

    void copyPasteAndResetsGoThroughProcess()
    {
        RecordingMemory mem;
        mem.setParameter(3, 1, 7, {0, 100, 42, 10});
        mem.setParameter(3, 1, 8, {0, 100, 5, 10});
        ProbeControl source, target;
        source.setNamedAddress("3:1:7");
        target.setNamedAddress("3:1:8");
        source.setMemAPI(&mem);
        target.setMemAPI(&mem);

        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        source.copyParameters(out);
        TParamInfoWriter_Orvel(&source, 99, &out, 500); // a low address the family does not have
        QDataStream in(bytes);
        target.pasteParameters(in);
        QCOMPARE(target.shown, 42); // the instance at low 7 pastes into low 8 of its family
        target.pasteParameters(in);
        QCOMPARE(target.shown, 5); // refused: the value stays
        target.reset2defaults();
        QCOMPARE(target.shown, 10);
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
        QDataStream in(bytes);
        TParamInfoReader_Orvel a(&in), b(&in), past(&in);
        QVERIFY(a.isValid() && b.isValid());
        QCOMPARE(QList<int>({a.highAddress(), a.midAddress(), a.lowAddress(), a.value()}),
                 QList<int>({-3, 2047, 12, -559038801}));
        QCOMPARE(QList<int>({b.lowAddress(), b.value()}), QList<int>({99, 2125315823}));
        QVERIFY(!past.isValid());
        QCOMPARE(in.status(), QDataStream::ReadPastEnd);

        // Every truncation, every corrupted byte, an unknown version and foreign bytes.
        const QByteArray good = TParamInfoWriter_Orvel::encode(1, 2, 3, 4);
        QList<QByteArray> bad{QByteArray("not a record at all")};
        for (int i = 0; i < good.size(); ++i) {
            QByteArray flipped = good;
            flipped[i] = char(flipped[i] ^ 0x10);
            bad << good.left(i) << flipped;
        }
        QByteArray future = good;
        future[4] = 2;
        bad << future;
        for (const QByteArray& damaged : std::as_const(bad)) {
            QDataStream stream(damaged);
            TParamInfoReader_Orvel r(&stream);
            QVERIFY2(!r.isValid(), damaged.toHex().constData());
            QCOMPARE(int(r.lowAddress()), int(TParamInfoReader_Orvel::InvalidLow));
            QVERIFY(stream.status() != QDataStream::Ok);
            QVERIFY(!TParamInfoReader_Orvel(&stream).isValid()); // a failed stream stays failed
        }
        QVERIFY(!TParamInfoReader_Orvel(static_cast<QDataStream*>(nullptr)).isValid());
        QVERIFY(!TParamInfoWriter_Orvel(nullptr, 1, static_cast<QDataStream*>(nullptr)).written());
    }

    void informationAndShowState()
    {
        RecordingMemory mem;
        RecordingMemory::Param p{-64, 63, 0};
        p.available = false;
        mem.setParameter(0, 1, 2, p);
        QWidget window;
        auto* c = new ProbeControl(&window);
        double a = 0, b = 0, cc = 0;
        bool flag = true;
        QVERIFY(!c->getInformation(a, b, cc, flag) && !flag); // unbound
        c->setNamedAddress("0:1:2");
        c->setMemAPI(&mem);
        flag = true;
        QVERIFY(c->getInformation(a, b, cc, flag));
        QCOMPARE(QList<double>({a, b, cc}), QList<double>({-64, -64, 63}));

        // Hidden while unavailable, shown again after; a widget the host hid stays hidden.
        window.show();
        c->process(nullptr, 0, 0);
        QVERIFY(c->isHidden());
        p.available = true;
        mem.setParameter(0, 1, 2, p);
        c->process(nullptr, 0, 0);
        QVERIFY(!c->isHidden());
        c->hide();
        c->process(nullptr, 0, 0);
        QVERIFY(c->isHidden());
        c->show();
        p.available = false;
        mem.setParameter(0, 1, 2, p);
        c->noAutoHide = true;
        c->process(nullptr, 0, 0);
        QVERIFY(!c->isHidden());
    }

    void castByNameAndBindingATree()
    {
        RecordingMemory mem;
        mem.setParameter(0, 0, 1, {0, 10, 1});
        QWidget root;
        auto* a = new ProbeControl(&root);
        auto* inner = new QWidget(&root);
        auto* b = new ProbeControl(inner);
        a->setNamedAddress("0:0:1");
        b->setNamedAddress("0:0:1");
        QCOMPARE(memProxyOf(a), static_cast<TMemProxy_Orvel*>(a));
        QCOMPARE(memProxyOf(inner), nullptr);
        QCOMPARE(bindMemAPI(&root, &mem), 2);
        QCOMPARE(mem.connectedProxies().size(), 2);
        QCOMPARE(bindMemAPI(&root, nullptr), 2);
        QVERIFY(!a->api && !b->api);
        QVERIFY(mem.connectedProxies().isEmpty());
    }

    void marshalledCallbacksRunOnTheGuiThreadForLiveTargetsOnly()
    {
        static std::atomic<int> runs{0};
        static QThread* ranOn = nullptr;
        auto cb = [](QObject*) {
            ranOn = QThread::currentThread();
            ++runs;
        };
        QObject alive;
        auto* doomed = new QObject;
        bool posted = false;
        std::thread([&] {
            posted = CAppServer::postMarshall(&alive, cb) && CAppServer::postMarshall(doomed, cb);
        }).join();
        QVERIFY(posted);
        QCOMPARE(CAppServer::MS()->thread(), QCoreApplication::instance()->thread());
        delete doomed;
        QTRY_COMPARE(runs.load(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(runs.load(), 1);
        QCOMPARE(ranOn, QThread::currentThread());
    }

    void notifierFollowsMemoryAndDrivesObservers()
    {
        RecordingMemory mem;
        mem.setParameter(2, 0, 0, {0, 7, 3});
        CSimpleNotifier_Orvel n;
        QCOMPARE(n.metaObject()->className(), "CSimpleNotifier");
        QSignalSpy spy(&n, &CSimpleNotifier_Orvel::notifiedValueChanged);
        ProbeControl observer;
        auto* doomed = new ProbeControl;
        n.addObserver(&observer);
        n.addObserver(doomed);
        n.addObserver(&observer);
        delete doomed;

        n.setNotifiedValue(5); // unbound: a plain shared value
        QCOMPARE(spy.size(), 1);
        QCOMPARE(observer.threads.size(), 1); // refreshed once, although added twice

        mem.nameProxy(&n, "n");
        n.setNamedAddress("2:0:0");
        n.setMemAPI(&mem);
        n.setNotifiedValue(6); // bound: written through with the undo context
        QVERIFY(mem.calls().contains("setValue(2,0,0,6,undo:n,1)"));
        std::thread([&] { mem.hostWrite(2, 0, 0, 1); }).join();
        QTRY_COMPARE(n.notifiedValue(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 1);
        std::thread([&] { n.setNotifiedValue(4); }).join(); // carried out on the GUI thread
        QTRY_COMPARE(mem.value(2, 0, 0), 4);
    }
};

QTEST_MAIN(TestBinding)
#include "tst_binding.moc"
