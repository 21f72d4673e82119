// JobRecord.h
//
// The job record: the process-wide variables that the main dialog, the export worker and the
// object picker share, the registered message that wakes the window for the worker's reports, and
// AddLogText, the worker's one way of putting text into the log list.
//
// Hand-over: the worker queues its log lines and progress in the ReportQueue (ReportQueue.h),
// tagged with its job, and wakes the application's main window with the registered
// "ADD_STR_MESSAGE" (g_uAddStrMsg) now and then; the window takes everything queued in one
// handler. The job's last line carries the end of the job: the window returns to idle on it.
// g_uProgressMsg ("PROGRESS_MESSAGE") is registered beside it; the worker sends neither
// message per report any more: its progress travels in the queue with its lines.
//
// Stop and the close request (both on the window thread, see also ExportWorker.h):
//   RequestWorkerStop()  ends the running job. When it returns, nothing more of that job
//                        reaches the main window or the output file (lines already queued are
//                        dropped), and that worker never touches the record of a later job.
//                        The dialog then returns to idle itself; no end-of-job line comes for a
//                        stopped job.
//   HoldWorker() / ReleaseWorker(), or a CWorkerHold on the stack around the refusal message:
//                        while held, the worker finishes the step it is in and then waits; it
//                        queues nothing and writes nothing, and goes on after the release. The
//                        lines queued before the hold are handed to the window first.
// Neither waits for the worker beyond the step it is in.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/JobParameters.h"
#include "export/ExportEngine.h"
#include "export/SourceStream.h"
#include "framework/String.h"
#include "framework/Thread.h"

// "CREATE OR REPLACE " in front of an object's first line.
constexpr int kCreatePrefixLength = 18;
// The longest text the worker logs split: the prefix and the widest line.
constexpr int kMaxSplitTextLength = kCreatePrefixLength + kMaxSourceLineBytes;
// Size of g_szPendingLine: the longest held-back text and its terminating zero.
constexpr int kPendingLineSize = kMaxSplitTextLength + 1;

// ---- Parameters: dialogs/JobParameters.h (the picker reads and writes them too) ----

// ---- The running job: written by the worker ----
// Cleared by the worker at the end of a job it was not stopped in, before its last line.
extern int g_bRunning;
// The text held back after the last line feed of a split text (worker side only).
extern char g_szPendingLine[kPendingLineSize];
extern int g_bPendingLine;

// ---- Kept by the dialog ----
extern int g_nLogLines;
extern UINT g_uProgressMsg;
extern UINT g_uAddStrMsg;
extern HANDLE g_hWorkerThread;

// Worker thread only. bSplitLines 0: text is one line, shown as it is. bSplitLines 1: text is
// cut at its line feeds; each complete line is shown (behind any text held back before), and
// what follows the last line feed is held back for the next call. A text without a line feed
// shows nothing yet: it joins the text held back. On a stopped job it does nothing.
void AddLogText(const CString& text, int bSplitLines);
// The same for nLength characters at pText, without making a string of them first.
void AddLogChars(const char* pText, int nLength, int bSplitLines);
// Worker thread, at the end of an object's source: the text held back (its last line, when
// that has no line feed) is shown as a line of its own.
void ShowPendingLine();
// Worker thread, at the end of a job it was not stopped in: clears g_bRunning and queues the
// job's last line, which wakes the window at once.
void AddLastLogLine(const CString& text);

// Window thread only.
void RequestWorkerStop(const ThreadStarter& startThread = StartThread);
// On the window thread, around the "Stop uploading process before close application."
// message; holds may nest.
void HoldWorker();
void ReleaseWorker();

// Holds the worker for its own lifetime (the close request's message box).
class CWorkerHold {
public:
    CWorkerHold() { HoldWorker(); }
    ~CWorkerHold() { ReleaseWorker(); }
    CWorkerHold(const CWorkerHold&) = delete;
    CWorkerHold& operator=(const CWorkerHold&) = delete;
};
