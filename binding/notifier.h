// CSimpleNotifier_Orvel: a shared integer that can drive on/off buttons without the memory.
#pragma once

#include "memproxy.h"
#include "names.h"

#include <QList>
#include <QObject>
#include <QPointer>

// The notifier is itself a proxy: bound to a parameter it follows the memory and writes
// setNotifiedValue() through to it; unbound it is a plain shared value. Observers (controls
// that use the notifier as their selection object) are refreshed with process(nullptr, 0, 0) on
// their proxy part whenever the value changes; the notifiedValueChanged(int) signal reports it
// to anyone else.
class ORVELKIT_EXPORT CSimpleNotifier : public QObject, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(int notifiedValue READ notifiedValue WRITE setNotifiedValue NOTIFY notifiedValueChanged)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
public:
    explicit CSimpleNotifier_Orvel(QObject* parent = nullptr);
    ~CSimpleNotifier_Orvel() override;

    int notifiedValue() const { return m_value; }

    // Controls refreshed on every change. A destroyed observer is dropped by itself; adding one
    // twice is harmless.
    void addObserver(QObject* control);
    void removeObserver(QObject* control);

    QString namedAddress() const override { return TMemProxy_Orvel::namedAddress(); }
    bool isUndoEnable() const override { return TMemProxy_Orvel::isUndoEnable(); }

public Q_SLOTS:
    // Stores the value, writes it to the bound parameter (an undoable edit when undo is on),
    // then announces it. Off the GUI thread the call is re-posted to the GUI thread.
    void setNotifiedValue(int value);
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override { TMemProxy_Orvel::setNamedAddress(name); }
    void setUndoEnable(bool on) override { TMemProxy_Orvel::setUndoEnable(on); }

Q_SIGNALS:
    void notifiedValueChanged(int value);

private:
    void announce(int value);
    int m_value = 0;
    QList<QPointer<QObject>> m_observers;
};
