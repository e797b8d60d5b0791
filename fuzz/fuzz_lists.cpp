// Fuzz target: the list grammars of the pull-down menu (setMenuItemList) and the popup selector
// (setLabels, setGroupOverride), in plain and sorted modes, and what is built from them: the
// menu and its id maps, the popup's mapping and its grid window.
//
// Input: two flag bytes, a fuzzed value, then the texts (list, group override) and a few key
// and item picks, split by FuzzedDataProvider.
//   flags bit 0  sorted     bit 1  wantCheck / grouping    bit 2  bound to a memory parameter
//   bit 3  the popup (else the pull-down)                   bit 4  build the grid window
// Promises checked (a broken one aborts):
// - the entries are the list's non-empty ";" parts; sorted entries ascend;
// - pull-down: menuToMemapi(memapiToMenu(i)) is i for every entry whose id is its own;
// - popup: every mapping index points at an entry with the shown text, or is -1;
// - grid: every entry sits in exactly one cell, rows have columnsCount cells, the keyboard moves
//   stay on entries, and findGridPos finds each entry where the grid has it;
// - the memory's value stays inside the parameter's range.
#include "fuzzsupport.h"

#include "memory/referencememory.h"
#include "menu/cmenuobject.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "popup/cpopupitem.h"

#include <QKeyEvent>
#include <QPointer>
#include <QUndoStack>

#include <climits>

namespace {

TReferenceMemory_Orvel* memory = nullptr;
constexpr int Minimum = -3;
constexpr int Maximum = 40;

void check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s\n", what);
    abort();
}

QStringList entriesOf(const QString& list)
{
    return list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void checkAscending(const QStringList& numbers)
{
    for (int i = 1; i < numbers.size(); ++i)
        check(numbers.at(i - 1).toInt() <= numbers.at(i).toInt(), "sorted entries ascend");
}

void checkMemory()
{
    const int v = memory->value(0, 4, 0);
    check(v >= Minimum && v <= Maximum, "the memory's value stays in range");
}

void pullDown(FuzzedDataProvider& in, quint8 flags, const QString& list)
{
    CPullDownMenu_Orvel menu;
    menu.resize(80, 20); // a control's size: faces are rendered at the widget's size
    menu.setSorted(flags & 0x01);
    menu.setWantCheck(flags & 0x02);
    if (flags & 0x04) {
        menu.setNamedAddress(QStringLiteral("0:4:0"));
        menu.setMemAPI(memory);
    }
    menu.setMenuItemList(list);
    const QStringList entries = entriesOf(list);
    check(menu.items() == entries.size(), "items are the non-empty parts");
    if (menu.sorted() && !entries.isEmpty()) {
        check(menu.sortedItems().size() == entries.size(), "one sorted number per entry");
        checkAscending(menu.sortedItems());
    }
    for (int i = 0; i < entries.size(); ++i) {
        const int id = menu.memapiToMenu(i);
        if (!menu.sorted())
            check(id == i, "unsorted ids are the positions");
        if (id >= 0 && menu.menuToMemapi(id) != i)
            check(menu.sorted() && menu.sortedItems().count(menu.sortedItems().value(id)) > 1,
                  "an id maps back to its entry unless a duplicate number shares it");
    }
    for (int step = 0; step < 6 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: menu.setCurrentImage(in.ConsumeIntegralInRange(-2, int(entries.size()) + 2)); break;
        case 1: menu.incMenu(); break;
        case 2: menu.decMenu(); break;
        case 3: {
            const int id = menu.menu()->idAt(in.ConsumeIntegralInRange(-1, menu.menu()->count()));
            if (id != -1)
                emit menu.menu()->activated(id);
            break;
        }
        case 4:
            memory->write(0, 4, 0, in.ConsumeIntegralInRange(INT_MIN, INT_MAX));
            QCoreApplication::sendPostedEvents();
            break;
        }
        checkMemory();
    }
    // The text shown for whatever is selected.
    QImage face(80, 20, QImage::Format_ARGB32_Premultiplied);
    menu.render(&face);
}

void checkGrid(CPopup_Orvel& popup, CPopupItem_Orvel& window, int count)
{
    const int columns = std::max(popup.columnsCount(), 1);
    QVector<int> seen(count, 0);
    for (const QVector<int>& row : window.grid()) {
        check(row.size() == columns, "a row has columnsCount cells");
        for (int position : row) {
            check(position >= -1 && position < count, "a cell holds an entry or nothing");
            if (position >= 0)
                ++seen[position];
        }
    }
    for (int position = 0; position < count; ++position) {
        check(seen.at(position) == 1, "every entry sits in exactly one cell");
        QPoint place;
        window.findGridPos(position, place);
        check(window.grid().value(place.y()).value(place.x(), -1) == position, "findGridPos finds the entry");
        for (int next : {window.nextUp(position), window.nextDown(position), window.nextLeft(position),
                         window.nextRight(position)})
            check(next >= -1 && next < count, "a keyboard move stays on an entry");
    }
}

void popupSelector(FuzzedDataProvider& in, quint8 flags, const QString& list, const QString& groups)
{
    CPopup_Orvel popup;
    popup.resize(60, 20);
    popup.setSorted(flags & 0x01);
    popup.setGrouping(flags & 0x02);
    popup.setgroupMatchCnt(in.ConsumeIntegralInRange(-1, 6));
    popup.setColumnsCount(in.ConsumeIntegralInRange(-2, 20));
    if (flags & 0x04) {
        popup.setNamedAddress(QStringLiteral("0:4:0"));
        popup.setMemAPI(memory);
    }
    popup.setGroupOverride(groups);
    check(popup.groupOverride().isEmpty(), "the override reads back empty");
    popup.setLabels(list);
    const QStringList entries = entriesOf(list);
    const QStringList shown = popup.labelList();
    check(shown.size() == entries.size(), "labels are the non-empty parts");
    if (popup.sorted()) {
        checkAscending(shown);
        const QList<int> mapping = popup.mapping();
        check(mapping.size() == shown.size(), "one mapping entry per label");
        for (int i = 0; i < mapping.size(); ++i)
            check(mapping.at(i) == -1 || entries.value(mapping.at(i)) == shown.at(i),
                  "a mapping points at an entry with the shown text");
    } else {
        check(shown == entries, "unsorted labels keep their order");
    }
    const int count = int(shown.size());
    for (int step = 0; step < 4 && in.remaining_bytes() > 0; ++step) {
        popup.setSelection(in.ConsumeIntegralInRange(-1, count));
        checkMemory();
    }
    if (flags & 0x10) {
        QPointer<CPopupItem_Orvel> window = new CPopupItem_Orvel(&popup, shown, &popup);
        checkGrid(popup, *window, count);
        static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape};
        for (int step = 0; step < 8 && window && in.remaining_bytes() > 0; ++step) {
            QKeyEvent press(QEvent::KeyPress, keys[in.ConsumeIntegralInRange(0, 5)], Qt::NoModifier);
            QCoreApplication::sendEvent(window, &press);
            checkMemory();
        }
        delete window.data();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    memory = new TReferenceMemory_Orvel;
    TParameterSpec_Orvel p;
    p.high = 0;
    p.mid = 4;
    p.low = 0;
    p.minimum = Minimum;
    p.maximum = Maximum;
    memory->addParameter(p);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const quint8 flags = in.ConsumeIntegral<quint8>();
    memory->write(0, 4, 0, in.ConsumeIntegralInRange(Minimum, Maximum));
    const QString list = OrvelFuzz::consumeText(in, 512);
    const QString groups = OrvelFuzz::consumeText(in, 64);
    if (flags & 0x08)
        popupSelector(in, flags, list, groups);
    else
        pullDown(in, flags, list);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    memory->undoStack()->clear();
    return 0;
}
