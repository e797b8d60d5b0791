// For the reference memory suites: TestProxy, which behaves like a control, param() and bind().
#pragma once

#include "binding/memproxy.h"
#include "binding/utilities.h"
#include "memory/referencememory.h"

#include <atomic>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

class TestProxy : public TMemProxy_Orvel
{
public:
    explicit TestProxy(const QString& address = QString()) { setNamedAddress(address); }
    ~TestProxy() override { detachMemAPI(); } // process() may run on worker threads

    void process(const Q_UINT8*, int, Q_UINT32 extra) override
    {
        calls.fetch_add(1);
        lastExtra = extra;
        if (hook)
            hook(this);
        IMemAPI* memory = api;
        if (memory && !NS_Utilities::mainThreadRunning()) {
            MAPI_postObserverEvent(memory, this);
        } else if (memory) {
            guiCalls.fetch_add(1);
            shown = memory->currentValue(addrHigh, addrMid, addrLow, 0, 0);
        }
        finished.fetch_add(1);
    }

    std::atomic<int> calls{0};
    std::atomic<int> finished{0}; // process() calls that have returned
    std::atomic<int> guiCalls{0};
    std::atomic<Q_UINT32> lastExtra{0};
    int shown = INT_MIN; // the value read on the GUI thread last
    std::function<void(TestProxy*)> hook; // runs first in every process(), on the calling thread
};

inline TParameterSpec_Orvel param(qint16 high, qint16 mid, qint16 low, int min = 0, int max = 1000,
                                  const QString& name = {},
                                  TParameterCurve_Orvel curve = TParameterCurve_Orvel::None)
{
    // name, label, address, range, value, default, altDefault, stepScale, table, format, curve
    return {name, {}, high, mid, low, min, max, min, min, {}, 0, 0, {}, curve};
}

using Proxies = std::vector<std::unique_ptr<TestProxy>>;

// Defines 0:0:0 .. 0:0:(lows-1) (range 0..1000000) and binds `count` proxies to them in turn.
inline Proxies bind(TReferenceMemory_Orvel& memory, int count, int lows)
{
    for (int low = 0; low < lows; ++low)
        memory.addParameter(param(0, 0, qint16(low), 0, 1000000));
    Proxies proxies;
    for (int i = 0; i < count; ++i) {
        proxies.push_back(std::make_unique<TestProxy>(QStringLiteral("0:0:%1").arg(i % lows)));
        proxies.back()->setMemAPI(&memory);
    }
    return proxies;
}
