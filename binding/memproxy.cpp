#include "memproxy.h"

#include "records.h"
#include "utilities.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QWidget>

IEditorFactory::~IEditorFactory() = default;
IMemAPI::~IMemAPI() = default;

bool IMemAPI::parameterAvailable(qint16, qint16, qint16) const
{
    return true;
}

// ---------------------------------------------------------------------------------------------
// TMemProxyBasic

TMemProxyBasic::TMemProxyBasic() = default;

TMemProxyBasic::~TMemProxyBasic()
{
    detachMemAPI();
}

bool TMemProxyBasic::autoUndoDisabled() const
{
    return false;
}

TMemProxyBasic* TMemProxyBasic::realMemoryProxy()
{
    return this;
}

void TMemProxyBasic::connectMemAPI()
{
    if (!memAPIReady())
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    --silent;
}

void TMemProxyBasic::disconnectMemAPI()
{
    if (addressValid && api)
        api->disconnectProxy(this, packedAddress());
    addressValid = 0;
}

void TMemProxyBasic::copyParameters(QDataStream& stream)
{
    process(reinterpret_cast<const Q_UINT8*>(&stream), 3, 0);
}

void TMemProxyBasic::pasteParameters(QDataStream& stream)
{
    process(reinterpret_cast<const Q_UINT8*>(&stream), 2, 0);
}

void TMemProxyBasic::reset2defaults()
{
    process(nullptr, 1, 0);
}

void TMemProxyBasic::reset2AltDefaults()
{
    process(nullptr, 4, 0);
}

bool TMemProxyBasic::getInformation(double& a, double& b, double& c, bool& flag)
{
    if (!memAPIReady()) {
        flag = false;
        return flag;
    }
    const int min = api->minimum(addrHigh, addrMid, addrLow, 0);
    const int max = api->maximum(addrHigh, addrMid, addrLow, 0);
    a = min;
    b = min; // list position 0 stands for the minimum
    c = max;
    return flag;
}

bool TMemProxyBasic::setInformation(double, double, double, bool)
{
    return false;
}

void TMemProxyBasic::applyConnection(bool on)
{
    if (on)
        connectMemAPI();
    else
        disconnectMemAPI();
}

bool TMemProxyBasic::disableAutoHide() const
{
    return false;
}

bool TMemProxyBasic::memAPIReady() const
{
    return api && addressValid && api->memoryReady();
}

void TMemProxyBasic::setWidgetShowState(QWidget* widget)
{
    if (!widget || !memAPIReady())
        return;
    const bool available = api->parameterAvailable(addrHigh, addrMid, addrLow);
    if (!available && !disableAutoHide()) {
        if (!widget->isHidden()) {
            widget->hide();
            m_hiddenByMemory = true;
        }
    } else if (m_hiddenByMemory) {
        m_hiddenByMemory = false;
        widget->show();
    }
}

TUndoContext TMemProxyBasic::undoContext(int) const
{
    TUndoContext context;
    context.proxy = this;
    context.undoable = isUndoEnable() && !autoUndoDisabled();
    return context;
}

void TMemProxyBasic::setMemAPI(IMemAPI* memory)
{
    if (memory == api) {
        // Re-attaching to the same memory re-resolves and reconnects (the map may have grown).
        if (!api)
            return;
        disconnectMemAPI();
        if (resolveNamedAddress(namedAddress()))
            connectMemAPI();
        return;
    }
    if (api) {
        disconnectMemAPI();
        detachMemAPI();
    }
    if (!memory)
        return;
    api = memory;
    api->proxyAttached(this, true);
    if (resolveNamedAddress(namedAddress()))
        connectMemAPI();
}

void TMemProxyBasic::detachMemAPI()
{
    IMemAPI* memory = api;
    if (!memory)
        return;
    // disconnectProxy waits until no other thread runs process() of this proxy; after it, and
    // with `api` cleared, nothing reaches the proxy any more.
    memory->disconnectProxy(this, packedAddress());
    memory->proxyAttached(this, false);
    api = nullptr;
    addressValid = 0;
}

bool TMemProxyBasic::resolveNamedAddress(const QString& name)
{
    addressValid = 0;
    if (!api || name.trimmed().isEmpty())
        return false;
    TParamAddress address;
    if (!api->resolveAddress(name, address))
        return false;
    addrHigh = address.high;
    addrMid = address.mid;
    addrLow = address.low;
    addrLowOffset = address.lowOffset;
    addressValid = 1;
    return true;
}

bool TMemProxyBasic::deferToGuiThread()
{
    if (NS_Utilities::mainThreadRunning())
        return false;
    MAPI_postObserverEvent(api, this);
    return true;
}

int TMemProxyBasic::valueForOperation(const Q_UINT8* data, int operation, int current,
                                      bool withAltDefault)
{
    switch (operation) {
    case 1:
        return api->defaultValue(addrHigh, addrMid, addrLow, 0, nullptr);
    case 2: {
        if (!data)
            return current;
        TParamInfoReader_Orvel record(data);
        return api->acceptsRecord(addrHigh, addrMid, record.lowAddress(), 0) ? record.value() : current;
    }
    case 3:
        TParamInfoWriter_Orvel(this, current, data, -1);
        return current;
    case 4: {
        if (!withAltDefault)
            return current;
        int none = 0;
        const int alt = api->defaultValue(addrHigh, addrMid, addrLow, 1, &none);
        return none ? api->defaultValue(addrHigh, addrMid, addrLow, 0, nullptr) : alt;
    }
    default:
        return current;
    }
}

int TMemProxyBasic::writeUserEdit(int value)
{
    const TUndoContext context = undoContext(0);
    return api->setValue(addrHigh, addrMid, addrLow, value, context, 1);
}

// ---------------------------------------------------------------------------------------------
// TMemProxy_Orvel

TMemProxy_Orvel::TMemProxy_Orvel() = default;
TMemProxy_Orvel::~TMemProxy_Orvel() = default;

QString TMemProxy_Orvel::namedAddress() const
{
    return m_namedAddress;
}

void TMemProxy_Orvel::setNamedAddress(const QString& name)
{
    if (name == m_namedAddress && (addressValid || !api))
        return;
    if (api)
        disconnectMemAPI(); // through the virtual table: the control's own disconnect
    m_namedAddress = name;
    if (api && resolveNamedAddress(name))
        connectMemAPI();
}

bool TMemProxy_Orvel::isUndoEnable() const
{
    return m_undoEnable;
}

void TMemProxy_Orvel::setUndoEnable(bool on)
{
    m_undoEnable = on;
}

int TMemProxy_Orvel::numDefaultKind() const
{
    return m_numDefaultKind;
}

void TMemProxy_Orvel::setNumDefaultKind(int kind)
{
    m_numDefaultKind = kind;
}

bool TMemProxy_Orvel::disabledUI() const
{
    return m_disabledUI;
}

void TMemProxy_Orvel::setDisabledUI(bool on)
{
    m_disabledUI = on;
}

// ---------------------------------------------------------------------------------------------

TMemSilentHelper::TMemSilentHelper(quint8& silentCounter, int operation, const QObject* owner)
    : m_silent(silentCounter), m_raised(raisesFor(operation)), m_owned(owner != nullptr), m_owner(owner)
{
    if (m_raised)
        ++m_silent;
}

TMemSilentHelper::~TMemSilentHelper()
{
    // A deleted owner took the counter with it.
    if (m_raised && (!m_owned || m_owner))
        --m_silent;
}

void MAPI_postObserverEvent(IMemAPI* api, TMemProxyBasic* proxy)
{
    if (api && proxy)
        api->postObserverEvent(proxy);
}

// ---------------------------------------------------------------------------------------------

TMarshallEvent_Orvel::TMarshallEvent_Orvel(QObject* target, Callback callback)
    : QEvent(eventType()), m_target(target), m_callback(callback)
{
}

TMarshallEvent_Orvel::~TMarshallEvent_Orvel() = default;

QEvent::Type TMarshallEvent_Orvel::eventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

bool TMarshallEvent_Orvel::deliver()
{
    QObject* target = m_target.data();
    if (!target || !m_callback)
        return false;
    m_callback(target);
    return true;
}

// ---------------------------------------------------------------------------------------------

TMemProxy_Orvel* memProxyOf(QObject* object)
{
    return object ? static_cast<TMemProxy_Orvel*>(object->qt_metacast("TMemProxy")) : nullptr;
}

int bindMemAPI(QObject* root, IMemAPI* memory)
{
    if (!root)
        return 0;
    int count = 0;
    if (TMemProxy_Orvel* proxy = memProxyOf(root)) {
        proxy->setMemAPI(memory);
        ++count;
    }
    const QObjectList children = root->children();
    for (QObject* child : children)
        count += bindMemAPI(child, memory);
    return count;
}
