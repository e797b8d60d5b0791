// CPopup_Orvel ("CPopup" to the meta-object system): the popup selector button.
//
// A push button bound to one parameter whose values are a list of named choices. It shows the
// label of the parameter's current value; a press opens a grid window of all labels
// (CPopupItem_Orvel, one CPopupLabel_Orvel cell per entry) under it, and picking a cell selects
// that entry and writes its value (value index + valueOffset, the value of list position 0
// reported by the proxy) to the memory. The labels come from the ";"-separated `labels`
// property or, with a positive `tableId`, from a string table of the memory. `sorted` lists
// numeric labels in ascending order and keeps a mapping from display position to value index;
// grouping by common prefix (or by override counts) decides how the grid breaks its rows. An
// optional NS_Utilities::IConfirmUserAction may veto a pick or take it over.
//
// It derives from the on/off button and keeps its proxy part, its press and key handling and,
// with a strip (nSubImages() > 0, "image mode"), its image drawing; the on/off state no longer
// reaches the memory (only setSelection writes). Without a strip it draws its text itself
// (drawAll). See docs/popup.md.
#pragma once

#include "popupnames.h"

#include "../buttons/conoffbutton.h"

#include <QColor>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

namespace NS_Utilities {
class IConfirmUserAction;
}
class CPopupItem;
class QPainter;
struct CPopup_PD;

class ORVELKIT_EXPORT CPopup : public COnOffButton
{
    Q_OBJECT
    Q_PROPERTY(QString labels READ labels WRITE setLabels)
    Q_PROPERTY(int columnsCount READ columnsCount WRITE setColumnsCount)
    Q_PROPERTY(QSize labelSize READ labelSize WRITE setLabelSize)
    Q_PROPERTY(int cellMargin READ cellMargin WRITE setCellMargin)
    Q_PROPERTY(int cellSpacing READ cellSpacing WRITE setCellSpacing)
    Q_PROPERTY(int tableId READ tableId WRITE setTableId)
    Q_PROPERTY(QColor buttonTextColor READ buttonTextColor WRITE setButtonTextColor)
    Q_PROPERTY(bool grouping READ grouping WRITE setGrouping)
    Q_PROPERTY(bool labelSizeToContents READ labelSizeToContents WRITE setLabelSizeToContents)
    Q_PROPERTY(QString groupOverride READ groupOverride WRITE setGroupOverride)
    Q_PROPERTY(int groupMatchCnt READ groupMatchCnt WRITE setgroupMatchCnt)
    Q_PROPERTY(QColor focusColor READ focusColor WRITE setFocusColor)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(bool enableFocusRect READ focusRectEnabled WRITE setEnableFocusRect)
    Q_PROPERTY(bool greyOnDisable READ isGreyOnDisable WRITE setGreyOnDisable)

public:
    // The text-border added to the measured label size by labelSizeToContents.
    static const QSize smallBorder;

    // Unbound, empty list, no selection, no focus; the on/off state is cut from the memory.
    explicit CPopup(QWidget* parent = nullptr, const char* name = nullptr);
    ~CPopup() override;

    // ---- designer properties ----
    QString labels() const;
    int columnsCount() const;
    QSize labelSize() const;
    int cellMargin() const;
    int cellSpacing() const;
    // The stored id: after the table was fetched, its bitwise complement (negative).
    int tableId() const;
    QColor buttonTextColor() const;
    bool grouping() const;
    bool labelSizeToContents() const;
    // Always empty once parsed (see setGroupOverride).
    QString groupOverride() const;
    int groupMatchCnt() const;
    QColor focusColor() const;
    Qt::Alignment alignment() const;
    bool focusRectEnabled() const;
    bool isGreyOnDisable() const;
    // The spelling uic uses for setgroupMatchCnt when a form does not mark it stdset="0".
    void setGroupMatchCnt(int count) { setgroupMatchCnt(count); }

    // ---- other operations ----
    // The selected position; outside 0..count-1 means none.
    int currentSelection() const;
    // The entries in display order.
    QStringList labelList() const;
    unsigned int refCon() const;
    void setRefCon(unsigned int value);
    bool sorted() const;
    // Only stores: the next setLabels sorts (or not).
    void setSorted(bool on);
    void setUserConfirmAction(NS_Utilities::IConfirmUserAction* confirm);
    // The group sizes parsed by setGroupOverride.
    QVector<unsigned short>& getGroupOverride();
    // The value of list position 0 learned at the last memory update.
    int valueOffset() const;
    // The mapping (position -> value index) or an empty list when there is none.
    QList<int> mapping() const;
    bool hasMapping() const;
    // The open grid window, or null.
    CPopupItem* PopupItem() const;
    // Closes and deletes the grid window; false when there is none.
    bool cancel();
    // Removes the entry whose value index is `index` (see docs/popup.md); the other entries
    // keep their value indices.
    void removeMenuEntry(int index);
    // Removes positions `to` down to `from`, then re-reads the parameter.
    void removeMenuRange(int from, int to);
    void mappingsDelete();
    // The value index of `position` (0 taken for positions outside the list); -1 for a position
    // that has no value index in the mapping.
    int calculateValueFromIndex(int position) const;
    // Fetches a positive tableId's string table from the memory (once).
    void createDynamicStringList();
    // With labelSizeToContents: labelSize = the united text size of all entries + smallBorder.
    void updateLabelSize();
    // The text face: background, text in buttonTextColor (grey, or tinted by focusColor), focus
    // rectangle. Nothing for a null painter.
    void drawAll(QPainter* p);
    // Image mode: the on/off button's look; otherwise drawAll.
    void repaintScreenPrimitive(QPainter& p);
    // With a pixmap: that becomes the face; with null: the face is painted anew.
    void updateErasePixmap(QPixmap* pm = nullptr);

public slots:
    // Memory notice: selects the entry of the parameter's value. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setAlignment(int alignment);
    void setFocusColor(const QColor& color);
    void setLabels(const QString& text);
    void setColumnsCount(int count);
    void setLabelSize(const QSize& size);
    void setCellMargin(int margin);
    void setCellSpacing(int spacing);
    // A user selection: shows the entry, writes its value (unless silent) and emits
    // selectionChanged. Refused for the current position and for positions outside the list.
    void setSelection(int position);
    // A pick from the grid window, through the confirmation object when one is set.
    void setSelectionConfirm(int position);
    // Shows an entry without writing or signalling (`index` a value index when mapped).
    void setSelectText(int index);
    void setSelectText(int index, bool useMapping);
    void updateErasePixmapBridge();
    void setTableId(int id);
    void setButtonTextColor(const QColor& color);
    void setGrouping(bool on);
    void setLabelSizeToContents(bool on);
    // Parses ";"-separated group sizes; the property then reads back empty.
    void setGroupOverride(const QString& text);
    void setgroupMatchCnt(int count);
    // Opens a new grid window (the old one is deleted).
    void dynamicPopup();
    // Fetches the string table again and re-applies the selection. The argument is not used.
    void forceDynamicListRecreation(int unused);
    void setEnableFocusRect(bool b);
    void setGreyOnDisable(bool b);

signals:
    void selectionChanged(int position);
    void selectionChanged(int position, CPopup* self);
    void updateTableId(int oldId);
    void closePopup();
    void dynamicListCreated(CPopup* self);

protected:
    void polish() override;
    void devicePixelRatioChange() override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enabledChange(bool oldEnabled) override;
    void drawButton(QPainter* p) override;

private:
    bool imageMode() const;
    // Enabled, or disabled with greyOnDisable: selections are taken.
    bool acceptsSelections() const;
    // The entry at `position`, or entry 0 when that is not a position (empty when no entries).
    QString entryOrFirst(int position) const;
    // The position whose mapping entry is `valueIndex`, or -1.
    int positionOfValueIndex(int valueIndex) const;
    // Deletes the grid window, later when it is handling an event.
    void discardPopupItem();

    CPopup_PD* ppd;
};
