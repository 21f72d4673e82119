// ObjectFileNames.cpp
#include "qmexport/ObjectFileNames.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "export/ContentDigest.h"
#include "export/TargetPath.h"
#include "framework/Text.h"
#include "platform/TextCase.h"
#include "qmexport/ObjectKinds.h"

namespace {

const wchar_t kHexDigits[] = L"0123456789ABCDEF";
const wchar_t kShortMark = L'~';
// SHA-256's first 16 bytes: no search finds two names that share them.
const size_t kHashDigits = 32;
// The FNV-1a 32 hash of earlier versions: its names are only recognised, never made.
const size_t kFormerHashDigits = 8;

// How a file name is made: today's rules, or an earlier version's (recognised only, so that
// a run can find and replace the files it wrote under them).
struct Rules {
    bool bMarkCase = false;
    // Characters this code page cannot hold exactly are escaped; UTF-8 holds them all.
    unsigned nCodePage = kUtf8CodePage;
    // Earlier versions kept a name's own "~" and shortened with an FNV-1a 32 hash.
    bool bFormer = false;
    // Earlier versions measured a name in UTF-16 units alone.
    bool bUnitsOnly = false;
};

size_t Utf8Length(const std::wstring& strText)
{
    return FromWide(strText, kUtf8CodePage).size();
}

// Whether a file name of this many UTF-16 units and UTF-8 bytes fits under the rules.
bool Fits(size_t nUnits, size_t nBytes, const Rules& rules)
{
    return nUnits <= ObjectFileNames::kMaxFileName &&
           (rules.bUnitsOnly || nBytes <= ObjectFileNames::kMaxFileNameBytes);
}

// The characters of a stored name (UTF-8).
std::wstring Characters(const CString& strName)
{
    return ToWide(strName.GetString(), strName.GetLength(), kUtf8CodePage);
}

// Characters no Windows file name may hold.
bool IsForbidden(wchar_t ch)
{
    return ch < 0x20 || std::wcschr(L"<>:\"/\\|?*", ch) != nullptr;
}

// A letter that the file system's case folding changes: only such letters tell case twins apart.
bool IsLowerLetter(wchar_t ch)
{
    return UpperUnit(ch) != ch;
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
std::vector<std::wstring> StemPieces(const CString& strName, const Rules& rules)
{
    const std::wstring strWide = Characters(strName);
    const bool bDevice = TargetPath::IsDeviceName(strWide);
    std::vector<std::wstring> pieces;
    for (size_t i = 0; i < strWide.size(); ++i) {
        // A surrogate pair is one character: both halves stay together.
        size_t nUnits = 1;
        if (IsHighSurrogate(strWide[i]) && i + 1 < strWide.size() && IsLowSurrogate(strWide[i + 1]))
            nUnits = 2;
        const wchar_t ch = strWide[i];
        const bool bLast = i + nUnits == strWide.size();
        const bool bEscape = ch == L'%' || IsForbidden(ch) || (i == 0 && bDevice) ||
                             (bLast && (ch == L'.' || ch == L' ')) ||
                             (ch == kShortMark && !rules.bFormer) ||
                             (rules.bMarkCase && nUnits == 1 && IsLowerLetter(ch)) ||
                             !CodePageHolds(&strWide[i], int(nUnits), rules.nCodePage);
        std::wstring strPiece;
        if (bEscape) {
            for (unsigned char byte : FromWide(&strWide[i], int(nUnits), kUtf8CodePage)) {
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

std::wstring HexText(const unsigned char* pBytes, size_t nBytes)
{
    std::wstring strText;
    for (size_t i = 0; i < nBytes; ++i) {
        strText += kHexDigits[pBytes[i] >> 4];
        strText += kHexDigits[pBytes[i] & 0x0F];
    }
    return strText;
}

// FNV-1a, 32 bits, of the stored name's bytes, in upper-case hex (earlier versions).
std::wstring FormerHashText(const CString& strName)
{
    std::uint32_t nHash = 2166136261u;
    for (unsigned char byte : strName.str()) {
        nHash ^= byte;
        nHash *= 16777619u;
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(nHash >> 24), static_cast<unsigned char>(nHash >> 16),
        static_cast<unsigned char>(nHash >> 8), static_cast<unsigned char>(nHash)};
    return HexText(bytes, sizeof(bytes));
}

// The first kHashDigits / 2 bytes of the SHA-256 of the stored name's bytes, in upper-case hex.
std::wstring HashText(const CString& strName)
{
    const std::string& strBytes = strName.str();
    ContentDigester digester;
    digester.Add(strBytes.data(), strBytes.size());
    const ContentDigest digest = digester.Finish();
    return HexText(digest.hash.data(), kHashDigits / 2);
}

bool IsValidUtf8(const std::string& strBytes)
{
    return ::IsValidUtf8(strBytes.data(), strBytes.size());
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
    return strFile.back() != L'.' && strFile.back() != L' ' && !TargetPath::IsDeviceName(strFile);
}

// "<start of the escaped name>~<hash>": the start must be a whole run of escaped characters
// and the name as long as FileName makes a shortened one, in units or in bytes; the hash is
// today's or an earlier version's.
bool ParseShortStem(const std::wstring& strStem, const std::wstring& strFileName, CString& strStart)
{
    // One piece (an escaped four-byte character) is at most 12 units and 12 bytes: the cut
    // leaves fewer free.
    const size_t kLongestPiece = 12;
    if (strFileName.size() + kLongestPiece <= ObjectFileNames::kMaxFileName &&
        Utf8Length(strFileName) + kLongestPiece <= ObjectFileNames::kMaxFileNameBytes)
        return false;
    for (size_t nDigits : {kHashDigits, kFormerHashDigits}) {
        if (strStem.size() < nDigits + 1)
            continue;
        const size_t nMark = strStem.size() - nDigits - 1;
        if (strStem[nMark] != kShortMark)
            continue;
        bool bHex = true;
        for (size_t i = nMark + 1; i < strStem.size(); ++i)
            bHex = bHex && HexValue(strStem[i]) >= 0;
        if (!bHex)
            continue;
        // An empty start: every piece of the name was longer than the room left.
        if (nMark == 0) {
            strStart = CString();
            return true;
        }
        return ObjectFileNames::NameOf(strStem.substr(0, nMark), strStart) &&
               IsValidUtf8(strStart.str());
    }
    return false;
}

std::wstring BuildFileName(const CString& strName, const std::wstring& strExtension,
                           const Rules& rules)
{
    const std::wstring strTail = L"." + strExtension;
    const std::vector<std::wstring> pieces = StemPieces(strName, rules);
    std::wstring strStem;
    for (const std::wstring& strPiece : pieces)
        strStem += strPiece;
    if (Fits(strStem.size() + strTail.size(), Utf8Length(strStem) + strTail.size(), rules))
        return strStem + strTail;

    // The hash and the extension are ASCII: as many bytes as units.
    const std::wstring strShortTail =
        kShortMark + (rules.bFormer ? FormerHashText(strName) : HashText(strName)) + strTail;
    std::wstring strStart;
    size_t nStartBytes = 0;
    for (const std::wstring& strPiece : pieces) {
        const size_t nPieceBytes = Utf8Length(strPiece);
        if (!Fits(strStart.size() + strPiece.size() + strShortTail.size(),
                  nStartBytes + nPieceBytes + strShortTail.size(), rules))
            break;
        strStart += strPiece;
        nStartBytes += nPieceBytes;
    }
    return strStart + strShortTail;
}

// Every set of rules a file of this program's may have been named by, today's first: either
// case marking; this code page or none (a folder exported where the system's code page holds
// every character of the names), or ASCII (--ascii-names, or a desk whose code page held none
// of the name's other characters); this code page with names measured in units alone (a
// Windows desk before names were kept within 255 bytes too); earlier versions (no code page,
// "~" kept, FNV-1a 32, units alone).
std::vector<Rules> AllRules(unsigned nCodePage)
{
    std::vector<Rules> rules;
    auto add = [&rules](unsigned nPage, bool bFormer, bool bUnitsOnly) {
        for (bool bMark : {false, true}) {
            Rules entry;
            entry.bMarkCase = bMark;
            entry.nCodePage = nPage;
            entry.bFormer = bFormer;
            entry.bUnitsOnly = bUnitsOnly;
            rules.push_back(entry);
        }
    };
    add(nCodePage, false, false);
    if (nCodePage != kUtf8CodePage)
        add(kUtf8CodePage, false, false);
    if (nCodePage != kAsciiCodePage)
        add(kAsciiCodePage, false, false);
    add(nCodePage, false, true);
    add(kUtf8CodePage, true, true);
    return rules;
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

unsigned InstallCodePage(unsigned nCodePage)
{
    return nCodePage != 0 ? nCodePage : SystemCodePage();
}

std::wstring Stem(const CString& strName, bool bMarkCase, unsigned nCodePage)
{
    Rules rules;
    rules.bMarkCase = bMarkCase;
    rules.nCodePage = InstallCodePage(nCodePage);
    std::wstring strStem;
    for (const std::wstring& strPiece : StemPieces(strName, rules))
        strStem += strPiece;
    return strStem;
}

std::wstring FileName(const CString& strName, const CString& strType, bool bMarkCase,
                      unsigned nCodePage)
{
    const std::wstring strExtension = ExtensionOf(strType);
    if (strExtension.empty())
        return std::wstring();
    Rules rules;
    rules.bMarkCase = bMarkCase;
    rules.nCodePage = InstallCodePage(nCodePage);
    return BuildFileName(strName, strExtension, rules);
}

std::vector<std::wstring> FormerFileNames(const CString& strName, const CString& strType,
                                          unsigned nCodePage)
{
    std::vector<std::wstring> names;
    const std::wstring strExtension = ExtensionOf(strType);
    if (strExtension.empty())
        return names;
    for (const Rules& rules : AllRules(InstallCodePage(nCodePage))) {
        const std::wstring strFile = BuildFileName(strName, strExtension, rules);
        if (std::find(names.begin(), names.end(), strFile) == names.end())
            names.push_back(strFile);
    }
    return names;
}

bool NameOf(const std::wstring& strStem, CString& strName)
{
    std::string strBytes;
    size_t nPlainStart = 0;
    auto flushPlain = [&](size_t nEnd) {
        strBytes += FromWide(strStem.data() + nPlainStart, int(nEnd - nPlainStart), kUtf8CodePage);
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

bool ObjectOf(const std::wstring& strFileName, CString& strName, CString& strType,
              unsigned nCodePage)
{
    const size_t nDot = strFileName.rfind(L'.');
    if (nDot == std::wstring::npos || nDot == 0)
        return false;
    CString strFoundName;
    const std::wstring strExtension = strFileName.substr(nDot + 1);
    // A shortened name is never read as the whole name of an object whose own name ends in "~"
    // and a hash (which earlier versions left unescaped).
    if (ParseShortStem(strFileName.substr(0, nDot), strFileName, strFoundName))
        return false;
    const CString strFoundType = TypeOf(strExtension);
    if (strFoundType.IsEmpty() || strExtension != ExtensionOf(strFoundType) ||
        !NameOf(strFileName.substr(0, nDot), strFoundName) || !IsValidUtf8(strFoundName.str()))
        return false;
    // Only the escapes FileName makes, under today's rules or an earlier version's.
    for (const Rules& rules : AllRules(InstallCodePage(nCodePage))) {
        if (BuildFileName(strFoundName, strExtension, rules) == strFileName) {
            strName = strFoundName;
            strType = strFoundType;
            return true;
        }
    }
    return false;
}

bool IsOwnFileName(const std::wstring& strFileName, ParsedFileName* pParsed, unsigned nCodePage)
{
    if (!IsPlainFileName(strFileName))
        return false;
    ParsedFileName parsed;
    if (!ObjectOf(strFileName, parsed.strName, parsed.strType, nCodePage)) {
        const size_t nDot = strFileName.rfind(L'.');
        if (nDot == std::wstring::npos)
            return false;
        const std::wstring strExtension = strFileName.substr(nDot + 1);
        parsed.strType = TypeOf(strExtension);
        if (parsed.strType.IsEmpty() || strExtension != ExtensionOf(parsed.strType) ||
            !ParseShortStem(strFileName.substr(0, nDot), strFileName, parsed.strName))
            return false;
        parsed.bShortened = true;
    }
    if (pParsed != nullptr)
        *pParsed = parsed;
    return true;
}

bool SameFileName(const std::wstring& strA, const std::wstring& strB)
{
    return SameIgnoringCase(strA, strB);
}

bool FileNameLess::operator()(const std::wstring& strA, const std::wstring& strB) const
{
    return CompareIgnoringCase(strA, strB) < 0;
}

}  // namespace ObjectFileNames

bool TwinKeyLess::operator()(const std::pair<std::string, std::wstring>& a,
                             const std::pair<std::string, std::wstring>& b) const
{
    if (a.first != b.first)
        return a.first < b.first;
    return ObjectFileNames::FileNameLess()(a.second, b.second);
}

void CaseTwins::Add(const CString& strName, const CString& strType)
{
    m_groups[{strType.str(), Characters(strName)}].insert(strName);
}

bool CaseTwins::HasTwin(const CString& strName, const CString& strType) const
{
    const auto it = m_groups.find({strType.str(), Characters(strName)});
    if (it == m_groups.end())
        return false;
    return it->second.size() > 1 || (it->second.size() == 1 && it->second.count(strName) == 0);
}
