// SourceQueries.cpp: the listing, line count and source statements of a scope.
#include "export/SourceQueries.h"

#include "export/ExportEngine.h"
#include "export/LineCounts.h"

#include <vector>

namespace {

// A text compared by its bytes whatever NLS_COMP and NLS_SORT say: the RAW that NLSSORT makes
// of it under the binary sort (RAW values always compare bytewise).
CString Bytes(const CString& strExpression)
{
    return "NLSSORT(" + strExpression + ",'NLS_SORT=BINARY')";
}

// The kinds, each a quoted literal (quotes doubled, though no kind holds one), as bytes.
CString KindList(const std::vector<CString>& kinds)
{
    CString strList;
    for (const CString& strKind : kinds.empty() ? DefaultExportKinds() : kinds) {
        CString strQuoted = strKind;
        strQuoted.Replace("'", "''");
        if (!strList.IsEmpty())
            strList += ",";
        strList += Bytes("'" + strQuoted + "'");
    }
    return strList;
}

// The terms joined by pszOperator (" AND ", " OR "), nested in parenthesised groups of at most
// kGroupTerms so that a thousand name patterns make a shallow expression, not a chain a
// thousand deep.
constexpr size_t kGroupTerms = 16;

CString Joined(const std::vector<CString>& terms, const char* pszOperator)
{
    std::vector<CString> level = terms;
    while (level.size() > kGroupTerms) {
        std::vector<CString> groups;
        for (size_t i = 0; i < level.size(); i += kGroupTerms) {
            CString strGroup;
            for (size_t j = i; j < level.size() && j < i + kGroupTerms; ++j)
                strGroup += (j == i ? "" : pszOperator) + level[j];
            groups.push_back("(" + strGroup + ")");
        }
        level.swap(groups);
    }
    CString strJoined;
    for (size_t i = 0; i < level.size(); ++i)
        strJoined += (i == 0 ? "" : pszOperator) + level[i];
    return strJoined;
}

// " WHERE ..." over a view whose name and type columns are given (no type column: every row's
// type is the scope's); every comparison is exact.
CString Filter(const SourceScope& scope, const char* pszNameColumn, const char* pszTypeColumn)
{
    std::vector<CString> conditions;
    int nPlaceholder = 1;
    if (!scope.strOwner.IsEmpty()) {
        conditions.push_back(Bytes("OWNER") + " = " + Bytes(":1"));
        ++nPlaceholder;
    }
    if (pszTypeColumn != nullptr)
        conditions.push_back(Bytes(pszTypeColumn) + " IN (" + KindList(scope.kinds) + ")");
    if (scope.pName != nullptr) {
        CString strPlaceholder;
        strPlaceholder.Format(":%d", nPlaceholder++);
        conditions.push_back(Bytes(pszNameColumn) + " = " + Bytes(strPlaceholder));
    }
    std::vector<CString> terms;
    CString strLike;
    for (size_t i = 0; i < scope.includes.size(); ++i) {
        strLike.Format("%s LIKE :%d ESCAPE '\\'", pszNameColumn, nPlaceholder++);
        terms.push_back(strLike);
    }
    if (!terms.empty())
        conditions.push_back("(" + Joined(terms, " OR ") + ")");
    terms.clear();
    for (size_t i = 0; i < scope.excludes.size(); ++i) {
        strLike.Format("%s NOT LIKE :%d ESCAPE '\\'", pszNameColumn, nPlaceholder++);
        terms.push_back(strLike);
    }
    if (!terms.empty())
        conditions.push_back("(" + Joined(terms, " AND ") + ")");
    CString strFilter;
    for (const CString& strCondition : conditions)
        strFilter += (strFilter.IsEmpty() ? " WHERE " : " AND ") + strCondition;
    return strFilter.IsEmpty() ? CString(" WHERE 1 = 1") : strFilter;
}

CString BinaryOrder(const char* pszNameColumn, const char* pszTypeColumn)
{
    return CString(" ORDER BY NLSSORT(") + pszNameColumn + ",'NLS_SORT=BINARY'),NLSSORT(" +
           pszTypeColumn + ",'NLS_SORT=BINARY')";
}

CString ObjectsView(const SourceScope& scope)
{
    return scope.strOwner.IsEmpty() ? "USER_OBJECTS" : "DBA_OBJECTS";
}

CString SourceView(const SourceScope& scope)
{
    return scope.strOwner.IsEmpty() ? "USER_SOURCE" : "DBA_SOURCE";
}

CString ViewsView(const SourceScope& scope)
{
    return scope.strOwner.IsEmpty() ? "USER_VIEWS" : "DBA_VIEWS";
}

// Grouped by the bytes: under a case-insensitive comparison, ABC and abc would be one group.
CString GroupedByObject(const SourceScope& scope, LineCountColumns columns)
{
    return "SELECT " + LineCountRow::SelectList(columns) + " FROM " + SourceView(scope) +
           Filter(scope, "NAME", "TYPE") + " GROUP BY " + Bytes("NAME") + "," + Bytes("TYPE");
}

}  // namespace

namespace SourceQueries {

CString Listing(const SourceScope& scope)
{
    return "SELECT OBJECT_NAME,OBJECT_TYPE,STATUS FROM " + ObjectsView(scope) +
           Filter(scope, "OBJECT_NAME", "OBJECT_TYPE") + BinaryOrder("OBJECT_NAME", "OBJECT_TYPE");
}

CString LineCounts(const SourceScope& scope)
{
    return GroupedByObject(scope, LineCountColumns::kCounts);
}

CString LineStarts(const SourceScope& scope)
{
    return GroupedByObject(scope, LineCountColumns::kLineStarts);
}

CString WrappedRows(const SourceScope& scope)
{
    return "SELECT NAME,TYPE,LINE,TEXT FROM " + SourceView(scope) + Filter(scope, "NAME", "TYPE") +
           " AND INSTR(RTRIM(TEXT,'\n'),'\n') > 0";
}

CString Source(const SourceScope& scope, const SourceWidths& widths)
{
    // SUBSTRB's length is at least 1: a smaller one gives NULL.
    const int nName = widths.nNameBytes < 1 ? 1 : widths.nNameBytes;
    const int nText = widths.nTextBytes < 1 ? 1 : widths.nTextBytes;
    CString strColumns;
    strColumns.Format("SUBSTRB(NAME,1,%d),TYPE,SUBSTRB(TEXT,1,%d),CASE WHEN LENGTHB(NAME) > %d "
                      "OR LENGTHB(TEXT) > %d THEN 1 ELSE 0 END",
                      nName, nText, nName, nText);
    // The literals size the columns: a database that shares cursors by force would make them
    // binds, and the columns would be described (and prefetched) at their full 4,000 bytes.
    return "SELECT /*+ CURSOR_SHARING_EXACT */ " + strColumns + " FROM " + SourceView(scope) +
           Filter(scope, "NAME", "TYPE") + BinaryOrder("NAME", "TYPE") + ",LINE";
}

}  // namespace SourceQueries

namespace ViewQueries {

CString Measure(const SourceScope& scope, Release release)
{
    const char* pszFlags = release == Release::k12   ? "EDITIONING_VIEW,BEQUEATH"
                           : release == Release::k11 ? "EDITIONING_VIEW,'DEFINER'"
                                                     : "'N','DEFINER'";
    return CString("SELECT VIEW_NAME,TEXT_LENGTH,") + pszFlags +
           ",CASE WHEN TYPE_TEXT IS NULL AND VIEW_TYPE IS NULL THEN 0 ELSE 1 END,LENGTHB(VIEW_NAME)"
           " FROM " +
           ViewsView(scope) + Filter(scope, "VIEW_NAME", nullptr);
}

CString ShortTexts(const SourceScope& scope, int nNameBytes, int nTextBytes)
{
    const int nName = nNameBytes < 1 ? 1 : nNameBytes;
    const int nText = nTextBytes < 1 ? 1 : nTextBytes;
    CString strColumns;
    strColumns.Format("SUBSTRB(VIEW_NAME,1,%d),SUBSTRB(TEXT_VC,1,%d),CASE WHEN LENGTHB(VIEW_NAME) "
                      "> %d THEN 1 ELSE 0 END,TEXT_LENGTH",
                      nName, nText, nName);
    CString strShort;
    strShort.Format(" AND TEXT_LENGTH <= %d", kShortTextBytes);
    return "SELECT " + strColumns + " FROM " + ViewsView(scope) +
           Filter(scope, "VIEW_NAME", nullptr) + strShort + " ORDER BY " + Bytes("VIEW_NAME");
}

CString Columns(const SourceScope& scope)
{
    const bool bOwner = !scope.strOwner.IsEmpty();
    return CString("SELECT TABLE_NAME,COLUMN_NAME FROM ") +
           (bOwner ? "DBA_TAB_COLUMNS" : "USER_TAB_COLUMNS") + " C" +
           Filter(scope, "TABLE_NAME", nullptr) + " AND EXISTS (SELECT 1 FROM " + ViewsView(scope) +
           " V WHERE V.VIEW_NAME = C.TABLE_NAME" + (bOwner ? " AND V.OWNER = C.OWNER" : "") +
           ") ORDER BY " + Bytes("TABLE_NAME") + ",COLUMN_ID";
}

CString Text(const SourceScope& scope)
{
    return "SELECT TEXT FROM " + ViewsView(scope) + Filter(scope, "VIEW_NAME", nullptr);
}

}  // namespace ViewQueries
