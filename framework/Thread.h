// Thread.h
//
// Threads nobody joins: the export worker, the picker's listing, the delivery of a break.
//   ThreadStart   - a started thread's handle, or the system's error number of the start that
//                   failed, captured at the call.
//   ThreadStarter - how a caller starts one; StartThread is the system's way, and a test may
//                   hand a caller another (one that fails, to see the failure reach the user).
// The work runs inside an exception barrier: an exception that escapes it is recorded
// (Barrier.h) and ends only the thread.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/UniqueHandle.h"

struct ThreadStart {
    // Invalid when the thread did not start.
    CHandle hThread;
    // GetLastError of the failed start; 0 when the thread started.
    DWORD nError = 0;

    bool Started() const { return hThread.IsValid(); }
};

using ThreadStarter = std::function<ThreadStart(std::function<void()> work)>;

// CreateThread for work.
ThreadStart StartThread(std::function<void()> work);
