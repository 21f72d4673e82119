// BlockText.h
//
// What the engine does with a block's text before it hands it on:
//   EndsWithSlashLine - whether the block's last non-blank line is a "/" alone, so that it
//                       needs no slash line of its own.
//   Encode            - the block (UTF-8) in a code page; false, with the first character it
//                       cannot hold and that character's line (1: the block's first), when
//                       the code page has no exact place for every character.
#pragma once

#include <windows.h>

#include "framework/String.h"

namespace BlockText {

bool EndsWithSlashLine(const CString& strText);

struct Unencodable {
    int nLine = 0;
    // "U+00E4"
    CString strCharacter;
};

bool Encode(const CString& strUtf8, UINT nCodePage, CString& strEncoded, Unencodable& lost);

// Whether the text holds a byte beyond 7-bit ASCII.
bool HoldsBeyondAscii(const CString& strText);

}  // namespace BlockText
