// ServerLink.h
//
// ServerLink: the simulated network link of one server handle, shared by the sessions begun on
// it, and the one place where a call waits for the server. A call that talks to the server
// (an execute, a fetch's round trip) runs between BeginCall and EndCall; OCIBreak, from any
// thread, breaks the calls running then: their waits end at once, their SQLite work stops at
// its next progress check, and they return ORA-01013 after the break's own round trip. A break
// while no call runs does nothing. Waits sleep on a condition, so a break ends them at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace ocilite {

class ServerLink {
public:
    ServerLink() = default;
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    void BeginCall();
    // The last call to end clears a break that came during it.
    void EndCall();

    // Breaks the calls running now; false when none was.
    bool Break();
    bool IsBroken() const { return m_broken.load(); }

    enum class WaitOutcome { kWaited, kBroken, kDeadline };

    // Waits microseconds, or less when a break comes or the deadline (a host::MonotonicMilliseconds value,
    // 0 for none) passes first.
    WaitOutcome Wait(unsigned long long microseconds, unsigned long long deadline);

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_running = 0;  // calls between BeginCall and EndCall
    std::atomic<bool> m_broken{false};
};

}  // namespace ocilite
