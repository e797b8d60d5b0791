#include "popupmenu.h"

#include <QAction>
#include <QActionEvent>
#include <QMetaMethod>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include <atomic>
#include <climits>

namespace Qt3 {

PopupMenu::PopupMenu(QWidget* parent) : QMenu(parent)
{
    connect(this, &QMenu::triggered, this, &PopupMenu::onTriggered);
    connect(this, &QMenu::hovered, this, [this](QAction* a) { emit highlighted(idOf(a)); });
}

PopupMenu::~PopupMenu() = default;

int PopupMenu::nextAutoId()
{
    // One counter for every menu of the process, as in Qt 3: -2, -3, ... It stops at INT_MIN
    // rather than wrapping into the ids of real items.
    static std::atomic<int> next{-2};
    int id = next.load();
    while (id > INT_MIN && !next.compare_exchange_weak(id, id - 1)) {
    }
    return id;
}

QAction* PopupMenu::addItemAction(QAction* a, int id, int index)
{
    const QList<QAction*> list = actions();
    const bool append = index < 0 || index >= list.size();
    // Register before inserting: actionEvent(ActionAdded) finds the id already there.
    m_ids.insert(a, id);
    m_allById.insert(id, a);
    a->setData(id);
    if (append)
        addAction(a);
    else
        insertAction(list.at(index), a);
    QAction* first = m_byId.value(id, nullptr);
    // A duplicate id: the first item in menu order answers for it (a scan only for duplicates
    // inserted in front of the others).
    if (!first || (!append && actions().indexOf(a) < actions().indexOf(first)))
        m_byId.insert(id, a);
    return a;
}

int PopupMenu::insertItem(const QString& text, const QObject* receiver, const char* member,
                          const QKeySequence& accel, int id, int index)
{
    if (id < 0)
        id = nextAutoId();
    auto* a = new QAction(text, this);
    if (!accel.isEmpty())
        a->setShortcut(accel);
    if (receiver && member && *member) {
        // SLOT("1name(int)") and SIGNAL("2name(int)") carry a code digit first.
        const char* signature = (*member >= '0' && *member <= '9') ? member + 1 : member;
        m_receivers.insert(a, Receiver{const_cast<QObject*>(receiver),
                                       QMetaObject::normalizedSignature(signature)});
    }
    addItemAction(a, id, index);
    return id;
}

int PopupMenu::insertItem(const QString& text, int id, int index)
{
    return insertItem(text, nullptr, nullptr, QKeySequence(), id, index);
}

int PopupMenu::insertSeparator(int index)
{
    const int id = nextAutoId();
    auto* a = new QAction(this);
    a->setSeparator(true);
    addItemAction(a, id, index);
    return id;
}

void PopupMenu::removeItem(int id)
{
    // Deleting the action removes it from the menu; actionEvent() updates the maps.
    while (QAction* a = action(id))
        delete a;
}

void PopupMenu::clearItems()
{
    m_clearing = true;
    QMenu::clear(); // deletes the actions this menu owns
    m_clearing = false;
    m_byId.clear();
    m_allById.clear();
    m_ids.clear();
    m_receivers.clear();
}

int PopupMenu::count() const
{
    return actions().size();
}

int PopupMenu::idAt(int index) const
{
    const QList<QAction*> list = actions();
    if (index < 0 || index >= list.size())
        return -1;
    return idOf(list.at(index));
}

int PopupMenu::indexOf(int id) const
{
    QAction* a = action(id);
    return a ? int(actions().indexOf(a)) : -1;
}

QAction* PopupMenu::action(int id) const
{
    return m_byId.value(id, nullptr);
}

int PopupMenu::idOf(const QAction* a) const
{
    return a ? m_ids.value(a, -1) : -1;
}

QString PopupMenu::text(int id) const
{
    QAction* a = action(id);
    return a ? a->text() : QString();
}

void PopupMenu::reindex(int id)
{
    // After the first item with `id` went: the next one in menu order, if any.
    m_byId.remove(id);
    if (!m_allById.contains(id))
        return;
    for (QAction* a : actions()) {
        const auto it = m_ids.constFind(a);
        if (it != m_ids.cend() && it.value() == id) {
            m_byId.insert(id, a);
            return;
        }
    }
}

void PopupMenu::setCheckable(bool on)
{
    m_checkable = on;
}

void PopupMenu::setItemChecked(int id, bool on)
{
    if (!m_byId.contains(id))
        return;
    if (on)
        m_checkable = true;
    const QList<QAction*> same = m_allById.values(id);
    for (QAction* a : same) {
        // Only a checked item is a checkable action: the style then draws its mark and leaves
        // unchecked items plain, as a Qt 3 checkable menu did (no empty check boxes).
        if (on) {
            a->setCheckable(true);
            a->setChecked(true);
        } else if (a->isCheckable()) {
            a->setChecked(false);
            a->setCheckable(false);
        }
    }
}

bool PopupMenu::isItemChecked(int id) const
{
    QAction* a = action(id);
    return a && a->isChecked();
}

void PopupMenu::setItemEnabled(int id, bool on)
{
    const QList<QAction*> same = m_allById.values(id);
    for (QAction* a : same)
        a->setEnabled(on);
}

bool PopupMenu::isItemEnabled(int id) const
{
    QAction* a = action(id);
    return a && a->isEnabled();
}

void PopupMenu::popupAt(const QPoint& globalPos, int indexAtPoint)
{
    popup(globalPos, actions().value(indexAtPoint, nullptr));
}

void PopupMenu::onTriggered(QAction* a)
{
    if (!a || !m_ids.contains(a))
        return;
    // QAction toggled its own check mark before triggering; Qt 3 items never did.
    if (a->isCheckable())
        a->setChecked(!a->isChecked());
    const int id = m_ids.value(a);
    const Receiver receiver = m_receivers.value(a);
    // The menu or its owner may be deleted by a receiver: nothing below touches members once
    // `self` is gone.
    const QPointer<PopupMenu> self(this);
    ++m_dispatching;
    emit activated(id);
    if (self && receiver.object) {
        QObject* object = receiver.object.data();
        const QMetaObject* meta = object->metaObject();
        int index = meta->indexOfMethod(receiver.method.constData());
        if (index < 0 && !receiver.method.endsWith("()")) {
            // A slot that takes no id: "name(int)" registered, "name()" declared.
            const QByteArray bare = receiver.method.left(receiver.method.indexOf('(')) + "()";
            index = meta->indexOfMethod(bare.constData());
        }
        if (index >= 0) {
            const QMetaMethod method = meta->method(index);
            if (method.parameterCount() == 1 && method.parameterType(0) == QMetaType::Int)
                method.invoke(object, Qt::DirectConnection, Q_ARG(int, id));
            else if (method.parameterCount() == 0)
                method.invoke(object, Qt::DirectConnection);
        }
    }
    if (self)
        --m_dispatching;
}

void PopupMenu::actionEvent(QActionEvent* e)
{
    QMenu::actionEvent(e);
    if (e->type() != QEvent::ActionRemoved)
        return;
    const QAction* a = e->action();
    const auto it = m_ids.constFind(a);
    if (it == m_ids.cend())
        return;
    const int id = it.value();
    m_ids.erase(it);
    m_receivers.remove(a);
    if (m_clearing)
        return; // clearItems() empties the id maps at once
    m_allById.remove(id, const_cast<QAction*>(a));
    if (m_byId.value(id, nullptr) == a)
        reindex(id);
}

// ---- frame ----

int PopupMenu::frameWidth() const
{
    const bool plain = m_shadow == QFrame::Plain;
    switch (m_shape) {
    case QFrame::NoFrame:
        return 0;
    case QFrame::Box:
        return plain ? 1 : 2;
    case QFrame::Panel:
        return 1;
    case QFrame::WinPanel:
        return 2;
    default:
        return style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    }
}

void PopupMenu::setFrameShape(QFrame::Shape shape)
{
    if (shape == QFrame::HLine || shape == QFrame::VLine)
        shape = QFrame::StyledPanel; // a line is no menu frame
    m_shape = shape;
    updateFrameMargins();
}

void PopupMenu::setFrameShadow(QFrame::Shadow shadow)
{
    m_shadow = shadow;
    updateFrameMargins();
}

void PopupMenu::setFrameStyle(int frameStyle)
{
    m_shape = QFrame::Shape(frameStyle & QFrame::Shape_Mask);
    m_shadow = QFrame::Shadow(frameStyle & QFrame::Shadow_Mask);
    if (m_shape == QFrame::HLine || m_shape == QFrame::VLine)
        m_shape = QFrame::StyledPanel;
    updateFrameMargins();
}

void PopupMenu::updateFrameMargins()
{
    // The items start after the style's panel width and menu margin; a wider frame of our own
    // pushes them in by the difference so that the frame never covers an item.
    int extra = 0;
    if (m_shape != QFrame::StyledPanel) {
        const int styleWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
        const int h = style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, this);
        const int v = style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
        extra = qMax(0, frameWidth() - styleWidth - qMin(h, v));
    }
    setContentsMargins(extra, extra, extra, extra);
    update();
}

void PopupMenu::changeEvent(QEvent* e)
{
    QMenu::changeEvent(e);
    if (e->type() == QEvent::StyleChange)
        updateFrameMargins();
}

void PopupMenu::paintEvent(QPaintEvent* e)
{
    QMenu::paintEvent(e);
    if (m_shape == QFrame::StyledPanel)
        return;
    QPainter p(this);
    const QRect r = rect();
    // Cover the style's own frame, then draw the Qt 3 one.
    const int styleWidth = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    if (styleWidth > 0) {
        const QRegion band = QRegion(r).subtracted(QRegion(r.adjusted(styleWidth, styleWidth, -styleWidth, -styleWidth)));
        for (const QRect& part : band)
            p.fillRect(part, palette().brush(QPalette::Window));
    }
    const QPalette& pal = palette();
    const bool plain = m_shadow == QFrame::Plain;
    const bool sunken = m_shadow == QFrame::Sunken;
    switch (m_shape) {
    case QFrame::Box:
        if (plain)
            qDrawPlainRect(&p, r, pal.color(QPalette::WindowText), 1);
        else
            qDrawShadeRect(&p, r, pal, sunken, 1, 0);
        break;
    case QFrame::Panel:
        if (plain)
            qDrawPlainRect(&p, r, pal.color(QPalette::WindowText), 1);
        else
            qDrawShadePanel(&p, r, pal, sunken, 1);
        break;
    case QFrame::WinPanel:
        if (plain)
            qDrawPlainRect(&p, r, pal.color(QPalette::WindowText), 2);
        else
            qDrawWinPanel(&p, r, pal, sunken);
        break;
    default:
        break;
    }
}

} // namespace Qt3
