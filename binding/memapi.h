// IMemAPI: the parameter memory as the controls see it.
//
// A control never includes a memory implementation; it talks to this interface through the
// `api` pointer of its proxy part (memproxy.h). The reference implementation lives in memory/.
#pragma once

#include "orvelkit_global.h"

#include <QString>
#include <QStringList>
#include <QUuid>

class QPixmap;
class QWidget;
class TMemProxyBasic;

// Who makes an edit and whether it may become an undo step. Obtained from the proxy with
// `undoContext(0)` and handed to IMemAPI::setValue unchanged.
struct TUndoContext
{
    const TMemProxyBasic* proxy = nullptr; // the proxy that makes the edit, or null
    bool undoable = false;                 // record an undo step for this edit
};

// The address fields a named address resolves to (see docs/named-addresses.md).
struct TParamAddress
{
    qint16 high = 0;
    qint16 mid = 0;
    qint16 low = 0;
    qint16 lowOffset = 0; // added to `low` only where a control asks for a display text
};

// Creates editor windows on behalf of the memory (hotspot labels open them).
class ORVELKIT_EXPORT IEditorFactory
{
public:
    virtual ~IEditorFactory();
    // Creates the editor `editorId` of the given kind. Returns 0 and stores the window in
    // *editor on success; any other result means that no editor was created.
    virtual int createEditor(const QUuid& editorId, int kind, QWidget** editor, QWidget* parent,
                             int flags) = 0;
};

// Addresses are passed as three fields in the order high, mid, low.
// Results are ints unless said otherwise; 0 means success where a result is a status.
class ORVELKIT_EXPORT IMemAPI
{
public:
    virtual ~IMemAPI();

    // ---- operations the controls call, in interface order ----

    // Fills `list` with the string table `tableId` (replacing its contents). 0 on success.
    virtual int fillStringList(int tableId, QStringList& list) = 0;
    // The next undoable edit from `proxy` starts a new undo step instead of merging with the
    // previous one; the edits that follow from the same gesture merge into that step.
    virtual int beginUndoStep(TMemProxyBasic* proxy) = 0;
    // Registers `proxy` for change notices of the parameter at its address. `packedAddress` is
    // TMemProxyBasic::packedAddress() of the proxy. Connecting twice is harmless. 0 on success.
    virtual int connectProxy(TMemProxyBasic* proxy, quint32 packedAddress, int flags) = 0;
    // Ends the registration. When this returns, `process` of that proxy is running on no other
    // thread and will not be called again for that registration; pending observer events for it
    // are dropped. Disconnecting a proxy that is not connected is harmless.
    virtual int disconnectProxy(TMemProxyBasic* proxy, quint32 packedAddress) = 0;
    // kind 0: the default value; kind 1: the alternative default. When there is none, *none is
    // set to 1 (if given) and the default (kind 0) or the current value is returned.
    virtual int defaultValue(qint16 high, qint16 mid, qint16 low, int kind, int* none) = 0;
    virtual int minimum(qint16 high, qint16 mid, qint16 low, int flags) = 0;
    virtual int maximum(qint16 high, qint16 mid, qint16 low, int flags) = 0;
    virtual int currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved) = 0;
    // Stores a value (clamped to the parameter's range) and notifies every connected proxy.
    // `origin` 1 marks a user edit made through a control. 0 on success.
    virtual int setValue(qint16 high, qint16 mid, qint16 low, int value, const TUndoContext& undo,
                         int origin) = 0;
    // Null when the memory offers no editors.
    virtual IEditorFactory* editorFactory() = 0;
    // The parameter value for a number the user typed, through display table `tableId`.
    virtual int valueFromNumber(int tableId, float number, int flags) = 0;
    // The display text (or pixmap, where the table has pictures and `pixmap` is given) of
    // `value` through display table `tableId`. `low` already includes the proxy's low offset.
    // 0 on success; non-zero leaves `text` and `*pixmap` as they were.
    virtual int formatValue(qint16 low, int tableId, QString& text, QPixmap* pixmap, int value,
                            int flag, qint16 high, qint16 mid) = 0;
    // The memory's step scale (which = 0) used by controls that show or take scaled numbers.
    virtual int stepScale(int which) = 0;
    // Memory-side position curves: `inOut` holds the slide length on entry and the value
    // (resp. position) on exit. 0 when the memory answered; non-zero when the control should use
    // its own linear mapping.
    virtual int valueForPosition(int& inOut, qint16 high, qint16 mid, int position) = 0;
    virtual int positionForValue(int& inOut, qint16 high, qint16 mid, int value) = 0;
    // A state flag the memory maintains for blinking looks. 0 on success.
    virtual int stateFlag(bool& out, int which) = 0;
    // Whether a copied record from low address `recordLow` may be pasted into the parameter
    // family (high, mid).
    virtual bool acceptsRecord(qint16 high, qint16 mid, qint16 recordLow, int flags) = 0;

    // ---- the memory side of the binding, used by TMemProxyBasic ----

    // Resolves a named address. False (and `out` untouched) when the name means nothing here.
    virtual bool resolveAddress(const QString& namedAddress, TParamAddress& out) = 0;
    // Re-delivers process(nullptr, 0, 0) to `proxy` on the GUI thread (see MAPI_postObserverEvent).
    virtual void postObserverEvent(TMemProxyBasic* proxy) = 0;
    // A proxy starts or stops using this memory (TMemProxyBasic::setMemAPI). A memory that goes
    // away first clears the `api` of every attached proxy.
    virtual void proxyAttached(TMemProxyBasic* proxy, bool attached) = 0;
    // False while the memory cannot serve requests (for example while it loads a map).
    virtual bool memoryReady() const { return true; }
    // False when the parameter exists in the memory's map but not on the current instrument:
    // controls are then hidden unless they disable auto-hide.
    virtual bool parameterAvailable(qint16 high, qint16 mid, qint16 low) const;
};
