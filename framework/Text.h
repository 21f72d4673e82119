// Text.h
//
// The conversions the program needs between its 8-bit strings and the wide ones of paths
// and the console, and the system's text for an error number (the kernel handle owner,
// CHandle, is in UniqueHandle.h and comes with this header):
//   ToWide / FromWide - text in a code page (the system's by default, or UTF-8) and UTF-16.
//   SystemErrorText   - FormatMessage's text for an error number, on one line.
#pragma once

#include <windows.h>

#include <string>

#include "framework/String.h"
#include "framework/UniqueHandle.h"

std::wstring ToWide(const char* pText, int nLength, UINT nCodePage = CP_ACP);
inline std::wstring ToWide(const CString& strText, UINT nCodePage = CP_ACP)
{
    return ToWide(strText.GetString(), strText.GetLength(), nCodePage);
}
inline std::wstring ToWide(const std::string& strText, UINT nCodePage = CP_ACP)
{
    return ToWide(strText.data(), int(strText.size()), nCodePage);
}

// pbLossy (system code page only): set when a character has no exact equivalent there.
std::string FromWide(const wchar_t* pText, int nLength, UINT nCodePage = CP_ACP,
                     bool* pbLossy = nullptr);
inline std::string FromWide(const std::wstring& strText, UINT nCodePage = CP_ACP,
                            bool* pbLossy = nullptr)
{
    return FromWide(strText.data(), int(strText.size()), nCodePage, pbLossy);
}
// Text from one code page to another (the window's ANSI texts and the session's UTF-8). A
// character the target lacks becomes "?", never a look-alike (no best fit: İ is not I).
inline CString Recode(const CString& strText, UINT nFrom, UINT nTo)
{
    // ASCII is the same bytes in UTF-8 and in every system code page: nothing to convert.
    auto asciiCompatible = [](UINT nCodePage) {
        return nCodePage == CP_UTF8 || nCodePage == CP_ACP;
    };
    if (asciiCompatible(nFrom) && asciiCompatible(nTo)) {
        const char* p = strText.GetString();
        const char* pEnd = p + strText.GetLength();
        while (p != pEnd && static_cast<unsigned char>(*p) < 0x80)
            ++p;
        if (p == pEnd)
            return strText;
    }
    bool bLossy = false;
    const std::string strBytes = FromWide(ToWide(strText.GetString(), strText.GetLength(), nFrom),
                                          nTo, nTo == CP_UTF8 ? nullptr : &bLossy);
    return CString(strBytes.data(), int(strBytes.size()));
}

// A wide path as the export's messages carry it: UTF-8, like every text of an export.
inline CString NarrowPath(const std::wstring& strPath)
{
    const std::string strBytes = FromWide(strPath, CP_UTF8);
    return CString(strBytes.data(), int(strBytes.size()));
}

// "The system cannot find the path specified.", or "System error N." when it has no text;
// UTF-8, like NarrowPath.
CString SystemErrorText(DWORD nError);
