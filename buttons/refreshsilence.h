// RefreshSilence: keeps a proxy's `silent` counter raised while a button applies a value that
// did not come from the user, like TMemSilentHelper (the same rule: TMemSilentHelper::raisesFor)
// and additionally for operations below 0 (a value handed in directly, never written back).
//
// Unlike TMemSilentHelper it can let go of the counter: a receiver of the state change the
// button emits may delete the button, and the counter must then not be touched again. Internal
// to the button family.
#pragma once

#include "../binding/memproxy.h"

class RefreshSilence
{
public:
    RefreshSilence(quint8& silent, int operation)
        : m_silent(TMemSilentHelper::raisesFor(operation) || operation < 0 ? &silent : nullptr)
    {
        if (m_silent)
            ++*m_silent;
    }
    ~RefreshSilence()
    {
        if (m_silent)
            --*m_silent;
    }
    RefreshSilence(const RefreshSilence&) = delete;
    RefreshSilence& operator=(const RefreshSilence&) = delete;

    // The owner is gone: the counter went with it.
    void release() { m_silent = nullptr; }

private:
    quint8* m_silent;
};
