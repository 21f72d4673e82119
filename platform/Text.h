// Text.h (platform)
//
// Text between the program's 8-bit strings and wide ones. Wide text is UTF-16 on every system:
// one unit per wchar_t (a character beyond the first plane takes two, a surrogate pair), so that
// names are cut, counted and compared alike everywhere.
//   ToWide / FromWide - text in a code page (the system's by default, UTF-8, or ASCII) to wide
//                       text and back.
//   CodePageHolds     - whether a code page holds a character exactly.
//   SystemCodePage    - the code page the system's 8-bit text is in (UTF-8 where the system has
//                       no other).
#pragma once

#include <string>

// Code pages by their Windows numbers.
constexpr unsigned kSystemCodePage = 0;
constexpr unsigned kUtf8CodePage = 65001;
constexpr unsigned kAsciiCodePage = 20127;

unsigned SystemCodePage();

std::wstring ToWide(const char* pText, int nLength, unsigned nCodePage = kSystemCodePage);
inline std::wstring ToWide(const std::string& strText, unsigned nCodePage = kSystemCodePage)
{
    return ToWide(strText.data(), int(strText.size()), nCodePage);
}

// pbLossy (any code page but UTF-8): set when a character has no exact equivalent there; it
// becomes the code page's default character, never a look-alike.
std::string FromWide(const wchar_t* pText, int nLength, unsigned nCodePage = kSystemCodePage,
                     bool* pbLossy = nullptr);
inline std::string FromWide(const std::wstring& strText, unsigned nCodePage = kSystemCodePage,
                            bool* pbLossy = nullptr)
{
    return FromWide(strText.data(), int(strText.size()), nCodePage, pbLossy);
}

// Whether the code page holds these units (one character: one unit, or a surrogate pair)
// exactly: no best fit, no default character, the same units back.
bool CodePageHolds(const wchar_t* pUnits, int nUnits, unsigned nCodePage);

// Whether text is UTF-8 throughout (no stray or overlong byte sequence, no surrogate).
bool IsValidUtf8(const char* pText, size_t nLength);

inline bool IsHighSurrogate(wchar_t ch)
{
    return ch >= 0xD800 && ch <= 0xDBFF;
}
inline bool IsLowSurrogate(wchar_t ch)
{
    return ch >= 0xDC00 && ch <= 0xDFFF;
}
// Whether one unit, or a surrogate pair, is a whole character rather than half of one.
inline bool IsWholeCharacter(const wchar_t* pUnits, int nUnits)
{
    return nUnits == 2 || !(IsHighSurrogate(pUnits[0]) || IsLowSurrogate(pUnits[0]));
}
