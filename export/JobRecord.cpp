// JobRecord.cpp
//
// The job record's storage, AddLogText and the window thread's stop and hold requests.
#include "export/JobRecord.h"

#include <cstring>

#include "export/JobControl.h"
#include "framework/WinApp.h"

CString g_strUser;
CString g_strPassword;
CString g_strDatabase;
int g_bSysdba = 0;
CString g_strFileName;
int g_bAllObjects = 0;
char g_szObjectName[kObjectNameSize] = {};

int g_bRunning = 0;
int g_nTotalPercent = 0;
int g_nObjectPercent = 0;
CString g_strLogLine;
char g_szPendingLine[kPendingLineSize] = {};
int g_bPendingLine = 0;

int g_nLogLines = 0;
UINT g_uProgressMsg = 0;
UINT g_uAddStrMsg = 0;
HANDLE g_hWorkerThread = nullptr;

void SendToMainWindow(unsigned uMessage)
{
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr && pMainWnd->m_hWnd != nullptr)
        ::SendMessageA(pMainWnd->m_hWnd, uMessage, 0, 0);
}

namespace {

// Runs inside an open section: one line to the log list.
void DeliverLogLine(const CString& line)
{
    g_strLogLine = line;
    SendToMainWindow(g_uAddStrMsg);
}

// Runs for split texts: every complete line goes out behind the text held back so far; what
// follows the last line feed is held back. The held-back text is cut to its buffer, which takes
// the longest text the worker logs. The line is built in g_strLogLine itself, which keeps its
// storage from line to line.
void AddSplitLines(const char* pText, int nLength, unsigned nJob)
{
    int nPos = 0;
    for (;;) {
        const void* pFound = std::memchr(pText + nPos, '\n', size_t(nLength - nPos));
        if (pFound == nullptr)
            break;
        const int nBreak = int(static_cast<const char*>(pFound) - pText);
        CJobSection section(nJob);
        if (!section.IsOpen())
            return;
        g_strLogLine.Empty();
        if (g_bPendingLine == 1) {
            g_strLogLine += g_szPendingLine;
            g_bPendingLine = 0;
        }
        g_strLogLine.Append(pText + nPos, nBreak - nPos);
        nPos = nBreak + 1;
        SendToMainWindow(g_uAddStrMsg);
    }
    if (nPos == 0)
        return;
    CJobSection section(nJob);
    if (!section.IsOpen())
        return;
    int nRest = nLength - nPos;
    if (nRest > kPendingLineSize - 1)
        nRest = kPendingLineSize - 1;
    std::memcpy(g_szPendingLine, pText + nPos, size_t(nRest));
    g_szPendingLine[nRest] = '\0';
    g_bPendingLine = 1;
}

}  // namespace

void AddLogText(const CString& text, int bSplitLines)
{
    const unsigned nJob = CWorkerThreadJob::Current();
    if (bSplitLines != 0) {
        AddSplitLines(text.GetString(), text.GetLength(), nJob);
        return;
    }
    CJobSection section(nJob);
    if (section.IsOpen())
        DeliverLogLine(text);
}

void AddLogChars(const char* pText, int nLength)
{
    AddSplitLines(pText, nLength, CWorkerThreadJob::Current());
}

void RequestWorkerStop()
{
    JobControl::Stop();
}

void HoldWorker()
{
    JobControl::Hold();
}

void ReleaseWorker()
{
    JobControl::Release();
}
