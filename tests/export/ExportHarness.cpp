// ExportHarness.cpp
#include "tests/export/ExportHarness.h"

#include <cstring>

#include <gtest/gtest.h>

#include "app/ExportWorker.h"
#include "dialogs/AppMessageBox.h"
#include "export/ExportEngine.h"
#include "app/JobControl.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"
#include "framework/Text.h"
#include "framework/WinApp.h"

// The test program's application object; its main window is the LogWindow.
CWinApp theApp("export_tests");

namespace ExportTest {

namespace {

const char kWindowClass[] = "QuillmarkExportTestWindow";

// The main window as the application object sees it.
CWnd& MainWndObject()
{
    static CWnd wnd;
    return wnd;
}

}  // namespace

// ---- LogWindow ----

LogWindow& LogWindow::Instance()
{
    static LogWindow window;
    return window;
}

LogWindow::LogWindow()
{
    PrepareEngineTest();
    WNDCLASSA wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);
    m_hWnd = ::CreateWindowExA(0, kWindowClass, "Quillmark export test", WS_OVERLAPPEDWINDOW, 0, 0,
                               200, 100, nullptr, nullptr, wc.hInstance, this);
    g_uAddStrMsg = ::RegisterWindowMessageA("ADD_STR_MESSAGE");
    g_uProgressMsg = ::RegisterWindowMessageA("PROGRESS_MESSAGE");
    MainWndObject().Attach(m_hWnd);
    AfxGetApp()->m_pMainWnd = &MainWndObject();
}

void LogWindow::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
    m_progress.clear();
    m_nLines = 0;
    m_nProgress = 0;
    m_nBatches = 0;
    m_bIdle = false;
    onLine = nullptr;
}

std::vector<std::string> LogWindow::Lines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::vector<std::pair<int, int>> LogWindow::Progress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_progress;
}

LRESULT CALLBACK LogWindow::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pWindow = reinterpret_cast<LogWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    bool bHandled = false;
    if (pWindow != nullptr) {
        LRESULT result = pWindow->Handle(message, wParam, lParam, bHandled);
        if (bHandled)
            return result;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// The dialog's handling of the worker's reports: a wake (or the recheck timer) takes the whole
// queue; the lines are recorded in order, the newest progress once per batch, and the job's
// last line makes the window idle.
LRESULT LogWindow::Handle(UINT message, WPARAM wParam, LPARAM, bool& bHandled)
{
    if (message == 0)
        return 0;
    const bool bWake = message == g_uAddStrMsg;
    const bool bTimer = message == WM_TIMER && wParam == ReportQueue::kRecheckTimer;
    if (!bWake && !bTimer)
        return 0;
    bHandled = true;
    ReportQueue& queue = ReportQueue::Instance();
    ReportBatch batch;
    const bool bTook = queue.Take(batch);
    queue.OnDrained(m_hWnd, bTook);
    if (!bTook)
        return 0;
    ++m_nBatches;
    if (batch.bProgress) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_progress.emplace_back(batch.nObjectPercent, batch.nTotalPercent);
        ++m_nProgress;
    }
    for (int i = 0; i < batch.LineCount(); ++i) {
        std::string strLine = batch.Line(i);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (batch.bEnded && i + 1 == batch.LineCount())
                m_bIdle = true;
            m_lines.push_back(strLine);
            ++g_nLogLines;
            ++m_nLines;
        }
        if (onLine)
            onLine(strLine);
        // A Stop from inside the handler (which the dialog's user cannot do) drops the rest.
        if (batch.nJob != 0 && !JobControl::IsCurrent(batch.nJob))
            break;
    }
    return 0;
}

void LogWindow::DrainNow()
{
    ::SendMessageA(m_hWnd, g_uAddStrMsg, 0, 0);
}

// ---- Jobs ----

void PrepareTest()
{
    LogWindow::Instance();
    PrepareEngineTest();
}

void StartJob(const Job& job)
{
    LogWindow& window = LogWindow::Instance();
    window.Reset();
    g_strUser = job.strUser.c_str();
    g_strPassword = job.strPassword.c_str();
    g_strDatabase = job.strDatabase.c_str();
    g_bSysdba = job.bSysdba;
    g_strFileName = ToWide(job.strFile);
    g_bAllObjects = job.strObject.empty() ? 1 : 0;
    std::memset(g_szObjectName, 0, sizeof(g_szObjectName));
    std::strncpy(g_szObjectName, job.strObject.c_str(), sizeof(g_szObjectName) - 1);
    g_strExportObject = job.strObject.c_str();
    g_nLogLines = 0;
    g_bRunning = 1;
    ASSERT_NE(StartUploadThread(ShowAppMessage, window.Handle(), g_uAddStrMsg), nullptr);
}

void RunMessages(DWORD nMs, const std::function<bool()>& stop)
{
    const DWORD nStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        // The condition is looked at after every message: the worker refills the queue as
        // fast as the window empties it, so draining first could run a whole job past it.
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            if (stop && stop())
                return;
        }
        if (stop && stop())
            return;
        const DWORD nElapsed = ::GetTickCount() - nStart;
        if (nElapsed >= nMs)
            return;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool RunUntilIdle(DWORD nTimeoutMs)
{
    LogWindow& window = LogWindow::Instance();
    RunMessages(nTimeoutMs, [&] { return window.IsIdle(); });
    return window.IsIdle();
}

bool WaitForWorker(DWORD nTimeoutMs)
{
    if (g_hWorkerThread == nullptr)
        return true;
    const DWORD nStart = ::GetTickCount();
    for (;;) {
        if (::WaitForSingleObject(g_hWorkerThread, 0) == WAIT_OBJECT_0)
            return true;
        if (::GetTickCount() - nStart >= nTimeoutMs)
            return false;
        RunMessages(10);
    }
}

bool RunJob(const Job& job, DWORD nTimeoutMs)
{
    StartJob(job);
    const bool bIdle = RunUntilIdle(nTimeoutMs);
    return WaitForWorker() && bIdle;
}

}  // namespace ExportTest
