// JobControl.cpp
//
// One lock and one condition guard the job number and the hold count. A worker keeps the lock
// across a write to shared state and the SendMessage that hands it to the dialog, so a stop or
// a hold cannot fall between its check and its write. The window thread takes the same lock
// only for a moment; while it waits for it, it handles the messages a worker sends it, which is
// all a worker holding the lock can be waiting for.
#include "export/JobControl.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace {

struct JobGate {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned nCurrentJob = 0;  // 0: no job is current
    unsigned nLastJob = 0;
    int nHolds = 0;
};

// The one gate of the process; built on first use, from whichever thread comes first.
JobGate& Gate()
{
    static JobGate gate;
    return gate;
}

thread_local unsigned t_nThreadJob = 0;

// Runs on the window thread (and on a worker that begins its own job): takes the gate's lock,
// handling any message a worker sends this thread while it waits, since that worker may hold
// the lock until the message has been handled.
std::unique_lock<std::mutex> LockServingMessages()
{
    JobGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.mutex, std::try_to_lock);
    while (!lock.owns_lock()) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        lock.try_lock();
    }
    return lock;
}

}  // namespace

namespace JobControl {

unsigned BeginJob()
{
    JobGate& gate = Gate();
    unsigned nJob;
    {
        std::unique_lock<std::mutex> lock = LockServingMessages();
        if (++gate.nLastJob == 0)
            ++gate.nLastJob;
        nJob = gate.nCurrentJob = gate.nLastJob;
    }
    gate.changed.notify_all();
    return nJob;
}

void Stop()
{
    JobGate& gate = Gate();
    {
        std::unique_lock<std::mutex> lock = LockServingMessages();
        gate.nCurrentJob = 0;
    }
    gate.changed.notify_all();
}

void Hold()
{
    std::unique_lock<std::mutex> lock = LockServingMessages();
    ++Gate().nHolds;
}

void Release()
{
    JobGate& gate = Gate();
    {
        std::unique_lock<std::mutex> lock = LockServingMessages();
        if (gate.nHolds > 0)
            --gate.nHolds;
    }
    gate.changed.notify_all();
}

bool WaitWhileHeld(unsigned nJob)
{
    if (nJob == 0)
        return true;
    JobGate& gate = Gate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.changed.wait(lock, [&] { return gate.nHolds == 0 || gate.nCurrentJob != nJob; });
    return gate.nCurrentJob == nJob;
}

bool IsCurrent(unsigned nJob)
{
    JobGate& gate = Gate();
    std::lock_guard<std::mutex> lock(gate.mutex);
    return nJob != 0 && gate.nCurrentJob == nJob;
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
    gate.changed.wait(lock, [&] { return gate.nHolds == 0 || gate.nCurrentJob != nJob; });
    if (gate.nCurrentJob != nJob)
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
