// LikeEscape.h
//
// Oracle's LIKE ... ESCAPE: the escape character may be followed only by "%", "_" or itself
// (else ORA-01424), and must be one character (else ORA-01425). SQLite's own LIKE takes any
// character after the escape as itself; this one replaces it for the three-argument form.
// Patterns match character by character ("_" one character, "%" any run), comparing bytes, or
// ASCII letters without case when the session compares without case (as SQLite's LIKE does
// with case_sensitive_like off).
#pragma once

#include <string>

#include "sqlite3.h"

namespace ocilite {

namespace LikeEscape {

// Registers like(pattern, text, escape) on db; *ignoresCase (which must outlive the connection)
// is read at each call. Must run after any PRAGMA case_sensitive_like, which registers SQLite's.
bool Install(sqlite3* db, const bool* ignoresCase);

enum class Match { kNo, kYes, kBadEscape };

// Whether text is LIKE pattern with escape (a single character, in UTF-8).
Match Like(const std::string& text, const std::string& pattern, const std::string& escape,
           bool ignoresCase);

}  // namespace LikeEscape

}  // namespace ocilite
