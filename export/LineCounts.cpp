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
// inside it (a row of many lines). Only a text that holds c is trimmed and searched again.
CString Begins(char c)
{
    const CString strCharacter(&c, 1);
    return "INSTR(TEXT,'" + strCharacter + "') > 0 AND (SUBSTR(LTRIM(TEXT," + kBlanks +
           "),1,1) = '" + strCharacter + "' OR INSTR(TEXT,'\n" + strCharacter + "') > 0)";
}

// The mask of the prefix candidates the object's rows begin with (first non-blank character;
// bit i for SqlPlusNeeds::kPrefixCandidates[i]): each row gives the bit of its first character
// (or none), and the sum of the distinct bits is the bits of all of them. One expression a row,
// where a column a character would evaluate the row's text once each.
CString FirstCharacterMask()
{
    const CString strCharacters = SqlPlusNeeds::kPrefixCandidates;
    CString strWhens;
    for (int i = 0; i < strCharacters.GetLength(); ++i) {
        CString strWhen;
        strWhen.Format(" WHEN '%c' THEN %u", strCharacters[i], 1u << i);
        strWhens += strWhen;
    }
    return CString("SUM(DISTINCT CASE SUBSTR(LTRIM(TEXT,") + kBlanks + "),1,1)" + strWhens +
           " ELSE 0 END)";
}

// Whether a line begins with "#" (and which line) is the counts' to say: a "#" line that came
// between the two queries is found as the source streams.
void ReadFirstCharacterMask(LineCountRow& row, int nValue)
{
    row.needs.nTakenPrefixes |= unsigned(nValue);
}

const std::vector<CountColumn>& CountColumns(LineCountColumns which)
{
    static const std::vector<CountColumn> lineStarts = {
        {FirstCharacterMask(), ReadFirstCharacterMask},
    };
    if (which == LineCountColumns::kLineStarts)
        return lineStarts;
    static const std::vector<CountColumn> columns = {
        {"COUNT(1)", [](LineCountRow& row, int nValue) { row.nLines = nValue; }},
        {"SUM(CASE WHEN INSTR(TEXT,'&') > 0 THEN 1 ELSE 0 END)",
         [](LineCountRow& row, int nValue) { row.needs.bAmpersand = nValue > 0; }},
        // Only a row that holds a "." is trimmed.
        {CString("MAX(CASE WHEN INSTR(TEXT,'.') > 0 AND RTRIM(LTRIM(TEXT,") + kBlanks + ")," +
             kBlanks + ") = '.' THEN 1 ELSE 0 END)",
         [](LineCountRow& row, int nValue) { row.needs.bDotLine = nValue > 0; }},
        // The first line beginning with "#", for the message of a job no prefix can guard.
        {"COALESCE(MIN(CASE WHEN " + Begins('#') + " THEN LINE END),0)",
         [](LineCountRow& row, int nValue) {
             if (nValue > 0) {
                 row.needs.bHashLine = true;
                 row.needs.strFirstHashLine = LineOf(row.strName, row.strType, nValue);
             }
         }},
        // A row holding a line end before its last character holds more than one line. Only
        // a row whose first line end is not its last character is trimmed and searched again.
        {"MAX(CASE WHEN INSTR(TEXT,'\n') < LENGTH(TEXT) AND INSTR(RTRIM(TEXT,'\n'),'\n') > 0 "
         "THEN 1 ELSE 0 END)",
         [](LineCountRow& row, int nValue) { row.bWrapped = nValue > 0; }},
        // A group holds one name: measured once, not on every row.
        {"COALESCE(LENGTHB(MIN(NAME)),0)",
         [](LineCountRow& row, int nValue) { row.nNameBytes = nValue; }},
        {"COALESCE(MAX(LENGTHB(TEXT)),0)",
         [](LineCountRow& row, int nValue) { row.nTextBytes = nValue; }},
        {"COALESCE(SUM(LENGTHB(TEXT)),0)",
         [](LineCountRow& row, int nValue) { row.nSourceBytes = nValue; }},
    };
    return columns;
}

}  // namespace

CString LineCountRow::SelectList(LineCountColumns columns)
{
    // A group holds one name and one type, which MIN gives back.
    CString strList = "MIN(NAME),MIN(TYPE)";
    for (const CountColumn& column : CountColumns(columns))
        strList += "," + column.strSql;
    return strList;
}

LineCountCursor::LineCountCursor(DBConnect& connection, const char* pszSql,
                                 LineCountColumns columns)
    : m_columns(columns), m_stmt(connection, pszSql), m_names(kArrayRows, kBufferSize),
      m_types(kArrayRows, kBufferSize),
      m_values(CountColumns(columns).size(), std::vector<int>(kArrayRows))
{
    m_names.DefineIn(m_stmt, 1);
    m_types.DefineIn(m_stmt, 2);
    for (size_t i = 0; i < m_values.size(); ++i)
        m_stmt.DefineInt(3 + int(i), m_values[i].data());
    PrefetchInBatches(m_stmt);
}

bool LineCountCursor::Next(LineCountRow& row)
{
    if (m_nRow + 1 < m_nRows) {
        ++m_nRow;
    } else {
        m_names.Clear();
        m_types.Clear();
        m_nRow = 0;
        m_nRows = m_stmt.FetchRows(kArrayRows);
        if (m_nRows == 0)
            return false;
    }
    row = LineCountRow();
    const size_t nName = m_names.Length(m_nRow);
    const size_t nType = m_types.Length(m_nRow);
    row.bFits = !m_names.IsCut(m_nRow) && !m_types.IsCut(m_nRow) &&
                nName <= size_t(kMaxObjectNameBytes) && nType <= size_t(kMaxObjectNameBytes);
    if (row.bFits) {
        row.strName = CString(m_names.Value(m_nRow), int(nName));
        row.strType = CString(m_types.Value(m_nRow), int(nType));
    }
    const std::vector<CountColumn>& columns = CountColumns(m_columns);
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i].read(row, m_values[i][m_nRow]);
    return true;
}
