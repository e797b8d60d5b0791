// The parameter memory proxy: the part of a control that stands for one parameter.
//
// A bound control derives from a toolkit widget first and from TMemProxy_Orvel second
// (`class CKnob : public QDial, public TMemProxy`, see names.h). The memory calls `process`
// on the proxy part, possibly on a worker thread; the control re-posts itself to the GUI thread
// with MAPI_postObserverEvent and does all widget work there.
#pragma once

#include "memapi.h"
#include "names.h"
#include "orvelkit_global.h"

#include <QEvent>
#include <QPointer>
#include <QString>

#include <atomic>

class QDataStream;
class QWidget;

// Packs an address into 32 bits for registration: low in bits 0-10, mid in bits 11-21, high
// from bit 22, each sign-extended and then OR-ed (so negative fields overlap the others).
constexpr quint32 packAddress(qint16 high, qint16 mid, qint16 low)
{
    return quint32(qint32(low)) | (quint32(qint32(mid)) << 11) | (quint32(qint32(high)) << 22);
}

// The memory-facing part of a proxy: its address fields, its counters and the virtual table the
// memory drives. The members are public because the controls read them directly.
class ORVELKIT_EXPORT TMemProxyBasic
{
public:
    TMemProxyBasic();
    TMemProxyBasic(const TMemProxyBasic&) = delete;
    TMemProxyBasic& operator=(const TMemProxyBasic&) = delete;
    // Detaches from the memory (see detachMemAPI). A class whose `process` may run on worker
    // threads must call detachMemAPI() first thing in its own destructor.
    virtual ~TMemProxyBasic();

    // ---- the virtual table, in this order ----

    // operation: 0 memory changed, 1 reset to default, 2 paste a record (data is a
    // QDataStream*), 3 copy a record (data is a QDataStream*), 4 reset to alternative default.
    virtual void process(const Q_UINT8* data, int operation, Q_UINT32 extra) = 0;
    virtual bool autoUndoDisabled() const;
    virtual TMemProxyBasic* realMemoryProxy();
    virtual void connectMemAPI();
    virtual void disconnectMemAPI();
    virtual void copyParameters(QDataStream& stream);
    virtual void pasteParameters(QDataStream& stream);
    virtual void reset2defaults();
    virtual void reset2AltDefaults();
    // a: minimum, b: the value of list position 0, c: maximum. `flag` is true on entry and is
    // cleared when the proxy is not bound. Returns `flag`.
    virtual bool getInformation(double& a, double& b, double& c, bool& flag);
    virtual bool setInformation(double a, double b, double c, bool flag);
    // Connects (true) or disconnects (false) through the virtual connect/disconnect operations.
    virtual void applyConnection(bool on);
    virtual bool disableAutoHide() const;
    virtual QString namedAddress() const = 0;
    virtual void setNamedAddress(const QString& name) = 0;
    virtual bool isUndoEnable() const = 0;
    virtual void setUndoEnable(bool on) = 0;
    virtual int numDefaultKind() const = 0;
    virtual void setNumDefaultKind(int kind) = 0;
    virtual bool disabledUI() const = 0;
    virtual void setDisabledUI(bool on) = 0;

    // ---- non-virtual ----

    // True when `api` may be used: a memory is attached, it is ready and the address resolved.
    bool memAPIReady() const;
    // Hides `widget` while the memory reports the parameter unavailable (unless
    // disableAutoHide()), and shows it again once it is available. Only undoes its own hiding.
    void setWidgetShowState(QWidget* widget);
    quint32 packedAddress() const { return packAddress(addrHigh, addrMid, addrLow); }
    // The context handed to IMemAPI::setValue for a user edit.
    TUndoContext undoContext(int kind) const;

    // Attaches the proxy to a memory (or detaches it with null): the old binding is
    // disconnected through the virtual table, the named address is resolved against the new
    // memory and, when it resolves, connectMemAPI() is called through the virtual table.
    void setMemAPI(IMemAPI* memory);
    IMemAPI* memAPI() const { return api; }
    // Disconnects from the memory and forgets it, without calling virtual operations. Safe to call
    // repeatedly; called by the destructor.
    void detachMemAPI();
    // Resolves the named address against `api` into the address fields; sets `addressValid`.
    // Returns `addressValid`.
    bool resolveNamedAddress(const QString& name);

    // ---- steps most bound controls share (each control keeps its own order at the call site) ----

    // Off the GUI thread: posts the observer event (the memory calls process again on the GUI
    // thread) and returns true, so the caller returns. On the GUI thread: false.
    bool deferToGuiThread();
    // With `silent` raised: asks maximum(address, 0), then minimum(address, 0), and hands them to
    // setRange(minimum, maximum); then lowers `silent`.
    template <class SetRange>
    void applyMemoryRange(SetRange&& setRange)
    {
        ++silent;
        const int max = api->maximum(addrHigh, addrMid, addrLow, 0);
        const int min = api->minimum(addrHigh, addrMid, addrLow, 0);
        setRange(min, max);
        --silent;
    }
    // The value a refresh applies for `operation`, starting from `current` (the memory's value):
    // 1 the default; 2 the value of the record read from `data` when acceptsRecord() allows it;
    // 3 writes a copy record of `current` into `data` and keeps `current`; 4, when
    // `withAltDefault`, the alternative default or, when there is none, the default. Any other
    // operation keeps `current`.
    int valueForOperation(const Q_UINT8* data, int operation, int current, bool withAltDefault);
    // A user edit: setValue(address, value, undoContext(0), 1). Returns the memory's status.
    int writeUserEdit(int value);

    // ---- members the controls read (in this order) ----
    IMemAPI* api = nullptr;
    quint8 addressValid = 0;
    qint16 addrHigh = 0;
    qint16 addrLow = 0;
    qint16 addrMid = 0;
    qint16 addrLowOffset = 0;
    quint8 silent = 0; // non-zero: a value change is not written back

private:
    friend class ProxyBindingAccess;
    bool m_hiddenByMemory = false;
};

// The proxy with its settings: named address, undo, default kind and the disabled-UI flag.
// Controls re-declare these as designer properties and forward to the functions below.
class ORVELKIT_EXPORT TMemProxy_Orvel : public TMemProxyBasic
{
public:
    TMemProxy_Orvel();
    ~TMemProxy_Orvel() override;

    QString namedAddress() const override;
    // Stores the name; when a memory is attached, disconnects through the virtual table,
    // resolves the new name and connects again when it resolves.
    void setNamedAddress(const QString& name) override;
    bool isUndoEnable() const override;
    void setUndoEnable(bool on) override;
    int numDefaultKind() const override;
    void setNumDefaultKind(int kind) override;
    bool disabledUI() const override;
    void setDisabledUI(bool on) override;

private:
    QString m_namedAddress;
    bool m_undoEnable = true;
    int m_numDefaultKind = 0;
    bool m_disabledUI = false;
};

// The definitions of a control's re-declared proxy settings, which only forward to
// TMemProxy_Orvel. Controls declare namedAddress/setNamedAddress, isUndoEnable/setUndoEnable
// and numDefaultKind/setNumDefaultKind themselves (moc needs them in the class for the designer
// properties and slots) and define them with one line in their .cpp:
//     ORVELKIT_FORWARD_PROXY_SETTINGS(CFader)
#define ORVELKIT_FORWARD_PROXY_SETTINGS(Control)                                                  \
    QString Control::namedAddress() const { return TMemProxy_Orvel::namedAddress(); }            \
    void Control::setNamedAddress(const QString& name) { TMemProxy_Orvel::setNamedAddress(name); } \
    bool Control::isUndoEnable() const { return TMemProxy_Orvel::isUndoEnable(); }               \
    void Control::setUndoEnable(bool on) { TMemProxy_Orvel::setUndoEnable(on); }                 \
    int Control::numDefaultKind() const { return TMemProxy_Orvel::numDefaultKind(); }            \
    void Control::setNumDefaultKind(int kind) { TMemProxy_Orvel::setNumDefaultKind(kind); }

// Keeps `silent` raised while a control applies a value that came from the memory. For
// operation 0 (memory changed) and 3 (copy) the counter is raised, so nothing is written back;
// for a reset (1, 4) or a paste (2) it stays as it is, so the control's ordinary write-back path
// stores the applied value as an undoable edit.
//
// With `owner` (the control the counter belongs to), the counter is lowered only while the owner
// still exists: a receiver of the signals the applied value raises may delete the control.
class ORVELKIT_EXPORT TMemSilentHelper
{
public:
    TMemSilentHelper(quint8& silent, int operation, const QObject* owner = nullptr);
    ~TMemSilentHelper();
    TMemSilentHelper(const TMemSilentHelper&) = delete;
    TMemSilentHelper& operator=(const TMemSilentHelper&) = delete;
    static bool raisesFor(int operation) { return operation == 0 || operation == 3; }

private:
    quint8& m_silent;
    bool m_raised;
    bool m_owned;
    QPointer<const QObject> m_owner;
};

// Asks `api` to call proxy->process(nullptr, 0, 0) again on the GUI thread. Safe from any thread;
// does nothing when either pointer is null.
ORVELKIT_EXPORT void MAPI_postObserverEvent(IMemAPI* api, TMemProxyBasic* proxy);

// Atomic add that returns the previous value.
inline long InterlockedExchangeAdd(std::atomic<long>* addend, long value)
{
    return addend->fetch_add(value, std::memory_order_acq_rel);
}

// An event that runs callback(target) on the thread of the object it is posted to, normally
// CAppServer::MS(). The target is guarded: when it is destroyed before delivery, the callback is
// not run.
class ORVELKIT_EXPORT TMarshallEvent_Orvel : public QEvent
{
public:
    using Callback = void (*)(QObject* target);
    TMarshallEvent_Orvel(QObject* target, Callback callback);
    ~TMarshallEvent_Orvel() override;
    static QEvent::Type eventType();
    // Runs the callback when the target still exists. Returns whether it ran.
    bool deliver();
    QObject* target() const { return m_target.data(); }

private:
    QPointer<QObject> m_target;
    Callback m_callback;
};

// Returns the proxy part of a bound control (its cast by the name "TMemProxy"), or null.
ORVELKIT_EXPORT TMemProxy_Orvel* memProxyOf(QObject* object);
// Attaches every bound control at or below `root` to `memory` (null detaches them).
// Returns the number of proxies found.
ORVELKIT_EXPORT int bindMemAPI(QObject* root, IMemAPI* memory);
