// JobRecord.cpp
//
// The job record's storage, AddLogText and the window thread's stop and hold requests.
#include "app/JobRecord.h"

#include <cstring>

#include "app/ExportWorker.h"
#include "app/JobControl.h"
#include "app/ReportQueue.h"

int g_bRunning = 0;
char g_szPendingLine[kPendingLineSize] = {};
int g_bPendingLine = 0;

int g_nLogLines = 0;
UINT g_uProgressMsg = 0;
UINT g_uAddStrMsg = 0;
HANDLE g_hWorkerThread = nullptr;

namespace {

// Every complete line is queued behind the text held back so far; what follows the last line
// feed is held back. The held-back text is cut to its buffer, which takes the longest text the
// worker logs.
void AddSplitLines(const char* pText, int nLength, unsigned nJob)
{
    ReportQueue& queue = ReportQueue::Instance();
    std::string strJoined;
    int nPos = 0;
    for (;;) {
        const void* pFound = std::memchr(pText + nPos, '\n', size_t(nLength - nPos));
        if (pFound == nullptr)
            break;
        const int nBreak = int(static_cast<const char*>(pFound) - pText);
        if (nJob != 0 && !queue.WaitForRoom(nJob))
            return;
        CJobSection section(nJob);
        if (!section.IsOpen())
            return;
        if (g_bPendingLine == 1) {
            strJoined.assign(g_szPendingLine);
            strJoined.append(pText + nPos, size_t(nBreak - nPos));
            queue.AddLine(nJob, strJoined.data(), int(strJoined.size()));
            g_bPendingLine = 0;
        } else {
            queue.AddLine(nJob, pText + nPos, nBreak - nPos);
        }
        nPos = nBreak + 1;
    }
    CJobSection section(nJob);
    if (!section.IsOpen())
        return;
    // A text without a line feed joins the text held back before it.
    const int nKept = nPos == 0 && g_bPendingLine == 1 ? int(std::strlen(g_szPendingLine)) : 0;
    int nRest = nLength - nPos;
    if (nRest > kPendingLineSize - 1 - nKept)
        nRest = kPendingLineSize - 1 - nKept;
    if (nRest < 0)
        nRest = 0;
    std::memcpy(g_szPendingLine + nKept, pText + nPos, size_t(nRest));
    g_szPendingLine[nKept + nRest] = '\0';
    g_bPendingLine = 1;
}

}  // namespace

void AddLogChars(const char* pText, int nLength, int bSplitLines)
{
    const unsigned nJob = CWorkerThreadJob::Current();
    if (bSplitLines != 0) {
        AddSplitLines(pText, nLength, nJob);
        return;
    }
    if (nJob != 0 && !ReportQueue::Instance().WaitForRoom(nJob))
        return;
    CJobSection section(nJob);
    if (section.IsOpen())
        ReportQueue::Instance().AddLine(nJob, pText, nLength);
}

void ShowPendingLine()
{
    const unsigned nJob = CWorkerThreadJob::Current();
    if (g_bPendingLine != 1)
        return;
    if (nJob != 0 && !ReportQueue::Instance().WaitForRoom(nJob))
        return;
    CJobSection section(nJob);
    if (!section.IsOpen())
        return;
    const std::string strHeld(g_szPendingLine);
    g_bPendingLine = 0;
    if (!strHeld.empty())
        ReportQueue::Instance().AddLine(nJob, strHeld.data(), int(strHeld.size()));
}

void AddLogText(const CString& text, int bSplitLines)
{
    AddLogChars(text.GetString(), text.GetLength(), bSplitLines);
}

void AddLastLogLine(const CString& text)
{
    const unsigned nJob = CWorkerThreadJob::Current();
    CJobSection section(nJob);
    if (!section.IsOpen())
        return;
    g_bRunning = 0;
    ReportQueue::Instance().AddLine(nJob, text.GetString(), text.GetLength(), true);
}

void RequestWorkerStop(const ThreadStarter& startThread)
{
    ReportQueue::Instance().Stop();
    JobControl::Stop();
    // A worker waiting in a database call (a slow link) returns from it now.
    InterruptRunningJob(startThread);
}

// The lines queued before the hold are handed to the window before the caller's message
// appears, so the log shows everything the held worker did.
void HoldWorker()
{
    JobControl::Hold();
    ReportQueue::Instance().DeliverNow();
}

void ReleaseWorker()
{
    JobControl::Release();
}
