// ExportWorker.cpp
//
//   WindowJob       - one job of the main dialog: its number, its parameters copied from the job
//                     record when it starts, and how it shows messages.
//   RecordReporter  - the engine's reporter for the window: the report queue, the stop and
//                     hold gate, and the message box on the worker's thread.
#include "app/ExportWorker.h"

#include <cstring>
#include <memory>

#include "export/ExportEngine.h"
#include "export/ExportTexts.h"
#include "export/OutputFile.h"
#include "framework/Barrier.h"
#include "framework/Text.h"
#include "app/JobControl.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"

namespace {

// How long a worker about to show a message waits for the window to show the lines before it.
constexpr DWORD kFlushTimeoutMs = 2000;

struct WindowJob {
    unsigned nJob = 0;
    ExportParams params;
    // The single file the job writes.
    std::wstring strFileName;
    ShowMessageFn pfnShowMessage = nullptr;

    // Window thread, while the parameters cannot change.
    static std::unique_ptr<WindowJob> FromRecord(unsigned nJob, ShowMessageFn pfnShowMessage)
    {
        auto job = std::make_unique<WindowJob>();
        job->nJob = nJob;
        job->pfnShowMessage = pfnShowMessage;
        // The record holds UTF-8, as the session speaks it.
        job->params.strUser = g_strUser;
        job->params.strPassword = g_strPassword;
        job->params.strDatabase = g_strDatabase;
        job->params.bSysdba = g_bSysdba != 0;
        job->strFileName = g_strFileName;
        if (g_bAllObjects == 0)
            job->params.objectNames.push_back(g_strExportObject);
        job->params.interrupt = std::make_shared<DBInterrupt>();
        return job;
    }
};

class RecordReporter : public ExportReporter {
public:
    explicit RecordReporter(const WindowJob& job) : m_job(job) {}

    bool KeepGoing() override { return JobControl::WaitWhileHeld(m_job.nJob); }

    bool Guarded(const std::function<void()>& step) override
    {
        CJobSection section(m_job.nJob);
        if (!section.IsOpen())
            return false;
        step();
        return true;
    }

    void LogLine(const CString& strLine) override { AddLogText(Shown(strLine), 0); }

    void LogSource(const char* pText, int nLength) override
    {
        // Most source is ASCII, shown as it is: no line is copied to be recoded.
        if (IsAscii(pText, nLength)) {
            AddLogChars(pText, nLength, 1);
            return;
        }
        const CString strShown = Shown(CString(pText, nLength));
        AddLogChars(strShown.GetString(), strShown.GetLength(), 1);
    }

    void SourceEnds() override { ShowPendingLine(); }

    void Progress(int nObjectPercent, int nTotalPercent) override
    {
        CJobSection section(m_job.nJob);
        if (section.IsOpen())
            ReportQueue::Instance().SetProgress(m_job.nJob, nObjectPercent, nTotalPercent);
    }

    // Inside the guarded write, so the count the window reads at Stop is exact.
    void ObjectWritten(const ExportObjectId&, int, int) override
    {
        ReportQueue::Instance().SetObjectsWritten(m_job.nJob, ++m_nWritten);
    }

    // The log is brought up to date first, so the box never appears before the lines that
    // led to it.
    void Message(const CString& strText) override
    {
        ReportQueue::Instance().Flush(m_job.nJob, kFlushTimeoutMs);
        if (!JobControl::WaitWhileHeld(m_job.nJob) || m_job.pfnShowMessage == nullptr)
            return;
        m_job.pfnShowMessage(Shown(strText));
    }

    // The log's last lines: what the message said (a failed logon and an object not found
    // have lines of their own), or an empty line after a run that was done.
    void Finish(const ExportEnding& ending) override
    {
        std::vector<CString> lines = ending.ClosingLines();
        if (lines.empty() && ending.Failed() && ending.result != ExportResult::NothingToExport)
            lines = ending.MessageLines();
        if (lines.empty())
            lines = {""};
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            AddLogText(Shown(lines[i]), 0);
        AddLastLogLine(Shown(lines.back()));
    }

private:
    // The engine's texts are UTF-8; the log and the box show the system's code page.
    static CString Shown(const CString& strText) { return Recode(strText, CP_UTF8, CP_ACP); }

    const WindowJob& m_job;
    int m_nWritten = 0;
};

}  // namespace

DWORD WINAPI UploadThreadProc(LPVOID pParameter)
{
    std::unique_ptr<WindowJob> job(static_cast<WindowJob*>(pParameter));
    if (!job)
        return 1;
    CWorkerThreadJob threadJob(job->nJob);
    // An exception must not leave this routine: it would end the whole program.
    try {
        CJobSection section(job->nJob);
        if (!section.IsOpen())
            return 0;
        g_bPendingLine = 0;
    } catch (...) {
        RecordCaughtException("export worker, job start");
        return 1;
    }
    try {
        OutputFile file(job->strFileName);
        RecordReporter reporter(*job);
        RunExport(job->params, file, reporter);
    } catch (...) {
        RecordCaughtException("export worker");
        try {
            AddLastLogLine("Unexpected failure while exporting.");
        } catch (...) {
            RecordCaughtException("export worker, last line");
        }
        return 1;
    }
    return 0;
}

namespace {

// The running job's interrupt, for Stop; used on the window thread only, and never destroyed
// (a worker may outlive WinMain; it holds its own reference).
std::shared_ptr<DBInterrupt>& RunningInterrupt()
{
    static auto* const pInterrupt = new std::shared_ptr<DBInterrupt>;
    return *pInterrupt;
}

}  // namespace

void InterruptRunningJob(const ThreadStarter& startThread)
{
    std::shared_ptr<DBInterrupt> interrupt = std::move(RunningInterrupt());
    // Seen at once by the worker's own checks; the break itself travels off this thread, or on
    // it when no thread can be started.
    DeliverBreak(interrupt, startThread);
}

HANDLE StartUploadThread(ShowMessageFn pfnShowMessage, HWND hConsumer, UINT uWakeMessage,
                         const ThreadStarter& startThread, DWORD* pnError)
{
    const unsigned nJob = JobControl::BeginJob();
    ReportQueue::Instance().BeginJob(nJob, hConsumer, uWakeMessage);
    auto job = WindowJob::FromRecord(nJob, pfnShowMessage);
    RunningInterrupt() = job->params.interrupt;
    g_bRunning = 1;
    WindowJob* pJob = job.get();
    ThreadStart start = startThread([pJob] { UploadThreadProc(pJob); });
    if (pnError != nullptr)
        *pnError = start.nError;
    if (!start.Started()) {
        // No job runs: nothing of it may linger for the next one.
        ReportQueue::Instance().Stop();
        JobControl::Stop();
        RunningInterrupt().reset();
        g_bRunning = 0;
        return nullptr;
    }
    job.release();
    if (g_hWorkerThread != nullptr)
        ::CloseHandle(g_hWorkerThread);
    g_hWorkerThread = start.hThread.Release();
    return g_hWorkerThread;
}
