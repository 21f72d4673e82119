// BlockEncoder.cpp: a block in the file's character set, by the client, in bounded pieces.
#include "export/BlockEncoder.h"

#include <cstring>
#include <string>

#include "db/DBConnect.h"
#include "export/BlockText.h"
#include "export/ExportEngine.h"

namespace {

// The client converts a block in pieces of about this many bytes, each ending at a line end.
constexpr size_t kConvertPiece = 64 * 1024;

// Where the piece that starts at nStart ends: after the last line end within kConvertPiece
// bytes, else at the last character's end there, else at the text's end.
size_t PieceEnd(const char* pText, size_t nLength, size_t nStart)
{
    if (nLength - nStart <= kConvertPiece)
        return nLength;
    size_t nEnd = nStart + kConvertPiece;
    for (size_t i = nEnd; i > nStart; --i) {
        if (pText[i - 1] == '\n')
            return i;
    }
    // A UTF-8 continuation byte is not a character's start.
    while (nEnd > nStart + 1 && (static_cast<unsigned char>(pText[nEnd]) & 0xC0) == 0x80)
        --nEnd;
    return nEnd;
}

// The length of the UTF-8 character at pText (1 for a byte that starts none).
int CharacterLength(const char* pText, size_t nLeft)
{
    const unsigned char lead = static_cast<unsigned char>(pText[0]);
    const int nLength = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return size_t(nLength) <= nLeft ? nLength : 1;
}

// "U+00E4" of the UTF-8 character at pText.
CString CodePointText(const char* pText, int nLength)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pText);
    unsigned nCode = p[0];
    if (nLength == 2)
        nCode = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    else if (nLength == 3)
        nCode = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    else if (nLength == 4)
        nCode = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                (p[3] & 0x3Fu);
    CString strCode;
    strCode.Format("U+%04X", nCode);
    return strCode;
}

bool IsUtf8Charset(const CString& strName)
{
    return strName == "AL32UTF8" || strName == "UTF8";
}

}  // namespace

BlockEncoder::BlockEncoder(DBConnect& connection, bool bUtf8Files)
    : m_connection(connection), m_charset(connection.GetClientCharset()), m_bUtf8Files(bUtf8Files)
{}

bool BlockEncoder::NeedsUtf8Client() const
{
    // A US7ASCII client's files are UTF-8 whatever the job asks; that case has advice of its own.
    return m_bUtf8Files && m_bWroteBeyondAscii && !IsUtf8Charset(m_charset.strName) &&
           m_charset.strName != "US7ASCII";
}

// Each piece is written over the bytes it came from (no set needs more bytes for a character
// than UTF-8 does; should one, the rest goes to a copy).
bool BlockEncoder::Encode(const ExportObjectId& object, CString& strBlock, int nLinesBefore,
                          Failure& failure)
{
    if (m_bUtf8Files || m_charset.IsUnicode() || m_charset.IsUs7Ascii() || m_charset.nId == 0) {
        if (m_bUtf8Files && !m_charset.IsUnicode() && !m_bWroteBeyondAscii)
            m_bWroteBeyondAscii = BlockText::HoldsBeyondAscii(strBlock);
        if (!m_bUtf8Files && m_charset.IsUs7Ascii() && m_strFirstBeyondAscii.IsEmpty())
            NoteBeyondAscii(object, strBlock, nLinesBefore);
        return true;
    }
    const int nLength = strBlock.GetLength();
    char* pText = strBlock.GetBuffer(nLength);
    size_t nRead = 0;
    size_t nWritten = 0;
    std::string strPiece;
    std::string strCopy;  // used only once a piece grew
    bool bCopying = false;
    bool bOk = true;
    while (nRead < size_t(nLength)) {
        const size_t nEnd = PieceEnd(pText, size_t(nLength), nRead);
        bool bReplaced = false;
        if (!m_connection.ConvertToClient(pText + nRead, nEnd - nRead, strPiece, bReplaced)) {
            failure = Failure{false, m_connection.GetErrorText(), m_connection.GetErrorCode()};
            bOk = false;
            break;
        }
        if (bReplaced) {
            bOk = Unwritable(object, pText + nRead, nEnd - nRead, nLinesBefore, failure);
            break;
        }
        for (size_t i = nRead; i < nEnd; ++i)
            nLinesBefore += pText[i] == '\n' ? 1 : 0;
        if (!bCopying && nWritten + strPiece.size() > nEnd) {
            strCopy.assign(pText, nWritten);
            bCopying = true;
        }
        if (bCopying) {
            strCopy += strPiece;
        } else {
            std::memmove(pText + nWritten, strPiece.data(), strPiece.size());
            nWritten += strPiece.size();
        }
        nRead = nEnd;
    }
    strBlock.ReleaseBuffer(bOk && !bCopying ? int(nWritten) : nLength);
    if (bOk && bCopying)
        strBlock = CString(strCopy.data(), int(strCopy.size()));
    return bOk;
}

// The failure for a piece that held a character the client's set cannot: the first such
// character and its line, found line by line and then character by character. Always false.
bool BlockEncoder::Unwritable(const ExportObjectId& object, const char* pPiece, size_t nLength,
                              int nLinesBefore, Failure& failure)
{
    int nLine = nLinesBefore + 1;
    CString strCharacter = "?";
    std::string strConverted;
    size_t nLineStart = 0;
    while (nLineStart < nLength) {
        size_t nLineEnd = nLineStart;
        while (nLineEnd < nLength && pPiece[nLineEnd] != '\n')
            ++nLineEnd;
        bool bReplaced = false;
        m_connection.ConvertToClient(pPiece + nLineStart, nLineEnd - nLineStart, strConverted,
                                     bReplaced);
        if (bReplaced) {
            for (size_t i = nLineStart; i < nLineEnd;) {
                const int nChar = CharacterLength(pPiece + i, nLineEnd - i);
                m_connection.ConvertToClient(pPiece + i, size_t(nChar), strConverted, bReplaced);
                if (bReplaced) {
                    strCharacter = CodePointText(pPiece + i, nChar);
                    break;
                }
                i += size_t(nChar);
            }
            break;
        }
        nLineStart = nLineEnd + 1;
        ++nLine;
    }
    // The block's first line carries the "CREATE OR REPLACE " prefix: still line 1.
    failure.bUnwritable = true;
    failure.nErrorCode = 0;
    failure.strText.Format("%s (%s) line %d: the character %s cannot be written in %s; set "
                           "NLS_LANG to a character set that holds it, such as "
                           "AMERICAN_AMERICA.AL32UTF8",
                           object.strName.GetString(), object.strType.GetString(), nLine,
                           strCharacter.GetString(), m_charset.strName.GetString());
    return false;
}

// Remembers where the first byte beyond ASCII of the job is ("EMP_API (PACKAGE) line 3").
void BlockEncoder::NoteBeyondAscii(const ExportObjectId& object, const CString& strBlock,
                                   int nLinesBefore)
{
    int nLine = nLinesBefore + 1;
    for (int i = 0; i < strBlock.GetLength(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(strBlock[i]);
        if (byte == '\n') {
            ++nLine;
        } else if (byte >= 0x80) {
            m_strFirstBeyondAscii.Format("%s (%s) line %d", object.strName.GetString(),
                                         object.strType.GetString(), nLine);
            return;
        }
    }
}
