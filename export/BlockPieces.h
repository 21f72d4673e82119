// BlockPieces.h
//
// BlockPieces: one object's block on its way to the sink, handed on in pieces of about
// kPieceBytes that each end at a line end, so that a block of any size costs the engine one
// piece of memory (a single line longer than a piece is held whole). It ends the block as the
// engine does: "\n/\n" after it, or "\n" alone when its last non-blank line is a "/" alone.
#pragma once

#include <cstddef>

#include "framework/String.h"

class BlockPieces {
public:
    static constexpr size_t kPieceBytes = size_t(1) << 20;

    // nExpected: the bytes the block is expected to hold (the room set aside, up to a piece's).
    BlockPieces(const char* pszStart, size_t nExpected);

    void Append(const char* pText, size_t nLength);
    // The bytes held and not yet taken, from the block's or the last piece's end.
    const CString& Held() const { return m_strHeld; }
    // More than a piece is held and a line end lies among it.
    bool PieceReady() const;
    // The held bytes up to their last line end, which are no longer held.
    CString TakePiece();
    // Ends the block with its own "/" line or a line end; true when "/" was added.
    bool End();
    // The rest of the block, after End.
    CString TakeRest();
    // Line ends in the pieces taken so far.
    int LinesTaken() const { return m_nLinesTaken; }

private:
    CString m_strHeld;
    int m_nLinesTaken = 0;
    // What the pieces taken end with: whether they hold a non-blank character, and whether
    // their last non-blank line is a "/" alone.
    bool m_bTakenNonBlank = false;
    bool m_bTakenEndsWithSlash = false;
};
