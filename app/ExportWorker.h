// ExportWorker.h
//
// The window's export worker: UploadThreadProc runs one job of the main dialog on a thread of
// its own. It takes the job's parameters from the job record, runs the export engine
// (ExportEngine.h) into the output file, and reports through the job record: log lines and
// progress go into the report queue, messages appear in the program's message box on the
// worker's thread, and every run that is not stopped ends by clearing g_bRunning and queueing
// a last log line.
//
// For the main dialog:
//   Start: set g_bRunning to 1 and the parameters of the job record, then call
//          StartUploadThread(). It copies the parameters for the new worker (they may be
//          written again as soon as it returns), makes the new job the current one, creates the
//          thread and keeps its handle in g_hWorkerThread (closing the handle it replaces).
//          A null result means the thread could not be created (the system's error in
//          *pnError); no job is then current and g_bRunning is 0 again.
//   Stop:  RequestWorkerStop() (JobRecord.h), then return to idle.
//   Close request while running: a CWorkerHold around the refusal message (JobRecord.h).
// The window thread never waits for the worker, and nothing ever suspends or ends it from
// outside: it checks for a stop or hold before each object, each source line and each message
// it shows, and a stopped worker returns without touching the record of a later job.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "framework/Thread.h"

// How the worker shows a message to the user: modal on the worker's thread, returning when
// the user has closed it. The program passes its own message box.
using ShowMessageFn = int (*)(const char* pszText);

// The worker's thread routine; pParameter is what StartUploadThread passes.
DWORD WINAPI UploadThreadProc(LPVOID pParameter);

// On the window thread at Start; see above. The worker's reports go to hConsumer, woken with
// uWakeMessage.
HANDLE StartUploadThread(ShowMessageFn pfnShowMessage, HWND hConsumer, UINT uWakeMessage,
                         const ThreadStarter& startThread = StartThread, DWORD* pnError = nullptr);
// On the window thread at Stop: the running job's database call (if it waits in one) ends
// with ORA-01013 and the worker returns as from any stop. Returns at once: the break is
// delivered on a thread startThread starts, so a break waiting on a dead link never holds the
// window (when none can be started it is delivered here after all).
void InterruptRunningJob(const ThreadStarter& startThread = StartThread);
