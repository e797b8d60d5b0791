// Undo steps of the reference memory (internal to TReferenceMemory_Orvel).
//
// Every undoable value change becomes a TUndoRecord at the moment it is written (under the
// parameter's lock, so records of one parameter are in write order). The GUI thread turns the
// records into TValueChangeCommand steps on the memory's QUndoStack; consecutive steps of one
// parameter merge when they belong to one mouse gesture or follow each other within the merge
// interval.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QObject>
#include <QUndoCommand>

#include <atomic>

class TMemProxyBasic;

namespace NS_OrvelMemory {

struct TParam; // a parameter of the memory (referencememory.cpp)

// What a command needs from the memory.
class IUndoTarget
{
public:
    virtual ~IUndoTarget() = default;
    // Writes `value` without recording a step and notifies the bound proxies.
    virtual void applyUndoValue(TParam* param, int value) = 0;
    // The time-based merge interval in milliseconds; 0 disables time-based merging.
    virtual int undoMergeIntervalMs() const = 0;
};

// One undoable value change, as written.
struct TUndoRecord
{
    TParam* param = nullptr;
    int oldValue = 0;
    int newValue = 0;
    qint64 timeNs = 0;       // monotonic time of the write
    quint64 press = 0;       // the mouse press the write happened in; 0: no button held
    bool startsNewStep = false; // beginUndoStep() was called for the writing proxy
};

// A value change of one parameter; merges consecutive changes of the same gesture.
class TValueChangeCommand : public QUndoCommand
{
public:
    static constexpr int CommandId = 0x4f564b01;

    TValueChangeCommand(IUndoTarget* target, const TUndoRecord& record, const QString& text);

    int id() const override { return CommandId; }
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

    TParam* param() const { return m_param; }
    int oldValue() const { return m_old; }
    int newValue() const { return m_new; }

private:
    IUndoTarget* m_target;
    TParam* m_param;
    int m_old;
    int m_new;
    qint64 m_lastTimeNs;
    quint64 m_press;
    bool m_startsNewStep;
    bool m_applied = true; // the value is already in the memory when the command is pushed
};

// Tracks mouse presses on the GUI thread (an application event filter), so that the writes of
// one drag can be told from those of the next even when they come faster than the merge interval.
class TPressTracker : public QObject
{
public:
    explicit TPressTracker(QObject* parent = nullptr);
    // The current press (a serial number, never 0), or 0 when no button is held. Any thread.
    quint64 currentPress() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::atomic<bool> m_down{false};
    std::atomic<quint64> m_serial{0};
    quint64 m_pressTimestamp = 0;
};

} // namespace NS_OrvelMemory
