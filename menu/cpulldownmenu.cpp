#include "cpulldownmenu.h"

#include "cmenuobject.h"

#include "binding/services.h"
#include "binding/strip.h"
#include "binding/utilities.h"

#include <QFrame>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

struct CPullDownMenu_PD
{
    QPixmap combinedImage;     // null: text mode
    QStringList items;         // the entries in the order given
    QStringList sortedItems;   // sorted mode: the entries' numbers, ascending
    int current = 0;           // image row / shown id
    int selected = -1;         // selected menu item id; -1 none
    CMenuObject* menu = nullptr;
    int nSubImages = 1;
    bool enableFocusRect = false;
    int valueOffset = 0;
    bool sorted = false;
    bool wantCheck = true;
    std::map<int, int> menuToValueIndex; // menu item id -> entry position
    std::map<int, int> valueIndexToMenu; // entry position -> menu item id
};

namespace {

// Truncation toward zero that stays defined for any double.
int truncateToInt(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= double(INT_MAX))
        return INT_MAX;
    if (x <= double(INT_MIN))
        return INT_MIN;
    return int(x);
}

int lookup(const std::map<int, int>& map, int key)
{
    if (map.empty() || key == -1)
        return key;
    const auto it = map.find(key);
    return it == map.end() ? key : it->second;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and binding

CPullDownMenu::CPullDownMenu(QWidget* parent, const char*) : QLabel(parent), pd(new CPullDownMenu_PD)
{
    pd->menu = new CMenuObject(this, "popup");
    pd->menu->setFrameShape(QFrame::WinPanel);
    pd->menu->setFrameShadow(QFrame::Raised);
    pd->menu->hide();
    TMemProxy_Orvel::setNumDefaultKind(0);
    TMemProxy_Orvel::setUndoEnable(false);
}

CPullDownMenu::~CPullDownMenu()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    CMenuObject* menu = pd->menu;
    pd->menu = nullptr;
    if (menu) {
        disconnect(menu, nullptr, this, nullptr); // hiding it must not hand the focus back here
        if (menu->isDispatching() || menu->isVisible()) {
            // Deleted from inside the menu's own activation (a slot of valueChanged): the menu
            // is still on the call stack, so it goes once control is back in the event loop.
            menu->hide();
            menu->setParent(nullptr);
            menu->deleteLater();
        } else {
            delete menu;
        }
    }
    safe_delete1(pd);
}

void CPullDownMenu::connectMemAPI()
{
    if (!memAPIReady() || !api)
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    --silent;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(CPullDownMenu)

void CPullDownMenu::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!memAPIReady() || !api)
        return;
    if (deferToGuiThread())
        return;
    setWidgetShowState(this);
    int value = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    // 1 default, 2 paste, 3 copy; 4 (alternative default) and the rest keep the memory's value.
    value = valueForOperation(data, operation, value, false);

    TMemSilentHelper guard(silent, operation, this);
    const qint64 position = qint64(value) - pd->valueOffset;
    const int count = pd->items.size();
    if (position < 0 || position >= count)
        return;
    const int id = memapiToMenu(int(position));
    if (id >= 0 && id < count)
        changedTheMenu(id);
}

// ---------------------------------------------------------------------------------------------
// The item list

QString CPullDownMenu::menuItemList() const
{
    return pd ? pd->items.join(QLatin1Char(';')) : QString();
}

void CPullDownMenu::setMenuItemList(const QString& list)
{
    if (!pd || list == menuItemList())
        return;
    pd->items = list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const int count = pd->items.size();
    if (count == 0)
        return; // the menu and the maps keep what they had (see docs/menu.md)

    pd->menu->clearItems();
    pd->menuToValueIndex.clear();
    pd->valueIndexToMenu.clear();
    pd->sortedItems.clear();

    QHash<QString, int> firstSorted; // decimal string -> its first position in sortedItems
    if (pd->sorted) {
        std::vector<int> numbers;
        numbers.reserve(size_t(count));
        for (const QString& entry : std::as_const(pd->items))
            numbers.push_back(entry.toInt()); // not a number, or beyond int: 0
        std::make_heap(numbers.begin(), numbers.end());
        std::sort_heap(numbers.begin(), numbers.end());
        for (int n : numbers) {
            const QString text = QString::number(n);
            if (!firstSorted.contains(text))
                firstSorted.insert(text, pd->sortedItems.size());
            pd->sortedItems.append(text);
        }
    }

    for (int i = 0; i < count; ++i) {
        const QString& entry = pd->items.at(i);
        // An entry that is not the exact decimal form of an integer has no sorted position:
        // id -1, so the menu gives it an automatic (negative) id and appends it.
        const int id = pd->sorted ? firstSorted.value(entry, -1) : i;
        QString text = entry;
        text.replace(QLatin1Char('&'), QLatin1String("&&")); // no accelerator letters
        pd->menu->insertItem(text, this, SLOT(changedTheMenu(int)), QKeySequence(), id, id);
        pd->menuToValueIndex[id] = i;
        pd->valueIndexToMenu[i] = id;
    }

    // The initial item: the memory's value when the address is known, else the first entry.
    if (!addressValid) {
        changedTheMenu(0);
        return;
    }
    double a = 0, b = 0, c = 0;
    bool flag = true;
    getInformation(a, b, c, flag);
    pd->valueOffset = truncateToInt(b);
    if (!api)
        return;
    const int value = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    const qint64 position = qint64(value) - pd->valueOffset;
    if (position < 0 || position >= count)
        return;
    const int id = lookup(pd->valueIndexToMenu, int(position));
    if (id >= 0 && id < count)
        changedTheMenu(id);
}

int CPullDownMenu::memapiToMenu(int position) const
{
    return pd ? lookup(pd->valueIndexToMenu, position) : position;
}

int CPullDownMenu::menuToMemapi(int id) const
{
    return pd ? lookup(pd->menuToValueIndex, id) : id;
}

QString CPullDownMenu::padWithZeros(const QString& s) const
{
    return s.trimmed().rightJustified(10, QLatin1Char('0'));
}

int CPullDownMenu::items() const
{
    return pd ? int(pd->items.size()) : 0;
}

int CPullDownMenu::selectedItem() const
{
    return pd ? pd->selected : -1;
}

int CPullDownMenu::currentItem() const
{
    return pd ? pd->current : 0;
}

int CPullDownMenu::valueOffset() const
{
    return pd ? pd->valueOffset : 0;
}

QStringList CPullDownMenu::sortedItems() const
{
    return pd ? pd->sortedItems : QStringList();
}

CMenuObject* CPullDownMenu::menu() const
{
    return pd ? pd->menu : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Selection

void CPullDownMenu::changedTheMenu(int id)
{
    pd->selected = id;
    updateCheck(id);
    if (id >= 0)
        setCurrentImage(id);
}

bool CPullDownMenu::imageMode() const
{
    return pd->combinedImage.width() != 0;
}

void CPullDownMenu::setCurrentImage(int id)
{
    if (!pd || id < 0) // negative ids never come from the menu; from outside they are ignored
        return;
    if (imageMode()) {
        if (id >= pd->nSubImages || id == pd->current)
            return;
        pd->current = id;
    } else {
        if (id == pd->current && pd->selected != -1)
            return;
        pd->current = id;
        pd->selected = id;
    }
    if (memAPIReady() && api && silent == 0)
        writeUserEdit(NS_Utilities::clampToInt(qint64(pd->valueOffset) + menuToMemapi(id)));
    updateDimensions();
    update();
    emit valueChanged(pd->current);
}

void CPullDownMenu::adjustParams()
{
    setCurrentImage(0);
}

void CPullDownMenu::updateCheck(int id)
{
    if (!pd || !pd->menu)
        return;
    const int count = pd->items.size();
    for (int k = 0; k < count; ++k)
        pd->menu->setItemChecked(k, false);
    if (pd->wantCheck)
        pd->menu->setItemChecked(id, true);
}

void CPullDownMenu::decMenu()
{
    const int id = std::max(pd->current - 1, 0);
    setCurrentImage(id);
    if (id < pd->items.size())
        updateCheck(id);
}

void CPullDownMenu::incMenu()
{
    const int id = int(std::min<qint64>(qint64(pd->current) + 1, qint64(pd->nSubImages) - 1));
    setCurrentImage(id);
    if (id >= 0 && id < pd->nSubImages)
        updateCheck(id);
}

void CPullDownMenu::toggleImage()
{
    const qint64 next = qint64(pd->current) + 1;
    setCurrentImage(next >= pd->nSubImages ? 0 : int(next));
}

void CPullDownMenu::indexChanged(int index)
{
    if (index < 0 || index >= pd->items.size())
        return;
    setCurrentImage(index);
    updateCheck(index);
}

// ---------------------------------------------------------------------------------------------
// Properties

QPixmap CPullDownMenu::combinedImage() const
{
    return pd->combinedImage;
}

void CPullDownMenu::setCombinedImage(const QPixmap& strip)
{
    pd->combinedImage = strip;
    NS_Utilities::geometry_change(this);
}

int CPullDownMenu::nSubImages() const
{
    return pd->nSubImages;
}

void CPullDownMenu::setnSubImages(int n)
{
    if (n == pd->nSubImages)
        return;
    pd->nSubImages = n;
    updateDimensions();
}

bool CPullDownMenu::focusRectEnabled() const
{
    return pd->enableFocusRect;
}

void CPullDownMenu::setEnableFocusRect(bool on)
{
    setFocusPolicy(Qt::StrongFocus);
    // The focus comes back to the control when its menu closes.
    connect(pd->menu, &QMenu::aboutToHide, this, qOverload<>(&QWidget::setFocus));
    pd->enableFocusRect = on;
}

bool CPullDownMenu::sorted() const
{
    return pd->sorted;
}

void CPullDownMenu::setSorted(bool on)
{
    pd->sorted = on;
}

bool CPullDownMenu::wantCheck() const
{
    return pd->wantCheck;
}

void CPullDownMenu::setWantCheck(bool on)
{
    pd->wantCheck = on;
    updateCheck(pd->current);
}

void CPullDownMenu::updateDimensions()
{
    if (!pd || !imageMode())
        return;
    // A row count below 1 counts as one row: the whole strip.
    const NS_Utilities::StripCells cells(pd->combinedImage, 1, pd->nSubImages > 1 ? pd->nSubImages : 1);
    setFixedSize(cells.isValid() ? cells.cellLogicalSize()
                                 : QSize(cells.logicalStripSize().width(), 0));
}

// ---------------------------------------------------------------------------------------------
// Painting and input

QString CPullDownMenu::textFor(int id) const
{
    if (id < 0 || id >= pd->items.size())
        return QString();
    // The text follows the order the menu was built in: the sorted numbers when the list was
    // set in sorted mode, the entries otherwise (setSorted alone does not rebuild the menu).
    if (!pd->sortedItems.isEmpty() && id < pd->sortedItems.size())
        return pd->sortedItems.at(id);
    return pd->items.at(id);
}

void CPullDownMenu::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (imageMode()) {
        const NS_Utilities::StripCells cells(pd->combinedImage, 1, pd->nSubImages > 1 ? pd->nSubImages : 1);
        cells.draw(p, QPoint(0, 0), 0, pd->current);
    } else {
        const QString text = textFor(pd->selected);
        if (!text.isNull()) {
            if (!isEnabled())
                p.setPen(QColor(128, 128, 128));
            p.drawText(rect(), Qt::AlignCenter, text);
        }
    }
    if (hasFocus() && pd->enableFocusRect) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        option.backgroundColor = palette().color(foregroundRole());
        // Drawn whenever the control has the focus, not only after keyboard navigation (styles
        // such as Fusion otherwise skip it for focus given by a click or by setFocus()).
        option.state |= QStyle::State_KeyboardFocusChange;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

void CPullDownMenu::popup()
{
    if (pd && pd->menu)
        pd->menu->popup(this);
}

void CPullDownMenu::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        popup();
}

void CPullDownMenu::keyPressEvent(QKeyEvent* e)
{
    // Every key is taken here; only Space and Return open the menu, and only with the focus
    // rectangle enabled.
    e->accept();
    if (hasFocus() && pd->enableFocusRect && (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return))
        popup();
}
