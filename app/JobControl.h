// JobControl.h
//
// The identity of export jobs and the gate through which a worker reaches shared state.
//   JobControl       - the job numbers, the stop and the hold requests. The window thread
//                      begins, stops and holds jobs; a worker asks whether its job is still
//                      the current one and waits out a hold.
//   CJobSection      - one step of a worker that touches shared state: a write to the job
//                      record, the report queue or the output file. It opens only for the current, unheld job, and while it is open no
//                      stop or hold can come between the check and the write.
//   CWorkerThreadJob - binds the calling thread to its job number, so that AddLogText, which
//                      has no job parameter, knows which job it speaks for.
//
// Every job gets a number when it begins; stopping a job or beginning the next one makes the
// old number stale, and a worker with a stale number writes nothing more anywhere. The window
// thread never waits for a worker: it only lets a message that a worker is delivering at that
// moment through, handling it while it waits.
#pragma once

namespace JobControl {

// On the window thread (or on a worker started without a number): the new job becomes the
// current one and any earlier job counts as stopped. Never returns 0.
// BeginJob, Stop and Hold return once no worker is in the middle of a step that the change
// should have prevented.
unsigned BeginJob();
// On the window thread: afterwards no job is current.
void Stop();
// On the window thread, around the close request's message; holds nest.
void Hold();
void Release();
// On a worker: waits while the job is held; false once the job is no longer current.
bool WaitWhileHeld(unsigned nJob);
// Any thread: a snapshot, for tests and diagnostics.
bool IsCurrent(unsigned nJob);

}  // namespace JobControl

class CJobSection {
public:
    // Taken on a worker before it writes shared state: waits out a hold, then opens if nJob is
    // still current. Job 0 (a thread that is no worker) always opens and guards nothing.
    explicit CJobSection(unsigned nJob);
    ~CJobSection();
    CJobSection(const CJobSection&) = delete;
    CJobSection& operator=(const CJobSection&) = delete;

    bool IsOpen() const { return m_bOpen; }

private:
    bool m_bOpen = false;
    bool m_bLocked = false;
};

class CWorkerThreadJob {
public:
    // The calling thread counts as nJob's worker until the object is destroyed.
    explicit CWorkerThreadJob(unsigned nJob);
    ~CWorkerThreadJob();
    CWorkerThreadJob(const CWorkerThreadJob&) = delete;
    CWorkerThreadJob& operator=(const CWorkerThreadJob&) = delete;

    // The job of the calling thread, or 0 on a thread that is no worker.
    static unsigned Current();
};
