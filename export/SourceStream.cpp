// SourceStream.cpp: fetching the source rows of a job.
#include "export/SourceStream.h"

#include <cstring>

SourceStream::SourceStream(DBConnect& connection, const char* pszSql) : m_stmt(connection, pszSql)
{
    m_stmt.DefineChars(1, m_szName, kNameBufferSize, &m_nNameLength);
    m_stmt.DefineChars(2, m_szType, kNameBufferSize, &m_nTypeLength);
    m_stmt.DefineChars(3, m_text.data(), kTextBufferSize, &m_nTextLength, &m_nTextIndicator);
    m_stmt.DefineInt(4, &m_nWider);
    m_stmt.SetPrefetchRows(kPrefetchRows);
    m_stmt.SetPrefetchMemory(kPrefetchMemory);
}

bool SourceStream::Next()
{
    m_nNameLength = m_nTypeLength = m_nTextLength = 0;
    m_nTextIndicator = 0;
    m_nWider = 0;
    int nStatus = OCI_SUCCESS;
    if (!m_stmt.FetchRow(nStatus)) {
        m_bAtEnd = true;
        return false;
    }
    if (m_nTextIndicator > 0 || (m_nTextIndicator != -1 && m_nTextLength >= kTextBufferSize))
        m_stmt.FailWith("ORA-01406: fetched column value was truncated\n",
                        OCI_ORA_COLUMN_TRUNCATED);
    if (m_nWider != 0)
        m_stmt.FailWith(kSourceChangedText, OCI_ORA_COLUMN_TRUNCATED);
    if (m_nNameLength > kNameBufferSize)
        m_nNameLength = kNameBufferSize;
    if (m_nTypeLength > kNameBufferSize)
        m_nTypeLength = kNameBufferSize;
    return true;
}

bool SourceStream::IsObject(const CString& strName, const CString& strType) const
{
    return !m_bAtEnd && strName.GetLength() == m_nNameLength &&
           strType.GetLength() == m_nTypeLength &&
           std::memcmp(strName.GetString(), m_szName, m_nNameLength) == 0 &&
           std::memcmp(strType.GetString(), m_szType, m_nTypeLength) == 0;
}

void BindSourceScope(DBStmt& stmt, const SourceScope& scope)
{
    int nPosition = 1;
    if (!scope.strOwner.IsEmpty())
        stmt.BindString(nPosition++, scope.strOwner, scope.strOwner.GetLength());
    if (scope.pName != nullptr)
        stmt.BindString(nPosition++, *scope.pName, scope.pName->GetLength());
    for (const CString& strPattern : scope.includes)
        stmt.BindString(nPosition++, strPattern, strPattern.GetLength());
    for (const CString& strPattern : scope.excludes)
        stmt.BindString(nPosition++, strPattern, strPattern.GetLength());
}
