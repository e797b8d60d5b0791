// The reference parameter memory: a thread-safe IMemAPI for hosts that have none of their own,
// for the demo editor and for the tests.
//
// Parameters are defined once (addParameter, or a JSON map with loadMap) and never removed.
// Values may be written from any thread; every write that changes a value notifies the bound
// proxies on the writer's thread, and the proxies that need the GUI thread come back through
// postObserverEvent, coalesced to at most one pending event per proxy. User edits become steps
// on a QUndoStack. docs/reference-memory.md describes the design and its guarantees.
#pragma once

#include "../binding/memapi.h"
#include "editorregistry.h"
#include "parameterdefinition.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QUndoStack;

// Counters for tests and benchmarks (cumulative since construction or resetStatistics()).
struct ORVELKIT_EXPORT TMemoryStatistics_Orvel
{
    quint64 writes = 0;               // writes that changed a stored value
    quint64 notifications = 0; // proxies notified by those writes (synchronous process calls)
    quint64 observerEventsPosted = 0; // events posted by postObserverEvent (after coalescing)
    quint64 observerDeliveries = 0;   // process calls made on the GUI thread from those events
    quint64 undoStepsRecorded = 0;    // undo records made (before merging into steps)
};

class ORVELKIT_EXPORT TReferenceMemory_Orvel : public QObject, public IMemAPI
{
    Q_OBJECT

public:
    // Create the memory on the GUI thread (the thread of the QApplication).
    explicit TReferenceMemory_Orvel(QObject* parent = nullptr);
    // Disconnects every proxy (waiting for deliveries on other threads to end) and clears the
    // `api` and `addressValid` of every attached proxy. Stop the threads that write to the
    // memory before destroying it.
    ~TReferenceMemory_Orvel() override;

    // ---- defining parameters, names and tables (any thread) ----

    // Adds one parameter. Fails (with a message in *error) for an address outside
    // high -512..511, mid and low 0..2047, an address or name already defined, min > max,
    // default, value or altDefault outside the range, a bad display table, or a position curve
    // that differs from that of the family (high, mid) (or, with a curve, a different range).
    bool addParameter(const TParameterSpec_Orvel& definition, QString* error = nullptr);
    // Loads a JSON parameter map (docs/parameter-map.md). Everything is checked before anything
    // is applied: on failure nothing changes and *error lists the problems, one a line, as
    // "file:line: entry: message".
    bool loadMap(const QString& fileName, QString* error = nullptr);
    bool loadMapData(const QByteArray& json, QString* error = nullptr,
                     const QString& sourceName = QString());
    // Gives an existing parameter one more symbolic name (docs/named-addresses.md).
    bool registerName(const QString& name, qint16 high, qint16 mid, qint16 low,
                      QString* error = nullptr);
    // Registers (or replaces) display table `tableId` (1 or more). Returns false for other ids.
    bool registerStringTable(int tableId, const QStringList& strings);
    // Pixmap tables: formatValue fills the caller's pixmap from them (GUI thread only); the text
    // comes from the string table of the same id, or is decimal.
    bool registerPixmapTable(int tableId, const QList<QPixmap>& pixmaps);
    // Registers (or replaces) format table `tableId` (1 or more): the text of a value is `format`
    // (as a parameter's format) applied to value / stepScale, where a stepScale below 1 means the
    // global one; typed numbers are multiplied by the same scale. Unlike table -1 it needs no
    // parameter address, so controls that format without one (faders) can show units. Replaces a
    // string table of the same id, and is replaced by one. False for ids below 1 or an empty format.
    bool registerFormatTable(int tableId, const QString& format, int stepScale = 0);
    // The step scale every stepScale(which) returns; values below 1 are ignored. Default 10.
    void setGlobalStepScale(int scale);
    int globalStepScale() const;
    // The flag stateFlag() reports (for blinking looks).
    void setStateFlag(bool on);
    // Marks a parameter (un)available and notifies its proxies with extra 1 when it changes.
    bool setParameterAvailable(qint16 high, qint16 mid, qint16 low, bool available);
    // The factory editorFactory() returns (not owned; null for none).
    void setEditorFactory(IEditorFactory* factory);
    // Notifies the proxies of a parameter with extra 1: its display changed, its value did not.
    void refresh(qint16 high, qint16 mid, qint16 low);

    // ---- host access (any thread) ----

    // The stored value; 0 for an unknown address.
    int value(qint16 high, qint16 mid, qint16 low) const;
    // An automation write: clamped, notifies, never an undo step. False for an unknown address.
    bool write(qint16 high, qint16 mid, qint16 low, int value);
    bool hasParameter(qint16 high, qint16 mid, qint16 low) const;
    // The parameter with its current value and availability.
    std::optional<TParameterSpec_Orvel> parameter(qint16 high, qint16 mid, qint16 low) const;
    std::optional<TParameterSpec_Orvel> parameterByName(const QString& name) const;
    // The address a symbolic name stands for (no offset syntax; see resolveAddress for that).
    bool lookupName(const QString& name, TParamAddress& address) const;
    // Every parameter in definition order, with current values.
    QList<TParameterSpec_Orvel> parameters() const;
    int parameterCount() const;
    // Proxies currently connected (registrations), for tests.
    int connectedProxyCount() const;

    // ---- undo (GUI thread) ----

    QUndoStack* undoStack() const;
    // Consecutive changes of one parameter within `ms` of each other merge into one step;
    // 0 disables time-based merging (changes within one mouse press still merge). Default 500.
    void setUndoMergeInterval(int ms);
    int undoMergeInterval() const;
    void beginUndoMacro(const QString& text);
    void endUndoMacro();
    // Moves the undo records of writes made on other threads onto the stack now (this also
    // happens by itself through a posted event).
    void flushUndo();

    // ---- statistics (any thread) ----

    TMemoryStatistics_Orvel statistics() const;
    void resetStatistics();

    // ---- IMemAPI ----

    int fillStringList(int tableId, QStringList& list) override;
    int beginUndoStep(TMemProxyBasic* proxy) override;
    int connectProxy(TMemProxyBasic* proxy, quint32 packedAddress, int flags) override;
    int disconnectProxy(TMemProxyBasic* proxy, quint32 packedAddress) override;
    int defaultValue(qint16 high, qint16 mid, qint16 low, int kind, int* none) override;
    int minimum(qint16 high, qint16 mid, qint16 low, int flags) override;
    int maximum(qint16 high, qint16 mid, qint16 low, int flags) override;
    int currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved) override;
    int setValue(qint16 high, qint16 mid, qint16 low, int value, const TUndoContext& undo,
                 int origin) override;
    IEditorFactory* editorFactory() override;
    int valueFromNumber(int tableId, float number, int flags) override;
    int formatValue(qint16 low, int tableId, QString& text, QPixmap* pixmap, int value, int flag,
                    qint16 high, qint16 mid) override;
    int stepScale(int which) override;
    int valueForPosition(int& inOut, qint16 high, qint16 mid, int position) override;
    int positionForValue(int& inOut, qint16 high, qint16 mid, int value) override;
    int stateFlag(bool& out, int which) override;
    bool acceptsRecord(qint16 high, qint16 mid, qint16 recordLow, int flags) override;
    bool resolveAddress(const QString& namedAddress, TParamAddress& out) override;
    void postObserverEvent(TMemProxyBasic* proxy) override;
    void proxyAttached(TMemProxyBasic* proxy, bool attached) override;
    bool memoryReady() const override;
    bool parameterAvailable(qint16 high, qint16 mid, qint16 low) const override;

protected:
    void customEvent(QEvent* event) override;

private:
    class Private;
    std::unique_ptr<Private> d;
};
