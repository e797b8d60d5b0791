// Controls destroyed while work for them is still pending: marshalled events, the fader's text
// retry, click delays and page repeats, the alternative-display fall-back, observer events of
// worker-thread writes, open popup grids, deleted notifiers and cache servers, and receivers that
// delete a control from inside its signals. Nothing may run for a control that is gone, and no
// edit may be lost. Run under the sanitizers (scripts/test.sh --sanitize) a use after free fails.
#include "binding/appserver.h"
#include "binding/conveniences.h"
#include "binding/notifier.h"
#include "binding/services.h"
#include "buttons/conoffbutton.h"
#include "buttons/cradiobutton.h"
#include "designer/controls.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "labels/clabeldisplay.h"
#include "memory/referencememory.h"
#include "menu/cmenuobject.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "popup/cpopupitem.h"
#include "popup/cpopuplabel.h"
#include "support/controlpictures.h"
#include "support/recordingmemory.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <functional>
#include <thread>

namespace {

// Runs the event loop until a timer of `ms` started now has fired, so that every timer of that
// length or shorter started before has had its turn.
bool letTimersRun(int ms)
{
    bool fired = false;
    QTimer::singleShot(ms, [&fired] { fired = true; });
    return QTest::qWaitFor([&fired] { return fired; }, 10000);
}

// A control bound to parameter 1:2:3 ("p", 0..7) of a recording memory, in a shown window.
struct Rig
{
    Rig()
    {
        memory.setParameter(1, 2, 3, {0, 7, 3, 0});
        memory.addName(QStringLiteral("p"), TParamAddress{1, 2, 3, 0});
        window.resize(240, 240);
    }
    template <class T>
    T* bind(T* control, const QSize& size = QSize(40, 120))
    {
        control->resize(size);
        control->setNamedAddress(QStringLiteral("p"));
        control->setMemAPI(&memory);
        control->process(nullptr, 0, 0);
        return control;
    }
    void show()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("the window was not exposed");
        QCoreApplication::sendPostedEvents();
        memory.clearCalls();
    }
    RecordingMemory memory; // outlives the controls
    QWidget window;
};

// Parameter 0:0:1 ("p", 0..max) of the reference memory, holding `value`.
TParameterSpec_Orvel param(int max, int value)
{
    TParameterSpec_Orvel p;
    p.name = QStringLiteral("p");
    p.low = 1;
    p.maximum = max;
    p.value = value;
    return p;
}

// Deletes the control from a slot of its valueChanged(int).
class Deleter : public QObject
{
    Q_OBJECT
public slots:
    void deleteControl(int value)
    {
        seen = value;
        delete control.data();
    }

public:
    QPointer<QWidget> control;
    int seen = -1;
};

class ServerFirst : public TCacheServer, public QWidget
{
};
class WindowFirst : public QWidget, public TCacheServer
{
};

// A bound control of every catalogue kind that has a proxy part, made ready to show a value of
// a parameter 0..7: lists of 8 entries where the control needs them.
QWidget* createBound(const QString& className, QWidget* parent)
{
    QWidget* w = OrvelControls::create(className, parent, className);
    if (!w || !memProxyOf(w)) {
        delete w;
        return nullptr;
    }
    const QString eight = QStringLiteral("0;1;2;3;4;5;6;7");
    for (const char* list : {"labels", "menuItemList"}) {
        if (w->metaObject()->indexOfProperty(list) >= 0)
            w->setProperty(list, eight);
    }
    if (const OrvelControls::Entry* entry = OrvelControls::find(className))
        w->resize(entry->defaultSize);
    return w;
}

QStringList boundKinds()
{
    QStringList kinds;
    QWidget scratch;
    for (const OrvelControls::Entry& entry : OrvelControls::all()) {
        if (QWidget* w = createBound(entry.className, &scratch)) {
            kinds << entry.className;
            delete w;
        }
    }
    return kinds;
}

} // namespace

class TestLifetimes : public QObject
{
    Q_OBJECT

private slots:
    // Deferred work of one control, then the control deleted before it runs: the memory hears
    // nothing more from it, and under the sanitizers nothing touches the freed control.
    void deferredWorkOfADeletedControl_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("knob: marshalled emission (signals blocked)") << 0 << 0;
        QTest::newRow("fader: 50 ms text retry (signals blocked)") << 1 << 120;
        QTest::newRow("on/off button: 100 ms click delay") << 2 << 200;
        QTest::newRow("radio button: click delay timer") << 3 << 200;
        QTest::newRow("unbound fader: page repeat while pressed") << 4 << 500;
        QTest::newRow("value label: alternative display fall-back") << 5 << 1000;
        QTest::newRow("knob: marshalled callback posted by the host") << 6 << 0;
    }
    void deferredWorkOfADeletedControl()
    {
        QFETCH(int, kind);
        QFETCH(int, waitMs);
        Rig rig;
        QPointer<QWidget> control;
        static int callbacks = 0;
        callbacks = 0;
        switch (kind) {
        case 0: {
            auto* knob = rig.bind(new CDial_Orvel(&rig.window), QSize(40, 40));
            rig.show();
            knob->blockSignals(true);
            QVERIFY(key(knob, Qt::Key_Up));
            control = knob;
            break;
        }
        case 1: {
            auto* fader = rig.bind(new CFader_Orvel(&rig.window));
            rig.show();
            fader->blockSignals(true);
            QVERIFY(key(fader, Qt::Key_Up));
            control = fader;
            break;
        }
        case 2: {
            auto* button = new COnOffButton_Orvel(&rig.window);
            button->setnSubImages(3);
            button->setCombinedImage(makeStrip(1, 3, 20, 20));
            rig.bind(button, QSize(20, 20));
            rig.show();
            press(button, QPoint(5, 5));
            release(button, QPoint(5, 5));
            control = button;
            break;
        }
        case 3: {
            auto* radio = new CRadioButton_Orvel(&rig.window);
            radio->setTrackingState(makeStrip(1, 1, 20, 20));
            radio->setOnValue(5);
            rig.bind(radio, QSize(20, 20));
            rig.show();
            press(radio, QPoint(5, 5));
            release(radio, QPoint(5, 5));
            control = radio;
            break;
        }
        case 4: {
            auto* fader = new CFader_Orvel(&rig.window);
            fader->resize(40, 200);
            rig.show();
            press(fader, QPoint(20, 190)); // beside the handle: pages, then repeats
            control = fader;
            break;
        }
        case 5: {
            auto* label = new CLabelDisplay_Orvel(&rig.window);
            label->altDisplayBegin();
            label->altDisplayEnd();
            control = label;
            break;
        }
        case 6: {
            auto* knob = rig.bind(new CDial_Orvel(&rig.window), QSize(40, 40));
            QVERIFY(CAppServer::postMarshall(knob, [](QObject*) { ++callbacks; }));
            control = knob;
            break;
        }
        }
        QVERIFY(control);
        const int writes = rig.memory.callsNamed(QStringLiteral("setValue")).size();
        delete control.data();
        rig.memory.clearCalls();
        QVERIFY(letTimersRun(waitMs));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(rig.memory.calls(), QStringList());
        QCOMPARE(callbacks, 0);
        // The edits made before the deletion were written (the deferred part is only a signal).
        if (kind <= 1)
            QCOMPARE(writes, 1);
    }

    // A worker-thread write queues an observer event for every bound kind; the control is
    // deleted before the GUI thread delivers it: it is not delivered, later writes reach nobody.
    void pendingObserverEvent_data()
    {
        QTest::addColumn<QString>("className");
        for (const QString& kind : boundKinds())
            QTest::newRow(qPrintable(kind)) << kind;
    }
    void pendingObserverEvent()
    {
        QFETCH(QString, className);
        TReferenceMemory_Orvel memory;
        QVERIFY(memory.addParameter(param(7, 2)));
        QWidget window;
        QPointer<QWidget> control = createBound(className, &window);
        QVERIFY(control);
        memProxyOf(control)->setNamedAddress(QStringLiteral("p"));
        memProxyOf(control)->setMemAPI(&memory);
        window.show();
        QCoreApplication::sendPostedEvents();
        memory.resetStatistics();
        std::thread([&memory] { memory.write(0, 0, 1, 6); }).join();
        QCOMPARE(memory.statistics().observerEventsPosted, quint64(1));
        delete control.data();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(memory.statistics().observerDeliveries, quint64(0));
        std::thread([&memory] { memory.write(0, 0, 1, 1); }).join();
        QCOMPARE(memory.statistics().notifications, quint64(1));
        QCOMPARE(memory.connectedProxyCount(), 0);
    }

    // The popup's grid window and the button: either one deleted while the other is in use,
    // and the button deleted by its confirmation object (whatever that answers).
    void popupGridWindow_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("button deleted with the grid open") << 0;
        QTest::newRow("grid deleted, button clicked again") << 1;
        QTest::newRow("deleted by the confirmation, answer 0") << 2;
        QTest::newRow("deleted by the confirmation, answer 1") << 3;
        QTest::newRow("grid cancelled from the confirmation") << 4;
    }
    void popupGridWindow()
    {
        QFETCH(int, how);
        struct Confirm : NS_Utilities::IConfirmUserAction
        {
            std::function<void()> during;
            int answer = 0;
            int asked = 0;
            int confirmChange(QWidget*, int, int) override
            {
                ++asked;
                during();
                return answer;
            }
        } confirm;
        Rig rig;
        QPointer<CPopup_Orvel> popup = new CPopup_Orvel(&rig.window);
        popup->setLabels(QStringLiteral("A;B;C;D;E;F;G;H"));
        rig.bind(popup.data(), QSize(60, 18));
        rig.show();
        press(popup, QPoint(5, 5));
        QPointer<CPopupItem_Orvel> grid = popup->PopupItem();
        QVERIFY(grid);
        confirm.answer = how == 3 ? 1 : 0;
        confirm.during = [&] {
            if (how == 4)
                popup->cancel();
            else
                delete popup.data();
        };
        popup->setUserConfirmAction(&confirm);
        if (how == 0) {
            delete popup.data();
        } else if (how == 1) {
            delete grid.data();
            QVERIFY(!popup->PopupItem());
            release(popup, QPoint(5, 5));
            press(popup, QPoint(5, 5));
            QVERIFY(popup->PopupItem());
            QVERIFY(popup->cancel());
        } else {
            QTest::mouseClick(grid->cellAt(6), Qt::LeftButton);
            QCOMPARE(confirm.asked, 1);
        }
        QTRY_VERIFY(!grid);
        QCOMPARE(bool(popup), how == 1 || how == 4);
        // Only a pick the button lives through writes.
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")).size(), how == 4 ? 1 : 0);
        if (how == 4)
            QCOMPARE(popup->currentSelection(), 6);
    }

    // Something a control uses is deleted first: the notifier driving on/off buttons; the cache
    // server whose record buttons share (whatever order the host lists its bases in, and when the
    // button's parent, not the button, has moved out of the server's window first); the memory
    // with an observer event pending; the control behind an open context menu.
    void deletedPartner_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("notifier deleted") << 0;
        QTest::newRow("server window lists QWidget first") << 1;
        QTest::newRow("server window lists the server first") << 2;
        QTest::newRow("button's parent moved out, then the server deleted") << 3;
        QTest::newRow("memory deleted before its controls") << 4;
        QTest::newRow("control deleted under its context menu") << 5;
        QTest::newRow("pull-down deleted with its menu open") << 6;
    }
    void deletedPartner()
    {
        QFETCH(int, how);
        if (how == 4) {
            QWidget window;
            QList<QPointer<QWidget>> controls;
            {
                TReferenceMemory_Orvel memory;
                QVERIFY(memory.addParameter(param(7, 2)));
                for (const QString& kind : boundKinds()) {
                    QWidget* w = createBound(kind, &window);
                    memProxyOf(w)->setNamedAddress(QStringLiteral("p"));
                    memProxyOf(w)->setMemAPI(&memory);
                    controls << w;
                }
                window.show();
                std::thread([&memory] { memory.write(0, 0, 1, 5); }).join();
                QVERIFY(memory.statistics().observerEventsPosted > 0);
            }
            QCoreApplication::sendPostedEvents();
            for (QWidget* w : std::as_const(controls)) {
                QVERIFY(w && !memProxyOf(w)->api && !memProxyOf(w)->addressValid);
                press(w, QPoint(2, 2));
                release(w, QPoint(2, 2));
                key(w, Qt::Key_Up);
                wheel(w, 120, QPoint(2, 2));
                memProxyOf(w)->process(nullptr, 0, 0);
                QVERIFY(!shot(w).isNull());
            }
            return;
        }
        if (how == 5 || how == 6) {
            Rig rig;
            QPointer<QWidget> control;
            QPointer<QMenu> menu;
            if (how == 5) {
                auto* conveniences = new TEditorConveniences_Orvel(nullptr, &rig.window);
                control = rig.bind(new CDial_Orvel(&rig.window), QSize(40, 40));
                QVERIFY(conveniences->openContextMenu(control, QPoint(10, 10)));
                menu = rig.window.findChild<QMenu*>();
                if (!menu) {
                    for (QWidget* top : QApplication::topLevelWidgets())
                        if (auto* m = qobject_cast<QMenu*>(top); m && m->isVisible())
                            menu = m;
                }
            } else {
                auto* pullDown = new CPullDownMenu_Orvel(&rig.window);
                pullDown->setMenuItemList(QStringLiteral("a;b;c;d"));
                control = rig.bind(pullDown, QSize(60, 18));
                rig.show();
                press(pullDown, QPoint(5, 5));
                menu = pullDown->menu();
            }
            QVERIFY(menu && menu->isVisible());
            const QList<QAction*> actions = menu->actions();
            delete control.data();
            rig.memory.clearCalls();
            for (QAction* action : actions)
                if (menu && action->isEnabled())
                    action->trigger();
            QTRY_VERIFY(!menu);
            QCOMPARE(rig.memory.calls(), QStringList());
            return;
        }
        if (how == 0) {
            QWidget window;
            auto* notifier = new CSimpleNotifier_Orvel;
            QList<QPointer<COnOffButton_Orvel>> buttons;
            for (int i = 0; i < 2; ++i) {
                auto* b = new COnOffButton_Orvel(&window);
                b->setGeometry(30 * i, 0, 20, 20);
                b->setSelectionObject(notifier);
                b->setBoolClipValue(i + 2); // on at value i + 1
                notifier->addObserver(b);
                buttons << b;
            }
            window.show();
            notifier->setNotifiedValue(2);
            QVERIFY(buttons[1]->isOn() && !buttons[0]->isOn());
            delete notifier;
            for (COnOffButton_Orvel* b : buttons) {
                QTest::mouseClick(b, Qt::LeftButton);
                b->process(nullptr, 0, 0);
            }
            buttons[0]->setNonBoolValue(1);
            QVERIFY(buttons[0]->isOn());
            return;
        }
        QPointer<QWidget> server = how == 2 ? static_cast<QWidget*>(new ServerFirst) : new WindowFirst;
        auto* frame = new QWidget(server);
        QList<QPointer<COnOffButton_Orvel>> buttons;
        for (QWidget* parent : {static_cast<QWidget*>(server.data()), frame}) {
            auto* b = new COnOffButton_Orvel(parent, "shared"); // the name is the cache key
            b->setnSubImages(2);
            b->setnImageCategories(1);
            b->setCombinedImage(makeStrip(1, 2, 16, 16));
            buttons << b;
        }
        server->show();
        QVERIFY(QTest::qWaitForWindowExposed(server));
        QVERIFY(buttons[0]->recordFromCache() && buttons[1]->record() == buttons[0]->record());
        QWidget elsewhere;
        if (how == 3)
            frame->setParent(&elsewhere);
        delete server.data();
        QCOMPARE(bool(buttons[1]), how == 3);
        QVERIFY(!buttons[0]);
        if (how == 3) {
            // The moved button still draws and toggles, with a record of its own.
            elsewhere.show();
            const QColor before = shot(buttons[1]).pixelColor(8, 8);
            QTest::mouseClick(buttons[1], Qt::LeftButton);
            const QColor after = shot(buttons[1]).pixelColor(8, 8);
            QVERIFY(before != after);
            QVERIFY(after == cellColour(0, 0) || after == cellColour(0, 1));
            QVERIFY(!buttons[1]->recordFromCache());
        }
    }

    // A receiver of valueChanged(int) deletes the control during a key edit: the edit still
    // reaches the memory as an undoable step, and undo brings the old value back.
    void receiverDeletesControlOnValueChanged_data()
    {
        QTest::addColumn<QString>("className");
        QTest::newRow("fader") << QStringLiteral("CFader");
        QTest::newRow("knob") << QStringLiteral("CDial");
        QTest::newRow("text slider") << QStringLiteral("CTextSlider");
    }
    void receiverDeletesControlOnValueChanged()
    {
        QFETCH(QString, className);
        TReferenceMemory_Orvel memory;
        memory.setUndoMergeInterval(0);
        QVERIFY(memory.addParameter(param(100, 40)));
        QWidget window;
        Deleter deleter;
        deleter.control = OrvelControls::create(className, &window, className);
        QVERIFY(deleter.control);
        deleter.control->resize(40, 120);
        memProxyOf(deleter.control)->setNamedAddress(QStringLiteral("p"));
        memProxyOf(deleter.control)->setMemAPI(&memory);
        memProxyOf(deleter.control)->process(nullptr, 0, 0);
        QVERIFY(connect(deleter.control, SIGNAL(valueChanged(int)), &deleter, SLOT(deleteControl(int))));
        QVERIFY(key(deleter.control, Qt::Key_Up));
        QVERIFY(!deleter.control);
        QVERIFY(deleter.seen != 40);
        QCOMPARE(memory.value(0, 0, 1), deleter.seen);
        QCoreApplication::sendPostedEvents();
        memory.flushUndo();
        QCOMPARE(memory.undoStack()->count(), 1);
        memory.undoStack()->undo();
        QCOMPARE(memory.value(0, 0, 1), 40);
    }
};

QTEST_MAIN(TestLifetimes)
#include "tst_lifetimes.moc"
