// TargetPath.cpp
#include "export/TargetPath.h"

#include <cwchar>

#include "platform/Files.h"
#include "platform/TextCase.h"

namespace {

// Names Windows keeps for devices, whatever extension follows them; the superscript digits
// (U+00B9, U+00B2, U+00B3) name ports as the plain ones do.
const wchar_t* const kDeviceNames[] = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",       L"CONIN$",    L"CONOUT$",
    L"COM1", L"COM2", L"COM3", L"COM4",      L"COM5",      L"COM6",
    L"COM7", L"COM8", L"COM9", L"COM\u00B9", L"COM\u00B2", L"COM\u00B3",
    L"LPT1", L"LPT2", L"LPT3", L"LPT4",      L"LPT5",      L"LPT6",
    L"LPT7", L"LPT8", L"LPT9", L"LPT\u00B9", L"LPT\u00B2", L"LPT\u00B3",
};

bool StartsWith(const std::wstring& strText, const wchar_t* pszStart)
{
    return strText.compare(0, wcslen(pszStart), pszStart) == 0;
}

}  // namespace

namespace TargetPath {

bool FullPath(const std::wstring& strPath, std::wstring& strFull)
{
    return Files::FullPath(strPath, strFull);
}

size_t MaxFolderPath()
{
    return Files::kMaxPath - 12;
}

bool IsDevice(const std::wstring& strPath)
{
    if (StartsWith(strPath, L"\\\\.\\") || StartsWith(strPath, L"//./") ||
        StartsWith(strPath, L"\\\\?\\GLOBALROOT"))
        return true;
    size_t nStart = strPath.find_last_of(L"\\/");
    nStart = nStart == std::wstring::npos ? 0 : nStart + 1;
    // "C:NUL" names the device as well.
    if (nStart == 0 && strPath.size() >= 2 && strPath[1] == L':')
        nStart = 2;
    const std::wstring strBase = strPath.substr(nStart);
    return IsDeviceName(strBase.substr(0, strBase.find(L':')));
}

bool IsDeviceName(const std::wstring& strName)
{
    std::wstring strBase = strName.substr(0, strName.find(L'.'));
    while (!strBase.empty() && strBase.back() == L' ')
        strBase.pop_back();
    for (const wchar_t* pszDevice : kDeviceNames) {
        if (SameIgnoringCase(strBase, pszDevice))
            return true;
    }
    return false;
}

}  // namespace TargetPath
