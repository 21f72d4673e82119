// ExportWorker.h
//
// The export worker: UploadThreadProc runs one job on a thread of its own, from the job
// record's parameters to the finished .sql file. It logs on, lists the objects to export from
// USER_OBJECTS (by name, then type, so a package's specification comes before its body), reads
// each object's lines from USER_SOURCE and writes one "CREATE OR REPLACE " block per object.
// It talks to the main window only through AddLogText and the progress message, and ends every
// run that is not stopped by clearing g_bRunning and sending a last log line.
//
// For the main dialog:
//   Start: set g_bRunning to 1 and the parameters of the job record, then call
//          StartUploadThread(). It copies the parameters for the new worker (they may be
//          written again as soon as it returns), makes the new job the current one, creates the
//          thread and keeps its handle in g_hWorkerThread (closing the handle it replaces).
//          A null result means the thread could not be created.
//   Stop:  RequestWorkerStop() (JobRecord.h), then return to idle.
//   Close request while running: a CWorkerHold around the refusal message (JobRecord.h).
// The window thread never waits for the worker, and nothing ever suspends or ends it from
// outside: it checks for a stop or hold before each object, each source line and each message
// it sends, and a stopped worker returns without touching the record of a later job.
#pragma once

#include <windows.h>

// Source rows the client fetches ahead per round trip on the listing and source statements.
constexpr unsigned kPrefetchRows = 500;

// The worker's thread routine. pParameter is what StartUploadThread passes; a thread created
// directly with a null parameter copies the parameters from the job record itself.
DWORD WINAPI UploadThreadProc(LPVOID pParameter);

// Runs on the window thread at Start; see above.
HANDLE StartUploadThread();
