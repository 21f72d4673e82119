// Thread.cpp (POSIX): a detached std::thread with the work.
#include "framework/Thread.h"

#include <system_error>
#include <thread>

#include "framework/Barrier.h"

void ThreadHandle::Reset()
{
    m_hThread = nullptr;
}

ThreadStart StartThread(std::function<void()> work)
{
    ThreadStart start;
    try {
        std::thread([held = std::move(work)] {
            // An exception must not leave a thread's routine: it would end the whole program.
            try {
                held();
            } catch (...) {
                RecordCaughtException("thread");
            }
        }).detach();
        start.bStarted = true;
    } catch (const std::system_error& e) {
        start.nError = SystemError(e.code().value());
    }
    return start;
}
