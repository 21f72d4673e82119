// Logon through oci-lite: connect strings, passwords, SYSDBA, and the per-user views.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char kListAll[] =
    "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
    "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  ORDER BY OBJECT_NAME,OBJECT_TYPE ";

// The entry points and nothing else: SQLite and oci-lite's own functions stay inside.
TEST(OciLiteLogon, LibraryExportsEveryEntryPointAndNothingMore)
{
    ASSERT_TRUE(OciApi::Get().Complete());
    for (const char* inside : {"sqlite3_open_v2", "sqlite3_exec", "sqlite3_libversion"})
        EXPECT_EQ(nullptr, testsys::FindSymbol(OciApi::Get().module, inside)) << inside;
}

TEST(OciLiteLogon, RightPasswordLogsOnAndOff)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << session.failedCall;
    EXPECT_EQ(OCI_SUCCESS, session.Logoff());
}

// Every refused logon: the call that fails, and the record it leaves (text where it matters).
TEST(OciLiteLogon, RefusedLogonsLeaveOraclesRecord)
{
    struct Refusal {
        const char* pszTitle;
        const char* pszUser;
        const char* pszPassword;
        const char* pszDatabase;
        bool bSysdba;
        int nCode;
        const char* pszFailedCall;  // nullptr: not checked
        const char* pszText;        // nullptr: not checked
    };
    const Refusal kRefusals[] = {
        {"wrong password", "SCOTT", "tiger", "fixture", false, 1017, "OCISessionBegin",
         "ORA-01017: invalid username/password; logon denied\n"},
        {"user name compared exactly", "scott", "TIGER", "fixture", false, 1017, nullptr, nullptr},
        {"empty password is a NULL one", "SCOTT", "", "fixture", false, 1005, nullptr, nullptr},
        {"unknown connect string", "SCOTT", "TIGER", "nosuchdb", false, 12154, "OCIServerAttach",
         "ORA-12154: TNS:could not resolve the connect identifier specified\n"},
        {"a file that is no database", "SCOTT", "TIGER", "garbage", false, 1034, nullptr, nullptr},
        {"SYSDBA without the privilege", "SCOTT", "TIGER", "fixture", true, 1031, "OCISessionBegin",
         "ORA-01031: insufficient privileges\n"},
        {"SYSDBA with a wrong password", "ADMIN", "wrong", "fixture", true, 1017, nullptr, nullptr},
        {"a database without users", "SCOTT", "TIGER", "empty", false, 1017, nullptr, nullptr},
    };
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.pszTitle);
        OciSession session;
        EXPECT_EQ(OCI_ERROR, session.Logon(r.pszUser, r.pszPassword, r.pszDatabase, r.bSysdba));
        if (r.pszFailedCall != nullptr) {
            EXPECT_EQ(r.pszFailedCall, session.failedCall);
        }
        const OraRecord record = session.LastError();
        EXPECT_EQ(r.nCode, record.code);
        if (r.pszText != nullptr) {
            EXPECT_EQ(OCI_SUCCESS, record.status);
            EXPECT_EQ(r.pszText, record.text);
        }
    }
}

TEST(OciLiteLogon, ConnectStringIsLowerCasedForTheFileName)
{
    OciSession session;
    EXPECT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "FIXTURE")) << session.failedCall;
}

TEST(OciLiteLogon, ConnectStringsCannotLeaveTheFolder)
{
    // A copy of the fixture one folder up must stay out of reach.
    std::string parent = FixtureHome() + "/../escape.sqlite";
    {
        std::ifstream from(FixtureHome() + "/fixture.sqlite", std::ios::binary);
        std::ofstream to(parent, std::ios::binary | std::ios::trunc);
        to << from.rdbuf();
    }
    const char* const names[] = {
        "..\\escape",  "../escape", "..",          "sub\\fixture",
        "sub/fixture", "C:fixture", "C:\\fixture", "\\\\server\\share\\fixture",
        "nul",         "con",       "com1",        "fixture.",
        ".fixture",    "fix ture",  "fixture\n"};
    for (const char* name : names) {
        OciSession session;
        EXPECT_EQ(OCI_ERROR, session.Logon("SCOTT", "TIGER", name)) << name;
        EXPECT_EQ(12154, session.LastError().code) << name;
    }
    std::remove(parent.c_str());
}

TEST(OciLiteLogon, HomeMayBeGivenWithForwardSlashes)
{
    std::string home = FixtureHome();
    std::string forward = home;
    for (char& c : forward) {
        if (c == '\\')
            c = '/';
    }
    testsys::SetVariable("OCI_LITE_HOME", (forward + "/").c_str());
    OciSession session;
    sword status = session.Logon("SCOTT", "TIGER", "fixture");
    testsys::SetVariable("OCI_LITE_HOME", home.c_str());
    EXPECT_EQ(OCI_SUCCESS, status) << session.failedCall;
}

TEST(OciLiteLogon, SysdbaSessionWorksAsSys)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("ADMIN", "secret", "fixture", true)) << session.failedCall;
    sword status;
    Rows rows = session.Query(kListAll, {}, 2, &status);
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ((Rows{{"DBMS_LITE", "PACKAGE"}}), rows);
}

TEST(OciLiteLogon, EachUserSeesOnlyTheirOwnObjectsAndSource)
{
    OciSession scott;
    ASSERT_EQ(OCI_SUCCESS, scott.Logon("SCOTT", "TIGER", "fixture"));
    EXPECT_EQ((Rows{{"EMP_API", "PACKAGE"},
                    {"EMP_API", "PACKAGE BODY"},
                    {"GET_SAL", "FUNCTION"},
                    {"HR_UTIL", "PACKAGE"},
                    {"RAISE_SAL", "PROCEDURE"}}),
              scott.Query(kListAll, {}, 2));
    OciSession blake;
    ASSERT_EQ(OCI_SUCCESS, blake.Logon("BLAKE", "Paper", "fixture"));
    EXPECT_EQ((Rows{{"BLAKE_PKG", "PACKAGE"}}), blake.Query(kListAll, {}, 2));
    EXPECT_EQ((Rows{{"1"}}), blake.Query("SELECT COUNT(1) FROM USER_SOURCE", {}, 1));
    EXPECT_EQ((Rows{{"0"}}),
              blake.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = 'EMP_API'", {}, 1));
}

TEST(OciLiteLogon, StoredPasswordsAreNotReadable)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    sword status;
    Rows rows = session.Query("SELECT password FROM users", {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_TRUE(rows.empty());
    // A table the session has no grant on does not exist for it, as in Oracle.
    EXPECT_EQ(942, session.LastError().code);
}

TEST(OciLiteLogon, StatementAfterLogoffIsRefused)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    ASSERT_EQ(OCI_SUCCESS, session.Logoff());
    sword status;
    session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS", {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(1012, session.LastError().code);
}

}  // namespace
