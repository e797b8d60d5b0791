// Host automation for the demo: a worker thread that sweeps a few parameters through the
// reference memory at a fixed rate (1000 writes a second per lane by default), the way a
// sequencer plays automation into a plug-in while its editor is open. The controls see these
// writes arrive off the GUI thread and follow them through their observer events. Gate lanes
// switch a parameter between its ends instead (the voice lamps).
#pragma once

#include <orvelkit/binding/memapi.h>

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

class TReferenceMemory_Orvel;

class Automation : public QObject
{
    Q_OBJECT

public:
    // `memory` must outlive the automation (it is stopped, at the latest, by the destructor).
    explicit Automation(TReferenceMemory_Orvel* memory, QObject* parent = nullptr);
    ~Automation() override;

    // Adds a lane that sweeps the parameter `name` over its whole range and back every
    // `periodSeconds`, starting `phase` (0..1) into the cycle. False, with a message, for a
    // name the memory does not know or a period that is not positive. Only while stopped.
    bool addLane(const QString& name, double periodSeconds, double phase, QString* error = nullptr);
    // Adds a lane that holds the parameter at its maximum for the first `duty` (0..1) of every
    // period and at its minimum for the rest, the way a voice's gate opens and closes as notes
    // play. Same rules as addLane().
    bool addGateLane(const QString& name, double periodSeconds, double phase, double duty,
                     QString* error = nullptr);
    QStringList laneNames() const;

    // Ticks per second (each tick writes every lane once); 1..10000, default 1000.
    void setRate(int ticksPerSecond);
    int rate() const { return m_rate; }

    bool isRunning() const { return m_worker.joinable(); }
    // Writes made since construction (every lane, every tick). Any thread.
    quint64 writes() const { return m_writes.load(std::memory_order_relaxed); }

public slots:
    void start();
    // Returns once the worker thread has ended: no write reaches the memory afterwards.
    void stop();
    void setRunning(bool on);

signals:
    void runningChanged(bool running);

private:
    struct Lane
    {
        QString name;
        TParamAddress address;
        int minimum;
        int maximum;
        double periodSeconds;
        double phase;
        double duty; // below 0: a sweep; else the open part of a gate's period
    };
    bool add(const QString& name, double periodSeconds, double phase, double duty, QString* error);
    void run(QList<Lane> lanes, int rate);

    TReferenceMemory_Orvel* m_memory;
    QList<Lane> m_lanes;
    int m_rate = 1000;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_writes{0};
};
