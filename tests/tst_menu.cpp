// The pull-down menu and its popup: the item-list grammar and sorted ids, the memory road,
// opening and choosing with real mouse and key events, image rows and stepping, painting, bad
// input. Also the Qt 3 popup-menu ids it is built on.
#include "binding/compat/popupmenu.h"
#include "binding/records.h"
#include "menu/cmenuobject.h"
#include "menu/cpulldownmenu.h"
#include "support/recordingmemory.h"
#include "support/controlpictures.h"

#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QPointer>
#include <QTest>

#include <climits>
#include <thread>


namespace {

// The darkest grey level of the opaque pixels (256: nothing drawn).
int darkest(const QImage& image)
{
    int level = 256;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                level = std::min(level, qGray(image.pixel(x, y)));
    return level;
}

QList<int> menuIds(const Qt3::PopupMenu* menu)
{
    QList<int> out;
    for (int i = 0; i < menu->count(); ++i)
        out << menu->idAt(i);
    return out;
}

// Records where the releases a widget receives land and which buttons they hold.
struct ReleaseTap : QObject
{
    QList<QPair<QPoint, int>> releases;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease)
            releases << qMakePair(static_cast<QMouseEvent*>(e)->position().toPoint(),
                                  int(static_cast<QMouseEvent*>(e)->buttons()));
        return false;
    }
};

// A pull-down bound to parameter 1:2:3 (values 1..3 by default: valueOffset 1).
struct Rig
{
    explicit Rig(const RecordingMemory::Param& param = {1, 3, 1, 2, {}, true}, QWidget* parent = nullptr)
        : menu(new CPullDownMenu_Orvel(parent))
    {
        memory.setParameter(1, 2, 3, param);
        memory.addName(QStringLiteral("mode"), TParamAddress{1, 2, 3, 0});
        memory.nameProxy(menu, QStringLiteral("menu"));
        QObject::connect(menu, &CPullDownMenu_Orvel::valueChanged, [this](int i) { log << i; });
        menu->setNamedAddress(QStringLiteral("mode"));
        menu->setMemAPI(&memory);
    }
    ~Rig()
    {
        if (menu && !menu->parent())
            delete menu.data();
    }
    void reset()
    {
        memory.clearCalls();
        log.clear();
    }
    RecordingMemory memory;
    QPointer<CPullDownMenu_Orvel> menu;
    QList<int> log;
};

bool openByPress(CPullDownMenu_Orvel* control)
{
    QTest::mousePress(control, Qt::LeftButton, {}, QPoint(5, 5));
    return QTest::qWaitFor([&] { return QApplication::activePopupWidget() == control->menu(); });
}

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    // Automatic negative ids from one counter, ids kept as given, insertion by index, checks that
    // never toggle on activation, duplicates, and the Qt 3 frame keeping clear of the items.
    void popupMenuIds()
    {
        Qt3::PopupMenu a, b;
        const int auto1 = a.insertItem(QStringLiteral("A"));
        QCOMPARE(a.insertItem(QStringLiteral("B"), 42), 42);
        const int replaced = a.insertItem(QStringLiteral("C"), -7, 0);
        const int sep = a.insertSeparator();
        QVERIFY(auto1 <= -2);
        QCOMPARE(QList<int>({replaced, sep, b.insertItem(QStringLiteral("D"))}), QList<int>({auto1 - 1, auto1 - 2, auto1 - 3}));
        QCOMPARE(menuIds(&a), QList<int>({replaced, auto1, 42, sep}));
        QVERIFY(!a.findItem(0)); // a separator does not pass for id 0

        a.setItemChecked(42, true);
        QStringList order;
        connect(&a, &Qt3::PopupMenu::activated, [&](int id) { order << QString::number(id); });
        a.action(42)->trigger();
        QVERIFY(a.isItemChecked(42) && a.isCheckable());
        QCOMPARE(order, QStringList({"42"}));

        a.insertItem(QStringLiteral("B0"), 42, 0);
        QCOMPARE(a.text(42), QStringLiteral("B0"));
        delete a.action(42);
        QCOMPARE(a.text(42), QStringLiteral("B"));
        a.clearItems();
        QVERIFY(a.count() == 0 && !a.findItem(auto1));

        a.insertItem(QStringLiteral("X"), 1);
        a.setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        QCOMPARE(a.frameWidth(), 2);
        a.popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(&a));
        const QRect item = a.actionGeometry(a.action(1));
        QVERIFY(item.left() >= 2 && item.top() >= 2);
        a.close();
    }

    // The classes, and the text face: nothing without entries, dark text, grey when disabled.
    void identityAndText()
    {
        CPullDownMenu_Orvel control;
        QCOMPARE(memProxyOf(&control), static_cast<TMemProxy_Orvel*>(&control));
        CMenuObject_Orvel* menu = control.menu();
        QCOMPARE(menu->metaObject()->className(), "CMenuObject");
        QVERIFY(menu->isCheckable() && menu->hasMouseTracking());
        QCOMPARE(menu->frameStyle(), int(QFrame::WinPanel | QFrame::Raised));
        QCOMPARE(control.padWithZeros(QStringLiteral(" 42 ")) + control.padWithZeros(QStringLiteral("12345678901")),
                 QStringLiteral("000000004212345678901"));
        control.resize(80, 20);
        QCOMPARE(darkest(shot(&control)), 256);
        control.setMenuItemList(QStringLiteral("WWW;MMM"));
        QVERIFY(darkest(shot(&control)) < 60);
        control.setEnabled(false);
        const int grey = darkest(shot(&control));
        QVERIFY2(grey >= 120 && grey <= 136, qPrintable(QString::number(grey)));
    }

    void itemListGrammar_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QStringList>("texts"); // in menu order
        QTest::addColumn<QList<int>>("ids");    // in menu order; -2: an automatic id
        QTest::addColumn<QStringList>("sortedItems");

        QTest::newRow("three") << false << "Off;On;Auto" << "Off;On;Auto" << QStringList{"Off", "On", "Auto"}
                               << QList<int>{0, 1, 2} << QStringList{};
        QTest::newRow("empty entries") << false << ";Off;;On;" << "Off;On" << QStringList{"Off", "On"}
                                       << QList<int>{0, 1} << QStringList{};
        QTest::newRow("ampersands") << false << "R&B; end&" << "R&B; end&" << QStringList{"R&&B", " end&&"}
                                    << QList<int>{0, 1} << QStringList{};
        QTest::newRow("sorted") << true << "10;2;5" << "10;2;5" << QStringList{"2", "5", "10"}
                                << QList<int>{0, 1, 2} << QStringList{"2", "5", "10"};
        // Not the exact decimal form (leading zero, letters, beyond int): automatic ids, appended.
        QTest::newRow("sorted, not numbers") << true << "05;3;abc;99999999999" << "05;3;abc;99999999999"
                                             << QStringList{"05", "3", "abc", "99999999999"}
                                             << QList<int>{-2, 2, -2, -2} << QStringList{"0", "0", "3", "5"};
    }
    void itemListGrammar()
    {
        QFETCH(bool, sorted);
        QFETCH(QString, list);
        QFETCH(QString, readBack);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, ids);
        QFETCH(QStringList, sortedItems);

        CPullDownMenu_Orvel control;
        control.setSorted(sorted);
        control.setMenuItemList(list);
        QCOMPARE(control.menuItemList(), readBack);
        QStringList shown;
        for (QAction* a : control.menu()->actions())
            shown << a->text();
        QCOMPARE(shown, texts);
        QCOMPARE(control.sortedItems(), sortedItems);
        const QList<int> got = menuIds(control.menu());
        for (int i = 0; i < ids.size(); ++i)
            QVERIFY2(ids[i] == -2 ? got[i] <= -2 : got[i] == ids[i], qPrintable(QString::number(got[i])));
        // Unbound: item 0 is selected and the only one checked.
        QCOMPARE(control.selectedItem(), 0);
        for (int id : got)
            QCOMPARE(control.menu()->isItemChecked(id), id == 0);

        // The same list again rebuilds nothing; separators only keep the old menu.
        QAction* first = control.menu()->actions().value(0);
        control.setMenuItemList(readBack);
        QCOMPARE(control.menu()->actions().value(0), first);
        control.setMenuItemList(QStringLiteral(";;;"));
        QCOMPARE(control.items(), 0);
        QCOMPARE(control.menu()->count(), texts.size());
    }

    void memoryRoad()
    {
        Rig rig({1, 3, 3, 2, {}, true});
        // Connecting registers silently and reads nothing.
        QCOMPARE(rig.memory.calls().filter(QRegularExpression("^(connect|current|setValue)")),
                 QStringList({QStringLiteral("connectProxy(menu,%1,0)").arg(packAddress(1, 2, 3))}));
        rig.reset();
        rig.menu->setMenuItemList(QStringLiteral("Low;Mid;High"));
        // getInformation (its minimum is the value of position 0), the value, then entry 2, written
        // back as a plain edit (the same value: the memory sends no notice).
        QCOMPARE(rig.memory.calls(), QStringList({"minimum(1,2,3,0)", "maximum(1,2,3,0)", "currentValue(1,2,3,0,0)",
                                                  "setValue(1,2,3,3,noundo:menu,1)"}));
        QCOMPARE(rig.log, QList<int>({2}));

        // Memory changes select silently; values outside the list change nothing.
        rig.memory.setParameter(1, 2, 3, {-100, 100, 3, 2, {}, true});
        for (const int value : {0, 4, 2}) {
            rig.reset();
            rig.memory.hostWrite(1, 2, 3, value);
            QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)"}));
            QCOMPARE(rig.menu->selectedItem(), value == 2 ? 1 : 2);
        }
        QVERIFY(rig.menu->menu()->isItemChecked(1) && !rig.menu->menu()->isItemChecked(2));

        // From a worker thread: only the observer event there, the selection on the GUI thread.
        rig.reset();
        std::thread([&] { rig.memory.hostWrite(1, 2, 3, 3); }).join();
        QCOMPARE(rig.memory.calls(), QStringList({"postObserverEvent(menu)"}));
        QTRY_COMPARE(rig.menu->selectedItem(), 2);

        // Reset to default: selected and written back. Operation 4 keeps the memory's value.
        rig.reset();
        rig.menu->reset2defaults();
        rig.menu->reset2AltDefaults();
        QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)", "defaultValue(1,2,3,0,null)",
                                                  "setValue(1,2,3,2,noundo:menu,1)", "currentValue(1,2,3,0,0)",
                                                  "currentValue(1,2,3,0,0)"}));
        QCOMPARE(rig.menu->selectedItem(), 1);

        // Paste applies and writes an accepted record.
        QDataStream in(TParamInfoWriter_Orvel::encode(1, 2, 3, 3));
        rig.menu->pasteParameters(in);
        QCOMPARE(rig.menu->selectedItem(), 2);
        QCOMPARE(rig.memory.value(1, 2, 3), 3);
    }

    // Opening and choosing with the mouse and keys, the focus rectangle, and a control deleted
    // by a receiver of its choice.
    void openAndChoose()
    {
        struct Parent : QWidget
        {
            int keys = 0;
            void keyPressEvent(QKeyEvent*) override { ++keys; }
        } window;
        window.resize(200, 120);
        Rig rig({1, 3, 1, 1, {}, true}, &window);
        rig.menu->setGeometry(20, 30, 100, 20);
        rig.menu->setMenuItemList(QStringLiteral("Off;On;Auto"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ReleaseTap tap; // what the anchor receives
        rig.menu->installEventFilter(&tap);

        // A right press opens nothing; a left press opens the menu at the bottom-left pixel.
        QTest::mousePress(rig.menu, Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(!rig.menu->menu()->isVisible());
        QVERIFY(openByPress(rig.menu));
        CMenuObject_Orvel* menu = rig.menu->menu();
        QCOMPARE(menu->pos(), rig.menu->mapToGlobal(QPoint(0, rig.menu->height() - 1)));
        QVERIFY(!menu->activeAction());
        // The release of the opening press lands outside the menu: filtered, the menu stays open.
        QTest::mouseRelease(menu, Qt::LeftButton, {}, menu->mapFromGlobal(rig.menu->mapToGlobal(QPoint(5, 5))));
        QVERIFY(menu->isVisible());

        // Choosing "Auto" with the mouse: the menu closes (the anchor gets its release at 0,0 with no
        // buttons), then the value is written and shown.
        rig.reset();
        const QPoint autoAt = menu->actionGeometry(menu->action(2)).center();
        QTest::mouseMove(menu, autoAt);
        QTest::mouseClick(menu, Qt::LeftButton, {}, autoAt);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(tap.releases, (QList<QPair<QPoint, int>>{{QPoint(0, 0), 0}}));
        QCOMPARE(rig.log, QList<int>({2}));
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,3,noundo:menu,1)"}));
        QVERIFY(menu->isItemChecked(2) && !menu->isItemChecked(0));

        // Choosing the entry already shown, by keys, writes nothing.
        QVERIFY(openByPress(rig.menu));
        rig.reset();
        QTest::keyClick(menu, Qt::Key_Up);
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty() && rig.log.isEmpty());

        // Without a widget the menu is shown where it is.
        menu->popup(static_cast<QWidget*>(nullptr));
        QVERIFY(menu->isVisible() && !menu->anchorWidget());
        menu->close();

        // Without the focus rectangle Space does not open; with it, the rectangle is drawn, Space
        // and Return open, and the focus comes back. No key reaches the parent.
        rig.menu->setFocusPolicy(Qt::StrongFocus);
        rig.menu->setFocus();
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A, Qt::Key_Escape})
            QTest::keyClick(rig.menu, key);
        QVERIFY(!menu->isVisible());
        const QImage plain = shot(rig.menu);
        rig.menu->setEnableFocusRect(true);
        QVERIFY(shot(rig.menu) != plain);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            QTest::keyClick(rig.menu, key);
            QTRY_COMPARE(QApplication::activePopupWidget(), menu);
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!menu->isVisible());
            QTRY_VERIFY(rig.menu->hasFocus());
        }
        QCOMPARE(window.keys, 0);

        // A host that deletes the control from valueChanged while the menu delivers the choice.
        QPointer<CPullDownMenu_Orvel> doomed = rig.menu;
        QPointer<CMenuObject_Orvel> doomedMenu = menu;
        connect(rig.menu, &CPullDownMenu_Orvel::valueChanged, [&] { delete doomed.data(); });
        QVERIFY(openByPress(rig.menu));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QVERIFY(!doomed);
        QTRY_VERIFY(!doomedMenu);
    }

    void imageModeAndStepping()
    {
        Rig rig({0, 9, 0, 0, {}, true});
        rig.menu->setCombinedImage(makeStrip(1, 4, 40, 20));
        rig.menu->setnSubImages(4);
        QCOMPARE(rig.menu->size(), QSize(40, 20));
        QCOMPARE(rig.menu->minimumSize(), rig.menu->maximumSize());
        rig.menu->setMenuItemList(QStringLiteral("a;b;c;d;e"));
        // Without the memory's notices of the writes, so that what the slots do by themselves shows
        // (a notice selects the written entry through process()).
        rig.memory.setNotifyOnWrite(false);
        rig.reset();

        for (const int id : {4, 0, 2}) // beyond the strip, the current row, a new row
            rig.menu->setCurrentImage(id);
        QCOMPARE(rig.log, QList<int>({2}));
        QCOMPARE(at(rig.menu, 20, 10), cellColour(0, 2).rgb());
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,2,noundo:menu,1)"}));

        // Stepping moves the row and the check mark, not the selection.
        for (int i = 0; i < 3; ++i)
            rig.menu->incMenu(); // stops at the last row
        QCOMPARE(rig.menu->currentItem(), 3);
        QVERIFY(rig.menu->menu()->isItemChecked(3));
        QCOMPARE(rig.menu->selectedItem(), 0);
        rig.menu->toggleImage(); // wraps
        rig.menu->decMenu();     // stays at 0
        rig.menu->indexChanged(7);
        rig.menu->indexChanged(1);
        QCOMPARE(rig.log, QList<int>({2, 3, 0, 1}));
        QVERIFY(rig.menu->menu()->isItemChecked(1) && !rig.menu->menu()->isItemChecked(3));
        rig.menu->setWantCheck(false);
        QVERIFY(!rig.menu->menu()->isItemChecked(1));

        // Row counts below 1 with a strip: no division by zero, no image id taken.
        for (const int rows : {0, -3}) {
            CPullDownMenu_Orvel control;
            control.setCombinedImage(makeStrip(1, 2, 10, 10));
            control.setnSubImages(rows);
            QCOMPARE(control.size(), QSize(10, 20));
            control.setMenuItemList(QStringLiteral("a;b"));
            control.setCurrentImage(1);
            control.incMenu();
            control.toggleImage();
            QCOMPARE(control.currentItem(), 0);
            QCOMPARE(at(&control, 5, 5), cellColour(0, 0).rgb());
        }
        // Text mode (one sub-image): negative ids are ignored, incMenu always goes to id 0, and
        // a huge id steps back safely.
        CPullDownMenu_Orvel text;
        text.setMenuItemList(QStringLiteral("x;y;z"));
        text.indexChanged(2);
        text.setCurrentImage(-1);
        QCOMPARE(text.currentItem(), 2);
        text.incMenu();
        QCOMPARE(text.currentItem(), 0);
        text.setCurrentImage(INT_MAX);
        text.toggleImage();
        QCOMPARE(text.currentItem(), 0);
    }

    // Sorted ids for thousands of entries over the whole int range; values far from the list.
    void sortedOverIntRange()
    {
        Rig rig({INT_MIN, INT_MAX, INT_MAX, 0, {}, true});
        QStringList many;
        for (int i = 0; i < 3000; ++i)
            many << QString::number(3000 - i);
        rig.menu->setSorted(true);
        rig.menu->setMenuItemList(many.join(QLatin1Char(';')));
        QCOMPARE(rig.menu->menu()->count(), 3000);
        QCOMPARE(rig.menu->selectedItem(), -1); // INT_MAX lies far outside the list
        rig.memory.hostWrite(1, 2, 3, INT_MIN);
        QCOMPARE(rig.menu->selectedItem(), 2999); // position 0 is "3000", listed last
        // Id 1500 is the entry "1501" at position 1499: written with undo once that is on, and shown.
        rig.reset();
        rig.menu->setUndoEnable(true);
        rig.menu->indexChanged(1500);
        QCOMPARE(rig.memory.callsNamed("setValue"),
                 QStringList({QStringLiteral("setValue(1,2,3,%1,undo:menu,1)").arg(INT_MIN + 1499)}));
        CPullDownMenu_Orvel reference;
        reference.setMenuItemList(QStringLiteral("1501"));
        for (QWidget* w : std::initializer_list<QWidget*>{rig.menu, &reference})
            w->resize(60, 20);
        QCOMPARE(shot(rig.menu), shot(&reference));
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
