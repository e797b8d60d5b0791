// Accessibility of the controls: which objects the factory takes, roles, name fallback, display
// texts and value numbers, actions that write the memory as the user does, and value-change
// notices after memory writes (also from a worker thread).
#include "accessibility/controlaccessible.h"
#include "buttons/conoffbutton.h"
#include "buttons/cpixmapswitcher.h"
#include "buttons/cradiobutton.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "labels/chotspotlabel.h"
#include "labels/clabeldisplay.h"
#include "labels/cnameeditor.h"
#include "menu/cmenuobject.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "popup/cpopupitem.h"
#include "popup/cpopuplabel.h"
#include "sliders/ctextslider.h"
#include "status/ctabwidget.h"
#include "status/statedisplaywidget.h"
#include "support/recordingmemory.h"

#include <QAccessible>
#include <QDial>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <thread>

namespace {

// A notice: the event, its object, the value (or checked state) it carried, the control's display
// text at that moment and whether it arrived on the GUI thread.
struct Notice { QAccessible::Event type; QObject* object; QVariant value; QString shown; bool onGui; };
QList<Notice> g_notices;

void recordNotice(QAccessibleEvent* e)
{
    if (e->type() != QAccessible::ValueChanged && e->type() != QAccessible::StateChanged)
        return;
    Notice n{e->type(), e->object(), {}, {}, QThread::currentThread() == qApp->thread()};
    if (e->type() == QAccessible::ValueChanged)
        n.value = static_cast<QAccessibleValueChangeEvent*>(e)->value();
    else
        n.value = bool(static_cast<QAccessibleStateChangeEvent*>(e)->changedStates().checked);
    if (QAccessibleInterface* i = e->accessibleInterface())
        n.shown = i->text(QAccessible::Value);
    g_notices.append(n);
}

bool announced(QObject* o, const QVariant& value, const QString& shown)
{
    for (const Notice& n : g_notices)
        if (n.object == o && n.type == QAccessible::ValueChanged && n.value == value && n.shown == shown)
            return n.onGui;
    return false;
}

QAccessibleInterface* iface(QObject* o)
{
    return QAccessible::queryAccessibleInterface(o);
}

// Every control on one shown window; the bound ones on a recording memory with undo on.
// Parameters: 1:2:3 0..127 = 64 (fader, text slider), 1:2:8 -64..63 = 10 (knob, table 0),
// 1:2:4 0..1 = 0 (on/off button, lamp), 1:2:5 0..7 = 0 (radio, on value 3), 1:2:6 0..2 = 1
// (popup, pull-down). No interface exists before a test asks for one.
struct Panel
{
    RecordingMemory memory;
    QWidget window;
    CDial_Orvel* knob = new CDial_Orvel(&window);
    CFader_Orvel* fader = new CFader_Orvel(&window);
    CTextSlider_Orvel* textSlider = new CTextSlider_Orvel(&window);
    COnOffButton_Orvel* onOff = new COnOffButton_Orvel(&window);
    CRadioButton_Orvel* radio = new CRadioButton_Orvel(&window);
    CPopup_Orvel* popup = new CPopup_Orvel(&window);
    CPullDownMenu_Orvel* pullDown = new CPullDownMenu_Orvel(&window);
    CPixmapSwitcher_Orvel* switcher = new CPixmapSwitcher_Orvel(&window);
    CLabelDisplay_Orvel* label = new CLabelDisplay_Orvel(&window);
    CHotspotLabel_Orvel* hotspot = new CHotspotLabel_Orvel(&window);
    CNameEditor_Orvel* nameEditor = new CNameEditor_Orvel(&window);
    StateDisplayWidget_Orvel* lamp = new StateDisplayWidget_Orvel(&window);
    CTabWidget_Orvel* tabs = new CTabWidget_Orvel(&window);
    bool exposed = false;

    Panel()
    {
        memory.setParameter(1, 2, 3, {0, 127, 64});
        memory.setParameter(1, 2, 8, {-64, 63, 10});
        memory.setParameter(1, 2, 4, {0, 1, 0});
        memory.setParameter(1, 2, 5, {0, 7, 0});
        memory.setParameter(1, 2, 6, {0, 2, 1});
        knob->setTableId(0);
        radio->setOnValue(3);
        popup->setLabels(QStringLiteral("A;B;C"));
        bind(knob, "knob", {1, 2, 8, 0});
        bind(fader, "fader", {1, 2, 3, 0});
        bind(textSlider, "text", {1, 2, 3, 0});
        bind(onOff, "onoff", {1, 2, 4, 0});
        bind(lamp, "lamp", {1, 2, 4, 0});
        bind(radio, "radio", {1, 2, 5, 0});
        bind(popup, "popup", {1, 2, 6, 0});
        bind(pullDown, "pulldown", {1, 2, 6, 0});
        pullDown->setMenuItemList(QStringLiteral("Saw;Square;Triangle"));
        pullDown->process(nullptr, 0, 0);
        label->setText(QStringLiteral("hello"));
        hotspot->setText(QStringLiteral("spot"));
        nameEditor->setText(QStringLiteral("name"));
        tabs->addTab(new QWidget, QStringLiteral("One"));
        tabs->addTab(new QWidget, QStringLiteral("Two"));
        int y = 0;
        for (QWidget* w : controls()) {
            w->setGeometry(0, y, 120, 24);
            y += 26;
        }
        window.resize(140, y);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        QCoreApplication::sendPostedEvents();
        memory.clearCalls();
        g_notices.clear();
    }
    void bind(TMemProxy_Orvel* proxy, const char* name, const TParamAddress& address)
    {
        memory.addName(QLatin1String(name), address);
        memory.nameProxy(proxy, QLatin1String(name));
        proxy->setNamedAddress(QLatin1String(name));
        proxy->setUndoEnable(true);
        proxy->setMemAPI(&memory);
        proxy->process(nullptr, 0, 0);
    }
    QList<QWidget*> controls() const
    {
        return {knob, fader, textSlider, onOff, radio, popup, pullDown, switcher, label, hotspot,
                nameEditor, lamp, tabs};
    }
};

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    // Offscreen, Qt never reports accessibility active and drops every notice before an update
    // handler would see it; the library's observer sees them all.
    void initTestCase() { NS_Accessibility::setAnnouncementObserver(recordNotice); }
    void cleanupTestCase() { NS_Accessibility::setAnnouncementObserver(nullptr); }

    void factoryTakesOnlyTheControls()
    {
        Panel p;
        QVERIFY(p.exposed);
        const QList<QAccessible::Role> roles = {
            QAccessible::Dial, QAccessible::Slider, QAccessible::Slider, QAccessible::Button,
            QAccessible::RadioButton, QAccessible::ComboBox, QAccessible::ComboBox, QAccessible::StaticText,
            QAccessible::StaticText, QAccessible::StaticText, QAccessible::EditableText,
            QAccessible::StaticText, QAccessible::PageTabList};
        const QList<QWidget*> controls = p.controls();
        for (int k = 0; k < controls.size(); ++k) {
            QAccessibleInterface* i = iface(controls[k]);
            QVERIFY2(i && i->role() == roles[k], controls[k]->metaObject()->className());
            QCOMPARE(i->object(), controls[k]);
            QCOMPARE(i->valueInterface() != nullptr, k < 3);
        }
        // (The library installed its factory at start-up: nothing here asked for it.)
        // Plain Qt widgets and the pull-down's menu keep Qt's interfaces: a label's name is its
        // text there, not the tool tip this library falls back to.
        QLabel plain(QStringLiteral("hello"));
        plain.setToolTip(QStringLiteral("tip"));
        QDial dial;
        for (QObject* o : {static_cast<QObject*>(&plain), static_cast<QObject*>(&dial),
                           static_cast<QObject*>(p.pullDown->menu()), static_cast<QObject*>(this)})
            QVERIFY(!NS_Accessibility::accessibleFactory(QLatin1String(o->metaObject()->className()), o));
        QCOMPARE(iface(&plain)->text(QAccessible::Name), QStringLiteral("hello"));
        QCOMPARE(iface(p.pullDown->menu())->role(), QAccessible::PopupMenu);
    }

    void namesFallBackFromAccessibleNameToToolTipToObjectName()
    {
        Panel p;
        QVERIFY(p.exposed);
        for (QWidget* w : p.controls()) {
            w->setObjectName(QStringLiteral("object"));
            QCOMPARE(iface(w)->text(QAccessible::Name), QStringLiteral("object"));
            w->setToolTip(QStringLiteral("tip"));
            QCOMPARE(iface(w)->text(QAccessible::Name), QStringLiteral("tip"));
            w->setAccessibleName(QStringLiteral("name"));
            QCOMPARE(iface(w)->text(QAccessible::Name), QStringLiteral("name"));
        }
    }

    void valueTextsAndNumbers()
    {
        Panel p;
        QVERIFY(p.exposed);
        // An interface made after the knob's and fader's last text (Qt made one while binding,
        // dropped here) formats the value as they format it (the knob counts table 0 from the
        // minimum: 10 - -64).
        for (QWidget* w : {static_cast<QWidget*>(p.knob), static_cast<QWidget*>(p.fader)})
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface(w)));
        QSignalSpy knobText(p.knob, &CDial_Orvel::textualValueChange);
        QSignalSpy faderText(p.fader, &CFader_Orvel::textualValueChange);
        QCOMPARE(iface(p.knob)->text(QAccessible::Value), QStringLiteral("0:74"));
        const QString faderShown = iface(p.fader)->text(QAccessible::Value);
        p.knob->triggerEmitValueChanged(false);
        p.fader->emit_textualValueChange();
        QCOMPARE(knobText.value(0).value(0).toString(), QStringLiteral("0:74"));
        QCOMPARE(faderText.value(0).value(0).toString(), faderShown);

        const struct { QWidget* w; QString shown; } texts[] = {
            {p.textSlider, p.textSlider->text()}, {p.popup, QStringLiteral("B")},
            {p.pullDown, QStringLiteral("Square")}, {p.switcher, QStringLiteral("0")},
            {p.label, QStringLiteral("hello")}, {p.hotspot, QStringLiteral("spot")},
            {p.nameEditor, QStringLiteral("name")}, {p.lamp, QStringLiteral("0")},
            {p.tabs, QStringLiteral("One")}};
        for (const auto& t : texts)
            QCOMPARE(iface(t.w)->text(QAccessible::Value), t.shown);
        QVERIFY(!p.textSlider->text().isEmpty());

        const struct { QWidget* w; int value, min, max; } numbers[] = {
            {p.knob, 10, -64, 63}, {p.fader, 64, 0, 127}, {p.textSlider, 64, 0, 127}};
        for (const auto& n : numbers) {
            QAccessibleValueInterface* v = iface(n.w)->valueInterface();
            QCOMPARE(v->currentValue().toInt(), n.value);
            QCOMPARE(v->minimumValue().toInt(), n.min);
            QCOMPARE(v->maximumValue().toInt(), n.max);
            QCOMPARE(v->minimumStepSize().toInt(), 1);
        }
    }

    void actionsWriteTheMemoryAsTheUserDoes()
    {
        Panel p;
        QVERIFY(p.exposed);
        const struct { QWidget* w; QString action; QString write; } cases[] = {
            {p.knob, QAccessibleActionInterface::increaseAction(), "setValue(1,2,8,11,undo:knob,1)"},
            {p.knob, QAccessibleActionInterface::decreaseAction(), "setValue(1,2,8,10,undo:knob,1)"},
            {p.fader, QAccessibleActionInterface::increaseAction(), "setValue(1,2,3,65,undo:fader,1)"},
            {p.textSlider, QAccessibleActionInterface::decreaseAction(), "setValue(1,2,3,64,undo:text,1)"},
            {p.onOff, QAccessibleActionInterface::toggleAction(), "setValue(1,2,4,1,undo:onoff,1)"},
            {p.radio, QAccessibleActionInterface::pressAction(), "setValue(1,2,5,3,undo:radio,1)"},
        };
        for (const auto& c : cases) {
            QVERIFY(iface(c.w)->actionInterface()->actionNames().contains(c.action));
            p.memory.clearCalls();
            iface(c.w)->actionInterface()->doAction(c.action);
            QCOMPARE(p.memory.callsNamed(QStringLiteral("setValue")), QStringList{c.write});
        }
        // A horizontal fader steps with Left/Right, as its keyboard handling does.
        p.fader->setOrientation(Qt::Horizontal);
        p.memory.clearCalls();
        iface(p.fader)->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
        QCOMPARE(p.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,63,undo:fader,1)"});
        // The value interface goes through the control's setValue (clamped, with undo).
        p.memory.clearCalls();
        iface(p.fader)->valueInterface()->setCurrentValue(1e12);
        QCOMPARE(p.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,127,undo:fader,1)"});
        // A disabled control takes no action, like a disabled control under the mouse.
        p.knob->setEnabled(false);
        p.memory.clearCalls();
        iface(p.knob)->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
        iface(p.knob)->valueInterface()->setCurrentValue(0);
        QVERIFY(p.memory.callsNamed(QStringLiteral("setValue")).isEmpty());

        // The popup opens its grid (a list of list items); pressing a cell picks its entry.
        iface(p.popup)->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
        QVERIFY(p.popup->PopupItem() && iface(p.popup)->state().expanded);
        QAccessibleInterface* grid = iface(p.popup->PopupItem());
        QCOMPARE(grid->role(), QAccessible::List);
        const QList<CPopupLabel_Orvel*> cells = p.popup->PopupItem()->findChildren<CPopupLabel_Orvel*>();
        QCOMPARE(cells.size(), 3);
        QAccessibleInterface* cell = iface(cells[2]);
        QCOMPARE(cell->role(), QAccessible::ListItem);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("C"));
        p.memory.clearCalls();
        cell->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(p.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,6,2,undo:popup,1)"});
        QTRY_VERIFY(!p.popup->PopupItem());

        iface(p.pullDown)->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
        QTRY_VERIFY(iface(p.pullDown)->state().expanded);
        p.pullDown->menu()->close();
    }

    void memoryWritesAreAnnouncedAfterTheRefresh()
    {
        Panel p;
        QVERIFY(p.exposed);
        for (QWidget* w : p.controls())
            QVERIFY(iface(w)); // interfaces made: the controls are watched from now on
        p.memory.hostWrite(1, 2, 3, 70);
        p.memory.hostWrite(1, 2, 8, 20);
        p.memory.hostWrite(1, 2, 6, 2);
        p.memory.hostWrite(1, 2, 4, 1);
        QVERIFY(announced(p.knob, 20, QStringLiteral("0:84")));
        QVERIFY(announced(p.fader, 70, iface(p.fader)->text(QAccessible::Value)));
        QVERIFY(announced(p.textSlider, 70, p.textSlider->text()));
        QVERIFY(announced(p.pullDown, QStringLiteral("Triangle"), QStringLiteral("Triangle")));
        QTRY_VERIFY(announced(p.popup, QStringLiteral("C"), QStringLiteral("C")));
        QTRY_VERIFY(announced(p.lamp, QStringLiteral("1"), QStringLiteral("1")));
        QVERIFY(std::any_of(g_notices.cbegin(), g_notices.cend(), [&](const Notice& n) {
            return n.object == p.onOff && n.type == QAccessible::StateChanged && n.value.toBool();
        }));
        QVERIFY(iface(p.onOff)->state().checked);

        // A worker-thread write reaches the controls on the GUI thread; the notice follows there.
        g_notices.clear();
        std::thread([&] { p.memory.hostWrite(1, 2, 8, 30); }).join();
        QVERIFY(!announced(p.knob, 30, QStringLiteral("0:94")));
        QTRY_VERIFY(announced(p.knob, 30, QStringLiteral("0:94")));
    }

    void controlDeletedByTheActionsReceiver()
    {
        Panel p;
        QVERIFY(p.exposed);
        QVERIFY(iface(p.lamp));
        QPointer<COnOffButton_Orvel> button(p.onOff);
        connect(button, &COnOffButton_Orvel::stateChanged, this, [&] { delete button.data(); });
        iface(p.onOff)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!button);
        // The press was written before the receiver ran: the lamp on the parameter shows it.
        QTRY_VERIFY(announced(p.lamp, QStringLiteral("1"), QStringLiteral("1")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
