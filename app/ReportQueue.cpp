// ReportQueue.cpp
#include "app/ReportQueue.h"

#include <chrono>

namespace {

// A waiting worker posts the wake again this often, in case the window missed it.
constexpr std::chrono::milliseconds kRoomRecheck(100);

}  // namespace

void ReportBatch::Clear()
{
    text.clear();
    starts.clear();
    bProgress = false;
    bEnded = false;
}

// Never destroyed: a stopped worker may still reach it after WinMain has returned.
ReportQueue& ReportQueue::Instance()
{
    static ReportQueue* const pQueue = new ReportQueue;
    return *pQueue;
}

void ReportQueue::BeginJob(unsigned nJob, HWND hConsumer, UINT uWakeMessage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nJob = nJob;
    m_hConsumer = hConsumer;
    m_uWakeMessage = uWakeMessage;
    m_batch.Clear();
    m_bWakeOut = false;
    m_nObjectsWritten = 0;
    m_taken.notify_all();
}

void ReportQueue::Stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nJob = 0;
    m_batch.Clear();
    m_bWakeOut = false;
    m_taken.notify_all();
}

// The window takes the whole queue in O(1): the storage of the two batches is swapped, so
// neither side allocates again once both have grown to the size of a batch. When the queue
// is found empty the wake counts as answered, so the worker's next line posts a new one.
bool ReportQueue::Take(ReportBatch& batch)
{
    batch.Clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_batch.IsEmpty()) {
        m_bWakeOut = false;
        return false;
    }
    std::swap(batch, m_batch);
    batch.nJob = m_nJob;
    m_taken.notify_all();
    return true;
}

void ReportQueue::OnDrained(HWND hWnd, bool bTookSomething)
{
    if (bTookSomething)
        ::SetTimer(hWnd, kRecheckTimer, kRecheckMs, nullptr);
    else
        ::KillTimer(hWnd, kRecheckTimer);
}

int ReportQueue::ObjectsWritten() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nObjectsWritten;
}

bool ReportQueue::WaitForRoom(unsigned nJob)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nJob == nJob && m_batch.LineCount() >= kMaxQueuedLines) {
        // Without a window nobody takes the lines: let the queue grow rather than hang.
        if (m_hConsumer == nullptr)
            return true;
        WakeLocked(true);
        m_taken.wait_for(lock, kRoomRecheck);
    }
    return m_nJob == nJob;
}

void ReportQueue::AddLine(unsigned nJob, const char* pText, int nLength, bool bLast)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nJob != m_nJob)
        return;
    m_batch.starts.push_back(std::uint32_t(m_batch.text.size()));
    if (nLength > 0)
        m_batch.text.append(pText, size_t(nLength));
    m_batch.text.push_back('\0');
    if (bLast)
        m_batch.bEnded = true;
    WakeLocked(bLast);
}

void ReportQueue::SetProgress(unsigned nJob, int nObjectPercent, int nTotalPercent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nJob != m_nJob)
        return;
    m_batch.bProgress = true;
    m_batch.nObjectPercent = nObjectPercent;
    m_batch.nTotalPercent = nTotalPercent;
    WakeLocked(false);
}

void ReportQueue::SetObjectsWritten(unsigned nJob, int nCount)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nJob == m_nJob)
        m_nObjectsWritten = nCount;
}

void ReportQueue::Flush(unsigned nJob, DWORD nTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (nJob != m_nJob || m_batch.IsEmpty())
        return;
    WakeLocked(true);
    m_taken.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                     [&] { return nJob != m_nJob || m_batch.IsEmpty(); });
}

void ReportQueue::WakeLocked(bool bNow)
{
    if (m_bWakeOut && !bNow)
        return;
    if (m_hConsumer != nullptr && m_uWakeMessage != 0 &&
        ::PostMessageA(m_hConsumer, m_uWakeMessage, 0, 0))
        m_bWakeOut = true;
}

void ReportQueue::DeliverNow()
{
    HWND hConsumer = nullptr;
    UINT uWakeMessage = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        hConsumer = m_hConsumer;
        uWakeMessage = m_uWakeMessage;
    }
    if (hConsumer != nullptr && uWakeMessage != 0 &&
        ::GetWindowThreadProcessId(hConsumer, nullptr) == ::GetCurrentThreadId())
        ::SendMessageA(hConsumer, uWakeMessage, 0, 0);
}
