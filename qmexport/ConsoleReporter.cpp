// ConsoleReporter.cpp
#include "qmexport/ConsoleReporter.h"

#include "framework/Barrier.h"

#include <algorithm>
#include <cstdio>

namespace {

// The status line is redrawn at most this often, besides at each object.
constexpr ULONGLONG kStatusIntervalMs = 200;

std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = strText.find('\n', nStart);
        lines.push_back(strText.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
        if (nEnd == std::string::npos)
            return lines;
        nStart = nEnd + 1;
    }
}

}  // namespace

int ExitCodeOf(const ExportOutcome& outcome)
{
    switch (outcome.result) {
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
    static auto* const pInterrupt = new std::shared_ptr<DBInterrupt>(std::make_shared<DBInterrupt>());
    return *pInterrupt;
}

void StopRequest::Install()
{
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

// Runs on a thread the console starts for the event. Handled events keep the process alive:
// the run sees the flag at its next step and ends between two whole file writes.
BOOL WINAPI StopRequest::OnControl(DWORD nEvent)
{
    try {
        switch (nEvent) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            MutableFlag() = true;
            // A run waiting in a database call (a slow link) returns from it now.
            Interrupt()->Request();
            return TRUE;
        default:
            return FALSE;
        }
    } catch (...) {
        RecordCaughtException("console control handler");
        return FALSE;
    }
}

// ---- ConsoleReporter ----

ConsoleReporter::ConsoleReporter(const std::atomic<bool>& stop, ProgressStyle style, Output errors,
                                 const ExportSink& sink)
    : m_stop(stop), m_style(style), m_errors(std::move(errors)), m_sink(sink), m_nStartTicks(::GetTickCount64())
{
}

bool ConsoleReporter::KeepGoing()
{
    return !m_stop.load();
}

bool ConsoleReporter::Guarded(const std::function<void()>& step)
{
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
    for (const std::string& strLine : SplitLines(strMessage))
        m_shownLines.push_back(strLine);
}

void ConsoleReporter::Finish(const ExportOutcome& outcome)
{
    EndStatusLine();
    m_nExitCode = ExitCodeOf(outcome);
    if (outcome.result == ExportResult::Done) {
        if (m_style != ProgressStyle::Quiet) {
            Print("Exported " + std::to_string(outcome.nObjectsWritten) + " objects (" + std::to_string(m_nLines) +
                  " lines) in " + Elapsed() + ".\n");
        }
        return;
    }
    auto shown = [this](const std::string& strLine) {
        return std::find(m_shownLines.begin(), m_shownLines.end(), strLine) != m_shownLines.end();
    };
    // The engine's messages may carry the target's state inside a line ("PKG (PACKAGE). The
    // file holds ...").
    auto mentioned = [this](const std::string& strPart) {
        for (const std::string& strLine : m_shownLines) {
            if (strLine.find(strPart) != std::string::npos)
                return true;
        }
        return false;
    };
    for (const CString& strLine : outcome.failure.logLines) {
        if (!strLine.IsEmpty() && !shown(strLine.str())) {
            Print(strLine.str() + "\n");
            m_shownLines.push_back(strLine.str());
        }
    }
    // What the target holds, unless the message said it already. A failure before anything
    // could be written has nothing to say about it.
    const std::string strState = m_sink.StateText().str();
    const bool bTargetInPlay = outcome.result != ExportResult::LogonFailed &&
                               outcome.result != ExportResult::TargetRejected;
    if (bTargetInPlay && !strState.empty() && !mentioned(strState))
        Print(strState + "\n");
}

void ConsoleReporter::Stopped()
{
    EndStatusLine();
    m_nExitCode = kExitStopped;
    if (m_style != ProgressStyle::Quiet)
        Print("Stopped. " + m_sink.StateText().str() + "\n");
}

void ConsoleReporter::ShowStatus(bool bForce)
{
    if (m_style != ProgressStyle::StatusLine)
        return;
    const ULONGLONG nNow = ::GetTickCount64();
    if (!bForce && nNow - m_nLastStatusTicks < kStatusIntervalMs)
        return;
    m_nLastStatusTicks = nNow;
    char szStatus[128];
    std::snprintf(szStatus, sizeof(szStatus), "%d/%d objects, %d lines, %s", m_nDone, m_nObjects, m_nLines,
                  Elapsed().c_str());
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
    const ULONGLONG nSeconds = (::GetTickCount64() - m_nStartTicks) / 1000;
    char szTime[32];
    std::snprintf(szTime, sizeof(szTime), "%u:%02u", unsigned(nSeconds / 60), unsigned(nSeconds % 60));
    return szTime;
}
