#include "undo.h"

#include <QEvent>
#include <QMouseEvent>

namespace NS_OrvelMemory {

TValueChangeCommand::TValueChangeCommand(IUndoTarget* target, const TUndoRecord& record,
                                         const QString& text)
    : QUndoCommand(text),
      m_target(target),
      m_param(record.param),
      m_old(record.oldValue),
      m_new(record.newValue),
      m_lastTimeNs(record.timeNs),
      m_press(record.press),
      m_startsNewStep(record.startsNewStep)
{
}

bool TValueChangeCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const TValueChangeCommand*>(other); // same id: same class
    if (next->m_param != m_param || next->m_startsNewStep)
        return false;
    const bool sameGesture = m_press != 0 && next->m_press == m_press;
    const qint64 intervalNs = qint64(m_target->undoMergeIntervalMs()) * 1000000;
    const qint64 gap = next->m_lastTimeNs - m_lastTimeNs;
    const bool closeInTime = intervalNs > 0 && gap >= 0 && gap <= intervalNs;
    if (!sameGesture && !closeInTime)
        return false;
    m_new = next->m_new;
    m_lastTimeNs = next->m_lastTimeNs;
    m_press = next->m_press;
    // A gesture that ends where it began changes nothing: QUndoStack then drops the step.
    setObsolete(m_new == m_old);
    return true;
}

void TValueChangeCommand::undo()
{
    m_target->applyUndoValue(m_param, m_old);
    m_applied = false;
}

void TValueChangeCommand::redo()
{
    // QUndoStack::push() calls redo() once: the write that made this step already happened.
    if (m_applied)
        return;
    m_target->applyUndoValue(m_param, m_new);
    m_applied = true;
}

// ---------------------------------------------------------------------------------------------

TPressTracker::TPressTracker(QObject* parent) : QObject(parent) {}

quint64 TPressTracker::currentPress() const
{
    return m_down.load(std::memory_order_acquire) ? m_serial.load(std::memory_order_acquire) : 0;
}

bool TPressTracker::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // One press reaches the filter several times (window, widget, parents it propagates
        // to), always with the same timestamp; a new timestamp is a new press even when a
        // release was lost (for example to a popup that grabbed the mouse).
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_down.load(std::memory_order_relaxed) || mouse->timestamp() != m_pressTimestamp) {
            m_pressTimestamp = mouse->timestamp();
            m_serial.fetch_add(1, std::memory_order_acq_rel);
            m_down.store(true, std::memory_order_release);
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->buttons() == Qt::NoButton)
            m_down.store(false, std::memory_order_release);
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace NS_OrvelMemory
