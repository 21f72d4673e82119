// BlockEncoder.h
//
// BlockEncoder: a block's text, UTF-8 as the session reads it, in the character set the file
// is written in: the client's own (what its NLS_LANG names), converted by the client itself so
// that its SQL*Plus reads the file as it was stored; UTF-8 when the job asks for UTF-8 files or
// the client's set is UTF-8, US7ASCII or unknown. A character the client's set cannot hold is a
// failure naming the character and its line, never a "?" in the file. It also remembers what a
// run must say at its end: the first character beyond ASCII a US7ASCII client's file holds, and
// whether UTF-8 files hold any for a client whose set is not UTF-8.
#pragma once

#include "db/ClientCharset.h"
#include "framework/String.h"

class DBConnect;
struct ExportObjectId;

class BlockEncoder {
public:
    struct Failure {
        // A character has no place in the client's set (strText names it and its line);
        // otherwise the client refused to convert (strText and nErrorCode are its own).
        bool bUnwritable = false;
        CString strText;
        int nErrorCode = 0;
    };

    // The connection is logged on; it outlives the encoder.
    BlockEncoder(DBConnect& connection, bool bUtf8Files);

    // A piece of a block in the file's set, in place; false with the failure. The piece ends at
    // a line end, or the block's end; nLinesBefore: the line ends of the block before it.
    bool Encode(const ExportObjectId& object, CString& strPiece, int nLinesBefore,
                Failure& failure);

    // "<NAME> (<TYPE>) line <N>" of the first character beyond ASCII written for a US7ASCII
    // client (in UTF-8); empty when none was.
    const CString& FirstBeyondUs7Ascii() const { return m_strFirstBeyondAscii; }
    // UTF-8 files were asked for and hold characters beyond ASCII, for a client whose set is
    // neither UTF-8 nor US7ASCII: SQL*Plus must run them with a UTF-8 NLS_LANG.
    bool NeedsUtf8Client() const;

private:
    bool Unwritable(const ExportObjectId& object, const char* pPiece, size_t nLength,
                    int nLinesBefore, Failure& failure);
    void NoteBeyondAscii(const ExportObjectId& object, const CString& strPiece, int nLinesBefore);

    DBConnect& m_connection;
    const ClientCharset m_charset;
    const bool m_bUtf8Files;
    CString m_strFirstBeyondAscii;
    bool m_bWroteBeyondAscii = false;
};
