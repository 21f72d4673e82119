// Thread.h
//
// Threads nobody joins: the export worker, the picker's listing, the delivery of a break.
//   ThreadHandle  - a started thread's handle, owned (on Windows, for a caller that waits for
//                   the thread to end; elsewhere none is kept).
//   ThreadStart   - whether the thread started, its handle, or the system's error number of
//                   the start that failed, captured at the call.
//   ThreadStarter - how a caller starts one; StartThread is the system's way, and a test may
//                   hand a caller another (one that fails, to see the failure reach the user).
// The work runs inside an exception barrier: an exception that escapes it is recorded
// (Barrier.h) and ends only the thread.
#pragma once

#include <functional>

#include "platform/SystemError.h"

class ThreadHandle {
public:
    explicit ThreadHandle(void* hThread = nullptr) : m_hThread(hThread) {}
    ~ThreadHandle() { Reset(); }
    ThreadHandle(ThreadHandle&& other) noexcept : m_hThread(other.Release()) {}
    ThreadHandle& operator=(ThreadHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_hThread = other.Release();
        }
        return *this;
    }
    ThreadHandle(const ThreadHandle&) = delete;
    ThreadHandle& operator=(const ThreadHandle&) = delete;

    void* Get() const { return m_hThread; }
    // Gives the handle up without closing it.
    void* Release()
    {
        void* hThread = m_hThread;
        m_hThread = nullptr;
        return hThread;
    }
    void Reset();

private:
    void* m_hThread;
};

struct ThreadStart {
    ThreadHandle hThread;
    // The system's reason when the thread did not start; 0 when it started.
    SystemError nError = 0;
    bool bStarted = false;

    bool Started() const { return bStarted; }
};

using ThreadStarter = std::function<ThreadStart(std::function<void()> work)>;

// A new thread for work.
ThreadStart StartThread(std::function<void()> work);
