// BinaryOrderRewrite.h
//
// BinaryOrderRewrite: lets SQLite serve a binary sort or grouping from an index. In a
// statement's final top-level ORDER BY and its top-level GROUP BY, NLSSORT(<column>,
// 'NLS_SORT=BINARY') becomes <column> COLLATE BINARY when the column is one of the session views'
// text columns: both order and group by the text's bytes, NULL first, but only the second can be
// read from an index on the column instead of sorting the whole result. NLSSORT elsewhere (the
// select list, WHERE, a subquery) is left as it is, so it still returns a RAW there.
#pragma once

#include <string>

namespace ocilite {

class BinaryOrderRewrite {
public:
    // The statement with each such NLSSORT replaced; any other statement unchanged.
    static std::string Apply(const std::string& sql);
};

// SessionUserRewrite: Oracle's USER (the session user's name, a pseudo-column SQLite does not
// know) becomes SYS_CONTEXT('USERENV','SESSION_USER').
class SessionUserRewrite {
public:
    static std::string Apply(const std::string& sql);
};

}  // namespace ocilite
