#include "recordingmemory.h"

#include "binding/memproxy.h"
#include "binding/records.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMutexLocker>

#include <cmath>

namespace {

const QEvent::Type ObserverEventType = QEvent::Type(QEvent::registerEventType());

class ObserverEvent : public QEvent
{
public:
    explicit ObserverEvent(TMemProxyBasic* p) : QEvent(ObserverEventType), proxy(p) {}
    TMemProxyBasic* proxy;
};

QString text(int v) { return QString::number(v); }
QString text(unsigned v) { return QString::number(v); }
QString text(float v) { return QString::number(double(v), 'g', 9); }
QString text(const QString& v) { return v; }
QString text(const char* v) { return QString::fromLatin1(v); }

// "name(a,b,c)"
template <class... Args>
QString callText(const char* name, const Args&... args)
{
    const QStringList parts{text(args)...};
    return QString::fromLatin1(name) + QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

} // namespace

RecordingMemory::RecordingMemory(QObject* parent) : QObject(parent) {}

RecordingMemory::~RecordingMemory()
{
    // Leave no proxy pointing at a destroyed memory.
    const QList<TMemProxyBasic*> attached = m_attached.values();
    for (TMemProxyBasic* p : attached) {
        p->api = nullptr;
        p->addressValid = 0;
    }
}

quint64 RecordingMemory::key(qint16 high, qint16 mid, qint16 low)
{
    return (quint64(quint16(high)) << 32) | (quint64(quint16(mid)) << 16) | quint64(quint16(low));
}

void RecordingMemory::setParameter(qint16 high, qint16 mid, qint16 low, const Param& p)
{
    QMutexLocker locker(&m_mutex);
    m_params.insert(key(high, mid, low), p);
}

RecordingMemory::Param RecordingMemory::parameter(qint16 high, qint16 mid, qint16 low) const
{
    QMutexLocker locker(&m_mutex);
    return m_params.value(key(high, mid, low));
}

void RecordingMemory::addName(const QString& name, const TParamAddress& address)
{
    QMutexLocker locker(&m_mutex);
    m_names.insert(name, address);
}

void RecordingMemory::setStringTable(int tableId, const QStringList& strings)
{
    QMutexLocker locker(&m_mutex);
    m_stringTables.insert(tableId, strings);
}

void RecordingMemory::setPositionCurve(std::function<int(int, int)> toPosition,
                                       std::function<int(int, int)> toValue)
{
    m_toPosition = std::move(toPosition);
    m_toValue = std::move(toValue);
}

void RecordingMemory::nameProxy(const TMemProxyBasic* proxy, const QString& name)
{
    QMutexLocker locker(&m_mutex);
    m_proxyNames.insert(proxy, name);
}

QStringList RecordingMemory::calls() const
{
    QMutexLocker locker(&m_mutex);
    return m_calls;
}

QStringList RecordingMemory::callsNamed(const QString& function) const
{
    QMutexLocker locker(&m_mutex);
    QStringList out;
    const QString prefix = function + QLatin1Char('(');
    for (const QString& c : m_calls)
        if (c.startsWith(prefix))
            out << c;
    return out;
}

void RecordingMemory::clearCalls()
{
    QMutexLocker locker(&m_mutex);
    m_calls.clear();
}

int RecordingMemory::observerEventsRequested() const
{
    QMutexLocker locker(&m_mutex);
    return m_observerRequests;
}

QList<TMemProxyBasic*> RecordingMemory::connectedProxies() const
{
    QMutexLocker locker(&m_mutex);
    return m_connected.keys();
}

void RecordingMemory::log(const QString& line)
{
    QMutexLocker locker(&m_mutex);
    m_calls << line;
}

QString RecordingMemory::proxyName(const TMemProxyBasic* proxy) const
{
    QMutexLocker locker(&m_mutex);
    return m_proxyNames.value(proxy, QStringLiteral("proxy"));
}

void RecordingMemory::notify(quint64 paramKey, Q_UINT32 extra)
{
    QList<TMemProxyBasic*> targets;
    {
        QMutexLocker locker(&m_mutex);
        for (auto it = m_connected.cbegin(); it != m_connected.cend(); ++it)
            if (it.value() == paramKey)
                targets << it.key();
    }
    for (TMemProxyBasic* p : targets) {
        bool stillConnected;
        {
            QMutexLocker locker(&m_mutex);
            stillConnected = m_connected.contains(p);
        }
        if (stillConnected)
            p->process(nullptr, 0, extra);
    }
}

void RecordingMemory::hostWrite(qint16 high, qint16 mid, qint16 low, int value, Q_UINT32 extra)
{
    const quint64 k = key(high, mid, low);
    {
        QMutexLocker locker(&m_mutex);
        auto it = m_params.find(k);
        if (it == m_params.end())
            return;
        it->value = qBound(it->minimum, value, it->maximum);
    }
    notify(k, extra);
}

int RecordingMemory::fillStringList(int tableId, QStringList& list)
{
    log(callText("fillStringList", tableId));
    QMutexLocker locker(&m_mutex);
    const auto it = m_stringTables.constFind(tableId);
    if (it == m_stringTables.constEnd())
        return -1;
    list = it.value();
    return 0;
}

int RecordingMemory::beginUndoStep(TMemProxyBasic* proxy)
{
    log(callText("beginUndoStep", proxyName(proxy)));
    return 0;
}

int RecordingMemory::connectProxy(TMemProxyBasic* proxy, quint32 packedAddress, int flags)
{
    log(callText("connectProxy", proxyName(proxy), packedAddress, flags));
    if (!proxy)
        return -1;
    QMutexLocker locker(&m_mutex);
    const quint64 k = key(proxy->addrHigh, proxy->addrMid, proxy->addrLow);
    if (!m_params.contains(k))
        return -1;
    m_connected.insert(proxy, k);
    return 0;
}

int RecordingMemory::disconnectProxy(TMemProxyBasic* proxy, quint32 packedAddress)
{
    log(callText("disconnectProxy", proxyName(proxy), packedAddress));
    QMutexLocker locker(&m_mutex);
    m_connected.remove(proxy);
    m_pendingObserver.remove(proxy);
    return 0;
}

int RecordingMemory::defaultValue(qint16 high, qint16 mid, qint16 low, int kind, int* none)
{
    log(callText("defaultValue", high, mid, low, kind, none ? "out" : "null"));
    const Param p = parameter(high, mid, low);
    if (kind == 1) {
        if (p.altDefault)
            return *p.altDefault;
        if (none)
            *none = 1;
    }
    return p.defaultValue;
}

int RecordingMemory::minimum(qint16 high, qint16 mid, qint16 low, int flags)
{
    log(callText("minimum", high, mid, low, flags));
    return parameter(high, mid, low).minimum;
}

int RecordingMemory::maximum(qint16 high, qint16 mid, qint16 low, int flags)
{
    log(callText("maximum", high, mid, low, flags));
    return parameter(high, mid, low).maximum;
}

int RecordingMemory::currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved)
{
    log(callText("currentValue", high, mid, low, flags, reserved));
    return parameter(high, mid, low).value;
}

int RecordingMemory::setValue(qint16 high, qint16 mid, qint16 low, int value, const TUndoContext& undo,
                              int origin)
{
    log(callText("setValue", high, mid, low, value,
                 (undo.undoable ? "undo:" : "noundo:") + proxyName(undo.proxy), origin));
    const quint64 k = key(high, mid, low);
    bool changed = false;
    {
        QMutexLocker locker(&m_mutex);
        auto it = m_params.find(k);
        if (it == m_params.end())
            return -1;
        const int v = qBound(it->minimum, value, it->maximum);
        changed = v != it->value;
        it->value = v;
    }
    if (changed && m_notifyOnWrite)
        notify(k, 0);
    return 0;
}

IEditorFactory* RecordingMemory::editorFactory()
{
    log(callText("editorFactory"));
    return m_factory;
}

int RecordingMemory::valueFromNumber(int tableId, float number, int flags)
{
    log(callText("valueFromNumber", tableId, number, flags));
    if (!std::isfinite(number))
        return 0;
    return int(std::lround(double(number)));
}

int RecordingMemory::formatValue(qint16 low, int tableId, QString& text, QPixmap* pixmap, int value,
                                 int flag, qint16 high, qint16 mid)
{
    log(callText("formatValue", low, tableId, "text", pixmap ? "pixmap" : "nopixmap", value, flag, high, mid));
    if (m_formatFails)
        return -1;
    if (pixmap && m_pixmapTables.contains(tableId)) {
        *pixmap = m_pixmapTables.value(tableId);
        return 0;
    }
    {
        QMutexLocker locker(&m_mutex);
        const auto it = m_stringTables.constFind(tableId);
        if (it != m_stringTables.constEnd() && value >= 0 && value < it->size()) {
            text = it->at(value);
            return 0;
        }
    }
    text = m_formatter ? m_formatter(tableId, value, flag) : QStringLiteral("%1:%2").arg(tableId).arg(value);
    return 0;
}

int RecordingMemory::stepScale(int which)
{
    log(callText("stepScale", which));
    return m_stepScale;
}

int RecordingMemory::valueForPosition(int& inOut, qint16 high, qint16 mid, int position)
{
    log(callText("valueForPosition", inOut, high, mid, position));
    if (!m_toValue)
        return -1;
    inOut = m_toValue(inOut, position);
    return 0;
}

int RecordingMemory::positionForValue(int& inOut, qint16 high, qint16 mid, int value)
{
    log(callText("positionForValue", inOut, high, mid, value));
    if (!m_toPosition)
        return -1;
    inOut = m_toPosition(inOut, value);
    return 0;
}

int RecordingMemory::stateFlag(bool& out, int which)
{
    log(callText("stateFlag", which));
    out = m_stateFlag;
    return 0;
}

bool RecordingMemory::acceptsRecord(qint16 high, qint16 mid, qint16 recordLow, int flags)
{
    log(callText("acceptsRecord", high, mid, recordLow, flags));
    if (recordLow == TParamInfoReader_Orvel::InvalidLow)
        return false;
    if (!m_acceptedLows.isEmpty())
        return m_acceptedLows.contains(recordLow);
    QMutexLocker locker(&m_mutex);
    return m_params.contains(key(high, mid, recordLow));
}

bool RecordingMemory::resolveAddress(const QString& namedAddress, TParamAddress& out)
{
    log(callText("resolveAddress", namedAddress));
    QMutexLocker locker(&m_mutex);
    const auto it = m_names.constFind(namedAddress);
    if (it != m_names.constEnd()) {
        out = it.value();
        return true;
    }
    const QStringList parts = namedAddress.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return false;
    bool ok[3];
    const TParamAddress a{qint16(parts[0].toShort(&ok[0])), qint16(parts[1].toShort(&ok[1])),
                          qint16(parts[2].toShort(&ok[2])), 0};
    if (!ok[0] || !ok[1] || !ok[2] || !m_params.contains(key(a.high, a.mid, a.low)))
        return false;
    out = a;
    return true;
}

void RecordingMemory::postObserverEvent(TMemProxyBasic* proxy)
{
    log(callText("postObserverEvent", proxyName(proxy)));
    QMutexLocker locker(&m_mutex);
    ++m_observerRequests;
    if (!m_deliverObserverEvents || m_pendingObserver.contains(proxy))
        return;
    m_pendingObserver.insert(proxy);
    QCoreApplication::postEvent(this, new ObserverEvent(proxy));
}

void RecordingMemory::customEvent(QEvent* event)
{
    if (event->type() != ObserverEventType)
        return;
    TMemProxyBasic* proxy = static_cast<ObserverEvent*>(event)->proxy;
    {
        QMutexLocker locker(&m_mutex);
        // A proxy that disconnected or went away since the request gets nothing.
        if (!m_pendingObserver.remove(proxy) || !m_attached.contains(proxy))
            return;
    }
    proxy->process(nullptr, 0, 0);
}

void RecordingMemory::proxyAttached(TMemProxyBasic* proxy, bool attached)
{
    log(callText("proxyAttached", proxyName(proxy), attached ? 1 : 0));
    QMutexLocker locker(&m_mutex);
    if (attached) {
        m_attached.insert(proxy);
    } else {
        m_attached.remove(proxy);
        m_connected.remove(proxy);
        m_pendingObserver.remove(proxy);
    }
}

bool RecordingMemory::parameterAvailable(qint16 high, qint16 mid, qint16 low) const
{
    QMutexLocker locker(&m_mutex);
    return m_params.value(key(high, mid, low)).available;
}
