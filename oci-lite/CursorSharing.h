// CursorSharing.h
//
// CURSOR_SHARING=FORCE as the server applies it: before a statement is parsed, its literals
// (quoted texts and numbers) become system binds, so the statement is described as if they were
// binds: SUBSTRB(TEXT,1,41) is then described at the column's full width, as Oracle describes
// SUBSTRB(TEXT,1,:"SYS_B_0"). A statement whose first keyword is followed by the hint
// /*+ CURSOR_SHARING_EXACT */ (with other hints too, in any case) keeps its literals.
//
// Here a literal becomes SYS_B(literal), a function that gives back its argument: the value is
// the same, but the select list's column names (by which oci-lite describes the columns) no
// longer show it.
#pragma once

#include <string>

#include "sqlite3.h"

namespace ocilite {

namespace CursorSharing {

// Registers SYS_B(x) on db.
bool Install(sqlite3* db);

// True when the statement carries the CURSOR_SHARING_EXACT hint after its first keyword.
bool KeepsLiterals(const std::string& sql);

// The statement with every literal outside comments and quoted names replaced by SYS_B(...).
// Placeholders (":1") and digits inside names are not literals.
std::string ReplaceLiterals(const std::string& sql);

}  // namespace CursorSharing

}  // namespace ocilite
