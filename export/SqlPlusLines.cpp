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
    for (int i = 0; kPrefixCandidates[i] != '\0'; ++i) {
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
}

SqlPlusSettings SettingsFor(const SqlPlusNeeds& needs, bool bDefineOffAlways)
{
    SqlPlusSettings settings;
    if (needs.bAmpersand || bDefineOffAlways)
        settings.strLines += "SET DEFINE OFF\n";
    if (needs.bDotLine)
        settings.strLines += "SET BLOCKTERMINATOR OFF\n";
    if (needs.bHashLine) {
        settings.bNoPrefixLeft = true;
        for (int i = 0; SqlPlusNeeds::kPrefixCandidates[i] != '\0'; ++i) {
            if (!needs.PrefixTaken(i)) {
                settings.strLines += CString("SET SQLPREFIX ") +
                                     CString(&SqlPlusNeeds::kPrefixCandidates[i], 1) + "\n";
                settings.bNoPrefixLeft = false;
                break;
            }
        }
    }
    if (needs.bBlankLine)
        settings.strLines += "SET SQLBLANKLINES ON\n";
    if (needs.bTerminatorLine)
        settings.strLines += "SET SQLTERMINATOR OFF\n";
    return settings;
}

CString NoPrefixLeftText()
{
    return "Lines of the source begin with '#' and with each of ~ ^ = + |, so no SQLPREFIX can "
           "keep SQL*Plus from running the '#' lines as its own commands; the file does not "
           "recreate those units as stored";
}

CString LoneSlashText(const CString& strName, const CString& strType, int nLine)
{
    CString strText;
    strText.Format("%s (%s) line %d holds only '/': SQL*Plus ends the unit there, so the file "
                   "does not recreate it as stored",
                   strName.GetString(), strType.GetString(), nLine);
    return strText;
}

void LoneSlashLines::AddLine(const char* pLine, int nLength)
{
    ++m_nLine;
    int nStart = 0;
    int nEnd = 0;
    Trim(pLine, nLength, nStart, nEnd);
    if (nStart == nEnd)
        return;
    m_nLastNonBlank = m_nLine;
    if (IsAlone(pLine, nLength, '/'))
        m_slashLines.push_back(m_nLine);
}

std::vector<int> LoneSlashLines::Lines() const
{
    std::vector<int> lines = m_slashLines;
    if (!lines.empty() && lines.back() == m_nLastNonBlank)
        lines.pop_back();
    return lines;
}
