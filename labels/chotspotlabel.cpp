#include "chotspotlabel.h"

#include "binding/memproxy.h"
#include "binding/utilities.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QUuid>
#include <QVariant>
#include <QWidget>

// ---- CHotspotLabel ----

CHotspotLabel::CHotspotLabel(QWidget* parent, const char*) : CLabelDisplay(parent, nullptr)
{
}

CHotspotLabel::~CHotspotLabel() = default;

void CHotspotLabel::setHotSpot(const QRect& rect)
{
    m_hotSpot = rect;
}

void CHotspotLabel::setHotButtons(ButtonState buttons)
{
    m_hotButtons = buttons;
}

void CHotspotLabel::mousePressEvent(QMouseEvent* e)
{
    // Only the pressed button counts, not the ones already held; points on the border do not.
    const int pressed = int(Qt3::toButtonState(e->button(), Qt::NoModifier));
    if ((pressed & int(m_hotButtons)) != 0 && m_hotSpot.contains(e->position().toPoint(), true))
        emit hotspotClicked();
    e->accept();
}

void CHotspotLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    e->accept();
    if (e->button() != Qt::LeftButton || !m_hotSpot.contains(e->position().toPoint(), true))
        return;
    const ButtonState state = Qt3::mouseState(e);
    QPointer<CHotspotLabel> self(this);
    emit hotspotDoubleClicked();
    // A receiver (an opened editor, say) may have deleted the label.
    if (self)
        emit hotspotDoubleClicked(state);
}

void CHotspotLabel::keyPressEvent(QKeyEvent* e)
{
    if (!focusColor().isValid() || !hasFocus()) {
        e->accept(); // consumed, nothing happens
        return;
    }
    if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return) {
        e->accept();
        emit hotspotClicked();
        return;
    }
    e->ignore();
}

// ---- EditorOpener ----

EditorOpener::EditorOpener(CHotspotLabel* label, TMemProxy_Orvel* proxy, const OV_GUID& editorGuid,
                           int editorKind, ButtonState requiredModifiers, int channelOffset)
    : QObject(label),
      m_editorGuid(editorGuid),
      m_editorKind(editorKind),
      m_requiredModifiers(requiredModifiers),
      m_proxy(proxy),
      m_channelOffset(channelOffset)
{
    if (proxy) {
        // A proxy that is part of a control: follow the control's lifetime.
        m_proxyOwner = dynamic_cast<QObject*>(static_cast<TMemProxyBasic*>(proxy));
        m_proxyIsObject = !m_proxyOwner.isNull();
    }
    if (proxy && label)
        connect(label, qOverload<>(&CHotspotLabel::hotspotDoubleClicked), this,
                qOverload<>(&EditorOpener::openAnEditor));
}

EditorOpener::~EditorOpener() = default;

TMemProxy_Orvel* EditorOpener::proxy() const
{
    if (m_proxyIsObject && m_proxyOwner.isNull())
        return nullptr;
    return m_proxy;
}

void EditorOpener::openAnEditor()
{
    openAnEditor(NS_Utilities::modifierState());
}

void EditorOpener::openAnEditor(ButtonState modifiers)
{
    if (int(m_requiredModifiers) != AnyModifiers && m_requiredModifiers != modifiers)
        return;
    TMemProxy_Orvel* bound = proxy();
    if (!bound || !bound->api)
        return;
    IEditorFactory* factory = bound->api->editorFactory();
    if (!factory)
        return;
    QWidget* editor = nullptr;
    if (factory->createEditor(Guid2QUuid(m_editorGuid), m_editorKind, &editor, nullptr, 0) != 0 || !editor)
        return;
    // The channel: the sign-extended low address plus the offset, wrapping like the int sum it
    // is (computed in 64 bits so no offset overflows).
    const int channel = int(quint32(qint64(bound->addrLow) + qint64(m_channelOffset)));
    editor->setProperty("channel", channel);
    editor->show();
    editor->setFocus();
}
