// Thread.cpp (Windows): CreateThread with the work as a function object.
#include "framework/Thread.h"

#include <windows.h>

#include <memory>

#include "framework/Barrier.h"

namespace {

DWORD WINAPI RunWork(LPVOID pParameter)
{
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(pParameter));
    // An exception must not leave a thread's routine: it would end the whole program.
    try {
        (*work)();
    } catch (...) {
        RecordCaughtException("thread");
        return 1;
    }
    return 0;
}

}  // namespace

void ThreadHandle::Reset()
{
    if (m_hThread != nullptr)
        ::CloseHandle(m_hThread);
    m_hThread = nullptr;
}

ThreadStart StartThread(std::function<void()> work)
{
    auto held = std::make_unique<std::function<void()>>(std::move(work));
    ThreadStart start;
    HANDLE hThread = ::CreateThread(nullptr, 0, RunWork, held.get(), 0, nullptr);
    if (hThread == nullptr) {
        start.nError = ::GetLastError();
        return start;
    }
    held.release();
    start.hThread = ThreadHandle(hThread);
    start.bStarted = true;
    return start;
}
