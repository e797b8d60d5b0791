#include "cpopup.h"

#include "cpopupitem.h"

#include "buttons/refreshsilence.h"

#include "binding/compat/color.h"
#include "binding/records.h"
#include "binding/services.h"
#include "binding/utilities.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <climits>
#include <cmath>

struct CPopup_PD
{
    QPointer<CPopupItem> popupItem;
    QStringList labels;
    QColor buttonTextColor{165, 207, 211};
    QList<int>* mapping = nullptr; // position -> value index; null: position = value index
    int columnsCount = 12;
    QSize labelSize{37, 16};
    int cellMargin = 3;
    int cellSpacing = 1;
    int tableId = 0; // > 0 still to fetch, < 0 complement of a fetched table, 0 none
    int currentSelection = -1;
    unsigned int refCon = 0;
    QColor focusColor;
    bool enableFocusRect = false;
    NS_Utilities::IConfirmUserAction* userConfirmAction = nullptr;
    int alignment = Qt::AlignCenter;
    int valueOffset = 0;
    bool grouping = true;
    bool labelSizeToContents = false;
    int groupMatchCnt = 1;
    QString groupOverride;
    QVector<unsigned short> groupOverrideCounts;
    bool greyOnDisable = false;
    bool sorted = false;
};

const QSize CPopup::smallBorder(6, 4);

namespace {

// The entries of a ";"-separated text: empty entries dropped, nothing trimmed.
QStringList splitEntries(const QString& text)
{
    return text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// A decimal integer, or 0 when the text is not one (or does not fit an int).
int decimalOrZero(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

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

// Qt 3 HSV arithmetic of the focus tint: hue of the focus colour, own value, saturation pulled
// towards the focus colour's.
QColor focusTinted(const QColor& own, int hue, int saturation)
{
    int h = 0, s = 0, v = 0;
    Qt3::hsv(own, &h, &s, &v);
    const QColor tinted = Qt3::fromHsv(hue, saturation + ((255 - saturation) * s) / 255, v);
    return tinted.isValid() ? tinted : own;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

CPopup::CPopup(QWidget* parent, const char* name) : COnOffButton(parent, name), ppd(nullptr)
{
    // The on/off state is only a look from here on: only setSelection writes.
    disconnectAutomaticObserver();
    ppd = new CPopup_PD;
    connect(this, SIGNAL(pressed()), this, SLOT(dynamicPopup()));
    setFocusPolicy(Qt::NoFocus);
    COnOffButton::setNumDefaultKind(0);
}

CPopup::~CPopup()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    discardPopupItem();
    safe_delete1(ppd->mapping);
    safe_delete1(ppd);
}

void CPopup::discardPopupItem()
{
    CPopupItem* window = ppd->popupItem.data();
    ppd->popupItem = nullptr;
    if (!window)
        return;
    // The window must not call back into this button any more.
    window->setPopupParent(nullptr);
    if (window->isDispatching()) {
        // A pick, key or close of the window is still on the call stack (this button was deleted
        // or re-opened from inside it): the window goes once control is back in the event loop.
        window->hide();
        window->setParent(nullptr);
        window->deleteLater();
    } else {
        delete window;
    }
}

bool CPopup::imageMode() const
{
    return nSubImages() > 0;
}

bool CPopup::acceptsSelections() const
{
    return isEnabled() || ppd->greyOnDisable;
}

QString CPopup::entryOrFirst(int position) const
{
    if (position >= 0 && position < ppd->labels.size())
        return ppd->labels.at(position);
    return ppd->labels.isEmpty() ? QString() : ppd->labels.first();
}

int CPopup::positionOfValueIndex(int valueIndex) const
{
    return ppd->mapping ? int(ppd->mapping->indexOf(valueIndex)) : valueIndex;
}

// ---------------------------------------------------------------------------------------------
// The list

QString CPopup::labels() const
{
    return ppd->labels.join(QLatin1Char(';'));
}

QStringList CPopup::labelList() const
{
    return ppd->labels;
}

void CPopup::setLabels(const QString& text)
{
    const QStringList entries = splitEntries(text);
    if (!ppd->sorted) {
        if (labels() == text)
            return;
        ppd->labels = entries;
        updateLabelSize();
    } else {
        QVector<int> numbers;
        numbers.reserve(entries.size());
        for (const QString& e : entries)
            numbers.append(decimalOrZero(e));
        std::sort(numbers.begin(), numbers.end());
        QStringList sortedEntries;
        sortedEntries.reserve(numbers.size());
        for (int n : numbers)
            sortedEntries.append(QString::number(n));
        if (sortedEntries.join(QLatin1Char(';')) == labels())
            return;
        ppd->labels = sortedEntries;
        safe_delete1(ppd->mapping);
        ppd->mapping = new QList<int>;
        ppd->mapping->reserve(sortedEntries.size());
        for (const QString& s : sortedEntries)
            ppd->mapping->append(int(entries.indexOf(s)));
        updateLabelSize();
    }
    const int sel = ppd->currentSelection;
    if (!imageMode() && acceptsSelections() && sel >= 0 && sel < ppd->labels.size())
        setText(ppd->labels.at(sel));
}

void CPopup::updateLabelSize()
{
    if (!ppd->labelSizeToContents)
        return;
    const QFontMetrics metrics(font());
    QRect united;
    for (const QString& entry : qAsConst(ppd->labels))
        united = united.united(metrics.boundingRect(entry));
    if (united.width() > 0 && united.height() > 0)
        ppd->labelSize = QSize(united.width() + smallBorder.width(), united.height() + smallBorder.height());
}

void CPopup::setLabelSizeToContents(bool on)
{
    ppd->labelSizeToContents = on;
    updateLabelSize();
}

void CPopup::setGroupOverride(const QString& text)
{
    if (text == ppd->groupOverride)
        return;
    ppd->groupOverrideCounts.clear();
    for (const QString& e : splitEntries(text))
        ppd->groupOverrideCounts.append(static_cast<unsigned short>(unsigned(decimalOrZero(e))));
    // Parsed: the property reads back empty, and the same text parses again next time.
    ppd->groupOverride = QString();
}

void CPopup::createDynamicStringList()
{
    emit updateTableId(ppd->tableId);
    if (ppd->tableId <= 0)
        return;
    safe_delete1(ppd->mapping);
    if (api) {
        api->fillStringList(ppd->tableId, ppd->labels);
        ppd->tableId = ~ppd->tableId; // fetched
    }
    emit dynamicListCreated(this);
}

void CPopup::forceDynamicListRecreation(int)
{
    if (CPopupItem* window = ppd->popupItem.data())
        window->cancelClose();
    if (ppd->tableId < 0)
        ppd->tableId = ~ppd->tableId;
    const QPointer<CPopup> self(this);
    createDynamicStringList();
    if (!self)
        return;
    // One below the old position, so that setSelection does not skip it as unchanged.
    const int old = ppd->currentSelection;
    if (old > INT_MIN)
        ppd->currentSelection = old - 1;
    setSelection(old);
    if (!self)
        return;
    updateErasePixmap(nullptr);
    update();
}

void CPopup::removeMenuEntry(int index)
{
    createDynamicStringList();
    if (index < 0 || index >= ppd->labels.size())
        return;
    if (!ppd->mapping) {
        ppd->mapping = new QList<int>;
        ppd->mapping->reserve(ppd->labels.size());
        for (int i = 0; i < ppd->labels.size(); ++i)
            ppd->mapping->append(i);
    }
    // The entry that carries value index `index` goes: its mapping entry and its label. (Until
    // the first removal or sorting, value index and position are the same.)
    const qsizetype at = ppd->mapping->indexOf(index);
    if (at < 0)
        return;
    ppd->mapping->removeAt(at);
    if (at < ppd->labels.size())
        ppd->labels.removeAt(at);
}

void CPopup::removeMenuRange(int from, int to)
{
    const QPointer<CPopup> self(this);
    createDynamicStringList();
    if (!self)
        return;
    // Positions outside the list remove nothing: the loop stays within it.
    const int last = std::min(to, int(ppd->labels.size()) - 1);
    for (int i = last; i >= std::max(from, 0) && self; --i)
        removeMenuEntry(i);
    if (self)
        process(nullptr, 0, 1);
}

void CPopup::mappingsDelete()
{
    safe_delete1(ppd->mapping);
}

QList<int> CPopup::mapping() const
{
    return ppd->mapping ? *ppd->mapping : QList<int>();
}

bool CPopup::hasMapping() const
{
    return ppd->mapping != nullptr;
}

int CPopup::calculateValueFromIndex(int position) const
{
    if (position < 0 || position >= ppd->labels.size())
        position = 0;
    if (!ppd->mapping)
        return position;
    // A mapping shorter than the list (left by an unsorted setLabels after removals) gives the
    // positions past its end no value index.
    return position < ppd->mapping->size() ? ppd->mapping->at(position) : -1;
}

// ---------------------------------------------------------------------------------------------
// Selections

void CPopup::setSelection(int position)
{
    const QPointer<CPopup> self(this);
    createDynamicStringList();
    if (!self)
        return;
    if (position < 0 || position >= ppd->labels.size() || position == ppd->currentSelection || !acceptsSelections())
        return;
    ppd->currentSelection = position;
    if (!imageMode())
        setText(ppd->labels.at(position));
    if (silent == 0 && memAPIReady() && api) {
        const int value = NS_Utilities::clampToInt(qint64(calculateValueFromIndex(position)) + ppd->valueOffset);
        writeUserEdit(value);
        if (!self)
            return;
    }
    emit selectionChanged(position);
    if (!self)
        return;
    emit selectionChanged(position, this);
}

void CPopup::setSelectionConfirm(int position)
{
    if (position == ppd->currentSelection)
        return;
    NS_Utilities::IConfirmUserAction* confirm = ppd->userConfirmAction;
    if (!confirm) {
        setSelection(position);
        return;
    }
    const auto valueIndexOf = [this](int p) {
        // No entry selected (any position outside the list) has no value index.
        if (p < 0 || p >= ppd->labels.size())
            return -1;
        if (!ppd->mapping)
            return p;
        return p < ppd->mapping->size() ? ppd->mapping->at(p) : -1;
    };
    const int oldValue = valueIndexOf(ppd->currentSelection);
    const int newValue = valueIndexOf(position);
    if (oldValue == -1 || newValue == -1)
        return;
    const QPointer<CPopup> self(this);
    const int answer = confirm->confirmChange(this, oldValue, newValue);
    if (answer == 0 && self)
        setSelection(position);
}

void CPopup::setSelectText(int index)
{
    setSelectText(index, true);
}

void CPopup::setSelectText(int index, bool useMapping)
{
    if (!acceptsSelections())
        return;
    if (ppd->mapping && useMapping)
        index = positionOfValueIndex(index);
    ppd->currentSelection = index;
    const QPointer<CPopup> self(this);
    createDynamicStringList();
    if (!self)
        return;
    if (!imageMode())
        setText(entryOrFirst(ppd->currentSelection));
}

int CPopup::currentSelection() const
{
    return ppd->currentSelection;
}

// ---------------------------------------------------------------------------------------------
// The memory

void CPopup::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!memAPIReady() || !api)
        return;
    if (deferToGuiThread())
        return;
    setWidgetShowState(this);
    int value = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    // 1 default, 2 paste, 3 copy (then the current value applies); the others apply the current
    // value.
    value = valueForOperation(data, operation, value, false);

    const QPointer<CPopup> self(this);
    int index = 0;
    {
        // The memory's own change (operation 0) and a copy are applied without writing back.
        RefreshSilence guard(silent, operation);
        double a = 0.0, b = 0.0, c = 0.0;
        bool flag = true;
        getInformation(a, b, c, flag);
        ppd->valueOffset = truncateToInt(b);
        index = NS_Utilities::clampToInt(qint64(value) - ppd->valueOffset);
        if (ppd->mapping)
            index = positionOfValueIndex(index);
        setSelection(index);
        if (!self) {
            guard.release(); // the counter went with the button
            return;
        }
    }
    if (CPopupItem* window = ppd->popupItem.data())
        window->updateSelected(index);
}

// ---------------------------------------------------------------------------------------------
// The grid window

void CPopup::dynamicPopup()
{
    discardPopupItem();
    const QPointer<CPopup> self(this);
    createDynamicStringList();
    if (!self)
        return;
    auto* window = new CPopupItem(this, ppd->labels, this);
    ppd->popupItem = window;
    window->setSelectedItem(ppd->currentSelection);
    window->popup();
}

CPopupItem* CPopup::PopupItem() const
{
    return ppd->popupItem.data();
}

bool CPopup::cancel()
{
    CPopupItem* window = ppd->popupItem.data();
    if (!window)
        return false;
    window->cancelClose();
    return true;
}

void CPopup::mouseReleaseEvent(QMouseEvent* e)
{
    if (isEnabled()) {
        const QPointer<CPopup> self(this);
        emit closePopup();
        if (!self) {
            e->accept(); // handled: Qt must not pass it on to the parent of a deleted button
            return;
        }
    }
    COnOffButton::mouseReleaseEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Look

void CPopup::enabledChange(bool oldEnabled)
{
    if (!imageMode()) {
        if (oldEnabled && !isEnabled() && !ppd->greyOnDisable)
            setText(QStringLiteral("---"));
        else
            setText(entryOrFirst(ppd->currentSelection));
    }
    update();
}

void CPopup::polish()
{
    COnOffButton::polish();
    setBackgroundOrigin(Qt3::WidgetOrigin);
}

void CPopup::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void CPopup::focusInEvent(QFocusEvent* e)
{
    COnOffButton::focusOutEvent(e);
}

void CPopup::focusOutEvent(QFocusEvent* e)
{
    COnOffButton::focusOutEvent(e);
}

void CPopup::drawButton(QPainter* p)
{
    repaintScreenPrimitive(*p);
}

void CPopup::repaintScreenPrimitive(QPainter& p)
{
    if (imageMode())
        COnOffButton::repaintScreenPrimitive(p);
    else
        drawAll(&p);
}

void CPopup::drawAll(QPainter* p)
{
    if (!p)
        return;
    QColor background = p->background().color();
    QColor textColour = ppd->buttonTextColor;
    const bool disabled = !isEnabled();
    if (disabled && ppd->greyOnDisable) {
        textColour = QColor(128, 128, 128);
    } else if (ppd->focusColor.isValid() && hasFocus()) {
        int h = 0, s = 0;
        Qt3::hsv(ppd->focusColor, &h, &s, nullptr);
        background = focusTinted(background, h, s);
        textColour = focusTinted(textColour, h, s);
    }
    p->fillRect(rect(), QBrush(background, Qt::SolidPattern));
    if (disabled && !ppd->greyOnDisable)
        return;
    p->setPen(QPen(textColour, 0));
    p->drawText(rect(), ppd->alignment, text());
    if (hasFocus() && ppd->enableFocusRect) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = QRect(0, 0, width(), height());
        option.backgroundColor = palette().color(foregroundRole());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, p, this);
    }
}

void CPopup::updateErasePixmap(QPixmap* pm)
{
    if (pm) {
        setErasePixmap(*pm);
        return;
    }
    const QPixmap face = Qt3::paintFacePixmap(this, [this](QPainter& p) { repaintScreenPrimitive(p); });
    if (!face.isNull())
        setErasePixmap(face);
}

void CPopup::updateErasePixmapBridge()
{
    updateErasePixmap(nullptr);
    update();
}

// ---------------------------------------------------------------------------------------------
// Properties

int CPopup::columnsCount() const { return ppd->columnsCount; }
void CPopup::setColumnsCount(int count) { ppd->columnsCount = count; }
QSize CPopup::labelSize() const { return ppd->labelSize; }
void CPopup::setLabelSize(const QSize& size) { ppd->labelSize = size; }
int CPopup::cellMargin() const { return ppd->cellMargin; }
void CPopup::setCellMargin(int margin) { ppd->cellMargin = margin; }
int CPopup::cellSpacing() const { return ppd->cellSpacing; }
void CPopup::setCellSpacing(int spacing) { ppd->cellSpacing = spacing; }
int CPopup::tableId() const { return ppd->tableId; }
void CPopup::setTableId(int id) { ppd->tableId = id; }
QColor CPopup::buttonTextColor() const { return ppd->buttonTextColor; }
bool CPopup::grouping() const { return ppd->grouping; }
void CPopup::setGrouping(bool on) { ppd->grouping = on; }
bool CPopup::labelSizeToContents() const { return ppd->labelSizeToContents; }
QString CPopup::groupOverride() const { return ppd->groupOverride; }
int CPopup::groupMatchCnt() const { return ppd->groupMatchCnt; }
void CPopup::setgroupMatchCnt(int count) { ppd->groupMatchCnt = count; }
QColor CPopup::focusColor() const { return ppd->focusColor; }
Qt::Alignment CPopup::alignment() const { return Qt::Alignment(ppd->alignment); }
void CPopup::setAlignment(int alignment) { ppd->alignment = alignment; }
bool CPopup::focusRectEnabled() const { return ppd->enableFocusRect; }
bool CPopup::isGreyOnDisable() const { return ppd->greyOnDisable; }
void CPopup::setGreyOnDisable(bool b) { ppd->greyOnDisable = b; }
unsigned int CPopup::refCon() const { return ppd->refCon; }
void CPopup::setRefCon(unsigned int value) { ppd->refCon = value; }
bool CPopup::sorted() const { return ppd->sorted; }
void CPopup::setSorted(bool on) { ppd->sorted = on; }
int CPopup::valueOffset() const { return ppd->valueOffset; }
QVector<unsigned short>& CPopup::getGroupOverride() { return ppd->groupOverrideCounts; }

void CPopup::setUserConfirmAction(NS_Utilities::IConfirmUserAction* confirm)
{
    ppd->userConfirmAction = confirm;
}

void CPopup::setFocusColor(const QColor& color)
{
    ppd->focusColor = color;
    setFocusPolicy(Qt::StrongFocus);
}

void CPopup::setEnableFocusRect(bool b)
{
    setFocusPolicy(Qt::StrongFocus);
    ppd->enableFocusRect = b;
}

void CPopup::setButtonTextColor(const QColor& color)
{
    if (color == ppd->buttonTextColor)
        return;
    ppd->buttonTextColor = color;
    updateErasePixmap(nullptr);
}
