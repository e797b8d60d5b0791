#include "cpopupitem.h"

#include "binding/compat/popupwindow.h"
#include "binding/utilities.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>

namespace {

// The columns of a grid for the button's columnsCount: fewer than one column has no grid, so one
// it is; more than kMaxColumns cells in a row (about 38,000 pixels of the default cell) fit on no
// screen and would only cost a row vector of that size for every row.
constexpr int kMaxColumns = 1024;
int gridColumns(int requested)
{
    return std::clamp(requested, 1, kMaxColumns);
}

} // namespace

CPopupItem::CPopupItem(CPopup* popupParent, const QStringList& labels, QWidget* parent)
    : QLabel(parent, Qt3::PopupWindowFlags), m_selectedItem(popupParent ? popupParent->currentSelection() : -1),
      m_labels(labels), m_popupParent(popupParent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    setAlignment(Qt::AlignCenter);
    setMouseTracking(true);

    // The button's layout settings at the time of the press (defaults without a button).
    int columns = 12;
    QSize cellSize(37, 16);
    int margin = 3;
    int spacing = 1;
    bool grouping = true;
    int matchCount = 1;
    QVector<unsigned short> overrides;
    if (popupParent) {
        columns = popupParent->columnsCount();
        cellSize = popupParent->labelSize();
        margin = popupParent->cellMargin();
        spacing = popupParent->cellSpacing();
        grouping = popupParent->grouping();
        matchCount = popupParent->groupMatchCnt();
        overrides = popupParent->getGroupOverride();
    }
    columns = gridColumns(columns);

    QVector<int> groups;
    initGrouping(groups, grouping, matchCount, overrides);
    int totalRows = 0;
    for (int n : groups)
        totalRows += (n + columns - 1) / columns;

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
    m_grid.reserve(totalRows);
    m_cells.resize(m_labels.size());

    int next = 0;
    for (int n : groups) {
        const int rows = (n + columns - 1) / columns;
        for (int r = 0; r < rows; ++r) {
            // Rows are filled evenly: 5 entries in 4 columns give 3 and 2.
            int inRow = int(std::ceil(float(n) / float(rows - r)));
            inRow = std::clamp(inRow, 0, std::min(columns, n));
            n -= inRow;
            QVector<int> row(columns, -1);
            for (int c = 0; c < inRow; ++c, ++next) {
                row[c] = next;
                CPopupLabel* cell = createLabel(cellSize, m_labels.at(next));
                layout->addWidget(cell, m_grid.size(), c);
                m_cells[next] = cell;
                // The selected look only: the text search of applyPopupItemLabel would, with a
                // duplicate text, select (and write) an earlier entry before anything was picked.
                if (next == m_selectedItem)
                    cell->setSelectedPalette();
            }
            m_grid.append(row);
        }
    }
}

CPopupItem::~CPopupItem() = default;

CPopupLabel* CPopupItem::createLabel(const QSize& size, const QString& text)
{
    auto* cell = new CPopupLabel(this);
    cell->constPolish(); // the palettes exist from here on
    cell->setFixedSize(size);
    const QFont source = m_popupParent ? m_popupParent->font() : font();
    QFont f(source.family());
    if (source.pointSize() > 0)
        f.setPointSize(source.pointSize());
    else if (source.pixelSize() > 0)
        f.setPixelSize(source.pixelSize());
    f.setWeight(source.weight());
    f.setItalic(source.italic());
    cell->setFont(f);
    cell->setText(text);
    connect(cell, SIGNAL(clicked()), cell, SLOT(customPressed()));
    cell->show();
    return cell;
}

int CPopupItem::countLabels(const QString& prefix, int start)
{
    int n = 0;
    for (int i = std::max(start, 0); i < m_labels.size() && m_labels.at(i).startsWith(prefix, Qt::CaseSensitive); ++i)
        ++n;
    return n;
}

void CPopupItem::initGrouping(QVector<int>& groups, bool grouping, int matchCount,
                              const QVector<unsigned short>& overrides)
{
    groups.clear();
    const int count = m_labels.size();
    if (!grouping) {
        if (count > 0)
            groups.append(count);
        return;
    }
    int position = 0;
    int c = 0; // the last override consulted applies to every later group
    while (position < count) {
        const int k = groups.size();
        if (k < overrides.size())
            c = overrides.at(k);
        int take;
        if (c > 0) {
            take = std::min(c, count - position); // the last group is cut at the end of the list
        } else {
            const QString prefix = m_labels.at(position).left(matchCount > 0 ? matchCount : 1);
            take = std::max(countLabels(prefix, position), 1);
        }
        groups.append(take);
        position += take;
    }
}

void CPopupItem::findGridPos(int position, QPoint& place)
{
    place = QPoint(0, 0);
    if (position < 0)
        return;
    for (int r = 0; r < m_grid.size(); ++r) {
        const QVector<int>& row = m_grid.at(r);
        if (row.isEmpty() || row.at(0) < 0 || position < row.at(0))
            continue;
        const int column = position - row.at(0);
        if (column < row.size() && row.at(column) == position) {
            place = QPoint(column, r);
            return;
        }
    }
}

int CPopupItem::entryAt(int row, int column) const
{
    if (row < 0 || row >= m_grid.size())
        return -1;
    const QVector<int>& r = m_grid.at(row);
    return column >= 0 && column < r.size() ? r.at(column) : -1;
}

int CPopupItem::columnsNow() const
{
    return gridColumns(m_popupParent ? m_popupParent->columnsCount() : 12);
}

int CPopupItem::nextUp(int position)
{
    return nextVertically(position, -1);
}

int CPopupItem::nextDown(int position)
{
    return nextVertically(position, 1);
}

int CPopupItem::nextVertically(int position, int step)
{
    if (m_grid.isEmpty())
        return 0;
    const int rows = m_grid.size();
    const int cols = columnsNow();
    QPoint place;
    findGridPos(position, place);
    int row = place.y();
    int column = place.x();
    // Past the last row the walk goes on at the top of the next column (upwards: at the bottom
    // of the previous one), both wrapping round; at most one try per row.
    for (int tries = 0; tries < rows; ++tries) {
        row += step;
        if (row < 0 || row >= rows) {
            row = step > 0 ? 0 : rows - 1;
            column += step;
            if (column < 0)
                column = cols - 1;
            else if (column >= cols)
                column = 0;
        }
        const int entry = entryAt(row, column);
        if (entry >= 0)
            return entry;
    }
    return -1;
}

int CPopupItem::nextLeft(int position)
{
    const qint64 p = qint64(position) - 1;
    return p < 0 ? m_labels.size() - 1 : int(p);
}

int CPopupItem::nextRight(int position)
{
    const qint64 p = qint64(position) + 1;
    return p > m_labels.size() - 1 ? 0 : int(p);
}

CPopupLabel* CPopupItem::cellAt(int position) const
{
    if (position < 0 || position >= m_cells.size())
        return nullptr;
    return m_cells.at(position).data();
}

// ---------------------------------------------------------------------------------------------
// Opening and placing

void CPopupItem::popup()
{
    if (m_popupParent)
        move(m_popupParent->mapToGlobal(QPoint(0, m_popupParent->height() - 1)));
    for (int i = 0; i < m_cells.size(); ++i) {
        if (CPopupLabel* cell = m_cells.at(i).data()) {
            if (i == m_selectedItem)
                cell->setSelectedPalette();
            else
                cell->setNormalPalette();
        }
    }
    adjustPositionToRect();
}

QPoint CPopupItem::placeInside(const QRect& window, const QRect& area)
{
    if (area.contains(window, true))
        return window.topLeft();
    int dx = 0;
    int dy = 0;
    if (window.left() < area.left())
        dx = area.left() - window.left();
    if (window.right() > area.right())
        dx = area.right() - window.right();
    if (window.bottom() > area.bottom())
        dy = area.bottom() - window.bottom();
    else if (window.top() < area.top())
        dy = area.top() - window.top();
    // A window larger than the area keeps its left and top edges on the area.
    const int x = window.x();
    const int y = window.y();
    if (x + dx < area.left())
        dx = area.left() - window.left();
    if (x + dx > area.right())
        dx = area.right() - window.right();
    if (y + dy < area.top())
        dy = area.top() - window.top();
    if (y + dy > area.bottom())
        dy = area.bottom() - window.bottom();
    return QPoint(x + dx, y + dy);
}

void CPopupItem::adjustPositionToRect()
{
    // The frame's width is known once the window is polished.
    ensurePolished();
    if (layout()) {
        layout()->activate();
        resize(layout()->totalMinimumSize());
    }
    const QRect area = Qt3::defaultScreenAvailableGeometry();
    if (!area.isEmpty()) {
        const QPoint to = placeInside(geometry(), area);
        if (to != pos())
            move(to);
    }
    show();
}

// ---------------------------------------------------------------------------------------------
// Highlight, picks and closing

void CPopupItem::moveHighlight(int position)
{
    const int previous = m_highlightedItem;
    m_highlightedItem = position;
    if (previous == position)
        return; // the cell already shows the hover look; pushing it again would lose its palette
    if (CPopupLabel* cell = cellAt(position))
        cell->setHoverPalette();
    if (CPopupLabel* old = cellAt(previous))
        old->popPalette();
}

void CPopupItem::setHighlightedItem(QWidget* widget)
{
    if (!widget || children().isEmpty())
        return;
    if (CPopupLabel* old = cellAt(m_highlightedItem))
        old->popPalette();
    auto* cell = qobject_cast<CPopupLabel*>(widget);
    const int position = cell && cell->parent() == this ? int(m_cells.indexOf(QPointer<CPopupLabel>(cell))) : -1;
    if (position >= 0) {
        cell->setHoverPalette();
        m_highlightedItem = position;
    }
}

void CPopupItem::keyPressEvent(QKeyEvent* e)
{
    const int start = m_highlightedItem >= 0 ? m_highlightedItem : m_selectedItem;
    int position = start;
    bool activate = false;
    switch (e->key()) {
    case Qt::Key_Left:
        position = nextLeft(start);
        break;
    case Qt::Key_Right:
        position = nextRight(start);
        break;
    case Qt::Key_Up:
        position = nextUp(start);
        break;
    case Qt::Key_Down:
        position = nextDown(start);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activate = true;
        break;
    default:
        // The base widget handling: Escape closes the popup (it is hidden, not deleted).
        QWidget::keyPressEvent(e);
        return;
    }
    const QPointer<CPopupItem> self(this);
    ++m_dispatching;
    if (position >= 0 && position < m_labels.size()) {
        moveHighlight(position);
        if (activate) {
            if (CPopupLabel* cell = cellAt(m_highlightedItem))
                cell->customPressed();
        }
    }
    if (!self) {
        e->accept(); // handled: Qt must not pass it on from a deleted window
        return;
    }
    --m_dispatching;
    QWidget::keyPressEvent(e);
}

void CPopupItem::applyPopupItemLabel(CPopupLabel* label)
{
    if (!label)
        return;
    label->setSelectedPalette();
    const int position = int(m_labels.indexOf(label->text()));
    if (position < 0)
        return;
    m_selectedItem = position;
    if (m_popupParent)
        m_popupParent->setSelectionConfirm(position);
}

void CPopupItem::customClose(CPopupLabel* label, bool flag)
{
    const QPointer<CPopupItem> self(this);
    ++m_dispatching;
    if (flag)
        applyPopupItemLabel(label);
    if (!self)
        return; // deleted by a receiver of the pick
    cancelClose();
    --m_dispatching;
}

void CPopupItem::cancelClose()
{
    if (NS_Utilities::mainThreadRunning())
        close();
    deleteLater();
}

void CPopupItem::closeEvent(QCloseEvent* e)
{
    e->accept();
    if (!m_popupParent)
        return;
    // The popup held the mouse since the button's press: end the button's pressed state.
    const QPointer<CPopupItem> self(this);
    ++m_dispatching;
    Qt3::sendSyntheticRelease(m_popupParent);
    if (self)
        --m_dispatching;
}

void CPopupItem::setPopupParent(CPopup* parent)
{
    m_popupParent = parent;
}

CPopup* CPopupItem::getPopupParent()
{
    return m_popupParent;
}

void CPopupItem::setSelectedItem(int v)
{
    m_selectedItem = v;
}

void CPopupItem::updateSelected(int newSel)
{
    if (children().isEmpty()) {
        m_selectedItem = newSel;
        return;
    }
    if (CPopupLabel* old = cellAt(m_selectedItem))
        old->setNormalPalette();
    if (CPopupLabel* cell = cellAt(newSel))
        cell->setSelectedPalette();
    m_selectedItem = newSel;
}
