// Password.cpp
#include "qmexport/Password.h"

#include <string>

#include "framework/Text.h"

namespace {

// Nobody types a longer password; a longer line is cut here.
constexpr size_t kMaxPasswordBytes = 1024;

void StripLineEnd(std::string& strLine)
{
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r'))
        strLine.pop_back();
}

void WriteError(const char* pszText)
{
    DWORD nWritten = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), pszText, DWORD(lstrlenA(pszText)), &nWritten,
                nullptr);
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
    WriteError("\n");
    ::ExitProcess(kPromptStoppedExitCode);
    return TRUE;
}

// Puts OnControlAtPrompt in front of every other handler while it lives.
class PromptControlHandler {
public:
    PromptControlHandler(HANDLE hConsole, DWORD nMode)
    {
        g_hPromptConsole = hConsole;
        g_nPromptMode = nMode;
        ::SetConsoleCtrlHandler(OnControlAtPrompt, TRUE);
    }
    ~PromptControlHandler() { ::SetConsoleCtrlHandler(OnControlAtPrompt, FALSE); }
    PromptControlHandler(const PromptControlHandler&) = delete;
    PromptControlHandler& operator=(const PromptControlHandler&) = delete;
};

}  // namespace

bool PasswordSource::Read(CString& strPassword, CString& strReason)
{
    if (FromEnvironment(strPassword))
        return true;
    HANDLE hInput = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD nMode = 0;
    if (hInput != nullptr && hInput != INVALID_HANDLE_VALUE && ::GetConsoleMode(hInput, &nMode))
        return FromConsole(hInput, strPassword, strReason);
    return FromStream(hInput, strPassword, strReason);
}

bool PasswordSource::FromEnvironment(CString& strPassword)
{
    ::SetLastError(ERROR_SUCCESS);
    // Wide, so that every character reaches the session (which speaks UTF-8) as typed.
    const DWORD nSize = ::GetEnvironmentVariableW(kPasswordVariableW, nullptr, 0);
    if (nSize == 0)
        return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;  // set, but empty
    std::wstring strValue(nSize, L'\0');
    const DWORD nLength = ::GetEnvironmentVariableW(kPasswordVariableW, &strValue[0], nSize);
    strValue.resize(nLength < nSize ? nLength : 0);
    std::string strBytes = FromWide(strValue, CP_UTF8);
    strPassword = CString(strBytes);
    if (!strValue.empty())
        ::SecureZeroMemory(&strValue[0], strValue.size() * sizeof(wchar_t));
    if (!strBytes.empty())
        ::SecureZeroMemory(&strBytes[0], strBytes.size());
    return true;
}

bool PasswordSource::FromConsole(HANDLE hInput, CString& strPassword, CString& strReason)
{
    DWORD nMode = 0;
    ::GetConsoleMode(hInput, &nMode);
    ConsoleModeGuard restore(hInput, nMode);
    PromptControlHandler stopAtPrompt(hInput, nMode);
    ::SetConsoleMode(hInput, (nMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                 ~DWORD(ENABLE_ECHO_INPUT));
    WriteError("Password: ");
    std::wstring strWide;
    wchar_t szBuffer[256];
    DWORD nError = ERROR_SUCCESS;
    while (strWide.find(L'\n') == std::wstring::npos && strWide.find(L'\r') == std::wstring::npos &&
           strWide.size() < kMaxPasswordBytes) {
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
    ::SecureZeroMemory(szBuffer, sizeof(szBuffer));
    WriteError("\n");
    const size_t nEnd = strWide.find_first_of(L"\r\n");
    std::string strLine = FromWide(strWide.substr(0, nEnd), CP_UTF8);
    strPassword = CString(strLine);
    if (!strWide.empty())
        ::SecureZeroMemory(&strWide[0], strWide.size() * sizeof(wchar_t));
    if (!strLine.empty())
        ::SecureZeroMemory(&strLine[0], strLine.size());
    if (nError != ERROR_SUCCESS) {
        strReason = SystemErrorText(nError);
        return false;
    }
    return true;
}

bool PasswordSource::FromStream(HANDLE hInput, CString& strPassword, CString& strReason)
{
    std::string strLine;
    bool bRead = false;
    // One byte at a time: nothing after the first line is taken from the stream.
    while (strLine.size() < kMaxPasswordBytes) {
        char ch = 0;
        DWORD nRead = 0;
        if (!::ReadFile(hInput, &ch, 1, &nRead, nullptr)) {
            const DWORD nError = ::GetLastError();
            // A pipe whose writer has gone is the end of the input, not a failure.
            if (nError != ERROR_BROKEN_PIPE)
                strReason = SystemErrorText(nError);
            break;
        }
        if (nRead == 0)
            break;
        bRead = true;
        if (ch == '\n')
            break;
        strLine += ch;
    }
    StripLineEnd(strLine);
    strPassword = CString(strLine);
    if (!strLine.empty())
        ::SecureZeroMemory(&strLine[0], strLine.size());
    if (!strReason.IsEmpty())
        return false;
    if (!bRead) {
        strReason = kNoPasswordText;
        return false;
    }
    return true;
}
