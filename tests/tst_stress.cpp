// Thread stress: writer threads on the reference memory while the GUI thread creates, binds,
// unbinds, renames and destroys controls of every bound kind, with user edits through input
// events and undo and redo in between. The run is bounded by counts (the writers write a fixed
// number of values per GUI step), not by time. Afterwards every bound control shows the memory's
// value and the undo stack replays to the same state. Meant for the sanitizer build as well.
#include "buttons/cradiobutton.h"
#include "designer/controls.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "memory/referencememory.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "popup/cpopupitem.h"
#include "popup/cpopuplabel.h"
#include "sliders/ctextslider.h"
#include "status/statedisplaywidget.h"
#include "support/controlpictures.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QUndoStack>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int kParams = 4;      // parameters 0:0:0 .. 0:0:3, named p0 .. p3, range 0..kMax
constexpr int kMax = 7;
constexpr int kWriters = 4;
constexpr int kSteps = 1200;       // GUI actions
constexpr int kWritesPerStep = 30; // by each writer, per GUI action

QString paramName(int i)
{
    return QStringLiteral("p%1").arg(i);
}

// Writer threads that stop and are joined when this goes out of scope, also on a failure.
struct WriterThreads : std::vector<std::thread>
{
    ~WriterThreads()
    {
        stop.store(true);
        for (std::thread& t : *this)
            t.join();
    }
    std::atomic<bool> stop{false};
    std::atomic<int> guiStep{0};
    std::atomic<long> writes{0};
};

// A control of a catalogue kind with a proxy part, made able to show every value 0..kMax.
QWidget* createBound(const OrvelControls::Entry& entry, QWidget* parent, int serial)
{
    QWidget* w = entry.create(parent);
    if (!w || !memProxyOf(w)) {
        delete w;
        return nullptr;
    }
    const QString eight = QStringLiteral("0;1;2;3;4;5;6;7");
    for (const char* list : {"labels", "menuItemList"}) {
        if (w->metaObject()->indexOfProperty(list) >= 0)
            w->setProperty(list, eight);
    }
    if (auto* radio = qobject_cast<CRadioButton_Orvel*>(w)) {
        radio->setOnValue(serial % (kMax + 1));
        radio->setAutoExclusive(false); // radios of different parameters share the parent
    }
    w->resize(entry.defaultSize.boundedTo(QSize(80, 80)));
    w->move((serial % 8) * 80, (serial / 8 % 6) * 80);
    return w;
}

// Whether `w` shows `v` through what it displays or exposes; an empty answer for a kind this
// suite does not know (a new bound kind must be added here).
QString showsValue(QWidget* w, int v)
{
    const QString kind = QString::fromLatin1(w->metaObject()->className());
    int shown = 0;
    if (auto* knob = qobject_cast<CDial_Orvel*>(w))
        shown = knob->value();
    else if (auto* fader = qobject_cast<CFader_Orvel*>(w))
        shown = fader->value();
    else if (auto* slider = qobject_cast<CTextSlider_Orvel*>(w))
        shown = slider->value();
    else if (auto* lamp = qobject_cast<StateDisplayWidget_Orvel*>(w))
        shown = lamp->value();
    else if (auto* menu = qobject_cast<CPullDownMenu_Orvel*>(w))
        shown = menu->currentItem();
    else if (auto* popup = qobject_cast<CPopup_Orvel*>(w))
        shown = popup->currentSelection();
    else if (auto* radio = qobject_cast<CRadioButton_Orvel*>(w))
        shown = radio->isOn() || v != radio->onValue() ? v : -1; // off is left to a button group
    else if (auto* button = qobject_cast<COnOffButton_Orvel*>(w))
        shown = button->isOn() == (v == 1) ? v : -1; // boolClipValue 0: on at 1
    else
        return kind + QStringLiteral(": no check for this kind");
    return shown == v ? QString() : QStringLiteral("%1 %2 shows %3, memory %4").arg(kind, w->objectName()).arg(shown).arg(v);
}

// The mismatches between the bound controls and the memory, one a line.
QString mismatches(const QList<QPointer<QWidget>>& controls, TReferenceMemory_Orvel& memory)
{
    QStringList out;
    for (QWidget* w : controls) {
        TMemProxy_Orvel* proxy = w ? memProxyOf(w) : nullptr;
        if (!proxy || !proxy->api || !proxy->addressValid)
            continue;
        const QString m = showsValue(w, memory.value(proxy->addrHigh, proxy->addrMid, proxy->addrLow));
        if (!m.isEmpty())
            out << m;
    }
    return out.join(QLatin1Char('\n'));
}

QList<int> snapshot(TReferenceMemory_Orvel& memory)
{
    QList<int> values;
    for (int i = 0; i < kParams; ++i)
        values << memory.value(0, 0, qint16(i));
    return values;
}

// One user edit through input events; returns whether the kind takes one here.
bool userEdit(QWidget* w, std::mt19937& rng)
{
    static const int keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End};
    const QPoint centre = w->rect().center();
    if (qobject_cast<CDial_Orvel*>(w) || qobject_cast<CFader_Orvel*>(w) || qobject_cast<CTextSlider_Orvel*>(w)) {
        if (rng() % 3 == 0)
            wheel(w, rng() % 2 ? 120 : -120, centre);
        else
            key(w, keys[rng() % 4]);
        return true;
    }
    if (auto* popup = qobject_cast<CPopup_Orvel*>(w)) {
        press(popup, centre);
        if (CPopupItem_Orvel* grid = popup->PopupItem())
            QTest::mouseClick(grid->cellAt(int(rng() % (kMax + 1))), Qt::LeftButton);
        return true;
    }
    if (qobject_cast<COnOffButton_Orvel*>(w) || qobject_cast<CRadioButton_Orvel*>(w)) {
        press(w, centre);
        release(w, centre);
        return true;
    }
    return false;
}

} // namespace

class TestStress : public QObject
{
    Q_OBJECT

private slots:
    void controlsComeAndGoWhileWritersRun()
    {
        TReferenceMemory_Orvel memory;
        memory.setUndoMergeInterval(0);
        for (int i = 0; i < kParams; ++i) {
            TParameterSpec_Orvel p;
            p.name = paramName(i);
            p.low = qint16(i);
            p.maximum = kMax;
            QVERIFY(memory.addParameter(p));
        }
        QList<const OrvelControls::Entry*> kinds;
        QWidget scratch;
        for (const OrvelControls::Entry& entry : OrvelControls::all()) {
            if (QWidget* w = createBound(entry, &scratch, 0)) {
                kinds << &entry;
                delete w;
            }
        }
        QVERIFY(kinds.size() >= 8);

        EditorRoot root;
        root.resize(640, 480);
        root.show();
        QList<QPointer<QWidget>> controls;
        QSet<QString> kindsMade;
        std::mt19937 rng(12);
        int counts[10] = {};
        QElapsedTimer clock;
        clock.start();
        {
            WriterThreads writers;
            for (int t = 0; t < kWriters; ++t) {
                writers.emplace_back([&memory, &writers, t] {
                    std::mt19937 wr(100 + t);
                    for (int step = 0; step < kSteps && !writers.stop.load(); ++step) {
                        while (writers.guiStep.load() < step && !writers.stop.load())
                            std::this_thread::yield();
                        for (int i = 0; i < kWritesPerStep; ++i) {
                            const qint16 low = qint16(wr() % kParams);
                            const int value = int(wr() % (kMax + 1));
                            // Writer 0 edits like a host's editing thread: undoable steps that
                            // reach the stack through the memory's drain.
                            if (t == 0 && i == 0 && step % 4 == 0)
                                memory.setValue(0, 0, low, value, TUndoContext{nullptr, true}, 1);
                            else
                                memory.write(0, 0, low, value);
                        }
                        writers.writes.fetch_add(kWritesPerStep);
                    }
                });
            }
            const auto pick = [&]() -> QWidget* {
                controls.removeAll(QPointer<QWidget>());
                return controls.isEmpty() ? nullptr : controls[int(rng() % controls.size())].data();
            };
            for (int step = 0; step < kSteps; ++step) {
                writers.guiStep.store(step);
                const int action = int(rng() % 10);
                QWidget* w = action >= 2 ? pick() : nullptr;
                TMemProxy_Orvel* proxy = w ? memProxyOf(w) : nullptr;
                switch (action) {
                case 0:
                case 1: {
                    const OrvelControls::Entry* entry = kinds[int(rng() % kinds.size())];
                    QWidget* made = createBound(*entry, &root, step);
                    made->setObjectName(QString::number(step));
                    memProxyOf(made)->setNamedAddress(paramName(int(rng() % kParams)));
                    memProxyOf(made)->setMemAPI(&memory);
                    memProxyOf(made)->process(nullptr, 0, 0);
                    made->show();
                    controls << made;
                    kindsMade << entry->className;
                    break;
                }
                case 2:
                    delete w;
                    break;
                case 3:
                    if (proxy)
                        proxy->setMemAPI(nullptr);
                    break;
                case 4:
                    if (proxy) {
                        proxy->setMemAPI(&memory);
                        proxy->process(nullptr, 0, 0);
                    }
                    break;
                case 5:
                    if (proxy)
                        proxy->setNamedAddress(paramName(int(rng() % kParams)));
                    break;
                case 6:
                case 7:
                    if (w && !userEdit(w, rng))
                        continue;
                    break;
                case 8:
                    memory.flushUndo();
                    if (!memory.undoStack()->canUndo())
                        continue;
                    memory.undoStack()->undo();
                    break;
                case 9:
                    if (!memory.undoStack()->canRedo())
                        continue;
                    memory.undoStack()->redo();
                    break;
                }
                ++counts[action];
                // Observer events and repaints pile up between turns of the event loop, as they
                // do in an editor that is busy.
                if (step % 3 == 0)
                    QCoreApplication::processEvents();
            }
            writers.guiStep.store(kSteps);
        } // the writers are joined here
        const qint64 churnMs = clock.elapsed();
        QCOMPARE(kindsMade.size(), kinds.size());

        // Every bound control comes to show the memory's value.
        memory.flushUndo();
        QTRY_COMPARE(mismatches(controls, memory), QString());

        // The last change of every parameter becomes a user edit, so the whole state is one the
        // stack can reach; undo all and redo all, twice, with the controls following.
        for (int i = 0; i < kParams; ++i) {
            auto* knob = new CDial_Orvel(&root);
            knob->setNamedAddress(paramName(i));
            knob->setMemAPI(&memory);
            knob->process(nullptr, 0, 0);
            controls << knob;
            const int before = memory.value(0, 0, qint16(i));
            key(knob, before < kMax ? Qt::Key_Up : Qt::Key_Down);
            QVERIFY(memory.value(0, 0, qint16(i)) != before);
        }
        memory.flushUndo();
        const int steps = memory.undoStack()->count();
        clock.restart();
        const QList<int> top = snapshot(memory);
        QList<int> bottom;
        for (int round = 0; round < 2; ++round) {
            while (memory.undoStack()->canUndo())
                memory.undoStack()->undo();
            if (round == 0)
                bottom = snapshot(memory);
            QCOMPARE(snapshot(memory), bottom);
            QTRY_COMPARE(mismatches(controls, memory), QString());
            while (memory.undoStack()->canRedo())
                memory.undoStack()->redo();
            QCOMPARE(snapshot(memory), top);
            QTRY_COMPARE(mismatches(controls, memory), QString());
        }
        qInfo("%d GUI steps (made %d, deleted %d, unbound %d, rebound %d, renamed %d, edits %d, "
              "undos %d, redos %d), %ld writes by %d threads: %lld ms; %d undo steps replayed twice "
              "with %d controls: %lld ms",
              kSteps, counts[0] + counts[1], counts[2], counts[3], counts[4], counts[5],
              counts[6] + counts[7], counts[8], counts[9], long(kWriters) * kSteps * kWritesPerStep,
              kWriters, churnMs, steps, int(controls.size()), clock.elapsed());
    }
};

QTEST_MAIN(TestStress)
#include "tst_stress.moc"
