// The path of the program under test, as Windows (Wine) sees it, and a started copy of
// it that is ended and reaped at scope exit.
#pragma once

#include <windows.h>

#include <string>

// The build passes the program's Unix path behind Wine's drive Z:.
inline std::string QuillmarkExePath()
{
    std::string path = QUILLMARK_EXE;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// One running quillmark.exe. The destructor ends it if a test left it running.
class QuillmarkProcess {
public:
    // Starts the program; `arguments` are appended to its command line.
    explicit QuillmarkProcess(const std::string& arguments = std::string())
    {
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        std::string cmd = "\"" + QuillmarkExePath() + "\"";
        if (!arguments.empty())
            cmd += " " + arguments;
        m_bStarted = ::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &si, &m_pi) != 0;
    }
    ~QuillmarkProcess()
    {
        if (!m_bStarted)
            return;
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 10000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
    QuillmarkProcess(const QuillmarkProcess&) = delete;
    QuillmarkProcess& operator=(const QuillmarkProcess&) = delete;

    bool started() const { return m_bStarted; }
    DWORD id() const { return m_pi.dwProcessId; }
    HANDLE handle() const { return m_pi.hProcess; }

    // Waits for the program's visible top-level window with this caption; null on timeout.
    HWND WaitForWindow(const char* caption, DWORD timeoutMs) const
    {
        const DWORD start = ::GetTickCount();
        do {
            HWND hWnd = FindWindowOf(caption);
            if (hWnd)
                return hWnd;
            if (::WaitForSingleObject(m_pi.hProcess, 100) == WAIT_OBJECT_0)
                return nullptr;
        } while (::GetTickCount() - start < timeoutMs);
        return nullptr;
    }

    // Waits for the program to end; its exit code, or STILL_ACTIVE on timeout.
    DWORD WaitForExit(DWORD timeoutMs) const
    {
        ::WaitForSingleObject(m_pi.hProcess, timeoutMs);
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

private:
    struct Search {
        DWORD pid;
        const char* caption;
        HWND found;
    };

    static BOOL CALLBACK OnTopLevelWindow(HWND hWnd, LPARAM lParam)
    {
        Search* s = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        char text[128] = {};
        ::GetWindowTextA(hWnd, text, sizeof(text));
        if (pid == s->pid && ::IsWindowVisible(hWnd) && std::string(text) == s->caption) {
            s->found = hWnd;
            return FALSE;
        }
        return TRUE;
    }

    HWND FindWindowOf(const char* caption) const
    {
        Search s{m_pi.dwProcessId, caption, nullptr};
        ::EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(&s));
        return s.found;
    }

    PROCESS_INFORMATION m_pi{};
    bool m_bStarted = false;
};
