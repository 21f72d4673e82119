// TextCase.h
//
// Case as Windows' file systems and its invariant locale see it, the same on every system (a
// folder checked out on Windows and on Linux must name its files alike): each UTF-16 unit maps
// to at most one upper-case unit; nothing else changes case.
#pragma once

#include <string>

// The upper case of one unit (the unit itself when it has none).
wchar_t UpperUnit(wchar_t ch);
// Every unit of the text in upper case.
std::wstring UpperCase(const std::wstring& strText);
// Ordinal comparison with case ignored, as the file system compares names: <0, 0, >0.
int CompareIgnoringCase(const std::wstring& strA, const std::wstring& strB);
inline bool SameIgnoringCase(const std::wstring& strA, const std::wstring& strB)
{
    return strA.size() == strB.size() && CompareIgnoringCase(strA, strB) == 0;
}
