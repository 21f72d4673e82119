// LineCounts.h
//
// The line counts of a scope, one row per object, each read whole by LineCountCursor:
//   LineCountRow    - one object's row: its name and type, its number of lines, what its lines
//                     hold that SQL*Plus would read as its own, and its longest name and line.
//   LineCountCursor - the rows of the line-count query (SourceQueries::LineCounts) or of the
//                     line-start query (SourceQueries::LineStarts), fetched in large batches,
//                     in arrays of rows per fetch call.
// Each query's columns after the name and type, the SQL that makes each and how its value is
// read into the row, are one table (LineCounts.cpp), so a column cannot be written in one
// place and read in another's position.
#pragma once

#include <vector>

#include "db/DBStmt.h"
#include "db/FetchArray.h"
#include "db/ObjectListCursor.h"
#include "export/SqlPlusLines.h"
#include "framework/String.h"

// The columns a query of the counts selects: the counts themselves, or the characters the
// lines begin with (only a job with a line beginning with "#" needs them, to choose the prefix
// SQL*Plus is given: trimming every line for them is most of the counts' cost).
enum class LineCountColumns { kCounts, kLineStarts };

struct LineCountRow {
    CString strName;
    CString strType;
    // Name and type fit in a listed object's name (a longer one matches no listed object; both
    // are then empty).
    bool bFits = false;
    int nLines = 0;
    SqlPlusNeeds needs;
    // The object's longest name and line in the database's bytes (0 when every line is NULL).
    int nNameBytes = 0;
    int nTextBytes = 0;
    // The object's source in the database's bytes, every line's together.
    int nSourceBytes = 0;
    // Some row holds more than one line: the needs above see only each row's first line, and
    // the lines after a line end inside a row are judged by the caller (WrappedRows).
    bool bWrapped = false;

    // The query's select list, grouped by name and type, in the order the cursor reads it.
    static CString SelectList(LineCountColumns columns);
};

class LineCountCursor {
public:
    // Prepares pszSql (a query whose select list is LineCountRow::SelectList(columns)); a
    // failure throws DBStmt::OtherException with its reason in the connection. Only the
    // selected columns are set in the rows Next gives.
    LineCountCursor(DBConnect& connection, const char* pszSql, LineCountColumns columns);
    LineCountCursor(const LineCountCursor&) = delete;
    LineCountCursor& operator=(const LineCountCursor&) = delete;

    // Bind the query's placeholders here before the first Next; ask it for a failure's reason.
    DBStmt& Statement() { return m_stmt; }
    // The next row; false at the end of the rows. A failed fetch throws DBStmt::OtherException.
    bool Next(LineCountRow& row);

    // Rows per fetch call: a schema of a thousand objects in one call, some 1 MB of buffers.
    static constexpr ub4 kArrayRows = 1024;

private:
    static constexpr int kBufferSize = kMaxObjectNameBytes + 1;

    const LineCountColumns m_columns;
    DBStmt m_stmt;
    CharColumnArray m_names;
    CharColumnArray m_types;
    // The counted columns, in the table's order: each kArrayRows values, one a row.
    std::vector<std::vector<int>> m_values;
    size_t m_nRow = 0;   // the row handed on last, in the arrays
    size_t m_nRows = 0;  // the rows the last fetch call delivered
};
