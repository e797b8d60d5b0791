// CPullDownMenu_Orvel ("CPullDownMenu" to the meta-object system): a label-like control bound to
// one parameter whose values are chosen from a list.
//
// The entries come as one ";"-separated string (`menuItemList`); entry i stands for the
// parameter value valueOffset + i, where valueOffset is the value of list position 0 reported
// by the proxy's getInformation(). The control shows the chosen entry as centred text, or, with
// an image strip (`combinedImage`, one row per entry), as that row; a left click (or Space /
// Return with the focus rectangle enabled) opens a checkable menu (CMenuObject_Orvel) under it.
// Choosing an item writes the value to the memory; memory changes (process(), possibly on
// worker threads) select the matching item. In sorted mode the menu lists the entries in
// ascending numeric order while the values stay tied to the positions the entries were given
// at. See docs/menu.md.
#pragma once

#include "menunames.h"

#include "../binding/memproxy.h"

#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QStringList>

class CMenuObject;
struct CPullDownMenu_PD;

class ORVELKIT_EXPORT CPullDownMenu : public QLabel, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(QString menuItemList READ menuItemList WRITE setMenuItemList)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(bool enableFocusRect READ focusRectEnabled WRITE setEnableFocusRect)
    Q_PROPERTY(bool sorted READ sorted WRITE setSorted)
    Q_PROPERTY(bool wantCheck READ wantCheck WRITE setWantCheck)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)

public:
    // Unbound, text mode, no entries, undo off. The menu is created hidden. `name` is not used
    // (the object name stays empty).
    explicit CPullDownMenu(QWidget* parent = nullptr, const char* name = nullptr);
    ~CPullDownMenu() override;

    // ---- binding ----
    // Registers with the memory (silently); shows nothing new until the next memory notice.
    void connectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;

    // ---- designer properties ----
    QPixmap combinedImage() const;
    QString menuItemList() const;
    int nSubImages() const;
    bool focusRectEnabled() const;
    bool sorted() const;
    bool wantCheck() const;
    // The spelling uic uses for setnSubImages when a form does not mark it stdset="0".
    void setNSubImages(int n) { setnSubImages(n); }

    // ---- the menu ----
    // Opens the menu under the control.
    void popup();
    // The number of entries.
    int items() const;
    // The selected menu item id; -1 for none.
    int selectedItem() const;
    // The current index: the image row in image mode, the shown entry's id in text mode.
    int currentItem() const;
    // The value of list position 0 (learnt in setMenuItemList when the address is valid).
    int valueOffset() const;
    // In sorted mode the entries' numbers, ascending, as decimal strings; empty otherwise.
    QStringList sortedItems() const;
    CMenuObject* menu() const;
    // setCurrentImage(0).
    void adjustParams();
    // Image mode: fixes the control to one row of the strip. Text mode: nothing.
    void updateDimensions();
    // Unchecks the items 0..items()-1, then checks `id` when wantCheck is on.
    void updateCheck(int id);
    // Entry position -> menu id, and menu id -> entry position. The argument itself when the map
    // is empty, the argument is -1 or it has no entry.
    int memapiToMenu(int position) const;
    int menuToMemapi(int id) const;
    // `s` without surrounding white space, left-padded with '0' to 10 characters.
    QString padWithZeros(const QString& s) const;

public slots:
    // Memory notice. operation: 0 memory changed, 1 default, 2 paste the record in `data` (a
    // QDataStream*), 3 copy a record into `data`; others keep the memory's value. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    void setCombinedImage(const QPixmap& strip);
    void setMenuItemList(const QString& list);
    void setnSubImages(int n);
    void setEnableFocusRect(bool on);
    // Shows entry `id` (a menu id) and writes its value to the memory unless silent.
    void setCurrentImage(int id);
    void toggleImage();
    void indexChanged(int index);
    void setSorted(bool on);
    void setWantCheck(bool on);
    void incMenu();
    void decMenu();

signals:
    // The new current index (a menu id, not the parameter value).
    void valueChanged(int index);

protected slots:
    // The menu's activation: selects `id`, checks it and shows it.
    void changedTheMenu(int id);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool imageMode() const;
    // The text shown for menu id `id`, or a null string.
    QString textFor(int id) const;

    CPullDownMenu_PD* pd;
};
