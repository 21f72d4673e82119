// LineCounts.cpp: the line-count columns, written and read from one table.
#include "export/LineCounts.h"

#include <functional>

namespace {

// The blanks and line ends a line is trimmed of, as a literal both SQL dialects read.
const char kBlanks[] = "' \t\r\n'";

// One counted column: the SQL aggregate that makes it, and how its value goes into a row.
struct CountColumn {
    CString strSql;
    std::function<void(LineCountRow&, int)> read;
};

// A line begins with c: the text's first non-blank character, or one right after a line feed
// inside it (a row of many lines).
CString Begins(char c)
{
    const CString strCharacter(&c, 1);
    return CString("SUBSTR(LTRIM(TEXT,") + kBlanks + "),1,1) = '" + strCharacter +
           "' OR INSTR(TEXT,'\n" + strCharacter + "') > 0";
}

CString FirstCharacterIs(char c)
{
    return "MAX(CASE WHEN " + Begins(c) + " THEN 1 ELSE 0 END)";
}

const std::vector<CountColumn>& CountColumns()
{
    static const std::vector<CountColumn> columns = [] {
        std::vector<CountColumn> table = {
            {"COUNT(1)", [](LineCountRow& row, int nValue) { row.nLines = nValue; }},
            {"SUM(CASE WHEN INSTR(TEXT,'&') > 0 THEN 1 ELSE 0 END)",
             [](LineCountRow& row, int nValue) { row.needs.bAmpersand = nValue > 0; }},
            {CString("MAX(CASE WHEN RTRIM(LTRIM(TEXT,") + kBlanks + ")," + kBlanks +
                 ") = '.' THEN 1 ELSE 0 END)",
             [](LineCountRow& row, int nValue) { row.needs.bDotLine = nValue > 0; }},
            {FirstCharacterIs('#'),
             [](LineCountRow& row, int nValue) { row.needs.bHashLine = nValue > 0; }},
            // The first line beginning with "#", for the message of a job no prefix can guard.
            {"COALESCE(MIN(CASE WHEN " + Begins('#') + " THEN LINE END),0)",
             [](LineCountRow& row, int nValue) {
                 if (nValue > 0)
                     row.needs.strFirstHashLine = LineOf(row.strName, row.strType, nValue);
             }},
        };
        const CString strCandidates = SqlPlusNeeds::kPrefixCandidates;
        for (int i = 0; i < strCandidates.GetLength(); ++i) {
            table.push_back(
                {FirstCharacterIs(strCandidates[i]), [i](LineCountRow& row, int nValue) {
                     if (nValue > 0)
                         row.needs.nTakenPrefixes |= 1u << i;
                 }});
        }
        table.push_back({"COALESCE(MAX(LENGTHB(NAME)),0)",
                         [](LineCountRow& row, int nValue) { row.nNameBytes = nValue; }});
        table.push_back({"COALESCE(MAX(LENGTHB(TEXT)),0)",
                         [](LineCountRow& row, int nValue) { row.nTextBytes = nValue; }});
        return table;
    }();
    return columns;
}

}  // namespace

CString LineCountRow::SelectList()
{
    // A group holds one name and one type, which MIN gives back.
    CString strList = "MIN(NAME),MIN(TYPE)";
    for (const CountColumn& column : CountColumns())
        strList += "," + column.strSql;
    return strList;
}

LineCountCursor::LineCountCursor(DBConnect& connection, const char* pszSql)
    : m_stmt(connection, pszSql), m_values(CountColumns().size())
{
    m_stmt.DefineChars(1, m_szName, kBufferSize, &m_nNameLength);
    m_stmt.DefineChars(2, m_szType, kBufferSize, &m_nTypeLength);
    for (size_t i = 0; i < m_values.size(); ++i)
        m_stmt.DefineInt(3 + int(i), &m_values[i]);
    PrefetchInBatches(m_stmt);
}

bool LineCountCursor::Next(LineCountRow& row)
{
    int nStatus = OCI_SUCCESS;
    if (!m_stmt.FetchRow(nStatus))
        return false;
    row = LineCountRow();
    row.bFits = m_nNameLength <= kMaxObjectNameBytes && m_nTypeLength <= kMaxObjectNameBytes;
    if (row.bFits) {
        row.strName = CString(m_szName, m_nNameLength);
        row.strType = CString(m_szType, m_nTypeLength);
    }
    const std::vector<CountColumn>& columns = CountColumns();
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i].read(row, m_values[i]);
    return true;
}
