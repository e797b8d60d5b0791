// CMenuObject_Orvel ("CMenuObject" to the meta-object system): the checkable popup menu a
// pull-down menu opens under itself.
//
// A Qt3::PopupMenu (item ids on QMenu) that remembers the widget it was opened under (its
// anchor). It filters the mouse release that ends the press which opened it: a release outside
// the menu is ignored, so the menu stays open after a click on the pull-down. When it closes it
// sends the anchor the release the anchor never got. See docs/menu.md.
#pragma once

#include "menunames.h"

#include "../binding/compat/popupmenu.h"

#include <QPointer>

class ORVELKIT_EXPORT CMenuObject : public Qt3::PopupMenu
{
    Q_OBJECT
public:
    // Mouse tracking on, checkable. `name` becomes the object name when given.
    explicit CMenuObject(QWidget* parent = nullptr, const char* name = nullptr);
    ~CMenuObject() override;

    // Opens the menu as a popup with its top-left corner at the global position of the bottom-left
    // pixel of `w` (x 0, y height - 1), no item pre-selected; with a null `w`, shows it where it
    // is and gives it the keyboard focus. `w` becomes the anchor.
    void popup(QWidget* w);
    using QMenu::popup;

    // The widget the menu was last opened under (null once that widget is gone).
    QWidget* anchorWidget() const { return m_anchorWidget.data(); }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Guarded: an anchor deleted while the menu is open is simply forgotten.
    QPointer<QWidget> m_anchorWidget;
};
