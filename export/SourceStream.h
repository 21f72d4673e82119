// SourceStream.h
//
// SourceStream: the rows of a source query (name, type, text), one at a time, fetched in
// large batches. A NULL text is an empty line. The caller cuts the stream into objects: a row
// belongs to an object when its name and type are the object's, byte for byte.
#pragma once

#include <vector>

#include "db/DBStmt.h"
#include "db/ObjectListCursor.h"
#include "export/SourceQueries.h"

// The widest source line a client can deliver: 4000 characters of up to 4 bytes each.
constexpr int kMaxSourceLineBytes = 4000 * 4;

// A row wider than the query reads: the object changed between the line counts and the read.
constexpr char kSourceChangedText[] =
    "The source changed while it was read (a name or line is longer than when the lines were "
    "counted); run the export again.";

class SourceStream {
public:
    // Prepares pszSql; a failure throws DBStmt::OtherException with its reason in the
    // connection.
    SourceStream(DBConnect& connection, const char* pszSql);
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    DBStmt& Statement() { return m_stmt; }
    // The next row; false at the end of the rows. A failed fetch throws
    // DBStmt::OtherException, as does a line longer than any stored line (ORA-01406) or a row
    // the query's fourth column says was cut (kSourceChangedText).
    bool Next();
    bool AtEnd() const { return m_bAtEnd; }

    bool IsObject(const CString& strName, const CString& strType) const;
    CString Name() const { return CString(m_szName, m_nNameLength); }
    CString Type() const { return CString(m_szType, m_nTypeLength); }
    const char* Text() const { return m_text.data(); }
    int TextLength() const { return m_nTextIndicator == -1 ? 0 : m_nTextLength; }

private:
    static constexpr int kNameBufferSize = kMaxObjectNameBytes + 1;
    // One byte more than the widest line: a line that fills it was cut.
    static constexpr int kTextBufferSize = kMaxSourceLineBytes + 1;

    DBStmt m_stmt;
    char m_szName[kNameBufferSize] = {};
    char m_szType[kNameBufferSize] = {};
    std::vector<char> m_text = std::vector<char>(size_t(kTextBufferSize));
    ub2 m_nNameLength = 0;
    ub2 m_nTypeLength = 0;
    ub2 m_nTextLength = 0;
    sb2 m_nTextIndicator = 0;
    int m_nWider = 0;
    bool m_bAtEnd = false;
};

// Binds a scope's placeholders (SourceQueries.h): the owner when there is one, the object name
// when the scope has one, then the include and exclude patterns.
void BindSourceScope(DBStmt& stmt, const SourceScope& scope);
