// ByteFunctions.h
//
// Oracle's byte-counting text functions, over the database's texts (stored in UTF-8, the
// database's character set): LENGTHB and SUBSTRB.
#pragma once

#include "sqlite3.h"

#include <string>

namespace ocilite {

namespace ByteFunctions {

// Registers LENGTHB(x) and SUBSTRB(x, position[, length]) on db.
bool Install(sqlite3* db);

// SUBSTRB's result: position 0 counts as 1, a negative one counts back from the end, a length
// below 1 gives no text; a character the byte range would split is left out whole (the result
// is never broken UTF-8). An empty result is NULL, as every empty text is in Oracle.
std::string Substring(const std::string& text, long long position, long long length);

}  // namespace ByteFunctions

}  // namespace ocilite
