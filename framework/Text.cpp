// Text.cpp
#include "framework/Text.h"

std::wstring ToWide(const char* pText, int nLength, UINT nCodePage)
{
    if (pText == nullptr || nLength <= 0)
        return std::wstring();
    const int nChars = ::MultiByteToWideChar(nCodePage, 0, pText, nLength, nullptr, 0);
    std::wstring strWide(size_t(nChars > 0 ? nChars : 0), L'\0');
    if (nChars > 0)
        ::MultiByteToWideChar(nCodePage, 0, pText, nLength, &strWide[0], nChars);
    return strWide;
}

std::string FromWide(const wchar_t* pText, int nLength, UINT nCodePage, bool* pbLossy)
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

CString SystemErrorText(DWORD nError)
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
