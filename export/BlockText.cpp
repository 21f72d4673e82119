// BlockText.cpp: the slash line test and the conversion of a block to the file's code page.
#include "export/BlockText.h"

#include <string>

#include "framework/Text.h"

namespace BlockText {

bool EndsWithSlashLine(const CString& strText)
{
    const char* pText = strText.GetString();
    int nEnd = strText.GetLength();
    auto isBlank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
    while (nEnd > 0 && isBlank(pText[nEnd - 1]))
        --nEnd;
    if (nEnd == 0 || pText[nEnd - 1] != '/')
        return false;
    int nStart = nEnd - 1;
    while (nStart > 0 && pText[nStart - 1] != '\n') {
        --nStart;
        if (!isBlank(pText[nStart]))
            return false;
    }
    return true;
}

namespace {

// Whether the UTF-16 units at pText convert to nCodePage exactly (no default character, no
// best-fit replacement); the bytes in strBytes.
bool ConvertExactly(const wchar_t* pText, int nLength, UINT nCodePage, std::string& strBytes)
{
    strBytes.clear();
    if (nLength == 0)
        return true;
    BOOL bUsedDefault = FALSE;
    const int nSize = ::WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pText, nLength,
                                            nullptr, 0, nullptr, &bUsedDefault);
    if (nSize <= 0 || bUsedDefault)
        return false;
    strBytes.resize(size_t(nSize));
    ::WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pText, nLength, &strBytes[0], nSize,
                          nullptr, &bUsedDefault);
    // A character that comes back as another one (a best fit the flag did not stop).
    return !bUsedDefault && ToWide(strBytes, nCodePage) == std::wstring(pText, size_t(nLength));
}

}  // namespace

bool Encode(const CString& strUtf8, UINT nCodePage, CString& strEncoded, Unencodable& lost)
{
    const std::wstring strWide = ToWide(strUtf8.GetString(), strUtf8.GetLength(), CP_UTF8);
    std::string strBytes;
    if (ConvertExactly(strWide.data(), int(strWide.size()), nCodePage, strBytes)) {
        strEncoded = CString(strBytes.data(), int(strBytes.size()));
        return true;
    }
    // The first character that does not convert, and its line.
    int nLine = 1;
    for (size_t i = 0; i < strWide.size(); ++i) {
        const wchar_t ch = strWide[i];
        if (ch == L'\n') {
            ++nLine;
            continue;
        }
        const bool bPair = ch >= 0xD800 && ch <= 0xDBFF && i + 1 < strWide.size();
        const int nUnits = bPair ? 2 : 1;
        if (!ConvertExactly(&strWide[i], nUnits, nCodePage, strBytes)) {
            const unsigned nCode = bPair ? 0x10000u + ((unsigned(ch) - 0xD800u) << 10) +
                                               (unsigned(strWide[i + 1]) - 0xDC00u)
                                         : unsigned(ch);
            lost.nLine = nLine;
            lost.strCharacter.Format("U+%04X", nCode);
            return false;
        }
        if (bPair)
            ++i;
    }
    // Every character converts alone but not together (a code page with shift states).
    lost.nLine = 1;
    lost.strCharacter = "?";
    return false;
}

bool HoldsBeyondAscii(const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); ++i) {
        if ((static_cast<unsigned char>(strText[i]) & 0x80) != 0)
            return true;
    }
    return false;
}

}  // namespace BlockText
