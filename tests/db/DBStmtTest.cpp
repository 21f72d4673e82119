// DBStmtTest.cpp: DBStmt against oci-lite: rows, binds, defines, the end of a result, the
// truncation warning, prefetch, and failures that must never pass for rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "tests/db/OciLiteFixture.h"

using namespace DbTest;

namespace {

const char kListing[] = "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
                        "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  ORDER BY OBJECT_NAME ";
const char kOneObject[] =
    "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
    "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  AND OBJECT_NAME = :1  ORDER BY "
    "OBJECT_NAME ";
const char kCount[] = "SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ";
const char kText[] =
    "SELECT TEXT,LENGTH(TEXT) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ORDER BY LINE ";

using Pairs = std::vector<std::pair<std::string, std::string>>;

class DBStmtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FixtureDatabase::Ensure();
        m_connection.Connect(kUser, kPassword, kDatabase);
    }

    // Fetches (name, type) pairs until the end of the result, as the worker and picker do.
    Pairs FetchPairs(DBStmt& stmt, char* pszName, char* pszType)
    {
        Pairs pairs;
        for (int nGuard = 0; nGuard < 1000; ++nGuard) {
            try {
                stmt.Fetch();
            } catch (const DBStmt::OtherException&) {
                EXPECT_EQ(stmt.GetErrorCode(), 1403) << stmt.GetErrorText();
                m_connection.ResetErrorHandle();
                return pairs;
            }
            pairs.emplace_back(pszName, pszType);
        }
        ADD_FAILURE() << "the fetch loop never ended";
        return pairs;
    }

    DBConnect m_connection;
};

// The listing of the fixture's SCOTT, in the order of the query (ties in any order).
Pairs SortedWithinNames(Pairs pairs)
{
    std::stable_sort(pairs.begin(), pairs.end());
    return pairs;
}

const Pairs kExpectedListing = {{"AAA_LONG_NAME_PKG", "PACKAGE"},
                                {"FN_C", "FUNCTION"},
                                {"PKG_A", "PACKAGE"},
                                {"PKG_A", "PACKAGE BODY"},
                                {"PROC_B", "PROCEDURE"}};

}  // namespace

TEST_F(DBStmtTest, ListingDeliversEveryRowThenEnds)
{
    DBStmt stmt(m_connection, kListing);
    char szName[100];
    char szType[100];
    stmt.DefineString(1, szName, sizeof szName);
    stmt.DefineString(2, szType, sizeof szType);
    EXPECT_EQ(stmt.GetErrorCode(), 0);
    Pairs pairs = FetchPairs(stmt, szName, szType);
    EXPECT_EQ(SortedWithinNames(pairs), kExpectedListing);
}

TEST_F(DBStmtTest, QueryWithoutRowsEndsAtTheFirstFetch)
{
    DBStmt stmt(m_connection, kOneObject);
    char szName[100] = "untouched";
    char szType[100] = "untouched";
    stmt.DefineString(1, szName, sizeof szName);
    stmt.DefineString(2, szType, sizeof szType);
    stmt.BindString(1, "NO_SUCH_OBJECT", 14);
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
    EXPECT_STREQ(stmt.GetErrorText(), "ORA-01403: no data found\n");
    EXPECT_STREQ(szName, "untouched");
}

TEST_F(DBStmtTest, QueryWithOneRowFillsTheBuffersThenEnds)
{
    DBStmt stmt(m_connection, kOneObject);
    char szName[100] = "";
    char szType[100] = "";
    stmt.DefineString(1, szName, sizeof szName);
    stmt.DefineString(2, szType, sizeof szType);
    const char szWanted[] = "PROC_B";
    stmt.BindString(1, szWanted, static_cast<int>(std::strlen(szWanted)));
    ASSERT_NO_THROW(stmt.Fetch());
    EXPECT_STREQ(szName, "PROC_B");
    EXPECT_STREQ(szType, "PROCEDURE");
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
}

TEST_F(DBStmtTest, CountQueryRunsWithExecuteAloneAndTwoBindsMatchTheirPlaceholders)
{
    // PKG_A has three lines as PACKAGE and two as PACKAGE BODY: swapped binds would give 0.
    int nLines = -1;
    {
        DBStmt stmt(m_connection, kCount);
        stmt.BindString(1, "PKG_A", 5);
        stmt.BindString(2, "PACKAGE BODY", 12);
        stmt.DefineInt(1, &nLines);
        ASSERT_NO_THROW(stmt.Execute());
    }
    EXPECT_EQ(nLines, 2);
    {
        DBStmt stmt(m_connection, kCount);
        stmt.BindString(1, "PKG_A", 5);
        stmt.BindString(2, "PACKAGE", 7);
        stmt.DefineInt(1, &nLines);
        ASSERT_NO_THROW(stmt.Execute());
    }
    EXPECT_EQ(nLines, 3);
}

TEST_F(DBStmtTest, SourceLinesArriveWithoutTerminatorAndWithTheirLength)
{
    DBStmt stmt(m_connection, kText);
    char szText[5000];
    int nLength = 0;
    ub2 nDelivered = 0;
    stmt.BindString(1, "PKG_A", 5);
    stmt.BindString(2, "PACKAGE", 7);
    stmt.DefineChars(1, szText, sizeof szText, &nDelivered);
    stmt.DefineInt(2, &nLength);
    const char* const expected[] = {"package PKG_A is\n", "  procedure p;\n", "end;"};
    for (const char* pszExpected : expected) {
        std::memset(szText, 'x', sizeof szText);
        ASSERT_NO_THROW(stmt.Fetch());
        EXPECT_EQ(nLength, static_cast<int>(std::strlen(pszExpected)));
        EXPECT_EQ(nDelivered, std::strlen(pszExpected));
        EXPECT_EQ(std::string(szText, nDelivered), pszExpected);
        EXPECT_EQ(szText[nDelivered], 'x') << "SQLT_CHR values carry no terminator";
    }
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
}

TEST_F(DBStmtTest, DefineStringReportsTheDeliveredLengthWhenAsked)
{
    DBStmt stmt(m_connection, kOneObject);
    char szName[100];
    char szType[100];
    ub2 nNameLength = 0;
    stmt.DefineString(1, szName, sizeof szName, &nNameLength);
    stmt.DefineString(2, szType, sizeof szType);
    stmt.BindString(1, "FN_C", 4);
    ASSERT_NO_THROW(stmt.Fetch());
    EXPECT_STREQ(szName, "FN_C");
    EXPECT_GE(nNameLength, 4);
    EXPECT_LE(nNameLength, 5);
}

TEST_F(DBStmtTest, TruncationWarningPassesAndLaterRowsAreJudgedByTheirOwnRecords)
{
    // An 8-byte buffer: the first name (17 characters) is cut, the later ones fit.
    DBStmt stmt(m_connection, kListing);
    char szName[8];
    char szType[100];
    ub2 nDelivered = 0;
    stmt.DefineString(1, szName, sizeof szName, &nDelivered);
    stmt.DefineString(2, szType, sizeof szType);

    TraceCapture trace;
    ASSERT_NO_THROW(stmt.Fetch());
    EXPECT_STREQ(szName, "AAA_LON");
    EXPECT_EQ(nDelivered, 7);
    EXPECT_EQ(stmt.GetErrorCode(), 24345);
    std::vector<std::string> first = trace.Stop();
    EXPECT_EQ(LinesOf(first, "OCIHandleFree").size(), 1u) << "the warning resets the handle";
    EXPECT_EQ(LinesOf(first, "OCIHandleAlloc").size(), 1u);

    // The following rows fit: they return normally, and with no record of their own they
    // neither fail nor reset the error handle again.
    const char* const rest[] = {"FN_C", "PKG_A", "PKG_A", "PROC_B"};
    for (const char* pszExpected : rest) {
        TraceCapture next;
        ASSERT_NO_THROW(stmt.Fetch()) << stmt.GetErrorText();
        EXPECT_STREQ(szName, pszExpected);
        EXPECT_EQ(stmt.GetErrorCode(), 0);
        std::vector<std::string> lines = next.Stop();
        EXPECT_TRUE(LinesOf(lines, "OCIHandleFree").empty());
    }
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
}

// A caller that goes on fetching after a failed row (the object picker does) gets the rows
// after it: the failure's number does not stick to the statement.
TEST_F(DBStmtTest, RowsAfterAFailedRowAreDeliveredNormally)
{
    DBStmt stmt(
        m_connection,
        "SELECT OBJECT_NAME,CASE WHEN OBJECT_NAME = 'FN_C' THEN NULL ELSE OBJECT_TYPE END "
        "FROM USER_OBJECTS WHERE OBJECT_TYPE in ('PACKAGE','FUNCTION') ORDER BY OBJECT_NAME ");
    char szName[100];
    char szType[100];
    stmt.DefineString(1, szName, sizeof szName);
    stmt.DefineString(2, szType, sizeof szType);

    ASSERT_NO_THROW(stmt.Fetch());
    EXPECT_STREQ(szName, "AAA_LONG_NAME_PKG");
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1405);
    m_connection.ResetErrorHandle();
    ASSERT_NO_THROW(stmt.Fetch()) << stmt.GetErrorText();
    EXPECT_STREQ(szName, "PKG_A");
    EXPECT_STREQ(szType, "PACKAGE");
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
}

TEST_F(DBStmtTest, PrefetchDeliversTheSameRowsInFewerRoundTrips)
{
    char szName[100];
    char szType[100];
    OciLite::ResetCounters();
    Pairs plain;
    {
        DBStmt stmt(m_connection, kListing);
        stmt.DefineString(1, szName, sizeof szName);
        stmt.DefineString(2, szType, sizeof szType);
        plain = FetchPairs(stmt, szName, szType);
    }
    const unsigned nPlainTrips = OciLite::RoundTrips();
    OciLite::ResetCounters();
    Pairs prefetched;
    {
        DBStmt stmt(m_connection, kListing);
        stmt.SetPrefetchRows(100);
        stmt.DefineString(1, szName, sizeof szName);
        stmt.DefineString(2, szType, sizeof szType);
        prefetched = FetchPairs(stmt, szName, szType);
    }
    const unsigned nPrefetchTrips = OciLite::RoundTrips();
    EXPECT_EQ(prefetched, plain);
    EXPECT_EQ(SortedWithinNames(prefetched), kExpectedListing);
    EXPECT_LT(nPrefetchTrips, nPlainTrips);
}

TEST_F(DBStmtTest, AfterTheEndAResetLetsTheNextStatementRun)
{
    {
        DBStmt stmt(m_connection, kOneObject);
        char szName[100];
        char szType[100];
        stmt.DefineString(1, szName, sizeof szName);
        stmt.DefineString(2, szType, sizeof szType);
        stmt.BindString(1, "NOPE", 4);
        EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    }
    m_connection.ResetErrorHandle();
    int nLines = -1;
    DBStmt count(m_connection, kCount);
    count.BindString(1, "PROC_B", 6);
    count.BindString(2, "PROCEDURE", 9);
    count.DefineInt(1, &nLines);
    ASSERT_NO_THROW(count.Execute());
    EXPECT_EQ(nLines, 1);
}

TEST_F(DBStmtTest, WithoutTheResetTheNextStatementSeesTheOldEnd)
{
    // The statements share the connection's error handle, which is why callers reset it.
    {
        DBStmt stmt(m_connection, kOneObject);
        char szName[100];
        char szType[100];
        stmt.DefineString(1, szName, sizeof szName);
        stmt.DefineString(2, szType, sizeof szType);
        stmt.BindString(1, "NOPE", 4);
        EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    }
    DBStmt count(m_connection, kCount);
    EXPECT_THROW(count.BindString(1, "PROC_B", 6), DBStmt::OtherException);
    EXPECT_EQ(count.GetErrorCode(), 1403);
}

TEST_F(DBStmtTest, RejectedTextIsReportedByTheFirstFetch)
{
    DBStmt stmt(m_connection, "SELECT NO_SUCH_COLUMN FROM USER_OBJECTS ");
    EXPECT_EQ(stmt.GetErrorCode(), 0) << "construction reads no record";
    char szName[100];
    bool bThrown = false;
    try {
        stmt.DefineString(1, szName, sizeof szName);
        stmt.Fetch();
    } catch (const DBStmt::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_NE(stmt.GetErrorCode(), 0);
    EXPECT_NE(stmt.GetErrorCode(), 1403);
    EXPECT_EQ(std::string(stmt.GetErrorText()).rfind("ORA-", 0), 0u) << stmt.GetErrorText();
}

TEST_F(DBStmtTest, AStatementMayOutliveItsConnectionObject)
{
    const int nBefore = OciLite::LiveHandles();
    auto connection = std::make_unique<DBConnect>();
    connection->Connect(kUser, kPassword, kDatabase);
    auto stmt = std::make_unique<DBStmt>(*connection, kListing);
    char szName[100];
    char szType[100];
    stmt->DefineString(1, szName, sizeof szName);
    stmt->DefineString(2, szType, sizeof szType);
    ASSERT_NO_THROW(stmt->Fetch());
    connection->Disconnect();
    connection.reset();
    // Left: the environment the statement keeps, the statement handle and its two defines;
    // the connection's own handles are gone with the connection.
    EXPECT_EQ(OciLite::LiveHandles(), nBefore + 4);
    stmt.reset();
    EXPECT_EQ(OciLite::LiveHandles(), nBefore);
}

TEST_F(DBStmtTest, AFailedLogonReleasesItsHandlesEvenWhileAStatementKeepsTheEnvironment)
{
    const int nBefore = OciLite::LiveHandles();
    auto connection = std::make_unique<DBConnect>();
    EXPECT_THROW(connection->Connect(kUser, "wrong", kDatabase), DBConnect::OtherException);
    auto stmt = std::make_unique<DBStmt>(*connection, kListing);
    connection.reset();
    EXPECT_EQ(OciLite::LiveHandles(), nBefore + 2) << "only the environment and the statement";
    stmt.reset();
    EXPECT_EQ(OciLite::LiveHandles(), nBefore);
}

TEST_F(DBStmtTest, StatementOnALoggedOffConnectionFailsPlainly)
{
    DBConnect connection;
    connection.Connect(kUser, kPassword, kDatabase);
    connection.Disconnect();
    DBStmt stmt(connection, kListing);
    char szName[100];
    EXPECT_THROW(stmt.DefineString(1, szName, sizeof szName), DBStmt::OtherException);
    EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), -1);
    EXPECT_STREQ(stmt.GetErrorText(), "The connection is not logged on");
}

TEST_F(DBStmtTest, EveryInjectedFailureEndsInAnExceptionOrInTheCleanResult)
{
    // One clean run counts the calls that can fail; then each of them fails once in turn. A run
    // either throws or ends with exactly the clean run's result: never a wrong result passed
    // off as success, never a crash, never a leaked handle.
    m_connection.Disconnect();
    auto run = [](Pairs* pPairs, int* pnLines) {
        DBConnect connection;
        connection.Connect(kUser, kPassword, kDatabase);
        {
            DBStmt stmt(connection, kListing);
            char szName[100];
            char szType[100];
            stmt.DefineString(1, szName, sizeof szName);
            stmt.DefineString(2, szType, sizeof szType);
            for (;;) {
                try {
                    stmt.Fetch();
                } catch (const DBStmt::OtherException&) {
                    if (stmt.GetErrorCode() != 1403)
                        throw;
                    break;
                }
                pPairs->emplace_back(szName, szType);
            }
        }
        connection.ResetErrorHandle();
        DBStmt count(connection, kCount);
        count.BindString(1, "PKG_A", 5);
        count.BindString(2, "PACKAGE", 7);
        count.DefineInt(1, pnLines);
        count.Execute();
        connection.Disconnect();
    };

    const int nBefore = OciLite::LiveHandles();
    Pairs cleanPairs;
    int nCleanLines = 0;
    OciLite::ResetCounters();
    run(&cleanPairs, &nCleanLines);
    const unsigned nCalls = OciLite::CallCount();
    ASSERT_GT(nCalls, 10u);
    ASSERT_EQ(SortedWithinNames(cleanPairs), kExpectedListing);
    ASSERT_EQ(nCleanLines, 3);

    unsigned nThrown = 0;
    for (unsigned nFailAt = 1; nFailAt <= nCalls; ++nFailAt) {
        OciLite::ResetCounters();
        OciLite::SetFailAt(nFailAt);
        Pairs pairs;
        int nLines = 0;
        bool bThrown = false;
        try {
            run(&pairs, &nLines);
        } catch (const DBConnect::OtherException&) {
            bThrown = true;
        } catch (const DBStmt::OtherException&) {
            bThrown = true;
        }
        OciLite::SetFailAt(0);
        nThrown += bThrown ? 1 : 0;
        if (!bThrown) {
            EXPECT_EQ(pairs, cleanPairs) << "failing call " << nFailAt;
            EXPECT_EQ(nLines, nCleanLines) << "failing call " << nFailAt;
        }
        EXPECT_EQ(OciLite::LiveHandles(), nBefore) << "failing call " << nFailAt;
    }
    // Only the logoff calls may fail unnoticed; every other failure must surface.
    EXPECT_GE(nThrown, nCalls - 2);
}

// Arrays of 1, 2, 3 and 8 rows give the listing's 5 rows in the same order: full arrays, then
// the last part with the end, then 0 (and 0 again), the error handle clean for the next
// statement; each call fills elements 0, 1, ... of every defined array.
TEST_F(DBStmtTest, FetchRowsFillsArraysAndCountsTheLastPart)
{
    for (ub4 nArray : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(nArray);
        std::vector<char> names(nArray * 64);
        std::vector<char> types(nArray * 32);
        std::vector<ub2> nameLengths(nArray);
        std::vector<ub2> typeLengths(nArray);
        DBStmt stmt(m_connection, kListing);
        stmt.DefineChars(1, names.data(), 64, nameLengths.data());
        stmt.DefineChars(2, types.data(), 32, typeLengths.data());
        Pairs pairs;
        std::vector<ub4> counts;
        for (int nGuard = 0; nGuard < 20; ++nGuard) {
            const ub4 nRows = stmt.FetchRows(nArray);
            counts.push_back(nRows);
            if (nRows == 0)
                break;
            for (ub4 i = 0; i < nRows; ++i)
                pairs.emplace_back(std::string(&names[i * 64], nameLengths[i]),
                                   std::string(&types[i * 32], typeLengths[i]));
        }
        EXPECT_EQ(stmt.FetchRows(nArray), 0u);
        EXPECT_EQ(SortedWithinNames(pairs), kExpectedListing);
        std::vector<ub4> expected(5 / nArray, nArray);
        if (5 % nArray != 0)
            expected.push_back(5 % nArray);
        expected.push_back(0);
        EXPECT_EQ(counts, expected);
        EXPECT_EQ(m_connection.GetErrorCode(), 0);
    }
}

// Each failure carries its reason in the exception it raises, captured at the call that
// failed: the number and the text the client gave, the same the statement or connection then
// tells, and still the same after the error handle moved on (reset, or another failure).
TEST_F(DBStmtTest, EachFailureCarriesTheReasonOfTheCallThatFailed)
{
    struct FailureCase {
        const char* pszTitle;
        std::function<void()> call;
        int nCode;
        const char* pszTextStart;
    };
    char szName[100];
    DBStmt missing(m_connection, "SELECT X FROM NO_SUCH_TABLE");
    missing.DefineString(1, szName, sizeof szName);
    DBStmt empty(m_connection, "SELECT OBJECT_NAME FROM USER_OBJECTS WHERE 1 = 0");
    empty.DefineString(1, szName, sizeof szName);
    const FailureCase kCases[] = {
        {"a table that is not there", [&] { missing.Fetch(); }, 942, "ORA-00942"},
        {"the end of the rows", [&] { empty.Fetch(); }, 1403, "ORA-01403"},
    };
    for (const FailureCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        try {
            c.call();
            ADD_FAILURE() << "no failure";
        } catch (const DBStmt::OtherException& failure) {
            EXPECT_EQ(failure.Code(), c.nCode);
            EXPECT_EQ(std::string(failure.Text()).rfind(c.pszTextStart, 0), 0u) << failure.Text();
            const std::string strText = failure.Text();
            m_connection.ResetErrorHandle();
            EXPECT_EQ(failure.Code(), c.nCode);
            EXPECT_EQ(strText, failure.Text());
        }
    }
    // The first statement still tells its own reason after the second failed.
    EXPECT_EQ(missing.GetErrorCode(), 942);
    EXPECT_EQ(std::string(missing.GetErrorText()).rfind("ORA-00942", 0), 0u);

    DBConnect refused;
    try {
        refused.Connect(kUser, "wrong", kDatabase);
        ADD_FAILURE() << "the logon passed";
    } catch (const DBConnect::OtherException& failure) {
        EXPECT_EQ(failure.Code(), 1017);
        EXPECT_EQ(std::string(failure.Text()).rfind("ORA-01017", 0), 0u) << failure.Text();
        EXPECT_STREQ(failure.Text(), refused.GetErrorText());
        refused.ResetErrorHandle();
        EXPECT_EQ(refused.GetErrorCode(), 1017);
    }
}
