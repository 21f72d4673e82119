// JobRecord.h
//
// The job record: the process-wide variables that the main dialog, the export worker and the
// object picker share, the two registered messages that carry the worker's reports, and
// AddLogText, the worker's one way of putting text into the log list.
//
// Hand-over: the worker writes a value and then sends one of the two messages to the
// application's main window with SendMessage (wParam 0, lParam 0); the dialog reads the
// values only inside the handlers of those messages.
//   g_uProgressMsg ("PROGRESS_MESSAGE"): show g_nObjectPercent and g_nTotalPercent.
//   g_uAddStrMsg ("ADD_STR_MESSAGE"): insert g_strLogLine; when g_bRunning is 0 first return
//   to idle (that line is the end of the job).
//
// Stop and the close request (both on the window thread, see also ExportWorker.h):
//   RequestWorkerStop()  ends the running job. When it returns, nothing more of that job
//                        reaches the main window or the output file, and that worker never
//                        touches the record of a later job. The dialog then returns to idle
//                        itself; no end-of-job line comes for a stopped job.
//   HoldWorker() / ReleaseWorker(), or a CWorkerHold on the stack around the refusal message:
//                        while held, the worker finishes the step it is in and then waits; it
//                        sends nothing and writes nothing, and goes on after the release.
// Neither waits for the worker: at most they let a message that the worker is delivering at
// that moment through (that message reaches the window before the call returns).
#pragma once

#include <windows.h>

#include "framework/String.h"

// Size of g_szObjectName, the terminating zero included.
constexpr int kObjectNameSize = 100;
// The widest source line a client can deliver: 4000 characters of up to 4 bytes each.
constexpr int kMaxSourceLineBytes = 4000 * 4;
// "CREATE OR REPLACE " in front of an object's first line.
constexpr int kCreatePrefixLength = 18;
// The longest text the worker logs split: the prefix and the widest line.
constexpr int kMaxSplitTextLength = kCreatePrefixLength + kMaxSourceLineBytes;
// Size of g_szPendingLine: the longest held-back text and its terminating zero.
constexpr int kPendingLineSize = kMaxSplitTextLength + 1;

// ---- Parameters: written by the window thread while no job runs ----
extern CString g_strUser;
extern CString g_strPassword;
extern CString g_strDatabase;
extern int g_bSysdba;
extern CString g_strFileName;
extern int g_bAllObjects;
extern char g_szObjectName[kObjectNameSize];

// ---- The running job: written by the worker, read in the message handlers ----
extern int g_bRunning;
extern int g_nTotalPercent;
extern int g_nObjectPercent;
extern CString g_strLogLine;
extern char g_szPendingLine[kPendingLineSize];
extern int g_bPendingLine;

// ---- Kept by the dialog ----
extern int g_nLogLines;
extern UINT g_uProgressMsg;
extern UINT g_uAddStrMsg;
extern HANDLE g_hWorkerThread;

// Runs on the worker thread for every log line. bSplitLines 0: text is one line, shown as it
// is. bSplitLines 1: text is cut at its line feeds; each complete line is shown (behind any
// text held back before), and what follows the last line feed is held back for the next call.
// A text without a line feed shows nothing. On a stopped job it does nothing.
void AddLogText(const CString& text, int bSplitLines);

// Runs on the window thread when the user presses Stop.
void RequestWorkerStop();
// Run on the window thread around the "Stop uploading process before close application."
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
