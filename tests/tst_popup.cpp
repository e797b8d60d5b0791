// The popup selector: label lists, grids and grouping, placement, picks with their exact memory
// writes, confirmation, string tables, enable changes, cell palettes, deletion mid-pick.
#include "binding/utilities.h"
#include "popup/cpopup.h"
#include "popup/cpopupitem.h"
#include "popup/cpopuplabel.h"
#include "support/controlpictures.h"
#include "support/recordingmemory.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <functional>
#include <thread>

Q_DECLARE_METATYPE(QList<int>)

namespace {

// A popup bound to parameter 1:2:3 whose list position 0 stands for the minimum (10).
struct Rig
{
    explicit Rig(const QString& labels, const RecordingMemory::Param& param = {10, 20, 10})
        : popup(new CPopup_Orvel(&host))
    {
        memory.setParameter(1, 2, 3, param);
        memory.addName(QStringLiteral("sel"), TParamAddress{1, 2, 3, 0});
        memory.nameProxy(popup, QStringLiteral("popup"));
        popup->setLabels(labels);
        popup->setGeometry(10, 10, 60, 18);
        popup->setNamedAddress(QStringLiteral("sel"));
        popup->setMemAPI(&memory);
        popup->process(nullptr, 0, 0);
        host.resize(200, 100);
        host.show();
        memory.clearCalls();
    }
    CPopupItem_Orvel* open()
    {
        press(popup, QPoint(5, 5));
        return popup->PopupItem();
    }
    RecordingMemory memory; // outlives the button
    QWidget host;
    QPointer<CPopup_Orvel> popup;
};

// The grid as text: rows separated by "|", entries by spaces.
QString gridText(const CPopupItem_Orvel& w)
{
    QStringList rows;
    for (const QVector<int>& row : w.grid()) {
        QStringList cells;
        for (int v : row)
            cells << QString::number(v);
        rows << cells.join(QLatin1Char(' '));
    }
    return rows.join(QLatin1Char('|'));
}

struct Confirm : NS_Utilities::IConfirmUserAction
{
    int answer = 0;
    QList<QPair<int, int>> asked;
    std::function<void()> during;
    int confirmChange(QWidget*, int oldValue, int newValue) override
    {
        asked << qMakePair(oldValue, newValue);
        if (during)
            during();
        return answer;
    }
};

} // namespace

class TestPopup : public QObject
{
    Q_OBJECT

private slots:
    void labelLists_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QList<int>>("mapping");
        QTest::newRow("empty entries dropped") << false << ";A;;B;" << "A;B" << QList<int>();
        QTest::newRow("spaces kept") << false << " a ;b" << " a ;b" << QList<int>();
        QTest::newRow("only separators") << false << ";;;" << "" << QList<int>();
        QTest::newRow("sorted, words count 0") << true << "10;2;x" << "0;2;10" << QList<int>{-1, 1, 0};
        QTest::newRow("sorted, texts matched exactly") << true << "07;3;07" << "3;7;7" << QList<int>{1, -1, -1};
        QTest::newRow("sorted, out of int range") << true << "99999999999;-4" << "-4;0" << QList<int>{1, -1};
    }
    void labelLists()
    {
        QFETCH(bool, sorted);
        QFETCH(QString, text);
        CPopup_Orvel popup;
        popup.setSorted(sorted);
        popup.setLabels(text);
        QTEST(popup.labels(), "entries");
        QTEST(popup.mapping(), "mapping");
        QCOMPARE(popup.hasMapping(), sorted);
    }

    // The list is measured once (the same list again keeps a size set since); malformed group
    // override texts: words count 0, numbers wrap to 16 bits.
    void labelSizeAndOverrides()
    {
        CPopup_Orvel popup;
        popup.setLabelSizeToContents(true);
        popup.setLabels(QStringLiteral("A;Bbbbbbbbbbb"));
        const QFontMetrics fm(popup.font());
        const QRect united = fm.boundingRect(QStringLiteral("A")).united(fm.boundingRect(QStringLiteral("Bbbbbbbbbbb")));
        QCOMPARE(popup.labelSize(), united.size() + CPopup_Orvel::smallBorder);
        popup.setLabelSize(QSize(5, 5));
        popup.setLabels(QStringLiteral("A;Bbbbbbbbbbb"));
        QCOMPARE(popup.labelSize(), QSize(5, 5));

        popup.setGroupOverride(QStringLiteral("3;x;;70000"));
        QCOMPARE(popup.getGroupOverride(), (QVector<unsigned short>{3, 0, 70000 & 0xffff}));
    }

    void gridShapes_data()
    {
        QTest::addColumn<QString>("labels");
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("grouping");
        QTest::addColumn<int>("matchCount");
        QTest::addColumn<QString>("overrides");
        QTest::addColumn<QString>("grid");
        QTest::newRow("5 in 4") << "a;b;c;d;e" << 4 << false << 1 << "" << "0 1 2 -1|3 4 -1 -1";
        QTest::newRow("12 in 12") << "a;b;c;d;e;f;g;h;i;j;k;l" << 12 << false << 1 << "" << "0 1 2 3 4 5 6 7 8 9 10 11";
        QTest::newRow("prefix groups") << "Osc1;Osc2;Env1;Env2;Env3" << 4 << true << 3 << "" << "0 1 -1 -1|2 3 4 -1";
        QTest::newRow("prefix 0 takes 1 char") << "ab;ac;b" << 4 << true << 0 << "" << "0 1 -1 -1|2 -1 -1 -1";
        QTest::newRow("override 2 throughout") << "a;a;a;a;a" << 4 << true << 1 << "2" << "0 1 -1 -1|2 3 -1 -1|4 -1 -1 -1";
        QTest::newRow("override 2 then prefix") << "a;a;a;a;b" << 4 << true << 1 << "2;0" << "0 1 -1 -1|2 3 -1 -1|4 -1 -1 -1";
        QTest::newRow("override cut at the end") << "a;b;c;d;e;f;g;h;i;j" << 4 << true << 1 << "4" << "0 1 2 3|4 5 6 7|8 9 -1 -1";
        QTest::newRow("override past the list") << "a;b;c" << 2 << true << 1 << "9" << "0 1|2 -1";
        QTest::newRow("no columns: one") << "a;b" << 0 << false << 1 << "" << "0|1";
        QTest::newRow("negative columns: one") << "a;b" << -3 << false << 1 << "" << "0|1";
        QTest::newRow("huge column count: 1024") << "a;b" << INT_MAX << false << 1 << ""
                                                 << ("0 1" + QString(" -1").repeated(1022));
        QTest::newRow("empty list") << "" << 4 << true << 1 << "" << "";
    }
    void gridShapes()
    {
        QFETCH(QString, labels);
        QFETCH(int, columns);
        QFETCH(bool, grouping);
        QFETCH(int, matchCount);
        QFETCH(QString, overrides);
        CPopup_Orvel popup;
        popup.setLabels(labels);
        popup.setColumnsCount(columns);
        popup.setGrouping(grouping);
        popup.setgroupMatchCnt(matchCount);
        popup.setGroupOverride(overrides);
        CPopupItem_Orvel window(&popup, popup.labelList(), nullptr);
        QTEST(gridText(window), "grid");
        // Cell k shows entry k; no cell past the end of the list.
        for (int i = 0; i < popup.labelList().size(); ++i)
            QCOMPARE(window.cellAt(i)->text(), popup.labelList().at(i));
        QCOMPARE(window.findChildren<CPopupLabel_Orvel*>().size(), popup.labelList().size());
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QPoint>("placed");
        QTest::newRow("inside") << QRect(10, 10, 20, 20) << QPoint(10, 10);
        QTest::newRow("past the bottom slides up") << QRect(10, 70, 20, 20) << QPoint(10, 60);
        QTest::newRow("past the right") << QRect(90, 10, 20, 20) << QPoint(80, 10);
        QTest::newRow("wider keeps left edge") << QRect(30, 10, 150, 20) << QPoint(0, 10);
        QTest::newRow("taller keeps top edge") << QRect(10, 50, 20, 300) << QPoint(10, 0);
    }
    void placement()
    {
        QFETCH(QRect, window);
        QTEST(CPopupItem_Orvel::placeInside(window, QRect(0, 0, 100, 80)), "placed");
    }

    // A button at the bottom of the screen: the window slides up over it instead of flipping.
    void windowStaysOnScreen()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        CPopup_Orvel popup;
        popup.setLabels(QStringLiteral("a;b;c;d;e;f;g;h;i;j;k;l;m;n;o;p;q;r;s;t;u;v;w;x;y"));
        popup.setColumnsCount(2);
        popup.setGeometry(area.right() - 30, area.bottom() - 20, 40, 18);
        popup.show();
        press(&popup, QPoint(2, 2));
        CPopupItem_Orvel* window = popup.PopupItem();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->geometry().bottom(), area.bottom());
        QCOMPARE(window->geometry().right(), area.right());
        QVERIFY(window->geometry().top() < popup.mapToGlobal(QPoint(0, 0)).y());
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("highlight");
        QTest::newRow("down 1 -> 4") << 1 << QList<int>{Qt::Key_Down} << 4;
        QTest::newRow("down 4 -> 2") << 4 << QList<int>{Qt::Key_Down} << 2;
        QTest::newRow("down 2 finds none") << 2 << QList<int>{Qt::Key_Down} << -1;
        QTest::newRow("up 3 -> 0") << 3 << QList<int>{Qt::Key_Up} << 0;
        QTest::newRow("up 2 -> previous column, 4") << 2 << QList<int>{Qt::Key_Up} << 4;
        QTest::newRow("up 0 -> previous column's last row") << 0 << QList<int>{Qt::Key_Up} << -1;
        QTest::newRow("left wraps") << 0 << QList<int>{Qt::Key_Left} << 4;
        QTest::newRow("right wraps") << 4 << QList<int>{Qt::Key_Right} << 0;
        QTest::newRow("none: left from the end") << -1 << QList<int>{Qt::Key_Left} << 4;
        QTest::newRow("none: right from the start") << -1 << QList<int>{Qt::Key_Right} << 0;
        QTest::newRow("none: down from column 0 row 0") << -1 << QList<int>{Qt::Key_Down} << 3;
        QTest::newRow("walks from the highlight") << 0 << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Down} << 4;
        QTest::newRow("other keys ignored") << 1 << QList<int>{Qt::Key_A, Qt::Key_Home} << -1;
    }
    void keyboard()
    {
        QFETCH(int, selection);
        QFETCH(QList<int>, keys);
        Rig rig(QStringLiteral("a;b;c;d;e"));
        rig.popup->setColumnsCount(4);
        rig.popup->setGrouping(false);
        rig.popup->setSelectText(selection, false);
        CPopupItem_Orvel* window = rig.open();
        QVERIFY(window);
        for (int k : keys)
            QTest::keyClick(window, Qt::Key(k));
        QTEST(window->highlightedItem(), "highlight");
        const int h = window->highlightedItem();
        for (int i = 0; i < 5; ++i) {
            const QPalette* want = i == h ? &window->cellAt(i)->hover()
                                          : i == selection ? &window->cellAt(i)->selected() : &window->cellAt(i)->normal();
            QCOMPARE(window->cellAt(i)->current(), want);
        }
        QVERIFY(rig.memory.callsNamed(QStringLiteral("setValue")).isEmpty());
    }

    // Picks by mouse and by key: the exact write (value index + offset), signals, close, release.
    void picks_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<int>("cell");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<int>("selected");
        QTest::newRow("mouse") << false << false << 2 << QStringList{"setValue(1,2,3,12,undo:popup,1)"} << 2;
        QTest::newRow("sorted, mapped value") << true << false << 1 << QStringList{"setValue(1,2,3,11,undo:popup,1)"} << 1;
        QTest::newRow("key: right, return") << false << true << 1 << QStringList{"setValue(1,2,3,11,undo:popup,1)"} << 1;
        QTest::newRow("key: return repicks") << false << true << 0 << QStringList{} << 0;
    }
    void picks()
    {
        QFETCH(bool, sorted);
        QFETCH(bool, byKey);
        QFETCH(int, cell);
        Rig rig(QString(), {10, 20, 10});
        rig.popup->setSorted(sorted);
        rig.popup->setLabels(sorted ? QStringLiteral("10;2;x") : QStringLiteral("A;B;C"));
        rig.popup->process(nullptr, 0, 0);
        // Value 10 = offset: value index 0, shown at position 2 when sorted ("10").
        QCOMPARE(rig.popup->currentSelection(), sorted ? 2 : 0);
        rig.memory.clearCalls();
        // The meta-object signatures name the class "CPopup".
        QSignalSpy changed(rig.popup.data(), "2selectionChanged(int)");
        QSignalSpy changedSelf(rig.popup.data(), "2selectionChanged(int,CPopup*)");
        QSignalSpy closed(rig.popup.data(), "2closePopup()");
        QPointer<CPopupItem_Orvel> window = rig.open();
        QVERIFY(window && window->isVisible());
        if (byKey) {
            for (int i = 0; i < cell; ++i)
                QTest::keyClick(window, Qt::Key_Right);
            QTest::keyClick(window, Qt::Key_Return);
        } else {
            QTest::mouseClick(window->cellAt(cell), Qt::LeftButton);
        }
        QTEST(rig.memory.callsNamed(QStringLiteral("setValue")), "writes");
        QTEST(rig.popup->currentSelection(), "selected");
        const bool wrote = !rig.memory.callsNamed(QStringLiteral("setValue")).isEmpty();
        QCOMPARE(changed.size(), wrote ? 1 : 0);
        QCOMPARE(changedSelf.size(), wrote ? 1 : 0);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!rig.popup->isDown());
        QTRY_VERIFY(!window);
        if (wrote)
            QCOMPARE(rig.popup->text(), rig.popup->labelList().at(cell));
    }

    // Memory changes select through the offset and the mapping, write nothing back, and move the
    // selected look of an open window; a value with no entry leaves the button as it was.
    void memoryRoad()
    {
        Rig rig(QStringLiteral("A;B;C"));
        rig.memory.hostWrite(1, 2, 3, 12);
        QCOMPARE(rig.memory.calls(), (QStringList{"currentValue(1,2,3,0,0)", "minimum(1,2,3,0)", "maximum(1,2,3,0)"}));
        QCOMPARE(rig.popup->currentSelection(), 2);
        QCOMPARE(rig.popup->text(), QStringLiteral("C"));
        CPopupItem_Orvel* window = rig.open();
        rig.memory.hostWrite(1, 2, 3, 11);
        QCOMPARE(window->selectedItem(), 1);
        QCOMPARE(window->cellAt(1)->current(), &window->cellAt(1)->selected());
        QCOMPARE(window->cellAt(2)->current(), &window->cellAt(2)->normal());
        rig.memory.hostWrite(1, 2, 3, 19); // index 9: no entry
        QCOMPARE(rig.popup->currentSelection(), 1);
        QCOMPARE(rig.popup->text(), QStringLiteral("B"));
        QCOMPARE(window->selectedItem(), 9);
        QCOMPARE(window->cellAt(1)->current(), &window->cellAt(1)->normal());
        QVERIFY(rig.memory.callsNamed(QStringLiteral("setValue")).isEmpty());
        QVERIFY(rig.popup->cancel());

        // A reset is applied through the ordinary road and stored as an undoable edit.
        rig.memory.setParameter(1, 2, 3, {10, 20, 11, 12});
        rig.memory.setNotifyOnWrite(false);
        rig.memory.clearCalls();
        rig.popup->process(nullptr, 1, 0);
        QCOMPARE(rig.popup->currentSelection(), 2);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,12,undo:popup,1)"});

        // Off the GUI thread the popup only asks to be called again on it.
        rig.memory.setParameter(1, 2, 3, {10, 20, 10});
        std::thread([&] { rig.popup->process(nullptr, 0, 0); }).join();
        QCOMPARE(rig.memory.observerEventsRequested(), 1);
        QCOMPARE(rig.popup->currentSelection(), 2);
        QTRY_COMPARE(rig.popup->currentSelection(), 0);
    }

    void confirmation_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("startAt");
        QTest::addColumn<int>("selected");
        QTest::newRow("0 applies") << 0 << 0 << 2;
        QTest::newRow("non-0 changes nothing") << 1 << 0 << 0;
        QTest::newRow("no selection: dropped") << 0 << -1 << -1;
    }
    void confirmation()
    {
        QFETCH(int, answer);
        QFETCH(int, startAt);
        Rig rig(QStringLiteral("A;B;C"), {10, 20, 30}); // value 30: no entry selected
        rig.popup->setSelectText(startAt, false);
        Confirm confirm;
        confirm.answer = answer;
        rig.popup->setUserConfirmAction(&confirm);
        QTest::mouseClick(rig.open()->cellAt(2), Qt::LeftButton);
        using Asked = QList<QPair<int, int>>;
        QCOMPARE(confirm.asked, startAt < 0 ? Asked() : Asked({{0, 2}}));
        QTEST(rig.popup->currentSelection(), "selected");
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")).size(), rig.popup->currentSelection() == 2 ? 1 : 0);
    }

    // Deleting the button from inside a pick (confirmation, signal, close) or while its window
    // is open, and re-opening from a signal: no crash, nothing touched afterwards.
    void deletedMidPick_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("by the confirmation") << 0;
        QTest::newRow("by selectionChanged, key pick") << 1;
        QTest::newRow("by closePopup") << 2;
        QTest::newRow("with the window open") << 3;
        QTest::newRow("re-opened by selectionChanged") << 4;
    }
    void deletedMidPick()
    {
        QFETCH(int, how);
        Rig rig(QStringLiteral("A;B;C"));
        Confirm confirm;
        QPointer<CPopup_Orvel> popup = rig.popup;
        const auto kill = [&] { delete popup.data(); };
        if (how == 0) {
            confirm.during = kill;
            rig.popup->setUserConfirmAction(&confirm);
        } else if (how == 1) {
            connect(rig.popup, qOverload<int>(&CPopup_Orvel::selectionChanged), this, kill);
        } else if (how == 2) {
            connect(rig.popup, &CPopup_Orvel::closePopup, this, kill);
        } else if (how == 4) {
            connect(rig.popup, qOverload<int>(&CPopup_Orvel::selectionChanged), rig.popup, &CPopup_Orvel::dynamicPopup);
        }
        QPointer<CPopupItem_Orvel> window = rig.open();
        QVERIFY(window);
        if (how == 3)
            kill();
        else if (how == 1)
            QTest::keyClick(window, Qt::Key_Right), QTest::keyClick(window, Qt::Key_Return);
        else
            QTest::mouseClick(window->cellAt(1), Qt::LeftButton);
        QTRY_VERIFY(!window);
        QCOMPARE(bool(popup), how == 4);
        if (how == 4) {
            QCOMPARE(popup->currentSelection(), 1);
            QVERIFY(popup->PopupItem() && popup->PopupItem() != window);
        }
    }

    // A positive table id is fetched once, on first need; its complement reads back.
    void stringTables()
    {
        Rig rig(QStringLiteral("x"));
        rig.memory.setStringTable(5, {"Sine", "Saw", "Square"});
        rig.memory.setNotifyOnWrite(false);
        rig.popup->setTableId(5);
        QSignalSpy ids(rig.popup.data(), &CPopup_Orvel::updateTableId);
        QSignalSpy created(rig.popup.data(), &CPopup_Orvel::dynamicListCreated);
        rig.popup->setSelection(1);
        QCOMPARE(rig.popup->labels(), QStringLiteral("Sine;Saw;Square"));
        QCOMPARE(rig.popup->tableId(), -6);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,11,undo:popup,1)"});
        rig.popup->setSelection(2);
        QCOMPARE(ids, (QList<QVariantList>{{5}, {-6}}));
        QCOMPARE(created.size(), 1);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("fillStringList")).size(), 1);
        // Recreation fetches again and re-applies (writes) the selection.
        rig.memory.setStringTable(5, {"A", "B", "C", "D"});
        rig.memory.clearCalls();
        rig.popup->forceDynamicListRecreation(0);
        QCOMPARE(rig.popup->labels(), QStringLiteral("A;B;C;D"));
        QCOMPARE(rig.popup->currentSelection(), 2);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,12,undo:popup,1)"});
        // Without a memory the table is not fetched and stays positive.
        CPopup_Orvel unbound;
        unbound.setTableId(7);
        unbound.setSelection(0);
        QCOMPARE(unbound.tableId(), 7);
    }

    // Removed entries keep their value indices; a range beyond the list is cut to it.
    void removals()
    {
        Rig rig(QStringLiteral("A;B;C;D"));
        rig.popup->removeMenuEntry(1);
        rig.popup->removeMenuEntry(9);
        QCOMPARE(rig.popup->labels(), QStringLiteral("A;C;D"));
        QCOMPARE(rig.popup->mapping(), (QList<int>{0, 2, 3}));
        rig.popup->setSelection(1);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,12,undo:popup,1)"});
        rig.popup->removeMenuRange(1, INT_MAX);
        QCOMPARE(rig.popup->labels(), QStringLiteral("A;D")); // value index 2 (C) went; 1 is gone
        QCOMPARE(rig.popup->mapping(), (QList<int>{0, 3}));
        rig.popup->removeMenuRange(INT_MIN, INT_MAX);
        QCOMPARE(rig.popup->labels(), QStringLiteral("D"));
        // A mapping left shorter than a new unsorted list: positions past it write no entry's value.
        rig.popup->setLabels(QStringLiteral("P;Q;R"));
        QCOMPARE(rig.popup->calculateValueFromIndex(2), -1);
        rig.popup->mappingsDelete();
        QCOMPARE(rig.popup->calculateValueFromIndex(2), 2);
        QCOMPARE(rig.popup->calculateValueFromIndex(-5), 0);
    }

    // The text face. With the focus both colours take the focus colour's hue and saturation (Qt 3
    // HSV integers). Disabled without greyOnDisable: "---", an empty face, selections refused;
    // enabled again it shows the entry selected before. With greyOnDisable: grey text, selections
    // taken.
    void faces()
    {
        Rig rig(QStringLiteral("A;B;C"));
        rig.popup->setFocusColor(QColor(255, 0, 0));
        QCOMPARE(rig.popup->focusPolicy(), Qt::StrongFocus);
        QVERIFY(showActive(&rig.host));
        rig.popup->setFocus();
        QTRY_VERIFY(rig.popup->hasFocus());
        const QImage image = shot(rig.popup);
        QVERIFY(countColour(image, QColor(211, 0, 0)) > 0); // text (165, 207, 211): value 211
        QCOMPARE(image.pixelColor(1, 1).green(), 0);
        rig.popup->clearFocus();
        QCOMPARE(shot(rig.popup).pixelColor(1, 1).green(), rig.popup->palette().color(QPalette::Button).green());

        rig.popup->setSelection(1);
        rig.popup->setEnabled(false);
        QCOMPARE(rig.popup->text(), QStringLiteral("---"));
        rig.memory.hostWrite(1, 2, 3, 12);
        rig.popup->setSelectText(0, false);
        QCOMPARE(rig.popup->currentSelection(), 1);
        const QColor grey(128, 128, 128);
        QCOMPARE(countColour(shot(rig.popup), grey), 0);
        rig.popup->setEnabled(true);
        QCOMPARE(rig.popup->text(), QStringLiteral("B"));
        QVERIFY(countColour(shot(rig.popup), QColor(165, 207, 211)) > 0);
        rig.popup->setGreyOnDisable(true);
        rig.popup->setEnabled(false);
        QCOMPARE(rig.popup->text(), QStringLiteral("B"));
        QVERIFY(countColour(shot(rig.popup), grey) > 0);
        rig.popup->setSelection(2);
        QCOMPARE(rig.popup->text(), QStringLiteral("C"));

        // With a strip the button shows the on/off button's images; the text set before no longer
        // follows the selection or the enabled state.
        rig.popup->setEnabled(true);
        rig.popup->setnSubImages(2);
        rig.popup->setCombinedImage(makeStrip(1, 2));
        rig.popup->reloadImage();
        rig.popup->setSelection(1);
        QCOMPARE(rig.popup->currentSelection(), 1);
        QCOMPARE(rig.popup->size(), QSize(16, 16));
        QCOMPARE(shot(rig.popup).pixelColor(8, 8), cellColour(0, 1)); // off image: row 1
        rig.popup->setEnabled(false);
        QCOMPARE(rig.popup->text(), QStringLiteral("C"));
    }

    // Palettes: Qt 3 dark(200) of the highlight for the selected face, push/pop, hover by mouse.
    void cellLooks()
    {
        CPopupLabel_Orvel bare;
        bare.popPalette();
        QCOMPARE(bare.current(), nullptr);

        CPopup_Orvel popup;
        QPalette pal = popup.palette();
        pal.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 0, 255));
        pal.setColor(QPalette::Active, QPalette::BrightText, QColor(255, 255, 0));
        const QPalette appPalette = QApplication::palette();
        QApplication::setPalette(pal);
        popup.setLabels(QStringLiteral("A;B;C"));
        popup.setSelectText(1, false);
        CPopupItem_Orvel window(&popup, popup.labelList(), nullptr);
        QApplication::setPalette(appPalette);
        CPopupLabel_Orvel* selected = window.cellAt(1);
        QCOMPARE(selected->selected().color(QPalette::Active, QPalette::Button), QColor(0, 0, 127));
        QCOMPARE(selected->selected().color(QPalette::Active, QPalette::ButtonText), QColor(255, 255, 0));
        QCOMPARE(shot(selected).pixelColor(1, 1), QColor(0, 0, 127));

        CPopupLabel_Orvel* other = window.cellAt(0);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(other, &enter);
        QCOMPARE(window.highlightedItem(), 0);
        QCOMPARE(other->current(), &other->hover());
        QCoreApplication::sendEvent(selected, &enter);
        QCOMPARE(window.highlightedItem(), 1);
        QCOMPARE(other->current(), &other->normal());
        selected->popPalette();
        QCOMPARE(selected->current(), &selected->selected());
    }

    // Thousands of entries, duplicates and a press while the window is open.
    void largeAndDuplicateLists()
    {
        QStringList many;
        for (int i = 0; i < 3000; ++i)
            many << QStringLiteral("P%1").arg(i % 7);
        Rig rig(many.join(QLatin1Char(';')));
        rig.popup->setGrouping(false);
        QPointer<CPopupItem_Orvel> first = rig.open();
        QCOMPARE(first->grid().size(), 250);
        QTest::keyClick(first, Qt::Key_Left);
        QCOMPARE(first->highlightedItem(), 2999);
        QSignalSpy closed(rig.popup.data(), &CPopup_Orvel::closePopup);
        QTest::keyClick(first, Qt::Key_Escape); // closes like a click outside: hidden, kept
        QVERIFY(first && !first->isVisible() && !rig.popup->isDown());
        QCOMPARE(closed.size(), 1);
        QPointer<CPopupItem_Orvel> second = rig.open();
        QVERIFY(!first && second);
        // A duplicate text picks the first entry with that text.
        QTest::mouseClick(second->cellAt(8), Qt::LeftButton);
        QCOMPARE(rig.popup->currentSelection(), 1);
        QCOMPARE(rig.memory.callsNamed(QStringLiteral("setValue")), QStringList{"setValue(1,2,3,11,undo:popup,1)"});
    }
};

QTEST_MAIN(TestPopup)
#include "tst_popup.moc"
