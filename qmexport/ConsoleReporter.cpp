// ConsoleReporter.cpp
#include "qmexport/ConsoleReporter.h"

#include "framework/Text.h"
#include "qmexport/TemporaryFiles.h"

#include "export/ExportTexts.h"

#include "framework/Barrier.h"

#include <algorithm>
#include <cstdio>

namespace {

// The status line is redrawn at most this often, besides at each object.
constexpr std::chrono::milliseconds kStatusInterval(200);

}  // namespace

int ExitCodeOf(const ExportEnding& ending)
{
    switch (ending.result) {
    case ExportResult::Done:
        return kExitDone;
    case ExportResult::Stopped:
        return kExitStopped;
    case ExportResult::LogonFailed:
        return kExitLogon;
    case ExportResult::TargetRejected:
    case ExportResult::ListingFailed:
    case ExportResult::NothingToExport:
    case ExportResult::NoSource:
    case ExportResult::FetchFailed:
    case ExportResult::WriteFailed:
    default:
        return kExitFailed;
    }
}

// ---- StopRequest ----

std::atomic<bool>& StopRequest::MutableFlag()
{
    static std::atomic<bool> flag{false};
    return flag;
}

const std::atomic<bool>& StopRequest::Flag()
{
    return MutableFlag();
}

// Never destroyed: the console's thread may call the handler while the process exits.
std::shared_ptr<DBInterrupt>& StopRequest::Interrupt()
{
    static auto* const pInterrupt =
        new std::shared_ptr<DBInterrupt>(std::make_shared<DBInterrupt>());
    return *pInterrupt;
}

std::atomic<int>& StopRequest::MutableExitCode()
{
    static std::atomic<int> nExitCode{kExitStopped};
    return nExitCode;
}

int StopRequest::ExitCode()
{
    return MutableExitCode().load();
}

void StopRequest::Install()
{
    Console::InstallStopHandler(OnStop);
}

// On a thread of its own. Handled signals keep the process alive: the run sees the flag at its
// next step and ends between two whole file writes.
bool StopRequest::OnStop(Console::StopSignal signal)
{
    try {
        // The second one does not wait for a break travelling a dead link.
        if (MutableFlag().load())
            EndNow();
        MutableExitCode().store(Console::ExitCodeOf(signal));
        if (MutableFlag().exchange(true))
            EndNow();
        // A run waiting in a database call (a slow link) returns from it now.
        Interrupt()->Request();
        return true;
    } catch (...) {
        RecordCaughtException("console control handler");
        return false;
    }
}

std::mutex& StopRequest::WriteMutex()
{
    static auto* const pMutex = new std::mutex;  // never destroyed: held at process exit
    return *pMutex;
}

// Waits for a file write under way (a block is never left half written), removes the temporary
// files, names those it could not remove, and ends the process with the stopped exit code.
void StopRequest::EndNow()
{
    WriteMutex().lock();
    std::string strKept;
    for (const std::wstring& strPath : TemporaryFiles::RemoveAll())
        strKept += "qmexport: could not remove the temporary file " +
                   FromWide(strPath, kUtf8CodePage) + "\n";
    strKept += "Stopped.\n";
    Console::Write(Console::Stream::Error, strKept);
    Console::ExitNow(ExitCode());
}

// ---- ConsoleReporter ----

ConsoleReporter::ConsoleReporter(const std::atomic<bool>& stop, ProgressStyle style, Output errors,
                                 const ExportSink& sink)
    : m_stop(stop), m_style(style), m_errors(std::move(errors)), m_sink(sink), m_start(Clock::now())
{}

bool ConsoleReporter::KeepGoing()
{
    return !m_stop.load();
}

bool ConsoleReporter::Guarded(const std::function<void()>& step)
{
    std::lock_guard<std::mutex> lock(StopRequest::WriteMutex());
    if (m_stop.load())
        return false;
    step();
    return true;
}

void ConsoleReporter::Progress(int, int)
{
    ShowStatus(false);
}

void ConsoleReporter::ObjectsListed(int nCount)
{
    m_nObjects = nCount;
    ShowStatus(true);
}

void ConsoleReporter::ObjectBegins(const ExportObjectId&, int nIndex)
{
    m_nDone = nIndex;
    ShowStatus(true);
}

void ConsoleReporter::ObjectWritten(const ExportObjectId& object, int nIndex, int nLines)
{
    m_nDone = nIndex + 1;
    m_nLines += nLines;
    if (m_style == ProgressStyle::LinePerObject) {
        char szCount[64];
        std::snprintf(szCount, sizeof(szCount), "[%d/%d] ", m_nDone, m_nObjects);
        Print(std::string(szCount) + object.strType.str() + " " + object.strName.str() + " (" +
              std::to_string(nLines) + " lines)\n");
    } else {
        ShowStatus(true);
    }
}

void ConsoleReporter::LogonWarning(const CString& strText)
{
    EndStatusLine();
    Print(strText.str() + "\n");
}

void ConsoleReporter::Message(const CString& strText)
{
    EndStatusLine();
    // The database's texts may end in a line feed of their own.
    std::string strMessage = strText.str();
    while (!strMessage.empty() && (strMessage.back() == '\n' || strMessage.back() == '\r'))
        strMessage.pop_back();
    Print(strMessage + "\n");
}

// After the message: the lines the window's log would add (a failed logon's, a name not found
// among several), then what the target holds when the message did not say it and the failure
// came after the target was checked.
void ConsoleReporter::Finish(const ExportEnding& ending)
{
    EndStatusLine();
    m_nExitCode = ExitCodeOf(ending);
    switch (ending.result) {
    case ExportResult::Done:
        if (m_style != ProgressStyle::Quiet) {
            Print(std::string(m_bChecking ? "Checked " : "Exported ") +
                  std::to_string(ending.nObjectsWritten) + " objects (" + std::to_string(m_nLines) +
                  " lines) in " + Elapsed() + ".\n");
        }
        // Whatever the style: code left invalid is what a scheduled job is there to notice.
        for (const ExportObjectId& object : ending.invalidObjects)
            Print("Invalid in the database: " + object.strName.str() + " (" + object.strType.str() +
                  ")\n");
        if (ending.bNeedsUtf8Client)
            Print(std::string(ExportTexts::kUtf8ClientAdvice) + "\n");
        return;
    case ExportResult::TargetRejected:
        return;
    default:
        break;
    }
    for (const CString& strLine : ending.ClosingLines())
        Print(strLine.str() + "\n");
    if (ending.result == ExportResult::LogonFailed)
        return;
    if (ending.strTargetState.IsEmpty())
        Print(m_sink.StateText().str() + "\n");
}

void ConsoleReporter::Stopped()
{
    EndStatusLine();
    m_nExitCode = StopRequest::ExitCode();
    if (m_style != ProgressStyle::Quiet)
        Print("Stopped. " + m_sink.StateText().str() + "\n");
}

void ConsoleReporter::ShowStatus(bool bForce)
{
    if (m_style != ProgressStyle::StatusLine)
        return;
    const Clock::time_point now = Clock::now();
    if (!bForce && now - m_lastStatus < kStatusInterval)
        return;
    m_lastStatus = now;
    char szStatus[128];
    std::snprintf(szStatus, sizeof(szStatus), "%d/%d objects, %d lines, %s", m_nDone, m_nObjects,
                  m_nLines, Elapsed().c_str());
    std::string strStatus = szStatus;
    const size_t nWidth = strStatus.size();
    if (strStatus.size() < m_nStatusWidth)
        strStatus.append(m_nStatusWidth - strStatus.size(), ' ');
    m_nStatusWidth = nWidth;
    Print("\r" + strStatus);
}

void ConsoleReporter::EndStatusLine()
{
    if (m_nStatusWidth == 0)
        return;
    m_nStatusWidth = 0;
    Print("\n");
}

void ConsoleReporter::Print(const std::string& strText)
{
    if (m_errors)
        m_errors(strText);
}

std::string ConsoleReporter::Elapsed() const
{
    const auto nSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_start).count();
    char szTime[32];
    std::snprintf(szTime, sizeof(szTime), "%u:%02u", unsigned(nSeconds / 60),
                  unsigned(nSeconds % 60));
    return szTime;
}
