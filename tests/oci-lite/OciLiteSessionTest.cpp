// Sessions through oci-lite: a detach ends everything of the sessions begun on the server handle,
// a server handle without a session runs nothing, and each service context keeps its own
// session's views even when two sessions share one server handle.
#include <gtest/gtest.h>

#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char kListAll[] = "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS ORDER BY 1,2";

const Rows kScottObjects = {{"EMP_API", "PACKAGE"}, {"EMP_API", "PACKAGE BODY"},
                            {"EMP_TRG", "TRIGGER"}, {"GET_SAL", "FUNCTION"},
                            {"HR_UTIL", "PACKAGE"}, {"RAISE_SAL", "PROCEDURE"}};

// What a connection without a logged-on session must refuse, whatever it names.
const char* const kStatementsWithoutASession[] = {
    "SELECT name,password,sysdba FROM users",
    "SELECT OBJECT_NAME FROM USER_OBJECTS",
    "SELECT NAME,TEXT FROM USER_SOURCE",
    "SELECT owner,name,text FROM source",
    "PRAGMA table_info(users)",
};

sword Attach(OciSession& session, const std::string& database)
{
    return session.api.ServerAttach(session.srv, session.err,
                                    reinterpret_cast<const OraText*>(database.c_str()),
                                    static_cast<sb4>(database.size()), OCI_DEFAULT);
}

// Runs each statement that needs a session and expects ORA-01012 and no rows from every one.
void ExpectEachRefusedAsNotLoggedOn(OciSession& session)
{
    for (const char* sql : kStatementsWithoutASession) {
        sword status = OCI_SUCCESS;
        Rows rows = session.Query(sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << sql;
        EXPECT_TRUE(rows.empty()) << sql;
        EXPECT_EQ(1012, session.LastError().code) << sql;
    }
}

TEST(OciLiteSessions, ServerAttachedAgainAfterADetachRunsNothing)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    ASSERT_EQ(OCI_SUCCESS, session.api.ServerDetach(session.srv, session.err, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, Attach(session, "fixture"));
    ExpectEachRefusedAsNotLoggedOn(session);
}

TEST(OciLiteSessions, ServerHandleFreedAndAllocatedAgainRunsNothing)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    ASSERT_EQ(OCI_SUCCESS, session.api.HandleFree(session.srv, OCI_HTYPE_SERVER));
    session.srv = nullptr;
    ASSERT_EQ(OCI_SUCCESS,
              session.api.HandleAlloc(session.env, reinterpret_cast<void**>(&session.srv),
                                      OCI_HTYPE_SERVER, 0, nullptr));
    ASSERT_EQ(OCI_SUCCESS, session.api.AttrSet(session.svc, OCI_HTYPE_SVCCTX, session.srv, 0,
                                               OCI_ATTR_SERVER, session.err));
    ASSERT_EQ(OCI_SUCCESS, Attach(session, "fixture"));
    ExpectEachRefusedAsNotLoggedOn(session);
}

TEST(OciLiteSessions, AttachingToAnotherDatabaseReadsNothingThereWithoutALogon)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    ASSERT_EQ(OCI_SUCCESS, session.api.ServerDetach(session.srv, session.err, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, Attach(session, "other"));
    ExpectEachRefusedAsNotLoggedOn(session);
}

TEST(OciLiteSessions, ServerHandleThatNeverHadASessionRunsNothing)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.api.AttrSet(session.svc, OCI_HTYPE_SVCCTX, session.srv, 0,
                                               OCI_ATTR_SERVER, session.err));
    ASSERT_EQ(OCI_SUCCESS, Attach(session, "fixture"));
    session.attached = true;
    ExpectEachRefusedAsNotLoggedOn(session);
}

TEST(OciLiteSessions, DetachEndsTheSessionWhichMayBeginAgainLater)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    ASSERT_EQ(OCI_SUCCESS, session.api.ServerDetach(session.srv, session.err, OCI_DEFAULT));
    // The session went with its server: ending it now finds no connection.
    EXPECT_EQ(OCI_ERROR,
              session.api.SessionEnd(session.svc, session.err, session.ses, OCI_DEFAULT));
    EXPECT_EQ(3114, session.LastError().code);
    // The same session handle logs on again, as after any logoff.
    ASSERT_EQ(OCI_SUCCESS, Attach(session, "fixture"));
    ASSERT_EQ(OCI_SUCCESS, session.api.SessionBegin(session.svc, session.err, session.ses,
                                                    OCI_CRED_RDBMS, OCI_DEFAULT));
    EXPECT_EQ(kScottObjects, session.Query(kListAll, {}, 2));
}

// Two sessions on one server handle, each with its own service context.
class OciLiteSharedServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(OCI_SUCCESS, first.Logon("SCOTT", "TIGER", "fixture")) << first.failedCall;
        // The second context borrows the first one's environment and server handle.
        second.api.HandleFree(second.env, OCI_HTYPE_ENV);
        second.env = first.env;
        second.srv = first.srv;
        const OciApi& api = first.api;
        api.HandleAlloc(first.env, reinterpret_cast<void**>(&second.err), OCI_HTYPE_ERROR, 0,
                        nullptr);
        api.HandleAlloc(first.env, reinterpret_cast<void**>(&second.svc), OCI_HTYPE_SVCCTX, 0,
                        nullptr);
        api.HandleAlloc(first.env, reinterpret_cast<void**>(&second.ses), OCI_HTYPE_SESSION, 0,
                        nullptr);
        ASSERT_EQ(OCI_SUCCESS, api.AttrSet(second.svc, OCI_HTYPE_SVCCTX, second.srv, 0,
                                           OCI_ATTR_SERVER, second.err));
        const char user[] = "BLAKE";
        const char password[] = "Paper";
        api.AttrSet(second.ses, OCI_HTYPE_SESSION, const_cast<char*>(user), sizeof user - 1,
                    OCI_ATTR_USERNAME, second.err);
        api.AttrSet(second.ses, OCI_HTYPE_SESSION, const_cast<char*>(password), sizeof password - 1,
                    OCI_ATTR_PASSWORD, second.err);
        ASSERT_EQ(OCI_SUCCESS, api.SessionBegin(second.svc, second.err, second.ses, OCI_CRED_RDBMS,
                                                OCI_DEFAULT));
    }
    void TearDown() override
    {
        // Everything of the second context belongs to the first one's environment.
        if (second.loggedOn)
            second.api.SessionEnd(second.svc, second.err, second.ses, OCI_DEFAULT);
        second.loggedOn = false;
        second.env = nullptr;
    }

    OciSession first;
    OciSession second;
};

TEST_F(OciLiteSharedServer, EachContextSeesItsOwnSessionsObjects)
{
    EXPECT_EQ(kScottObjects, first.Query(kListAll, {}, 2));
    EXPECT_EQ((Rows{{"BLAKE_PKG", "PACKAGE"}}), second.Query(kListAll, {}, 2));
    // The first context still sees SCOTT's, after the second session began.
    EXPECT_EQ(kScottObjects, first.Query(kListAll, {}, 2));
    EXPECT_EQ((Rows{{"2"}}),
              first.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = 'GET_SAL'", {}, 1));
}

TEST_F(OciLiteSharedServer, EndingOneSessionLeavesTheOtherItsViews)
{
    ASSERT_EQ(OCI_SUCCESS, second.api.SessionEnd(second.svc, second.err, second.ses, OCI_DEFAULT));
    sword status = OCI_SUCCESS;
    EXPECT_EQ(kScottObjects, first.Query(kListAll, {}, 2, &status));
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ((Rows{{"3"}}), first.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = 'EMP_API' "
                                         "AND TYPE = 'PACKAGE'",
                                         {}, 1));
    second.Query(kListAll, {}, 2, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(1012, second.LastError().code);
}

TEST_F(OciLiteSharedServer, DetachEndsBothSessions)
{
    ASSERT_EQ(OCI_SUCCESS, first.api.ServerDetach(first.srv, first.err, OCI_DEFAULT));
    first.attached = false;
    for (OciSession* session : {&first, &second}) {
        sword status = OCI_SUCCESS;
        session->Query(kListAll, {}, 2, &status);
        EXPECT_EQ(OCI_ERROR, status);
        EXPECT_EQ(1012, session->LastError().code);
    }
}

}  // namespace
