// Round trips through oci-lite: OCI_ATTR_PREFETCH_ROWS and OCI_ATTR_PREFETCH_MEMORY decide how
// many rows each trip carries, and every execute and every fetch that goes to the server
// counts, exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/oci-lite/LoggedOnSession.h"

namespace {

// 20 rows of 10 bytes each: 0000000001 ... 0000000020.
const char kTwentyRowsOfTenBytes[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 20) "
    "SELECT printf('%010d', n) FROM r";

// 20 rows of 1, 2, ... 20 bytes: x, xx, xxx, ...
const char kTwentyGrowingRows[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 20) "
    "SELECT substr('xxxxxxxxxxxxxxxxxxxx', 1, n) FROM r";

// The same rows, read no wider than their 10 bytes: SUBSTRB(x,1,10) is described as 10 bytes.
const char kTwentyRowsReadNarrow[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 20) "
    "SELECT SUBSTRB(printf('%010d', n),1,10) FROM r";

struct TripCase {
    const char* sql;
    ub4 prefetchRows;
    ub4 prefetchMemory;  // 0: not set (the default, no limit)
    ub4 arraySize;       // rows asked for by the execute and by each fetch
    unsigned trips;      // from the execute to OCI_NO_DATA
};

// A row weighs its columns' defined maximum sizes, not its bytes: an expression's column counts
// as the longest VARCHAR2, 4,000 bytes, whatever it holds.
const TripCase kTripCases[] = {
    // No prefetch: one trip per row, and one more to learn that none is left.
    {kTwentyRowsOfTenBytes, 0, 0, 1, 21},
    // The client's default of one prefetched row: two rows per trip.
    {kTwentyRowsOfTenBytes, 1, 0, 1, 11},
    {kTwentyRowsOfTenBytes, 10, 0, 1, 2},
    {kTwentyRowsOfTenBytes, 100, 0, 5, 1},
    {kTwentyRowsOfTenBytes, 3, 0, 4, 5},
    // 14,000 bytes hold three rows of 4,000: seven trips, the last one finding the end.
    {kTwentyRowsOfTenBytes, 10, 14000, 1, 7},
    // 35 bytes would hold three rows by their bytes, but not one by its defined size.
    {kTwentyRowsOfTenBytes, 10, 35, 1, 20},
    // The memory limit splits an array fetch into several trips.
    {kTwentyRowsOfTenBytes, 0, 10000, 5, 13},
    {kTwentyRowsOfTenBytes, 100, 18000, 7, 5},
    // Rows of 1 to 20 bytes weigh the same.
    {kTwentyGrowingRows, 100, 12000, 1, 7},
    {kTwentyGrowingRows, 100, 0, 1, 1},
    {kTwentyGrowingRows, 0, 0, 3, 7},
    {kTwentyGrowingRows, 5, 8000, 2, 10},
    // Three rows of 10 bytes a trip, the last trip finding the end with rows 19 and 20.
    {kTwentyRowsReadNarrow, 10, 35, 1, 7},
    {kTwentyRowsReadNarrow, 100, 200, 1, 1},
};

using OciLiteRoundTrips = LoggedOnSession;

TEST_F(OciLiteRoundTrips, PrefetchRowsAndMemoryDecideTheTripsOfAQuery)
{
    for (const TripCase& test : kTripCases) {
        std::string label = std::string(test.sql == kTwentyGrowingRows ? "growing" : "fixed") +
                            " rows " + std::to_string(test.prefetchRows) + " memory " +
                            std::to_string(test.prefetchMemory) + " array " +
                            std::to_string(test.arraySize);
        OCIStmt* stmt = session.Prepare(test.sql);
        ASSERT_EQ(OCI_SUCCESS,
                  api.AttrSet(stmt, OCI_HTYPE_STMT, const_cast<ub4*>(&test.prefetchRows),
                              sizeof(ub4), OCI_ATTR_PREFETCH_ROWS, session.err));
        if (test.prefetchMemory != 0) {
            ASSERT_EQ(OCI_SUCCESS,
                      api.AttrSet(stmt, OCI_HTYPE_STMT, const_cast<ub4*>(&test.prefetchMemory),
                                  sizeof(ub4), OCI_ATTR_PREFETCH_MEMORY, session.err));
        }
        std::vector<char> values(test.arraySize * 32);
        std::vector<ub2> lengths(test.arraySize);
        OCIDefine* define = nullptr;
        ASSERT_EQ(OCI_SUCCESS,
                  api.DefineByPos(stmt, &define, session.err, 1, values.data(), 32, SQLT_CHR,
                                  nullptr, lengths.data(), nullptr, OCI_DEFAULT));
        unsigned before = api.RoundTrips();
        std::vector<std::string> rows;
        sword status = api.StmtExecute(session.svc, stmt, session.err, test.arraySize, 0, nullptr,
                                       nullptr, OCI_DEFAULT);
        for (;;) {
            // The rows a call delivered are the elements whose length it set.
            for (ub4 i = 0; i < test.arraySize && lengths[i] != 0; ++i) {
                rows.emplace_back(&values[i * 32], lengths[i]);
                lengths[i] = 0;
            }
            if (status != OCI_SUCCESS)
                break;
            status = api.StmtFetch(stmt, session.err, test.arraySize, OCI_FETCH_NEXT, OCI_DEFAULT);
        }
        EXPECT_EQ(OCI_NO_DATA, status) << label;
        EXPECT_EQ(test.trips, api.RoundTrips() - before) << label;
        ASSERT_EQ(20u, rows.size()) << label;
        EXPECT_EQ(test.sql == kTwentyGrowingRows ? "xxxxxxxxxxxxxxxxxxxx" : "0000000020", rows[19])
            << label;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
}

// Without a memory limit, rows prefetched beyond those asked for stop at 16 MiB of defined row
// sizes per trip: an expression's rows weigh 4,000 bytes each, so 10,000 rows take two trips,
// the first carrying the 1,000 asked for and the 4,195 that reach 16 MiB, the second the rest
// and the end (by their own 100 bytes they would all fit in the first).
TEST_F(OciLiteRoundTrips, PrefetchWithoutMemoryLimitStopsAtSixteenMebibytesOfRowSizes)
{
    const ub4 prefetchRows = 1000000;
    const ub4 arraySize = 1000;
    const size_t width = 100;
    OCIStmt* stmt = session.Prepare(
        "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 10000) "
        "SELECT printf('%0100d', n) FROM r");
    ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, const_cast<ub4*>(&prefetchRows),
                                       sizeof(ub4), OCI_ATTR_PREFETCH_ROWS, session.err));
    std::vector<char> values(arraySize * width);
    OCIDefine* define = nullptr;
    ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(stmt, &define, session.err, 1, values.data(), width,
                                           SQLT_CHR, nullptr, nullptr, nullptr, OCI_DEFAULT));
    unsigned before = api.RoundTrips();
    sword status = api.StmtExecute(session.svc, stmt, session.err, arraySize, 0, nullptr, nullptr,
                                   OCI_DEFAULT);
    unsigned afterExecute = api.RoundTrips();
    ub4 fetches = 0;
    std::string last;
    while (status == OCI_SUCCESS) {
        last.assign(&values[(arraySize - 1) * width], width);
        status = api.StmtFetch(stmt, session.err, arraySize, OCI_FETCH_NEXT, OCI_DEFAULT);
        ++fetches;
    }
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ(1u, afterExecute - before);
    EXPECT_EQ(2u, api.RoundTrips() - before);
    EXPECT_EQ(10u, fetches);  // 9 fetches of 1,000 rows, then the one that finds the end
    EXPECT_EQ(std::string(95, '0') + "10000", last);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OciLiteRoundTrips, PrefetchSettingsReadBackAsSet)
{
    OCIStmt* stmt = session.Prepare(kTwentyRowsOfTenBytes);
    ub4 rows = 0;
    ub4 memory = 99;
    ub4 size = 0;
    EXPECT_EQ(OCI_SUCCESS,
              api.AttrGet(stmt, OCI_HTYPE_STMT, &rows, &size, OCI_ATTR_PREFETCH_ROWS, session.err));
    EXPECT_EQ(1u, rows);  // the client's default
    EXPECT_EQ(sizeof(ub4), size);
    EXPECT_EQ(OCI_SUCCESS, api.AttrGet(stmt, OCI_HTYPE_STMT, &memory, &size,
                                       OCI_ATTR_PREFETCH_MEMORY, session.err));
    EXPECT_EQ(0u, memory);  // no memory limit
    ub4 setRows = 50;
    ub4 setMemory = 4096;
    api.AttrSet(stmt, OCI_HTYPE_STMT, &setRows, sizeof setRows, OCI_ATTR_PREFETCH_ROWS,
                session.err);
    api.AttrSet(stmt, OCI_HTYPE_STMT, &setMemory, sizeof setMemory, OCI_ATTR_PREFETCH_MEMORY,
                session.err);
    api.AttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_PREFETCH_ROWS, session.err);
    api.AttrGet(stmt, OCI_HTYPE_STMT, &memory, nullptr, OCI_ATTR_PREFETCH_MEMORY, session.err);
    EXPECT_EQ(50u, rows);
    EXPECT_EQ(4096u, memory);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OciLiteRoundTrips, ExecuteOfAStatementWithoutRowsAndAFailedParseCountOneTripEach)
{
    unsigned before = api.RoundTrips();
    EXPECT_EQ((std::vector<std::vector<std::string>>{}),
              session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE 1 = 0", {}, 1));
    EXPECT_EQ(1u, api.RoundTrips() - before);
    before = api.RoundTrips();
    sword status = OCI_SUCCESS;
    session.Query("SELECT nosuch FROM USER_OBJECTS", {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(1u, api.RoundTrips() - before);
}

}  // namespace
