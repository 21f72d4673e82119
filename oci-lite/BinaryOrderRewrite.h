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

// BinaryEqualityRewrite: lets SQLite compare texts for equality by their bytes, from an index
// where there is one. A comparison of two binary NLSSORTs for equality (=, <>, !=, [NOT] IN a
// list of them), one of a text column of the session views and the others of string literals,
// bind placeholders or such columns, becomes the same comparison of <column> COLLATE BINARY with
// the plain values: two texts' RAWs are equal exactly when their bytes are. A comparison is only
// rewritten where nothing binding more tightly stands beside it.
class BinaryEqualityRewrite {
public:
    static std::string Apply(const std::string& sql);
};

// SessionUserRewrite: Oracle's USER (the session user's name, a pseudo-column SQLite does not
// know) becomes SYS_CONTEXT('USERENV','SESSION_USER').
class SessionUserRewrite {
public:
    static std::string Apply(const std::string& sql);
};

}  // namespace ocilite
