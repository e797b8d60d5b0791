// CPopupItem_Orvel ("CPopupItem" to the meta-object system): the grid window of a popup selector.
//
// A frameless top-level popup (a QLabel with a raised WinPanel frame) that a CPopup_Orvel button
// opens on every press. It holds one CPopupLabel_Orvel cell per entry of the button's list in a
// grid of the button's `columnsCount` columns: entries are grouped (by common prefix or by the
// button's override counts), every group starts a new row and the rows of a group are filled
// evenly. The window opens under the button and slides (never flips) into the screen's
// available area. The mouse or the arrow keys move a highlight; a click, Space or Return picks
// the entry (the button's setSelectionConfirm) and closes the window, which then sends the
// button a synthetic release. See docs/popup.md.
#pragma once

#include "popupnames.h"

#include "cpopup.h"
#include "cpopuplabel.h"

#include <QLabel>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QVector>

class ORVELKIT_EXPORT CPopupItem : public QLabel
{
    Q_OBJECT

public:
    // Builds the grid for `labels` from the layout settings of `popupParent` (defaults when it
    // is null) and selects the button's current selection. Created hidden; `parent` is
    // normally the button.
    CPopupItem(CPopup* popupParent, const QStringList& labels, QWidget* parent);
    ~CPopupItem() override;

    // The cell for `label` at its position: fixed size `size`, the button's font family, point
    // size, weight and italic flag, its clicked() connected to its customPressed(); shown.
    CPopupLabel* createLabel(const QSize& size, const QString& text);
    // The number of entries of each group in list order (see docs/popup.md, "Grid layout").
    void initGrouping(QVector<int>& groups, bool grouping, int matchCount, const QVector<unsigned short>& overrides);
    // The number of consecutive entries from `start` that begin with `prefix` (case-sensitive).
    int countLabels(const QString& prefix, int start);
    // Column (x) and row (y) of entry `position`; (0, 0) when it is not in the grid.
    void findGridPos(int position, QPoint& place);
    // Keyboard moves from `position`: left and right walk the list with wrapping; up and down
    // walk the grid's columns, wrapping into the previous / next column. -1 when none is found.
    int nextUp(int position);
    int nextDown(int position);
    int nextLeft(int position);
    int nextRight(int position);
    // Marks `label` selected and, when its text is an entry, selects the first such entry and
    // hands it to the button's setSelectionConfirm.
    void applyPopupItemLabel(CPopupLabel* label);
    // Moves the mouse highlight to `cell` (one of this window's cells).
    void setHighlightedItem(QWidget* cell);

    // Where a window at `window` (global, inclusive edges) lands when it is slid into `area`:
    // unchanged when it lies strictly inside; otherwise shifted so that it ends inside, keeping
    // its left and top edges on the area when it is larger than the area.
    static QPoint placeInside(const QRect& window, const QRect& area);

    // ---- state, for hosts and tests ----
    int selectedItem() const { return m_selectedItem; }
    int highlightedItem() const { return m_highlightedItem; }
    const QStringList& labels() const { return m_labels; }
    // One vector per grid row with columnsCount entries: the entry position, or -1.
    const QVector<QVector<int>>& grid() const { return m_grid; }
    // The cell showing entry `position`, or null.
    CPopupLabel* cellAt(int position) const;
    // True while a pick, a key or a close is being handled (the window must not be deleted
    // directly then: its button uses deleteLater()).
    bool isDispatching() const { return m_dispatching > 0; }

public slots:
    // Moves the window under the button, gives every cell its normal or selected palette and
    // places and shows the window (adjustPositionToRect).
    void popup();
    // A cell was pressed: with `flag`, pick it; then close and delete the window.
    void customClose(CPopupLabel* label, bool flag);
    // Closes the window (on the GUI thread) and schedules its deletion.
    void cancelClose();
    // Sizes the window to its grid, slides it into the screen's available area and shows it.
    void adjustPositionToRect();
    void setPopupParent(CPopup* parent);
    CPopup* getPopupParent();
    // Stores the selected position; nothing else.
    void setSelectedItem(int v);
    // Moves the selected look from the old selected cell to the cell of `newSel`.
    void updateSelected(int newSel);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Entry at grid row / column, or -1 (also outside the grid).
    int entryAt(int row, int column) const;
    // The button's columnsCount now (at least 1).
    int columnsNow() const;
    // nextUp (step -1) and nextDown (step 1).
    int nextVertically(int position, int step);
    // The highlight to `position`: hover look on the new cell, the old one back to its palette.
    void moveHighlight(int position);

    int m_selectedItem;
    int m_highlightedItem = -1;
    QStringList m_labels;
    CPopup* m_popupParent;
    QVector<QVector<int>> m_grid;
    QVector<QPointer<CPopupLabel>> m_cells; // by entry position
    int m_dispatching = 0;
};
