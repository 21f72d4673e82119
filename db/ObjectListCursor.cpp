// ObjectListCursor.cpp: fetching and judging the rows of an object listing.
#include "db/ObjectListCursor.h"

#include <cstring>

ObjectListCursor::ObjectListCursor(DBConnect& connection, const char* pszSql, bool bWithStatus)
    : m_connection(connection), m_stmt(connection, pszSql), m_bWithStatus(bWithStatus),
      m_names(kArrayRows, kBufferSize), m_types(kArrayRows, kBufferSize),
      m_statuses(bWithStatus ? kArrayRows : 0, kStatusSize)
{
    m_names.DefineIn(m_stmt, 1);
    m_types.DefineIn(m_stmt, 2);
    if (m_bWithStatus)
        m_statuses.DefineIn(m_stmt, 3);
    PrefetchInBatches(m_stmt);
}

ObjectListCursor::Row ObjectListCursor::Next(ObjectListRow& row)
{
    if (m_nRow + 1 < m_nRows) {
        ++m_nRow;
    } else if (!FetchArray()) {
        return Row::End;
    }
    return Judge(m_nRow, row);
}

bool ObjectListCursor::FetchArray()
{
    m_names.Clear();
    m_types.Clear();
    m_statuses.Clear();
    m_nRow = 0;
    m_nRows = 0;
    m_bCallCut = false;
    try {
        m_nRows = m_stmt.FetchRows(kArrayRows);
    } catch (const DBStmt::OtherException& failure) {
        const int nCode = failure.Code();
        // Clients report a value cut to its buffer either way.
        if (nCode != OCI_ORA_COLUMN_TRUNCATED && nCode != OCI_ORA_TRUNCATION_OR_NULL)
            throw;
        m_connection.ResetErrorHandle();
        // How many rows came is not told: the first is handed on, as cut.
        m_nRows = 1;
        m_bCallCut = true;
        return true;
    }
    if (m_stmt.GetErrorCode() == OCI_ORA_TRUNCATION_OR_NULL) {
        bool bShown = false;
        for (size_t i = 0; i < m_nRows && !bShown; ++i)
            bShown = m_names.IsCut(i) || m_types.IsCut(i) || (m_bWithStatus && m_statuses.IsCut(i));
        m_bCallCut = !bShown;
    }
    return m_nRows > 0;
}

ObjectListCursor::Row ObjectListCursor::Judge(size_t nRow, ObjectListRow& row) const
{
    const size_t nName = m_names.Length(nRow);
    const size_t nType = m_types.Length(nRow);
    // A cut value is shown as far as a name can reach.
    row.strName = CString(m_names.Value(nRow), int(std::min<size_t>(nName, kMaxObjectNameBytes)));
    row.strType = CString(m_types.Value(nRow), int(std::min<size_t>(nType, kMaxObjectNameBytes)));
    // A status cut to its buffer is no reason to refuse the row.
    row.strStatus =
        m_bWithStatus ? CString(m_statuses.Value(nRow), int(m_statuses.Length(nRow))) : CString();
    // A name that fills the buffer (one byte more than any name Oracle holds) was cut; a zero
    // byte inside one would turn it into another name wherever it is used as text.
    if (m_bCallCut || m_names.IsCut(nRow) || m_types.IsCut(nRow) || nName == kBufferSize ||
        nType == kBufferSize || std::memchr(m_names.Value(nRow), '\0', nName) != nullptr ||
        std::memchr(m_types.Value(nRow), '\0', nType) != nullptr || nType == 0)
        return Row::Cut;
    if (nName == 0)
        return Row::Empty;
    return Row::Object;
}
