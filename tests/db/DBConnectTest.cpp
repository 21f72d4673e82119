// DBConnectTest.cpp: DBConnect against oci-lite, through the real loading of "OCI.DLL" from the
// search path: logon, logoff, the library's failure texts, the call sequence, handle release.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "support/TestSystem.h"
#include "tests/db/OciLiteFixture.h"

using namespace DbTest;

namespace {

class DBConnectTest : public ::testing::Test {
protected:
    void SetUp() override { FixtureDatabase::Ensure(); }
};

// Runs a logon that is expected to fail and returns the connection for inspection.
std::unique_ptr<DBConnect> FailedLogon(const char* pszUser, const char* pszPassword,
                                       const char* pszDatabase, bool bSysdba)
{
    auto connection = std::make_unique<DBConnect>();
    bool bThrown = false;
    try {
        if (bSysdba)
            connection->ConnectAsSysdba(pszUser, pszPassword, pszDatabase);
        else
            connection->Connect(pszUser, pszPassword, pszDatabase);
    } catch (const DBConnect::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown) << "the logon was expected to fail";
    return connection;
}

// Runs one complete logon of the given kind and returns its normalised trace.
std::vector<std::string> TraceOfLogon(bool bSysdba)
{
    DBConnect connection;
    TraceCapture trace;
    if (bSysdba)
        connection.ConnectAsSysdba(kDbaUser, kDbaPassword, kDatabase);
    else
        connection.Connect(kDbaUser, kDbaPassword, kDatabase);
    return trace.Stop();
}

}  // namespace

TEST_F(DBConnectTest, LogonSucceedsAndLeavesNoErrorNumber)
{
    DBConnect connection;
    ASSERT_NO_THROW(connection.Connect(kUser, kPassword, kDatabase));
    EXPECT_EQ(connection.GetErrorCode(), 0);
    EXPECT_STREQ(connection.GetErrorText(), "");
    connection.Disconnect();
}

TEST_F(DBConnectTest, SysdbaLogonSucceedsForAnAccountThatMay)
{
    DBConnect connection;
    ASSERT_NO_THROW(connection.ConnectAsSysdba(kDbaUser, kDbaPassword, kDatabase));
    EXPECT_EQ(connection.GetErrorCode(), 0);
}

TEST_F(DBConnectTest, ConnectAsSysdbaMakesTheSameCallsAsConnectButForTheMode)
{
    std::vector<std::string> normal = TraceOfLogon(false);
    std::vector<std::string> sysdba = TraceOfLogon(true);
    ASSERT_FALSE(normal.empty());
    ASSERT_EQ(normal.size(), sysdba.size());
    int nDifferences = 0;
    for (size_t i = 0; i < normal.size(); ++i) {
        if (normal[i] == sysdba[i])
            continue;
        ++nDifferences;
        EXPECT_EQ(normal[i].rfind("OCISessionBegin ", 0), 0u) << normal[i];
        EXPECT_NE(normal[i].find("credt=1 mode=0"), std::string::npos) << normal[i];
        EXPECT_NE(sysdba[i].find("credt=1 mode=2"), std::string::npos) << sysdba[i];
    }
    EXPECT_EQ(nDifferences, 1);
}

TEST_F(DBConnectTest, LogonCallsTheEntryPointsInTheirPublishedOrder)
{
    std::vector<std::string> lines = TraceOfLogon(false);
    // The first word of each line that is not a diagnostic read.
    std::vector<std::string> calls;
    for (const std::string& strLine : lines) {
        std::string strCall = strLine.substr(0, strLine.find(' '));
        if (strCall != "OCIErrorGet")
            calls.push_back(strCall);
    }
    // The client's own character set is asked for on an environment of its own first; the
    // session's environment then asks for AL32UTF8. Two error handles: the second is Break's.
    const std::vector<std::string> expected = {"OCIInitialize",
                                               "OCIEnvNlsCreate",
                                               "OCIHandleAlloc",
                                               "OCIAttrGet",
                                               "OCINlsCharSetIdToName",
                                               "OCIHandleFree",
                                               "OCIHandleFree",
                                               "OCIEnvNlsCreate",
                                               "OCIHandleAlloc",
                                               "OCIHandleAlloc",
                                               "OCIHandleAlloc",
                                               "OCIHandleAlloc",
                                               "OCIAttrSet",
                                               "OCIHandleAlloc",
                                               "OCIServerAttach",
                                               "OCIAttrSet",
                                               "OCIAttrSet",
                                               "OCISessionBegin",
                                               "OCIAttrSet"};
    EXPECT_EQ(calls, expected);
    // Threads (a stopped worker may still be in a call while the next logs on) and objects.
    ASSERT_EQ(lines.front(), "OCIInitialize mode=3 -> 0");
}

TEST_F(DBConnectTest, UnknownConnectStringFailsAtTheAttachWithTheLibrarysText)
{
    TraceCapture trace;
    auto connection = FailedLogon(kUser, kPassword, "NOSUCHDB", false);
    std::vector<std::string> lines = trace.Stop();
    EXPECT_EQ(connection->GetErrorCode(), 12154);
    EXPECT_STREQ(connection->GetErrorText(),
                 "ORA-12154: TNS:could not resolve the connect identifier specified\n");
    // User name and password never reached the library.
    EXPECT_TRUE(LinesOf(lines, "OCISessionBegin").empty());
    for (const std::string& strLine : LinesOf(lines, "OCIAttrSet"))
        EXPECT_EQ(strLine.find("SCOTT"), std::string::npos) << strLine;
}

TEST_F(DBConnectTest, WrongPasswordFailsWithTheLibrarysText)
{
    auto connection = FailedLogon(kUser, "wrong", kDatabase, false);
    EXPECT_EQ(connection->GetErrorCode(), 1017);
    EXPECT_STREQ(connection->GetErrorText(),
                 "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(DBConnectTest, RefusedSysdbaFailsWithTheLibrarysText)
{
    auto connection = FailedLogon(kUser, kPassword, kDatabase, true);
    EXPECT_EQ(connection->GetErrorCode(), 1031);
    EXPECT_STREQ(connection->GetErrorText(), "ORA-01031: insufficient privileges\n");
}

TEST_F(DBConnectTest, ResetAfterAFailedLogonKeepsTheStoredText)
{
    auto connection = FailedLogon(kUser, "wrong", kDatabase, false);
    EXPECT_EQ(connection->ResetErrorHandle(), 0);
    EXPECT_EQ(connection->GetErrorCode(), 1017);
    EXPECT_STREQ(connection->GetErrorText(),
                 "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(DBConnectTest, AHundredFailedLogonsLeakNoHandle)
{
    // One logon first, so that whatever the library sets up once per process is in place.
    FailedLogon(kUser, "wrong", kDatabase, false);
    const int nBefore = OciLite::LiveHandles();
    for (int i = 0; i < 100; ++i) {
        switch (i % 3) {
        case 0:
            FailedLogon(kUser, "wrong", kDatabase, false);
            break;
        case 1:
            FailedLogon(kUser, kPassword, "NOSUCHDB", false);
            break;
        default:
            FailedLogon(kUser, kPassword, kDatabase, true);
            break;
        }
    }
    EXPECT_EQ(OciLite::LiveHandles(), nBefore);
}

TEST_F(DBConnectTest, AFinishedLogonReleasesEveryHandle)
{
    const int nBefore = OciLite::LiveHandles();
    {
        DBConnect connection;
        connection.Connect(kUser, kPassword, kDatabase);
        EXPECT_GT(OciLite::LiveHandles(), nBefore);
        connection.Disconnect();
    }
    EXPECT_EQ(OciLite::LiveHandles(), nBefore);
    {
        DBConnect connection;  // destroyed while still logged on
        connection.Connect(kUser, kPassword, kDatabase);
    }
    EXPECT_EQ(OciLite::LiveHandles(), nBefore);
}

TEST_F(DBConnectTest, DisconnectTwiceLogsOffOnce)
{
    DBConnect connection;
    connection.Connect(kUser, kPassword, kDatabase);
    TraceCapture trace;
    connection.Disconnect();
    connection.Disconnect();
    std::vector<std::string> lines = trace.Stop();
    EXPECT_EQ(LinesOf(lines, "OCISessionEnd").size(), 1u);
    EXPECT_EQ(LinesOf(lines, "OCIServerDetach").size(), 1u);
    for (const std::string& strLine : lines)
        EXPECT_EQ(strLine.find("-> -2"), std::string::npos) << strLine;
}

TEST_F(DBConnectTest, AConnectionThatNeverLoggedOnMakesNoCall)
{
    TraceCapture trace;
    {
        DBConnect connection;
        EXPECT_EQ(connection.GetErrorCode(), 0);
        EXPECT_EQ(connection.ResetErrorHandle(), 0);
        connection.Disconnect();
    }
    EXPECT_TRUE(trace.Stop().empty());
}

TEST_F(DBConnectTest, TheLibraryStaysLoadedForLaterConnections)
{
    {
        DBConnect connection;
        connection.Connect(kUser, kPassword, kDatabase);
    }
    void* hFirst = testsys::LoadedLibrary(testsys::kClientLibraryName);
    ASSERT_NE(hFirst, nullptr);
    {
        DBConnect connection;
        connection.Connect(kUser, kPassword, kDatabase);
    }
    EXPECT_EQ(testsys::LoadedLibrary(testsys::kClientLibraryName), hFirst);
}

TEST_F(DBConnectTest, NoCallIsMadeWithAnInvalidHandle)
{
    // A full life: logon, a statement, a reset, logoff, destruction; oci-lite answers -2 to any
    // handle that is not live, and no call may get that answer.
    TraceCapture trace;
    {
        DBConnect connection;
        connection.Connect(kUser, kPassword, kDatabase);
        {
            DBStmt stmt(connection, "SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1 ");
            char szName[100] = "";
            stmt.BindString(1, "PROC_B", 6);
            stmt.DefineString(1, szName, sizeof szName);
            stmt.Fetch();
            EXPECT_THROW(stmt.Fetch(), DBStmt::OtherException);
        }
        connection.ResetErrorHandle();
        connection.Disconnect();
    }
    std::vector<std::string> lines = trace.Stop();
    ASSERT_FALSE(lines.empty());
    for (const std::string& strLine : lines) {
        EXPECT_EQ(strLine.find("-> -2"), std::string::npos) << strLine;
        EXPECT_EQ(strLine.find("=invalid"), std::string::npos) << strLine;
    }
}
