// Hardening through oci-lite: the verb check sees through blanks, comments and semicolons, and a
// statement that would take too much memory fails with ORA-04030 instead of taking it.
#include <gtest/gtest.h>

#include "tests/oci-lite/LoggedOnSession.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class OciLiteHardening : public LoggedOnSession {
protected:
    void ExpectOwnViewsIntact()
    {
        EXPECT_EQ((Rows{{"6"}}), session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1));
        EXPECT_EQ((Rows{{"11"}}), session.Query("SELECT COUNT(1) FROM USER_SOURCE", {}, 1));
    }
};

struct RefusedCase {
    const char* sql;
    sb4 code;
};

const RefusedCase kPrefixedStatements[] = {
    {";DELETE FROM source", 16000},
    {" ; ; DELETE FROM source", 16000},
    {"/* a */;/* b */ -- c\n ; INSERT INTO users VALUES('EVE','x',1)", 16000},
    {"-- only a comment line\nUPDATE users SET password = 'x'", 16000},
    {"( ; DROP VIEW USER_SOURCE", 16000},
    {";CREATE TEMP TABLE scratch(x)", 16000},
    {"/* unclosed ; DELETE FROM source", 900},
    {";EXPLAIN SELECT OBJECT_NAME FROM USER_OBJECTS", 1031},
    {"/**/EXPLAIN QUERY PLAN SELECT OBJECT_NAME FROM USER_OBJECTS", 1031},
    {"-- x\nEXPLAIN DELETE FROM source", 1031},
    {";PRAGMA writable_schema = 1", 1031},
};

TEST_F(OciLiteHardening, VerbIsReadPastBlanksCommentsAndSemicolons)
{
    for (const RefusedCase& test : kPrefixedStatements) {
        EXPECT_EQ(OCI_ERROR, session.Execute(test.sql)) << test.sql;
        EXPECT_EQ(test.code, session.LastError().code) << test.sql;
    }
    ExpectOwnViewsIntact();
}

const char* const kGreedyStatements[] = {
    "SELECT length(zeroblob(100000000)) FROM DUAL",
    "SELECT length(printf('%.*c', 50000000, 'x')) FROM DUAL",
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 20000) "
    "SELECT length(group_concat(printf('%.*c', 1000, 'x'))) FROM r",
    // Each row carries 8 MB into an in-memory sort: the heap limit stops it.
    "WITH RECURSIVE r(n, b) AS (SELECT 1, zeroblob(8000000) UNION ALL "
    "SELECT n + 1, zeroblob(8000000) FROM r WHERE n < 200) SELECT n, length(b) FROM r ORDER BY b, "
    "n",
};

TEST_F(OciLiteHardening, StatementThatWouldTakeTooMuchMemoryFailsWith4030)
{
    for (const char* sql : kGreedyStatements) {
        sword status = OCI_SUCCESS;
        Rows rows = session.Query(sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << sql;
        OraRecord record = session.LastError();
        EXPECT_EQ(4030, record.code) << sql;
        EXPECT_EQ(0u, record.text.find("ORA-04030: out of process memory when trying to allocate "))
            << record.text;
        // The connection is still good.
        ExpectOwnViewsIntact();
    }
}

TEST_F(OciLiteHardening, LargeButReasonableValuesStillArrive)
{
    EXPECT_EQ((Rows{{"4000000"}}),
              session.Query("SELECT length(printf('%.*c', 4000000, 'x')) FROM DUAL", {}, 1));
}

}  // namespace
