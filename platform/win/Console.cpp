// Console.cpp (Windows): the console's wide calls, its control handlers.
#include "platform/Console.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/ConsoleInput.h"
#include "platform/Text.h"

namespace {

DWORD StdHandleOf(Console::Stream stream)
{
    switch (stream) {
    case Console::Stream::Input:
        return STD_INPUT_HANDLE;
    case Console::Stream::Output:
        return STD_OUTPUT_HANDLE;
    case Console::Stream::Error:
    default:
        return STD_ERROR_HANDLE;
    }
}

// The prompt's console and its mode before the prompt, for the prompt's Ctrl+C handler.
HANDLE g_hPromptConsole = nullptr;
DWORD g_nPromptMode = 0;

// Ctrl+C or Ctrl+Break while the prompt waits: nothing has begun, so the program ends at once
// (as a stop does: exit code 130), with the console's echo back on.
BOOL WINAPI OnControlAtPrompt(DWORD nEvent)
{
    if (nEvent != CTRL_C_EVENT && nEvent != CTRL_BREAK_EVENT)
        return FALSE;
    ::SetConsoleMode(g_hPromptConsole, g_nPromptMode);
    DWORD nWritten = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "\n", 1, &nWritten, nullptr);
    ::ExitProcess(UINT(Console::ExitCodeOf(Console::StopSignal::Interrupt)));
    return TRUE;
}

// Puts OnControlAtPrompt in front of every other handler while it lives, and gives the console
// its mode back when it goes.
class PromptMode {
public:
    PromptMode(HANDLE hConsole, DWORD nMode)
    {
        g_hPromptConsole = hConsole;
        g_nPromptMode = nMode;
        ::SetConsoleCtrlHandler(OnControlAtPrompt, TRUE);
    }
    ~PromptMode()
    {
        ::SetConsoleCtrlHandler(OnControlAtPrompt, FALSE);
        ::SetConsoleMode(g_hPromptConsole, g_nPromptMode);
    }
    PromptMode(const PromptMode&) = delete;
    PromptMode& operator=(const PromptMode&) = delete;
};

Console::StopHandler g_onStop = nullptr;

BOOL WINAPI OnControl(DWORD nEvent)
{
    if (nEvent != CTRL_C_EVENT && nEvent != CTRL_BREAK_EVENT)
        return FALSE;
    return g_onStop != nullptr && g_onStop(Console::StopSignal::Interrupt) ? TRUE : FALSE;
}

}  // namespace

namespace Console {

bool IsTerminal(Stream stream)
{
    DWORD nMode = 0;
    return ::GetConsoleMode(::GetStdHandle(StdHandleOf(stream)), &nMode) != FALSE;
}

// The export's texts are UTF-8: a console gets them as characters, a file or pipe as bytes.
void Write(Stream stream, const std::string& strText)
{
    HANDLE hOutput = ::GetStdHandle(StdHandleOf(stream));
    DWORD nWritten = 0;
    DWORD nMode = 0;
    if (hOutput == nullptr || hOutput == INVALID_HANDLE_VALUE)
        return;
    if (::GetConsoleMode(hOutput, &nMode)) {
        const std::wstring strWide = ToWide(strText, CP_UTF8);
        ::WriteConsoleW(hOutput, strWide.data(), DWORD(strWide.size()), &nWritten, nullptr);
        return;
    }
    ::WriteFile(hOutput, strText.data(), DWORD(strText.size()), &nWritten, nullptr);
}

// As the system split the command line (argv is the runtime's ANSI copy).
std::vector<std::wstring> Arguments(int, char**)
{
    int nCount = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nCount);
    std::vector<std::wstring> args;
    if (ppArgs == nullptr)
        return args;
    for (int i = 1; i < nCount; ++i)
        args.emplace_back(ppArgs[i]);
    ::LocalFree(ppArgs);
    return args;
}

int ExitCodeOf(StopSignal signal)
{
    return signal == StopSignal::Terminate ? 143 : 130;
}

bool ReadHiddenLine(const char* pszPrompt, size_t nMaxBytes, std::string& strLine,
                    SystemError& nError)
{
    HANDLE hInput = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD nMode = 0;
    ::GetConsoleMode(hInput, &nMode);
    PromptMode restore(hInput, nMode);
    ::SetConsoleMode(hInput, (nMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                 ~DWORD(ENABLE_ECHO_INPUT));
    DWORD nWritten = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), pszPrompt, DWORD(lstrlenA(pszPrompt)), &nWritten,
                nullptr);
    std::wstring strWide;
    wchar_t szBuffer[256];
    nError = ERROR_SUCCESS;
    while (strWide.find(L'\n') == std::wstring::npos && strWide.find(L'\r') == std::wstring::npos &&
           strWide.size() < nMaxBytes) {
        DWORD nRead = 0;
        if (!::ReadConsoleW(hInput, szBuffer, DWORD(sizeof(szBuffer) / sizeof(szBuffer[0])), &nRead,
                            nullptr)) {
            nError = ::GetLastError();
            break;
        }
        if (nRead == 0)
            break;
        strWide.append(szBuffer, nRead);
    }
    Wipe(szBuffer, sizeof(szBuffer));
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "\n", 1, &nWritten, nullptr);
    const size_t nEnd = strWide.find_first_of(L"\r\n");
    strLine = FromWide(strWide.substr(0, nEnd), CP_UTF8);
    if (!strWide.empty())
        Wipe(&strWide[0], strWide.size() * sizeof(wchar_t));
    return nError == ERROR_SUCCESS;
}

InputByte ReadInputByte(char& ch, SystemError& nError)
{
    DWORD nRead = 0;
    if (!::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &ch, 1, &nRead, nullptr)) {
        nError = ::GetLastError();
        // A pipe whose writer has gone is the end of the input, not a failure.
        return nError == ERROR_BROKEN_PIPE ? InputByte::End : InputByte::Failed;
    }
    return nRead == 1 ? InputByte::Read : InputByte::End;
}

void InstallStopHandler(StopHandler onStop)
{
    g_onStop = onStop;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void ExitNow(int nExitCode)
{
    ::ExitProcess(UINT(nExitCode));
}

void Wipe(void* pData, size_t nSize)
{
    ::SecureZeroMemory(pData, nSize);
}

}  // namespace Console
