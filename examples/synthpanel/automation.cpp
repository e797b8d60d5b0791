#include "automation.h"

#include <orvelkit/memory/referencememory.h>

#include <chrono>
#include <cmath>

Automation::Automation(TReferenceMemory_Orvel* memory, QObject* parent)
    : QObject(parent), m_memory(memory)
{
}

Automation::~Automation()
{
    stop();
}

bool Automation::addLane(const QString& name, double periodSeconds, double phase, QString* error)
{
    return add(name, periodSeconds, phase, -1.0, error);
}

bool Automation::addGateLane(const QString& name, double periodSeconds, double phase, double duty,
                             QString* error)
{
    if (!(duty >= 0.0 && duty <= 1.0)) {
        if (error)
            *error = QStringLiteral("automation: %1: the gate's duty must lie in 0..1").arg(name);
        return false;
    }
    return add(name, periodSeconds, phase, duty, error);
}

bool Automation::add(const QString& name, double periodSeconds, double phase, double duty, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (isRunning())
        return fail(QStringLiteral("automation: lanes cannot change while it runs"));
    if (!(periodSeconds > 0) || !std::isfinite(periodSeconds))
        return fail(QStringLiteral("automation: %1: the period must be positive").arg(name));
    const auto param = m_memory ? m_memory->parameterByName(name) : std::nullopt;
    if (!param)
        return fail(QStringLiteral("automation: \"%1\" is not a parameter of the map").arg(name));
    TParamAddress address;
    address.high = param->high;
    address.mid = param->mid;
    address.low = param->low;
    address.lowOffset = 0;
    m_lanes.append({name, address, param->minimum, param->maximum, periodSeconds, phase - std::floor(phase), duty});
    return true;
}

QStringList Automation::laneNames() const
{
    QStringList names;
    for (const Lane& lane : m_lanes)
        names << lane.name;
    return names;
}

void Automation::setRate(int ticksPerSecond)
{
    m_rate = qBound(1, ticksPerSecond, 10000);
}

void Automation::start()
{
    if (isRunning() || m_lanes.isEmpty() || !m_memory)
        return;
    m_stop = false;
    m_worker = std::thread(&Automation::run, this, m_lanes, m_rate);
    emit runningChanged(true);
}

void Automation::stop()
{
    if (!isRunning())
        return;
    m_stop = true;
    m_worker.join();
    emit runningChanged(false);
}

void Automation::setRunning(bool on)
{
    if (on)
        start();
    else
        stop();
}

void Automation::run(QList<Lane> lanes, int rate)
{
    using Clock = std::chrono::steady_clock;
    const auto tick = std::chrono::nanoseconds(1000000000LL / rate);
    auto next = Clock::now();
    for (quint64 n = 0; !m_stop.load(std::memory_order_acquire); ++n) {
        const double seconds = double(n) / rate;
        for (const Lane& lane : lanes) {
            const double cycle = seconds / lane.periodSeconds + lane.phase;
            // A gate is open for the first `duty` of its period; a sweep is a raised cosine,
            // easing in and out at the ends of the range as a hand would.
            const double shape = lane.duty >= 0.0 ? (cycle - std::floor(cycle) < lane.duty ? 1.0 : 0.0)
                                                  : 0.5 - 0.5 * std::cos(2.0 * M_PI * cycle);
            const double span = double(lane.maximum) - double(lane.minimum);
            const int value = lane.minimum + int(std::lround(shape * span));
            m_memory->write(lane.address.high, lane.address.mid, lane.address.low, value);
        }
        m_writes.fetch_add(quint64(lanes.size()), std::memory_order_relaxed);
        next += tick;
        const auto now = Clock::now();
        if (now - next > std::chrono::milliseconds(50))
            next = now; // fell behind (a loaded machine): resume the rate rather than burst
        std::this_thread::sleep_until(next);
    }
}
