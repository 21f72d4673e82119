// Two connections on two threads are independent, the shared counters stay exact, and one
// service context used from two threads at once serves both, one call at a time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Logs on as user and lists the objects `rounds` times; counts every wrong answer.
void ListRepeatedly(const std::string& user, const std::string& password, const Rows& expected,
                    int rounds, std::atomic<int>* wrong)
{
    OciSession session;
    if (session.Logon(user, password, "fixture") != OCI_SUCCESS) {
        ++*wrong;
        return;
    }
    for (int i = 0; i < rounds; ++i) {
        sword status;
        Rows rows = session.Query(
            "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS ORDER BY OBJECT_NAME,OBJECT_TYPE", {},
            2, &status, 0, true);
        if (status != OCI_NO_DATA || rows != expected)
            ++*wrong;
    }
}

TEST(OciLiteThreads, TwoConnectionsOnTwoThreadsAreIndependent)
{
    const OciApi& api = OciApi::Get();
    const Rows scott = {{"EMP_API", "PACKAGE"}, {"EMP_API", "PACKAGE BODY"},
                        {"EMP_TRG", "TRIGGER"}, {"GET_SAL", "FUNCTION"},
                        {"HR_UTIL", "PACKAGE"}, {"RAISE_SAL", "PROCEDURE"}};
    const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
    const int rounds = 40;
    int handlesBefore = api.LiveHandles();
    unsigned tripsBefore = api.RoundTrips();
    std::atomic<int> wrong{0};
    std::thread first(ListRepeatedly, "SCOTT", "TIGER", scott, rounds, &wrong);
    std::thread second(ListRepeatedly, "BLAKE", "Paper", blake, rounds, &wrong);
    first.join();
    second.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(handlesBefore, api.LiveHandles());
    // Per thread: attach, begin, end, and per round one execute plus one fetch per row and one
    // for the end (prefetch 0).
    unsigned expectedTrips = 2 * 3 + rounds * (1 + 6) + rounds * (1 + 1);
    EXPECT_EQ(expectedTrips, api.RoundTrips() - tripsBefore);
}

TEST(OciLiteThreads, TraceLinesOfTwoThreadsStayWhole)
{
    const OciApi& api = OciApi::Get();
    std::string path = FixtureHome() + "/trace-threads.txt";
    std::remove(path.c_str());
    ASSERT_EQ(1, api.SetTraceFile(path.c_str()));
    std::atomic<int> wrong{0};
    const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
    std::thread a(ListRepeatedly, "BLAKE", "Paper", blake, 20, &wrong);
    std::thread b(ListRepeatedly, "BLAKE", "Paper", blake, 20, &wrong);
    a.join();
    b.join();
    api.SetTraceFile(nullptr);
    EXPECT_EQ(0, wrong.load());
    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        // Each line is one call: it starts with an entry point and holds one result.
        ASSERT_EQ(0u, line.find("OCI")) << line;
        size_t arrow = line.find(" -> ");
        ASSERT_NE(std::string::npos, arrow) << line;
        ASSERT_EQ(std::string::npos, line.find(" -> ", arrow + 1)) << line;
        std::string result = line.substr(arrow + 4);
        ASSERT_FALSE(result.empty()) << line;
        ASSERT_EQ(std::string::npos, result.find_first_not_of("-0123456789")) << line;
    }
    EXPECT_GT(lines, 2 * 20 * 8);
}

TEST(OciLiteThreads, DelayOnOneConnectionDoesNotHoldTheOther)
{
    // With a 50 ms round trip, two threads doing the same work take about as long as one.
    const OciApi& api = OciApi::Get();
    api.SetRoundTripDelay(50000);
    std::atomic<int> wrong{0};
    const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
    unsigned long start = testsys::NowMs();
    ListRepeatedly("BLAKE", "Paper", blake, 3, &wrong);
    unsigned long single = testsys::NowMs() - start;
    start = testsys::NowMs();
    std::thread a(ListRepeatedly, "BLAKE", "Paper", blake, 3, &wrong);
    std::thread b(ListRepeatedly, "BLAKE", "Paper", blake, 3, &wrong);
    a.join();
    b.join();
    unsigned long both = testsys::NowMs() - start;
    api.SetRoundTripDelay(0);
    EXPECT_EQ(0, wrong.load());
    EXPECT_GE(single, 9u * 50u - 16u);  // 3 + 3 x 2 round trips
    EXPECT_LT(both, single * 2 - 60);
}

// Lists SCOTT's objects `rounds` times on a service context that another thread uses at the
// same time; the statement and error handle are this thread's own. Counts every wrong answer.
void ListOnSharedContext(const OciSession* session, int rounds, std::atomic<int>* wrong)
{
    const OciApi& api = session->api;
    const Rows expected = {{"EMP_API", "PACKAGE"}, {"EMP_API", "PACKAGE BODY"},
                           {"EMP_TRG", "TRIGGER"}, {"GET_SAL", "FUNCTION"},
                           {"HR_UTIL", "PACKAGE"}, {"RAISE_SAL", "PROCEDURE"}};
    const std::string sql =
        "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS ORDER BY OBJECT_NAME,OBJECT_TYPE";
    OCIError* err = nullptr;
    api.HandleAlloc(session->env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    for (int i = 0; i < rounds; ++i) {
        OCIStmt* stmt = nullptr;
        api.HandleAlloc(session->env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        api.StmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()),
                        static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
        ub4 prefetch = static_cast<ub4>(i % 3);  // vary the round trips
        api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS, err);
        char name[64] = "";
        char type[64] = "";
        OCIDefine* define = nullptr;
        api.DefineByPos(stmt, &define, err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
                        nullptr, OCI_DEFAULT);
        api.DefineByPos(stmt, &define, err, 2, type, sizeof type, SQLT_STR, nullptr, nullptr,
                        nullptr, OCI_DEFAULT);
        Rows rows;
        sword status =
            api.StmtExecute(session->svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        while (status == OCI_SUCCESS) {
            rows.push_back({name, type});
            status = api.StmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        }
        if (status != OCI_NO_DATA || rows != expected)
            ++*wrong;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
    api.HandleFree(err, OCI_HTYPE_ERROR);
}

TEST(OciLiteThreads, OneServiceContextOnTwoThreadsOfAThreadedEnvironment)
{
    OciSession session(OCI_THREADED);
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    const int rounds = 150;
    std::atomic<int> wrong{0};
    std::thread first(ListOnSharedContext, &session, rounds, &wrong);
    std::thread second(ListOnSharedContext, &session, rounds, &wrong);
    ListOnSharedContext(&session, rounds / 3, &wrong);
    first.join();
    second.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(OCI_SUCCESS, session.Logoff());
}

TEST(OciLiteThreads, LogoffWhileAnotherThreadQueriesEndsItsCallsCleanly)
{
    // One thread keeps querying while the owner logs off: its calls succeed until the logoff and
    // fail with an Oracle error after it, never with a crash.
    OciSession session(OCI_THREADED);
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    std::atomic<bool> stop{false};
    std::atomic<int> succeeded{0};
    std::atomic<int> unexpected{0};
    std::thread worker([&] {
        const OciApi& api = session.api;
        OCIError* err = nullptr;
        api.HandleAlloc(session.env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        const std::string sql = "SELECT COUNT(*) FROM USER_SOURCE";
        while (!stop.load()) {
            OCIStmt* stmt = nullptr;
            api.HandleAlloc(session.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0,
                            nullptr);
            api.StmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()),
                            static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
            int count = 0;
            OCIDefine* define = nullptr;
            api.DefineByPos(stmt, &define, err, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr,
                            nullptr, OCI_DEFAULT);
            sword status =
                api.StmtExecute(session.svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
            if (status == OCI_SUCCESS && count == 11) {
                ++succeeded;
            } else if (status == OCI_ERROR) {
                sb4 code = 0;
                api.ErrorGet(err, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR);
                if (code != 1012 && code != 3114)
                    ++unexpected;
            } else {
                ++unexpected;
            }
            api.HandleFree(stmt, OCI_HTYPE_STMT);
        }
        api.HandleFree(err, OCI_HTYPE_ERROR);
    });
    for (int waited = 0; succeeded.load() < 20 && unexpected.load() == 0 && waited < 10000;
         ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(succeeded.load(), 20);
    EXPECT_EQ(OCI_SUCCESS, session.Logoff());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.store(true);
    worker.join();
    EXPECT_EQ(0, unexpected.load());
}

// How an environment was made and whether a second thread may enter it during a call.
struct EnvironmentCase {
    const char* name;
    EnvOptions options;
    bool refusesSecondThread;
};

const EnvironmentCase kEnvironments[] = {
    {"OCIInitialize(OCI_OBJECT)", {false, OCI_OBJECT, 0}, true},
    {"OCIInitialize(OCI_DEFAULT)", {false, OCI_DEFAULT, 0}, true},
    {"OCIInitialize(OCI_THREADED)", {false, OCI_THREADED, 0}, false},
    {"OCIInitialize(OCI_THREADED | OCI_OBJECT)", {false, OCI_THREADED | OCI_OBJECT, 0}, false},
    {"OCIEnvNlsCreate(OCI_DEFAULT)", {true, OCI_DEFAULT, 873}, true},
    {"OCIEnvNlsCreate(OCI_THREADED)", {true, OCI_THREADED, 873}, false},
};

TEST(OciLiteThreads, NonThreadedEnvironmentRefusesASecondThreadDuringACall)
{
    const OciApi& api = OciApi::Get();
    for (const EnvironmentCase& test : kEnvironments) {
        OciSession session(test.options);
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << test.name;
        OCIError* otherErr = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.HandleAlloc(session.env, reinterpret_cast<void**>(&otherErr),
                                               OCI_HTYPE_ERROR, 0, nullptr));
        // The owner's execute spends 200 ms in its round trip; the other thread calls once the trip
        // has begun (and not before, so that its own call cannot be in the owner's way).
        OCIStmt* stmt = session.Prepare("SELECT COUNT(1) FROM USER_OBJECTS");
        int count = 0;
        OCIDefine* define = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(stmt, &define, session.err, 1, &count, sizeof count,
                                               SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT));
        api.SetRoundTripDelay(200000);
        unsigned tripsBefore = api.RoundTrips();
        sword ownerStatus = OCI_ERROR;
        std::thread owner([&] {
            ownerStatus = api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr,
                                          OCI_DEFAULT);
        });
        while (api.RoundTrips() == tripsBefore)
            std::this_thread::yield();
        ub2 id = 0;
        sword otherStatus =
            api.AttrGet(session.env, OCI_HTYPE_ENV, &id, nullptr, kAttrEnvCharsetId, otherErr);
        owner.join();
        api.SetRoundTripDelay(0);
        EXPECT_EQ(OCI_SUCCESS, ownerStatus) << test.name;
        EXPECT_EQ(6, count) << test.name;
        OraRecord refusal;
        char text[256] = "";
        refusal.status =
            api.ErrorGet(otherErr, 1, nullptr, &refusal.code, reinterpret_cast<OraText*>(text),
                         sizeof text, OCI_HTYPE_ERROR);
        refusal.text = text;
        if (test.refusesSecondThread) {
            EXPECT_EQ(OCI_ERROR, otherStatus) << test.name;
            EXPECT_EQ(600, refusal.code) << test.name;
            EXPECT_EQ("ORA-00600: internal error code, arguments: [two threads in a non-threaded "
                      "environment]\n",
                      refusal.text)
                << test.name;
        } else {
            EXPECT_EQ(OCI_SUCCESS, otherStatus) << test.name;
            EXPECT_EQ(OCI_NO_DATA, refusal.status) << test.name;
        }
        // Once the owner is out, the other thread is served again.
        EXPECT_EQ(OCI_SUCCESS, api.AttrGet(session.env, OCI_HTYPE_ENV, &id, nullptr,
                                           kAttrEnvCharsetId, otherErr))
            << test.name;
    }
}

TEST(OciLiteThreads, NonThreadedEnvironmentServesThreadsOneAfterAnother)
{
    // Taking turns is allowed; only being inside at the same time is not.
    OciSession session(EnvOptions{false, OCI_OBJECT, 0});
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    Rows first;
    std::thread([&] { first = session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1); }).join();
    Rows second;
    std::thread([&] { second = session.Query("SELECT COUNT(1) FROM USER_SOURCE", {}, 1); }).join();
    EXPECT_EQ((Rows{{"6"}}), first);
    EXPECT_EQ((Rows{{"11"}}), second);
}

}  // namespace
