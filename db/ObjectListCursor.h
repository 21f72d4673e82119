// ObjectListCursor.h
//
// ObjectListCursor: the rows of an object listing (a query whose first two columns are an
// object's name and type), one at a time in the query's order, each judged whole: a name or
// type the buffers could not hold, or one whose delivered length differs from its text's (a
// zero byte inside), comes back as Row::Cut, never as a shorter name; an empty name as
// Row::Empty. The end of the rows (ORA-01403) is Row::End. Rows travel in large batches and
// come from the client in arrays of rows per fetch call; each is judged as it is handed on.
#pragma once

#include "db/DBStmt.h"
#include "db/FetchArray.h"
#include "framework/String.h"

// Oracle's longest name, 128 bytes in the database's own set, in UTF-8: up to 4 bytes each.
constexpr int kMaxObjectNameBytes = 128 * 4;

// What the listing's readers (the export and the picker) say of a row they cannot pass on.
namespace ObjectListTexts {
constexpr const char kNameDoesNotFit[] =
    "An object name or type in the list is longer than 128 bytes: ";
constexpr const char kEmptyName[] = "An object in the list has an empty name.";
}  // namespace ObjectListTexts

struct ObjectListRow {
    CString strName;
    CString strType;
    // The third column of a listing that has one (USER_OBJECTS.STATUS: "VALID", "INVALID"),
    // empty otherwise.
    CString strStatus;
};

class ObjectListCursor {
public:
    enum class Row { Object, End, Cut, Empty };

    // Prepares pszSql; a failure throws DBStmt::OtherException with its reason in the
    // connection (there is no statement to ask).
    // bWithStatus: the query's third column is the object's status.
    ObjectListCursor(DBConnect& connection, const char* pszSql, bool bWithStatus = false);
    ObjectListCursor(const ObjectListCursor&) = delete;
    ObjectListCursor& operator=(const ObjectListCursor&) = delete;

    // Bind the query's placeholders here before the first Next; ask it for a failure's reason.
    DBStmt& Statement() { return m_stmt; }
    // The next row into row (for Row::Cut, as much of it as arrived). A failed fetch throws
    // DBStmt::OtherException; the connection's error handle is clean again after Row::End.
    Row Next(ObjectListRow& row);

    // Rows per fetch call: a listing of a thousand objects in one call, some 1 MB of buffers.
    static constexpr ub4 kArrayRows = 1024;

private:
    static constexpr int kBufferSize = kMaxObjectNameBytes + 1;
    // STATUS is VALID, INVALID or N/A; a longer value is cut, which changes no decision.
    static constexpr int kStatusSize = 16;

    // The next array from the client; false at the end of the rows.
    bool FetchArray();
    Row Judge(size_t nRow, ObjectListRow& row) const;

    DBConnect& m_connection;
    DBStmt m_stmt;
    bool m_bWithStatus;
    CharColumnArray m_names;
    CharColumnArray m_types;
    CharColumnArray m_statuses;
    size_t m_nRow = 0;   // the row handed on last, in the array
    size_t m_nRows = 0;  // the rows the last fetch call delivered
    // The call said a value was cut but no row's indicator says which: each of its rows is
    // taken for cut.
    bool m_bCallCut = false;
};

// Rows and bytes a listing or source query asks for per round trip: whole schemas in a few.
constexpr ub4 kPrefetchRows = 100000;
constexpr ub4 kPrefetchMemory = 16 * 1024 * 1024;

// Sets stmt to fetch at those sizes.
inline void PrefetchInBatches(DBStmt& stmt)
{
    stmt.SetPrefetchRows(kPrefetchRows);
    stmt.SetPrefetchMemory(kPrefetchMemory);
}
