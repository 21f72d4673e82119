#include "oci-lite/ServerLink.h"

#include <chrono>
#include <thread>

#include "oci-lite/Host.h"

namespace ocilite {

void ServerLink::BeginCall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_running;
}

void ServerLink::EndCall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_running == 0)
        m_broken.store(false);
}

bool ServerLink::Break()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running == 0)
        return false;
    m_broken.store(true);
    m_wake.notify_all();
    return true;
}

// Sleeps on the condition for all but the last two milliseconds, which it spends yielding, so
// that short waits keep their length to the microsecond on a coarse system timer.
ServerLink::WaitOutcome ServerLink::Wait(unsigned long long microseconds,
                                         unsigned long long deadline)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::microseconds(microseconds);
    for (;;) {
        if (m_broken.load())
            return WaitOutcome::kBroken;
        if (deadline != 0 && host::MonotonicMilliseconds() >= deadline)
            return WaitOutcome::kDeadline;
        Clock::time_point now = Clock::now();
        if (now >= end)
            return WaitOutcome::kWaited;
        Clock::duration remaining = end - now;
        if (remaining > std::chrono::milliseconds(2)) {
            Clock::duration slice = remaining - std::chrono::milliseconds(1);
            if (deadline != 0) {
                unsigned long long tick = host::MonotonicMilliseconds();
                Clock::duration untilDeadline =
                    std::chrono::milliseconds(deadline > tick ? deadline - tick : 0);
                if (untilDeadline < slice)
                    slice = untilDeadline;
            }
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, slice, [this] { return m_broken.load(); });
        } else {
            std::this_thread::yield();
        }
    }
}

}  // namespace ocilite
