#include "refreshcoalescing.h"

#include "utilities.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <vector>

namespace {

// Per-window count within the current batch. A panel rarely has more than a few windows, so a
// short vector searched linearly beats a hash.
struct WindowCount
{
    QPointer<QWidget> window;
    quint64 batch = 0; // the batch the count belongs to
    int refreshes = 0;
    bool updated = false; // the whole window was updated in this batch
};

struct State
{
    QPointer<QAbstractEventDispatcher> dispatcher; // the dispatcher whose awake() ends batches
    QMetaObject::Connection connection;
    quint64 batch = 1;
    std::vector<WindowCount> windows;
};

std::atomic<int> g_threshold{TRefreshCoalescer_Orvel::defaultThreshold};
std::atomic<quint64> g_windowUpdates{0};

// Touched on the GUI thread only (noteRefresh returns early elsewhere).
State& state()
{
    static State s;
    return s;
}

// Makes sure the GUI thread's dispatcher ends a batch at every wake-up. The dispatcher is looked
// up each time because an application may be destroyed and created again (test programs); a new
// dispatcher starts a new batch. The awake() handler only advances a counter: counts are reset
// lazily, when a window is next seen.
void followDispatcher(State& s)
{
    QAbstractEventDispatcher* current = QAbstractEventDispatcher::instance(QThread::currentThread());
    if (current == s.dispatcher)
        return;
    QObject::disconnect(s.connection);
    s.dispatcher = current;
    ++s.batch;
    s.windows.clear();
    if (current)
        s.connection = QObject::connect(current, &QAbstractEventDispatcher::awake, current, [] { ++state().batch; },
                                        Qt::DirectConnection);
}

WindowCount& countFor(State& s, QWidget* window)
{
    WindowCount* free = nullptr;
    for (WindowCount& w : s.windows) {
        if (w.window == window)
            return w;
        if (!free && !w.window)
            free = &w; // a window that was deleted: reuse its slot
    }
    if (!free) {
        s.windows.emplace_back();
        free = &s.windows.back();
    }
    *free = WindowCount{window, s.batch, 0, false};
    return *free;
}

} // namespace

void TRefreshCoalescer_Orvel::noteRefresh(QWidget* control)
{
    const int limit = g_threshold.load(std::memory_order_relaxed);
    if (limit <= 0 || !control || !NS_Utilities::mainThreadRunning())
        return;
    // update() on a hidden widget or one with updates disabled does nothing: nothing to fold.
    if (!control->isVisible() || !control->updatesEnabled())
        return;
    QWidget* window = control->window();
    if (!window)
        return;
    State& s = state();
    followDispatcher(s);
    WindowCount& count = countFor(s, window);
    if (count.batch != s.batch)
        count = WindowCount{window, s.batch, 0, false};
    if (count.updated || ++count.refreshes < limit)
        return;
    count.updated = true;
    g_windowUpdates.fetch_add(1, std::memory_order_relaxed);
    window->update(); // the whole window as one dirty rectangle
}

int TRefreshCoalescer_Orvel::threshold()
{
    return g_threshold.load(std::memory_order_relaxed);
}

void TRefreshCoalescer_Orvel::setThreshold(int refreshes)
{
    g_threshold.store(refreshes < 0 ? 0 : refreshes, std::memory_order_relaxed);
}

quint64 TRefreshCoalescer_Orvel::windowUpdates()
{
    return g_windowUpdates.load(std::memory_order_relaxed);
}
