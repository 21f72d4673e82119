// ByteFunctions.h
//
// Oracle's byte-counting text functions, LENGTHB and SUBSTRB, over the database's texts: stored
// in UTF-8, counted in the bytes of the database's own character set (NLS_CHARACTERSET); and
// INSTR, which counts characters whatever the set.
#pragma once

#include "sqlite3.h"

#include <string>
#include <string_view>

#include "oci-lite/ClientCharset.h"

namespace ocilite {

namespace ByteFunctions {

// Registers LENGTHB(x) and SUBSTRB(x, position[, length]) on db, counting in databaseSet's
// bytes (databaseSet must outlive the connection), and INSTR(x, y).
bool Install(sqlite3* db, const ClientCharset* databaseSet);

// SUBSTRB's result, positions and length in databaseSet's bytes: position 0 counts as 1, a
// negative one counts back from the end, a length below 1 gives no text; a character the byte
// range would split is left out whole (the result is never a broken character). An empty
// result is NULL, as every empty text is in Oracle. The result is a part of text.
std::string_view Substring(std::string_view text, long long position, long long length,
                           const ClientCharset& databaseSet);

}  // namespace ByteFunctions

}  // namespace ocilite
