// oci-lite's test aids and its behaviour at the edges: prefetch and round trips, the live
// handle count, the call trace, fault injection, OCIErrorGet's record rules and invalid handles.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char kAllObjects[] = "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS";

// Runs kAllObjects with a prefetch count and returns the rows and the round trips it took.
Rows RunWithPrefetch(OciSession& session, ub4 prefetch, bool setIt, unsigned* roundTrips)
{
    unsigned before = session.api.RoundTrips();
    sword status;
    Rows rows = session.Query(kAllObjects, {}, 2, &status, prefetch, setIt);
    EXPECT_EQ(OCI_NO_DATA, status);
    *roundTrips = session.api.RoundTrips() - before;
    return rows;
}

TEST(OciLitePrefetch, SameRowsWithFewerRoundTrips)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    unsigned none = 0, byDefault = 0, ten = 0;
    Rows unprefetched = RunWithPrefetch(session, 0, true, &none);
    Rows defaulted = RunWithPrefetch(session, 0, false, &byDefault);
    Rows prefetched = RunWithPrefetch(session, 10, true, &ten);
    ASSERT_EQ(6u, unprefetched.size());
    EXPECT_EQ(unprefetched, defaulted);
    EXPECT_EQ(unprefetched, prefetched);
    EXPECT_EQ(7u, none);       // the execute, five fetches and the one that finds the end
    EXPECT_EQ(4u, byDefault);  // one row ahead: rows 1-2, 3-4, 5-6, then the end
    EXPECT_EQ(1u, ten);        // everything and the end came with the execute
}

TEST(OciLitePrefetch, LogonAndLogoffEachCostOneRoundTrip)
{
    const OciApi& api = OciApi::Get();
    unsigned before = api.RoundTrips();
    {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        EXPECT_EQ(2u, api.RoundTrips() - before);  // attach and session begin
        session.Logoff();
        EXPECT_EQ(3u, api.RoundTrips() - before);  // and session end
    }
    OciSession failing;
    failing.Logon("SCOTT", "TIGER", "nosuchdb");  // the name never resolves: no server contact
    EXPECT_EQ(3u, api.RoundTrips() - before);
}

TEST(OciLitePrefetch, EachRoundTripWaitsTheConfiguredDelay)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    session.api.SetRoundTripDelay(20000);
    unsigned long start = testsys::NowMs();
    unsigned trips = 0;
    RunWithPrefetch(session, 0, true, &trips);
    unsigned long elapsed = testsys::NowMs() - start;
    session.api.SetRoundTripDelay(0);
    EXPECT_EQ(7u, trips);
    EXPECT_GE(elapsed, 7u * 20u - 16u);  // tick resolution
}

TEST(OciLiteHandles, LiveCountReturnsToItsStartAfterFreeing)
{
    const OciApi& api = OciApi::Get();
    int start = api.LiveHandles();
    {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        EXPECT_EQ(start + 5, api.LiveHandles());  // env, error, server, service context, session
        OCIStmt* stmt = session.Prepare(kAllObjects);
        char a[100], b[100];
        OCIDefine* d1 = nullptr;
        OCIDefine* d2 = nullptr;
        api.DefineByPos(stmt, &d1, session.err, 1, a, sizeof a, SQLT_STR, nullptr, nullptr, nullptr,
                        OCI_DEFAULT);
        api.DefineByPos(stmt, &d2, session.err, 2, b, sizeof b, SQLT_STR, nullptr, nullptr, nullptr,
                        OCI_DEFAULT);
        EXPECT_EQ(start + 8, api.LiveHandles());
        EXPECT_EQ(OCI_SUCCESS, api.HandleFree(stmt, OCI_HTYPE_STMT));  // defines go with it
        EXPECT_EQ(start + 5, api.LiveHandles());
        session.Logoff();
        EXPECT_EQ(OCI_SUCCESS, api.HandleFree(session.srv, OCI_HTYPE_SERVER));
        EXPECT_EQ(OCI_SUCCESS, api.HandleFree(session.svc, OCI_HTYPE_SVCCTX));
        EXPECT_EQ(OCI_SUCCESS, api.HandleFree(session.err, OCI_HTYPE_ERROR));
        EXPECT_EQ(OCI_SUCCESS, api.HandleFree(session.ses, OCI_HTYPE_SESSION));
        EXPECT_EQ(start + 1, api.LiveHandles());
    }
    EXPECT_EQ(start, api.LiveHandles());
}

TEST(OciLiteHandles, StatementFreedAfterItsServerIsSafe)
{
    const OciApi& api = OciApi::Get();
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    OCIStmt* stmt = session.Prepare(kAllObjects);
    char name[100];
    OCIDefine* define = nullptr;
    api.DefineByPos(stmt, &define, session.err, 1, name, sizeof name, SQLT_STR, nullptr, nullptr,
                    nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    session.Logoff();
    api.HandleFree(session.srv, OCI_HTYPE_SERVER);
    EXPECT_EQ(OCI_SUCCESS,
              api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));  // prefetched
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(3114, session.LastError().code);
    EXPECT_EQ(OCI_SUCCESS, api.HandleFree(stmt, OCI_HTYPE_STMT));
}

TEST(OciLiteHandles, InvalidHandlesAndNullPointersAreRefused)
{
    const OciApi& api = OciApi::Get();
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    int notAHandle[64] = {};
    auto* fake = reinterpret_cast<OCIStmt*>(notAHandle);
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.StmtExecute(nullptr, nullptr, nullptr, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.StmtExecute(session.svc, fake, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.StmtFetch(fake, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleFree(fake, OCI_HTYPE_STMT));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.HandleFree(session.err, OCI_HTYPE_STMT));  // wrong type
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.HandleAlloc(fake, reinterpret_cast<void**>(&fake), OCI_HTYPE_STMT, 0, nullptr));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.HandleAlloc(session.env, nullptr, OCI_HTYPE_STMT, 0, nullptr));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.EnvInit(nullptr, OCI_DEFAULT, 0, nullptr));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.ErrorGet(fake, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.ErrorGet(session.err, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_STMT));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.AttrSet(fake, OCI_HTYPE_STMT, notAHandle, 4,
                                              OCI_ATTR_PREFETCH_ROWS, session.err));
    EXPECT_EQ(OCI_INVALID_HANDLE, api.AttrSet(session.svc, OCI_HTYPE_SVCCTX, notAHandle, 0,
                                              OCI_ATTR_SERVER, session.err));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.ServerAttach(session.srv, session.err, nullptr, 5, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.SessionBegin(session.svc, session.err, nullptr, OCI_CRED_RDBMS, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.StmtPrepare(fake, session.err, reinterpret_cast<const OraText*>("x"), 1,
                              OCI_NTV_SYNTAX, OCI_DEFAULT));
    OCIStmt* stmt = session.Prepare(kAllObjects);
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.StmtPrepare(stmt, session.err, nullptr, 4, OCI_NTV_SYNTAX, OCI_DEFAULT));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.DefineByPos(stmt, nullptr, session.err, 1, notAHandle, 4, SQLT_INT, nullptr,
                              nullptr, nullptr, OCI_DEFAULT));
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.DefineByPos(stmt, &define, session.err, 1, nullptr, 4, SQLT_INT, nullptr, nullptr,
                              nullptr, OCI_DEFAULT));
    api.HandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(OCI_INVALID_HANDLE,
              api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
}

TEST(OciLiteErrorGet, FreshHandleHasNoRecordAndLeavesArgumentsAlone)
{
    OciSession session;
    sb4 code = 4711;
    char text[16] = "keep";
    EXPECT_EQ(OCI_NO_DATA,
              session.api.ErrorGet(session.err, 1, nullptr, &code, reinterpret_cast<OraText*>(text),
                                   sizeof text, OCI_HTYPE_ERROR));
    EXPECT_EQ(4711, code);
    EXPECT_STREQ("keep", text);
    EXPECT_EQ(OCI_NO_DATA,
              session.api.ErrorGet(session.env, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ENV));
}

TEST(OciLiteErrorGet, TextIsCutAndTerminatedWithinTheBuffer)
{
    OciSession session;
    session.Logon("SCOTT", "bad", "fixture");
    sb4 code = 0;
    char text[12];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(OCI_SUCCESS,
              session.api.ErrorGet(session.err, 1, nullptr, &code, reinterpret_cast<OraText*>(text),
                                   10, OCI_HTYPE_ERROR));
    EXPECT_EQ(1017, code);
    EXPECT_EQ(std::string("ORA-01017\0xx", 12), std::string(text, 12));
    EXPECT_EQ(OCI_NO_DATA,
              session.api.ErrorGet(session.err, 2, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR));
}

TEST(OciLiteErrorGet, RecordStaysUntilAnotherFailureReplacesIt)
{
    OciSession session;
    session.Logon("SCOTT", "bad", "fixture");
    ub4 prefetch = 5;
    OCIStmt* stmt = session.Prepare(kAllObjects);
    EXPECT_EQ(OCI_SUCCESS, session.api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 4,
                                               OCI_ATTR_PREFETCH_ROWS, session.err));
    EXPECT_EQ(1017, session.LastError().code);
    EXPECT_EQ(OCI_ERROR, session.api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 4, OCI_ATTR_USERNAME,
                                             session.err));
    EXPECT_EQ(24315, session.LastError().code);
}

// Reads a whole file.
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(OciLiteTrace, ACallFailedByAnExceptionSaysWhatWasCaught)
{
    const OciApi& api = OciApi::Get();
    std::string path = FixtureHome() + "/caught.txt";
    std::remove(path.c_str());
    ASSERT_EQ(1, api.SetTraceFile(path.c_str()));
    {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        // More user memory than any process can have: the allocation throws inside the call.
        void* handle = nullptr;
        void* memory = nullptr;
        EXPECT_EQ(OCI_ERROR, api.HandleAlloc(session.env, &handle, OCI_HTYPE_ERROR,
                                             static_cast<size_t>(-1) / 2, &memory));
        EXPECT_EQ(nullptr, handle);
    }
    ASSERT_EQ(1, api.SetTraceFile(nullptr));
    const std::string trace = ReadFile(path);
    EXPECT_NE(std::string::npos, trace.find("caught OCIHandleAlloc: std::bad_alloc")) << trace;
}

TEST(OciLiteTrace, OneLinePerCallWithTheArgumentsThatMatter)
{
    const OciApi& api = OciApi::Get();
    std::string path = FixtureHome() + "/trace.txt";
    std::remove(path.c_str());
    ASSERT_EQ(1, api.SetTraceFile(path.c_str()));
    {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1", {"GET_SAL"}, 1,
                      nullptr, 3, true);
    }
    ASSERT_EQ(1, api.SetTraceFile(nullptr));
    std::string trace = ReadFile(path);
    std::vector<std::string> lines;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find(' ')));
    const std::vector<std::string> expected = {
        "OCIInitialize",   "OCIEnvInit",      "OCIHandleAlloc",  "OCIHandleAlloc", "OCIHandleAlloc",
        "OCIAttrSet",      "OCIHandleAlloc",  "OCIServerAttach", "OCIAttrSet",     "OCIAttrSet",
        "OCISessionBegin", "OCIAttrSet",      "OCIHandleAlloc",  "OCIStmtPrepare", "OCIAttrSet",
        "OCIBindByPos",    "OCIDefineByPos",  "OCIStmtExecute",  "OCIStmtFetch",   "OCIHandleFree",
        "OCISessionEnd",   "OCIServerDetach", "OCIHandleFree"};
    EXPECT_EQ(expected, lines);
    EXPECT_NE(std::string::npos, trace.find("OCIServerAttach srvhp=server#"));
    EXPECT_NE(std::string::npos, trace.find("dblink=\"fixture\" len=7 mode=0 -> 0"));
    EXPECT_NE(std::string::npos, trace.find("attr=22 value=\"SCOTT\" size=5"));
    EXPECT_NE(std::string::npos, trace.find("attr=23 value=<hidden> size=5"));
    EXPECT_EQ(std::string::npos, trace.find("TIGER"));
    EXPECT_NE(std::string::npos,
              trace.find("sql=\"SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1\""));
    EXPECT_NE(std::string::npos, trace.find("type=4 attr=11 value=3"));
    EXPECT_NE(std::string::npos, trace.find("OCIDefineByPos stmtp=stmt#"));
    EXPECT_NE(std::string::npos, trace.find("position=1 value_sz=4001 dty=5"));
    EXPECT_NE(std::string::npos, trace.find("OCISessionBegin svchp=svcctx#"));
    EXPECT_NE(std::string::npos, trace.find("credt=1 mode=0 -> 0"));
    EXPECT_NE(std::string::npos, trace.find("OCIStmtFetch stmtp=stmt#"));
    EXPECT_NE(std::string::npos, trace.find("nrows=1 orientation=2 mode=0 -> 100"));
}

// One logon, one query and one logoff, stopping at the first failure; returns the failing
// record's code (0 when everything succeeded).
sb4 RunWholeJob(int* failures)
{
    OciSession session;
    sword status = session.Logon("SCOTT", "TIGER", "fixture");
    if (status == OCI_SUCCESS) {
        session.Query("SELECT OBJECT_NAME, OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_NAME = :1",
                      {"EMP_API"}, 2, &status, 0, true);
        if (status == OCI_NO_DATA)
            status = session.Logoff();
    }
    if (status == OCI_SUCCESS)
        return 0;
    ++*failures;
    return session.LastError().code;
}

TEST(OciLiteFaultInjection, SweepFailsEachCountedCallOnceAndCleanly)
{
    const OciApi& api = OciApi::Get();
    int start = api.LiveHandles();
    int failures = 0;
    api.SetFailAt(0);
    api.ResetCounters();
    ASSERT_EQ(0, RunWholeJob(&failures));
    unsigned calls = api.CallCount();
    ASSERT_GE(calls, 12u);  // 5 logon calls, 6 statement calls, 2 logoff calls at least
    for (unsigned n = 1; n <= calls; ++n) {
        api.ResetCounters();
        api.SetFailAt(n);
        failures = 0;
        sb4 code = RunWholeJob(&failures);
        EXPECT_EQ(1, failures) << "call " << n;
        EXPECT_TRUE(code == 3113 || code == 12541) << "call " << n << " gave " << code;
        EXPECT_EQ(start, api.LiveHandles()) << "call " << n;
    }
    api.SetFailAt(0);
    api.ResetCounters();
    failures = 0;
    EXPECT_EQ(0, RunWholeJob(&failures));
}

TEST(OciLiteFaultInjection, AttachFailsLikeAMissingListener)
{
    const OciApi& api = OciApi::Get();
    OciSession session;
    api.ResetCounters();
    api.SetFailAt(2);  // the server attribute is call 1, the attach call 2
    EXPECT_EQ(OCI_ERROR, session.Logon("SCOTT", "TIGER", "fixture"));
    api.SetFailAt(0);
    EXPECT_EQ("OCIServerAttach", session.failedCall);
    OraRecord record = session.LastError();
    EXPECT_EQ("ORA-12541: TNS:no listener\n", record.text);
}

// The variable is read at the first OCIInitialize, so this runs in a child process of its own.
TEST(OciLiteFaultInjection, EnvironmentVariableChoosesTheCall)
{
    if (testsys::HasVariable("OCI_LITE_FAIL_AT")) {
        OciSession session;
        EXPECT_EQ(OCI_ERROR, session.Logon("SCOTT", "TIGER", "fixture"));
        EXPECT_EQ("OCISessionBegin", session.failedCall);
        EXPECT_EQ(3113, session.LastError().code);
        return;
    }
    testsys::SetVariable("OCI_LITE_FAIL_AT", "5");  // server, attach, user, password, begin
    const int exitCode =
        testsys::RunSelf("OciLiteFaultInjection.EnvironmentVariableChoosesTheCall", 60000);
    testsys::SetVariable("OCI_LITE_FAIL_AT", nullptr);
    EXPECT_EQ(0, exitCode);
}

}  // namespace
