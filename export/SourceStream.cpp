// SourceStream.cpp: fetching the source rows of a job.
#include "export/SourceStream.h"

#include <algorithm>
#include <cstring>

namespace {

// The widest a client character is, in bytes: what one database byte may become.
constexpr size_t kClientBytesPerByte = 4;
// USER_SOURCE.TYPE is a VARCHAR2(12).
constexpr size_t kTypeBytes = 12;

size_t ElementSize(int nDatabaseBytes, size_t nLargest)
{
    const size_t nBytes = size_t(std::max(nDatabaseBytes, 1)) * kClientBytesPerByte;
    return std::min(nBytes, nLargest) + 1;
}

}  // namespace

SourceStream::SourceStream(DBConnect& connection, const char* pszSql, const SourceWidths& widths)
    : m_stmt(connection, pszSql), m_nNameSize(ElementSize(widths.nNameBytes, kMaxObjectNameBytes)),
      m_nTypeSize(ElementSize(int(kTypeBytes), kMaxObjectNameBytes)),
      m_nTextSize(ElementSize(widths.nTextBytes, kMaxSourceLineBytes))
{
    const size_t nRowBytes =
        m_nNameSize + m_nTypeSize + m_nTextSize + sizeof(int) + 3 * sizeof(ub2) + sizeof(sb2);
    m_nArrayRows =
        int(std::max<size_t>(1, std::min<size_t>(kArrayBytes / nRowBytes, size_t(kMaxArrayRows))));
    const size_t nRows = size_t(m_nArrayRows);
    m_names.resize(nRows * m_nNameSize);
    m_types.resize(nRows * m_nTypeSize);
    m_texts.resize(nRows * m_nTextSize);
    m_nameLengths.resize(nRows);
    m_typeLengths.resize(nRows);
    m_textLengths.resize(nRows);
    m_textIndicators.resize(nRows);
    m_wider.resize(nRows);
    m_stmt.DefineChars(1, m_names.data(), int(m_nNameSize), m_nameLengths.data());
    m_stmt.DefineChars(2, m_types.data(), int(m_nTypeSize), m_typeLengths.data());
    m_stmt.DefineChars(3, m_texts.data(), int(m_nTextSize), m_textLengths.data(),
                       m_textIndicators.data());
    m_stmt.DefineInt(4, m_wider.data());
    PrefetchInBatches(m_stmt);
}

bool SourceStream::Next()
{
    if (m_bAtEnd)
        return false;
    if (m_bStarted && m_nRow + 1 < m_nRows) {
        ++m_nRow;
    } else {
        std::fill(m_nameLengths.begin(), m_nameLengths.end(), ub2(0));
        std::fill(m_typeLengths.begin(), m_typeLengths.end(), ub2(0));
        std::fill(m_textLengths.begin(), m_textLengths.end(), ub2(0));
        std::fill(m_textIndicators.begin(), m_textIndicators.end(), sb2(0));
        std::fill(m_wider.begin(), m_wider.end(), 0);
        m_bStarted = true;
        m_nRow = 0;
        m_nRows = m_stmt.FetchRows(ub4(m_nArrayRows));
        if (m_nRows == 0) {
            m_bAtEnd = true;
            return false;
        }
    }
    // The checks of each row as it comes to the caller, in the stream's order.
    if (m_textIndicators[m_nRow] > 0 ||
        (m_textIndicators[m_nRow] != -1 && m_textLengths[m_nRow] >= m_nTextSize))
        m_stmt.FailWith("ORA-01406: fetched column value was truncated\n",
                        OCI_ORA_COLUMN_TRUNCATED);
    if (m_wider[m_nRow] != 0)
        m_stmt.FailWith(kSourceChangedText, OCI_ORA_COLUMN_TRUNCATED);
    if (m_nameLengths[m_nRow] > m_nNameSize)
        m_nameLengths[m_nRow] = ub2(m_nNameSize);
    if (m_typeLengths[m_nRow] > m_nTypeSize)
        m_typeLengths[m_nRow] = ub2(m_nTypeSize);
    return true;
}

bool SourceStream::IsObject(const CString& strName, const CString& strType) const
{
    return !m_bAtEnd && strName.GetLength() == int(m_nameLengths[m_nRow]) &&
           strType.GetLength() == int(m_typeLengths[m_nRow]) &&
           std::memcmp(strName.GetString(), NamePointer(), m_nameLengths[m_nRow]) == 0 &&
           std::memcmp(strType.GetString(), TypePointer(), m_typeLengths[m_nRow]) == 0;
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
