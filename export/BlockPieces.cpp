// BlockPieces.cpp: a block taken in pieces at line ends.
#include "export/BlockPieces.h"

#include <algorithm>

#include "export/BlockText.h"

namespace {

// Room for the block's ending ("\n/\n") and the terminator.
constexpr size_t kEndingRoom = 4;

bool HoldsNonBlank(const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); ++i) {
        const char ch = strText[i];
        if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n')
            return true;
    }
    return false;
}

}  // namespace

// Room for the expected bytes up to a piece and a line, so that a block is held once, not grown
// by doubling (which would hold up to twice its bytes): a buffer of that size, released at
// once, keeps its room.
BlockPieces::BlockPieces(const char* pszStart, size_t nExpected) : m_strHeld(pszStart)
{
    const size_t nRoom = std::min(nExpected, 2 * kPieceBytes) + kEndingRoom;
    const int nLength = m_strHeld.GetLength();
    m_strHeld.GetBuffer(nLength + int(nRoom));
    m_strHeld.ReleaseBuffer(nLength);
}

void BlockPieces::Append(const char* pText, size_t nLength)
{
    m_strHeld.Append(pText, int(nLength));
}

bool BlockPieces::PieceReady() const
{
    return size_t(m_strHeld.GetLength()) > kPieceBytes && m_strHeld.ReverseFind('\n') >= 0;
}

CString BlockPieces::TakePiece()
{
    const int nEnd = m_strHeld.ReverseFind('\n') + 1;
    CString strPiece = m_strHeld.Left(nEnd);
    m_strHeld.Delete(0, nEnd);
    for (int i = 0; i < strPiece.GetLength(); ++i)
        m_nLinesTaken += strPiece[i] == '\n' ? 1 : 0;
    // A piece ends at a line end, so its last non-blank line is whole.
    if (HoldsNonBlank(strPiece)) {
        m_bTakenNonBlank = true;
        m_bTakenEndsWithSlash = BlockText::EndsWithSlashLine(strPiece);
    }
    return strPiece;
}

bool BlockPieces::End()
{
    // What is held begins at a line's start, so its last non-blank line, when it has one, is
    // the block's.
    const bool bEndsWithSlash = HoldsNonBlank(m_strHeld)
                                    ? BlockText::EndsWithSlashLine(m_strHeld)
                                    : m_bTakenNonBlank && m_bTakenEndsWithSlash;
    m_strHeld += bEndsWithSlash ? "\n" : "\n/\n";
    return !bEndsWithSlash;
}

CString BlockPieces::TakeRest()
{
    CString strRest;
    std::swap(strRest, m_strHeld);
    return strRest;
}
