// LinguisticSort.h
//
// LinguisticSort: the text orders a session's connection knows, installed on it at logon.
//   - the collation NLS_LINGUISTIC, which the session views give their text columns when the
//     environment sorts linguistically (NLS_LANG's language is not AMERICAN, or NLS_SORT names
//     a linguistic sort): letters compare without case and accents first, and punctuation and
//     blanks come before digits, digits before letters; ties are broken by the bytes, so that
//     only identical texts compare equal (comparisons stay exact, as NLS_COMP=BINARY keeps them).
//   - the function NLSSORT(expr [, 'NLS_SORT=name']), returning a RAW (a blob) that orders as
//     the named sort orders expr: BINARY gives the bytes of the value, any other name the
//     linguistic order, no second argument the session's own sort.
#pragma once

#include <string>

struct sqlite3;

namespace ocilite {

class LinguisticSort {
public:
    static constexpr const char* kCollationName = "NLS_LINGUISTIC";
    // Comparisons under NLS_COMP=LINGUISTIC with a _CI sort (letters equal whatever their case)
    // and an _AI sort (equal whatever their case and accents); these tell unequal texts equal.
    static constexpr const char* kCaseInsensitiveName = "NLS_CI";
    static constexpr const char* kAccentInsensitiveName = "NLS_AI";

    // Registers the collations and NLSSORT on db; sessionSortsLinguistically is the session's own
    // sort, used by NLSSORT without its second argument.
    static bool Install(sqlite3* db, bool sessionSortsLinguistically);

    // The key whose bytes order as the linguistic sort orders the UTF-8 text.
    static std::string Key(const std::string& utf8Text);
};

}  // namespace ocilite
