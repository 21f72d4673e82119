// SourceStream.h
//
// SourceStream: the rows of a source query (name, type, text), one at a time to its caller,
// fetched in arrays of rows (each fetch call fills up to a few thousand rows, on top of the
// prefetch that sets the round trips). A NULL text is an empty line. The caller cuts the stream
// into objects: a row belongs to an object when its name and type are the object's, byte for
// byte.
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
    // The most bytes the arrays of one fetch call take, and the most rows they hold. A call per
    // 8,192 rows makes the per-call cost vanish beside the rows' own; 2 MiB hold that many
    // rows up to 256 bytes wide, and 130 rows of the widest lines.
    static constexpr size_t kArrayBytes = 2 * 1024 * 1024;
    static constexpr int kMaxArrayRows = 8192;

    // Prepares pszSql, a SourceQueries::Source statement read no wider than widths (in the
    // database's bytes); a failure throws DBStmt::OtherException with its reason in the
    // connection. Each element of the arrays holds its column's width in the widest client
    // characters (4 bytes each), and a byte more: a value that fills it was cut.
    SourceStream(DBConnect& connection, const char* pszSql, const SourceWidths& widths);
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    DBStmt& Statement() { return m_stmt; }
    // The next row; false at the end of the rows. A failed fetch throws
    // DBStmt::OtherException, as does a line longer than any stored line (ORA-01406) or a row
    // the query's fourth column says was cut (kSourceChangedText).
    bool Next();
    bool AtEnd() const { return m_bAtEnd; }

    bool IsObject(const CString& strName, const CString& strType) const;
    CString Name() const { return CString(NamePointer(), int(m_nameLengths[m_nRow])); }
    CString Type() const { return CString(TypePointer(), int(m_typeLengths[m_nRow])); }
    const char* Text() const { return &m_texts[m_nRow * m_nTextSize]; }
    int TextLength() const
    {
        return m_textIndicators[m_nRow] == -1 ? 0 : int(m_textLengths[m_nRow]);
    }
    // Rows per fetch call.
    int ArrayRows() const { return m_nArrayRows; }

private:
    const char* NamePointer() const { return &m_names[m_nRow * m_nNameSize]; }
    const char* TypePointer() const { return &m_types[m_nRow * m_nTypeSize]; }

    DBStmt m_stmt;
    size_t m_nNameSize;
    size_t m_nTypeSize;
    size_t m_nTextSize;
    int m_nArrayRows;
    std::vector<char> m_names;
    std::vector<char> m_types;
    std::vector<char> m_texts;
    std::vector<ub2> m_nameLengths;
    std::vector<ub2> m_typeLengths;
    std::vector<ub2> m_textLengths;
    std::vector<sb2> m_textIndicators;
    std::vector<int> m_wider;
    size_t m_nRow = 0;   // the current row in the arrays
    size_t m_nRows = 0;  // the rows the last fetch call delivered
    bool m_bStarted = false;
    bool m_bAtEnd = false;
};

// Binds a scope's placeholders (SourceQueries.h): the owner when there is one, the object name
// when the scope has one, then the include and exclude patterns.
void BindSourceScope(DBStmt& stmt, const SourceScope& scope);
