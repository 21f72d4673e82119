// Environment.cpp (Windows): the variables read wide, so that every character arrives as set.
#include "platform/Environment.h"

#include <windows.h>

#include "platform/Text.h"

namespace Environment {

bool Variable(const char* pszName, std::string& strValue)
{
    strValue.clear();
    const std::wstring strName = ToWide(pszName, int(strlen(pszName)), kUtf8CodePage);
    ::SetLastError(ERROR_SUCCESS);
    const DWORD nSize = ::GetEnvironmentVariableW(strName.c_str(), nullptr, 0);
    if (nSize == 0)
        return ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;  // set, but empty
    std::wstring strWide(nSize, L'\0');
    const DWORD nLength = ::GetEnvironmentVariableW(strName.c_str(), &strWide[0], nSize);
    strWide.resize(nLength < nSize ? nLength : 0);
    strValue = FromWide(strWide, kUtf8CodePage);
    if (!strWide.empty())
        ::SecureZeroMemory(&strWide[0], strWide.size() * sizeof(wchar_t));
    return true;
}

}  // namespace Environment
