// Limits through oci-lite: counts and lengths at the edge of their types never wrap, and a
// statement that runs past its time budget is cancelled with ORA-01013.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSystem.h"
#include "tests/oci-lite/LoggedOnSession.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// 93 rows without reading a table: 1, 2, ... 93.
const char kNinetyThreeRows[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 93) SELECT n FROM r";

// Never finishes: counts an endless sequence.
const char kEndlessCount[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT COUNT(*) FROM r";

// Delivers its first row at once, then searches an endless sequence for a second.
const char kEndlessAfterTheFirstRow[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
    "SELECT n FROM r WHERE n = 1 OR n < 0";

class OciLiteLimits : public LoggedOnSession {
protected:
    void TearDown() override { api.SetQueryTimeout(0); }
};

TEST_F(OciLiteLimits, AnyPrefetchCountDeliversEveryRow)
{
    const ub4 counts[] = {0, 1, 92, 93, 94, 0x7fffffffu, 0xfffffffeu, 0xffffffffu};
    Rows expected;
    for (int n = 1; n <= 93; ++n)
        expected.push_back({std::to_string(n)});
    for (ub4 prefetch : counts) {
        sword status = OCI_SUCCESS;
        EXPECT_EQ(expected, session.Query(kNinetyThreeRows, {}, 1, &status, prefetch, true))
            << "prefetch " << prefetch;
        EXPECT_EQ(OCI_NO_DATA, status) << "prefetch " << prefetch;
    }
}

TEST_F(OciLiteLimits, HugePrefetchWithAnArrayExecuteStillEndsWithTheRows)
{
    OCIStmt* stmt = session.Prepare(kNinetyThreeRows);
    ub4 prefetch = 0xffffffffu;
    ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch,
                                       OCI_ATTR_PREFETCH_ROWS, session.err));
    int numbers[50] = {};
    OCIDefine* define = nullptr;
    ASSERT_EQ(OCI_SUCCESS,
              api.DefineByPos(stmt, &define, session.err, 1, numbers, sizeof numbers[0], SQLT_INT,
                              nullptr, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.StmtExecute(session.svc, stmt, session.err, 50, 0, nullptr, nullptr,
                                           OCI_DEFAULT));
    EXPECT_EQ(1, numbers[0]);
    EXPECT_EQ(50, numbers[49]);
    // 43 rows remain for a fetch of 50: they arrive, and the end is reported.
    EXPECT_EQ(OCI_NO_DATA, api.StmtFetch(stmt, session.err, 50, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(51, numbers[0]);
    EXPECT_EQ(93, numbers[42]);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

// A value against a define: what the 16-bit length can and cannot tell.
struct LengthCase {
    const char* name;
    int bytes;         // length of the value, all '0' characters
    ub2 type;          // SQLT_CHR or SQLT_STR
    bool lengthGiven;  // an rlenp argument is passed
    sword status;      // of the execute that delivers the row
    ub2 length;        // what rlenp receives
    ub2 returnCode;    // what rcodep receives
    sb2 indicator;     // what indp receives
    int delivered;     // '0' bytes found at the start of the buffer
};

const LengthCase kLengthCases[] = {
    {"chr 70000 with length", 70000, SQLT_CHR, true, OCI_SUCCESS_WITH_INFO, 65535, 1406, -2, 65535},
    {"str 70000 with length", 70000, SQLT_STR, true, OCI_SUCCESS_WITH_INFO, 65535, 1406, -2, 65535},
    {"chr 65536 with length", 65536, SQLT_CHR, true, OCI_SUCCESS_WITH_INFO, 65535, 1406, -2, 65535},
    {"chr 65535 with length", 65535, SQLT_CHR, true, OCI_SUCCESS, 65535, 0, 0, 65535},
    {"str 65535 with length", 65535, SQLT_STR, true, OCI_SUCCESS, 65535, 0, 0, 65535},
    {"chr 70000 without length", 70000, SQLT_CHR, false, OCI_SUCCESS, 0, 0, 0, 70000},
};

TEST_F(OciLiteLimits, ValueLongerThanA16BitLengthIsReportedAsTruncated)
{
    for (const LengthCase& test : kLengthCases) {
        // hex() of a zero blob of n bytes is 2n '0' characters.
        std::string sql =
            "SELECT substr(hex(zeroblob(40000)), 1, " + std::to_string(test.bytes) + ")";
        OCIStmt* stmt = session.Prepare(sql);
        std::vector<char> buffer(80000, 'x');
        sb2 indicator = 99;
        ub2 length = 0;
        ub2 returnCode = 99;
        OCIDefine* define = nullptr;
        ASSERT_EQ(OCI_SUCCESS,
                  api.DefineByPos(stmt, &define, session.err, 1, buffer.data(),
                                  static_cast<sb4>(buffer.size()), test.type, &indicator,
                                  test.lengthGiven ? &length : nullptr, &returnCode, OCI_DEFAULT))
            << test.name;
        EXPECT_EQ(test.status, api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr,
                                               nullptr, OCI_DEFAULT))
            << test.name;
        if (test.status == OCI_SUCCESS_WITH_INFO) {
            OraRecord record = session.LastError();
            EXPECT_EQ(24345, record.code) << test.name;
            EXPECT_EQ("ORA-24345: A Truncation or null fetch error occurred\n", record.text)
                << test.name;
        }
        EXPECT_EQ(test.length, length) << test.name;
        EXPECT_EQ(test.returnCode, returnCode) << test.name;
        EXPECT_EQ(test.indicator, indicator) << test.name;
        int zeros = 0;
        while (zeros < static_cast<int>(buffer.size()) && buffer[zeros] == '0')
            ++zeros;
        EXPECT_EQ(test.delivered, zeros) << test.name;
        if (test.type == SQLT_STR) {
            EXPECT_EQ('\0', buffer[zeros]) << test.name;
        }
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
}

TEST_F(OciLiteLimits, EndlessQueryIsCancelledWhenItsBudgetIsSpent)
{
    api.SetQueryTimeout(300);
    unsigned long start = testsys::NowMs();
    sword status = OCI_SUCCESS;
    Rows rows = session.Query(kEndlessCount, {}, 1, &status);
    unsigned long elapsed = testsys::NowMs() - start;
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_TRUE(rows.empty());
    OraRecord record = session.LastError();
    EXPECT_EQ(1013, record.code);
    EXPECT_EQ("ORA-01013: user requested cancel of current operation\n", record.text);
    EXPECT_GE(elapsed, 300u - 16u);
    EXPECT_LT(elapsed, 20000u);
    // The connection is still good for the next statement.
    EXPECT_EQ((Rows{{"6"}}), session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1));
}

TEST_F(OciLiteLimits, FetchThatRunsAwayIsCancelledAfterTheRowsItHad)
{
    api.SetQueryTimeout(300);
    OCIStmt* stmt = session.Prepare(kEndlessAfterTheFirstRow);
    ub4 prefetch = 0;
    api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS,
                session.err);
    int number = 0;
    OCIDefine* define = nullptr;
    api.DefineByPos(stmt, &define, session.err, 1, &number, sizeof number, SQLT_INT, nullptr,
                    nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(1, number);
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(1013, session.LastError().code);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OciLiteLimits, BudgetEndsTheWaitForTheServersWorkToo)
{
    api.SetQueryTimeout(300);
    api.SetServerWork(30000000);
    unsigned long start = testsys::NowMs();
    sword status = OCI_SUCCESS;
    session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1, &status);
    unsigned long elapsed = testsys::NowMs() - start;
    api.SetServerWork(0);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(1013, session.LastError().code);
    EXPECT_GE(elapsed, 300u - 16u);
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(OciLiteLimits, BudgetOfZeroMeansNoLimitForOrdinaryQueries)
{
    api.SetQueryTimeout(0);
    sword status = OCI_SUCCESS;
    Rows rows = session.Query(kNinetyThreeRows, {}, 1, &status, 10, true);
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ(93u, rows.size());
}

// The variable is read at the first OCIInitialize, so this runs in a child process of its own.
TEST(OciLiteLimitsEnvironment, VariableSetsTheBudget)
{
    if (testsys::HasVariable("OCI_LITE_QUERY_TIMEOUT_MS")) {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        sword status = OCI_SUCCESS;
        session.Query(kEndlessCount, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status);
        EXPECT_EQ(1013, session.LastError().code);
        return;
    }
    testsys::SetVariable("OCI_LITE_QUERY_TIMEOUT_MS", "200");
    const int exitCode = testsys::RunSelf("OciLiteLimitsEnvironment.VariableSetsTheBudget", 60000);
    testsys::SetVariable("OCI_LITE_QUERY_TIMEOUT_MS", nullptr);
    EXPECT_EQ(0, exitCode);
}

}  // namespace
