#pragma once

#include <atomic>

// Marks a login as in flight. Taken on the user-interface thread, released by
// the worker thread, so it cannot be a lock owned by a thread. Not re-entrant:
// while taken, every tryTake() fails, also on the thread that took it.
// Owned by the sign-in session, which takes it, hands it to the worker it
// starts and releases it, all in one place.
class InFlightGuard final
{
public:
    bool tryTake()
    {
        bool expected = false;
        return m_taken.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
    }
    void release() { m_taken.store(false, std::memory_order_release); }
    bool isTaken() const { return m_taken.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_taken{false};
};
