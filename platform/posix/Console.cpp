// Console.cpp (POSIX): standard streams by descriptor, the terminal through termios, SIGINT and
// SIGTERM through a pipe to a thread of their own (a signal handler may do almost nothing).
#include "platform/Console.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/ConsoleInput.h"
#include "platform/Text.h"

namespace {

int DescriptorOf(Console::Stream stream)
{
    switch (stream) {
    case Console::Stream::Input:
        return STDIN_FILENO;
    case Console::Stream::Output:
        return STDOUT_FILENO;
    case Console::Stream::Error:
    default:
        return STDERR_FILENO;
    }
}

void WriteAll(int fd, const char* pText, size_t nSize)
{
    while (nSize > 0) {
        const ssize_t nWritten = ::write(fd, pText, nSize);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return;
        pText += nWritten;
        nSize -= size_t(nWritten);
    }
}

// The terminal's settings while the prompt has echo off: a stop signal then puts them back
// before the process ends (tcsetattr may be called in a signal handler).
struct termios g_promptSaved;
volatile sig_atomic_t g_bPromptActive = 0;
// The write end of the pipe the signals travel to their thread; -1 before InstallStopHandler.
volatile sig_atomic_t g_nSignalPipe = -1;
Console::StopHandler g_onStop = nullptr;

Console::StopSignal StopSignalOf(int nSignal)
{
    return nSignal == SIGTERM ? Console::StopSignal::Terminate : Console::StopSignal::Interrupt;
}

extern "C" void OnSignal(int nSignal)
{
    const int nSavedErrno = errno;
    if (g_bPromptActive) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &g_promptSaved);
        WriteAll(STDERR_FILENO, "\n", 1);
        ::_exit(Console::ExitCodeOf(StopSignalOf(nSignal)));
    }
    if (g_nSignalPipe < 0) {
        // Nobody takes it: it ends the process as it would have.
        ::signal(nSignal, SIG_DFL);
        ::raise(nSignal);
        return;
    }
    const unsigned char byte = static_cast<unsigned char>(nSignal);
    const ssize_t nIgnored = ::write(g_nSignalPipe, &byte, 1);
    (void)nIgnored;
    errno = nSavedErrno;
}

void HandleSignals()
{
    static std::atomic<bool> bInstalled{false};
    if (bInstalled.exchange(true))
        return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader that has gone (qmexport --check | head) fails the write, as on Windows, instead
    // of ending the process in the middle of a run.
    ::signal(SIGPIPE, SIG_IGN);
}

// A signal the program did not take ends the process as the signal would.
[[noreturn]] void EndBySignal(int nSignal)
{
    ::signal(nSignal, SIG_DFL);
    ::raise(nSignal);
    ::_exit(128 + nSignal);
}

// The signals' thread: each one handed to the program's handler in turn.
void DeliverSignals(int nReadEnd)
{
    for (;;) {
        unsigned char byte = 0;
        const ssize_t nRead = ::read(nReadEnd, &byte, 1);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            return;
        const int nSignal = byte;
        if (g_onStop == nullptr || !g_onStop(StopSignalOf(nSignal)))
            EndBySignal(nSignal);
    }
}

// Echo back on however the prompt ends (a signal's way is in OnSignal).
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        m_bChanged = ::tcgetattr(fd, &m_saved) == 0;
        if (!m_bChanged)
            return;
        g_promptSaved = m_saved;
        g_bPromptActive = 1;
        struct termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~EchoOff()
    {
        if (!m_bChanged)
            return;
        ::tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        g_bPromptActive = 0;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_fd;
    bool m_bChanged = false;
    struct termios m_saved {};
};

}  // namespace

namespace Console {

bool IsTerminal(Stream stream)
{
    return ::isatty(DescriptorOf(stream)) != 0;
}

void Write(Stream stream, const std::string& strText)
{
    WriteAll(DescriptorOf(stream), strText.data(), strText.size());
}

std::vector<std::wstring> Arguments(int argc, char** argv)
{
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(ToWide(argv[i], int(std::strlen(argv[i])), kUtf8CodePage));
    return args;
}

int ExitCodeOf(StopSignal signal)
{
    return signal == StopSignal::Terminate ? 143 : 130;
}

bool ReadHiddenLine(const char* pszPrompt, size_t nMaxBytes, std::string& strLine,
                    SystemError& nError)
{
    HandleSignals();
    bool bRead = true;
    {
        EchoOff quiet(STDIN_FILENO);
        WriteAll(STDERR_FILENO, pszPrompt, std::strlen(pszPrompt));
        bool bAny = false;
        bRead = ReadInputLine(nMaxBytes, strLine, bAny, nError);
    }
    WriteAll(STDERR_FILENO, "\n", 1);
    while (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    return bRead;
}

InputByte ReadInputByte(char& ch, SystemError& nError)
{
    for (;;) {
        const ssize_t nRead = ::read(STDIN_FILENO, &ch, 1);
        if (nRead == 1)
            return InputByte::Read;
        if (nRead == 0)
            return InputByte::End;
        if (errno != EINTR) {
            nError = SystemError(errno);
            return InputByte::Failed;
        }
    }
}

void InstallStopHandler(StopHandler onStop)
{
    g_onStop = onStop;
    int fds[2];
    if (g_nSignalPipe < 0 && ::pipe2(fds, O_CLOEXEC) == 0) {
        std::thread(DeliverSignals, fds[0]).detach();
        g_nSignalPipe = fds[1];
    }
    HandleSignals();
}

void ExitNow(int nExitCode)
{
    ::_exit(nExitCode);
}

void Wipe(void* pData, size_t nSize)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(pData);
    while (nSize-- > 0)
        *p++ = 0;
}

}  // namespace Console
