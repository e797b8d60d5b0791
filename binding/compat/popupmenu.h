// Qt3::PopupMenu: Qt 3 popup-menu item ids, check marks and frame styles on a Qt 6 QMenu.
//
// Qt 3 menus addressed their items by integer ids: insertItem(text, receiver, slot, accel, id,
// index) returned the id, setItemChecked(id, on) marked it, and activation called the item's
// slot with the id. QMenu works with QAction objects instead. This class keeps one id <-> action
// map per menu so that code written against ids works unchanged:
//
//     auto* menu = new Qt3::PopupMenu(this);
//     menu->insertItem("Off", this, SLOT(choose(int)), QKeySequence(), 0);   // id 0
//     menu->setItemChecked(0, true);
//
// Rules kept from Qt 3 (see docs/qt3-compat.md, "Popup menus"):
// - a negative id asks for an automatic one: -2, -3, ... from one counter for the whole process
//   (separators take one too); ids of 0 and above are used as given, duplicates included;
// - an index below 0 or beyond the item count appends;
// - activation closes the menu, then emits activated(id), then calls the item's slot;
// - items never toggle their check mark themselves; setItemChecked() does.
#pragma once

#include "../orvelkit_global.h"

#include <QFrame>
#include <QHash>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

class QAction;

namespace Qt3 {

class ORVELKIT_EXPORT PopupMenu : public QMenu
{
    Q_OBJECT
public:
    explicit PopupMenu(QWidget* parent = nullptr);
    ~PopupMenu() override;

    // Inserts an item and returns its id. `member` is a SLOT(...) signature taking an int (the
    // id) or nothing; it is called after activated(id). A negative `id` is replaced by the next
    // automatic id; an `index` outside 0..count()-1 appends.
    int insertItem(const QString& text, const QObject* receiver, const char* member,
                   const QKeySequence& accel = QKeySequence(), int id = -1, int index = -1);
    int insertItem(const QString& text, int id = -1, int index = -1);
    // Separators consume an automatic id as in Qt 3.
    int insertSeparator(int index = -1);
    void removeItem(int id);
    // Removes every item (QMenu::clear is not virtual: call this one on a PopupMenu).
    void clearItems();

    int count() const;
    // The id of the item at `index`, -1 outside; the index of the first item with `id`, -1 none.
    int idAt(int index) const;
    int indexOf(int id) const;
    bool findItem(int id) const { return action(id) != nullptr; }
    // The first action with `id` in menu order, or null.
    QAction* action(int id) const;
    // The id an action of this menu carries; -1 for null or foreign actions.
    int idOf(const QAction* action) const;
    QString text(int id) const;

    // A checkable menu keeps a check column; setItemChecked() on any item makes it checkable.
    void setCheckable(bool on);
    bool isCheckable() const { return m_checkable; }
    // Checks or unchecks every item with `id`. Unknown ids are ignored.
    void setItemChecked(int id, bool on);
    bool isItemChecked(int id) const;
    void setItemEnabled(int id, bool on);
    bool isItemEnabled(int id) const;

    // Qt 3 popup(pos, indexAtPoint): shows the menu at a global position, with item
    // `indexAtPoint` under it when it is a valid index.
    void popupAt(const QPoint& globalPos, int indexAtPoint = -1);

    // ---- the Qt 3 frame (QPopupMenu was a QFrame) ----
    // StyledPanel (the default) is the style's own menu frame; Box, Panel and WinPanel are
    // drawn with Qt's frame primitives in the shadow given (Plain, Raised, Sunken); NoFrame
    // draws none. The item area keeps clear of the frame.
    void setFrameShape(QFrame::Shape shape);
    void setFrameShadow(QFrame::Shadow shadow);
    void setFrameStyle(int style); // shape | shadow, as QFrame
    QFrame::Shape frameShape() const { return m_shape; }
    QFrame::Shadow frameShadow() const { return m_shadow; }
    int frameStyle() const { return int(m_shape) | int(m_shadow); }
    // The width of the frame in pixels (the style's menu panel width for StyledPanel).
    int frameWidth() const;

    // True while an activation is being delivered (activated() and the item's slot run). An
    // owner that wants to delete the menu then must use deleteLater().
    bool isDispatching() const { return m_dispatching > 0; }

signals:
    void activated(int id);
    void highlighted(int id);

protected:
    void actionEvent(QActionEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    struct Receiver
    {
        QPointer<QObject> object;
        QByteArray method; // normalized, without the SLOT code digit
    };

    static int nextAutoId();
    QAction* addItemAction(QAction* action, int id, int index);
    void onTriggered(QAction* action);
    void reindex(int id);
    void updateFrameMargins();

    QHash<int, QAction*> m_byId;         // id -> first action with that id in menu order
    QMultiHash<int, QAction*> m_allById; // id -> every action with that id
    QHash<const QAction*, int> m_ids;    // every item action of this menu -> its id
    QHash<const QAction*, Receiver> m_receivers;
    QFrame::Shape m_shape = QFrame::StyledPanel;
    QFrame::Shadow m_shadow = QFrame::Raised;
    int m_dispatching = 0;
    bool m_checkable = false;
    bool m_clearing = false;
};

} // namespace Qt3
