// Password.cpp
#include "qmexport/Password.h"

#include <string>

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
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), pszText, DWORD(lstrlenA(pszText)), &nWritten, nullptr);
}

}  // namespace

bool PasswordSource::Read(CString& strPassword)
{
    if (FromEnvironment(strPassword))
        return true;
    HANDLE hInput = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD nMode = 0;
    if (hInput != nullptr && hInput != INVALID_HANDLE_VALUE && ::GetConsoleMode(hInput, &nMode))
        return FromConsole(hInput, strPassword);
    return FromStream(hInput, strPassword);
}

bool PasswordSource::FromEnvironment(CString& strPassword)
{
    ::SetLastError(ERROR_SUCCESS);
    const DWORD nSize = ::GetEnvironmentVariableA(kPasswordVariable, nullptr, 0);
    if (nSize == 0)
        return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;  // set, but empty
    std::string strValue(nSize, '\0');
    const DWORD nLength = ::GetEnvironmentVariableA(kPasswordVariable, &strValue[0], nSize);
    strValue.resize(nLength < nSize ? nLength : 0);
    strPassword = CString(strValue);
    ::SecureZeroMemory(&strValue[0], strValue.size());
    return true;
}

bool PasswordSource::FromConsole(HANDLE hInput, CString& strPassword)
{
    DWORD nMode = 0;
    ::GetConsoleMode(hInput, &nMode);
    ConsoleModeGuard restore(hInput, nMode);
    ::SetConsoleMode(hInput, (nMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    WriteError("Password: ");
    std::string strLine;
    char szBuffer[256];
    while (strLine.find('\n') == std::string::npos && strLine.find('\r') == std::string::npos &&
           strLine.size() < kMaxPasswordBytes) {
        DWORD nRead = 0;
        if (!::ReadConsoleA(hInput, szBuffer, sizeof(szBuffer), &nRead, nullptr) || nRead == 0)
            break;
        strLine.append(szBuffer, nRead);
    }
    ::SecureZeroMemory(szBuffer, sizeof(szBuffer));
    WriteError("\n");
    const size_t nEnd = strLine.find_first_of("\r\n");
    strPassword = CString(strLine.substr(0, nEnd));
    ::SecureZeroMemory(&strLine[0], strLine.size());
    return true;
}

bool PasswordSource::FromStream(HANDLE hInput, CString& strPassword)
{
    std::string strLine;
    bool bRead = false;
    // One byte at a time: nothing after the first line is taken from the stream.
    while (strLine.size() < kMaxPasswordBytes) {
        char ch = 0;
        DWORD nRead = 0;
        if (!::ReadFile(hInput, &ch, 1, &nRead, nullptr) || nRead == 0)
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
    return bRead;
}
