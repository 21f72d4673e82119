// ObjectListCursor.cpp: fetching and judging the rows of an object listing.
#include "db/ObjectListCursor.h"

#include <cstring>

ObjectListCursor::ObjectListCursor(DBConnect& connection, const char* pszSql, bool bWithStatus)
    : m_connection(connection), m_stmt(connection, pszSql), m_bWithStatus(bWithStatus)
{
    m_stmt.DefineChars(1, m_szName, kBufferSize, &m_nNameLength, &m_nNameIndicator);
    m_stmt.DefineChars(2, m_szType, kBufferSize, &m_nTypeLength, &m_nTypeIndicator);
    if (m_bWithStatus)
        m_stmt.DefineChars(3, m_szStatus, sizeof(m_szStatus), &m_nStatusLength,
                           &m_nStatusIndicator);
    PrefetchInBatches(m_stmt);
}

ObjectListCursor::Row ObjectListCursor::Next(ObjectListRow& row)
{
    m_nNameLength = m_nTypeLength = 0;
    m_nNameIndicator = m_nTypeIndicator = 0;
    m_nStatusLength = 0;
    m_nStatusIndicator = 0;
    bool bCut = false;
    try {
        int nStatus = OCI_SUCCESS;
        if (!m_stmt.FetchRow(nStatus))
            return Row::End;
        bCut = nStatus == OCI_SUCCESS_WITH_INFO;
    } catch (const DBStmt::OtherException& failure) {
        const int nCode = failure.Code();
        // Clients report a value cut to its buffer either way.
        if (nCode != OCI_ORA_COLUMN_TRUNCATED && nCode != OCI_ORA_TRUNCATION_OR_NULL)
            throw;
        m_connection.ResetErrorHandle();
        bCut = true;
    }
    const int nName = m_nNameIndicator == -1        ? 0
                      : m_nNameLength < kBufferSize ? m_nNameLength
                                                    : kBufferSize;
    const int nType = m_nTypeIndicator == -1        ? 0
                      : m_nTypeLength < kBufferSize ? m_nTypeLength
                                                    : kBufferSize;
    // A cut value is shown as far as a name can reach.
    row.strName = CString(m_szName, nName < kBufferSize ? nName : kMaxObjectNameBytes);
    row.strType = CString(m_szType, nType < kBufferSize ? nType : kMaxObjectNameBytes);
    const int nStatus = m_nStatusIndicator == -1                    ? 0
                        : m_nStatusLength < int(sizeof(m_szStatus)) ? m_nStatusLength
                                                                    : int(sizeof(m_szStatus));
    row.strStatus = m_bWithStatus ? CString(m_szStatus, nStatus) : CString();
    // A status cut to its buffer is no reason to refuse the row.
    if (bCut && m_bWithStatus && m_nStatusIndicator > 0 && m_nNameIndicator == 0 &&
        m_nTypeIndicator == 0)
        bCut = false;
    // A name that fills the buffer (one byte more than any name Oracle holds) was cut; a zero
    // byte inside one would turn it into another name wherever it is used as text.
    if (bCut || m_nNameIndicator > 0 || m_nTypeIndicator > 0 || nName == kBufferSize ||
        nType == kBufferSize || std::memchr(m_szName, '\0', size_t(nName)) != nullptr ||
        std::memchr(m_szType, '\0', size_t(nType)) != nullptr || nType == 0)
        return Row::Cut;
    if (nName == 0)
        return Row::Empty;
    return Row::Object;
}
