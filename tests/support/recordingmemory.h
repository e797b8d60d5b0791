// RecordingMemory: an IMemAPI for tests that logs every call with its arguments, in order, and
// answers from a small programmable parameter table. Tests assert the exact road a control takes
// ("which calls, which arguments, in which order").
//
// Log lines look like the calls: "minimum(1,2,3,0)", "currentValue(1,2,3,0,0)",
// "setValue(1,2,3,42,undo:knob,1)", "formatValue(3,0,text,pixmap,42,0,1,2)". Proxies appear
// under the names given with nameProxy() ("proxy" otherwise); the undo context shows as
// "undo:<name>" when undoable, "noundo:<name>" otherwise; a null pixmap pointer as "nopixmap".
#pragma once

#include "binding/memapi.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QStringList>

#include <functional>
#include <optional>

class RecordingMemory : public QObject, public IMemAPI
{
    Q_OBJECT
public:
    struct Param
    {
        // Brace lists may stop after any field: {min, max, value} is common in the suites.
        Param(int minimum = 0, int maximum = 127, int value = 0, int defaultValue = 0,
              std::optional<int> altDefault = std::nullopt, bool available = true)
            : minimum(minimum), maximum(maximum), value(value), defaultValue(defaultValue),
              altDefault(altDefault), available(available)
        {
        }
        int minimum;
        int maximum;
        int value;
        int defaultValue;
        std::optional<int> altDefault;
        bool available;
    };

    explicit RecordingMemory(QObject* parent = nullptr);
    ~RecordingMemory() override;

    // ---- programming the answers ----
    void setParameter(qint16 high, qint16 mid, qint16 low, const Param& p);
    Param parameter(qint16 high, qint16 mid, qint16 low) const;
    int value(qint16 high, qint16 mid, qint16 low) const { return parameter(high, mid, low).value; }
    // A named address that resolves (anything else does not); "h:m:l" numeric names resolve
    // when the parameter exists.
    void addName(const QString& name, const TParamAddress& address);
    void setStringTable(int tableId, const QStringList& strings);
    // formatValue: the text "<tableId>:<value>" unless a formatter is set; a pixmap is returned
    // for the tables given to setPixmapTable.
    void setFormatter(std::function<QString(int tableId, int value, int flag)> f) { m_formatter = std::move(f); }
    void setPixmapTable(int tableId, const QPixmap& pixmap) { m_pixmapTables.insert(tableId, pixmap); }
    void setFormatFails(bool on) { m_formatFails = on; }
    void setStepScale(int s) { m_stepScale = s; }
    void setStateFlag(bool on) { m_stateFlag = on; }
    void setAcceptedRecordLows(const QSet<int>& lows) { m_acceptedLows = lows; }
    // positionForValue/valueForPosition answer with these when set; non-zero otherwise.
    void setPositionCurve(std::function<int(int length, int value)> toPosition,
                          std::function<int(int length, int position)> toValue);
    void setEditorFactory(IEditorFactory* f) { m_factory = f; }
    void setReady(bool on) { m_ready = on; }
    // setValue notifies the connected proxies of the parameter with process(nullptr, 0, 0) on
    // the caller's thread (on by default, like a real memory).
    void setNotifyOnWrite(bool on) { m_notifyOnWrite = on; }
    // postObserverEvent re-delivers on the GUI thread through a posted event (on by default);
    // off: the requests are only logged and counted.
    void setDeliverObserverEvents(bool on) { m_deliverObserverEvents = on; }

    // ---- reading the log ----
    void nameProxy(const TMemProxyBasic* proxy, const QString& name);
    QStringList calls() const;
    QStringList callsNamed(const QString& function) const; // lines starting with "function("
    void clearCalls();
    int observerEventsRequested() const;
    QList<TMemProxyBasic*> connectedProxies() const;

    // ---- a host-side write that notifies like a real memory (not logged) ----
    void hostWrite(qint16 high, qint16 mid, qint16 low, int value, Q_UINT32 extra = 0);

    // ---- IMemAPI ----
    int fillStringList(int tableId, QStringList& list) override;
    int beginUndoStep(TMemProxyBasic* proxy) override;
    int connectProxy(TMemProxyBasic* proxy, quint32 packedAddress, int flags) override;
    int disconnectProxy(TMemProxyBasic* proxy, quint32 packedAddress) override;
    int defaultValue(qint16 high, qint16 mid, qint16 low, int kind, int* none) override;
    int minimum(qint16 high, qint16 mid, qint16 low, int flags) override;
    int maximum(qint16 high, qint16 mid, qint16 low, int flags) override;
    int currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved) override;
    int setValue(qint16 high, qint16 mid, qint16 low, int value, const TUndoContext& undo, int origin) override;
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
    bool memoryReady() const override { return m_ready; }
    bool parameterAvailable(qint16 high, qint16 mid, qint16 low) const override;

protected:
    void customEvent(QEvent* event) override;

private:
    static quint64 key(qint16 high, qint16 mid, qint16 low);
    void log(const QString& line);
    QString proxyName(const TMemProxyBasic* proxy) const;
    void notify(quint64 paramKey, Q_UINT32 extra);

    mutable QMutex m_mutex;
    QStringList m_calls;
    QHash<quint64, Param> m_params;
    QHash<QString, TParamAddress> m_names;
    QHash<int, QStringList> m_stringTables;
    QHash<int, QPixmap> m_pixmapTables;
    QHash<const TMemProxyBasic*, QString> m_proxyNames;
    QHash<TMemProxyBasic*, quint64> m_connected; // proxy -> parameter key
    QSet<TMemProxyBasic*> m_attached;
    QSet<TMemProxyBasic*> m_pendingObserver;
    std::function<QString(int, int, int)> m_formatter;
    std::function<int(int, int)> m_toPosition;
    std::function<int(int, int)> m_toValue;
    QSet<int> m_acceptedLows;
    IEditorFactory* m_factory = nullptr;
    int m_stepScale = 10;
    int m_observerRequests = 0;
    bool m_stateFlag = false;
    bool m_formatFails = false;
    bool m_ready = true;
    bool m_notifyOnWrite = true;
    bool m_deliverObserverEvents = true;
};
