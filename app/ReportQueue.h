// ReportQueue.h
//
// How the worker's log lines and progress reach the window without a message per line.
//   ReportBatch  - what the window takes in one go: the lines in order, the newest progress,
//                  and whether the job's last line is among them.
//   ReportQueue  - the one queue of the process, tagged with the job it currently belongs to.
//                  The worker appends lines and progress of its job; the window thread takes
//                  everything queued at once. Lines of any other job (a stopped one, or one
//                  that a later Start replaced) are dropped on arrival, and Stop drops what is
//                  already queued.
//
// Waking the window: the worker posts the wake message it was told at BeginJob (the dialog's
// registered "ADD_STR_MESSAGE") to the window it was told when the queue goes
// from empty to non-empty and no wake is outstanding. The window, having taken a batch, keeps
// the wake outstanding and looks again after kRecheckMs (a timer, see OnDrained): while lines
// keep coming it takes them at that pace without any further message, and once it finds the
// queue empty the next line posts again. The job's last line and a line before a message box
// wake it at once.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct ReportBatch {
    // The job the reports belong to.
    unsigned nJob = 0;
    // The lines, each followed by a zero byte, and where each begins.
    std::string text;
    std::vector<std::uint32_t> starts;
    bool bProgress = false;
    int nObjectPercent = 0;
    int nTotalPercent = 0;
    // The job's last line is the batch's last line: the job has ended.
    bool bEnded = false;

    int LineCount() const { return int(starts.size()); }
    const char* Line(int nIndex) const { return text.data() + starts[size_t(nIndex)]; }
    bool IsEmpty() const { return starts.empty() && !bProgress && !bEnded; }
    void Clear();
};

class ReportQueue {
public:
    // How often the window looks again while lines keep coming.
    static constexpr UINT kRecheckMs = 40;
    // The timer the window sets for that (any window that takes batches).
    static constexpr UINT_PTR kRecheckTimer = 0x5143;
    // Lines the worker may have queued before it waits for the window to take them.
    // It bounds the work of one batch (and so the dialog's latency) and the queue's memory.
    static constexpr int kMaxQueuedLines = 16384;

    static ReportQueue& Instance();

    // ---- Window thread ----
    // A new job: whatever is queued is dropped; only nJob's reports are taken from now on, by
    // hConsumer, woken with uWakeMessage (none: nobody is woken, the taker polls).
    void BeginJob(unsigned nJob, HWND hConsumer = nullptr, UINT uWakeMessage = 0);
    // On the consumer's thread: has it take what is queued now (before a message box).
    void DeliverNow();
    // Stop: everything queued is dropped and nothing more is taken.
    void Stop();
    // Takes everything queued (swapping storage with batch); false when there was nothing.
    bool Take(ReportBatch& batch);
    // After the window handled a wake or its timer with hWnd: keeps looking every kRecheckMs
    // while lines come, and lets the next line post a wake once the queue is empty.
    void OnDrained(HWND hWnd, bool bTookSomething);
    // The blocks the current job has written so far (for the window's own line at Stop).
    int ObjectsWritten() const;

    // ---- Worker ----
    // Waits while the queue is full; false once nJob is no longer the queue's job.
    bool WaitForRoom(unsigned nJob);
    // Appends one line (nLength bytes at pText, no zero needed); bLast marks the job's end.
    void AddLine(unsigned nJob, const char* pText, int nLength, bool bLast = false);
    void SetProgress(unsigned nJob, int nObjectPercent, int nTotalPercent);
    void SetObjectsWritten(unsigned nJob, int nCount);
    // Wakes the window at once (before a message box), and waits up to nTimeoutMs until it
    // has taken what is queued.
    void Flush(unsigned nJob, DWORD nTimeoutMs);

private:
    ReportQueue() = default;
    // The lock must be held: posts a wake unless one is out.
    void WakeLocked(bool bNow);

    mutable std::mutex m_mutex;
    std::condition_variable m_taken;
    unsigned m_nJob = 0;
    HWND m_hConsumer = nullptr;
    UINT m_uWakeMessage = 0;
    ReportBatch m_batch;
    bool m_bWakeOut = false;
    int m_nObjectsWritten = 0;
};
