#include "cmenuobject.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>

CMenuObject::CMenuObject(QWidget* parent, const char* name) : Qt3::PopupMenu(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setMouseTracking(true);
    setCheckable(true);
}

CMenuObject::~CMenuObject() = default;

void CMenuObject::popup(QWidget* w)
{
    m_anchorWidget = w;
    if (w) {
        QMenu::popup(w->mapToGlobal(QPoint(0, w->height() - 1)));
        setActiveAction(nullptr);
    } else {
        show();
        setFocus();
    }
}

void CMenuObject::mouseReleaseEvent(QMouseEvent* e)
{
    // The release of the press that opened the menu lands outside it (on the anchor): ignoring
    // it keeps the menu open, as does any other release outside.
    if (rect().contains(e->position().toPoint()))
        Qt3::PopupMenu::mouseReleaseEvent(e);
}

void CMenuObject::mouseMoveEvent(QMouseEvent* e)
{
    Qt3::PopupMenu::mouseMoveEvent(e);
}

void CMenuObject::closeEvent(QCloseEvent* e)
{
    e->accept();
    // The anchor saw the press that opened the menu but never its release: send one, with no
    // buttons held, so that it does not stay in a pressed state.
    if (QWidget* anchor = m_anchorWidget.data()) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), QPointF(0, 0), QPointF(0, 0),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(anchor, &release);
    }
}
