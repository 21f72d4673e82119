// SqlPlusLines.cpp: the SQL*Plus rules a file of blocks is checked against.
#include "export/SqlPlusLines.h"

namespace {

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// The line without its leading and trailing blanks and line ends: [nStart, nEnd).
void Trim(const char* pLine, int nLength, int& nStart, int& nEnd)
{
    nStart = 0;
    nEnd = nLength;
    while (nStart < nEnd && IsBlank(pLine[nStart]))
        ++nStart;
    while (nEnd > nStart && IsBlank(pLine[nEnd - 1]))
        --nEnd;
}

bool IsAlone(const char* pLine, int nLength, char ch)
{
    int nStart = 0;
    int nEnd = 0;
    Trim(pLine, nLength, nStart, nEnd);
    return nEnd - nStart == 1 && pLine[nStart] == ch;
}

const SetLineRule kSetLineRules[] = {
    {"SET DEFINE OFF", &SqlPlusNeeds::bAmpersand, "holds '&'"},
    {"SET BLOCKTERMINATOR OFF", &SqlPlusNeeds::bDotLine, "holds only '.'"},
    {"SET SQLBLANKLINES ON", &SqlPlusNeeds::bBlankLine, "is blank inside a statement"},
    {"SET SQLTERMINATOR OFF", &SqlPlusNeeds::bTerminatorLine, "ends in ';' inside a statement"},
};
constexpr int kSetLineRuleCount = int(sizeof(kSetLineRules) / sizeof(kSetLineRules[0]));

// The characters of a UTF-8 text (bytes that begin none, continuation bytes, are not counted).
int CharacterCount(const char* pText, int nLength)
{
    int nCharacters = 0;
    for (int i = 0; i < nLength; ++i)
        nCharacters += (static_cast<unsigned char>(pText[i]) & 0xC0) == 0x80 ? 0 : 1;
    return nCharacters;
}

}  // namespace

constexpr char SqlPlusNeeds::kPrefixCandidates[];

void SqlPlusNeeds::AddLine(const char* pLine, int nLength)
{
    int nStart = 0;
    int nEnd = 0;
    Trim(pLine, nLength, nStart, nEnd);
    if (nStart == nEnd)
        return;
    for (int i = nStart; i < nEnd && !bAmpersand; ++i)
        bAmpersand = pLine[i] == '&';
    if (nEnd - nStart == 1 && pLine[nStart] == '.')
        bDotLine = true;
    const char chFirst = pLine[nStart];
    if (chFirst == '#')
        bHashLine = true;
    for (int i = 0; i < kPrefixCandidateCount; ++i) {
        if (chFirst == kPrefixCandidates[i])
            nTakenPrefixes |= 1u << i;
    }
}

void SqlPlusNeeds::AddText(const char* pText, int nLength, bool bSqlStatement)
{
    bool bBlankBefore = false;
    auto addLine = [&](const char* pLine, int nLineLength) {
        AddLine(pLine, nLineLength);
        if (!bSqlStatement)
            return;
        int nStart = 0;
        int nEnd = 0;
        Trim(pLine, nLineLength, nStart, nEnd);
        if (nStart == nEnd) {
            bBlankBefore = true;
            return;
        }
        // A blank line ends the statement's entry; the "/" that runs it may follow one.
        if (bBlankBefore && !IsAlone(pLine, nLineLength, '/'))
            bBlankLine = true;
        bBlankBefore = false;
        if (pLine[nEnd - 1] == ';')
            bTerminatorLine = true;
    };
    int nStart = 0;
    for (int i = 0; i < nLength; ++i) {
        if (pText[i] == '\n') {
            addLine(pText + nStart, i + 1 - nStart);
            nStart = i + 1;
        }
    }
    if (nStart < nLength)
        addLine(pText + nStart, nLength - nStart);
}

void SqlPlusNeeds::Merge(const SqlPlusNeeds& other)
{
    bAmpersand = bAmpersand || other.bAmpersand;
    bDotLine = bDotLine || other.bDotLine;
    bHashLine = bHashLine || other.bHashLine;
    bBlankLine = bBlankLine || other.bBlankLine;
    bTerminatorLine = bTerminatorLine || other.bTerminatorLine;
    nTakenPrefixes |= other.nTakenPrefixes;
    if (strFirstHashLine.IsEmpty())
        strFirstHashLine = other.strFirstHashLine;
}

bool SqlPlusNeeds::Begins(char ch) const
{
    if (ch == '#')
        return bHashLine;
    for (int i = 0; i < kPrefixCandidateCount; ++i) {
        if (kPrefixCandidates[i] == ch)
            return PrefixTaken(i);
    }
    return false;
}

CString SqlPlusSettings::Unguarded(const SqlPlusNeeds& lineNeeds) const
{
    for (int i = 0; i < kSetLineRuleCount; ++i) {
        if (lineNeeds.*kSetLineRules[i].pNeed && (nRulesSet & (1u << i)) == 0)
            return kSetLineRules[i].pszWhat;
    }
    if (lineNeeds.Begins(chPrefix))
        return CString("begins with '") + CString(&chPrefix, 1) + "'";
    return CString();
}

SqlPlusSettings SettingsFor(const SqlPlusNeeds& needs, bool bDefineOffAlways)
{
    SqlPlusSettings settings;
    for (int i = 0; i < kSetLineRuleCount; ++i) {
        const bool bAlways =
            bDefineOffAlways && kSetLineRules[i].pNeed == &SqlPlusNeeds::bAmpersand;
        if (needs.*kSetLineRules[i].pNeed || bAlways) {
            settings.strLines += CString(kSetLineRules[i].pszSetLine) + "\n";
            settings.nRulesSet |= 1u << i;
        }
    }
    if (needs.bHashLine) {
        settings.bNoPrefixLeft = true;
        for (int i = 0; i < SqlPlusNeeds::kPrefixCandidateCount; ++i) {
            if (!needs.PrefixTaken(i)) {
                settings.chPrefix = SqlPlusNeeds::kPrefixCandidates[i];
                settings.strLines +=
                    CString("SET SQLPREFIX ") + CString(&settings.chPrefix, 1) + "\n";
                settings.bNoPrefixLeft = false;
                break;
            }
        }
    }
    return settings;
}

CString LineOf(const CString& strName, const CString& strType, int nLine)
{
    CString strText;
    strText.Format("%s (%s) line %d", strName.GetString(), strType.GetString(), nLine);
    return strText;
}

int FirstLineBeginning(const char* pText, int nLength, char ch)
{
    int nLine = 1;
    int nStart = 0;
    for (int i = 0; i <= nLength; ++i) {
        if (i == nLength || pText[i] == '\n') {
            int nFirst = nStart;
            int nEnd = i;
            Trim(pText + nStart, i - nStart, nFirst, nEnd);
            if (nFirst < nEnd && pText[nStart + nFirst] == ch)
                return nLine;
            ++nLine;
            nStart = i + 1;
        }
    }
    return 0;
}

CString NoPrefixLeftText(const CString& strFirstHashLine)
{
    return strFirstHashLine +
           " begins with '#', and every character SQLPREFIX can take also begins a line of the "
           "source: SQL*Plus would run that line as its own command, so nothing was written";
}

CString LoneSlashText(const CString& strName, const CString& strType, int nLine)
{
    return LineOf(strName, strType, nLine) +
           " holds only '/': SQL*Plus ends the unit there, so the file does not recreate it as "
           "stored";
}

CString ScriptLineText(const CString& strName, const CString& strType, int nLine)
{
    return LineOf(strName, strType, nLine) +
           " begins with '@': SQL*Plus runs the script it names in place of that line, so the "
           "file does not recreate the unit as stored";
}

CString LongLineText(const CString& strName, const CString& strType, int nLine, int nLength)
{
    CString strLength;
    strLength.Format(" is %d characters long: SQL*Plus up to release 12.1 reads at most 2,499 "
                     "characters of a line (later releases 4,999)",
                     nLength);
    return LineOf(strName, strType, nLine) + strLength;
}

void BlockLines::AddLine(const char* pLine, int nLength)
{
    ++m_nLine;
    int nStart = 0;
    int nEnd = 0;
    Trim(pLine, nLength, nStart, nEnd);
    if (nStart == nEnd)
        return;
    m_nLastNonBlank = m_nLine;
    if (IsAlone(pLine, nLength, '/'))
        m_found.push_back({m_nLine, Hazard::LoneSlash, 0});
    if (pLine[nStart] == '@')
        m_found.push_back({m_nLine, Hazard::ScriptLine, 0});
    // The line end is not part of the line SQL*Plus reads.
    int nLineEnd = nLength;
    while (nLineEnd > 0 && (pLine[nLineEnd - 1] == '\n' || pLine[nLineEnd - 1] == '\r'))
        --nLineEnd;
    if (nLineEnd > kMaxLineCharacters) {
        const int nCharacters = CharacterCount(pLine, nLineEnd);
        if (nCharacters > kMaxLineCharacters)
            m_found.push_back({m_nLine, Hazard::LongLine, nCharacters});
    }
}

std::vector<CString> BlockLines::Warnings(const CString& strName, const CString& strType) const
{
    std::vector<CString> warnings;
    for (const Found& found : m_found) {
        switch (found.hazard) {
        case Hazard::LoneSlash:
            // The block's last "/" is where SQL*Plus is meant to run it.
            if (found.nLine != m_nLastNonBlank)
                warnings.push_back(LoneSlashText(strName, strType, found.nLine));
            break;
        case Hazard::ScriptLine:
            warnings.push_back(ScriptLineText(strName, strType, found.nLine));
            break;
        case Hazard::LongLine:
            warnings.push_back(LongLineText(strName, strType, found.nLine, found.nLength));
            break;
        }
    }
    return warnings;
}
