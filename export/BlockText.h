// BlockText.h
//
// What the engine does with a block's text before it hands it on:
//   EndsWithSlashLine - whether the block's last non-blank line is a "/" alone, so that it
//                       needs no slash line of its own.
//   HoldsBeyondAscii  - whether UTF-8 files need a UTF-8 client to be read as stored.
#pragma once

#include "framework/String.h"

namespace BlockText {

bool EndsWithSlashLine(const CString& strText);

// Whether the text holds a byte beyond 7-bit ASCII.
bool HoldsBeyondAscii(const CString& strText);

}  // namespace BlockText
