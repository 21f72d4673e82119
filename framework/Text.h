// Text.h
//
// The conversions the program needs between its 8-bit strings and the wide ones of paths
// and the console (platform/Text.h), and the system's text for an error number
// (platform/SystemError.h), with what the program builds on them:
//   Recode     - text from one code page to another.
//   NarrowPath - a wide path as a message carries it.
#pragma once

#include <string>

#include "framework/String.h"
#include "platform/SystemError.h"
#include "platform/Text.h"

inline std::wstring ToWide(const CString& strText, unsigned nCodePage = kSystemCodePage)
{
    return ToWide(strText.GetString(), strText.GetLength(), nCodePage);
}

// Whether the nLength bytes at pText are ASCII: the same bytes in UTF-8 and in every system
// code page.
inline bool IsAscii(const char* pText, int nLength)
{
    const char* pEnd = pText + nLength;
    while (pText != pEnd && static_cast<unsigned char>(*pText) < 0x80)
        ++pText;
    return pText == pEnd;
}

// Text from one code page to another (the window's ANSI texts and the session's UTF-8). A
// character the target lacks becomes "?", never a look-alike (no best fit: İ is not I).
inline CString Recode(const CString& strText, unsigned nFrom, unsigned nTo)
{
    // ASCII is the same bytes in UTF-8 and in every system code page: nothing to convert.
    auto asciiCompatible = [](unsigned nCodePage) {
        return nCodePage == kUtf8CodePage || nCodePage == kSystemCodePage;
    };
    if (asciiCompatible(nFrom) && asciiCompatible(nTo) &&
        IsAscii(strText.GetString(), strText.GetLength()))
        return strText;
    bool bLossy = false;
    const std::string strBytes = FromWide(ToWide(strText.GetString(), strText.GetLength(), nFrom),
                                          nTo, nTo == kUtf8CodePage ? nullptr : &bLossy);
    return CString(strBytes.data(), int(strBytes.size()));
}

// A wide path as the export's messages carry it: UTF-8, like every text of an export.
inline CString NarrowPath(const std::wstring& strPath)
{
    const std::string strBytes = FromWide(strPath, kUtf8CodePage);
    return CString(strBytes.data(), int(strBytes.size()));
}
