// Views through oci-lite: USER_VIEWS and DBA_VIEWS with their text as a LONG and its first
// 4,000 bytes as TEXT_VC, their columns in USER_TAB_COLUMNS and DBA_TAB_COLUMNS, the DBA_
// views' privilege, and the client's rules for a LONG: no prefetch, one row a round trip, and
// ORA-01406 (not a warning) for a LONG cut short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/oci-lite/LoggedOnSession.h"

namespace {

class OciLiteViews : public LoggedOnSession {
protected:
    OciLiteViews() : LoggedOnSession("VIEWER", "Tiger", "views") {}
};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(OciLiteViews, UserViewsShowTheOwnViewsWithLengthTextVcAndFlags)
{
    sword status = OCI_SUCCESS;
    Rows rows = session.Query("SELECT VIEW_NAME, TEXT_LENGTH, LENGTHB(TEXT_VC), EDITIONING_VIEW, "
                              "BEQUEATH, TYPE_TEXT, VIEW_TYPE FROM USER_VIEWS ORDER BY VIEW_NAME",
                              {}, 7, &status);
    EXPECT_EQ(OCI_NO_DATA, status);
    const Rows expected = {
        {"EMP_OV", "28", "28", "N", "DEFINER", "OF EMP_T WITH OBJECT IDENTIFIER", "<null>"},
        {"EMP_V", "28", "28", "Y", "CURRENT_USER", "<null>", "<null>"},
        {"LONG_V", "5001", "4000", "N", "DEFINER", "<null>", "<null>"},
    };
    EXPECT_EQ(expected, rows);
    // TEXT_VC is the text's beginning.
    rows = session.Query("SELECT TEXT_VC FROM USER_VIEWS WHERE VIEW_NAME = 'EMP_V'", {}, 1);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("SELECT empno, ename\nFROM emp", rows[0][0]);
}

TEST_F(OciLiteViews, TabColumnsGiveEachViewsColumnsByColumnId)
{
    Rows rows = session.Query(
        "SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_COLUMNS ORDER BY TABLE_NAME, COLUMN_ID", {},
        2);
    const Rows expected = {{"EMP_V", "EMPNO"}, {"EMP_V", "Name"}, {"LONG_V", "X"}};
    EXPECT_EQ(expected, rows);
}

// The DBA_ views follow DBA_SOURCE: only a session that may read the dictionary has them.
TEST_F(OciLiteViews, DbaViewsNeedTheDictionaryPrivilege)
{
    for (const char* sql :
         {"SELECT VIEW_NAME FROM DBA_VIEWS", "SELECT OWNER FROM DBA_TAB_COLUMNS"}) {
        sword status = OCI_SUCCESS;
        session.Query(sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << sql;
        EXPECT_EQ(942, session.LastError().code) << sql;
    }
    OciSession reader;
    ASSERT_EQ(OCI_SUCCESS, reader.Logon("READER", "Tiger", "views"));
    Rows rows = reader.Query("SELECT OWNER, VIEW_NAME, TEXT_LENGTH FROM DBA_VIEWS WHERE OWNER = "
                             ":1 ORDER BY VIEW_NAME",
                             {"KING"}, 3);
    EXPECT_EQ((Rows{{"KING", "CROWN_V", "22"}}), rows);
    rows = reader.Query("SELECT COLUMN_NAME FROM DBA_TAB_COLUMNS WHERE OWNER = 'KING'", {}, 1);
    EXPECT_EQ((Rows{{"ONE"}}), rows);
}

// A file made without the tables views and view_columns has no views, yet the dictionary views
// are there, empty.
TEST_F(OciLiteViews, AFileWithoutViewTablesHasNoViews)
{
    OciSession scott;
    ASSERT_EQ(OCI_SUCCESS, scott.Logon("SCOTT", "TIGER", "fixture"));
    for (const char* sql : {"SELECT VIEW_NAME FROM USER_VIEWS", "SELECT TEXT FROM USER_VIEWS",
                            "SELECT COLUMN_NAME FROM USER_TAB_COLUMNS"}) {
        sword status = OCI_SUCCESS;
        EXPECT_TRUE(scott.Query(sql, {}, 1, &status).empty()) << sql;
        EXPECT_EQ(OCI_NO_DATA, status) << sql;
    }
}

struct LongTripCase {
    const char* sql;
    ub4 arraySize;
    unsigned trips;  // from the execute to OCI_NO_DATA
};

// With 1,000 rows of prefetch asked for, a query of TEXT (alone, aliased, or beside other
// columns) still takes a trip per row, and one more to learn the end; TEXT_VC is prefetched.
TEST_F(OciLiteViews, ALongColumnTurnsPrefetchOffAndTakesATripPerRow)
{
    const LongTripCase cases[] = {
        {"SELECT TEXT FROM USER_VIEWS", 1, 4},
        {"SELECT VIEW_NAME, TEXT AS T FROM USER_VIEWS", 1, 4},
        {"SELECT TEXT FROM USER_VIEWS", 3, 4},
        {"SELECT v.TEXT FROM (SELECT TEXT FROM USER_VIEWS) v", 1, 4},
        {"SELECT TEXT_VC FROM USER_VIEWS", 1, 1},
        {"SELECT TEXT_VC FROM USER_VIEWS", 3, 1},
    };
    for (const LongTripCase& test : cases) {
        OCIStmt* stmt = session.Prepare(test.sql);
        const ub4 prefetch = 1000;
        ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, const_cast<ub4*>(&prefetch),
                                           sizeof prefetch, OCI_ATTR_PREFETCH_ROWS, session.err));
        const sb4 size = 8000;
        std::vector<char> values(test.arraySize * size);
        std::vector<sb2> indicators(test.arraySize);
        OCIDefine* define = nullptr;
        const ub4 position = std::string(test.sql).find("VIEW_NAME") != std::string::npos ? 2 : 1;
        ASSERT_EQ(OCI_SUCCESS,
                  api.DefineByPos(stmt, &define, session.err, position, values.data(), size,
                                  SQLT_STR, indicators.data(), nullptr, nullptr, OCI_DEFAULT));
        const unsigned before = api.RoundTrips();
        sword status = api.StmtExecute(session.svc, stmt, session.err, test.arraySize, 0, nullptr,
                                       nullptr, OCI_DEFAULT);
        while (status == OCI_SUCCESS)
            status = api.StmtFetch(stmt, session.err, test.arraySize, OCI_FETCH_NEXT, OCI_DEFAULT);
        EXPECT_EQ(OCI_NO_DATA, status) << test.sql;
        EXPECT_EQ(test.trips, api.RoundTrips() - before) << test.sql << " array " << test.arraySize;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
}

// A LONG longer than its define is cut and the fetch fails with ORA-01406; the same text as
// TEXT_VC is the usual warning (ORA-24345). A buffer as large as the text reads it whole.
TEST_F(OciLiteViews, ALongCutShortIsAnErrorAndAWholeBufferReadsIt)
{
    struct Case {
        const char* column;
        sb4 size;
        sword status;
        sb4 code;
        size_t delivered;
    };
    const Case cases[] = {
        {"TEXT", 4001, OCI_ERROR, 1406, 4000},
        {"TEXT", 5002, OCI_SUCCESS, 0, 5001},
        {"TEXT_VC", 1001, OCI_SUCCESS_WITH_INFO, 24345, 1000},
    };
    for (const Case& test : cases) {
        const std::string sql =
            std::string("SELECT ") + test.column + " FROM USER_VIEWS WHERE VIEW_NAME = 'LONG_V'";
        OCIStmt* stmt = session.Prepare(sql);
        std::vector<char> value(static_cast<size_t>(test.size));
        sb2 indicator = 0;
        OCIDefine* define = nullptr;
        ASSERT_EQ(OCI_SUCCESS,
                  api.DefineByPos(stmt, &define, session.err, 1, value.data(), test.size, SQLT_STR,
                                  &indicator, nullptr, nullptr, OCI_DEFAULT));
        const sword status =
            api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        EXPECT_EQ(test.status, status) << sql;
        if (test.code != 0) {
            EXPECT_EQ(test.code, session.LastError().code) << sql;
        }
        EXPECT_EQ(test.delivered, std::string(value.data()).size()) << sql;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
}

}  // namespace
