// The demo database (scripts/demo-db.sql, as make-demo-db.sh builds it) seen through oci-lite:
// the logons it promises and the shape of its stored source.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "sqlite3.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char kListing[] =
    "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
    "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  ORDER BY OBJECT_NAME,OBJECT_TYPE ";

// Builds demo.sqlite in the fixture folder from the script, once.
void BuildDemoDatabase()
{
    static const bool built = [] {
        std::ifstream in(OCI_LITE_DEMO_SQL, std::ios::binary);
        std::stringstream script;
        script << in.rdbuf();
        std::string path = FixtureHome() + "/demo.sqlite";
        std::remove(path.c_str());
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        int rc = sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return !script.str().empty() && rc == SQLITE_OK;
    }();
    ASSERT_TRUE(built) << OCI_LITE_DEMO_SQL;
}

TEST(OciLiteDemoDb, ScottListsPackagesBodiesProceduresAndFunctionsOnly)
{
    BuildDemoDatabase();
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "DEMO")) << session.failedCall;
    EXPECT_EQ((Rows{{"ANNUAL_SALARY", "FUNCTION"},
                    {"EMP_API", "PACKAGE"},
                    {"EMP_API", "PACKAGE BODY"},
                    {"GET_DEPT_NAME", "FUNCTION"},
                    {"HR_UTIL", "PACKAGE"},
                    {"HR_UTIL", "PACKAGE BODY"},
                    {"RAISE_SALARY", "PROCEDURE"}}),
              session.Query(kListing, {}, 2));
}

TEST(OciLiteDemoDb, SourceLinesEndWithALineFeedExceptUsuallyTheLast)
{
    BuildDemoDatabase();
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "demo"));
    Rows lines =
        session.Query("SELECT TEXT FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ORDER BY LINE ",
                      {"EMP_API", "PACKAGE"}, 1);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ("PACKAGE EMP_API AS\n", lines.front()[0]);
    EXPECT_EQ("END EMP_API;", lines.back()[0]);
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ('\n', lines[i][0].back()) << i;
    }
    // Every listed object has source, and line numbers run from 1 without gaps.
    EXPECT_EQ((Rows{}), session.Query("SELECT NAME, TYPE FROM USER_SOURCE GROUP BY NAME, TYPE "
                                      "HAVING MIN(LINE) <> 1 OR MAX(LINE) <> COUNT(1)",
                                      {}, 2));
}

TEST(OciLiteDemoDb, SysLogsOnAsSysdbaAndHrSeesOnlyItsOwn)
{
    BuildDemoDatabase();
    OciSession sys;
    ASSERT_EQ(OCI_SUCCESS, sys.Logon("SYS", "ORACLE", "demo", true)) << sys.failedCall;
    EXPECT_EQ((Rows{{"DBA_TOOLS", "PACKAGE"}, {"DBA_TOOLS", "PACKAGE BODY"}}),
              sys.Query(kListing, {}, 2));
    OciSession hr;
    ASSERT_EQ(OCI_SUCCESS, hr.Logon("HR", "HR", "demo"));
    EXPECT_EQ((Rows{{"ADD_JOB_HISTORY", "PROCEDURE"},
                    {"PAYROLL_PKG", "PACKAGE"},
                    {"PAYROLL_PKG", "PACKAGE BODY"}}),
              hr.Query(kListing, {}, 2));
    OciSession scott;
    EXPECT_EQ(OCI_ERROR, scott.Logon("SCOTT", "TIGER", "demo", true));
    EXPECT_EQ(1031, scott.LastError().code);
}

TEST(OciLiteDemoDb, BlakeNeedsTheLowerCasePasswordAndSystemReadsTheDictionary)
{
    BuildDemoDatabase();
    OciSession wrongCase;
    EXPECT_EQ(OCI_ERROR, wrongCase.Logon("BLAKE", "TIGER", "demo"));
    EXPECT_EQ(1017, wrongCase.LastError().code);
    OciSession blake;
    ASSERT_EQ(OCI_SUCCESS, blake.Logon("BLAKE", "tiger", "demo")) << blake.failedCall;
    EXPECT_EQ((Rows{{"ORDER_API", "PACKAGE"},
                    {"ORDER_API", "PACKAGE BODY"},
                    {"ORDER_TOTAL", "FUNCTION"}}),
              blake.Query(kListing, {}, 2));
    OciSession system;
    ASSERT_EQ(OCI_SUCCESS, system.Logon("SYSTEM", "MANAGER", "demo")) << system.failedCall;
    EXPECT_EQ((Rows{{"BLAKE"}, {"HR"}, {"SCOTT"}, {"SYS"}}),
              system.Query("SELECT DISTINCT OWNER FROM DBA_SOURCE ORDER BY OWNER", {}, 1));
}

}  // namespace
