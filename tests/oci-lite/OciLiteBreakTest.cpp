// Time and interruption through oci-lite: the server's simulated work per execute and fetch,
// OCIBreak from another thread ending it (ORA-01013 after one more round trip), and OCIBreak's
// safety with nothing running and with handles freed under it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Never finishes on its own: counts an endless sequence.
const char kEndlessCount[] =
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT COUNT(*) FROM r";

class OciLiteBreak : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    }
    void TearDown() override
    {
        SetServerWork(0);
        api.SetRoundTripDelay(0);
        api.SetQueryTimeout(0);
    }

    // Runs call on another thread, breaks it through target once its round trip has begun, and
    // returns the call's status; *elapsedMs receives the time from the break to the return.
    template <class Call>
    sword BreakWhileRunning(void* target, Call call, unsigned long* elapsedMs)
    {
        unsigned tripsBefore = api.RoundTrips();
        std::atomic<bool> done{false};
        std::atomic<unsigned long> returnedAt{0};
        sword status = OCI_SUCCESS;
        std::thread worker([&] {
            status = call();
            returnedAt.store(testsys::NowMs());
            done.store(true);
        });
        while (api.RoundTrips() == tripsBefore && !done.load())
            std::this_thread::yield();
        unsigned long breakAt = testsys::NowMs();
        breakStatus = Break(target, session.err);
        worker.join();
        *elapsedMs = returnedAt.load() - breakAt;
        return status;
    }

    OciSession session;  // OCI_OBJECT: not threaded, and OCIBreak is still allowed in
    const OciApi& api = session.api;
    const BreakFn Break = api.Break;
    const OciLiteSetServerWorkFn SetServerWork = api.SetServerWork;
    sword breakStatus = OCI_ERROR;
};

TEST_F(OciLiteBreak, ServerWorkIsSpentInEachExecuteAndFetchTrip)
{
    SetServerWork(100000);
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY 1");
    ub4 prefetch = 0;
    api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS,
                session.err);
    char name[64];
    OCIDefine* define = nullptr;
    api.DefineByPos(stmt, &define, session.err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
                    nullptr, OCI_DEFAULT);
    unsigned long start = testsys::NowMs();
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    unsigned long elapsed = testsys::NowMs() - start;
    EXPECT_GE(elapsed, 2 * 100u - 16u);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

struct BreakCase {
    const char* name;
    bool throughServer;  // OCIBreak on the server handle instead of the service context
    bool duringFetch;    // the fetch's trip is broken, not the execute's
};

const BreakCase kBreakCases[] = {
    {"execute, service context", false, false},
    {"execute, server", true, false},
    {"fetch, service context", false, true},
    {"fetch, server", true, true},
};

TEST_F(OciLiteBreak, BreakEndsTheServerWorkWith1013AndTheConnectionGoesOn)
{
    for (const BreakCase& test : kBreakCases) {
        OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY 1");
        ub4 prefetch = 0;
        api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS,
                    session.err);
        char name[64] = "";
        OCIDefine* define = nullptr;
        api.DefineByPos(stmt, &define, session.err, 1, name, sizeof name, SQLT_STR, nullptr,
                        nullptr, nullptr, OCI_DEFAULT);
        if (test.duringFetch) {
            ASSERT_EQ(OCI_SUCCESS, api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr,
                                                   nullptr, OCI_DEFAULT))
                << test.name;
        }
        SetServerWork(30000000);  // 30 s: only a break ends it in time
        unsigned long elapsed = 0;
        sword status = BreakWhileRunning(
            test.throughServer ? static_cast<void*>(session.srv) : session.svc,
            [&] {
                return test.duringFetch
                           ? api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT)
                           : api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr,
                                             OCI_DEFAULT);
            },
            &elapsed);
        SetServerWork(0);
        EXPECT_EQ(OCI_SUCCESS, breakStatus) << test.name;
        EXPECT_EQ(OCI_ERROR, status) << test.name;
        OraRecord record = session.LastError();
        EXPECT_EQ(1013, record.code) << test.name;
        EXPECT_EQ("ORA-01013: user requested cancel of current operation\n", record.text)
            << test.name;
        EXPECT_LT(elapsed, 5000u) << test.name;
        // The cancelled cursor is done; the connection serves the next statement.
        EXPECT_EQ(OCI_ERROR, api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT))
            << test.name;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
        EXPECT_EQ((Rows{{"6"}}), session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1))
            << test.name;
    }
}

TEST_F(OciLiteBreak, BreakStopsALongStatementInsideSqlite)
{
    api.SetQueryTimeout(60000);  // only a safety net: the break must come long before
    unsigned long elapsed = 0;
    sword status = OCI_SUCCESS;
    Rows rows;
    status = BreakWhileRunning(
        session.svc,
        [&] {
            sword queryStatus = OCI_SUCCESS;
            rows = session.Query(kEndlessCount, {}, 1, &queryStatus);
            return queryStatus;
        },
        &elapsed);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(1013, session.LastError().code);
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(OciLiteBreak, BrokenCallAnswersAfterOneMoreRoundTrip)
{
    api.SetRoundTripDelay(150000);
    SetServerWork(30000000);
    OCIStmt* stmt = session.Prepare("SELECT COUNT(1) FROM USER_OBJECTS");
    int count = 0;
    OCIDefine* define = nullptr;
    api.DefineByPos(stmt, &define, session.err, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr,
                    nullptr, OCI_DEFAULT);
    unsigned before = api.RoundTrips();
    unsigned long elapsed = 0;
    sword status = BreakWhileRunning(
        session.svc,
        [&] {
            return api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr,
                                   OCI_DEFAULT);
        },
        &elapsed);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(1013, session.LastError().code);
    EXPECT_EQ(2u, api.RoundTrips() - before);  // the execute's and the break's
    EXPECT_GE(elapsed, 150u - 16u);
    EXPECT_LT(elapsed, 5000u);
    api.HandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OciLiteBreak, BreakWithNothingRunningHasNoEffect)
{
    EXPECT_EQ(OCI_SUCCESS, Break(session.svc, session.err));
    EXPECT_EQ(OCI_SUCCESS, Break(session.srv, nullptr));
    EXPECT_EQ((Rows{{"6"}}), session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1));
}

TEST_F(OciLiteBreak, BreakOnAnythingButALiveConnectionIsAnInvalidHandle)
{
    OCISvcCtx* unattached = nullptr;
    api.HandleAlloc(session.env, reinterpret_cast<void**>(&unattached), OCI_HTYPE_SVCCTX, 0,
                    nullptr);
    EXPECT_EQ(OCI_INVALID_HANDLE, Break(unattached, session.err));  // names no server
    EXPECT_EQ(OCI_INVALID_HANDLE, Break(session.err, session.err));
    EXPECT_EQ(OCI_INVALID_HANDLE, Break(nullptr, session.err));
    EXPECT_EQ(OCI_INVALID_HANDLE, Break(session.svc, reinterpret_cast<OCIError*>(session.svc)));
    api.HandleFree(unattached, OCI_HTYPE_SVCCTX);
    EXPECT_EQ(OCI_INVALID_HANDLE, Break(unattached, session.err));  // freed
}

TEST_F(OciLiteBreak, BreakingHandlesWhileAnotherThreadFreesThemNeverCrashes)
{
    std::atomic<void*> target{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::atomic<int> breaks{0};
    std::thread breaker([&] {
        while (!stop.load()) {
            sword status = Break(target.load(), nullptr);
            if (status != OCI_SUCCESS && status != OCI_INVALID_HANDLE)
                ++unexpected;
            ++breaks;
        }
    });
    // Both sides keep going until each has done its share, however the threads are scheduled.
    for (int i = 0; i < 300 || breaks.load() < 300; ++i) {
        OCIServer* server = nullptr;
        OCISvcCtx* svc = nullptr;
        api.HandleAlloc(session.env, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 0,
                        nullptr);
        api.HandleAlloc(session.env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
        api.AttrSet(svc, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, session.err);
        target.store(i % 2 ? static_cast<void*>(svc) : static_cast<void*>(server));
        api.HandleFree(i % 3 ? static_cast<void*>(server) : static_cast<void*>(svc),
                       i % 3 ? OCI_HTYPE_SERVER : OCI_HTYPE_SVCCTX);
        api.HandleFree(i % 3 ? static_cast<void*>(svc) : static_cast<void*>(server),
                       i % 3 ? OCI_HTYPE_SVCCTX : OCI_HTYPE_SERVER);
    }
    stop.store(true);
    breaker.join();
    EXPECT_EQ(0, unexpected.load());
}

}  // namespace
