// ConsoleReporter.h
//
// How the console exporter reports a run:
//   StopRequest     - Ctrl+C and Ctrl+Break (SIGINT), and SIGTERM, turned into a flag the run
//                     polls and a break of the call the run waits in (the handler runs on a
//                     thread of its own). A second one ends the process at once between two
//                     file writes, its temporary files removed. The exit code is the first
//                     signal's: 130 for Ctrl+C, 143 for SIGTERM.
//   ConsoleReporter - the ExportReporter of the console: the progress on standard error (a
//                     status line rewritten in place on a console, one line per object
//                     otherwise, nothing with --quiet), the messages the window would show in
//                     a box, the end of the run and the exit code it maps to.
//   ExitCodeOf      - the exit code of a run's ending.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "platform/Console.h"

// The process's exit codes.
enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitLogon = 3,
    // --check: the export would change the target.
    kExitDrift = 4,
    kExitStopped = 130,
};

int ExitCodeOf(const ExportEnding& ending);

class StopRequest {
public:
    // Once, at start-up: Ctrl+C, Ctrl+Break and SIGTERM set the flag instead of ending the
    // process.
    static void Install();
    static const std::atomic<bool>& Flag();
    // The exit code of a stopped run: the first stop signal's (130 when none came).
    static int ExitCode();
    // The run's connection listens to it: Ctrl+C breaks the call it waits in.
    static std::shared_ptr<DBInterrupt>& Interrupt();
    // Held while a step writes a file: the second Ctrl+C ends the process between two writes.
    static std::mutex& WriteMutex();

private:
    static std::atomic<bool>& MutableFlag();
    static std::atomic<int>& MutableExitCode();
    static bool OnStop(Console::StopSignal signal);
    [[noreturn]] static void EndNow();
};

enum class ProgressStyle { StatusLine, LinePerObject, Quiet };

class ConsoleReporter : public ExportReporter {
public:
    using Output = std::function<void(const std::string&)>;

    // stop: polled before every step. errors: standard error. sink: for what the target holds
    // after a failed or stopped run.
    ConsoleReporter(const std::atomic<bool>& stop, ProgressStyle style, Output errors,
                    const ExportSink& sink);

    bool KeepGoing() override;
    bool Guarded(const std::function<void()>& step) override;
    void LogLine(const CString& strLine) override {}
    void LogSource(const char* pText, int nLength) override {}
    // On standard error whatever the style: the user must act before the password expires.
    void LogonWarning(const CString& strText) override;
    // On standard error whatever the style: the file will not run in SQL*Plus as stored.
    void Warning(const CString& strLine) override { LogonWarning(strLine); }
    void Progress(int nObjectPercent, int nTotalPercent) override;
    void ObjectsListed(int nCount) override;
    void ObjectBegins(const ExportObjectId& object, int nIndex) override;
    void ObjectWritten(const ExportObjectId& object, int nIndex, int nLines) override;
    void Message(const CString& strText) override;
    void Finish(const ExportEnding& ending) override;

    // For a run that returned Stopped (Finish does not come then).
    void Stopped();
    // A run that only compares: its summary says "Checked" instead of "Exported".
    void SetChecking() { m_bChecking = true; }

    int ExitCode() const { return m_nExitCode; }
    int LineCount() const { return m_nLines; }

private:
    void ShowStatus(bool bForce);
    // Ends a status line on screen before anything else is printed below it.
    void EndStatusLine();
    void Print(const std::string& strText);
    std::string Elapsed() const;

    const std::atomic<bool>& m_stop;
    ProgressStyle m_style;
    Output m_errors;
    const ExportSink& m_sink;
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start;
    Clock::time_point m_lastStatus;
    int m_nObjects = 0;
    int m_nDone = 0;
    int m_nLines = 0;
    size_t m_nStatusWidth = 0;
    int m_nExitCode = kExitDone;
    bool m_bChecking = false;
};
