// The reference memory under concurrent writers: delivery on the writer's thread and then on the
// GUI thread, coalescing, the disconnect guarantee while writers run, and the folding of a burst
// of refreshes in one window into one window repaint.
#include "tst_memory_proxy.h"

#include "binding/refreshcoalescing.h"

#include <QTest>
#include <QWidget>

#include <thread>

// Threads that are told to stop and are joined when this goes out of scope, even on a failure.
struct Threads : std::vector<std::thread>
{
    ~Threads()
    {
        stop.store(true);
        for (std::thread& t : *this)
            t.join();
    }
    std::atomic<bool> stop{false};
};

class TestMemoryThreads : public QObject
{
    Q_OBJECT

private slots:
    void workerWriteComesBackOnTheGuiThread();
    void manyWritersAreCoalesced();
    void proxiesLeaveWhileWritersRun();
    void burstOfRefreshesRepaintsTheWindowOnce_data();
    void burstOfRefreshesRepaintsTheWindowOnce();
};

// A worker-thread write reaches process() on the writer's thread, then once on the GUI thread. A
// write that lands during that refresh brings another: the pending mark is cleared before it.
void TestMemoryThreads::workerWriteComesBackOnTheGuiThread()
{
    TReferenceMemory_Orvel memory;
    const Proxies proxies = bind(memory, 1, 1);
    QThread* gui = QThread::currentThread();
    QList<QThread*> threads; // of each process() call
    proxies[0]->hook = [&](TestProxy*) {
        threads.append(QThread::currentThread());
        if (threads.size() == 2)
            std::thread([&] { memory.write(0, 0, 0, 99); }).join();
    };
    std::thread([&] { memory.write(0, 0, 0, 42); }).join();
    QCOMPARE(threads.size(), 1); // on the writer's thread; the GUI thread has not seen it yet
    QTRY_COMPARE(threads.size(), 4);
    QCoreApplication::processEvents();
    QCOMPARE(threads.size(), 4);
    QVERIFY(threads[0] != gui && threads[1] == gui && threads[2] != gui && threads[3] == gui);
}

// Four writers, then a known final writer, while the GUI thread is busy: every proxy ends on the
// final writer's value, no posted event is lost, and the GUI thread refreshes each proxy once.
void TestMemoryThreads::manyWritersAreCoalesced()
{
    constexpr int Writers = 4;
    constexpr int Writes = 20000; // by each
    TReferenceMemory_Orvel memory;
    const Proxies proxies = bind(memory, 8, 4); // two on each parameter
    {
        Threads writers;
        for (int k = 0; k < Writers; ++k) {
            writers.emplace_back([&, k] {
                for (int i = 0; i < Writes; ++i) // every value differs from all others
                    memory.write(0, 0, qint16(i % 4), k * Writes + i + 1);
            });
        }
    }
    std::thread([&] {
        for (qint16 low = 0; low < 4; ++low)
            memory.write(0, 0, low, 777000 + low);
    }).join();
    for (const auto& proxy : proxies)
        QTRY_COMPARE(proxy->shown, 777000 + proxy->addrLow);
    QCoreApplication::processEvents();

    // With the GUI thread busy meanwhile, each proxy had at most one event pending: all the
    // notices end in a single refresh.
    for (const auto& proxy : proxies)
        QCOMPARE(proxy->guiCalls.load(), 1);
}

// Proxies leave while writers hammer their parameters and observer events pend (the GUI thread
// mostly handles none): every other one is destroyed, the rest disconnect, and one disconnects
// itself from inside process() on the writers' threads. Afterwards no process() call of theirs
// runs or comes later (the sanitizer build reports one that reaches a destroyed proxy).
void TestMemoryThreads::proxiesLeaveWhileWritersRun()
{
    TReferenceMemory_Orvel memory;
    Proxies proxies = bind(memory, 24, 2);
    for (const auto& proxy : proxies) // long process() calls on the writers' threads
        proxy->hook = [](TestProxy*) { QThread::usleep(NS_Utilities::mainThreadRunning() ? 0 : 20); };
    TestProxy quitter(QStringLiteral("0:0:0"));
    quitter.hook = [](TestProxy* self) { self->disconnectMemAPI(); }; // must not wait for itself
    quitter.setMemAPI(&memory);
    std::vector<int> callsAtLeave(proxies.size());
    std::atomic<int> writes{0};
    Threads writers;
    for (int k = 0; k < 3; ++k) {
        writers.emplace_back([&, k] {
            for (int i = 0; !writers.stop.load(); ++i) {
                memory.write(0, 0, qint16(i % 2), (i * 7 + k) % 1000);
                writes.fetch_add(1);
            }
        });
    }
    for (size_t i = 0; i < proxies.size(); ++i) {
        for (const int target = writes.load() + 200; writes.load() < target;)
            i % 3 == 0 ? QCoreApplication::processEvents() : std::this_thread::yield();
        QVERIFY(proxies[i]->calls.load() > 0);
        if (i % 2 == 0) {
            proxies[i].reset();
        } else {
            proxies[i]->disconnectMemAPI();
            callsAtLeave[i] = proxies[i]->calls.load();
            QCOMPARE(proxies[i]->finished.load(), callsAtLeave[i]); // none is still running
        }
        QCOMPARE(memory.connectedProxyCount(), int(proxies.size() - i - 1));
    }
    const int quitterCalls = quitter.calls.load();
    const quint64 deliveries = memory.statistics().observerDeliveries;
    for (const int target = writes.load() + 2000; writes.load() < target;)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(memory.statistics().observerDeliveries, deliveries);
    QCOMPARE(quitter.calls.load(), quitterCalls);
    for (size_t i = 1; i < proxies.size(); i += 2)
        QCOMPARE(proxies[i]->calls.load(), callsAtLeave[i]);
}

// A bound control as the families make them: the GUI-thread refresh reads the value and updates.
class PanelControl : public QWidget, public TestProxy
{
public:
    PanelControl(QWidget* parent, int low) : QWidget(parent), TestProxy(QStringLiteral("0:0:%1").arg(low))
    {
        hook = [this](TestProxy*) { if (NS_Utilities::mainThreadRunning()) update(); };
    }
    int painted = INT_MIN, paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints, painted = shown; }
};

void TestMemoryThreads::burstOfRefreshesRepaintsTheWindowOnce_data()
{
    QTest::addColumn<int>("refreshed"); // controls written in one burst, of 100
    QTest::addColumn<int>("threshold");
    QTest::addColumn<bool>("wholeWindow");
    QTest::newRow("a handful: only the controls") << 5 << TRefreshCoalescer_Orvel::defaultThreshold << false;
    QTest::newRow("one below the threshold") << 11 << 12 << false;
    QTest::newRow("at the threshold") << 12 << 12 << true;
    QTest::newRow("a burst") << 100 << TRefreshCoalescer_Orvel::defaultThreshold << true;
    QTest::newRow("a burst, coalescing off") << 100 << 0 << false;
}

// Refreshes posted in one event-loop pass to many controls of one window repaint the window once
// as a whole (every control once, refreshed or not), each refreshed control showing its value;
// below the threshold only the refreshed controls repaint.
void TestMemoryThreads::burstOfRefreshesRepaintsTheWindowOnce()
{
    QFETCH(int, refreshed);
    QFETCH(int, threshold);
    QFETCH(bool, wholeWindow);
    TReferenceMemory_Orvel memory;
    QWidget panel;
    std::vector<PanelControl*> controls;
    for (int i = 0; i < 100; ++i) {
        memory.addParameter(param(0, 0, qint16(i), 0, 1000));
        controls.push_back(new PanelControl(&panel, i));
        controls.back()->setGeometry(i % 10 * 40 + 5, i / 10 * 40 + 5, 30, 30);
        controls.back()->setMemAPI(&memory);
    }
    panel.resize(400, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTRY_VERIFY(std::all_of(controls.begin(), controls.end(), [](PanelControl* c) { return c->paints > 0; }));
    QCoreApplication::processEvents();
    for (PanelControl* c : controls)
        c->paints = 0;

    const int previous = TRefreshCoalescer_Orvel::threshold();
    TRefreshCoalescer_Orvel::setThreshold(threshold);
    const quint64 updates = TRefreshCoalescer_Orvel::windowUpdates();
    std::thread([&] {
        for (int i = 0; i < refreshed; ++i)
            memory.write(0, 0, qint16(i), 500 + i);
    }).join();
    for (int i = 0; i < refreshed; ++i)
        QTRY_COMPARE(controls[size_t(i)]->painted, 500 + i);
    QCoreApplication::processEvents();
    TRefreshCoalescer_Orvel::setThreshold(previous);

    QCOMPARE(TRefreshCoalescer_Orvel::windowUpdates() - updates, quint64(wholeWindow ? 1 : 0));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(controls[size_t(i)]->paints, wholeWindow || i < refreshed ? 1 : 0);
}

QTEST_MAIN(TestMemoryThreads)
#include "tst_memory_threads.moc"
