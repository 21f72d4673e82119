// JobControl.cpp
//
// The job number and the hold count are atomics that the window thread changes at once. A
// worker checks them inside the gate's lock and keeps the lock across its write to shared
// state (the report queue, the output file). After changing them, the window thread takes the
// lock once and lets it go ("drains"): a worker that passed its check just before the change
// finishes its step first. So when Stop or Hold returns, nothing of the job reaches the queue
// or the file any more. While it waits the window thread still handles messages sent to it,
// so no thread that sends to it can deadlock with it.
//
// Inside the handler of a message sent to the window (InSendMessage) the sender may be the
// worker in the middle of a step; the window thread then skips the drain, and the worker sees
// the change at its next check.
#include "app/JobControl.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct JobGate {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<unsigned> nCurrentJob{0};  // 0: no job is current
    std::atomic<unsigned> nLastJob{0};
    std::atomic<int> nHolds{0};
};

// The one gate of the process; built on first use, from whichever thread comes first, and
// never destroyed: a stopped worker may still reach it after WinMain has returned.
JobGate& Gate()
{
    static JobGate* const pGate = new JobGate;
    return *pGate;
}

// A waiting worker looks at the state again at least this often, so a change made between its
// check and its wait is never missed for long.
constexpr std::chrono::milliseconds kRecheckInterval(20);

thread_local unsigned t_nThreadJob = 0;

// Window thread, after every change: takes the gate's lock once, handling the messages a
// worker sends meanwhile, and lets it go again.
void Drain()
{
    JobGate& gate = Gate();
    gate.changed.notify_all();
    if (::InSendMessage())
        return;
    std::unique_lock<std::mutex> lock(gate.mutex, std::try_to_lock);
    while (!lock.owns_lock()) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        lock.try_lock();
    }
    lock.unlock();
    gate.changed.notify_all();
}

// On a worker, with the gate's lock held: waits while nJob is held; true if nJob is current.
bool WaitOutHold(JobGate& gate, std::unique_lock<std::mutex>& lock, unsigned nJob)
{
    for (;;) {
        if (gate.nCurrentJob.load() != nJob)
            return false;
        if (gate.nHolds.load() == 0)
            return true;
        gate.changed.wait_for(lock, kRecheckInterval);
    }
}

}  // namespace

namespace JobControl {

unsigned BeginJob()
{
    JobGate& gate = Gate();
    unsigned nJob = ++gate.nLastJob;
    if (nJob == 0)
        nJob = ++gate.nLastJob;
    gate.nCurrentJob.store(nJob);
    Drain();
    return nJob;
}

void Stop()
{
    Gate().nCurrentJob.store(0);
    Drain();
}

void Hold()
{
    ++Gate().nHolds;
    Drain();
}

void Release()
{
    JobGate& gate = Gate();
    int nHolds = gate.nHolds.load();
    while (nHolds > 0 && !gate.nHolds.compare_exchange_weak(nHolds, nHolds - 1)) {
    }
    gate.changed.notify_all();
}

bool WaitWhileHeld(unsigned nJob)
{
    if (nJob == 0)
        return true;
    JobGate& gate = Gate();
    if (gate.nHolds.load() == 0)
        return gate.nCurrentJob.load() == nJob;
    std::unique_lock<std::mutex> lock(gate.mutex);
    return WaitOutHold(gate, lock, nJob);
}

bool IsCurrent(unsigned nJob)
{
    return nJob != 0 && Gate().nCurrentJob.load() == nJob;
}

}  // namespace JobControl

CJobSection::CJobSection(unsigned nJob)
{
    if (nJob == 0) {
        m_bOpen = true;
        return;
    }
    JobGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    if (!WaitOutHold(gate, lock, nJob))
        return;
    lock.release();
    m_bOpen = true;
    m_bLocked = true;
}

CJobSection::~CJobSection()
{
    if (m_bLocked)
        Gate().mutex.unlock();
}

CWorkerThreadJob::CWorkerThreadJob(unsigned nJob)
{
    t_nThreadJob = nJob;
}

CWorkerThreadJob::~CWorkerThreadJob()
{
    t_nThreadJob = 0;
}

unsigned CWorkerThreadJob::Current()
{
    return t_nThreadJob;
}
