// Text.cpp (POSIX): UTF-8 is the system's text; wide text is UTF-16 units, one per wchar_t.
// Case follows the table Windows' invariant locale and file systems use for each unit.
#include "platform/Text.h"

#include <cerrno>
#include <cstring>

#include "platform/Debug.h"
#include "platform/SystemError.h"
#include "platform/TextCase.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// The code point of the UTF-8 sequence at p (at most nLeft bytes); nUsed its length. False for
// a byte that starts no valid sequence (nUsed 1 then).
bool DecodeUtf8(const unsigned char* p, size_t nLeft, char32_t& cp, size_t& nUsed)
{
    nUsed = 1;
    const unsigned char b = p[0];
    size_t nMore = 0;
    char32_t nMin = 0;
    if (b < 0x80) {
        cp = b;
        return true;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        cp = b & 0x1F;
        nMore = 1;
        nMin = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        cp = b & 0x0F;
        nMore = 2;
        nMin = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        cp = b & 0x07;
        nMore = 3;
        nMin = 0x10000;
    } else {
        return false;
    }
    if (nLeft < nMore + 1)
        return false;
    for (size_t i = 1; i <= nMore; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < nMin || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    nUsed = nMore + 1;
    return true;
}

void AppendUtf8(std::string& strOut, char32_t cp)
{
    if (cp < 0x80) {
        strOut += char(cp);
    } else if (cp < 0x800) {
        strOut += char(0xC0 | (cp >> 6));
        strOut += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        strOut += char(0xE0 | (cp >> 12));
        strOut += char(0x80 | ((cp >> 6) & 0x3F));
        strOut += char(0x80 | (cp & 0x3F));
    } else {
        strOut += char(0xF0 | (cp >> 18));
        strOut += char(0x80 | ((cp >> 12) & 0x3F));
        strOut += char(0x80 | ((cp >> 6) & 0x3F));
        strOut += char(0x80 | (cp & 0x3F));
    }
}

bool IsAsciiPage(unsigned nCodePage)
{
    return nCodePage == kAsciiCodePage;
}

// { first, last, step, delta }: every step-th unit from first to last has the upper case
// unit + delta.
struct CaseRange {
    unsigned short nFirst;
    unsigned short nLast;
    unsigned char nStep;
    int nDelta;
};

const CaseRange kUpperRanges[] = {
    {0x0061, 0x007A, 1, -32},    {0x00E0, 0x00F6, 1, -32},    {0x00F8, 0x00FE, 1, -32},
    {0x00FF, 0x00FF, 1, 121},    {0x0101, 0x012F, 2, -1},     {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},     {0x014B, 0x0177, 2, -1},     {0x017A, 0x017E, 2, -1},
    {0x0180, 0x0180, 1, 195},    {0x0183, 0x0185, 2, -1},     {0x0188, 0x0188, 1, -1},
    {0x018C, 0x018C, 1, -1},     {0x0192, 0x0192, 1, -1},     {0x0195, 0x0195, 1, 97},
    {0x0199, 0x0199, 1, -1},     {0x019A, 0x019A, 1, 163},    {0x019E, 0x019E, 1, 130},
    {0x01A1, 0x01A5, 2, -1},     {0x01A8, 0x01A8, 1, -1},     {0x01AD, 0x01AD, 1, -1},
    {0x01B0, 0x01B0, 1, -1},     {0x01B4, 0x01B6, 2, -1},     {0x01B9, 0x01B9, 1, -1},
    {0x01BD, 0x01BD, 1, -1},     {0x01BF, 0x01BF, 1, 56},     {0x01C6, 0x01C6, 1, -2},
    {0x01C9, 0x01C9, 1, -2},     {0x01CC, 0x01CC, 1, -2},     {0x01CE, 0x01DC, 2, -1},
    {0x01DD, 0x01DD, 1, -79},    {0x01DF, 0x01EF, 2, -1},     {0x01F3, 0x01F3, 1, -2},
    {0x01F5, 0x01F5, 1, -1},     {0x01F9, 0x021F, 2, -1},     {0x0223, 0x0233, 2, -1},
    {0x023C, 0x023C, 1, -1},     {0x023F, 0x0240, 1, 10815},  {0x0242, 0x0242, 1, -1},
    {0x0247, 0x024F, 2, -1},     {0x0250, 0x0250, 1, 10783},  {0x0251, 0x0251, 1, 10780},
    {0x0252, 0x0252, 1, 10782},  {0x0253, 0x0253, 1, -210},   {0x0254, 0x0254, 1, -206},
    {0x0256, 0x0257, 1, -205},   {0x0259, 0x0259, 1, -202},   {0x025B, 0x025B, 1, -203},
    {0x025C, 0x025C, 1, 42319},  {0x0260, 0x0260, 1, -205},   {0x0261, 0x0261, 1, 42315},
    {0x0263, 0x0263, 1, -207},   {0x0265, 0x0265, 1, 42280},  {0x0266, 0x0266, 1, 42308},
    {0x0268, 0x0268, 1, -209},   {0x0269, 0x0269, 1, -211},   {0x026A, 0x026A, 1, 42308},
    {0x026B, 0x026B, 1, 10743},  {0x026C, 0x026C, 1, 42305},  {0x026F, 0x026F, 1, -211},
    {0x0271, 0x0271, 1, 10749},  {0x0272, 0x0272, 1, -213},   {0x0275, 0x0275, 1, -214},
    {0x027D, 0x027D, 1, 10727},  {0x0280, 0x0280, 1, -218},   {0x0282, 0x0282, 1, 42307},
    {0x0283, 0x0283, 1, -218},   {0x0287, 0x0287, 1, 42282},  {0x0288, 0x0288, 1, -218},
    {0x0289, 0x0289, 1, -69},    {0x028A, 0x028B, 1, -217},   {0x028C, 0x028C, 1, -71},
    {0x0292, 0x0292, 1, -219},   {0x029D, 0x029D, 1, 42261},  {0x029E, 0x029E, 1, 42258},
    {0x0371, 0x0373, 2, -1},     {0x0377, 0x0377, 1, -1},     {0x037B, 0x037D, 1, 130},
    {0x03AC, 0x03AC, 1, -38},    {0x03AD, 0x03AF, 1, -37},    {0x03B1, 0x03C1, 1, -32},
    {0x03C3, 0x03CB, 1, -32},    {0x03CC, 0x03CC, 1, -64},    {0x03CD, 0x03CE, 1, -63},
    {0x03D7, 0x03D7, 1, -8},     {0x03D9, 0x03EF, 2, -1},     {0x03F2, 0x03F2, 1, 7},
    {0x03F3, 0x03F3, 1, -116},   {0x03F8, 0x03F8, 1, -1},     {0x03FB, 0x03FB, 1, -1},
    {0x0430, 0x044F, 1, -32},    {0x0450, 0x045F, 1, -80},    {0x0461, 0x0481, 2, -1},
    {0x048B, 0x04BF, 2, -1},     {0x04C2, 0x04CE, 2, -1},     {0x04CF, 0x04CF, 1, -15},
    {0x04D1, 0x052F, 2, -1},     {0x0561, 0x0586, 1, -48},    {0x10D0, 0x10FA, 1, 3008},
    {0x10FD, 0x10FF, 1, 3008},   {0x13F8, 0x13FD, 1, -8},     {0x1D79, 0x1D79, 1, 35332},
    {0x1D7D, 0x1D7D, 1, 3814},   {0x1D8E, 0x1D8E, 1, 35384},  {0x1E01, 0x1E95, 2, -1},
    {0x1EA1, 0x1EFF, 2, -1},     {0x1F00, 0x1F07, 1, 8},      {0x1F10, 0x1F15, 1, 8},
    {0x1F20, 0x1F27, 1, 8},      {0x1F30, 0x1F37, 1, 8},      {0x1F40, 0x1F45, 1, 8},
    {0x1F51, 0x1F57, 2, 8},      {0x1F60, 0x1F67, 1, 8},      {0x1F70, 0x1F71, 1, 74},
    {0x1F72, 0x1F75, 1, 86},     {0x1F76, 0x1F77, 1, 100},    {0x1F78, 0x1F79, 1, 128},
    {0x1F7A, 0x1F7B, 1, 112},    {0x1F7C, 0x1F7D, 1, 126},    {0x1F80, 0x1F87, 1, 8},
    {0x1F90, 0x1F97, 1, 8},      {0x1FA0, 0x1FA7, 1, 8},      {0x1FB0, 0x1FB1, 1, 8},
    {0x1FB3, 0x1FB3, 1, 9},      {0x1FC3, 0x1FC3, 1, 9},      {0x1FD0, 0x1FD1, 1, 8},
    {0x1FE0, 0x1FE1, 1, 8},      {0x1FE5, 0x1FE5, 1, 7},      {0x1FF3, 0x1FF3, 1, 9},
    {0x214E, 0x214E, 1, -28},    {0x2170, 0x217F, 1, -16},    {0x2184, 0x2184, 1, -1},
    {0x24D0, 0x24E9, 1, -26},    {0x2C30, 0x2C5F, 1, -48},    {0x2C61, 0x2C61, 1, -1},
    {0x2C65, 0x2C65, 1, -10795}, {0x2C66, 0x2C66, 1, -10792}, {0x2C68, 0x2C6C, 2, -1},
    {0x2C73, 0x2C73, 1, -1},     {0x2C76, 0x2C76, 1, -1},     {0x2C81, 0x2CE3, 2, -1},
    {0x2CEC, 0x2CEE, 2, -1},     {0x2CF3, 0x2CF3, 1, -1},     {0x2D00, 0x2D25, 1, -7264},
    {0x2D27, 0x2D27, 1, -7264},  {0x2D2D, 0x2D2D, 1, -7264},  {0xA641, 0xA66D, 2, -1},
    {0xA681, 0xA69B, 2, -1},     {0xA723, 0xA72F, 2, -1},     {0xA733, 0xA76F, 2, -1},
    {0xA77A, 0xA77C, 2, -1},     {0xA77F, 0xA787, 2, -1},     {0xA78C, 0xA78C, 1, -1},
    {0xA791, 0xA793, 2, -1},     {0xA794, 0xA794, 1, 48},     {0xA797, 0xA7A9, 2, -1},
    {0xA7B5, 0xA7C3, 2, -1},     {0xA7C8, 0xA7CA, 2, -1},     {0xA7D1, 0xA7D1, 1, -1},
    {0xA7D7, 0xA7D9, 2, -1},     {0xA7F6, 0xA7F6, 1, -1},     {0xAB53, 0xAB53, 1, -928},
    {0xAB70, 0xABBF, 1, -38864}, {0xFF41, 0xFF5A, 1, -32},
};

}  // namespace

unsigned SystemCodePage()
{
    return kUtf8CodePage;
}

std::wstring ToWide(const char* pText, int nLength, unsigned nCodePage)
{
    std::wstring strWide;
    if (pText == nullptr || nLength <= 0)
        return strWide;
    const auto* p = reinterpret_cast<const unsigned char*>(pText);
    const size_t nSize = size_t(nLength);
    for (size_t i = 0; i < nSize;) {
        char32_t cp = 0;
        size_t nUsed = 1;
        if (IsAsciiPage(nCodePage)) {
            cp = p[i] < 0x80 ? p[i] : kReplacement;
        } else if (!DecodeUtf8(p + i, nSize - i, cp, nUsed)) {
            cp = kReplacement;
        }
        if (cp >= 0x10000) {
            strWide += wchar_t(0xD800 + ((cp - 0x10000) >> 10));
            strWide += wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            strWide += wchar_t(cp);
        }
        i += nUsed;
    }
    return strWide;
}

std::string FromWide(const wchar_t* pText, int nLength, unsigned nCodePage, bool* pbLossy)
{
    if (pbLossy != nullptr)
        *pbLossy = false;
    std::string strBytes;
    if (pText == nullptr || nLength <= 0)
        return strBytes;
    const bool bAscii = IsAsciiPage(nCodePage);
    for (int i = 0; i < nLength; ++i) {
        char32_t cp = char32_t(pText[i]) & 0xFFFF;
        bool bHeld = true;
        if (IsHighSurrogate(pText[i]) && i + 1 < nLength && IsLowSurrogate(pText[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + ((char32_t(pText[i + 1]) & 0xFFFF) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(pText[i]) || IsLowSurrogate(pText[i])) {
            bHeld = false;
        }
        if (bAscii && cp >= 0x80)
            bHeld = false;
        if (!bHeld) {
            if (pbLossy != nullptr)
                *pbLossy = true;
            if (bAscii)
                strBytes += '?';
            else
                AppendUtf8(strBytes, kReplacement);
            continue;
        }
        AppendUtf8(strBytes, cp);
    }
    return strBytes;
}

bool CodePageHolds(const wchar_t* pUnits, int nUnits, unsigned nCodePage)
{
    if (nUnits == 1 && pUnits[0] < 0x80)
        return true;
    if (IsAsciiPage(nCodePage))
        return false;
    return IsWholeCharacter(pUnits, nUnits);
}

bool IsValidUtf8(const char* pText, size_t nLength)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pText);
    for (size_t i = 0; i < nLength;) {
        char32_t cp = 0;
        size_t nUsed = 1;
        if (!DecodeUtf8(p + i, nLength - i, cp, nUsed))
            return false;
        i += nUsed;
    }
    return true;
}

// ---- Case ----

wchar_t UpperUnit(wchar_t ch)
{
    const unsigned nUnit = unsigned(ch);
    // ASCII first: nearly every name is ASCII, and its only case pairs are the letters.
    if (nUnit < 0x80)
        return nUnit >= 'a' && nUnit <= 'z' ? wchar_t(nUnit - ('a' - 'A')) : ch;
    if (nUnit > 0xFFFF)
        return ch;
    size_t nLow = 0;
    size_t nHigh = sizeof(kUpperRanges) / sizeof(kUpperRanges[0]);
    while (nLow < nHigh) {
        const size_t nMid = (nLow + nHigh) / 2;
        if (kUpperRanges[nMid].nLast < nUnit)
            nLow = nMid + 1;
        else
            nHigh = nMid;
    }
    if (nLow == sizeof(kUpperRanges) / sizeof(kUpperRanges[0]))
        return ch;
    const CaseRange& range = kUpperRanges[nLow];
    if (nUnit < range.nFirst || (nUnit - range.nFirst) % range.nStep != 0)
        return ch;
    return wchar_t(int(nUnit) + range.nDelta);
}

std::wstring UpperCase(const std::wstring& strText)
{
    std::wstring strUpper = strText;
    for (wchar_t& ch : strUpper)
        ch = UpperUnit(ch);
    return strUpper;
}

int CompareIgnoringCase(const std::wstring& strA, const std::wstring& strB)
{
    const size_t n = strA.size() < strB.size() ? strA.size() : strB.size();
    for (size_t i = 0; i < n; ++i) {
        if (strA[i] == strB[i])
            continue;
        const unsigned a = unsigned(UpperUnit(strA[i]));
        const unsigned b = unsigned(UpperUnit(strB[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    return strA.size() < strB.size() ? -1 : (strA.size() > strB.size() ? 1 : 0);
}

// ---- Errors ----

namespace SystemErrors {

const SystemError kNone = 0;
const SystemError kNameTooLong = ENAMETOOLONG;
const SystemError kFileNotFound = ENOENT;
const SystemError kPathNotFound = ENOENT;
const SystemError kAccessDenied = EACCES;
const SystemError kAlreadyExists = EEXIST;
const SystemError kFileExists = EEXIST;
const SystemError kNotFolder = ENOTDIR;
const SystemError kDiskFull = ENOSPC;

}  // namespace SystemErrors

SystemError LastSystemError()
{
    return SystemError(errno);
}

CString SystemErrorText(SystemError nError)
{
    char szBuffer[256] = "";
    // The GNU strerror_r hands back its own text or one in the buffer.
    const char* pszText = strerror_r(int(nError), szBuffer, sizeof(szBuffer));
    CString strText(pszText != nullptr ? pszText : "");
    strText.TrimRight();
    if (strText.IsEmpty() || strText.Left(14) == "Unknown error ")
        strText.Format("System error %lu.", static_cast<unsigned long>(nError));
    return strText;
}

void DebugOutput(const char*) {}
