// Undo steps of the reference memory: one step per gesture, merging by time, explicit step
// boundaries, worker-thread records and replay.
#include "tst_memory_proxy.h"

#include <QTest>
#include <QUndoStack>
#include <QWidget>

#include <thread>

// Parameters 0:0:k with a proxy on each; edits go through the proxies as a control makes them.
struct Fixture
{
    Fixture(int count, int mergeInterval) : proxies(bind(memory, count, count))
    {
        memory.setUndoMergeInterval(mergeInterval);
    }
    void edit(int k, int v) { memory.setValue(0, 0, qint16(k), v, proxies[k]->undoContext(0), 1); }
    int value(int k) const { return memory.value(0, 0, qint16(k)); }
    QUndoStack& stack() { return *memory.undoStack(); }
    // The values of parameter 0 after each of `count` undos.
    QList<int> undone(int count)
    {
        QList<int> values;
        for (; count > 0; --count) {
            stack().undo();
            values.append(value(0));
        }
        return values;
    }

    TReferenceMemory_Orvel memory;
    Proxies proxies;
};

class TestMemoryUndo : public QObject
{
    Q_OBJECT

private slots:
    void eachDragIsOneStep();
    void timeMergingAndStepBoundaries();
    void workerWritesGiveExactSteps();
};

void TestMemoryUndo::eachDragIsOneStep()
{
    Fixture f(1, 0); // time merging off: only a press merges
    f.memory.write(0, 0, 0, 10); // automation: no step
    QWidget widget;
    for (int drag = 0; drag < 3; ++drag) { // drags right after each other stay apart
        QTest::mousePress(&widget, Qt::LeftButton);
        for (int v = 1; v <= 20; ++v) {
            QTest::mouseMove(&widget, QPoint(10, v));
            f.edit(0, drag * 100 + v);
        }
        QTest::mouseRelease(&widget, Qt::LeftButton);
    }
    f.edit(0, 500); // after the release: no press, no merging
    f.edit(0, 501);
    QCOMPARE(f.undone(5), QList<int>({500, 220, 120, 20, 10}));
}

void TestMemoryUndo::timeMergingAndStepBoundaries()
{
    Fixture f(2, INT_MAX); // every change is within the merge interval
    TestProxy other(QStringLiteral("0:0:0"));
    other.setMemAPI(&f.memory);
    f.edit(0, 1);
    f.edit(0, 2);
    QCOMPARE(f.memory.beginUndoStep(f.proxies[0].get()), 0);
    f.memory.setValue(0, 0, 0, 3, other.undoContext(0), 1); // another proxy: still merges
    f.edit(0, 4); // the flagged proxy's next write starts a step
    f.edit(0, 5); // and the gesture goes on in it
    f.edit(1, 7); // another parameter never merges
    f.edit(0, 6);
    QCOMPARE(f.undone(4), QList<int>({5, 5, 3, 0}));

    f.memory.setUndoMergeInterval(1);
    f.edit(0, 8);
    QTest::qSleep(20); // well past the interval
    f.edit(0, 9);
    QCOMPARE(f.stack().count(), 2);
    f.memory.setUndoMergeInterval(INT_MAX);
    f.edit(0, 8); // back where the step began: the step is dropped
    QCOMPARE(f.stack().count(), 1);
}

// Undoable writes from worker threads, merging off: one step per changed value, in write order
// per parameter; undo all and redo all go through every state, notify and record nothing new.
void TestMemoryUndo::workerWritesGiveExactSteps()
{
    constexpr int Threads = 4;
    constexpr int Writes = 1500;
    Fixture f(Threads, 0);
    std::vector<std::thread> writers;
    for (int k = 0; k < Threads; ++k) {
        writers.emplace_back([&f, k] {
            for (int v = 1; v <= Writes; ++v)
                f.edit(k, v);
        });
    }
    for (std::thread& t : writers)
        t.join();
    f.memory.write(0, 0, 0, 7); // before the records reach the stack, which must not rewrite it
    QTRY_COMPARE(f.stack().count(), Threads * Writes); // the records come in a posted event
    QCOMPARE(f.value(0), 7);
    f.memory.write(0, 0, 0, Writes);

    int sum = Threads * Writes;
    for (int direction : {-1, 1}) {
        for (int step = 0; step < Threads * Writes; ++step) {
            if (direction < 0)
                f.stack().undo();
            else
                f.stack().redo();
            int total = 0;
            for (int k = 0; k < Threads; ++k)
                total += f.value(k);
            sum += direction;
            QCOMPARE(total, sum); // one parameter moved by one write
        }
        for (int k = 0; k < Threads; ++k) {
            QCOMPARE(f.value(k), direction < 0 ? 0 : Writes);
            QCOMPARE(f.proxies[size_t(k)]->shown, f.value(k));
        }
    }
    QCOMPARE(f.stack().count(), Threads * Writes);
}

QTEST_MAIN(TestMemoryUndo)
#include "tst_memory_undo.moc"
