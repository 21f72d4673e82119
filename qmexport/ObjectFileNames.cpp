// ObjectFileNames.cpp
#include "qmexport/ObjectFileNames.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "framework/Text.h"
#include "qmexport/ObjectKinds.h"

namespace {

// Names Windows keeps for devices, whatever extension follows them.
const wchar_t* const kDeviceNames[] = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"CONIN$", L"CONOUT$", L"COM1", L"COM2",
    L"COM3", L"COM4", L"COM5", L"COM6", L"COM7",   L"COM8",    L"COM9", L"LPT1",
    L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6",   L"LPT7",    L"LPT8", L"LPT9",
};

const wchar_t kHexDigits[] = L"0123456789ABCDEF";
const wchar_t kShortMark = L'~';
const size_t kHashDigits = 8;

// The characters of a stored name (UTF-8).
std::wstring Characters(const CString& strName)
{
    return ToWide(strName.GetString(), strName.GetLength(), CP_UTF8);
}

// Characters no Windows file name may hold.
bool IsForbidden(wchar_t ch)
{
    return ch < 0x20 || std::wcschr(L"<>:\"/\\|?*", ch) != nullptr;
}

// Whether the part before the first dot, trailing spaces aside, names a device.
bool IsDeviceName(const std::wstring& strName)
{
    std::wstring strBase = strName.substr(0, strName.find(L'.'));
    while (!strBase.empty() && strBase.back() == L' ')
        strBase.pop_back();
    for (const wchar_t* pszDevice : kDeviceNames) {
        if (ObjectFileNames::SameFileName(strBase, pszDevice))
            return true;
    }
    return false;
}

// A letter that the file system's case folding changes: only such letters tell case twins apart.
bool IsLowerLetter(wchar_t ch)
{
    wchar_t upper = ch;
    return ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &ch, 1, &upper, 1, nullptr,
                           nullptr, 0) == 1 &&
           upper != ch;
}

int HexValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

// The escaped stem one character at a time, so that a shortened name never cuts an escape or
// a character in two.
std::vector<std::wstring> StemPieces(const CString& strName, bool bMarkCase)
{
    const std::wstring strWide = Characters(strName);
    const bool bDevice = IsDeviceName(strWide);
    std::vector<std::wstring> pieces;
    for (size_t i = 0; i < strWide.size(); ++i) {
        // A surrogate pair is one character: both halves stay together.
        size_t nUnits = 1;
        if (IS_HIGH_SURROGATE(strWide[i]) && i + 1 < strWide.size() &&
            IS_LOW_SURROGATE(strWide[i + 1]))
            nUnits = 2;
        const wchar_t ch = strWide[i];
        const bool bLast = i + nUnits == strWide.size();
        const bool bEscape = ch == L'%' || IsForbidden(ch) || (i == 0 && bDevice) ||
                             (bLast && (ch == L'.' || ch == L' ')) ||
                             (bMarkCase && nUnits == 1 && IsLowerLetter(ch));
        std::wstring strPiece;
        if (bEscape) {
            for (unsigned char byte : FromWide(&strWide[i], int(nUnits), CP_UTF8)) {
                strPiece += L'%';
                strPiece += kHexDigits[byte >> 4];
                strPiece += kHexDigits[byte & 0x0F];
            }
        } else {
            strPiece.assign(strWide, i, nUnits);
        }
        pieces.push_back(strPiece);
        i += nUnits - 1;
    }
    return pieces;
}

// FNV-1a, 32 bits, of the stored name's bytes, in upper-case hex.
std::wstring HashText(const CString& strName)
{
    std::uint32_t nHash = 2166136261u;
    for (unsigned char byte : strName.str()) {
        nHash ^= byte;
        nHash *= 16777619u;
    }
    std::wstring strText(kHashDigits, L'0');
    for (size_t i = kHashDigits; i-- > 0; nHash >>= 4)
        strText[i] = kHexDigits[nHash & 0x0F];
    return strText;
}

bool IsValidUtf8(const std::string& strBytes)
{
    return strBytes.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, strBytes.data(),
                                                     int(strBytes.size()), nullptr, 0) > 0;
}

// A name a folder takes as one plain file name of its own, in any folder, on any volume.
bool IsPlainFileName(const std::wstring& strFile)
{
    if (strFile.empty() || strFile.size() > ObjectFileNames::kMaxFileName || strFile == L"." ||
        strFile == L"..")
        return false;
    for (wchar_t ch : strFile) {
        if (IsForbidden(ch))  // separators, drives and streams included
            return false;
    }
    return strFile.back() != L'.' && strFile.back() != L' ' && !IsDeviceName(strFile);
}

// "<start of the escaped name>~<eight hex digits>": the start must be a whole run of escaped
// characters and the name as long as FileName makes a shortened one.
bool ParseShortStem(const std::wstring& strStem, size_t nFileLength, CString& strStart)
{
    // One piece (an escaped four-byte character) is at most 12 units: the cut leaves fewer free.
    const size_t kLongestPiece = 12;
    if (nFileLength + kLongestPiece <= ObjectFileNames::kMaxFileName ||
        strStem.size() < kHashDigits + 2)
        return false;
    const size_t nMark = strStem.size() - kHashDigits - 1;
    if (strStem[nMark] != kShortMark)
        return false;
    for (size_t i = nMark + 1; i < strStem.size(); ++i) {
        if (HexValue(strStem[i]) < 0)
            return false;
    }
    return ObjectFileNames::NameOf(strStem.substr(0, nMark), strStart) &&
           IsValidUtf8(strStart.str());
}

}  // namespace

namespace ObjectFileNames {

std::wstring ExtensionOf(const CString& strType)
{
    const ObjectKind* pKind = ObjectKinds::OfType(strType);
    return pKind != nullptr ? pKind->pszExtension : std::wstring();
}

CString TypeOf(const std::wstring& strExtension)
{
    const ObjectKind* pKind = ObjectKinds::OfExtension(strExtension);
    return pKind != nullptr ? CString(pKind->pszType) : CString();
}

std::wstring Stem(const CString& strName, bool bMarkCase)
{
    std::wstring strStem;
    for (const std::wstring& strPiece : StemPieces(strName, bMarkCase))
        strStem += strPiece;
    return strStem;
}

std::wstring FileName(const CString& strName, const CString& strType, bool bMarkCase)
{
    const std::wstring strExtension = ExtensionOf(strType);
    if (strExtension.empty())
        return std::wstring();
    const std::wstring strTail = L"." + strExtension;
    const std::vector<std::wstring> pieces = StemPieces(strName, bMarkCase);
    std::wstring strStem;
    for (const std::wstring& strPiece : pieces)
        strStem += strPiece;
    if (strStem.size() + strTail.size() <= kMaxFileName)
        return strStem + strTail;

    const std::wstring strShortTail = kShortMark + HashText(strName) + strTail;
    std::wstring strStart;
    for (const std::wstring& strPiece : pieces) {
        if (strStart.size() + strPiece.size() + strShortTail.size() > kMaxFileName)
            break;
        strStart += strPiece;
    }
    return strStart + strShortTail;
}

bool NameOf(const std::wstring& strStem, CString& strName)
{
    std::string strBytes;
    size_t nPlainStart = 0;
    auto flushPlain = [&](size_t nEnd) {
        strBytes += FromWide(strStem.data() + nPlainStart, int(nEnd - nPlainStart), CP_UTF8);
    };
    for (size_t i = 0; i < strStem.size(); ++i) {
        if (strStem[i] != L'%')
            continue;
        if (i + 2 >= strStem.size())
            return false;
        const int nHigh = HexValue(strStem[i + 1]);
        const int nLow = HexValue(strStem[i + 2]);
        if (nHigh < 0 || nLow < 0)
            return false;
        flushPlain(i);
        strBytes += char(nHigh * 16 + nLow);
        i += 2;
        nPlainStart = i + 1;
    }
    flushPlain(strStem.size());
    if (strBytes.empty())
        return false;
    strName = CString(strBytes);
    return true;
}

bool ObjectOf(const std::wstring& strFileName, CString& strName, CString& strType)
{
    const size_t nDot = strFileName.rfind(L'.');
    if (nDot == std::wstring::npos || nDot == 0)
        return false;
    CString strFoundName;
    const CString strFoundType = TypeOf(strFileName.substr(nDot + 1));
    if (strFoundType.IsEmpty() || !NameOf(strFileName.substr(0, nDot), strFoundName) ||
        !IsValidUtf8(strFoundName.str()))
        return false;
    // Only the escapes FileName itself makes, with or without the case marks.
    if (strFileName != FileName(strFoundName, strFoundType, false) &&
        strFileName != FileName(strFoundName, strFoundType, true))
        return false;
    strName = strFoundName;
    strType = strFoundType;
    return true;
}

bool IsOwnFileName(const std::wstring& strFileName, ParsedFileName* pParsed)
{
    if (!IsPlainFileName(strFileName))
        return false;
    ParsedFileName parsed;
    if (!ObjectOf(strFileName, parsed.strName, parsed.strType)) {
        const size_t nDot = strFileName.rfind(L'.');
        if (nDot == std::wstring::npos)
            return false;
        const std::wstring strExtension = strFileName.substr(nDot + 1);
        parsed.strType = TypeOf(strExtension);
        if (parsed.strType.IsEmpty() || strExtension != ExtensionOf(parsed.strType) ||
            !ParseShortStem(strFileName.substr(0, nDot), strFileName.size(), parsed.strName))
            return false;
        parsed.bShortened = true;
    }
    if (pParsed != nullptr)
        *pParsed = parsed;
    return true;
}

bool SameFileName(const std::wstring& strA, const std::wstring& strB)
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool FileNameLess::operator()(const std::wstring& strA, const std::wstring& strB) const
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()),
                                  TRUE) == CSTR_LESS_THAN;
}

}  // namespace ObjectFileNames

void CaseTwins::Add(const CString& strName)
{
    m_groups[Characters(strName)].insert(strName);
}

bool CaseTwins::HasTwin(const CString& strName) const
{
    const auto it = m_groups.find(Characters(strName));
    if (it == m_groups.end())
        return false;
    return it->second.size() > 1 || (it->second.size() == 1 && it->second.count(strName) == 0);
}
