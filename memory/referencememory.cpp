#include "referencememory.h"

#include "curves.h"
#include "displaytables.h"
#include "namedaddress.h"
#include "parametermap.h"
#include "undo.h"

#include "../binding/memproxy.h"
#include "../binding/numberformat.h"
#include "../binding/records.h"
#include "../binding/refreshcoalescing.h"
#include "../binding/utilities.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QReadWriteLock>
#include <QSet>
#include <QThread>
#include <QUndoStack>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace NS_OrvelMemory {

struct TRegistration;
using TRegistrationList = std::vector<std::shared_ptr<TRegistration>>;

// One parameter. The definition is immutable; the value is an atomic (lock-free reads) that is
// written only under `lock`, together with the registration snapshot and the counters.
struct TParam
{
    explicit TParam(const TParameterSpec_Orvel& from)
        : definition(from),
          packed(packAddress(from.high, from.mid, from.low)),
          stepText(QCoreApplication::translate("TReferenceMemory", "Change %1")
                       .arg(!from.label.isEmpty()  ? from.label
                            : !from.name.isEmpty() ? from.name
                                                   : addressText(from.high, from.mid, from.low))),
          value(from.value),
          available(from.available)
    {
    }

    const TParameterSpec_Orvel definition;
    const quint32 packed;
    const QString stepText; // the undo step text
    std::mutex lock;
    std::atomic<int> value;
    std::atomic<bool> available;
    std::shared_ptr<const TRegistrationList> registrations; // guarded by lock; null: none
    quint64 writes = 0;        // guarded by lock
    quint64 notifications = 0; // guarded by lock
};

// A proxy's registration with one parameter. `alive` and `inFlight` implement the disconnect
// guarantee (see deliver() and endRegistration()); `posted` coalesces observer events.
struct TRegistration
{
    TRegistration(TMemProxyBasic* p, TParam* target, const void* memory)
        : proxy(p), param(target), owner(memory)
    {
    }
    TMemProxyBasic* const proxy;
    TParam* const param;
    const void* const owner; // the memory's private part, to recognise its own registrations
    std::atomic<bool> alive{true};
    std::atomic<int> inFlight{0};
    std::atomic<bool> posted{false};
};

namespace {

// ---------------------------------------------------------------------------------------------
// TParamTable: lookup by packed address with lock-free reads.
//
// Parameters are never removed, so the table is insert-only open addressing over atomic slots:
// a reader loads the current slot array and probes it without any lock or shared write (no
// cache line is written by readers, so writer threads do not contend on the lookup). Inserts
// happen under the memory's definition mutex; when the table fills up to half, a doubled array
// is built and published. Superseded arrays are kept until the memory goes away, since a reader
// may still probe them; with doubling they add up to less than the live array.
class TParamTable
{
public:
    TParam* find(quint32 packed) const noexcept
    {
        const Cells* cells = m_current.load(std::memory_order_acquire);
        if (!cells)
            return nullptr;
        for (size_t i = hash(packed) & cells->mask;; i = (i + 1) & cells->mask) {
            TParam* param = cells->cells[i].load(std::memory_order_acquire);
            if (!param || param->packed == packed)
                return param;
        }
    }

    // Caller holds the definition mutex.
    void insert(TParam* param)
    {
        Cells* cells = m_current.load(std::memory_order_relaxed);
        if (!cells || (m_count + 1) * 2 > cells->mask + 1)
            cells = grow(cells ? (cells->mask + 1) * 2 : 64);
        place(*cells, param);
        ++m_count;
    }

private:
    struct Cells
    {
        explicit Cells(size_t capacity)
            : mask(capacity - 1), cells(new std::atomic<TParam*>[capacity])
        {
            for (size_t i = 0; i < capacity; ++i)
                cells[i].store(nullptr, std::memory_order_relaxed);
        }
        const size_t mask;
        std::unique_ptr<std::atomic<TParam*>[]> cells;
    };

    static size_t hash(quint32 key)
    {
        key ^= key >> 16;
        key *= 0x7feb352dU;
        key ^= key >> 15;
        key *= 0x846ca68bU;
        key ^= key >> 16;
        return key;
    }

    static void place(Cells& cells, TParam* param)
    {
        size_t i = hash(param->packed) & cells.mask;
        while (cells.cells[i].load(std::memory_order_relaxed))
            i = (i + 1) & cells.mask;
        cells.cells[i].store(param, std::memory_order_release);
    }

    Cells* grow(size_t capacity)
    {
        auto next = std::make_unique<Cells>(capacity);
        if (const Cells* old = m_current.load(std::memory_order_relaxed)) {
            for (size_t i = 0; i <= old->mask; ++i) {
                if (TParam* param = old->cells[i].load(std::memory_order_relaxed))
                    place(*next, param);
            }
        }
        Cells* raw = next.get();
        m_arrays.push_back(std::move(next));
        m_current.store(raw, std::memory_order_release);
        return raw;
    }

    std::atomic<Cells*> m_current{nullptr};
    std::vector<std::unique_ptr<Cells>> m_arrays; // live and superseded arrays
    size_t m_count = 0;
};

// ---------------------------------------------------------------------------------------------
// Deliveries and the disconnect guarantee.
//
// A delivering thread increments the registration's in-flight count and only then checks
// `alive`; a disconnecting thread clears `alive` and only then reads the count (all seq_cst).
// So either the deliverer sees the registration dead and does not call process(), or the
// disconnecter sees it in flight and waits. The wait tolerates the deliveries the calling thread
// is itself inside (kept on a thread-local stack), so a proxy may disconnect itself from its own
// process(). The stack also lets postObserverEvent() find the registration of the proxy being
// notified without a lookup.
thread_local std::vector<const std::shared_ptr<TRegistration>*> t_deliveries;

// `posted`: a posted refresh on the GUI thread, reported to the window's refresh coalescing. The
// proxy is looked at while still in flight (a proxy leaving from another thread waits) and only
// if it did not leave from inside its own process().
bool deliver(const std::shared_ptr<TRegistration>& registration, Q_UINT32 extra, bool posted = false)
{
    TRegistration& r = *registration;
    r.inFlight.fetch_add(1);
    bool delivered = false;
    if (r.alive.load()) {
        t_deliveries.push_back(&registration);
        r.proxy->process(nullptr, 0, extra);
        t_deliveries.pop_back();
        delivered = true;
        if (posted && TRefreshCoalescer_Orvel::threshold() > 0 && r.alive.load())
            TRefreshCoalescer_Orvel::noteRefresh(dynamic_cast<QWidget*>(r.proxy));
    }
    r.inFlight.fetch_sub(1);
    return delivered;
}

void endRegistration(TRegistration& r)
{
    r.alive.store(false);
    int own = 0;
    for (const std::shared_ptr<TRegistration>* entry : t_deliveries) {
        if (entry->get() == &r)
            ++own;
    }
    while (r.inFlight.load() > own)
        std::this_thread::yield();
}

// Re-delivers process() on the GUI thread; holds the registration, never a bare proxy pointer.
class ObserverEvent : public QEvent
{
public:
    explicit ObserverEvent(std::shared_ptr<TRegistration> r)
        : QEvent(eventType()), registration(std::move(r))
    {
    }
    static QEvent::Type eventType()
    {
        static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    const std::shared_ptr<TRegistration> registration;
};

// Moves undo records of worker-thread writes onto the stack.
class UndoDrainEvent : public QEvent
{
public:
    UndoDrainEvent() : QEvent(eventType()) {}
    static QEvent::Type eventType()
    {
        static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
};

qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

quint32 familyKey(qint16 high, qint16 mid)
{
    return packAddress(high, mid, 0);
}

QString describeDefinition(const TParameterSpec_Orvel& definition)
{
    QString text = QStringLiteral("parameter %1")
                       .arg(addressText(definition.high, definition.mid, definition.low));
    if (!definition.name.isEmpty())
        text += QStringLiteral(" (\"%1\")").arg(definition.name);
    return text;
}

QString curveName(TParameterCurve_Orvel curve)
{
    switch (curve) {
    case TParameterCurve_Orvel::Linear: return QStringLiteral("linear");
    case TParameterCurve_Orvel::Decibel: return QStringLiteral("db");
    default: return QStringLiteral("none");
    }
}

} // namespace

} // namespace NS_OrvelMemory

using namespace NS_OrvelMemory;

// =============================================================================================

class TReferenceMemory_Orvel::Private : public IUndoTarget
{
public:
    struct Family
    {
        TParameterCurve_Orvel curve = TParameterCurve_Orvel::None;
        int minimum = 0;
        int maximum = 0;
    };

    // Definitions being checked together (one map, or one addParameter call).
    struct Pending
    {
        QSet<quint32> addresses;
        QHash<QString, TParamAddress> names;
        QHash<quint32, Family> families;
    };

    explicit Private(TReferenceMemory_Orvel* owner) : q(owner) {}

    TParam* find(qint16 high, qint16 mid, qint16 low) const
    {
        if (!addressInRange(high, mid, low))
            return nullptr; // outside the ranges packed addresses are not unique
        return table.find(packAddress(high, mid, low));
    }

    bool onOwnerThread() const { return QThread::currentThread() == q->thread(); }

    // The position curve of the family (high, mid); false when the family has none.
    bool findFamily(qint16 high, qint16 mid, Family& out) const
    {
        if (!addressInRange(high, mid, 0))
            return false;
        QReadLocker lock(&lookupLock);
        const auto it = families.constFind(familyKey(high, mid));
        if (it == families.constEnd())
            return false;
        out = it.value();
        return true;
    }

    // ---- definitions (caller holds defineMutex) ----

    QString checkAgainstMemory(const TParameterSpec_Orvel& definition, Pending& pending,
                               QString* key) const;
    void define(const TParameterSpec_Orvel& definition);

    // ---- values and notification ----

    bool write(TParam* param, int value, const TUndoContext* undo);
    void notify(TParam* param, Q_UINT32 extra);
    void attachRegistration(const std::shared_ptr<TRegistration>& registration);
    void detachRegistration(const std::shared_ptr<TRegistration>& registration);
    std::shared_ptr<TRegistration> takeRegistration(TMemProxyBasic* proxy);

    // ---- undo ----

    void queueUndo(TParam* param, int oldValue, int newValue, const TMemProxyBasic* proxy);
    void scheduleUndoDrain();
    void drainUndo();
    void applyUndoValue(TParam* param, int value) override
    {
        ++applyingUndo;
        write(param, value, nullptr);
        --applyingUndo;
    }
    int undoMergeIntervalMs() const override
    {
        return mergeIntervalMs.load(std::memory_order_relaxed);
    }

    TReferenceMemory_Orvel* const q;

    // Definitions. `defineMutex` serialises everything that adds; `lookupLock` guards the
    // read-mostly name and family tables against those additions.
    mutable std::mutex defineMutex;
    std::vector<std::unique_ptr<TParam>> params; // definition order; guarded by defineMutex
    TParamTable table;
    mutable QReadWriteLock lookupLock;
    QHash<QString, TParamAddress> names;
    QHash<quint32, Family> families;

    mutable QReadWriteLock tablesLock;
    QHash<int, QStringList> stringTables;
    QHash<int, QList<QPixmap>> pixmapTables;
    struct FormatTable
    {
        QString format;
        int stepScale;
    };
    QHash<int, FormatTable> formatTables;
    // The format table `tableId` and its effective scale, if there is one. Under tablesLock.
    const FormatTable* formatTable(int tableId) const
    {
        const auto it = formatTables.constFind(tableId);
        return it == formatTables.constEnd() ? nullptr : &it.value();
    }
    int scaleOf(const FormatTable& table) const
    {
        return table.stepScale > 0 ? table.stepScale : globalStepScale.load();
    }

    // Proxies. Lock order: proxyMutex before a parameter's lock; no lock is held while a proxy
    // is called or while a disconnect waits.
    mutable std::mutex proxyMutex;
    QHash<TMemProxyBasic*, std::shared_ptr<TRegistration>> registrations;
    QSet<TMemProxyBasic*> attached;

    // Undo. Records are queued under the writing parameter's lock (then undoMutex), so each
    // parameter's records are in write order.
    std::unique_ptr<QUndoStack> undoStack;
    std::unique_ptr<TPressTracker> pressTracker;
    std::mutex undoMutex;
    std::vector<TUndoRecord> undoQueue;             // guarded by undoMutex
    QSet<const TMemProxyBasic*> stepBreaks;         // guarded by undoMutex
    std::atomic<bool> drainPosted{false};
    bool draining = false; // GUI thread only
    int applyingUndo = 0;  // GUI thread only: inside QUndoStack::undo()/redo()
    int macroDepth = 0;    // GUI thread only
    std::atomic<int> mergeIntervalMs{500};

    std::atomic<int> globalStepScale{10};
    std::atomic<bool> flag{false};
    std::atomic<bool> ready{true};
    std::atomic<IEditorFactory*> factory{nullptr};

    std::atomic<quint64> eventsPosted{0};
    std::atomic<quint64> deliveries{0};
    std::atomic<quint64> undoRecords{0};
};

QString TReferenceMemory_Orvel::Private::checkAgainstMemory(const TParameterSpec_Orvel& definition,
                                                           Pending& pending, QString* key) const
{
    const auto fail = [&](const char* k, const QString& message) {
        if (key)
            *key = QLatin1String(k);
        return message;
    };
    const quint32 packed = packAddress(definition.high, definition.mid, definition.low);
    if (table.find(packed) || pending.addresses.contains(packed))
        return fail("address",
                    QStringLiteral("address %1 is already defined")
                        .arg(addressText(definition.high, definition.mid, definition.low)));
    {
        QReadLocker lock(&lookupLock);
        if (!definition.name.isEmpty() &&
            (names.contains(definition.name) || pending.names.contains(definition.name)))
            return fail("name",
                        QStringLiteral("name \"%1\" is already defined").arg(definition.name));
        const quint32 fkey = familyKey(definition.high, definition.mid);
        const auto known = families.constFind(fkey);
        const auto planned = pending.families.constFind(fkey);
        const bool exists = known != families.constEnd() || planned != pending.families.constEnd();
        if (exists) {
            const Family family = known != families.constEnd() ? known.value() : planned.value();
            const QString familyText =
                QStringLiteral("%1:%2").arg(definition.high).arg(definition.mid);
            if (family.curve != definition.curve)
                return fail("curve", QStringLiteral("curve \"%1\" differs from the curve \"%2\" of "
                                                    "the family %3")
                                         .arg(curveName(definition.curve), curveName(family.curve),
                                              familyText));
            if (definition.curve != TParameterCurve_Orvel::None
                && (family.minimum != definition.minimum || family.maximum != definition.maximum))
                return fail("min", QStringLiteral("range %1..%2 differs from the range %3..%4 of "
                                                  "the family %5 (a family with a curve has one "
                                                  "range)")
                                       .arg(definition.minimum)
                                       .arg(definition.maximum)
                                       .arg(family.minimum)
                                       .arg(family.maximum)
                                       .arg(familyText));
        } else {
            pending.families.insert(
                fkey, Family{definition.curve, definition.minimum, definition.maximum});
        }
    }
    pending.addresses.insert(packed);
    if (!definition.name.isEmpty())
        pending.names.insert(definition.name,
                             TParamAddress{definition.high, definition.mid, definition.low, 0});
    return QString();
}

void TReferenceMemory_Orvel::Private::define(const TParameterSpec_Orvel& definition)
{
    params.push_back(std::make_unique<TParam>(definition));
    table.insert(params.back().get()); // findable before its name resolves
    QWriteLocker lock(&lookupLock);
    if (!definition.name.isEmpty())
        names.insert(definition.name,
                     TParamAddress{definition.high, definition.mid, definition.low, 0});
    const quint32 fkey = familyKey(definition.high, definition.mid);
    if (!families.contains(fkey))
        families.insert(fkey, Family{definition.curve, definition.minimum, definition.maximum});
}

bool TReferenceMemory_Orvel::Private::write(TParam* param, int value, const TUndoContext* undo)
{
    value = std::clamp(value, param->definition.minimum, param->definition.maximum);
    std::shared_ptr<const TRegistrationList> targets;
    bool recorded = false;
    {
        std::lock_guard<std::mutex> lock(param->lock);
        const int old = param->value.load(std::memory_order_relaxed);
        if (old == value)
            return true; // unchanged: no notice, no undo step
        param->value.store(value, std::memory_order_release);
        ++param->writes;
        targets = param->registrations;
        if (targets)
            param->notifications += targets->size();
        if (undo) {
            queueUndo(param, old, value, undo->proxy);
            recorded = true;
        }
    }
    if (targets) {
        for (const std::shared_ptr<TRegistration>& registration : *targets)
            deliver(registration, 0);
    }
    if (recorded)
        scheduleUndoDrain();
    return true;
}

void TReferenceMemory_Orvel::Private::notify(TParam* param, Q_UINT32 extra)
{
    std::shared_ptr<const TRegistrationList> targets;
    {
        std::lock_guard<std::mutex> lock(param->lock);
        targets = param->registrations;
    }
    if (targets) {
        for (const std::shared_ptr<TRegistration>& registration : *targets)
            deliver(registration, extra);
    }
}

// The registration lists are immutable snapshots: a writer copies the pointer under the
// parameter's lock and walks the list without it, while connect and disconnect swap in a new
// list.
void TReferenceMemory_Orvel::Private::attachRegistration(
    const std::shared_ptr<TRegistration>& registration)
{
    TParam* param = registration->param;
    std::lock_guard<std::mutex> lock(param->lock);
    auto list = std::make_shared<TRegistrationList>();
    if (param->registrations)
        *list = *param->registrations;
    list->push_back(registration);
    param->registrations = std::move(list);
}

void TReferenceMemory_Orvel::Private::detachRegistration(
    const std::shared_ptr<TRegistration>& registration)
{
    TParam* param = registration->param;
    std::lock_guard<std::mutex> lock(param->lock);
    if (!param->registrations)
        return;
    auto list = std::make_shared<TRegistrationList>();
    list->reserve(param->registrations->size());
    for (const std::shared_ptr<TRegistration>& r : *param->registrations) {
        if (r != registration)
            list->push_back(r);
    }
    if (list->empty())
        param->registrations.reset();
    else
        param->registrations = std::move(list);
}

// Removes the proxy's registration from the tables (not yet ended). Caller holds proxyMutex.
std::shared_ptr<TRegistration>
TReferenceMemory_Orvel::Private::takeRegistration(TMemProxyBasic* proxy)
{
    const auto it = registrations.find(proxy);
    if (it == registrations.end())
        return nullptr;
    std::shared_ptr<TRegistration> registration = it.value();
    registrations.erase(it);
    detachRegistration(registration);
    return registration;
}

void TReferenceMemory_Orvel::Private::queueUndo(TParam* param, int oldValue, int newValue,
                                               const TMemProxyBasic* proxy)
{
    TUndoRecord record;
    record.param = param;
    record.oldValue = oldValue;
    record.newValue = newValue;
    record.timeNs = monotonicNs();
    record.press = pressTracker ? pressTracker->currentPress() : 0;
    std::lock_guard<std::mutex> lock(undoMutex);
    record.startsNewStep = !stepBreaks.isEmpty() && stepBreaks.remove(proxy);
    undoQueue.push_back(record);
    undoRecords.fetch_add(1, std::memory_order_relaxed);
}

void TReferenceMemory_Orvel::Private::scheduleUndoDrain()
{
    // A GUI-thread edit goes onto the stack at once, unless the stack is busy undoing or redoing
    // (an edit made by a slot reacting to that): pushing then would rewrite the stack under the
    // command being run, so the records wait for the posted event like those of other threads.
    if (onOwnerThread() && applyingUndo == 0) {
        drainUndo();
        return;
    }
    if (!drainPosted.exchange(true) && QCoreApplication::instance())
        QCoreApplication::postEvent(q, new UndoDrainEvent);
}

void TReferenceMemory_Orvel::Private::drainUndo()
{
    drainPosted.store(false);
    if (draining)
        return; // the outer drain picks the new records up in order
    draining = true;
    for (;;) {
        std::vector<TUndoRecord> batch;
        {
            std::lock_guard<std::mutex> lock(undoMutex);
            batch.swap(undoQueue);
        }
        if (batch.empty())
            break;
        for (const TUndoRecord& record : batch)
            undoStack->push(new TValueChangeCommand(this, record, record.param->stepText));
    }
    draining = false;
}

// =============================================================================================

TReferenceMemory_Orvel::TReferenceMemory_Orvel(QObject* parent)
    : QObject(parent), d(std::make_unique<Private>(this))
{
    d->undoStack = std::make_unique<QUndoStack>();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        d->pressTracker = std::make_unique<TPressTracker>();
        app->installEventFilter(d->pressTracker.get());
    }
}

TReferenceMemory_Orvel::~TReferenceMemory_Orvel()
{
    d->pressTracker.reset(); // a destroyed event filter removes itself

    std::vector<std::shared_ptr<TRegistration>> ended;
    QSet<TMemProxyBasic*> proxies;
    {
        std::lock_guard<std::mutex> lock(d->proxyMutex);
        for (const auto& registration : std::as_const(d->registrations)) {
            ended.push_back(registration);
            d->detachRegistration(registration);
        }
        d->registrations.clear();
        proxies.swap(d->attached);
    }
    for (const auto& registration : ended)
        endRegistration(*registration);
    for (TMemProxyBasic* proxy : std::as_const(proxies)) {
        if (proxy->api == static_cast<IMemAPI*>(this)) {
            proxy->api = nullptr;
            proxy->addressValid = 0;
        }
    }
    QCoreApplication::removePostedEvents(this);
    d->undoStack.reset(); // its commands refer to the parameters
}

// ---- definitions ---------------------------------------------------------------------------

bool TReferenceMemory_Orvel::addParameter(const TParameterSpec_Orvel& definition, QString* error)
{
    QString message = checkParameterDefinition(definition);
    if (message.isEmpty()) {
        std::lock_guard<std::mutex> lock(d->defineMutex);
        Private::Pending pending;
        message = d->checkAgainstMemory(definition, pending, nullptr);
        if (message.isEmpty()) {
            d->define(definition);
            return true;
        }
    }
    if (error)
        *error = describeDefinition(definition) + QStringLiteral(": ") + message;
    return false;
}

bool TReferenceMemory_Orvel::loadMap(const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot open: %2").arg(fileName, file.errorString());
        return false;
    }
    return loadMapData(file.readAll(), error, fileName);
}

bool TReferenceMemory_Orvel::loadMapData(const QByteArray& json, QString* error,
                                         const QString& sourceName)
{
    TParameterMapData map;
    QStringList errors;
    const auto failed = [&]() {
        if (error)
            *error = errors.join(QLatin1Char('\n'));
        return false;
    };
    if (!parseParameterMap(json, sourceName, map, errors))
        return failed();

    std::lock_guard<std::mutex> lock(d->defineMutex);
    // Everything is checked, against the memory and within the map, before anything is applied.
    Private::Pending pending;
    for (const TMapParameter& parameter : std::as_const(map.parameters)) {
        QString key;
        const QString message = d->checkAgainstMemory(parameter.definition, pending, &key);
        if (!message.isEmpty())
            errors.append(parameterError(map, parameter, key, message));
    }
    QSet<int> tableIds;
    for (const TMapTable& table : std::as_const(map.tables)) {
        if (tableIds.contains(table.id))
            errors.append(QStringLiteral("%1:%2: table %3: table id %4 is defined twice")
                              .arg(map.source)
                              .arg(table.line)
                              .arg(table.index)
                              .arg(table.id));
        tableIds.insert(table.id);
    }
    for (const TMapName& name : std::as_const(map.names)) {
        const QString where =
            QStringLiteral("%1:%2: name \"%3\": ").arg(map.source).arg(name.line).arg(name.name);
        bool taken;
        {
            QReadLocker lookup(&d->lookupLock);
            taken = d->names.contains(name.name) || pending.names.contains(name.name);
        }
        const quint32 packed = packAddress(name.high, name.mid, name.low);
        if (taken)
            errors.append(where + QStringLiteral("name is already defined"));
        else if (!d->table.find(packed) && !pending.addresses.contains(packed))
            errors.append(where + QStringLiteral("address %1 is not a defined parameter")
                                      .arg(addressText(name.high, name.mid, name.low)));
        else
            pending.names.insert(name.name, TParamAddress{name.high, name.mid, name.low, 0});
    }
    if (!errors.isEmpty())
        return failed();

    d->ready.store(false);
    if (map.stepScale)
        d->globalStepScale.store(*map.stepScale);
    for (const TMapTable& table : std::as_const(map.tables)) {
        if (table.format.isEmpty())
            registerStringTable(table.id, table.strings);
        else
            registerFormatTable(table.id, table.format, table.stepScale);
    }
    for (const TMapParameter& parameter : std::as_const(map.parameters))
        d->define(parameter.definition);
    {
        QWriteLocker lookup(&d->lookupLock);
        for (const TMapName& name : std::as_const(map.names))
            d->names.insert(name.name, TParamAddress{name.high, name.mid, name.low, 0});
    }
    d->ready.store(true);
    return true;
}

bool TReferenceMemory_Orvel::registerName(const QString& name, qint16 high, qint16 mid, qint16 low,
                                          QString* error)
{
    const auto fail = [&](const QString& message) {
        if (error)
            *error = QStringLiteral("name \"%1\": %2").arg(name, message);
        return false;
    };
    if (!isValidSymbol(name))
        return fail(QStringLiteral("not a valid name ([A-Za-z_][A-Za-z0-9_.-]*)"));
    std::lock_guard<std::mutex> lock(d->defineMutex);
    if (!d->find(high, mid, low))
        return fail(QStringLiteral("address %1 is not a defined parameter")
                        .arg(addressText(high, mid, low)));
    QWriteLocker lookup(&d->lookupLock);
    if (d->names.contains(name))
        return fail(QStringLiteral("name is already defined"));
    d->names.insert(name, TParamAddress{high, mid, low, 0});
    return true;
}

bool TReferenceMemory_Orvel::registerStringTable(int tableId, const QStringList& strings)
{
    if (tableId < 1)
        return false;
    QWriteLocker lock(&d->tablesLock);
    d->formatTables.remove(tableId);
    d->stringTables.insert(tableId, strings);
    return true;
}

bool TReferenceMemory_Orvel::registerFormatTable(int tableId, const QString& format, int stepScale)
{
    if (tableId < 1 || format.isEmpty())
        return false;
    QWriteLocker lock(&d->tablesLock);
    d->stringTables.remove(tableId);
    d->formatTables.insert(tableId, Private::FormatTable{format, stepScale});
    return true;
}

bool TReferenceMemory_Orvel::registerPixmapTable(int tableId, const QList<QPixmap>& pixmaps)
{
    if (tableId < 1)
        return false;
    QWriteLocker lock(&d->tablesLock);
    d->pixmapTables.insert(tableId, pixmaps);
    return true;
}

void TReferenceMemory_Orvel::setGlobalStepScale(int scale)
{
    if (scale >= 1)
        d->globalStepScale.store(scale);
}

int TReferenceMemory_Orvel::globalStepScale() const
{
    return d->globalStepScale.load();
}

void TReferenceMemory_Orvel::setStateFlag(bool on)
{
    d->flag.store(on);
}

bool TReferenceMemory_Orvel::setParameterAvailable(qint16 high, qint16 mid, qint16 low,
                                                   bool available)
{
    TParam* param = d->find(high, mid, low);
    if (!param)
        return false;
    if (param->available.exchange(available) != available)
        d->notify(param, 1);
    return true;
}

void TReferenceMemory_Orvel::setEditorFactory(IEditorFactory* factory)
{
    d->factory.store(factory);
}

void TReferenceMemory_Orvel::refresh(qint16 high, qint16 mid, qint16 low)
{
    if (TParam* param = d->find(high, mid, low))
        d->notify(param, 1);
}

// ---- host access ---------------------------------------------------------------------------

int TReferenceMemory_Orvel::value(qint16 high, qint16 mid, qint16 low) const
{
    const TParam* param = d->find(high, mid, low);
    return param ? param->value.load(std::memory_order_acquire) : 0;
}

bool TReferenceMemory_Orvel::write(qint16 high, qint16 mid, qint16 low, int value)
{
    TParam* param = d->find(high, mid, low);
    return param && d->write(param, value, nullptr);
}

bool TReferenceMemory_Orvel::hasParameter(qint16 high, qint16 mid, qint16 low) const
{
    return d->find(high, mid, low) != nullptr;
}

std::optional<TParameterSpec_Orvel> TReferenceMemory_Orvel::parameter(qint16 high, qint16 mid,
                                                                     qint16 low) const
{
    const TParam* param = d->find(high, mid, low);
    if (!param)
        return std::nullopt;
    TParameterSpec_Orvel definition = param->definition;
    definition.value = param->value.load(std::memory_order_acquire);
    definition.available = param->available.load();
    return definition;
}

std::optional<TParameterSpec_Orvel>
TReferenceMemory_Orvel::parameterByName(const QString& name) const
{
    TParamAddress address;
    if (!lookupName(name, address))
        return std::nullopt;
    return parameter(address.high, address.mid, address.low);
}

bool TReferenceMemory_Orvel::lookupName(const QString& name, TParamAddress& address) const
{
    QReadLocker lock(&d->lookupLock);
    const auto it = d->names.constFind(name);
    if (it == d->names.constEnd())
        return false;
    address = it.value();
    return true;
}

QList<TParameterSpec_Orvel> TReferenceMemory_Orvel::parameters() const
{
    QList<TParameterSpec_Orvel> list;
    std::lock_guard<std::mutex> lock(d->defineMutex);
    list.reserve(qsizetype(d->params.size()));
    for (const auto& param : d->params) {
        TParameterSpec_Orvel definition = param->definition;
        definition.value = param->value.load(std::memory_order_acquire);
        definition.available = param->available.load();
        list.append(definition);
    }
    return list;
}

int TReferenceMemory_Orvel::parameterCount() const
{
    std::lock_guard<std::mutex> lock(d->defineMutex);
    return int(d->params.size());
}

int TReferenceMemory_Orvel::connectedProxyCount() const
{
    std::lock_guard<std::mutex> lock(d->proxyMutex);
    return int(d->registrations.size());
}

// ---- undo ----------------------------------------------------------------------------------

QUndoStack* TReferenceMemory_Orvel::undoStack() const
{
    return d->undoStack.get();
}

void TReferenceMemory_Orvel::setUndoMergeInterval(int ms)
{
    d->mergeIntervalMs.store(qMax(0, ms));
}

int TReferenceMemory_Orvel::undoMergeInterval() const
{
    return d->mergeIntervalMs.load();
}

void TReferenceMemory_Orvel::beginUndoMacro(const QString& text)
{
    if (!d->onOwnerThread())
        return;
    d->drainUndo(); // earlier edits stay outside the macro
    d->undoStack->beginMacro(text);
    ++d->macroDepth;
}

void TReferenceMemory_Orvel::endUndoMacro()
{
    if (!d->onOwnerThread() || d->macroDepth == 0)
        return;
    d->drainUndo();
    d->undoStack->endMacro();
    --d->macroDepth;
}

void TReferenceMemory_Orvel::flushUndo()
{
    if (d->onOwnerThread())
        d->drainUndo();
    else
        d->scheduleUndoDrain();
}

// ---- statistics ----------------------------------------------------------------------------

TMemoryStatistics_Orvel TReferenceMemory_Orvel::statistics() const
{
    TMemoryStatistics_Orvel result;
    {
        std::lock_guard<std::mutex> lock(d->defineMutex);
        for (const auto& param : d->params) {
            std::lock_guard<std::mutex> paramLock(param->lock);
            result.writes += param->writes;
            result.notifications += param->notifications;
        }
    }
    result.observerEventsPosted = d->eventsPosted.load();
    result.observerDeliveries = d->deliveries.load();
    result.undoStepsRecorded = d->undoRecords.load();
    return result;
}

void TReferenceMemory_Orvel::resetStatistics()
{
    {
        std::lock_guard<std::mutex> lock(d->defineMutex);
        for (const auto& param : d->params) {
            std::lock_guard<std::mutex> paramLock(param->lock);
            param->writes = 0;
            param->notifications = 0;
        }
    }
    d->eventsPosted.store(0);
    d->deliveries.store(0);
    d->undoRecords.store(0);
}

// ---- IMemAPI -------------------------------------------------------------------------------

int TReferenceMemory_Orvel::fillStringList(int tableId, QStringList& list)
{
    QReadLocker lock(&d->tablesLock);
    const auto it = d->stringTables.constFind(tableId);
    if (it == d->stringTables.constEnd())
        return 1;
    list = it.value();
    return 0;
}

int TReferenceMemory_Orvel::beginUndoStep(TMemProxyBasic* proxy)
{
    std::lock_guard<std::mutex> lock(d->undoMutex);
    d->stepBreaks.insert(proxy);
    return 0;
}

int TReferenceMemory_Orvel::connectProxy(TMemProxyBasic* proxy, quint32 packedAddress, int)
{
    if (!proxy || packedAddress != proxy->packedAddress())
        return 1;
    TParam* param = d->find(proxy->addrHigh, proxy->addrMid, proxy->addrLow);
    if (!param)
        return 2;
    std::shared_ptr<TRegistration> previous;
    {
        std::lock_guard<std::mutex> lock(d->proxyMutex);
        const auto it = d->registrations.constFind(proxy);
        if (it != d->registrations.constEnd() && it.value()->param == param)
            return 0; // already connected to this parameter
        previous = d->takeRegistration(proxy); // connected elsewhere: move
        auto registration = std::make_shared<TRegistration>(proxy, param, d.get());
        d->attachRegistration(registration);
        d->registrations.insert(proxy, registration);
    }
    if (previous)
        endRegistration(*previous);
    return 0;
}

int TReferenceMemory_Orvel::disconnectProxy(TMemProxyBasic* proxy, quint32)
{
    // A proxy has at most one registration; it ends whatever address the proxy gives now.
    std::shared_ptr<TRegistration> registration;
    {
        std::lock_guard<std::mutex> lock(d->proxyMutex);
        registration = d->takeRegistration(proxy);
    }
    {
        std::lock_guard<std::mutex> lock(d->undoMutex);
        d->stepBreaks.remove(proxy);
    }
    if (registration)
        endRegistration(*registration); // waits for deliveries on other threads; no lock held
    return 0;
}

int TReferenceMemory_Orvel::defaultValue(qint16 high, qint16 mid, qint16 low, int kind, int* none)
{
    const TParam* param = d->find(high, mid, low);
    if (!param) {
        if (none && kind == 1)
            *none = 1;
        return 0;
    }
    if (kind == 1) {
        if (param->definition.altDefault)
            return *param->definition.altDefault;
        if (none)
            *none = 1;
    }
    return param->definition.defaultValue;
}

int TReferenceMemory_Orvel::minimum(qint16 high, qint16 mid, qint16 low, int)
{
    const TParam* param = d->find(high, mid, low);
    return param ? param->definition.minimum : 0;
}

int TReferenceMemory_Orvel::maximum(qint16 high, qint16 mid, qint16 low, int)
{
    const TParam* param = d->find(high, mid, low);
    return param ? param->definition.maximum : 0;
}

int TReferenceMemory_Orvel::currentValue(qint16 high, qint16 mid, qint16 low, int, int)
{
    return value(high, mid, low);
}

int TReferenceMemory_Orvel::setValue(qint16 high, qint16 mid, qint16 low, int value,
                                     const TUndoContext& undo, int)
{
    TParam* param = d->find(high, mid, low);
    if (!param)
        return 1;
    d->write(param, value, undo.undoable ? &undo : nullptr);
    return 0;
}

IEditorFactory* TReferenceMemory_Orvel::editorFactory()
{
    return d->factory.load();
}

int TReferenceMemory_Orvel::valueFromNumber(int tableId, float number, int)
{
    if (tableId >= 1) {
        QReadLocker lock(&d->tablesLock);
        if (const Private::FormatTable* table = d->formatTable(tableId))
            return valueFromTypedNumber(TableScaled, double(number), d->scaleOf(*table));
    }
    return valueFromTypedNumber(tableId, double(number), d->globalStepScale.load());
}

int TReferenceMemory_Orvel::formatValue(qint16 low, int tableId, QString& text, QPixmap* pixmap,
                                        int value, int flag, qint16 high, qint16 mid)
{
    if (tableId >= 1) {
        QReadLocker lock(&d->tablesLock);
        const auto strings = d->stringTables.constFind(tableId);
        const auto pictures = d->pixmapTables.constFind(tableId);
        const bool hasStrings = strings != d->stringTables.constEnd();
        const bool hasPictures = pictures != d->pixmapTables.constEnd();
        const Private::FormatTable* format = d->formatTable(tableId);
        if (!hasStrings && !hasPictures && !format)
            return 1;
        if (hasStrings && value >= 0 && value < strings->size())
            text = strings->at(value);
        else if (format)
            text = NS_Utilities::formatNumber(format->format, double(value) / double(d->scaleOf(*format)));
        else
            text = QString::number(value);
        // QPixmap belongs to the GUI thread: other threads get the text only.
        if (hasPictures && pixmap && NS_Utilities::mainThreadRunning())
            *pixmap = value >= 0 && value < pictures->size() ? pictures->at(value) : QPixmap();
        return 0;
    }
    if (tableId == TableParameter) {
        const TParam* param = d->find(high, mid, low);
        if (param) {
            const TParameterSpec_Orvel& definition = param->definition;
            // Its own table (never -1: addParameter refuses that), else its format.
            if (definition.displayTable != TableDecimal &&
                formatValue(low, definition.displayTable, text, pixmap, value, flag, high, mid) ==
                    0)
                return 0;
            if (!definition.format.isEmpty()) {
                const int scale =
                    definition.stepScale > 0 ? definition.stepScale : d->globalStepScale.load();
                text = NS_Utilities::formatNumber(definition.format, double(value) / double(scale));
                return 0;
            }
        }
        text = QString::number(value);
        return 0;
    }
    return formatBuiltin(tableId, value, flag, d->globalStepScale.load(), text) ? 0 : 1;
}

int TReferenceMemory_Orvel::stepScale(int)
{
    return d->globalStepScale.load();
}

int TReferenceMemory_Orvel::valueForPosition(int& inOut, qint16 high, qint16 mid, int position)
{
    Private::Family family;
    int result = 0;
    if (!d->findFamily(high, mid, family)
        || !NS_OrvelMemory::valueForPosition(family.curve, family.minimum, family.maximum, inOut,
                                             position, result))
        return 1;
    inOut = result;
    return 0;
}

int TReferenceMemory_Orvel::positionForValue(int& inOut, qint16 high, qint16 mid, int value)
{
    Private::Family family;
    int result = 0;
    if (!d->findFamily(high, mid, family)
        || !NS_OrvelMemory::positionForValue(family.curve, family.minimum, family.maximum, inOut,
                                             value, result))
        return 1;
    inOut = result;
    return 0;
}

int TReferenceMemory_Orvel::stateFlag(bool& out, int)
{
    out = d->flag.load();
    return 0;
}

bool TReferenceMemory_Orvel::acceptsRecord(qint16 high, qint16 mid, qint16 recordLow, int)
{
    if (recordLow == TParamInfoReader_Orvel::InvalidLow)
        return false;
    return d->find(high, mid, recordLow) != nullptr;
}

bool TReferenceMemory_Orvel::resolveAddress(const QString& namedAddress, TParamAddress& out)
{
    TNamedAddressReading reading;
    TNamedAddressReading alternative;
    bool hasAlternative = false;
    if (!parseNamedAddress(namedAddress, reading, &alternative, &hasAlternative))
        return false;
    const auto resolve = [this](const TNamedAddressReading& r, TParamAddress& address) {
        if (r.numeric) {
            address = TParamAddress{r.high, r.mid, r.low, r.offset};
        } else if (lookupName(r.symbol, address)) {
            address.lowOffset = r.offset;
        } else {
            return false;
        }
        return d->find(address.high, address.mid, address.low) != nullptr;
    };
    // A whole name wins over the reading of its trailing "-N" as an offset.
    TParamAddress address;
    if (resolve(reading, address) || (hasAlternative && resolve(alternative, address))) {
        out = address;
        return true;
    }
    return false;
}

void TReferenceMemory_Orvel::postObserverEvent(TMemProxyBasic* proxy)
{
    if (!proxy)
        return;
    // Fast path: the proxy asks from inside its own notification on this thread.
    const std::shared_ptr<TRegistration>* current = nullptr;
    if (!t_deliveries.empty()) {
        const std::shared_ptr<TRegistration>* top = t_deliveries.back();
        if ((*top)->proxy == proxy && (*top)->owner == d.get())
            current = top;
    }
    std::shared_ptr<TRegistration> found;
    if (!current) {
        std::lock_guard<std::mutex> lock(d->proxyMutex);
        found = d->registrations.value(proxy);
        if (!found)
            return;
        current = &found;
    }
    TRegistration& registration = **current;
    if (!registration.alive.load() || registration.posted.exchange(true))
        return; // gone, or an event is already on its way (it will read the newest value)
    if (!QCoreApplication::instance()) {
        registration.posted.store(false);
        deliver(*current, 0);
        return;
    }
    d->eventsPosted.fetch_add(1, std::memory_order_relaxed);
    QCoreApplication::postEvent(this, new ObserverEvent(*current));
}

void TReferenceMemory_Orvel::proxyAttached(TMemProxyBasic* proxy, bool attached)
{
    std::shared_ptr<TRegistration> registration;
    {
        std::lock_guard<std::mutex> lock(d->proxyMutex);
        if (attached) {
            d->attached.insert(proxy);
            return;
        }
        d->attached.remove(proxy);
        registration = d->takeRegistration(proxy); // a detaching proxy is disconnected too
    }
    if (registration)
        endRegistration(*registration);
}

bool TReferenceMemory_Orvel::memoryReady() const
{
    return d->ready.load();
}

bool TReferenceMemory_Orvel::parameterAvailable(qint16 high, qint16 mid, qint16 low) const
{
    const TParam* param = d->find(high, mid, low);
    return param && param->available.load();
}

void TReferenceMemory_Orvel::customEvent(QEvent* event)
{
    if (event->type() == ObserverEvent::eventType()) {
        const auto& registration = static_cast<ObserverEvent*>(event)->registration;
        // Cleared before process(): a write during or after it posts again, so the newest value
        // is always shown in the end.
        registration->posted.store(false);
        if (deliver(registration, 0, true))
            d->deliveries.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (event->type() == UndoDrainEvent::eventType()) {
        d->drainUndo();
        return;
    }
    QObject::customEvent(event);
}
