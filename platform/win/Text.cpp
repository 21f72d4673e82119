// Text.cpp (Windows): the system's code-page conversions, its error texts and its case.
#include "platform/Text.h"

#include <windows.h>

#include <algorithm>

#include "platform/Debug.h"
#include "platform/SystemError.h"
#include "platform/TextCase.h"

unsigned SystemCodePage()
{
    return ::GetACP();
}

std::wstring ToWide(const char* pText, int nLength, unsigned nCodePage)
{
    if (pText == nullptr || nLength <= 0)
        return std::wstring();
    const int nChars = ::MultiByteToWideChar(nCodePage, 0, pText, nLength, nullptr, 0);
    std::wstring strWide(size_t(nChars > 0 ? nChars : 0), L'\0');
    if (nChars > 0)
        ::MultiByteToWideChar(nCodePage, 0, pText, nLength, &strWide[0], nChars);
    return strWide;
}

std::string FromWide(const wchar_t* pText, int nLength, unsigned nCodePage, bool* pbLossy)
{
    if (pbLossy != nullptr)
        *pbLossy = false;
    if (pText == nullptr || nLength <= 0)
        return std::string();
    // Best-fit mapping would turn a character into a different one silently.
    const DWORD nFlags = pbLossy != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL bDefaultUsed = FALSE;
    BOOL* pbDefaultUsed = pbLossy != nullptr ? &bDefaultUsed : nullptr;
    const int nBytes = ::WideCharToMultiByte(nCodePage, nFlags, pText, nLength, nullptr, 0, nullptr,
                                             pbDefaultUsed);
    std::string strBytes(size_t(nBytes > 0 ? nBytes : 0), '\0');
    if (nBytes > 0)
        ::WideCharToMultiByte(nCodePage, nFlags, pText, nLength, &strBytes[0], nBytes, nullptr,
                              pbDefaultUsed);
    if (pbLossy != nullptr)
        *pbLossy = bDefaultUsed != FALSE;
    return strBytes;
}

bool CodePageHolds(const wchar_t* pUnits, int nUnits, unsigned nCodePage)
{
    if (nUnits == 1 && pUnits[0] < 0x80)
        return true;
    if (nCodePage == CP_UTF8)
        return IsWholeCharacter(pUnits, nUnits);
    char bytes[16];
    BOOL bDefaultUsed = FALSE;
    const int nBytes = ::WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pUnits, nUnits, bytes,
                                             sizeof(bytes), nullptr, &bDefaultUsed);
    if (nBytes <= 0 || bDefaultUsed)
        return false;
    wchar_t back[8];
    const int nBack = ::MultiByteToWideChar(nCodePage, MB_ERR_INVALID_CHARS, bytes, nBytes, back,
                                            int(sizeof(back) / sizeof(back[0])));
    return nBack == nUnits && std::equal(back, back + nBack, pUnits);
}

bool IsValidUtf8(const char* pText, size_t nLength)
{
    return nLength == 0 || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, pText, int(nLength),
                                                 nullptr, 0) > 0;
}

// ---- Case ----

wchar_t UpperUnit(wchar_t ch)
{
    wchar_t upper = ch;
    return ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &ch, 1, &upper, 1, nullptr,
                           nullptr, 0) == 1
               ? upper
               : ch;
}

std::wstring UpperCase(const std::wstring& strText)
{
    if (strText.empty())
        return strText;
    std::wstring strUpper(strText.size(), L'\0');
    const int nLength =
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, strText.data(), int(strText.size()),
                        &strUpper[0], int(strUpper.size()), nullptr, nullptr, 0);
    return nLength == int(strText.size()) ? strUpper : strText;
}

int CompareIgnoringCase(const std::wstring& strA, const std::wstring& strB)
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()),
                                  TRUE) -
           CSTR_EQUAL;
}

// ---- Errors ----

namespace SystemErrors {

const SystemError kNone = ERROR_SUCCESS;
const SystemError kNameTooLong = ERROR_FILENAME_EXCED_RANGE;
const SystemError kFileNotFound = ERROR_FILE_NOT_FOUND;
const SystemError kPathNotFound = ERROR_PATH_NOT_FOUND;
const SystemError kAccessDenied = ERROR_ACCESS_DENIED;
const SystemError kAlreadyExists = ERROR_ALREADY_EXISTS;
const SystemError kFileExists = ERROR_FILE_EXISTS;
const SystemError kNotFolder = ERROR_DIRECTORY;
const SystemError kDiskFull = ERROR_DISK_FULL;

}  // namespace SystemErrors

SystemError LastSystemError()
{
    return ::GetLastError();
}

CString SystemErrorText(SystemError nError)
{
    wchar_t* pszBuffer = nullptr;
    const DWORD nLength = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, nError, 0, reinterpret_cast<wchar_t*>(&pszBuffer), 0, nullptr);
    const std::string strBytes = nLength != 0 && pszBuffer != nullptr
                                     ? FromWide(pszBuffer, int(nLength), CP_UTF8)
                                     : std::string();
    if (pszBuffer != nullptr)
        ::LocalFree(pszBuffer);
    CString strText(strBytes.data(), int(strBytes.size()));
    strText.TrimRight();
    if (strText.IsEmpty())
        strText.Format("System error %lu.", static_cast<unsigned long>(nError));
    return strText;
}

void DebugOutput(const char* pszText)
{
    ::OutputDebugStringA(pszText);
}
