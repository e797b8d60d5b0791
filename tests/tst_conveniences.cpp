// Editor conveniences: Ctrl-click reset and the context menu with real mouse and key events, the
// exact memory road of a reset and a paste, the clipboard round trip and bad clipboards, the
// controls that keep their own clicks, deletion while a menu is open or during a reset, and the
// form loader's switch.
#include "binding/conveniences.h"
#include "binding/memproxy.h"
#include "binding/records.h"
#include "buttons/conoffbutton.h"
#include "buttons/cradiobutton.h"
#include "designer/orveluiloader.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "memory/referencememory.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "sliders/ctextslider.h"
#include "status/statedisplaywidget.h"
#include "support/recordingmemory.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QUndoStack>

#include <functional>

namespace {

using Conveniences = TEditorConveniences_Orvel;
using Make = std::function<QWidget*(QWidget*)>;

const QHash<QString, Make>& makers()
{
    static const QHash<QString, Make> all{
        {"knob", [](QWidget* p) { return new CDial_Orvel(p); }},
        {"fader", [](QWidget* p) { return new CFader_Orvel(p); }},
        {"text slider", [](QWidget* p) { auto* s = new CTextSlider_Orvel(p); s->setClickStepping(true); return s; }},
        {"on/off button", [](QWidget* p) { return new COnOffButton_Orvel(p); }},
        {"radio button", [](QWidget* p) { auto* r = new CRadioButton_Orvel(p); r->setOnValue(90); return r; }},
        {"pull-down menu", [](QWidget* p) { return new CPullDownMenu_Orvel(p); }},
        {"popup", [](QWidget* p) { return new CPopup_Orvel(p); }},
        {"state display", [](QWidget* p) { return new StateDisplayWidget_Orvel(p); }},
    };
    return all;
}

// Parameter 1:2:3 "p" (default 10, alternative 90 unless `noAlt`) and 1:2:4 "q", both showing
// 50; records of low address 3 and 4 are accepted. One control of `kind` bound to "p", shown.
struct Rig
{
    explicit Rig(const QString& kind, bool noAlt = false)
    {
        memory.setParameter(1, 2, 3, {0, 127, 50, 10, noAlt ? std::nullopt : std::optional<int>(90)});
        memory.setParameter(1, 2, 4, {0, 127, 50, 20});
        memory.addName("p", TParamAddress{1, 2, 3, 0});
        memory.addName("q", TParamAddress{1, 2, 4, 0});
        memory.setAcceptedRecordLows({3, 4});
        window.resize(300, 200);
        control = makers().value(kind)(&window);
        control->setGeometry(20, 20, 60, 40);
        proxy = memProxyOf(control);
        memory.nameProxy(proxy, "c");
        proxy->setNamedAddress("p");
        proxy->setMemAPI(&memory);
        proxy->process(nullptr, 0, 0);
        conveniences.attachAll(&window);
        window.show();
        window.activateWindow();
        // A failure here shows up in every assertion that follows.
        (void)QTest::qWaitForWindowActive(&window);
        memory.clearCalls();
    }
    ~Rig()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    int value() const { return memory.value(1, 2, 3); }
    // The calls of the named functions, in order.
    QStringList road(const QStringList& functions) const
    {
        QStringList out;
        for (const QString& call : memory.calls())
            if (functions.contains(call.section('(', 0, 0)))
                out << call;
        return out;
    }

    RecordingMemory memory;
    Conveniences conveniences;
    QWidget window;
    QPointer<QWidget> control;
    TMemProxy_Orvel* proxy = nullptr;
};

// A click through the window system, as a user makes it: Qt finds the widget under the pointer
// and follows a right press with its context-menu request.
void click(QWidget* w, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {}, const QPoint& at = QPoint(10, 10))
{
    QTest::mouseClick(w->window()->windowHandle(), button, modifiers, w->mapTo(w->window(), at));
}

QMenu* openMenu()
{
    const auto open = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
    return QTest::qWaitFor([&] { return open() != nullptr; }) ? open() : nullptr;
}

QStringList entries(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            out << a->text() + (a->isEnabled() ? "" : " (off)");
    return out;
}

void putOnClipboard(const QByteArray& record, const QString& format = Conveniences::MimeType)
{
    auto* data = new QMimeData;
    data->setData(format, record);
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace

class TestConveniences : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }

    // Ctrl+click goes through process: operation 1, or 4 when numDefaultKind is 1, with a new
    // undo step first; the control itself never sees the click.
    void resetClick_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("defaultKind");
        QTest::addColumn<bool>("noAlt");
        QTest::addColumn<QStringList>("road");
        QTest::addColumn<int>("value");
        const QString begin = "beginUndoStep(c)";
        QTest::newRow("knob default") << "knob" << 0 << false
                                      << QStringList{begin, "defaultValue(1,2,3,0,null)", "setValue(1,2,3,10,undo:c,1)"} << 10;
        QTest::newRow("knob alternative") << "knob" << 1 << false
                                          << QStringList{begin, "defaultValue(1,2,3,1,out)", "setValue(1,2,3,90,undo:c,1)"} << 90;
        QTest::newRow("knob alternative missing")
            << "knob" << 1 << true
            << QStringList{begin, "defaultValue(1,2,3,1,out)", "defaultValue(1,2,3,0,null)", "setValue(1,2,3,10,undo:c,1)"} << 10;
        QTest::newRow("fader alternative") << "fader" << 1 << false
                                           << QStringList{begin, "defaultValue(1,2,3,1,out)", "setValue(1,2,3,90,undo:c,1)"} << 90;
        QTest::newRow("text slider default") << "text slider" << 0 << false
                                             << QStringList{begin, "defaultValue(1,2,3,0,null)", "setValue(1,2,3,10,undo:c,1)"} << 10;
        // The text slider's process has no operation 4: the reset arrives and changes nothing.
        QTest::newRow("text slider alternative") << "text slider" << 1 << false << QStringList{begin} << 50;
    }
    void resetClick()
    {
        QFETCH(QString, kind);
        QFETCH(int, defaultKind);
        QFETCH(bool, noAlt);
        Rig rig(kind, noAlt);
        rig.proxy->setNumDefaultKind(defaultKind);
        QSignalSpy resets(&rig.conveniences, &Conveniences::valueReset);
        // Counts what gets past the conveniences' filter (the last installed filter runs first).
        struct Tap : QObject
        {
            int seen = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                seen += e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease;
                return false;
            }
        } tap;
        rig.control->installEventFilter(&tap);
        rig.control->installEventFilter(&rig.conveniences);

        click(rig.control, Qt::LeftButton, Qt::ControlModifier);
        QFETCH(QStringList, road);
        QCOMPARE(rig.road({"beginUndoStep", "defaultValue", "setValue"}), road);
        QTEST(rig.value(), "value");
        QCOMPARE(resets.size(), 1);
        QCOMPARE(resets.at(0).at(1).toInt(), defaultKind == 1 ? 4 : 1);
        QCOMPARE(tap.seen, 0);

        // With the reset click off, or with Shift too, the click is the control's again.
        rig.conveniences.setResetClickEnabled(false);
        click(rig.control, Qt::LeftButton, Qt::ControlModifier);
        rig.conveniences.setResetClickEnabled(true);
        click(rig.control, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(tap.seen, 4);
    }

    // Right click opens one menu; its entries follow the parameter, the clipboard and the undo
    // stack; a real click on an entry runs it.
    void menuEntries()
    {
        Rig rig("knob");
        QUndoStack stack;
        rig.conveniences.setUndoStack(&stack);
        QSignalSpy shown(&rig.conveniences, &Conveniences::menuAboutToShow);

        click(rig.control, Qt::RightButton);
        QMenu* menu = openMenu();
        QVERIFY(menu);
        QCOMPARE(shown.size(), 1); // the context-menu request after the press opened no second one
        QCOMPARE(rig.conveniences.menuControl(), rig.control.data());
        QCOMPARE(entries(menu), QStringList({"Copy Value", "Paste Value (off)", "Reset to Default",
                                             "Reset to Alternative Default", "Undo (off)", "Redo (off)"}));
        QAction* alt = menu->findChild<QAction*>("orvelkit-reset-alternative");
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(alt).center());
        QCOMPARE(rig.value(), 90);
        QTRY_VERIFY(!QApplication::activePopupWidget());

        stack.push(new QUndoCommand("Change Cutoff"));
        stack.push(new QUndoCommand("Change Drive"));
        stack.undo();
        rig.conveniences.copy(rig.control);
        rig.memory.setParameter(1, 2, 3, {0, 127, 50, 10}); // no alternative default any more
        QTest::keyClick(rig.control, Qt::Key_Menu);
        menu = openMenu();
        QVERIFY(menu);
        QCOMPARE(entries(menu), QStringList({"Copy Value", "Paste Value", "Reset to Default", "Undo Change Cutoff",
                                             "Redo Change Drive"}));
        menu->findChild<QAction*>("orvelkit-undo")->trigger();
        QCOMPARE(stack.index(), 0);
        menu->close();

        // A host's own context menu policy wins.
        rig.control->setContextMenuPolicy(Qt::PreventContextMenu);
        click(rig.control, Qt::RightButton);
        QVERIFY(!QApplication::activePopupWidget());
    }

    // Copy writes the record and the display text; paste into another parameter of the same
    // family goes through process operation 2 after the memory accepted the record's address.
    void clipboardRoundTrip()
    {
        Rig rig("knob");
        rig.memory.setFormatter([](int table, int value, int) { return QString("%1:%2 Hz").arg(table).arg(value); });
        auto* other = new CDial_Orvel(&rig.window);
        rig.memory.nameProxy(other, "other");
        other->setNamedAddress("q");
        other->setMemAPI(&rig.memory);
        rig.memory.hostWrite(1, 2, 3, 77);
        rig.memory.clearCalls();

        // The knob's own text (its table 0) where it has announced the value; table -1 of the
        // memory for a bare proxy.
        QVERIFY(rig.conveniences.copy(rig.control));
        const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(clip->data(Conveniences::MimeType), TParamInfoWriter_Orvel::encode(1, 2, 3, 77));
        QCOMPARE(clip->text(), QString("0:77 Hz"));
        QVERIFY(Conveniences::copyToClipboard(rig.proxy));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("-1:77 Hz"));
        QVERIFY(rig.road({"setValue"}).isEmpty());

        rig.memory.clearCalls();
        QCOMPARE(Conveniences::pasteFromClipboard(other), Conveniences::Pasted);
        QCOMPARE(rig.road({"beginUndoStep", "acceptsRecord", "setValue"}),
                 QStringList({"acceptsRecord(1,2,3,0)", "beginUndoStep(other)", "acceptsRecord(1,2,3,0)",
                              "setValue(1,2,4,77,undo:other,1)"}));

        // A change the knob has not announced yet (its signals are blocked): its last text is
        // stale, so the memory's text stands in.
        rig.control->blockSignals(true);
        rig.memory.hostWrite(1, 2, 3, 61);
        QCOMPARE(rig.conveniences.displayText(rig.control), QString("-1:61 Hz"));
        rig.control->blockSignals(false);
        QCoreApplication::sendPostedEvents(); // the knob's deferred emission
        QCOMPARE(rig.conveniences.displayText(rig.control), QString("0:61 Hz"));
    }

    // Foreign, truncated, damaged or refused records change nothing and call nothing on the
    // control; Paste is then off in the menu.
    void badClipboard_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("result");
        const QByteArray good = TParamInfoWriter_Orvel::encode(1, 2, 3, 5);
        QByteArray damaged = good;
        damaged[13] = char(damaged[13] ^ 0x40);
        QTest::newRow("plain text only") << QByteArray("12") << "text/plain" << int(Conveniences::NoRecord);
        QTest::newRow("empty record") << QByteArray() << QString(Conveniences::MimeType) << int(Conveniences::NoRecord);
        QTest::newRow("truncated") << good.left(good.size() - 1) << QString(Conveniences::MimeType) << int(Conveniences::CorruptRecord);
        QTest::newRow("damaged") << damaged << QString(Conveniences::MimeType) << int(Conveniences::CorruptRecord);
        QTest::newRow("trailing bytes") << good + "x" << QString(Conveniences::MimeType) << int(Conveniences::CorruptRecord);
        QTest::newRow("foreign") << QByteArray(18, 'z') << QString(Conveniences::MimeType) << int(Conveniences::CorruptRecord);
        QTest::newRow("another family") << TParamInfoWriter_Orvel::encode(1, 2, 9, 5) << QString(Conveniences::MimeType)
                                        << int(Conveniences::RejectedRecord);
    }
    void badClipboard()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, format);
        Rig rig("fader");
        putOnClipboard(bytes, format);
        QTEST(int(rig.conveniences.paste(rig.control)), "result");
        QCOMPARE(rig.value(), 50);
        QVERIFY(rig.road({"beginUndoStep", "setValue", "maximum", "currentValue"}).isEmpty());

        click(rig.control, Qt::RightButton);
        QMenu* menu = openMenu();
        QVERIFY(menu);
        QVERIFY(!menu->findChild<QAction*>("orvelkit-paste")->isEnabled());
        QVERIFY(!menu->findChild<QAction*>("orvelkit-undo")); // no undo stack, no undo entries
    }

    // Which controls open the menu on a right click, which on the menu key, which reset on
    // Ctrl+click; the text slider and the radio button keep their right button.
    void controlsKeepTheirClicks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("attached");
        QTest::addColumn<bool>("rightMenu");
        QTest::addColumn<bool>("keyMenu");
        QTest::addColumn<bool>("altEntry");
        QTest::newRow("knob") << "knob" << true << true << true << true;
        QTest::newRow("fader") << "fader" << true << true << true << true;
        QTest::newRow("text slider") << "text slider" << true << false << true << false;
        QTest::newRow("on/off button") << "on/off button" << true << true << true << false;
        QTest::newRow("popup") << "popup" << true << true << true << false;
        QTest::newRow("radio button") << "radio button" << true << false << true << false;
        QTest::newRow("pull-down menu") << "pull-down menu" << true << true << true << false;
        QTest::newRow("state display") << "state display" << false << false << false << false;
    }
    void controlsKeepTheirClicks()
    {
        QFETCH(QString, kind);
        QFETCH(bool, rightMenu);
        QFETCH(bool, keyMenu);
        Rig rig(kind);
        QTEST(rig.conveniences.isAttached(rig.control), "attached");

        click(rig.control, Qt::RightButton);
        QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(menu != nullptr, rightMenu);
        if (menu)
            QTEST(menu->findChild<QAction*>("orvelkit-reset-alternative") != nullptr, "altEntry");
        if (kind == "text slider") // its click stepping: a right click in the upper half steps up
            QCOMPARE(rig.value(), 51);
        if (kind == "radio button") // a right click switches an off radio button on
            QCOMPARE(rig.value(), 90);
        if (menu)
            menu->close();

        rig.control->setFocus();
        QTest::keyClick(rig.control, Qt::Key_Menu);
        QCOMPARE(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr, keyMenu);
    }

    // Deleting the control with its menu open, during a reset, or the object with a menu open;
    // an unready proxy gets nothing.
    void deletion()
    {
        {
            Rig rig("knob");
            click(rig.control, Qt::RightButton);
            QPointer<QMenu> menu = openMenu();
            delete rig.control.data();
            QTRY_VERIFY(!menu);
            QVERIFY(!rig.conveniences.menu());
        }
        {
            Rig rig("knob");
            click(rig.control, Qt::RightButton);
            QPointer<QMenu> menu = openMenu();
            QAction* reset = menu->findChild<QAction*>("orvelkit-reset");
            rig.conveniences.detach(rig.control); // closes the menu: the entry is gone or inert
            if (menu)
                reset->trigger();
            QCOMPARE(rig.value(), 50);
        }
        {
            Rig rig("fader");
            QObject::connect(qobject_cast<CFader_Orvel*>(rig.control), &CFader_Orvel::valueChanged, [&] {
                delete rig.control.data();
            });
            QSignalSpy resets(&rig.conveniences, &Conveniences::valueReset);
            click(rig.control, Qt::LeftButton, Qt::ControlModifier);
            QVERIFY(!rig.control);
            QCOMPARE(resets.size(), 0);
        }
        {
            auto* rig = new Rig("fader");
            click(rig->control, Qt::RightButton);
            QPointer<QMenu> menu = openMenu();
            delete rig;
            QVERIFY(!menu);
        }
        {
            Rig rig("knob");
            rig.proxy->setNamedAddress("nowhere"); // bound, but not ready
            click(rig.control, Qt::RightButton);
            QVERIFY(!QApplication::activePopupWidget());
            QVERIFY(!Conveniences::resetParameter(rig.proxy));
            QCOMPARE(Conveniences::pasteRecord(rig.proxy, TParamInfoWriter_Orvel::encode(1, 2, 3, 5)), Conveniences::NotReady);
            QVERIFY(!Conveniences::copyToClipboard(rig.proxy));
            QVERIFY(rig.road({"beginUndoStep", "defaultValue", "acceptsRecord", "setValue"}).isEmpty());
        }
    }

    // OrvelUiLoader attaches conveniences with the reference memory's undo stack, also to
    // controls added later; switched off, the form's controls keep all their clicks.
    void loaderSwitch()
    {
        TReferenceMemory_Orvel memory;
        TParameterSpec_Orvel cutoff;
        cutoff.name = "cutoff";
        cutoff.label = "Cutoff";
        cutoff.low = 5;
        cutoff.value = 64;
        cutoff.defaultValue = 10;
        QVERIFY(memory.addParameter(cutoff));
        const QByteArray form =
            "<ui version=\"4.0\"><class>Form</class><widget class=\"QWidget\" name=\"Form\">"
            "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>200</width><height>100</height></rect></property>"
            "<widget class=\"CDial\" name=\"knob\"><property name=\"geometry\"><rect><x>10</x><y>10</y>"
            "<width>40</width><height>40</height></rect></property>"
            "<property name=\"namedAddress\"><string>cutoff</string></property></widget></widget></ui>";
        for (const bool on : {true, false}) {
            OrvelUiLoader loader(&memory);
            QCOMPARE(loader.editorConveniencesEnabled(), true);
            loader.setEditorConveniencesEnabled(on);
            QBuffer buffer;
            buffer.setData(form);
            std::unique_ptr<QWidget> panel(loader.load(&buffer));
            QVERIFY(panel);
            panel->show();
            QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
            auto* knob = panel->findChild<CDial_Orvel*>("knob");
            QCOMPARE(loader.editorConveniences() != nullptr, on);
            QCOMPARE(Conveniences::conveniencesOf(knob), loader.editorConveniences());

            memory.write(0, 0, 5, 64);
            click(knob, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
            QCOMPARE(memory.value(0, 0, 5), on ? 10 : 64);
            if (!on)
                continue;
            QCOMPARE(loader.editorConveniences()->undoStack(), memory.undoStack());
            QCOMPARE(memory.undoStack()->undoText(), QString("Change Cutoff"));

            auto* later = new CDial_Orvel(panel.get());
            later->setNamedAddress("cutoff");
            later->setMemAPI(&memory);
            later->show();
            QTRY_COMPARE(Conveniences::conveniencesOf(later), loader.editorConveniences());
            memory.undoStack()->clear();
        }
    }
};

QTEST_MAIN(TestConveniences)
#include "tst_conveniences.moc"
