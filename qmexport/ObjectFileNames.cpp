// ObjectFileNames.cpp
#include "qmexport/ObjectFileNames.h"

#include <windows.h>

#include <cwchar>

#include "framework/Text.h"
#include "qmexport/ObjectKinds.h"

namespace {

// Names Windows keeps for devices, whatever extension follows them.
const wchar_t* const kDeviceNames[] = {
    L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$",
    L"COM1", L"COM2", L"COM3", L"COM4", L"COM5", L"COM6", L"COM7", L"COM8", L"COM9",
    L"LPT1", L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9",
};

const wchar_t kHexDigits[] = L"0123456789ABCDEF";

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
    return ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &ch, 1, &upper, 1, nullptr, nullptr, 0) == 1 &&
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
    const std::wstring strWide = Characters(strName);
    const bool bDevice = IsDeviceName(strWide);
    std::wstring strStem;
    for (size_t i = 0; i < strWide.size(); ++i) {
        // A surrogate pair is one character: both halves stay together.
        size_t nUnits = 1;
        if (IS_HIGH_SURROGATE(strWide[i]) && i + 1 < strWide.size() && IS_LOW_SURROGATE(strWide[i + 1]))
            nUnits = 2;
        const wchar_t ch = strWide[i];
        const bool bLast = i + nUnits == strWide.size();
        const bool bEscape = ch == L'%' || IsForbidden(ch) || (i == 0 && bDevice) ||
                             (bLast && (ch == L'.' || ch == L' ')) || (bMarkCase && nUnits == 1 && IsLowerLetter(ch));
        if (bEscape) {
            for (unsigned char byte : FromWide(&strWide[i], int(nUnits), CP_UTF8)) {
                strStem += L'%';
                strStem += kHexDigits[byte >> 4];
                strStem += kHexDigits[byte & 0x0F];
            }
        } else {
            strStem.append(strWide, i, nUnits);
        }
        i += nUnits - 1;
    }
    return strStem;
}

std::wstring FileName(const CString& strName, const CString& strType, bool bMarkCase)
{
    const std::wstring strExtension = ExtensionOf(strType);
    if (strExtension.empty())
        return std::wstring();
    return Stem(strName, bMarkCase) + L"." + strExtension;
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
    strType = TypeOf(strFileName.substr(nDot + 1));
    return !strType.IsEmpty() && NameOf(strFileName.substr(0, nDot), strName);
}

bool SameFileName(const std::wstring& strA, const std::wstring& strB)
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()), TRUE) == CSTR_EQUAL;
}

bool FileNameLess::operator()(const std::wstring& strA, const std::wstring& strB) const
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()), TRUE) ==
           CSTR_LESS_THAN;
}

bool HasLowerCase(const CString& strName)
{
    for (wchar_t ch : Characters(strName)) {
        if (IsLowerLetter(ch))
            return true;
    }
    return false;
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
