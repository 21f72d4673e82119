// A binary sort asked for with NLSSORT(column, 'NLS_SORT=BINARY') in the final ORDER BY is
// served from an index on the column when there is one, and still orders by the bytes; two
// such NLSSORTs compared for equality become a comparison of the texts by their bytes.
#include <gtest/gtest.h>

#include <string>

#include "oci-lite/BinaryOrderRewrite.h"
#include "sqlite3.h"

namespace {

using ocilite::BinaryEqualityRewrite;
using ocilite::BinaryOrderRewrite;

struct RewriteCase {
    const char* sql;
    const char* rewritten;  // null: unchanged
};

const RewriteCase kRewriteCases[] = {
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(NAME,'NLS_SORT=BINARY'),LINE",
     "SELECT NAME FROM USER_SOURCE ORDER BY NAME COLLATE BINARY,LINE"},
    {"SELECT NAME FROM USER_SOURCE ORDER BY nlssort ( s.\"NAME\" , ' nls_sort = binary ' ) DESC",
     "SELECT NAME FROM USER_SOURCE ORDER BY s.\"NAME\" COLLATE BINARY DESC"},
    {"SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY NLSSORT(OBJECT_NAME, 'NLS_SORT=BINARY'), "
     "NLSSORT(OBJECT_TYPE, 'NLS_SORT=BINARY')",
     "SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY OBJECT_NAME COLLATE BINARY, "
     "OBJECT_TYPE COLLATE BINARY"},
    // The select list and WHERE keep NLSSORT, which returns a RAW there.
    {"SELECT NLSSORT(NAME, 'NLS_SORT=BINARY') FROM USER_SOURCE "
     "WHERE NLSSORT(NAME, 'NLS_SORT=BINARY') IS NOT NULL ORDER BY NLSSORT(NAME, 'NLS_SORT=BINARY')",
     "SELECT NLSSORT(NAME, 'NLS_SORT=BINARY') FROM USER_SOURCE "
     "WHERE NLSSORT(NAME, 'NLS_SORT=BINARY') IS NOT NULL ORDER BY NAME COLLATE BINARY"},
    // Only the statement's own ORDER BY, not one inside parentheses.
    {"SELECT * FROM (SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(NAME, 'NLS_SORT=BINARY'))",
     nullptr},
    // Other sorts, other columns and expressions keep their NLSSORT.
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(NAME, 'NLS_SORT=GERMAN')", nullptr},
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(NAME)", nullptr},
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(LINE, 'NLS_SORT=BINARY')", nullptr},
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(UPPER(NAME), 'NLS_SORT=BINARY')", nullptr},
    {"SELECT NAME FROM USER_SOURCE ORDER BY NLSSORT(NAME, 'NLS_SORT=BINARY') || 'x'",
     "SELECT NAME FROM USER_SOURCE ORDER BY NAME COLLATE BINARY || 'x'"},
    // Text inside literals and comments is not SQL.
    {"SELECT 'ORDER BY NLSSORT(NAME, ''NLS_SORT=BINARY'')' FROM DUAL", nullptr},
    {"SELECT NAME FROM USER_SOURCE ORDER BY /* NLSSORT(NAME, 'NLS_SORT=BINARY') */ NAME", nullptr},
    {"SELECT NAME FROM USER_SOURCE -- ORDER BY NLSSORT(NAME, 'NLS_SORT=BINARY')\n", nullptr},
};

TEST(OciLiteBinaryOrder, OnlyTheFinalOrderByOfATextColumnIsRewritten)
{
    for (const RewriteCase& test : kRewriteCases) {
        EXPECT_EQ(test.rewritten ? std::string(test.rewritten) : std::string(test.sql),
                  BinaryOrderRewrite::Apply(test.sql))
            << test.sql;
    }
}

#define BIN(x) "NLSSORT(" x ",'NLS_SORT=BINARY')"

const RewriteCase kEqualityCases[] = {
    {"SELECT NAME FROM USER_SOURCE WHERE " BIN("TYPE") " IN (" BIN("'PACKAGE'") "," BIN(
         "'PROCEDURE'") ") ORDER BY LINE",
     "SELECT NAME FROM USER_SOURCE WHERE TYPE COLLATE BINARY IN ('PACKAGE','PROCEDURE') ORDER BY "
     "LINE"},
    {"SELECT NAME FROM DBA_SOURCE WHERE " BIN("OWNER") " = " BIN(":1") " AND " BIN(
         "s.NAME") " <> " BIN(":name") " AND (" BIN("TYPE") " != " BIN("NAME") ")",
     "SELECT NAME FROM DBA_SOURCE WHERE OWNER COLLATE BINARY = :1 AND s.NAME COLLATE BINARY <> "
     ":name AND (TYPE COLLATE BINARY <> NAME)"},
    {"SELECT 1 FROM DUAL WHERE NOT " BIN("DUMMY") " NOT IN (" BIN("'Y'") ")",
     "SELECT 1 FROM DUAL WHERE NOT DUMMY COLLATE BINARY NOT IN ('Y')"},
    // An order, a value that is more than a literal, a bind or a column, another sort, or an
    // operator binding more tightly beside the comparison keep the NLSSORTs.
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " < " BIN(":1"), nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " = " BIN("UPPER(:1)"), nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " = " BIN("LINE"), nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " = NLSSORT(:1,'NLS_SORT=GERMAN')", nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " IN (" BIN("'A'") ",'B')", nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " = " BIN(":1") " || 'x'", nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE 'x' || " BIN("NAME") " = " BIN(":1"), nullptr},
    {"SELECT 1 FROM USER_SOURCE WHERE " BIN("NAME") " = " BIN(": 1"), nullptr},
};

#undef BIN

TEST(OciLiteBinaryOrder, OnlyEqualityOfTwoBinaryNlsSortsOfPlainValuesIsRewritten)
{
    for (const RewriteCase& test : kEqualityCases) {
        EXPECT_EQ(test.rewritten ? std::string(test.rewritten) : std::string(test.sql),
                  BinaryEqualityRewrite::Apply(test.sql))
            << test.sql;
    }
}

// The engine's query over a database laid out as oci-lite's, with the index the bench's
// database has, through session views made as a binary or a linguistic session makes them.
class OciLiteBinaryOrderPlan : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SQLITE_OK, sqlite3_open(":memory:", &m_db));
        // Any order will do: the plan, not the rows, is under test.
        ASSERT_EQ(SQLITE_OK, sqlite3_create_collation(m_db, "NLS_LINGUISTIC", SQLITE_UTF8, nullptr,
                                                      &CompareBytes));
        ASSERT_EQ(SQLITE_OK, sqlite3_create_function(m_db, "NLSSORT", 2, SQLITE_UTF8, nullptr,
                                                     &BytesOf, nullptr, nullptr));
        std::string collate = GetParam() ? " COLLATE NLS_LINGUISTIC" : "";
        Exec("CREATE TABLE source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,"
             " line INTEGER NOT NULL, text TEXT)");
        Exec("CREATE INDEX source_key ON source(owner, name, type, line)");
        Exec("CREATE VIEW hidden_source(OWNER, NAME, TYPE, LINE, TEXT) AS SELECT owner" + collate +
             ", name" + collate + ", type" + collate + ", line, text" + collate + " FROM source");
        Exec("CREATE VIEW USER_SOURCE(NAME, TYPE, LINE, TEXT) AS SELECT NAME, TYPE, LINE, TEXT "
             "FROM hidden_source WHERE OWNER COLLATE BINARY = 'SCOTT'");
        Exec("CREATE VIEW DBA_SOURCE(OWNER, NAME, TYPE, LINE, TEXT) AS SELECT OWNER, NAME, TYPE, "
             "LINE, TEXT FROM hidden_source");
    }
    void TearDown() override { sqlite3_close(m_db); }

    static int CompareBytes(void*, int leftBytes, const void* left, int rightBytes,
                            const void* right)
    {
        return std::string(static_cast<const char*>(left), leftBytes)
            .compare(std::string(static_cast<const char*>(right), rightBytes));
    }

    // A stand-in for NLSSORT(x, 'NLS_SORT=BINARY'): x's bytes as a blob.
    static void BytesOf(sqlite3_context* context, int, sqlite3_value** argv)
    {
        sqlite3_result_blob(context, sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0]),
                            SQLITE_TRANSIENT);
    }

    void Exec(const std::string& sql)
    {
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr)) << sql;
    }

    // The details of the query's plan, one per line.
    std::string Plan(const std::string& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        std::string explain = "EXPLAIN QUERY PLAN " + sql;
        EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(m_db, explain.c_str(), -1, &stmt, nullptr))
            << sqlite3_errmsg(m_db);
        std::string plan;
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
            plan += '\n';
        }
        sqlite3_finalize(stmt);
        return plan;
    }

    sqlite3* m_db = nullptr;
};

const char kEngineQuery[] =
    "SELECT NAME,TYPE,TEXT FROM USER_SOURCE WHERE TYPE IN ('PACKAGE','PACKAGE BODY') "
    "ORDER BY NLSSORT(NAME,'NLS_SORT=BINARY'),NLSSORT(TYPE,'NLS_SORT=BINARY'),LINE";

TEST_P(OciLiteBinaryOrderPlan, EngineQueryReadsTheIndexInsteadOfSorting)
{
    // As written, SQLite must sort: the plan shows the temporary B-tree this test looks for.
    ASSERT_NE(std::string::npos, Plan(kEngineQuery).find("TEMP B-TREE"));
    std::string plan = Plan(BinaryOrderRewrite::Apply(kEngineQuery));
    EXPECT_EQ(std::string::npos, plan.find("TEMP B-TREE")) << plan;
    EXPECT_NE(std::string::npos, plan.find("source_key")) << plan;
}

// An owner's rows compared by their bytes are found through the index, not by reading them all.
TEST_P(OciLiteBinaryOrderPlan, AnOwnersRowsComparedByTheirBytesComeFromTheIndex)
{
    const char kOwnerQuery[] = "SELECT NAME,TYPE,TEXT FROM DBA_SOURCE WHERE NLSSORT(OWNER,"
                               "'NLS_SORT=BINARY') = NLSSORT(:1,'NLS_SORT=BINARY')";
    ASSERT_EQ(std::string::npos, Plan(kOwnerQuery).find("owner=?"));
    std::string plan = Plan(BinaryEqualityRewrite::Apply(kOwnerQuery));
    EXPECT_NE(std::string::npos, plan.find("source_key (owner=?)")) << plan;
}

INSTANTIATE_TEST_SUITE_P(BinaryAndLinguisticViews, OciLiteBinaryOrderPlan, ::testing::Bool());

}  // namespace
