#include "notifier.h"

#include "utilities.h"

#include <QMetaObject>

CSimpleNotifier_Orvel::CSimpleNotifier_Orvel(QObject* parent) : QObject(parent) {}

CSimpleNotifier_Orvel::~CSimpleNotifier_Orvel()
{
    // Worker threads may still be notifying this proxy; stop them before the members go.
    detachMemAPI();
}

void CSimpleNotifier_Orvel::addObserver(QObject* control)
{
    if (!control)
        return;
    for (const QPointer<QObject>& o : std::as_const(m_observers))
        if (o == control)
            return;
    m_observers.append(control);
}

void CSimpleNotifier_Orvel::removeObserver(QObject* control)
{
    m_observers.removeIf([control](const QPointer<QObject>& o) { return !o || o == control; });
}

void CSimpleNotifier_Orvel::setNotifiedValue(int value)
{
    if (!NS_Utilities::mainThreadRunning()) {
        QMetaObject::invokeMethod(this, [this, value] { setNotifiedValue(value); }, Qt::QueuedConnection);
        return;
    }
    if (memAPIReady() && !silent)
        writeUserEdit(value);
    if (value != m_value)
        announce(value);
}

void CSimpleNotifier_Orvel::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!memAPIReady())
        return;
    if (deferToGuiThread())
        return;
    const int current = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    int v = valueForOperation(data, operation, current, true);
    if (operation == 3)
        return;
    if (operation != 0 && v != current) {
        // A reset or paste is a user edit: store it (the memory notifies us back).
        writeUserEdit(v);
        v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    }
    if (v != m_value)
        announce(v);
}

void CSimpleNotifier_Orvel::announce(int value)
{
    m_value = value;
    const QList<QPointer<QObject>> observers = m_observers;
    for (const QPointer<QObject>& o : observers) {
        if (TMemProxy_Orvel* proxy = memProxyOf(o.data()))
            proxy->process(nullptr, 0, 0);
    }
    m_observers.removeIf([](const QPointer<QObject>& o) { return o.isNull(); });
    Q_EMIT notifiedValueChanged(value);
}
